#pragma once
// The single-gas (TKL) detector page: the option grid by gas (H2S, CO, O2) whose rows
// apply only while their check box is checked, the gas concentrations, the Read and
// Write buttons of the option record, and the TKL firmware block. Every numeric field
// keeps its kind's rules as it is typed, stepped, set by the program or left; Write
// refuses a value the page would not accept before anything is sent.
//
// GUI thread only.

#include <QString>
#include <array>
#include <optional>
#include <span>
#include <string>

#include "pages/record_page.h"
#include "records/single_gas.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ql::pages {

class ArrowPair;
class FirmwareBlock;
class RuleEdit;

class cDlgYBRTab : public RecordPage {
  Q_OBJECT
 public:
  // Builds the page disabled, rows unchecked, with its start values.
  explicit cDlgYBRTab(IPageHost& host, QWidget* parent = nullptr);

  RecordType Type() const override { return RecordType::SingleGas; }

  void LoadDefaults() override;
  // Also unchecks every row, so after connecting only the rows the technician checks (or
  // a read checks) are applied; the rows' fields follow their boxes.
  void EnablePage(bool enabled) override;
  void SetBusy(bool busy) override;

  // Zero-fills `record` first, as both write paths do: unchecked rows go out as zeros.
  void PageToRecord(std::span<std::uint8_t> record) const override;
  std::optional<std::string> CheckPage() const override;

  QString FirmwarePath() const override;
  void ClearFirmwareFields() override;
  QProgressBar* FirmwareBar() const override { return m_firmwareBar; }

  records::SingleGasPageValues Values() const;
  // Shows the values as if typed (each field's change rule runs), sets the row boxes and
  // enables each row's fields exactly while its box is checked (and the page is enabled).
  // A display index outside the list leaves that list as it was.
  void SetValues(const records::SingleGasPageValues& values);

 protected:
  void FillFromRecord(std::span<const std::uint8_t> record) override;
  QAbstractButton* RecordWriteButton() const override;

 private:
  static constexpr std::size_t kRows = records::kSingleGasRowCount;
  static constexpr std::size_t kGases = records::kSingleGasCount;

  // One option row: its box, its three fields (line edits, or lists for Display) and
  // their arrows (none for User ID and Display).
  struct Row {
    QCheckBox* box = nullptr;
    std::array<RuleEdit*, kGases> edit{};
    std::array<QComboBox*, kGases> list{};
    std::array<ArrowPair*, kGases> arrows{};
  };

  void BuildControls();
  void BuildLayout();
  void BindRules();
  void ApplyRowEnabling(std::size_t row);
  void SetOptionFieldsEnabled(bool enabled);
  void Read();
  void Write();

  std::array<Row, kRows> m_rows;
  QGroupBox* m_gridGroup;
  std::array<QLabel*, kGases> m_columnLabels{};

  QGroupBox* m_concentrationGroup;
  std::array<QLabel*, kGases> m_concentrationLabels{};
  std::array<RuleEdit*, kGases> m_concentration{};
  std::array<ArrowPair*, kGases> m_concentrationArrows{};
  std::array<QLabel*, kGases> m_concentrationUnits{};

  QGroupBox* m_recordGroup;
  QPushButton* m_read;
  QPushButton* m_write;

  QGroupBox* m_firmwareGroup;
  QLabel* m_firmwareLabel;
  QLineEdit* m_firmwarePath;
  QPushButton* m_browse;
  QProgressBar* m_firmwareBar;
  QPushButton* m_firmwareWrite;
  FirmwareBlock* m_firmware = nullptr;
};

}  // namespace ql::pages
