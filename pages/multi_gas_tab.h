#pragma once
// The multi-gas (RVX) detector page: the option set the station pushes into its RVX
// detectors (rows per gas, intervals, switches), the four calibration gas concentrations,
// the page's own record Read and Write, and the firmware block.
//
// GUI thread only.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pages/record_page.h"
#include "records/multi_gas.h"
#include "rules/field_rules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ql::pages {

class ArrowPair;
class FirmwareBlock;
class RuleEdit;

class cDlgHWRTab : public RecordPage {
  Q_OBJECT
 public:
  // Builds the page with its captions and start values, disabled.
  explicit cDlgHWRTab(IPageHost& host, QWidget* parent = nullptr);

  RecordType Type() const override { return RecordType::MultiGas; }
  void LoadDefaults() override;
  void EnablePage(bool enabled) override;
  void SetBusy(bool busy) override;
  void PageToRecord(std::span<std::uint8_t> record) const override;
  std::optional<std::string> CheckPage() const override;
  QString FirmwarePath() const override;
  void ClearFirmwareFields() override;
  QProgressBar* FirmwareBar() const override;

  // What the page shows, and setting it as if typed (rules, then each row's enabling).
  records::MultiGasPageValues Values() const;
  void SetValues(const records::MultiGasPageValues& values);

 protected:
  void FillFromRecord(std::span<const std::uint8_t> record) override;
  QAbstractButton* RecordWriteButton() const override;

 private:
  // A row of numeric fields behind a check box (one per gas, or a single field).
  struct NumericRow {
    QCheckBox* box = nullptr;
    std::vector<RuleEdit*> edits;
    std::vector<ArrowPair*> arrows;
  };
  // A check box and the controls it enables.
  struct RowControls {
    QCheckBox* box = nullptr;
    std::vector<QWidget*> controls;
  };

  void BuildControls();
  void BuildLayout();
  QCheckBox* NewCheckBox(int id, const QString& caption);
  NumericRow NewGasRow(int boxId, std::string_view caption, std::span<const int> editIds,
                       std::span<const int> spinIds, std::span<const rules::NumericField> fields);
  NumericRow NewFieldRow(int boxId, std::string_view caption, int editId, int spinId,
                         const rules::NumericField& field);
  void AddRow(QCheckBox* box, std::vector<QWidget*> controls);
  // The row handlers: a row's controls are usable exactly while its box is checked (and
  // the page is enabled).
  void ApplyRowEnabling(const RowControls& row);
  void ApplyAllRowEnabling();
  // Every option edit, list and arrow pair of the check-box rows.
  std::vector<QWidget*> OptionControls() const;

  void OnRead();
  void OnWrite();

  NumericRow m_calibration;
  NumericRow m_bump;
  NumericRow m_low;
  NumericRow m_high;
  NumericRow m_stel;
  NumericRow m_twa;
  NumericRow m_twaInterval;
  NumericRow m_stelInterval;
  NumericRow m_lelFullScale;
  QCheckBox* m_userIdBox = nullptr;
  QLineEdit* m_userId = nullptr;
  QCheckBox* m_languageBox = nullptr;
  QComboBox* m_language = nullptr;
  QCheckBox* m_twaMethodBox = nullptr;
  QComboBox* m_twaMethod = nullptr;
  // Safe Display, Dock Lock, Maintenance Notification, Latching Alarms, Auto Zero,
  // LEL By Volume CH4, OFF Lock: record order.
  std::array<QCheckBox*, 7> m_switches{};
  std::array<RuleEdit*, records::kMultiGasCount> m_concentration{};
  std::array<ArrowPair*, records::kMultiGasCount> m_concentrationArrows{};
  std::vector<RowControls> m_rows;

  // Group boxes and labels that follow the page's enabled state.
  std::vector<QWidget*> m_pageFrames;
  QWidget* m_optionGroup = nullptr;
  QWidget* m_concentrationGroup = nullptr;
  QWidget* m_transferGroup = nullptr;
  QWidget* m_firmwareGroup = nullptr;
  std::array<QLabel*, records::kMultiGasCount> m_columnLabels{};
  std::array<QLabel*, records::kMultiGasCount> m_gasLabels{};
  std::array<QLabel*, records::kMultiGasCount> m_gasUnits{};
  std::array<QLabel*, 3> m_intervalUnits{};

  QPushButton* m_read = nullptr;
  QPushButton* m_write = nullptr;
  QPushButton* m_browse = nullptr;
  QPushButton* m_firmwareWrite = nullptr;
  QLineEdit* m_firmwarePath = nullptr;
  QLabel* m_firmwareVersion = nullptr;
  QProgressBar* m_bar = nullptr;
  FirmwareBlock* m_firmware = nullptr;
};

}  // namespace ql::pages
