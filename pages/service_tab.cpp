#include "pages/service_tab.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/control_id.h"
#include "pages/dialog_keys.h"
#include "pages/field_widgets.h"
#include "rules/field_rules.h"

namespace ql::pages {

namespace {

QPushButton* Button(QWidget* parent, int id, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setAutoDefault(false);
  SetControlId(button, id, caption.trimmed());
  return button;
}

}  // namespace

cDlgRNDTab::cDlgRNDTab(IPageHost& host, QWidget* parent)
    : QWidget(parent),
      m_host(host),
      m_serialNumber(new QLineEdit(this)),
      m_write(Button(this, 1226, QStringLiteral("Write"))),
      m_getIp(Button(this, 1254, QStringLiteral("Get IpAdress"))),
      m_ipAddress(new QLineEdit(this)) {
  SetControlId(this, 158);

  auto* bothVersions = new QGroupBox(QStringLiteral("Docking v1 and Docking v2"), this);
  SetControlId(bothVersions, 1248);
  auto* serialLabel = new QLabel(QStringLiteral("Serial Number Input :"), bothVersions);
  SetControlId(serialLabel, 1247);
  serialLabel->setBuddy(m_serialNumber);
  SetControlId(m_serialNumber, 1198, QStringLiteral("Serial Number Input"));
  m_serialNumber->setMaxLength(kSerialNumberLength);
  // The docking page shows and writes back only the letters and digits of the serial
  // number: the input keeps only those, so the next docking Write does not change it.
  connect(m_serialNumber, &QLineEdit::textChanged, this, [this](const QString& text) {
    const QString kept = FromLatin1(rules::KeepLettersAndDigits(ToLatin1(text)));
    if (kept != text) m_serialNumber->setText(kept);
  });
  m_write->setAccessibleDescription(QStringLiteral("Writes the serial number to the station"));
  auto* selfTest = Button(bothVersions, 1225, QStringLiteral("Self Test"));
  auto* factoryDefault = Button(bothVersions, 1240, QStringLiteral("Docking Factory Default"));
  auto* erase = Button(bothVersions, 1239, QStringLiteral("Docking FW version Erase"));

  auto* serialRow = new QHBoxLayout;
  serialRow->addWidget(serialLabel);
  serialRow->addWidget(m_serialNumber, 1);
  serialRow->addWidget(m_write);
  auto* commandRow = new QHBoxLayout;
  commandRow->addWidget(selfTest);
  commandRow->addWidget(factoryDefault);
  commandRow->addWidget(erase);
  commandRow->addStretch(1);
  auto* bothLayout = new QVBoxLayout(bothVersions);
  bothLayout->addLayout(serialRow);
  bothLayout->addLayout(commandRow);

  auto* secondVersion = new QGroupBox(QStringLiteral("Only Docking v2"), this);
  SetControlId(secondVersion, 1249);
  auto* linkLabel = new QLabel(QStringLiteral("Ethernet Linkup Test : "), secondVersion);
  SetControlId(linkLabel, 1250);
  auto* linkUp = Button(secondVersion, 1256, QStringLiteral("Linkup Start"));
  auto* colon = new QLabel(QStringLiteral(" : "), secondVersion);
  SetControlId(colon, 1251);
  SetControlId(m_ipAddress, 1255, QStringLiteral("IP address"));
  m_ipAddress->setReadOnly(true);
  m_ipAddress->setAlignment(Qt::AlignCenter);
  m_ipAddress->setMinimumWidth(
      m_ipAddress->fontMetrics().horizontalAdvance(QStringLiteral("  255.255.255.255  ")));
  auto* secondLayout = new QGridLayout(secondVersion);
  secondLayout->addWidget(linkLabel, 0, 0);
  secondLayout->addWidget(linkUp, 0, 1);
  secondLayout->addWidget(m_getIp, 1, 0);
  auto* addressRow = new QHBoxLayout;
  addressRow->addWidget(colon);
  addressRow->addWidget(m_ipAddress, 1);
  secondLayout->addLayout(addressRow, 1, 1);
  secondLayout->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bothVersions);
  layout->addWidget(secondVersion);
  layout->addStretch(1);

  connect(m_write, &QPushButton::clicked, this, &cDlgRNDTab::OnWriteSerialNumber);
  connect(selfTest, &QPushButton::clicked, this, [this] { m_host.Station().SelfTest(); });
  connect(factoryDefault, &QPushButton::clicked, this,
          [this] { m_host.Station().FactoryDefault(); });
  connect(erase, &QPushButton::clicked, this, [this] { m_host.Station().EraseFirmware(); });
  connect(linkUp, &QPushButton::clicked, this, [this] { m_host.Station().EthernetLinkTest(); });
  connect(m_getIp, &QPushButton::clicked, this, &cDlgRNDTab::OnGetIpAddress);
  SwallowDialogKeys(this);
  m_requestButtons = {m_write, selfTest, factoryDefault, erase, linkUp};

  EnableIpControls(false);
}

void cDlgRNDTab::EnableIpControls(bool enabled) {
  m_ipEnabled = enabled;
  m_getIp->setEnabled(enabled && !m_busy);
  m_ipAddress->setEnabled(enabled);
}

void cDlgRNDTab::SetBusy(bool busy) {
  m_busy = busy;
  for (QPushButton* button : m_requestButtons) button->setEnabled(!busy);
  EnableIpControls(m_ipEnabled);
}

void cDlgRNDTab::ShowIpAddress(const std::array<std::uint8_t, 4>& address) {
  m_ipAddress->setText(QStringLiteral("%1.%2.%3.%4")
                           .arg(address[0])
                           .arg(address[1])
                           .arg(address[2])
                           .arg(address[3]));
}

QString cDlgRNDTab::IpAddressText() const {
  return m_ipAddress->text();
}

void cDlgRNDTab::OnWriteSerialNumber() {
  m_host.Station().WriteSerialNumber(ToLatin1(m_serialNumber->text()));
}

void cDlgRNDTab::OnGetIpAddress() {
  m_ipAddress->clear();
  m_host.Station().GetIpAddress();
}

}  // namespace ql::pages
