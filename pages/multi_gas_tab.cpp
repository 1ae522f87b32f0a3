#include "pages/multi_gas_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "pages/control_id.h"
#include "pages/dialog_keys.h"
#include "pages/field_widgets.h"
#include "pages/firmware_block.h"
#include "records/config_files.h"
#include "records/message_sink.h"
#include "records/record_text.h"
#include "rules/field_tables.h"

namespace ql::pages {

namespace {

using records::kMultiGasCount;

constexpr std::array<int, 4> kCalibrationEdits = {1128, 1132, 1136, 1153};
constexpr std::array<int, 4> kCalibrationSpins = {1129, 1133, 1137, 1155};
constexpr std::array<int, 4> kBumpEdits = {1130, 1134, 1138, 1154};
constexpr std::array<int, 4> kBumpSpins = {1131, 1135, 1139, 1156};
constexpr std::array<int, 4> kLowEdits = {1140, 1142, 1144, 1157};
constexpr std::array<int, 4> kLowSpins = {1141, 1143, 1145, 1159};
constexpr std::array<int, 4> kHighEdits = {1146, 1151, 1149, 1158};
constexpr std::array<int, 4> kHighSpins = {1147, 1150, 1148, 1160};
constexpr std::array<int, 2> kStelEdits = {1187, 1191};
constexpr std::array<int, 2> kStelSpins = {1189, 1193};
constexpr std::array<int, 2> kTwaEdits = {1186, 1190};
constexpr std::array<int, 2> kTwaSpins = {1188, 1192};
constexpr std::array<int, 4> kConcentrationEdits = {1208, 1209, 1210, 1219};
constexpr std::array<int, 4> kConcentrationSpins = {1211, 1212, 1213, 1221};
constexpr std::array<int, 4> kColumnLabelIds = {1121, 1122, 1123, 1152};
constexpr std::array<int, 4> kGasLabelIds = {1204, 1205, 1207, 1217};
constexpr std::array<int, 4> kGasUnitIds = {1214, 1215, 1216, 1220};
constexpr std::array<std::string_view, 4> kGasUnits = {"ppm", "ppm", "%", "ppm"};

struct SwitchSpec {
  int id;
  std::string_view caption;
};
// Record order of the seven option flags.
constexpr std::array<SwitchSpec, 7> kSwitches = {{
    {1167, " Safe Display"},
    {1174, " Dock Lock"},
    {1168, " Maintenance Notification"},
    {1175, " Latching Alarms"},
    {1169, " Auto Zero"},
    {1176, " LEL By Volume CH4"},
    {1170, " OFF Lock"},
}};

QString Text(std::string_view text) {
  return FromLatin1(text);
}

// Check box captions start with a blank; the accessible name is the caption's words.
QString BoxCaption(std::string_view caption) {
  return QStringLiteral(" ") + Text(caption);
}

// The label the record text table gives the field: one name for screen readers, change
// marks and the command-line tool.
QString GasFieldName(std::string_view caption, std::string_view gas) {
  return FromLatin1(records::GridLabel(caption, gas));
}

// Wide enough for the longest value text ("300.0", "n/a") at any scale.
void SizeNumericEdit(QLineEdit* edit) {
  const int width = edit->fontMetrics().horizontalAdvance(QStringLiteral("000.0")) + 12;
  edit->setFixedWidth(width);
}

// The arrows as high as their field, one above the other, so a row stays one line high.
void SizeArrows(ArrowPair* arrows, const QLineEdit* edit) {
  const int height = std::max(8, edit->sizeHint().height() / 2);
  const int width = edit->fontMetrics().height();
  for (QToolButton* button : {arrows->UpButton(), arrows->DownButton()}) {
    button->setFixedSize(width, height);
  }
}

template <std::size_t N>
void ReadRow(const std::vector<RuleEdit*>& edits, const QCheckBox* box,
             records::GasTextRow<N>& row) {
  row.checked = box->isChecked();
  for (std::size_t gas = 0; gas < N; ++gas) row.text[gas] = ToLatin1(edits[gas]->text());
}

template <std::size_t N>
void WriteRow(const records::GasTextRow<N>& row, const std::vector<RuleEdit*>& edits,
              QCheckBox* box) {
  box->setChecked(row.checked);
  for (std::size_t gas = 0; gas < N; ++gas) edits[gas]->setText(FromLatin1(row.text[gas]));
}

void SetListIndex(QComboBox* list, int index) {
  if (index >= 0 && index < list->count()) list->setCurrentIndex(index);
}

}  // namespace

cDlgHWRTab::cDlgHWRTab(IPageHost& host, QWidget* parent) : RecordPage(host, parent) {
  BuildControls();
  SwallowDialogKeys(this);
  BuildLayout();
  LoadDefaults();
  EnablePage(false);
  WatchFields();
}

QCheckBox* cDlgHWRTab::NewCheckBox(int id, const QString& caption) {
  auto* box = new QCheckBox(caption, m_optionGroup);
  SetControlId(box, id, caption.trimmed());
  return box;
}

cDlgHWRTab::NumericRow cDlgHWRTab::NewGasRow(int boxId, std::string_view caption,
                                             std::span<const int> editIds,
                                             std::span<const int> spinIds,
                                             std::span<const rules::NumericField> fields) {
  NumericRow row;
  row.box = NewCheckBox(boxId, BoxCaption(caption));
  std::vector<QWidget*> controls;
  for (std::size_t gas = 0; gas < editIds.size(); ++gas) {
    const QString name = GasFieldName(caption, rules::kMultiGasNames[gas]);
    auto* edit = new RuleEdit(m_optionGroup);
    SetControlId(edit, editIds[gas], name);
    SizeNumericEdit(edit);
    auto* arrows = new ArrowPair(m_optionGroup);
    SetControlId(arrows, spinIds[gas]);
    arrows->SetFieldName(name);
    SizeArrows(arrows, edit);
    BindField(edit, arrows, NumericFieldRules(fields[gas], row.box));
    row.edits.push_back(edit);
    row.arrows.push_back(arrows);
    controls.push_back(edit);
    controls.push_back(arrows);
  }
  AddRow(row.box, std::move(controls));
  return row;
}

cDlgHWRTab::NumericRow cDlgHWRTab::NewFieldRow(int boxId, std::string_view caption, int editId,
                                               int spinId, const rules::NumericField& field) {
  NumericRow row;
  row.box = NewCheckBox(boxId, BoxCaption(caption));
  auto* edit = new RuleEdit(m_optionGroup);
  // The row's box bears the caption; its field is told apart by " Value".
  const QString name = FromLatin1(records::ValueLabel(caption));
  SetControlId(edit, editId, name);
  SizeNumericEdit(edit);
  auto* arrows = new ArrowPair(m_optionGroup);
  SetControlId(arrows, spinId);
  arrows->SetFieldName(name);
  SizeArrows(arrows, edit);
  BindField(edit, arrows, NumericFieldRules(field, row.box));
  row.edits.push_back(edit);
  row.arrows.push_back(arrows);
  AddRow(row.box, {edit, arrows});
  return row;
}

void cDlgHWRTab::AddRow(QCheckBox* box, std::vector<QWidget*> controls) {
  m_rows.push_back({box, std::move(controls)});
  const std::size_t index = m_rows.size() - 1;
  // Follows the box however it changes (a click, a loaded record, EnablePage's clearing),
  // so a row's fields are never usable while its box is clear.
  connect(box, &QCheckBox::toggled, this, [this, index] { ApplyRowEnabling(m_rows[index]); });
}

void cDlgHWRTab::BuildControls() {
  using namespace rules;
  m_rows.reserve(12);

  auto* optionGroup = new QGroupBox(QStringLiteral("Option (Set By Dock)"), this);
  SetControlId(optionGroup, 1197);
  m_optionGroup = optionGroup;
  auto* concentrationGroup = new QGroupBox(Text(kCaptionGasConcentration), this);
  SetControlId(concentrationGroup, 1206);
  m_concentrationGroup = concentrationGroup;
  auto* transferGroup = new QGroupBox(QStringLiteral("RVX Option Info Read/Write"), this);
  SetControlId(transferGroup, 1173);
  m_transferGroup = transferGroup;
  auto* firmwareGroup = new QGroupBox(QStringLiteral("RVX Firmware Upgrade"), this);
  SetControlId(firmwareGroup, 1117);
  m_firmwareGroup = firmwareGroup;

  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    m_columnLabels[gas] = new QLabel(Text(kMultiGasNames[gas]), m_optionGroup);
    m_columnLabels[gas]->setAlignment(Qt::AlignCenter);
    SetControlId(m_columnLabels[gas], kColumnLabelIds[gas]);
  }

  // Rows in the order of their record flags.
  m_calibration = NewGasRow(1124, kCaptionCalibrationInterval, kCalibrationEdits, kCalibrationSpins,
                            std::array{kMultiGasDays, kMultiGasDays, kMultiGasDays, kMultiGasDays});
  m_bump = NewGasRow(1125, kCaptionBumpInterval, kBumpEdits, kBumpSpins,
                     std::array{kMultiGasDays, kMultiGasDays, kMultiGasDays, kMultiGasDays});
  m_low = NewGasRow(1126, kCaptionLowAlarm, kLowEdits, kLowSpins, kMultiGasAlarm);
  m_high = NewGasRow(1127, kCaptionHighAlarm, kHighEdits, kHighSpins, kMultiGasAlarm);
  m_twa = NewGasRow(1184, kCaptionTwaAlarm, kTwaEdits, kTwaSpins, kMultiGasExposureAlarm);
  m_stel = NewGasRow(1185, kCaptionStelAlarm, kStelEdits, kStelSpins, kMultiGasExposureAlarm);

  m_userIdBox = NewCheckBox(1162, BoxCaption(kCaptionUserIdMessage));
  m_userId = new QLineEdit(m_optionGroup);
  SetControlId(m_userId, 1161, FromLatin1(records::ValueLabel(kCaptionUserIdMessage)));
  m_userId->setMaxLength(static_cast<int>(kTextFieldMax));
  // The detector shows 8-bit text: printable Latin-1 only.
  m_userId->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[\\x{20}-\\x{7E}\\x{A0}-\\x{FF}]*")), m_userId));
  AddRow(m_userIdBox, {m_userId});

  m_languageBox = NewCheckBox(1163, BoxCaption(kCaptionLanguage));
  m_language = new QComboBox(m_optionGroup);
  SetControlId(m_language, 1164, FromLatin1(records::ValueLabel(kCaptionLanguage)));
  for (std::string_view item : kLanguageItems) m_language->addItem(Text(item));
  AddRow(m_languageBox, {m_language});
  // Never shown, yet loaded and stored with the rest, so a station's setting survives.
  m_languageBox->setVisible(false);
  m_language->setVisible(false);

  m_twaMethodBox = NewCheckBox(1165, BoxCaption(kCaptionTwaMethod));
  m_twaMethod = new QComboBox(m_optionGroup);
  SetControlId(m_twaMethod, 1177, FromLatin1(records::ValueLabel(kCaptionTwaMethod)));
  for (std::string_view item : kTwaMethodItems) m_twaMethod->addItem(Text(item));
  AddRow(m_twaMethodBox, {m_twaMethod});

  m_twaInterval = NewFieldRow(1171, kCaptionTwaInterval, 1179, 1178, kTwaInterval);
  m_stelInterval = NewFieldRow(1166, kCaptionStelInterval, 1180, 1181, kStelInterval);
  m_lelFullScale = NewFieldRow(1172, kCaptionLelFullScale, 1182, 1183, kLelFullScale);
  constexpr std::array<std::pair<int, std::string_view>, 3> kUnits = {
      {{1194, "hr"}, {1195, "min"}, {1196, "%CH4"}}};
  for (std::size_t i = 0; i < kUnits.size(); ++i) {
    m_intervalUnits[i] = new QLabel(Text(kUnits[i].second), m_optionGroup);
    SetControlId(m_intervalUnits[i], kUnits[i].first);
  }

  for (std::size_t i = 0; i < kSwitches.size(); ++i) {
    m_switches[i] = NewCheckBox(kSwitches[i].id, Text(kSwitches[i].caption));
  }

  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    const QString name = GasFieldName(kCaptionGasConcentration, kMultiGasNames[gas]);
    m_gasLabels[gas] = new QLabel(Text(kMultiGasNames[gas]), m_concentrationGroup);
    SetControlId(m_gasLabels[gas], kGasLabelIds[gas]);
    m_gasUnits[gas] = new QLabel(Text(kGasUnits[gas]), m_concentrationGroup);
    SetControlId(m_gasUnits[gas], kGasUnitIds[gas]);
    m_concentration[gas] = new RuleEdit(m_concentrationGroup);
    SetControlId(m_concentration[gas], kConcentrationEdits[gas], name);
    SizeNumericEdit(m_concentration[gas]);
    m_gasLabels[gas]->setBuddy(m_concentration[gas]);
    m_concentrationArrows[gas] = new ArrowPair(m_concentrationGroup);
    SetControlId(m_concentrationArrows[gas], kConcentrationSpins[gas]);
    m_concentrationArrows[gas]->SetFieldName(name);
    SizeArrows(m_concentrationArrows[gas], m_concentration[gas]);
    BindField(m_concentration[gas], m_concentrationArrows[gas],
              NumericFieldRules(kMultiGasConcentration[gas], nullptr));
  }

  auto newButton = [this](QWidget* group, int id, const QString& caption) {
    auto* button = new QPushButton(caption, group);
    SetControlId(button, id, caption.trimmed());
    // Enter belongs to the page (swallowed), never to a button.
    button->setAutoDefault(false);
    return button;
  };
  m_read = newButton(m_transferGroup, 1230, QStringLiteral(" Read"));
  m_write = newButton(m_transferGroup, 1231, QStringLiteral(" Write"));
  m_browse = newButton(m_firmwareGroup, 1119, QStringLiteral(" Browse"));
  m_firmwareWrite = newButton(m_firmwareGroup, 1041, QStringLiteral(" Write"));
  m_firmwareWrite->setAccessibleDescription(QStringLiteral("Write the RVX firmware"));
  m_firmwarePath = new QLineEdit(m_firmwareGroup);
  SetControlId(m_firmwarePath, 1118, QStringLiteral("Firmware file"));
  m_firmwareVersion = new QLabel(m_firmwareGroup);
  SetControlId(m_firmwareVersion, 1120);
  m_bar = new QProgressBar(m_firmwareGroup);
  SetControlId(m_bar, 1236, QStringLiteral("RVX firmware progress"));
  m_bar->setRange(0, 100);
  m_bar->setValue(0);

  m_pageFrames = {m_concentrationGroup, m_optionGroup, m_firmwareGroup};
  for (QLabel* label : m_gasLabels) m_pageFrames.push_back(label);
  for (QLabel* label : m_gasUnits) m_pageFrames.push_back(label);
  for (QLabel* label : m_columnLabels) m_pageFrames.push_back(label);
  for (QLabel* label : m_intervalUnits) m_pageFrames.push_back(label);

  m_firmware = new FirmwareBlock(m_host, RecordType::MultiGas, this,
                                 {m_firmwareVersion, m_firmwarePath, m_bar});
  connect(m_read, &QPushButton::clicked, this, &cDlgHWRTab::OnRead);
  connect(m_write, &QPushButton::clicked, this, &cDlgHWRTab::OnWrite);
  connect(m_browse, &QPushButton::clicked, m_firmware, &FirmwareBlock::Browse);
  connect(m_firmwareWrite, &QPushButton::clicked, m_firmware, &FirmwareBlock::Write);
}

void cDlgHWRTab::BuildLayout() {
  // Option group: the per-gas grid and the switches on the left, the single fields right.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    grid->addWidget(m_columnLabels[gas], 0, 1 + 2 * static_cast<int>(gas), 1, 2);
  }
  int gridRow = 1;
  for (const NumericRow* row : {&m_calibration, &m_bump, &m_low, &m_high, &m_twa, &m_stel}) {
    grid->addWidget(row->box, gridRow, 0);
    for (std::size_t gas = 0; gas < row->edits.size(); ++gas) {
      grid->addWidget(row->edits[gas], gridRow, 1 + 2 * static_cast<int>(gas));
      grid->addWidget(row->arrows[gas], gridRow, 2 + 2 * static_cast<int>(gas));
    }
    ++gridRow;
  }
  grid->setColumnStretch(0, 1);

  auto* switches = new QGridLayout;
  for (std::size_t i = 0; i < m_switches.size(); ++i) {
    switches->addWidget(m_switches[i], static_cast<int>(i / 3), static_cast<int>(i % 3));
  }

  auto* left = new QVBoxLayout;
  left->addLayout(grid);
  left->addSpacing(6);
  left->addLayout(switches);
  left->addStretch(1);

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(4);
  int fieldRow = 0;
  fields->addWidget(m_userIdBox, fieldRow, 0);
  fields->addWidget(m_userId, fieldRow++, 1, 1, 3);
  fields->addWidget(m_languageBox, fieldRow, 0);
  fields->addWidget(m_language, fieldRow++, 1, 1, 3);
  fields->addWidget(m_twaMethodBox, fieldRow, 0);
  fields->addWidget(m_twaMethod, fieldRow++, 1, 1, 3);
  const std::array<const NumericRow*, 3> singles = {&m_twaInterval, &m_stelInterval,
                                                    &m_lelFullScale};
  for (std::size_t i = 0; i < singles.size(); ++i) {
    fields->addWidget(singles[i]->box, fieldRow, 0);
    fields->addWidget(singles[i]->edits[0], fieldRow, 1);
    fields->addWidget(singles[i]->arrows[0], fieldRow, 2);
    fields->addWidget(m_intervalUnits[i], fieldRow++, 3);
  }
  fields->setRowStretch(fieldRow, 1);

  auto* optionLayout = new QHBoxLayout(m_optionGroup);
  optionLayout->addLayout(left, 3);
  optionLayout->addSpacing(8);
  optionLayout->addLayout(fields, 1);

  auto* concentrationLayout = new QGridLayout(m_concentrationGroup);
  concentrationLayout->setHorizontalSpacing(4);
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    const int row = static_cast<int>(gas);
    concentrationLayout->addWidget(m_gasLabels[gas], row, 0);
    concentrationLayout->addWidget(m_concentration[gas], row, 1);
    concentrationLayout->addWidget(m_concentrationArrows[gas], row, 2);
    concentrationLayout->addWidget(m_gasUnits[gas], row, 3);
  }
  concentrationLayout->setColumnStretch(4, 1);

  auto* transferLayout = new QHBoxLayout(m_transferGroup);
  transferLayout->addWidget(m_read);
  transferLayout->addWidget(m_write);

  auto* firmwareLayout = new QGridLayout(m_firmwareGroup);
  firmwareLayout->addWidget(m_firmwarePath, 0, 0);
  firmwareLayout->addWidget(m_browse, 0, 1);
  firmwareLayout->addWidget(m_firmwareVersion, 1, 0, 1, 2);
  firmwareLayout->addWidget(m_bar, 2, 0);
  firmwareLayout->addWidget(m_firmwareWrite, 2, 1);
  firmwareLayout->setColumnStretch(0, 1);

  auto* right = new QVBoxLayout;
  right->addWidget(m_concentrationGroup);
  right->addWidget(m_transferGroup);
  right->addWidget(m_firmwareGroup);
  right->addStretch(1);

  auto* page = new QHBoxLayout(this);
  page->addWidget(m_optionGroup, 1);
  page->addLayout(right);
}

std::vector<QWidget*> cDlgHWRTab::OptionControls() const {
  std::vector<QWidget*> result;
  for (const RowControls& row : m_rows) {
    result.insert(result.end(), row.controls.begin(), row.controls.end());
  }
  return result;
}

void cDlgHWRTab::LoadDefaults() {
  records::MultiGasPageValues values = Values();
  records::LoadMultiGasDefaults(values);
  SetValues(values);
  for (QWidget* control : OptionControls()) control->setEnabled(false);
  m_firmwarePath->clear();
  m_firmwareVersion->clear();
}

void cDlgHWRTab::EnablePage(bool enabled) {
  m_enabled = enabled;
  if (!enabled) {
    for (QWidget* control : OptionControls()) control->setEnabled(false);
  }
  std::vector<QWidget*> controls = m_pageFrames;
  for (const RowControls& row : m_rows) controls.push_back(row.box);
  controls.insert(controls.end(), m_switches.begin(), m_switches.end());
  controls.insert(controls.end(), m_concentration.begin(), m_concentration.end());
  controls.insert(controls.end(), m_concentrationArrows.begin(), m_concentrationArrows.end());
  controls.insert(controls.end(), {m_firmwarePath, m_browse, m_read, m_write, m_firmwareWrite});
  for (QWidget* control : controls) control->setEnabled(enabled);
  // Clearing a row's box disables its fields through its row handler.
  for (const RowControls& row : m_rows) row.box->setChecked(false);
  for (QCheckBox* box : m_switches) box->setChecked(false);
}

void cDlgHWRTab::SetBusy(bool busy) {
  for (QPushButton* button : {m_browse, m_read, m_write, m_firmwareWrite}) {
    button->setEnabled(!busy && m_enabled);
  }
}

void cDlgHWRTab::ApplyRowEnabling(const RowControls& row) {
  const bool usable = row.box->isChecked() && m_enabled;
  for (QWidget* control : row.controls) control->setEnabled(usable);
}

void cDlgHWRTab::ApplyAllRowEnabling() {
  for (const RowControls& row : m_rows) ApplyRowEnabling(row);
}

records::MultiGasPageValues cDlgHWRTab::Values() const {
  records::MultiGasPageValues v;
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    v.concentration[gas] = ToLatin1(m_concentration[gas]->text());
  }
  ReadRow(m_calibration.edits, m_calibration.box, v.calibrationInterval);
  ReadRow(m_bump.edits, m_bump.box, v.bumpInterval);
  ReadRow(m_low.edits, m_low.box, v.lowAlarm);
  ReadRow(m_high.edits, m_high.box, v.highAlarm);
  ReadRow(m_twa.edits, m_twa.box, v.twaAlarm);
  ReadRow(m_stel.edits, m_stel.box, v.stelAlarm);
  v.userId = {m_userIdBox->isChecked(), ToLatin1(m_userId->text())};
  v.language = {m_languageBox->isChecked(), m_language->currentIndex()};
  v.twaMethod = {m_twaMethodBox->isChecked(), m_twaMethod->currentIndex()};
  v.twaInterval = {m_twaInterval.box->isChecked(), ToLatin1(m_twaInterval.edits[0]->text())};
  v.stelInterval = {m_stelInterval.box->isChecked(), ToLatin1(m_stelInterval.edits[0]->text())};
  v.lelFullScale = {m_lelFullScale.box->isChecked(), ToLatin1(m_lelFullScale.edits[0]->text())};
  v.safeDisplay = m_switches[0]->isChecked();
  v.dockLock = m_switches[1]->isChecked();
  v.maintenanceNotification = m_switches[2]->isChecked();
  v.latchingAlarms = m_switches[3]->isChecked();
  v.autoZero = m_switches[4]->isChecked();
  v.lelByVolumeCh4 = m_switches[5]->isChecked();
  v.offLock = m_switches[6]->isChecked();
  return v;
}

void cDlgHWRTab::SetValues(const records::MultiGasPageValues& v) {
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    m_concentration[gas]->setText(FromLatin1(v.concentration[gas]));
  }
  WriteRow(v.calibrationInterval, m_calibration.edits, m_calibration.box);
  WriteRow(v.bumpInterval, m_bump.edits, m_bump.box);
  WriteRow(v.lowAlarm, m_low.edits, m_low.box);
  WriteRow(v.highAlarm, m_high.edits, m_high.box);
  WriteRow(v.twaAlarm, m_twa.edits, m_twa.box);
  WriteRow(v.stelAlarm, m_stel.edits, m_stel.box);
  m_userIdBox->setChecked(v.userId.checked);
  m_userId->setText(FromLatin1(v.userId.text));
  m_languageBox->setChecked(v.language.checked);
  SetListIndex(m_language, v.language.index);
  m_twaMethodBox->setChecked(v.twaMethod.checked);
  SetListIndex(m_twaMethod, v.twaMethod.index);
  m_twaInterval.box->setChecked(v.twaInterval.checked);
  m_twaInterval.edits[0]->setText(FromLatin1(v.twaInterval.text));
  m_stelInterval.box->setChecked(v.stelInterval.checked);
  m_stelInterval.edits[0]->setText(FromLatin1(v.stelInterval.text));
  m_lelFullScale.box->setChecked(v.lelFullScale.checked);
  m_lelFullScale.edits[0]->setText(FromLatin1(v.lelFullScale.text));
  const std::array<bool, 7> switches = {v.safeDisplay,    v.dockLock, v.maintenanceNotification,
                                        v.latchingAlarms, v.autoZero, v.lelByVolumeCh4,
                                        v.offLock};
  for (std::size_t i = 0; i < switches.size(); ++i) m_switches[i]->setChecked(switches[i]);
  ApplyAllRowEnabling();
}

void cDlgHWRTab::FillFromRecord(std::span<const std::uint8_t> record) {
  // Anything but a whole record leaves the page as it was.
  if (record.size() != records::kMultiGasOptionSize) return;
  records::MultiGasOptionRecord decoded;
  std::copy(record.begin(), record.end(), decoded.bytes.begin());
  records::MultiGasPageValues values = Values();
  records::MultiGasOptionsToPage(decoded, values);
  SetValues(values);
}

void cDlgHWRTab::PageToRecord(std::span<std::uint8_t> record) const {
  records::MultiGasOptionRecord encoded;
  records::MultiGasOptionsFromPage(Values(), encoded);
  std::fill(record.begin(), record.end(), std::uint8_t{0});
  std::copy_n(encoded.bytes.begin(), std::min(record.size(), encoded.bytes.size()), record.begin());
}

std::optional<std::string> cDlgHWRTab::CheckPage() const {
  return records::CheckMultiGasPage(Values());
}

QAbstractButton* cDlgHWRTab::RecordWriteButton() const {
  return m_write;
}

QString cDlgHWRTab::FirmwarePath() const {
  return m_firmwarePath->text();
}

void cDlgHWRTab::ClearFirmwareFields() {
  m_firmware->Clear();
}

QProgressBar* cDlgHWRTab::FirmwareBar() const {
  return m_bar;
}

void cDlgHWRTab::OnRead() {
  if (m_host.LinkMode()) {
    m_host.Station().PageRead(Type());  // progress, port check and messages: the engine's
    return;
  }
  m_host.SetProgressRange(0, 100);
  m_host.SetProgressPosition(0);
  records::MultiGasOptionRecord record;
  records::MultiGasPageValues values = Values();
  HeldMessages sink(m_host);
  if (records::ReadMultiGasFromDrive(m_host.UsbRoot(), record, values, sink)) {
    SetValues(values);
    SetStoredRecord(record.bytes);
  }
  sink.Flush();
}

void cDlgHWRTab::OnWrite() {
  // A value the page would refuse is never sent to the station nor saved for it.
  if (const auto refusal = CheckPage()) {
    m_host.ShowMessage(*refusal);
    return;
  }
  if (m_host.LinkMode()) {
    m_host.Station().PageWrite(Type());
    return;
  }
  m_host.SetProgressRange(0, 100);
  m_host.SetProgressPosition(0);
  records::MultiGasOptionRecord record;
  HeldMessages sink(m_host);
  if (records::WriteMultiGasToDrive(m_host.UsbRoot(), Values(), record, sink)) {
    SetStoredRecord(record.bytes);
  }
  sink.Flush();
}

}  // namespace ql::pages
