// Makes the README's pictures of the window: the docking station page and the RVX page
// filled from the station emulator, the date and time, service and traffic monitor windows,
// the certificate page with a four-gas certificate and
// that certificate's printed page (saved as PDF, rendered at 60 dpi by pdftoppm), and USB
// disk mode. A developer's tool, not installed.
//
//   quaylink-screenshots OUT_DIR [SUFFIX]
//
// Run it under a display (e.g. xvfb-run -a) and with QT_SCALE_FACTOR=2 for the 200% view.

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "app/traffic_monitor.h"
#include "pages/certificate_tab.h"
#include "pages/control_id.h"
#include "pages/multi_gas_tab.h"
#include "pages/service_tab.h"
#include "pages/time_tab.h"
#include "tests/e2e/process.h"

namespace {

namespace fs = std::filesystem;

class Silent final : public ql::app::IMessagePresenter {
 public:
  void Show(QWidget*, const QString&) override {}
};

// Answers the drive chooser with a folder that the mount check takes for a drive.
class Drive final : public ql::pages::IChoosers, public ql::usbdisk::IMountCheck {
 public:
  explicit Drive(fs::path root) : m_root(std::move(root)) {}
  std::optional<fs::path> ChooseFile(QWidget*) override { return std::nullopt; }
  std::optional<fs::path> ChooseFolder(QWidget*, const QString&) override { return m_root; }
  std::optional<fs::path> ChooseSaveFile(QWidget*, const QString&, const QString&) override {
    return m_root / "certificate.pdf";
  }
  bool IsMountRoot(const fs::path& folder) const override { return folder == m_root; }
  const fs::path& Root() const { return m_root; }

 private:
  fs::path m_root;
};

bool Save(QWidget& window, const fs::path& file);

// The three windows of the "Service" menu, each after a request of its own.
bool ServiceWindows(ql::app::CdockingDlg& window, const fs::path& out, const std::string& suffix) {
  window.ShowTrafficMonitor();
  window.ShowTimeWindow();
  QWidget* time = &window.TimePage();
  ql::pages::Control<QAbstractButton>(time, 1233)->click();  // DATE/TIME READ
  auto* stationTime = ql::pages::Control<QLineEdit>(time, 1028);
  if (!QTest::qWaitFor([&] { return !stationTime->text().isEmpty(); }, 10000)) {
    std::fprintf(stderr, "quaylink-screenshots: no station clock\n");
    return false;
  }
  bool saved = Save(window.TimeWindow(), out / ("window-date-time" + suffix + ".png"));
  window.TimeWindow().close();
  window.ShowServiceWindow();
  QWidget* service = &window.ServicePage();
  ql::pages::Control<QLineEdit>(service, 1198)->setText(QStringLiteral("DS2-004417"));
  ql::pages::Control<QAbstractButton>(service, 1254)->click();  // Get IpAdress
  auto* address = ql::pages::Control<QLineEdit>(service, 1255);
  if (!QTest::qWaitFor([&] { return !address->text().isEmpty(); }, 10000)) {
    std::fprintf(stderr, "quaylink-screenshots: no IP address\n");
    return false;
  }
  saved = Save(window.ServiceWindow(), out / ("window-service" + suffix + ".png")) && saved;
  window.ServiceWindow().close();
  saved =
      Save(window.TrafficMonitor(), out / ("window-traffic-monitor" + suffix + ".png")) && saved;
  window.TrafficMonitor().close();
  return saved;
}

// The certificate page with the station's four-gas certificate loaded and signed, and its
// printed page as a picture.
bool Certificate(ql::app::CdockingDlg& window, QStringList& messages, const fs::path& pdf,
                 const fs::path& out, const std::string& suffix) {
  window.Tabs().setCurrentIndex(3);
  QWidget* page = &window.CertificatePage();
  ql::pages::Control<QAbstractButton>(page, 1257)->click();
  if (!QTest::qWaitFor([&] { return messages.contains("CertiData file receive success"); },
                       10000)) {
    std::fprintf(stderr, "quaylink-screenshots: no certificate list\n");
    return false;
  }
  auto* list = ql::pages::Control<QTableWidget>(page, 1256);
  const auto rows = list->findItems(QStringLiteral("RVX310402.CRT"), Qt::MatchExactly);
  if (rows.isEmpty()) {
    std::fprintf(stderr, "quaylink-screenshots: no four-gas certificate\n");
    return false;
  }
  rows.front()->setCheckState(Qt::Checked);
  ql::pages::Control<QAbstractButton>(page, 1258)->click();
  auto* product = ql::pages::Control<QLineEdit>(page, 1268);
  if (!QTest::qWaitFor([&] { return product->text() != QStringLiteral(" "); }, 10000)) {
    std::fprintf(stderr, "quaylink-screenshots: the certificate did not load\n");
    return false;
  }
  ql::pages::Control<QLineEdit>(page, 1200)->setText(QStringLiteral("Ann Lee"));
  ql::pages::Control<QLineEdit>(page, 1198)->setText(QStringLiteral("Tom Berg"));
  if (!Save(window, out / ("window-certificates" + suffix + ".png"))) return false;
  ql::pages::Control<QAbstractButton>(page, 1282)->click();
  if (!messages.contains(QStringLiteral("Success"))) {
    std::fprintf(stderr, "quaylink-screenshots: the PDF was not saved\n");
    return false;
  }
  const auto rendered = ql::testsupport::RunProgram(
      {QUAYLINK_PDFTOPPM, "-png", "-r", "60", "-singlefile", pdf.string(),
       (out / ("certificate-four-gas" + suffix)).string()});
  if (rendered.exitCode != 0) {
    std::fprintf(stderr, "quaylink-screenshots: pdftoppm: %s\n", rendered.err.c_str());
    return false;
  }
  window.Tabs().setCurrentIndex(0);
  return true;
}

bool Save(QWidget& window, const fs::path& file) {
  QTest::qWait(200);
  if (!window.grab().save(QString::fromStdString(file.string()))) {
    std::fprintf(stderr, "quaylink-screenshots: cannot write %s\n", file.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: quaylink-screenshots OUT_DIR [SUFFIX]\n");
    return 2;
  }
  const fs::path out = argv[1];
  const std::string suffix = argc > 2 ? argv[2] : "";
  const fs::path dir = fs::temp_directory_path() / ("ql-shots-" + std::to_string(::getpid()));
  fs::create_directories(dir / "runtime");
  fs::create_directories(dir / "drive");
  ::setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
  int status = 0;
  {
    ql::testsupport::Background station(
        {QUAYLINK_STATION, "--type", "2", "--state", (dir / "state").string()});
    station.FirstLine();
    Silent silent;
    Drive drive(dir / "drive");
    ql::app::WindowServices services;
    services.messages = &silent;
    services.choosers = &drive;
    services.mountCheck = &drive;
    ql::app::CdockingDlg window(services);
    window.resize(window.sizeHint());
    window.show();
    bool filled = false;
    QStringList messages;
    QObject::connect(&window, &ql::app::CdockingDlg::messageShown, &window,
                     [&filled, &messages](const QString& text) {
                       if (text == QStringLiteral("   Read complete   ")) filled = true;
                       messages << text;
                     });
    ql::pages::Control<QAbstractButton>(&window, 1077)->click();
    if (!QTest::qWaitFor([&] { return filled; }, 10000)) {
      std::fprintf(stderr, "quaylink-screenshots: the read did not end\n");
      return 1;
    }
    if (!Save(window, out / ("window-docking" + suffix + ".png"))) status = 2;
    window.Tabs().setCurrentIndex(1);
    if (!Save(window, out / ("window-rvx" + suffix + ".png"))) status = 2;
    // Two edits not yet written: their fields carry the change mark.
    for (const auto& [id, text] : {std::pair{1140, "12.5"}, std::pair{1142, "30.0"}}) {
      auto* field = ql::pages::Control<QLineEdit>(&window.MultiGasPage(), id);
      field->setText(QString::fromLatin1(text));
    }
    if (!Save(window, out / ("window-rvx-changed" + suffix + ".png"))) status = 2;
    if (!ServiceWindows(window, out, suffix)) status = 2;
    if (!Certificate(window, messages, drive.Root() / "certificate.pdf", out, suffix)) status = 2;
    window.Tabs().setCurrentIndex(0);
    ql::pages::Control<QAbstractButton>(&window, 1077)->click();  // CLOSE
    ql::pages::Control<QAbstractButton>(&window, 1046)->click();  // USB Disk
    if (!Save(window, out / ("window-usb-disk" + suffix + ".png"))) status = 2;
    window.close();
  }
  fs::remove_all(dir);
  return status;
}
