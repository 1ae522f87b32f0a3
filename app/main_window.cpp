#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/about_dialog.h"
#include "app/certificate_printer.h"
#include "app/main_actions.h"
#include "app/qt_dialogs.h"
#include "app/qt_timer_host.h"
#include "app/traffic_monitor.h"
#include "app/ui_poster.h"
#include "engine/messages.h"
#include "pages/certificate_tab.h"
#include "pages/control_id.h"
#include "pages/dialog_keys.h"
#include "pages/docking_tab.h"
#include "pages/field_widgets.h"
#include "pages/log_tab.h"
#include "pages/multi_gas_tab.h"
#include "pages/service_tab.h"
#include "pages/single_gas_tab.h"
#include "pages/time_tab.h"

// The pictures live in a static library, whose resources are not registered on their own.
static void InitResources() {
  Q_INIT_RESOURCE(quaylink);
}

namespace ql::app {

using engine::ConnectionState;
using pages::FromLatin1;
using pages::SetControlId;
using protocol::DeviceType;

namespace {

constexpr int kUsbDiskBit = 0x10;

int TypeCode(DeviceType type) {
  return static_cast<int>(type);
}

void SetFieldColours(QLineEdit* field, const QColor& text, const QColor& background) {
  QPalette palette = field->palette();
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Base, background);
  field->setPalette(palette);
}

QFont Scaled(QFont font, double factor, QFont::Weight weight) {
  font.setPointSizeF(font.pointSizeF() * factor);
  font.setWeight(weight);
  return font;
}

// A page shown as a small non-modal window of the main window, out of the tab control.
QDialog* PageWindow(QWidget* owner, QWidget* page, const QString& title) {
  auto* window = new QDialog(owner);
  window->setWindowTitle(title);
  window->setModal(false);
  auto* layout = new QVBoxLayout(window);
  page->setParent(window);
  layout->addWidget(page);
  return window;
}

}  // namespace

CdockingDlg::CdockingDlg(WindowServices services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services)) {
  InitResources();
  m_messages = m_services.messages;
  if (m_messages == nullptr) {
    m_ownMessages = std::make_unique<MessageBoxPresenter>();
    m_messages = m_ownMessages.get();
  }
  m_choosers = m_services.choosers;
  if (m_choosers == nullptr) {
    m_ownChoosers = std::make_unique<DialogChoosers>();
    m_choosers = m_ownChoosers.get();
  }
  m_printer = m_services.printer;
  if (m_printer == nullptr) {
    m_ownPrinter = std::make_unique<QtCertificatePrinter>();
    m_printer = m_ownPrinter.get();
  }
  m_mountCheck = m_services.mountCheck;
  if (m_mountCheck == nullptr) {
    m_ownMountCheck = std::make_unique<usbdisk::SystemMountCheck>();
    m_mountCheck = m_ownMountCheck.get();
  }

  m_poster = new UiPoster(this);
  m_timers = m_services.timers;
  if (m_timers == nullptr) {
    m_qtTimers = new QtTimerHost(this);
    m_timers = m_qtTimers;
  }
  m_wallClock = m_services.wallClock != nullptr ? m_services.wallClock : &m_systemClock;
  m_monitor = std::make_unique<CCommDlg>();
  engine::EngineOptions options;
  options.transferClock = m_services.transferClock;
  options.monitor = m_monitor.get();
  auto port = m_services.makePort ? m_services.makePort() : link::MakePlatformSerialPort();
  // The pages exist before the engine: it talks to them from its first call.
  BuildControls();
  m_engine = std::make_unique<engine::Engine>(*this, *m_timers, *m_poster, *m_wallClock,
                                              std::move(port), options);
  if (m_qtTimers != nullptr) m_qtTimers->SetTarget([this](int id) { OnTimer(id); });
  StartUp();
}

CdockingDlg::~CdockingDlg() {
  Shutdown();
}

void CdockingDlg::BuildControls() {
  setWindowTitle(QStringLiteral("%1 %2").arg(QString::fromLatin1(kAppName), kVersion));
  setWindowIcon(QIcon(QStringLiteral(":/quaylink/icon.png")));
  SetControlId(this, 102);
  pages::SwallowDialogKeys(this);

  auto* menuBar = new QMenuBar(this);
  QMenu* station = menuBar->addMenu(tr("&Station"));
  m_readAction = station->addAction(QStringLiteral("READ"), this, &CdockingDlg::MainRead);
  m_readAction->setProperty(pages::kControlIdProperty, 1040);
  m_writeAction = station->addAction(QStringLiteral("WRITE"), this, &CdockingDlg::MainWrite);
  m_writeAction->setProperty(pages::kControlIdProperty, 1042);
  // Service functions, out of a technician's everyday way.
  QMenu* service = menuBar->addMenu(tr("S&ervice"));
  service->addAction(QStringLiteral("Date and Time"), this, &CdockingDlg::ShowTimeWindow);
  service->addAction(QStringLiteral("Service"), this, &CdockingDlg::ShowServiceWindow);
  service->addAction(QStringLiteral("Traffic Monitor"), this, &CdockingDlg::ShowTrafficMonitor);
  QMenu* help = menuBar->addMenu(tr("&Help"));
  QAction* about = help->addAction(QStringLiteral("Information..."), this, &CdockingDlg::ShowAbout);
  about->setProperty(pages::kControlIdProperty, 16);

  // Transfer mode: the two radio buttons and the mode caption.
  m_ir = new QRadioButton(QStringLiteral(" IR"), this);
  SetControlId(m_ir, 1044, QStringLiteral("IR"));
  m_usbDisk = new QRadioButton(QStringLiteral("USB Disk"), this);
  SetControlId(m_usbDisk, 1046, QStringLiteral("USB Disk"));
  m_modeCaption = new QLineEdit(this);
  m_modeCaption->setReadOnly(true);
  m_modeCaption->setFocusPolicy(Qt::NoFocus);
  m_modeCaption->setFrame(false);
  m_modeCaption->setFont(Scaled(font(), 1.4, QFont::Bold));
  SetFieldColours(m_modeCaption, QColor(86, 86, 86), Qt::white);
  SetControlId(m_modeCaption, 1230, QStringLiteral("Transfer mode"));
  m_diskModeChange = new QPushButton(QStringLiteral("Disk Mode Change"), this);
  SetControlId(m_diskModeChange, 1244, QStringLiteral("Disk Mode Change"));
  m_diskModeChange->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

  // Port controls.
  m_refresh = new QToolButton(this);
  QIcon refreshIcon(QStringLiteral(":/quaylink/refresh.png"));
  refreshIcon.addFile(QStringLiteral(":/quaylink/refresh-disabled.png"), {}, QIcon::Disabled);
  refreshIcon.addFile(QStringLiteral(":/quaylink/refresh-pressed.png"), {}, QIcon::Active);
  m_refresh->setIcon(refreshIcon);
  m_refresh->setIconSize(QSize(20, 20));
  m_refresh->setAutoRaise(true);
  m_refresh->setToolTip(tr("Refresh the port list"));
  SetControlId(m_refresh, 1078, QStringLiteral("Refresh ports"));
  m_portCombo = new QComboBox(this);
  m_portCombo->setMinimumContentsLength(12);
  SetControlId(m_portCombo, 1075, QStringLiteral("Port"));
  m_open = new QPushButton(FromLatin1(engine::msg::kCaptionOpen), this);
  SetControlId(m_open, 1077, FromLatin1(engine::msg::kCaptionOpen));
  m_status = new QLineEdit(this);
  m_status->setReadOnly(true);
  m_status->setFocusPolicy(Qt::NoFocus);
  m_status->setAlignment(Qt::AlignCenter);
  m_status->setFont(Scaled(font(), 1.1, QFont::Bold));
  SetControlId(m_status, 1228, QStringLiteral("Connection status"));
  m_deviceTypeField = new QLineEdit(this);
  m_deviceTypeField->setReadOnly(true);
  m_deviceTypeField->setFocusPolicy(Qt::NoFocus);
  m_deviceTypeField->setAlignment(Qt::AlignCenter);
  m_deviceTypeField->setFont(Scaled(font(), 1.1, QFont::Bold));
  SetControlId(m_deviceTypeField, 1229, QStringLiteral("Device type"));

  m_transferStatus = new QLabel(this);
  SetControlId(m_transferStatus, 1093);
  m_mainBar = new QProgressBar(this);
  m_mainBar->setRange(0, 100);
  m_mainBar->setVisible(false);  // receives every update, never shown
  m_mainBar->setEnabled(false);
  SetControlId(m_mainBar, 1047);

  // Tab control: the items are rebuilt; the pages are shown and hidden on their own.
  m_tabs = new QTabBar(this);
  m_tabs->setExpanding(false);
  m_tabs->setDrawBase(true);
  SetControlId(m_tabs, 1000, QStringLiteral("Pages"));
  m_pageStack = new QStackedWidget(this);
  m_pageStack->setFrameShape(QFrame::StyledPanel);
  m_docking = new pages::cDlgDockingTab(*this, m_pageStack);
  m_singleGas = new pages::cDlgYBRTab(*this, m_pageStack);
  m_multiGas = new pages::cDlgHWRTab(*this, m_pageStack);
  m_logs = new pages::cDlgLOGTab(*this, m_pageStack);
  m_certificates = new pages::cDlgCertiTab(*this, m_pageStack);
  for (QWidget* page : {static_cast<QWidget*>(m_docking), static_cast<QWidget*>(m_singleGas),
                        static_cast<QWidget*>(m_multiGas), static_cast<QWidget*>(m_logs),
                        static_cast<QWidget*>(m_certificates)}) {
    m_pageStack->addWidget(page);
  }

  // The date and time and service pages: windows of their own, so the tab rules stay whole.
  m_timePage = new pages::cDlgtTimeSetTab(*this, *m_wallClock);
  m_timeWindow = PageWindow(this, m_timePage, QStringLiteral("Date and Time"));
  m_servicePage = new pages::cDlgRNDTab(*this);
  m_serviceWindow = PageWindow(this, m_servicePage, QStringLiteral("Service"));

  m_logo = new QLabel(this);
  // Drawn at half its size, as the painting step asks.
  m_logo->setPixmap(QIcon(QStringLiteral(":/quaylink/logo.png")).pixmap(QSize(160, 34)));
  m_logo->setAccessibleName(QString::fromLatin1(kAppName));

  // Layout: mode and port controls across the top, the tabs below, the logo at the foot.
  auto* top = new QHBoxLayout;
  auto* modeBox = new QVBoxLayout;
  auto* radios = new QHBoxLayout;
  radios->addWidget(m_ir);
  radios->addWidget(m_usbDisk);
  radios->addStretch();
  modeBox->addLayout(radios);
  modeBox->addWidget(m_modeCaption);
  top->addLayout(modeBox, 2);
  auto* portRow = new QHBoxLayout;
  portRow->addWidget(m_refresh);
  portRow->addWidget(m_portCombo, 1);
  portRow->addWidget(m_open);
  portRow->addWidget(m_status, 1);
  portRow->addWidget(m_diskModeChange);
  portRow->addStretch(0);
  top->addLayout(portRow, 3);
  top->addWidget(m_deviceTypeField, 1);

  auto* foot = new QHBoxLayout;
  foot->addWidget(m_transferStatus, 1);
  foot->addWidget(m_mainBar);
  foot->addWidget(m_logo, 0, Qt::AlignRight | Qt::AlignBottom);

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menuBar);
  layout->addLayout(top);
  layout->addWidget(m_tabs);
  layout->addWidget(m_pageStack, 1);
  layout->addLayout(foot);
  layout->setSpacing(4);

  connect(m_tabs, &QTabBar::currentChanged, this, &CdockingDlg::OnTabChanged);
  connect(m_ir, &QRadioButton::clicked, this, &CdockingDlg::OnIrClicked);
  connect(m_usbDisk, &QRadioButton::clicked, this, &CdockingDlg::OnUsbDiskClicked);
  connect(m_diskModeChange, &QPushButton::clicked, this, &CdockingDlg::OnDiskModeChange);
  connect(m_open, &QPushButton::clicked, this, &CdockingDlg::OnOpenClicked);
  connect(m_refresh, &QToolButton::clicked, this, &CdockingDlg::RefreshPorts);
  connect(m_portCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
    m_ports.Select(index < 0 ? m_ports.Entries().size() : static_cast<std::size_t>(index));
  });
  connect(m_docking, &pages::cDlgDockingTab::autoSyncChanged, m_timePage,
          &pages::cDlgtTimeSetTab::SetAutoSync);
  connect(m_serviceWindow, &QDialog::finished, this, &CdockingDlg::OnServiceWindowClosed);
}

void CdockingDlg::StartUp() {
  BuildTabs(TypeCode(DeviceType::None));
  ShowPage(m_docking);
  EnableAllPages(false);
  RefreshPorts();
  // The disconnect state of the connection controls.
  SetStatus(engine::StatusMode::Disconnected, engine::msg::kStatusDisconnected);
  SetConnectCaption(engine::msg::kCaptionOpen);
  SetTransferModeUi(true);
  ShowDeviceType(DeviceType::None);
  m_timers->StartTimer(engine::timer::kClockDisplay, std::chrono::milliseconds(500));
}

// ---- tabs and pages ------------------------------------------------------------------

void CdockingDlg::BuildTabs(int code) {
  if ((code & 0xFF) == m_cachedTabCode) return;
  m_cachedTabCode = code & 0xFF;
  const QSignalBlocker block(m_tabs);
  while (m_tabs->count() > 0) m_tabs->removeTab(0);
  m_tabs->addTab(QIcon(QStringLiteral(":/quaylink/tab-docking.png")),
                 QStringLiteral("Docking Station"));
  const int family = code & 3;
  if (code != 0) {
    m_docking->SetDetectorFamily(family == TypeCode(DeviceType::SingleGas) ? RecordType::SingleGas
                                                                           : RecordType::MultiGas);
    if (family == TypeCode(DeviceType::MultiGas)) {
      m_tabs->addTab(QIcon(QStringLiteral(":/quaylink/tab-rvx.png")), QStringLiteral("RVX"));
    } else {
      m_tabs->addTab(QIcon(QStringLiteral(":/quaylink/tab-tkl.png")), QStringLiteral("TKL"));
    }
    if ((code & kUsbDiskBit) == 0) {
      m_tabs->addTab(QIcon(QStringLiteral(":/quaylink/tab-logs.png")), QStringLiteral("Logs"));
      m_tabs->addTab(QIcon(QStringLiteral(":/quaylink/tab-certificates.png")),
                     QStringLiteral("Certification"));
    }
  }
  m_tabs->setCurrentIndex(0);
}

void CdockingDlg::SelectTab(int index) {
  const QSignalBlocker block(m_tabs);
  m_tabs->setCurrentIndex(index);
}

void CdockingDlg::ShowPage(QWidget* page) {
  m_pageStack->setCurrentWidget(page);
  m_current = page;
}

void CdockingDlg::OnTabChanged(int selected) {
  m_current = nullptr;
  const bool portClosedInLinkMode = !PortOpen() && m_linkMode;
  if (portClosedInLinkMode || m_deviceType == DeviceType::None) {
    SetProgressPosition(0);
    SelectTab(0);
    ShowPage(m_docking);
    return;
  }
  int index = selected;
  // A log download keeps the Logs tab selected.
  if (!m_logs->SaveEnabled()) {
    SelectTab(m_previousTab);
    index = m_previousTab;
  }
  m_previousTab = index;
  SetProgressPosition(0);
  switch (index) {
    case 0:
    case 1:
      ShowPage(index == 0 ? static_cast<QWidget*>(m_docking) : DetectorPage());
      m_usbDisk->setEnabled(m_logs->SaveEnabled());
      break;
    case 2:
      ShowPage(m_logs);
      m_usbDisk->setEnabled(false);
      SetTransferModeUi(true);
      m_logs->OnTabSelected();
      break;
    default:
      ShowPage(m_certificates);
      m_usbDisk->setEnabled(false);
      SetTransferModeUi(true);
      // A fresh start on the page: nothing shown, nothing to print, the list asked anew.
      m_certificates->ClearPanel();
      if (m_engine) m_engine->ClearCertificate();
      m_certificates->ClearList();
      break;
  }
}

pages::RecordPage* CdockingDlg::Page(RecordType type) const {
  switch (type) {
    case RecordType::Docking:
      return m_docking;
    case RecordType::SingleGas:
      return m_singleGas;
    case RecordType::MultiGas:
      return m_multiGas;
  }
  return m_docking;
}

pages::RecordPage* CdockingDlg::DetectorPage() const {
  if (m_deviceType == DeviceType::MultiGas) return m_multiGas;
  return m_singleGas;
}

void CdockingDlg::EnableAllPages(bool enabled) {
  for (pages::RecordPage* page :
       {static_cast<pages::RecordPage*>(m_docking), static_cast<pages::RecordPage*>(m_singleGas),
        static_cast<pages::RecordPage*>(m_multiGas)}) {
    page->EnablePage(enabled);
  }
  m_logs->EnableControls(enabled);
  m_certificates->EnableRefresh(enabled);
}

// ---- transfer modes ------------------------------------------------------------------

void CdockingDlg::SetTransferModeUi(bool linkMode) {
  m_linkMode = linkMode;
  m_modeCaption->setText(linkMode ? QStringLiteral("IR Link Transfer Mode")
                                  : QStringLiteral("USB Disk Transfer Mode"));
  m_ir->setChecked(linkMode);
  m_usbDisk->setChecked(!linkMode);
  (linkMode ? m_ir : m_usbDisk)->setFocus();
  for (QWidget* control : {static_cast<QWidget*>(m_refresh), static_cast<QWidget*>(m_status),
                           static_cast<QWidget*>(m_portCombo), static_cast<QWidget*>(m_open)}) {
    control->setVisible(linkMode);
  }
  m_diskModeChange->setVisible(!linkMode);
}

void CdockingDlg::OnUsbDiskClicked() {
  const auto root = usbdisk::ChooseUsbDrive(
      [this] {
        return m_choosers->ChooseFolder(this, QString::fromLatin1(usbdisk::kChooseDriveTitle));
      },
      *m_mountCheck, [this](std::string_view text) { ShowMessage(text); });
  if (!root) {
    SetTransferModeUi(true);
    return;
  }
  m_usbRoot = *root;
  const int remembered = m_tabs->currentIndex();
  m_activeDeviceType = m_deviceType;
  if (m_deviceType == DeviceType::None) m_deviceType = DeviceType::SingleGas;
  SetTransferModeUi(false);
  BuildTabs(TypeCode(m_deviceType) + kUsbDiskBit);
  EnableAllPages(true);
  ShowDeviceType(m_deviceType);
  m_tabs->setCurrentIndex(std::min(remembered, m_tabs->count() - 1));
  OnTabChanged(m_tabs->currentIndex());
}

void CdockingDlg::OnIrClicked() {
  const int remembered = m_tabs->currentIndex();
  m_deviceType = m_activeDeviceType;
  SetTransferModeUi(true);
  BuildTabs(TypeCode(m_deviceType));
  ShowDeviceType(m_deviceType);
  if (!PortOpen()) m_deviceType = DeviceType::None;
  if (m_deviceType != DeviceType::None) {
    EnableAllPages(true);
    m_tabs->setCurrentIndex(std::min(remembered, m_tabs->count() - 1));
    OnTabChanged(m_tabs->currentIndex());
  } else {
    EnableAllPages(false);
    SelectTab(0);
    ShowPage(m_docking);
  }
}

void CdockingDlg::OnDiskModeChange() {
  if (m_linkMode || m_deviceType == DeviceType::None) return;
  m_deviceType =
      m_deviceType == DeviceType::SingleGas ? DeviceType::MultiGas : DeviceType::SingleGas;
  SelectTab(0);
  SetProgressPosition(0);
  ShowPage(m_docking);
  SetTransferModeUi(false);
  BuildTabs(TypeCode(m_deviceType) + kUsbDiskBit);
  EnableAllPages(true);
  ShowDeviceType(m_deviceType);
}

// ---- main controls -------------------------------------------------------------------

void CdockingDlg::RefreshPorts() {
  m_ports.Refresh(m_services.discovery);
  const QSignalBlocker block(m_portCombo);
  m_portCombo->clear();
  for (const link::PortEntry& entry : m_ports.Entries()) {
    m_portCombo->addItem(FromLatin1(entry.name));
  }
  if (const auto selected = m_ports.Selected()) {
    m_portCombo->setCurrentIndex(static_cast<int>(*selected));
  }
}

void CdockingDlg::OnOpenClicked() {
  if (m_engine) m_engine->OpenCloseButton(m_ports.SelectedDevicePath());
}

void CdockingDlg::MainRead() {
  MainReadAction(*this,
                 MainActionContext{m_linkMode, PortOpen(), m_tabs->currentIndex(), m_deviceType},
                 RecordPages{m_docking, m_singleGas, m_multiGas},
                 [this](RecordType type) { m_engine->MainRead(type); });
}

void CdockingDlg::MainWrite() {
  MainWriteAction(*this,
                  MainActionContext{m_linkMode, PortOpen(), m_tabs->currentIndex(), m_deviceType},
                  RecordPages{m_docking, m_singleGas, m_multiGas},
                  [this](RecordType type) { m_engine->PageWrite(type); });
}

void CdockingDlg::ShowAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CdockingDlg::ShowTimeWindow() {
  RefreshClockPage();
  m_timeWindow->show();
  m_timeWindow->raise();
  m_timeWindow->activateWindow();
}

void CdockingDlg::ShowServiceWindow() {
  if (!m_linkMode) OnIrClicked();
  m_usbDisk->setEnabled(false);
  m_serviceWindow->show();
  m_serviceWindow->raise();
  m_serviceWindow->activateWindow();
}

bool CdockingDlg::ServiceWindowShown() const {
  return m_serviceWindow->isVisible();
}

void CdockingDlg::OnServiceWindowClosed() {
  // The end of a request gives it back.
  if (m_requestInFlight) return;
  // As the tabs have it: the log and certificate tabs and a log save run keep it disabled.
  const bool stationTabs = PortOpen() && m_deviceType != DeviceType::None;
  const bool recordTab = !stationTabs || m_tabs->currentIndex() <= 1;
  const bool saveRun = stationTabs && !m_logs->SaveEnabled();
  m_usbDisk->setEnabled(recordTab && !saveRun);
}

void CdockingDlg::ShowTrafficMonitor() {
  m_monitor->show();
  m_monitor->raise();
  m_monitor->activateWindow();
}

void CdockingDlg::OnTimer(int id) {
  if (id == engine::timer::kClockDisplay) {
    if (m_timeWindow->isVisible()) RefreshClockPage();
    return;
  }
  if (m_engine) m_engine->OnTimer(id);
}

void CdockingDlg::RefreshClockPage() {
  std::optional<std::int64_t> offset;
  if (m_engine && m_engine->StationClockKnown()) offset = m_engine->StationClockOffset();
  m_timePage->RefreshClock(offset);
}

// ---- engine::IEngineUi ---------------------------------------------------------------

void CdockingDlg::ShowMessage(std::string_view text) {
  ShowText(FromLatin1(text));
}

void CdockingDlg::ShowText(const QString& shown) {
  emit messageShown(shown);
  if (m_shutDown) return;  // no boxes while the window closes
  m_messages->Show(this, shown);
}

void CdockingDlg::SetProgressPosition(int position) {
  m_mainBar->setValue(position);
  for (pages::RecordPage* page :
       {static_cast<pages::RecordPage*>(m_docking), static_cast<pages::RecordPage*>(m_singleGas),
        static_cast<pages::RecordPage*>(m_multiGas)}) {
    page->FirmwareBar()->setValue(position);
  }
}

void CdockingDlg::SetProgressRange(int low, int high) {
  m_mainBar->setRange(low, high);
  for (pages::RecordPage* page :
       {static_cast<pages::RecordPage*>(m_docking), static_cast<pages::RecordPage*>(m_singleGas),
        static_cast<pages::RecordPage*>(m_multiGas)}) {
    if (m_current == page) page->FirmwareBar()->setRange(low, high);
  }
}

void CdockingDlg::EnableMainControls(bool requestInFlight) {
  if (requestInFlight) {
    if (!m_justOpened) m_open->setEnabled(false);
  } else {
    m_justOpened = false;
  }
  m_requestInFlight = requestInFlight;
  const bool enabled = !requestInFlight;
  if (enabled) m_open->setEnabled(true);
  m_readAction->setEnabled(enabled);
  m_writeAction->setEnabled(enabled);
  m_ir->setEnabled(enabled);
  m_usbDisk->setEnabled(enabled && !ServiceWindowShown());
  m_docking->SetBusy(requestInFlight);
  m_singleGas->SetBusy(requestInFlight);
  m_multiGas->SetBusy(requestInFlight);
  m_timePage->SetBusy(requestInFlight);
  m_servicePage->SetBusy(requestInFlight);
}

void CdockingDlg::SetStatus(engine::StatusMode mode, std::string_view text) {
  m_status->setText(FromLatin1(text));
  if (mode == engine::StatusMode::Connected) {
    SetFieldColours(m_status, Qt::white, QColor(47, 157, 39));
  } else {
    SetFieldColours(m_status, Qt::black, QColor(255, 255, 0));
  }
}

void CdockingDlg::SetConnectCaption(std::string_view caption) {
  m_open->setText(FromLatin1(caption));
  m_open->setAccessibleName(FromLatin1(caption));
}

void CdockingDlg::EnableRefreshButton(bool enabled) {
  m_refresh->setEnabled(enabled);
}

void CdockingDlg::EnableTransferModeButtons() {
  m_ir->setEnabled(true);
  m_usbDisk->setEnabled(!ServiceWindowShown());
}

void CdockingDlg::OnConnectionState(ConnectionState state, const link::Status& reason) {
  // "Port open fail" says that the port did not open; the system's reason says why (no
  // permission, held by another program), which is what the technician can act on.
  if (state == ConnectionState::Closed && m_connectionState == ConnectionState::Opening &&
      !reason.ok()) {
    ShowText(QString::fromStdString(reason.message));
  }
  m_connectionState = state;
  if (state == ConnectionState::Identifying) m_justOpened = true;
  if (state == ConnectionState::Closed) {
    m_justOpened = false;
    m_activeDeviceType = DeviceType::None;
    if (m_linkMode) m_deviceType = DeviceType::None;
  }
  emit connectionStateChanged(state);
}

void CdockingDlg::OnRequestEnded(const engine::RequestEnd& end) {
  using engine::RequestOutcome;
  if (end.request == protocol::cmd::kWriteRequest) {
    if (end.outcome == RequestOutcome::Done && m_written) {
      // After the engine's handler has returned: the read-back is a request of its own.
      QTimer::singleShot(0, this, &CdockingDlg::StartReadBack);
    } else {
      m_written.reset();
    }
  } else if (end.request == protocol::cmd::kReadRecord && m_readBackInFlight) {
    m_readBackInFlight = false;
    m_written.reset();
    if (end.outcome != RequestOutcome::Done && end.outcome != RequestOutcome::Aborted) {
      ShowText(kReadBackFailed);
    }
  }
  emit requestEnded(end);
}

void CdockingDlg::StartReadBack() {
  if (!m_written || m_shutDown || !PortOpen() || m_requestInFlight) {
    m_written.reset();
    return;
  }
  m_readBackInFlight = true;
  m_engine->ReadBack(m_written->type);
}

void CdockingDlg::BuildTabItems(DeviceType deviceType) {
  if (m_linkMode) {
    m_deviceType = deviceType;
    m_activeDeviceType = deviceType;
    BuildTabs(TypeCode(deviceType));
  } else {
    // In USB disk mode the tabs follow the family chosen for the drive; the station's
    // answer is kept for the return to link mode.
    m_activeDeviceType = deviceType;
  }
}

int CdockingDlg::SelectedTab() const {
  return std::max(0, m_tabs->currentIndex());
}

void CdockingDlg::ShowDockingPage() {
  SelectTab(0);
  ShowPage(m_docking);
}

void CdockingDlg::ShowDeviceType(DeviceType deviceType) {
  const DeviceType shown = m_linkMode ? deviceType : m_deviceType;
  switch (shown) {
    case DeviceType::SingleGas:
      m_deviceTypeField->setText(QStringLiteral("TKL Type"));
      SetFieldColours(m_deviceTypeField, Qt::white, QColor(40, 40, 255));
      m_deviceTypeField->setVisible(true);
      break;
    case DeviceType::MultiGas:
      m_deviceTypeField->setText(QStringLiteral("RVX Type"));
      SetFieldColours(m_deviceTypeField, Qt::white, QColor(40, 40, 216));
      m_deviceTypeField->setVisible(true);
      break;
    default:
      m_deviceTypeField->setText(QStringLiteral("Tipo Seleccionar..."));
      SetFieldColours(m_deviceTypeField, Qt::black, QColor(255, 255, 0));
      m_deviceTypeField->setVisible(false);
      break;
  }
}

void CdockingDlg::EnableStationPages(bool enabled) {
  // The clock and the IP address follow the station whatever the mode.
  m_timePage->SetStationAvailable(enabled);
  m_servicePage->EnableIpControls(enabled);
  if (!m_linkMode) return;  // USB disk mode keeps its pages enabled
  EnableAllPages(enabled);
}

void CdockingDlg::ClearFirmwareFields(RecordType page) {
  Page(page)->ClearFirmwareFields();
}

void CdockingDlg::ClearLogList() {
  m_logs->ClearList();
}

void CdockingDlg::ClearCertificateList() {
  m_certificates->ClearList();
}

void CdockingDlg::AddCertificateRow(std::string_view name) {
  m_certificates->AddRow(FromLatin1(name));
}

void CdockingDlg::ShowCertificate(const records::CertificateRecord& certificate) {
  m_certificates->ShowCertificate(certificate);
}

void CdockingDlg::RecordToPage(RecordType type, std::span<const std::uint8_t> record) {
  Page(type)->RecordToPage(record);
}

void CdockingDlg::PageToRecord(RecordType type, std::span<std::uint8_t> record) {
  Page(type)->PageToRecord(record);
  // The engine asks for the page only to send it.
  m_written = WrittenRecord{type, std::vector<std::uint8_t>(record.begin(), record.end())};
}

void CdockingDlg::RecordReadBack(RecordType type, std::span<const std::uint8_t> record) {
  if (!m_written || m_written->type != type) return;
  const std::vector<records::FieldDifference> differences =
      Page(type)->TakeReadBack(m_written->bytes, record);
  if (differences.empty()) return;
  QString text = kStoredDifferently;
  for (const records::FieldDifference& d : differences) {
    text += QStringLiteral("\n%1: %2 \u2192 %3")
                .arg(FromLatin1(d.label), FromLatin1(d.before), FromLatin1(d.after));
  }
  ShowText(text);
}

void CdockingDlg::ShowStationClock(const protocol::DateTime& station) {
  m_timePage->ShowStationClock(station);
}

void CdockingDlg::ClearStationClock() {
  m_timePage->ClearStationClock();
}

void CdockingDlg::ShowIpAddress(const std::array<std::uint8_t, 4>& address) {
  m_servicePage->ShowIpAddress(address);
}

void CdockingDlg::ClearTransferStatus() {
  m_transferStatus->clear();
}

void CdockingDlg::SetFirmwareProgressRange(RecordType page, int low, int high) {
  Page(page)->FirmwareBar()->setRange(low, high);
}

void CdockingDlg::DisableUsbDiskChoice() {
  m_usbDisk->setEnabled(false);
}

void CdockingDlg::AddLogRow(std::string_view name) {
  m_logs->AddRow(FromLatin1(name));
}

void CdockingDlg::EnableLogSaveControls(bool enabled) {
  m_open->setEnabled(enabled);
  m_logs->EnableSaveControls(enabled);
}

// ---- pages::IStationLink -------------------------------------------------------------

bool CdockingDlg::PortOpen() const {
  return m_engine != nullptr && m_engine->PortOpen();
}
void CdockingDlg::PageRead(RecordType type) {
  m_engine->PageRead(type);
}
void CdockingDlg::PageWrite(RecordType type) {
  m_engine->PageWrite(type);
}
void CdockingDlg::StartFirmwareWrite(RecordType page, records::FirmwareImage image) {
  m_engine->StartFirmwareWrite(page, std::move(image));
}
void CdockingDlg::RefreshLogList() {
  m_engine->RefreshLogList();
}
void CdockingDlg::SaveLogs(const std::vector<std::string>& names,
                           const std::filesystem::path& folder) {
  m_engine->SaveLogs(names, folder);
}

void CdockingDlg::RefreshCertificateList() {
  m_engine->RefreshCertificateList();
}
void CdockingDlg::LoadCertificate(std::string_view name) {
  m_engine->LoadCertificate(name);
}
const records::CertificateRecord& CdockingDlg::Certificate() const {
  return m_engine->Certificate();
}

// The page windows outlive the engine by a moment at shutdown: nothing is sent then.
void CdockingDlg::ReadStationClock() {
  if (m_engine) m_engine->ReadStationClock();
}
void CdockingDlg::SetStationClock(const protocol::DateTime& dateTime) {
  if (m_engine) m_engine->SetStationClock(dateTime);
}
void CdockingDlg::WriteSerialNumber(std::string_view serialNumber) {
  if (m_engine) m_engine->WriteSerialNumber(serialNumber);
}
void CdockingDlg::SelfTest() {
  if (m_engine) m_engine->SelfTest();
}
void CdockingDlg::FactoryDefault() {
  if (m_engine) m_engine->FactoryDefault();
}
void CdockingDlg::EraseFirmware() {
  if (m_engine) m_engine->EraseFirmware();
}
void CdockingDlg::EthernetLinkTest() {
  if (m_engine) m_engine->EthernetLinkTest();
}
void CdockingDlg::GetIpAddress() {
  if (m_engine) m_engine->GetIpAddress();
}

// ---- keyboard, painting, shutdown ----------------------------------------------------

void CdockingDlg::closeEvent(QCloseEvent* event) {
  Shutdown();
  QDialog::closeEvent(event);
}

void CdockingDlg::reject() {
  // The close box: Escape never gets here (swallowed above).
  Shutdown();
  QDialog::reject();
}

void CdockingDlg::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  m_timers->KillTimer(engine::timer::kClockDisplay);
  for (QWidget* window :
       {static_cast<QWidget*>(m_timeWindow), static_cast<QWidget*>(m_serviceWindow),
        static_cast<QWidget*>(m_monitor.get())})
    window->hide();
  // Ends the request in flight and closes the port; the engine's destructor ends and
  // joins the watch thread, the pacer and the transfer workers without waiting for a
  // transfer to finish.
  m_engine->Disconnect();
  m_engine.reset();
}

}  // namespace ql::app
