#pragma once
// The main window `CdockingDlg`: tab control, port and mode controls, status fields,
// progress bars, the menu (main READ and WRITE, "Information..."), and the pages. It
// owns the engine and is its UI: every engine call to the window lands here on the GUI
// thread, and the pages reach the engine only through this window.
//
// GUI thread only. Closing the window ends every transfer and thread before it returns.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/window_services.h"
#include "engine/engine.h"
#include "engine/engine_ui.h"
#include "link/port_discovery.h"
#include "pages/page_host.h"
#include "protocol/commands.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;
class QToolButton;

namespace ql::pages {
class RecordPage;
class cDlgDockingTab;
class cDlgYBRTab;
class cDlgHWRTab;
class cDlgLOGTab;
class cDlgCertiTab;
class cDlgtTimeSetTab;
class cDlgRNDTab;
}  // namespace ql::pages

namespace ql::app {

class CCommDlg;
class UiPoster;
class QtTimerHost;

inline constexpr const char* kAppName = "Quaylink";
inline constexpr const char* kVersion = "v1.3.2";

// After a link mode write, the record is read back. Its fields that the station stored
// other than they were written follow this line, one "Label: written → stored" a line.
inline const QString kStoredDifferently =
    QStringLiteral("The station stored other values than were written (written \u2192 stored):");
// The read-back got no usable answer.
inline const QString kReadBackFailed = QStringLiteral(
    "The station reported the write complete, but its record could not be read "
    "back to check what it stored.");

class CdockingDlg final : public QDialog,
                          public engine::IEngineUi,
                          public pages::IPageHost,
                          public pages::IStationLink {
  Q_OBJECT
 public:
  explicit CdockingDlg(WindowServices services = {}, QWidget* parent = nullptr);
  ~CdockingDlg() override;

  engine::Engine& StationEngine() { return *m_engine; }
  // Pages and controls, for the program's own tools (benchmark, screenshots) and tests.
  pages::cDlgDockingTab& DockingPage() const { return *m_docking; }
  pages::cDlgYBRTab& SingleGasPage() const { return *m_singleGas; }
  pages::cDlgHWRTab& MultiGasPage() const { return *m_multiGas; }
  pages::cDlgLOGTab& LogPage() const { return *m_logs; }
  pages::cDlgCertiTab& CertificatePage() const { return *m_certificates; }
  QTabBar& Tabs() const { return *m_tabs; }
  QWidget* CurrentPage() const { return m_current; }
  pages::cDlgtTimeSetTab& TimePage() const { return *m_timePage; }
  pages::cDlgRNDTab& ServicePage() const { return *m_servicePage; }
  // The small windows the "Service" menu opens, and the traffic monitor.
  QDialog& TimeWindow() const { return *m_timeWindow; }
  QDialog& ServiceWindow() const { return *m_serviceWindow; }
  CCommDlg& TrafficMonitor() const { return *m_monitor; }
  // The main READ and WRITE (reached from the menu).
  void MainRead();
  void MainWrite();
  // The port list again (the refresh button).
  void RefreshPorts();
  // The "Service" menu. The service page works over the link: it selects link mode and
  // keeps "USB Disk" disabled while it is shown.
  void ShowTimeWindow();
  void ShowServiceWindow();
  void ShowTrafficMonitor();
  // Every window timer: the clock display's (the date and time page, while shown) here,
  // the others in the engine. The timer host calls it; tests with a virtual clock too.
  void OnTimer(int id);

  // engine::IEngineUi and pages::IPageHost
  void ShowMessage(std::string_view text) override;
  void SetProgressPosition(int position) override;
  void SetProgressRange(int low, int high) override;

 signals:
  // Every typed event of the engine, for the program's tools and tests.
  void connectionStateChanged(ql::engine::ConnectionState state);
  void requestEnded(ql::engine::RequestEnd end);
  void messageShown(const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  // engine::IEngineUi
  void EnableMainControls(bool requestInFlight) override;
  void SetStatus(engine::StatusMode mode, std::string_view text) override;
  void SetConnectCaption(std::string_view caption) override;
  void EnableRefreshButton(bool enabled) override;
  void EnableTransferModeButtons() override;
  void OnConnectionState(engine::ConnectionState state, const link::Status& reason) override;
  void OnRequestEnded(const engine::RequestEnd& end) override;
  void BuildTabItems(protocol::DeviceType deviceType) override;
  int SelectedTab() const override;
  void ShowDockingPage() override;
  void ShowDeviceType(protocol::DeviceType deviceType) override;
  void EnableStationPages(bool enabled) override;
  void ClearFirmwareFields(RecordType page) override;
  void ClearLogList() override;
  void ClearCertificateList() override;
  void AddCertificateRow(std::string_view name) override;
  void ShowCertificate(const records::CertificateRecord& certificate) override;
  void RecordToPage(RecordType type, std::span<const std::uint8_t> record) override;
  void PageToRecord(RecordType type, std::span<std::uint8_t> record) override;
  void RecordReadBack(RecordType type, std::span<const std::uint8_t> record) override;
  void ShowStationClock(const protocol::DateTime& station) override;
  void ClearStationClock() override;
  void ShowIpAddress(const std::array<std::uint8_t, 4>& address) override;
  void ClearTransferStatus() override;
  void SetFirmwareProgressRange(RecordType page, int low, int high) override;
  void DisableUsbDiskChoice() override;
  void AddLogRow(std::string_view name) override;
  void EnableLogSaveControls(bool enabled) override;

  // pages::IPageHost
  bool LinkMode() const override { return m_linkMode; }
  std::filesystem::path UsbRoot() const override { return m_usbRoot; }
  pages::IStationLink& Station() override { return *this; }
  pages::IChoosers& Choosers() override { return *m_choosers; }
  pages::ICertificatePrinter& Printer() override { return *m_printer; }

  // pages::IStationLink
  bool PortOpen() const override;
  void PageRead(RecordType type) override;
  void PageWrite(RecordType type) override;
  void StartFirmwareWrite(RecordType page, records::FirmwareImage image) override;
  void RefreshLogList() override;
  void SaveLogs(const std::vector<std::string>& names,
                const std::filesystem::path& folder) override;
  void RefreshCertificateList() override;
  void LoadCertificate(std::string_view name) override;
  const records::CertificateRecord& Certificate() const override;
  void ReadStationClock() override;
  void SetStationClock(const protocol::DateTime& dateTime) override;
  void WriteSerialNumber(std::string_view serialNumber) override;
  void SelfTest() override;
  void FactoryDefault() override;
  void EraseFirmware() override;
  void EthernetLinkTest() override;
  void GetIpAddress() override;

  void BuildControls();
  void StartUp();
  // `BuildTabItems` with the USB disk bit (0x10) in `code`.
  void BuildTabs(int code);
  void SelectTab(int index);
  void OnTabChanged(int index);
  void ShowPage(QWidget* page);
  pages::RecordPage* Page(RecordType type) const;
  pages::RecordPage* DetectorPage() const;
  // `SetTransferModeUi`: true link mode, false USB disk mode.
  void SetTransferModeUi(bool linkMode);
  void OnIrClicked();
  void OnUsbDiskClicked();
  void OnDiskModeChange();
  void EnableAllPages(bool enabled);
  void OnOpenClicked();
  void ShowAbout();
  // The date and time page's clocks from the PC clock and the engine's offset.
  void RefreshClockPage();
  // The service window was closed: "USB Disk" follows the tab again.
  void OnServiceWindowClosed();
  bool ServiceWindowShown() const;
  void Shutdown();
  // The one message path, for a text of the window's own.
  void ShowText(const QString& text);
  // After a link mode write the station reported complete: reads the record back, so the
  // page can show what the station stored.
  void StartReadBack();

  WindowServices m_services;
  std::unique_ptr<IMessagePresenter> m_ownMessages;
  std::unique_ptr<pages::IChoosers> m_ownChoosers;
  std::unique_ptr<pages::ICertificatePrinter> m_ownPrinter;
  std::unique_ptr<usbdisk::IMountCheck> m_ownMountCheck;
  engine::SystemWallClock m_systemClock;
  const engine::IWallClock* m_wallClock = nullptr;
  IMessagePresenter* m_messages = nullptr;
  pages::IChoosers* m_choosers = nullptr;
  pages::ICertificatePrinter* m_printer = nullptr;
  usbdisk::IMountCheck* m_mountCheck = nullptr;

  UiPoster* m_poster = nullptr;
  QtTimerHost* m_qtTimers = nullptr;
  engine::ITimerHost* m_timers = nullptr;
  // A window of its own (the desktop's child); it must outlive the engine, which logs to it.
  std::unique_ptr<CCommDlg> m_monitor;
  std::unique_ptr<engine::Engine> m_engine;
  link::PortList m_ports;

  // Controls (ids as the dialog template has them).
  QTabBar* m_tabs = nullptr;  // 1000
  QStackedWidget* m_pageStack = nullptr;
  QRadioButton* m_ir = nullptr;             // 1044
  QRadioButton* m_usbDisk = nullptr;        // 1046
  QLineEdit* m_status = nullptr;            // 1228
  QToolButton* m_refresh = nullptr;         // 1078
  QComboBox* m_portCombo = nullptr;         // 1075
  QPushButton* m_open = nullptr;            // 1077
  QLineEdit* m_deviceTypeField = nullptr;   // 1229
  QLineEdit* m_modeCaption = nullptr;       // 1230
  QPushButton* m_diskModeChange = nullptr;  // 1244
  QLabel* m_transferStatus = nullptr;       // 1093
  QProgressBar* m_mainBar = nullptr;        // 1047
  QAction* m_readAction = nullptr;          // 1040
  QAction* m_writeAction = nullptr;         // 1042
  QLabel* m_logo = nullptr;

  pages::cDlgDockingTab* m_docking = nullptr;
  pages::cDlgYBRTab* m_singleGas = nullptr;
  pages::cDlgHWRTab* m_multiGas = nullptr;
  pages::cDlgLOGTab* m_logs = nullptr;
  pages::cDlgCertiTab* m_certificates = nullptr;
  QWidget* m_current = nullptr;
  pages::cDlgtTimeSetTab* m_timePage = nullptr;
  pages::cDlgRNDTab* m_servicePage = nullptr;
  QDialog* m_timeWindow = nullptr;
  QDialog* m_serviceWindow = nullptr;

  bool m_linkMode = true;
  std::filesystem::path m_usbRoot;
  protocol::DeviceType m_deviceType = protocol::DeviceType::None;
  protocol::DeviceType m_activeDeviceType = protocol::DeviceType::None;
  int m_cachedTabCode = 0xFF;
  int m_previousTab = 0;
  bool m_justOpened = false;
  bool m_requestInFlight = false;
  bool m_shutDown = false;
  // The record the last link mode write sent, until its read-back has come.
  struct WrittenRecord {
    RecordType type;
    std::vector<std::uint8_t> bytes;
  };
  std::optional<WrittenRecord> m_written;
  bool m_readBackInFlight = false;
  engine::ConnectionState m_connectionState = engine::ConnectionState::Closed;
};

}  // namespace ql::app
