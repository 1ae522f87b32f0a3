#pragma once
// The docking station page: the station's own settings (identity, time limits, gas
// bottle, the enable/disable switches), its Read and Write buttons, and the docking
// station firmware block. Every field keeps its rules as it is typed, set by the program
// or left; Write refuses a value the page would not accept before anything is sent.
//
// GUI thread only.

#include <QString>
#include <optional>
#include <span>
#include <string>

#include "pages/record_page.h"
#include "records/docking_info.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ql::pages {

class ArrowPair;
class FirmwareBlock;
class RuleEdit;

class cDlgDockingTab : public RecordPage {
  Q_OBJECT
 public:
  // Builds the page disabled, with its start values.
  explicit cDlgDockingTab(IPageHost& host, QWidget* parent = nullptr);

  RecordType Type() const override { return RecordType::Docking; }

  void LoadDefaults() override;
  void EnablePage(bool enabled) override;
  void SetBusy(bool busy) override;

  void PageToRecord(std::span<std::uint8_t> record) const override;
  std::optional<std::string> CheckPage() const override;

  QString FirmwarePath() const override;
  void ClearFirmwareFields() override;
  QProgressBar* FirmwareBar() const override { return m_firmwareBar; }

  records::DockingPageValues Values() const;
  // Shows the values as if typed (each field's change rule runs); a date the picker does
  // not take or a list index outside the list leaves that control as it was. The Bump
  // Result Decision list follows " Bump Tests".
  void SetValues(const records::DockingPageValues& values);

  // Captions of the two "Update" switches: the single-gas family names TKL, any other RVX.
  void SetDetectorFamily(RecordType family);

  // State of the (hidden) " Auto Sync" box.
  bool AutoSync() const { return m_autoSync; }

 signals:
  void autoSyncChanged(bool on);

 protected:
  void FillFromRecord(std::span<const std::uint8_t> record) override;
  QAbstractButton* RecordWriteButton() const override;

 private:
  void BuildControls();
  void BuildLayout();
  void BindRules();
  void UpdateBumpDecisionEnabled();
  void Read();
  void Write();

  // Docking Info
  QGroupBox* m_infoGroup;
  QLabel* m_serialLabel;
  QLineEdit* m_serial;
  QLabel* m_versionLabel;
  QLineEdit* m_version;
  QLabel* m_locationLabel;
  QLineEdit* m_location;
  QLabel* m_autoPowerOffLabel;
  RuleEdit* m_autoPowerOff;
  ArrowPair* m_autoPowerOffArrows;
  QLabel* m_autoPowerOffUnit;
  QLabel* m_maxBumpLabel;
  RuleEdit* m_maxBump;
  ArrowPair* m_maxBumpArrows;
  QLabel* m_maxBumpUnit;
  QLabel* m_dateLabel;
  QDateEdit* m_date;
  QLabel* m_lotLabel;
  QLineEdit* m_lot;
  QLabel* m_readWriteLabel;
  QLabel* m_dockingTimeLabel;
  QCheckBox* m_autoSyncBox;
  QPushButton* m_read;
  QPushButton* m_write;
  // Enable/Disable Function
  QGroupBox* m_switchGroup;
  QCheckBox* m_calibrate;
  QCheckBox* m_bumpTests;
  QCheckBox* m_allowHibernate;
  QCheckBox* m_updateConfig;
  QCheckBox* m_updateFirmware;
  QLabel* m_bumpDecisionLabel;
  QComboBox* m_bumpDecision;
  // Docking Station Firmware Upgrade
  QGroupBox* m_firmwareGroup;
  QLabel* m_firmwareLabel;
  QLineEdit* m_firmwarePath;
  QPushButton* m_browse;
  QProgressBar* m_firmwareBar;
  QPushButton* m_firmwareWrite;
  FirmwareBlock* m_firmware = nullptr;

  bool m_autoSync = false;
};

}  // namespace ql::pages
