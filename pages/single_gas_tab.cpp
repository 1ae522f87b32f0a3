#include "pages/single_gas_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "pages/control_id.h"
#include "pages/dialog_keys.h"
#include "pages/field_widgets.h"
#include "pages/firmware_block.h"
#include "records/config_files.h"
#include "records/record_text.h"
#include "rules/field_rules.h"
#include "rules/field_tables.h"

namespace ql::pages {

namespace {

using records::SingleGasPageValues;
using records::SingleGasRow;

// The option rows in record order: box id, caption, and per gas the field's and the
// arrows' ids (0: the row has no arrows).
struct RowLayout {
  int box;
  std::string_view caption;
  std::array<int, 3> field;
  std::array<int, 3> arrows;
};

constexpr std::array<RowLayout, records::kSingleGasRowCount> kRowLayout = {{
    {1027, rules::kCaptionUserId, {1006, 1007, 1008}, {0, 0, 0}},
    {1028, rules::kCaptionCalibrationInterval, {1009, 1010, 1011}, {1052, 1055, 1057}},
    {1031, rules::kCaptionBumpInterval, {1013, 1014, 1015}, {1058, 1059, 1060}},
    {1033, rules::kCaptionSelfTestInterval, {1016, 1017, 1018}, {1063, 1064, 1065}},
    {1035, rules::kCaptionLowAlarm, {1020, 1022, 1024}, {1066, 1067, 1068}},
    {1037, rules::kCaptionHighAlarm, {1026, 1043, 1045}, {1069, 1070, 1071}},
    {1038, rules::kCaptionDisplay, {1048, 1005, 1012}, {0, 0, 0}},
}};

constexpr std::size_t kDisplayRow = static_cast<std::size_t>(SingleGasRow::Display);

// The text rows of the page values, in record order (every row but Display).
constexpr std::array<records::GasTextRow<records::kSingleGasCount> SingleGasPageValues::*, 6>
    kTextRows = {&SingleGasPageValues::userId,       &SingleGasPageValues::calibrationInterval,
                 &SingleGasPageValues::bumpInterval, &SingleGasPageValues::selfTestInterval,
                 &SingleGasPageValues::lowAlarm,     &SingleGasPageValues::highAlarm};

struct ConcentrationLayout {
  int label;
  int field;
  int arrows;
  int unit;
  std::string_view unitText;
};

constexpr std::array<ConcentrationLayout, 3> kConcentrationLayout = {{
    {1106, 1199, 1061, 1109, "ppm"},
    {1107, 1200, 1074, 1110, "ppm"},
    {1108, 1203, 1076, 1111, "%"},
}};

// A field's width from the number of characters it shows, so it scales with the font.
void SetCharWidth(QWidget* field, int chars) {
  field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 16);
}

// The label the record text table gives the field: one name for screen readers, change
// marks and the command-line tool.
QString GasFieldName(std::string_view caption, std::string_view gas) {
  return FromLatin1(records::GridLabel(caption, gas));
}

}  // namespace

cDlgYBRTab::cDlgYBRTab(IPageHost& host, QWidget* parent) : RecordPage(host, parent) {
  BuildControls();
  SwallowDialogKeys(this);
  BuildLayout();
  BindRules();
  m_firmware = new FirmwareBlock(m_host, RecordType::SingleGas, this,
                                 FirmwareWidgets{m_firmwareLabel, m_firmwarePath, m_firmwareBar});
  connect(m_browse, &QPushButton::clicked, m_firmware, &FirmwareBlock::Browse);
  connect(m_firmwareWrite, &QPushButton::clicked, m_firmware, &FirmwareBlock::Write);
  connect(m_read, &QPushButton::clicked, this, &cDlgYBRTab::Read);
  connect(m_write, &QPushButton::clicked, this, &cDlgYBRTab::Write);
  for (std::size_t r = 0; r < kRows; ++r) {
    connect(m_rows[r].box, &QCheckBox::clicked, this, [this, r] { ApplyRowEnabling(r); });
  }
  LoadDefaults();
  EnablePage(false);
  WatchFields();
}

void cDlgYBRTab::BuildControls() {
  auto button = [this](int id, const QString& text, const QString& description) {
    auto* b = new QPushButton(text, this);
    b->setAutoDefault(false);
    SetControlId(b, id, text.trimmed());
    b->setAccessibleDescription(description);
    return b;
  };
  auto group = [this](int id, const QString& title) {
    auto* g = new QGroupBox(title, this);
    SetControlId(g, id);
    return g;
  };

  m_gridGroup = group(1112, QStringLiteral("TKL Configuration Options"));
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    m_columnLabels[gas] = new QLabel(FromLatin1(rules::kSingleGasNames[gas]), this);
    m_columnLabels[gas]->setAlignment(Qt::AlignCenter);
    SetControlId(m_columnLabels[gas], 1113 + static_cast<int>(gas));
  }
  for (std::size_t r = 0; r < kRows; ++r) {
    const RowLayout& layout = kRowLayout[r];
    Row& row = m_rows[r];
    const QString caption = QLatin1Char(' ') + FromLatin1(layout.caption);
    row.box = new QCheckBox(caption, this);
    SetControlId(row.box, layout.box, FromLatin1(layout.caption));
    for (std::size_t gas = 0; gas < kGases; ++gas) {
      const QString name = GasFieldName(layout.caption, rules::kSingleGasNames[gas]);
      if (r == kDisplayRow) {
        row.list[gas] = new QComboBox(this);
        SetControlId(row.list[gas], layout.field[gas], name);
        continue;
      }
      row.edit[gas] = new RuleEdit(this);
      SetControlId(row.edit[gas], layout.field[gas], name);
      SetCharWidth(row.edit[gas], r == 0 ? 13 : 6);
      if (r == 0) row.edit[gas]->setMaxLength(static_cast<int>(rules::kTextFieldMax));
      if (layout.arrows[gas] != 0) {
        row.arrows[gas] = new ArrowPair(this);
        row.arrows[gas]->SetFieldName(name);
        SetControlId(row.arrows[gas], layout.arrows[gas]);
      }
    }
  }

  m_concentrationGroup = group(1202, FromLatin1(rules::kCaptionGasConcentration));
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    const ConcentrationLayout& layout = kConcentrationLayout[gas];
    const QString name = GasFieldName(rules::kCaptionGasConcentration, rules::kSingleGasNames[gas]);
    m_concentrationLabels[gas] = new QLabel(FromLatin1(rules::kSingleGasNames[gas]), this);
    SetControlId(m_concentrationLabels[gas], layout.label);
    m_concentration[gas] = new RuleEdit(this);
    m_concentrationLabels[gas]->setBuddy(m_concentration[gas]);
    SetControlId(m_concentration[gas], layout.field, name);
    SetCharWidth(m_concentration[gas], 6);
    m_concentrationArrows[gas] = new ArrowPair(this);
    m_concentrationArrows[gas]->SetFieldName(name);
    SetControlId(m_concentrationArrows[gas], layout.arrows);
    m_concentrationUnits[gas] = new QLabel(FromLatin1(layout.unitText), this);
    SetControlId(m_concentrationUnits[gas], layout.unit);
  }

  m_recordGroup = group(1117, QStringLiteral("TKL Option Info Read/Write"));
  m_read = button(1230, QStringLiteral(" Read"), QStringLiteral("Read the TKL options"));
  m_write = button(1231, QStringLiteral(" Write"), QStringLiteral("Write the TKL options"));

  m_firmwareGroup = group(1116, QStringLiteral("TKL Firmware Upgrade"));
  m_firmwareLabel = new QLabel(this);
  SetControlId(m_firmwareLabel, 1091);
  m_firmwarePath = new QLineEdit(this);
  m_firmwarePath->setReadOnly(true);
  SetControlId(m_firmwarePath, 1072, QStringLiteral("TKL firmware file"));
  m_browse = button(1073, QStringLiteral(" Browse"), QStringLiteral("Choose a TKL firmware file"));
  m_firmwareBar = new QProgressBar(this);
  m_firmwareBar->setRange(0, 100);
  m_firmwareBar->setValue(0);
  SetControlId(m_firmwareBar, 1232, QStringLiteral("TKL firmware upload"));
  m_firmwareWrite =
      button(1041, QStringLiteral(" Write"), QStringLiteral("Send the TKL firmware file"));
}

void cDlgYBRTab::BuildLayout() {
  // The option grid on the left: a column of row boxes, then per gas a field and its
  // arrows.
  auto* grid = new QGridLayout(m_gridGroup);
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    grid->addWidget(m_columnLabels[gas], 0, 1 + 2 * static_cast<int>(gas), 1, 2);
  }
  for (std::size_t r = 0; r < kRows; ++r) {
    const Row& row = m_rows[r];
    const int line = 1 + static_cast<int>(r);
    grid->addWidget(row.box, line, 0);
    for (std::size_t gas = 0; gas < kGases; ++gas) {
      const int column = 1 + 2 * static_cast<int>(gas);
      QWidget* field = r == kDisplayRow ? static_cast<QWidget*>(row.list[gas]) : row.edit[gas];
      if (row.arrows[gas] != nullptr) {
        grid->addWidget(field, line, column);
        grid->addWidget(row.arrows[gas], line, column + 1);
      } else {
        grid->addWidget(field, line, column, 1, 2);
      }
    }
  }
  grid->setRowStretch(static_cast<int>(kRows) + 1, 1);

  auto* concentration = new QGridLayout(m_concentrationGroup);
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    const int line = static_cast<int>(gas);
    concentration->addWidget(m_concentrationLabels[gas], line, 0);
    concentration->addWidget(m_concentration[gas], line, 1);
    concentration->addWidget(m_concentrationArrows[gas], line, 2);
    concentration->addWidget(m_concentrationUnits[gas], line, 3);
  }
  concentration->setColumnStretch(4, 1);

  auto* record = new QHBoxLayout(m_recordGroup);
  record->addWidget(m_read);
  record->addWidget(m_write);
  record->addStretch(1);

  auto* firmware = new QGridLayout(m_firmwareGroup);
  firmware->addWidget(m_firmwareLabel, 0, 0, 1, 2);
  firmware->addWidget(m_firmwarePath, 1, 0);
  firmware->addWidget(m_browse, 1, 1);
  firmware->addWidget(m_firmwareBar, 2, 0);
  firmware->addWidget(m_firmwareWrite, 2, 1);

  auto* right = new QVBoxLayout;
  right->addWidget(m_concentrationGroup);
  right->addWidget(m_recordGroup);
  right->addWidget(m_firmwareGroup);
  right->addStretch(1);
  auto* page = new QHBoxLayout(this);
  page->addWidget(m_gridGroup, 3);
  page->addLayout(right, 2);
}

void cDlgYBRTab::BindRules() {
  using rules::NumericField;
  for (std::size_t r = 1; r < kDisplayRow; ++r) {
    Row& row = m_rows[r];
    const auto kind = static_cast<SingleGasRow>(r);
    for (std::size_t gas = 0; gas < kGases; ++gas) {
      FieldRules fieldRules;
      if (kind == SingleGasRow::SelfTestInterval) {
        const QCheckBox* box = row.box;
        fieldRules.change = rules::SelfTestIntervalChanged;
        fieldRules.leave = rules::SelfTestIntervalLeft;
        fieldRules.step = [box](std::string_view text, rules::Arrow arrow) {
          return rules::StepSelfTestInterval(text, arrow, box->isChecked());
        };
      } else if (kind == SingleGasRow::LowAlarm || kind == SingleGasRow::HighAlarm) {
        fieldRules = NumericFieldRules(rules::kSingleGasAlarm[gas], row.box);
      } else {
        fieldRules = NumericFieldRules(rules::kSingleGasInterval, row.box);
      }
      BindField(row.edit[gas], row.arrows[gas], std::move(fieldRules));
    }
  }
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    BindField(m_concentration[gas], m_concentrationArrows[gas],
              NumericFieldRules(rules::kSingleGasConcentration[gas], nullptr));
  }
}

void cDlgYBRTab::LoadDefaults() {
  SingleGasPageValues values = Values();
  records::LoadSingleGasDefaults(values);
  for (QComboBox* list : m_rows[kDisplayRow].list) {
    list->clear();
    for (std::string_view item : rules::kSingleGasDisplayItems) list->addItem(FromLatin1(item));
  }
  SetValues(values);
  SetOptionFieldsEnabled(false);
  m_firmware->Clear();
}

void cDlgYBRTab::SetOptionFieldsEnabled(bool enabled) {
  for (const Row& row : m_rows) {
    for (std::size_t gas = 0; gas < kGases; ++gas) {
      if (row.edit[gas] != nullptr) row.edit[gas]->setEnabled(enabled);
      if (row.list[gas] != nullptr) row.list[gas]->setEnabled(enabled);
      if (row.arrows[gas] != nullptr) row.arrows[gas]->setEnabled(enabled);
    }
  }
}

void cDlgYBRTab::ApplyRowEnabling(std::size_t r) {
  const Row& row = m_rows[r];
  const bool on = m_enabled && row.box->isChecked();
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    if (row.edit[gas] != nullptr) row.edit[gas]->setEnabled(on);
    if (row.list[gas] != nullptr) row.list[gas]->setEnabled(on);
    if (row.arrows[gas] != nullptr) row.arrows[gas]->setEnabled(on);
  }
}

void cDlgYBRTab::EnablePage(bool enabled) {
  m_enabled = enabled;
  if (!enabled) SetOptionFieldsEnabled(false);
  std::vector<QWidget*> controls = {m_firmwarePath,  m_browse, m_gridGroup, m_concentrationGroup,
                                    m_firmwareGroup, m_read,   m_write,     m_firmwareWrite};
  for (const Row& row : m_rows) controls.push_back(row.box);
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    controls.insert(controls.end(),
                    {m_columnLabels[gas], m_concentrationLabels[gas], m_concentration[gas],
                     m_concentrationArrows[gas], m_concentrationUnits[gas]});
  }
  for (QWidget* control : controls) control->setEnabled(enabled);
  // Every row starts unchecked; its fields follow the box, so none is left open for
  // typing while the row would not be written.
  for (std::size_t r = 0; r < kRows; ++r) {
    m_rows[r].box->setChecked(false);
    ApplyRowEnabling(r);
  }
}

void cDlgYBRTab::SetBusy(bool busy) {
  for (QPushButton* button : {m_browse, m_read, m_write, m_firmwareWrite}) {
    button->setEnabled(!busy && m_enabled);
  }
}

SingleGasPageValues cDlgYBRTab::Values() const {
  SingleGasPageValues values;
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    values.concentration[gas] = ToLatin1(m_concentration[gas]->text());
  }
  for (std::size_t r = 0; r < kTextRows.size(); ++r) {
    auto& row = values.*kTextRows[r];
    row.checked = m_rows[r].box->isChecked();
    for (std::size_t gas = 0; gas < kGases; ++gas) {
      row.text[gas] = ToLatin1(m_rows[r].edit[gas]->text());
    }
  }
  values.display.checked = m_rows[kDisplayRow].box->isChecked();
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    values.display.index[gas] = m_rows[kDisplayRow].list[gas]->currentIndex();
  }
  return values;
}

void cDlgYBRTab::SetValues(const SingleGasPageValues& values) {
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    m_concentration[gas]->setText(FromLatin1(values.concentration[gas]));
  }
  for (std::size_t r = 0; r < kTextRows.size(); ++r) {
    const auto& row = values.*kTextRows[r];
    m_rows[r].box->setChecked(row.checked);
    for (std::size_t gas = 0; gas < kGases; ++gas) {
      m_rows[r].edit[gas]->setText(FromLatin1(row.text[gas]));
    }
  }
  m_rows[kDisplayRow].box->setChecked(values.display.checked);
  for (std::size_t gas = 0; gas < kGases; ++gas) {
    QComboBox* list = m_rows[kDisplayRow].list[gas];
    const int index = values.display.index[gas];
    if (index >= 0 && index < list->count()) list->setCurrentIndex(index);
  }
  for (std::size_t r = 0; r < kRows; ++r) ApplyRowEnabling(r);
}

void cDlgYBRTab::FillFromRecord(std::span<const std::uint8_t> record) {
  records::SingleGasOptionRecord decoded;
  std::copy_n(record.begin(), std::min(record.size(), decoded.bytes.size()), decoded.bytes.begin());
  SingleGasPageValues values = Values();
  records::SingleGasOptionsToPage(decoded, values);
  SetValues(values);
}

void cDlgYBRTab::PageToRecord(std::span<std::uint8_t> record) const {
  records::SingleGasOptionRecord encoded;  // zero-filled
  records::SingleGasOptionsFromPage(Values(), encoded);
  std::fill(record.begin(), record.end(), std::uint8_t{0});
  std::copy_n(encoded.bytes.begin(), std::min(record.size(), encoded.bytes.size()), record.begin());
}

std::optional<std::string> cDlgYBRTab::CheckPage() const {
  return records::CheckSingleGasPage(Values());
}

QAbstractButton* cDlgYBRTab::RecordWriteButton() const {
  return m_write;
}

QString cDlgYBRTab::FirmwarePath() const {
  return m_firmwarePath->text();
}

void cDlgYBRTab::ClearFirmwareFields() {
  m_firmware->Clear();
}

void cDlgYBRTab::Read() {
  m_firmwareBar->setRange(0, 100);
  if (m_host.LinkMode()) {
    m_host.Station().PageRead(Type());
    return;
  }
  m_host.SetProgressRange(0, 100);
  m_host.SetProgressPosition(0);
  HeldMessages messages(m_host);
  records::SingleGasOptionRecord record;
  SingleGasPageValues values = Values();
  if (records::ReadSingleGasFromDrive(m_host.UsbRoot(), record, values, messages)) {
    SetValues(values);
    SetStoredRecord(record.bytes);
  }
  messages.Flush();
}

void cDlgYBRTab::Write() {
  // A value the page would not accept is refused here, before the station or the drive
  // sees it.
  if (const auto refusal = CheckPage()) {
    m_host.ShowMessage(*refusal);
    return;
  }
  m_firmwareBar->setRange(0, 100);
  if (m_host.LinkMode()) {
    m_host.Station().PageWrite(Type());
    return;
  }
  m_host.SetProgressRange(0, 100);
  m_host.SetProgressPosition(0);
  HeldMessages messages(m_host);
  records::SingleGasOptionRecord record;
  if (records::WriteSingleGasToDrive(m_host.UsbRoot(), Values(), record, messages)) {
    SetStoredRecord(record.bytes);
  }
  messages.Flush();
}

}  // namespace ql::pages
