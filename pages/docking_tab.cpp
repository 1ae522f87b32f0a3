#include "pages/docking_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
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
#include "rules/field_rules.h"
#include "rules/field_tables.h"

namespace ql::pages {

namespace {

QString Caption(std::string_view text) {
  return FromLatin1(text);
}

// A field's width from the number of characters it shows, so it scales with the font.
void SetCharWidth(QWidget* field, int chars) {
  field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 16);
}

// The locale's short date with the year always in four digits.
QString FourDigitYearFormat() {
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  if (!format.contains(QStringLiteral("yyyy"))) {
    format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  }
  return format;
}

QDate ToQDate(const records::PageDate& date) {
  return QDate(date.year, date.month, date.day);
}

}  // namespace

cDlgDockingTab::cDlgDockingTab(IPageHost& host, QWidget* parent) : RecordPage(host, parent) {
  BuildControls();
  SwallowDialogKeys(this);
  BuildLayout();
  BindRules();
  m_firmware = new FirmwareBlock(m_host, RecordType::Docking, this,
                                 FirmwareWidgets{m_firmwareLabel, m_firmwarePath, m_firmwareBar});
  connect(m_browse, &QPushButton::clicked, m_firmware, &FirmwareBlock::Browse);
  connect(m_firmwareWrite, &QPushButton::clicked, m_firmware, &FirmwareBlock::Write);
  connect(m_read, &QPushButton::clicked, this, &cDlgDockingTab::Read);
  connect(m_write, &QPushButton::clicked, this, &cDlgDockingTab::Write);
  connect(m_bumpTests, &QCheckBox::clicked, this, &cDlgDockingTab::UpdateBumpDecisionEnabled);
  connect(m_autoSyncBox, &QCheckBox::clicked, this, [this](bool checked) {
    m_autoSync = checked;
    emit autoSyncChanged(checked);
  });

  // Nothing shows these two again.
  m_dockingTimeLabel->hide();
  m_autoSyncBox->hide();
  // The station decides hibernation itself; the page only shows the record's switch.
  m_allowHibernate->setEnabled(false);
  LoadDefaults();
  EnablePage(false);
  // Their captions name the detector family; the record's text does not know it.
  NameField("Update Detector Configurations", m_updateConfig);
  NameField("Update Detector Firmware", m_updateFirmware);
  WatchFields();
}

void cDlgDockingTab::BuildControls() {
  using namespace rules;
  auto label = [this](int id, std::string_view text) {
    auto* l = new QLabel(Caption(text), this);
    SetControlId(l, id);
    return l;
  };
  auto field = [this](QLabel* caption, QLineEdit* edit, int id) {
    edit->setParent(this);
    caption->setBuddy(edit);
    SetControlId(edit, id, caption->text());
    return edit;
  };
  auto check = [this](int id, const QString& text) {
    auto* box = new QCheckBox(text, this);
    SetControlId(box, id, text.trimmed());
    return box;
  };
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

  m_infoGroup = group(1201, QStringLiteral("Docking Info"));
  m_serialLabel = label(1094, kCaptionSerialNumber);
  m_serial = field(m_serialLabel, new QLineEdit, 1054);
  m_serial->setReadOnly(true);
  m_serial->setMaxLength(static_cast<int>(kTextFieldMax));
  m_versionLabel = label(1095, kCaptionVersion);
  m_version = field(m_versionLabel, new QLineEdit, 1056);
  m_version->setReadOnly(true);
  m_locationLabel = label(1096, kCaptionLocation);
  m_location = field(m_locationLabel, new QLineEdit, 1053);
  m_location->setMaxLength(static_cast<int>(kTextFieldMax));
  m_autoPowerOffLabel = label(1097, kCaptionAutoPowerOffTime);
  m_autoPowerOff = static_cast<RuleEdit*>(field(m_autoPowerOffLabel, new RuleEdit, 1019));
  m_autoPowerOffArrows = new ArrowPair(this);
  m_autoPowerOffArrows->SetFieldName(m_autoPowerOffLabel->text());
  SetControlId(m_autoPowerOffArrows, 1080);
  m_autoPowerOffUnit = label(1102, "seconds");
  m_maxBumpLabel = label(1098, kCaptionMaximumBumpTime);
  m_maxBump = static_cast<RuleEdit*>(field(m_maxBumpLabel, new RuleEdit, 1021));
  m_maxBump->setMaxLength(3);
  m_maxBumpArrows = new ArrowPair(this);
  m_maxBumpArrows->SetFieldName(m_maxBumpLabel->text());
  SetControlId(m_maxBumpArrows, 1081);
  m_maxBumpUnit = label(1103, "seconds");
  m_dateLabel = label(1099, kCaptionGasExpirationDate);
  m_date = new QDateEdit(QDate::currentDate(), this);
  m_dateLabel->setBuddy(m_date);
  SetControlId(m_date, 1025, m_dateLabel->text());
  m_date->setCalendarPopup(true);
  m_date->setDisplayFormat(FourDigitYearFormat());
  m_date->setDateRange(ToQDate(records::kPickerMinDate), ToQDate(records::kPickerMaxDate));
  m_lotLabel = label(1101, kCaptionGasBottleLot);
  m_lot = field(m_lotLabel, new QLineEdit, 1023);
  m_lot->setMaxLength(static_cast<int>(kTextFieldMax));
  // Typing takes digits only; a record's negative lot number is still shown as it is.
  m_lot->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_lot));
  m_readWriteLabel = label(1105, "Info Read/Write");
  m_dockingTimeLabel = label(1106, "Docking Time");
  m_autoSyncBox = check(1238, QStringLiteral(" Auto Sync"));
  m_read = button(1230, QStringLiteral("Read"), QStringLiteral("Read the docking station info"));
  m_write = button(1231, QStringLiteral("Write"), QStringLiteral("Write the docking station info"));

  m_switchGroup = group(1104, QStringLiteral("Enable/Disable Function"));
  m_calibrate = check(1062, QStringLiteral(" Calibrate"));
  m_bumpTests = check(1030, QStringLiteral(" Bump Tests"));
  m_allowHibernate = check(1032, QStringLiteral(" Allow Hibernate"));
  m_updateConfig = check(1034, QStringLiteral(" Update TKL Configurations"));
  m_updateFirmware = check(1036, QStringLiteral(" Update TKL Firmware"));
  m_bumpDecisionLabel = label(1223, kCaptionBumpResultDecision);
  m_bumpDecision = new QComboBox(this);
  m_bumpDecisionLabel->setBuddy(m_bumpDecision);
  SetControlId(m_bumpDecision, 1224, m_bumpDecisionLabel->text());

  m_firmwareGroup = group(1100, QStringLiteral("Docking Station Firmware Upgrade"));
  m_firmwareLabel = new QLabel(this);
  SetControlId(m_firmwareLabel, 1092);
  m_firmwarePath = new QLineEdit(this);
  m_firmwarePath->setReadOnly(true);
  SetControlId(m_firmwarePath, 1029, QStringLiteral("Docking station firmware file"));
  m_browse = button(1039, QStringLiteral("Browse"),
                    QStringLiteral("Choose a docking station firmware file"));
  m_firmwareBar = new QProgressBar(this);
  m_firmwareBar->setRange(0, 100);
  m_firmwareBar->setValue(0);
  SetControlId(m_firmwareBar, 1229, QStringLiteral("Docking station firmware upload"));
  m_firmwareWrite = button(1041, QStringLiteral("Write"),
                           QStringLiteral("Send the docking station firmware file"));

  SetCharWidth(m_serial, 13);
  SetCharWidth(m_version, 8);
  SetCharWidth(m_location, 13);
  SetCharWidth(m_autoPowerOff, 6);
  SetCharWidth(m_maxBump, 6);
  SetCharWidth(m_lot, 13);
}

void cDlgDockingTab::BuildLayout() {
  // Docking Info: identity and times on the left; location, date, lot and the record's
  // Read and Write on the right.
  auto* left = new QGridLayout;
  left->addWidget(m_serialLabel, 0, 0);
  left->addWidget(m_serial, 0, 1, 1, 3);
  left->addWidget(m_versionLabel, 1, 0);
  left->addWidget(m_version, 1, 1, 1, 3);
  left->addWidget(m_autoPowerOffLabel, 2, 0);
  left->addWidget(m_autoPowerOff, 2, 1);
  left->addWidget(m_autoPowerOffArrows, 2, 2);
  left->addWidget(m_autoPowerOffUnit, 2, 3);
  left->addWidget(m_maxBumpLabel, 3, 0);
  left->addWidget(m_maxBump, 3, 1);
  left->addWidget(m_maxBumpArrows, 3, 2);
  left->addWidget(m_maxBumpUnit, 3, 3);
  left->setColumnStretch(4, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_readWriteLabel);
  buttons->addWidget(m_read);
  buttons->addWidget(m_write);
  buttons->addWidget(m_dockingTimeLabel);
  buttons->addWidget(m_autoSyncBox);
  buttons->addStretch(1);
  auto* right = new QGridLayout;
  right->addWidget(m_locationLabel, 0, 0);
  right->addWidget(m_location, 0, 1);
  right->addWidget(m_dateLabel, 1, 0);
  right->addWidget(m_date, 1, 1, Qt::AlignLeft);
  right->addWidget(m_lotLabel, 2, 0);
  right->addWidget(m_lot, 2, 1);
  right->addLayout(buttons, 3, 0, 1, 3);
  right->setColumnStretch(2, 1);

  auto* info = new QHBoxLayout(m_infoGroup);
  info->addLayout(left, 1);
  info->addLayout(right, 1);

  auto* switches = new QGridLayout(m_switchGroup);
  switches->addWidget(m_calibrate, 0, 0);
  switches->addWidget(m_bumpTests, 1, 0);
  switches->addWidget(m_allowHibernate, 2, 0);
  switches->addWidget(m_updateConfig, 0, 1);
  switches->addWidget(m_updateFirmware, 1, 1);
  auto* decision = new QHBoxLayout;
  decision->addWidget(m_bumpDecisionLabel);
  decision->addWidget(m_bumpDecision);
  decision->addStretch(1);
  switches->addLayout(decision, 3, 0, 1, 2);
  switches->setRowStretch(4, 1);

  auto* firmware = new QGridLayout(m_firmwareGroup);
  firmware->addWidget(m_firmwareLabel, 0, 0, 1, 2);
  firmware->addWidget(m_firmwarePath, 1, 0);
  firmware->addWidget(m_browse, 1, 1);
  firmware->addWidget(m_firmwareBar, 2, 0);
  firmware->addWidget(m_firmwareWrite, 2, 1);
  firmware->setRowStretch(3, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_switchGroup, 1);
  bottom->addWidget(m_firmwareGroup, 1);
  auto* page = new QVBoxLayout(this);
  page->addWidget(m_infoGroup);
  page->addLayout(bottom, 1);
}

void cDlgDockingTab::BindRules() {
  FieldRules autoPowerOff;
  autoPowerOff.change = rules::AutoPowerOffTimeChanged;
  autoPowerOff.leave = rules::AutoPowerOffTimeLeft;
  autoPowerOff.step = rules::StepAutoPowerOffTime;
  autoPowerOff.caretToEndAlways = true;
  BindField(m_autoPowerOff, m_autoPowerOffArrows, std::move(autoPowerOff));

  FieldRules maxBump;
  maxBump.change = rules::MaximumBumpTimeChanged;
  maxBump.leave = rules::MaximumBumpTimeLeft;
  maxBump.step = rules::StepMaximumBumpTime;
  maxBump.caretToEndAlways = true;
  BindField(m_maxBump, m_maxBumpArrows, std::move(maxBump));

  // Serial Number and Location keep letters and digits, typed or decoded alike.
  for (QLineEdit* edit : {m_serial, m_location}) {
    connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
      const QString kept = FromLatin1(rules::KeepLettersAndDigits(ToLatin1(text)));
      if (kept != text) {
        edit->setText(kept);
      } else {
        edit->end(false);
      }
    });
  }
}

void cDlgDockingTab::LoadDefaults() {
  records::DockingPageValues values = Values();
  records::LoadDockingDefaults(values);
  m_bumpDecision->clear();
  for (std::string_view item : rules::kBumpResultDecisionItems) {
    m_bumpDecision->addItem(Caption(item));
  }
  SetValues(values);
  m_firmware->Clear();
  m_firmwareBar->setRange(0, 100);
  m_firmwareBar->setValue(0);
}

void cDlgDockingTab::EnablePage(bool enabled) {
  m_enabled = enabled;
  if (!enabled) {
    m_version->setEnabled(false);
    m_allowHibernate->setEnabled(false);
  }
  QWidget* const controls[] = {
      m_location,
      m_autoPowerOff,
      m_maxBump,
      m_date,
      m_lot,
      m_calibrate,
      m_bumpTests,
      m_updateConfig,
      m_updateFirmware,
      m_firmwarePath,
      m_browse,
      m_autoPowerOffArrows,
      m_maxBumpArrows,
      m_infoGroup,
      m_serialLabel,
      m_versionLabel,
      m_locationLabel,
      m_autoPowerOffLabel,
      m_maxBumpLabel,
      m_dateLabel,
      m_lotLabel,
      m_bumpDecisionLabel,
      m_switchGroup,
      m_firmwareGroup,
      m_autoPowerOffUnit,
      m_maxBumpUnit,
      m_readWriteLabel,
      m_read,
      m_write,
      m_firmwareWrite,
  };
  for (QWidget* control : controls) control->setEnabled(enabled);
  UpdateBumpDecisionEnabled();
}

void cDlgDockingTab::SetBusy(bool busy) {
  for (QPushButton* button : {m_browse, m_read, m_write, m_firmwareWrite}) {
    button->setEnabled(!busy && m_enabled);
  }
}

void cDlgDockingTab::UpdateBumpDecisionEnabled() {
  m_bumpDecision->setEnabled(m_enabled && m_bumpTests->isChecked());
}

records::DockingPageValues cDlgDockingTab::Values() const {
  records::DockingPageValues values;
  values.serialNumber = ToLatin1(m_serial->text());
  values.version = ToLatin1(m_version->text());
  values.location = ToLatin1(m_location->text());
  values.autoPowerOffTime = ToLatin1(m_autoPowerOff->text());
  values.maximumBumpTime = ToLatin1(m_maxBump->text());
  const QDate date = m_date->date();
  values.gasExpirationDate = {date.year(), date.month(), date.day()};
  values.gasBottleLot = ToLatin1(m_lot->text());
  values.bumpResultDecision = m_bumpDecision->currentIndex();
  using records::DockingSwitch;
  values.SetSwitch(DockingSwitch::Calibrate, m_calibrate->isChecked());
  values.SetSwitch(DockingSwitch::BumpTests, m_bumpTests->isChecked());
  values.SetSwitch(DockingSwitch::AllowHibernate, m_allowHibernate->isChecked());
  values.SetSwitch(DockingSwitch::UpdateDetectorConfigurations, m_updateConfig->isChecked());
  values.SetSwitch(DockingSwitch::UpdateDetectorFirmware, m_updateFirmware->isChecked());
  return values;
}

void cDlgDockingTab::SetValues(const records::DockingPageValues& values) {
  m_serial->setText(FromLatin1(values.serialNumber));
  m_version->setText(FromLatin1(values.version));
  m_location->setText(FromLatin1(values.location));
  m_autoPowerOff->setText(FromLatin1(values.autoPowerOffTime));
  m_maxBump->setText(FromLatin1(values.maximumBumpTime));
  if (records::IsPickerDate(values.gasExpirationDate)) {
    m_date->setDate(ToQDate(values.gasExpirationDate));
  }
  m_lot->setText(FromLatin1(values.gasBottleLot));
  if (values.bumpResultDecision >= 0 && values.bumpResultDecision < m_bumpDecision->count()) {
    m_bumpDecision->setCurrentIndex(values.bumpResultDecision);
  }
  using records::DockingSwitch;
  m_calibrate->setChecked(values.Switch(DockingSwitch::Calibrate));
  m_bumpTests->setChecked(values.Switch(DockingSwitch::BumpTests));
  m_allowHibernate->setChecked(values.Switch(DockingSwitch::AllowHibernate));
  m_updateConfig->setChecked(values.Switch(DockingSwitch::UpdateDetectorConfigurations));
  m_updateFirmware->setChecked(values.Switch(DockingSwitch::UpdateDetectorFirmware));
  UpdateBumpDecisionEnabled();
}

void cDlgDockingTab::SetDetectorFamily(RecordType family) {
  const bool singleGas = family == RecordType::SingleGas;
  m_updateConfig->setText(singleGas ? QStringLiteral(" Update TKL Configurations")
                                    : QStringLiteral(" Update RVX Config"));
  m_updateFirmware->setText(singleGas ? QStringLiteral(" Update TKL Firmware")
                                      : QStringLiteral(" Update RVX Firmware"));
  m_updateConfig->setAccessibleName(m_updateConfig->text().trimmed());
  m_updateFirmware->setAccessibleName(m_updateFirmware->text().trimmed());
}

void cDlgDockingTab::FillFromRecord(std::span<const std::uint8_t> record) {
  records::DockingInfoRecord decoded;
  std::copy_n(record.begin(), std::min(record.size(), decoded.bytes.size()), decoded.bytes.begin());
  records::DockingPageValues values = Values();
  records::DockingInfoToPage(decoded, values);
  SetValues(values);
}

void cDlgDockingTab::PageToRecord(std::span<std::uint8_t> record) const {
  records::DockingInfoRecord encoded;
  records::DockingInfoFromPage(Values(), encoded);
  std::copy_n(encoded.bytes.begin(), std::min(record.size(), encoded.bytes.size()), record.begin());
}

std::optional<std::string> cDlgDockingTab::CheckPage() const {
  return records::CheckDockingPage(Values());
}

QAbstractButton* cDlgDockingTab::RecordWriteButton() const {
  return m_write;
}

QString cDlgDockingTab::FirmwarePath() const {
  return m_firmwarePath->text();
}

void cDlgDockingTab::ClearFirmwareFields() {
  m_firmware->Clear();
}

void cDlgDockingTab::Read() {
  if (m_host.LinkMode()) {
    m_host.Station().PageRead(Type());
    return;
  }
  m_host.SetProgressRange(0, 100);
  m_host.SetProgressPosition(0);
  HeldMessages messages(m_host);
  records::DockingInfoRecord record;
  records::DockingPageValues values = Values();
  if (records::ReadDockingFromDrive(m_host.UsbRoot(), record, values, messages)) {
    SetValues(values);
    SetStoredRecord(record.bytes);
  }
  messages.Flush();
}

void cDlgDockingTab::Write() {
  // A value the page would not accept is refused here, before the station or the drive
  // sees it.
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
  HeldMessages messages(m_host);
  records::DockingInfoRecord record;
  if (records::WriteDockingToDrive(m_host.UsbRoot(), Values(), record, messages)) {
    SetStoredRecord(record.bytes);
  }
  messages.Flush();
}

}  // namespace ql::pages
