#pragma once
// A test bench for the real main window: recorded messages, prepared chooser answers, a
// mount check that takes the test's folders for drives, the station emulator on a
// pseudo-terminal, and lookups of controls by id.

#include <QAbstractButton>
#include <QComboBox>
#include <QString>
#include <QStringList>
#include <QTabBar>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_services.h"
#include "pages/control_id.h"
#include "tests/e2e/files.h"
#include "tests/e2e/process.h"
#include "tests/pages/fake_host.h"
#include "usbdisk/usb_drive.h"

namespace ql::testsupport {

namespace fs = std::filesystem;

class MessageRecorder final : public app::IMessagePresenter {
 public:
  QStringList texts;
  void Show(QWidget*, const QString& text) override { texts.push_back(text); }
  bool Has(const QString& text) const { return texts.contains(text); }
};

class FakeMounts final : public usbdisk::IMountCheck {
 public:
  std::set<fs::path> roots;
  bool IsMountRoot(const fs::path& folder) const override { return roots.count(folder) != 0; }
};

class WindowRig {
 public:
  explicit WindowRig(const QString& testName) {
    dir = fs::temp_directory_path() /
          ("ql-window-" + std::to_string(::getpid()) + "-" + testName.toStdString());
    fs::remove_all(dir);
    fs::create_directories(dir / "runtime");
    // Each test sees only its own emulators.
    ::setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
  }
  ~WindowRig() {
    window.reset();
    station.reset();
    fs::remove_all(dir);
  }
  WindowRig(const WindowRig&) = delete;
  WindowRig& operator=(const WindowRig&) = delete;

  // Starts the emulator of a station of `type` on the rig's state folder, with `options`.
  std::string StartStation(int type, const std::vector<std::string>& options = {}) {
    std::vector<std::string> command{QUAYLINK_STATION, "--type", std::to_string(type), "--state",
                                     (dir / "state").string()};
    command.insert(command.end(), options.begin(), options.end());
    station = std::make_unique<Background>(command);
    device = station->FirstLine();
    return device;
  }

  app::CdockingDlg& MakeWindow(engine::ITimerHost* timers = nullptr,
                               const engine::IWallClock* wallClock = nullptr) {
    app::WindowServices services;
    services.wallClock = wallClock;
    services.messages = &messages;
    services.choosers = &choosers;
    services.mountCheck = &mounts;
    services.timers = timers;
    window = std::make_unique<app::CdockingDlg>(services);
    window->show();
    return *window;
  }

  template <typename T = QWidget>
  T* Find(int id, QWidget* scope = nullptr) {
    return pages::Control<T>(scope != nullptr ? scope : window.get(), id);
  }

  void Click(int id, QWidget* scope = nullptr) {
    auto* button = Find<QAbstractButton>(id, scope);
    QVERIFY2(button != nullptr, qPrintable(QStringLiteral("no button %1").arg(id)));
    QVERIFY2(button->isEnabled(), qPrintable(QStringLiteral("button %1 disabled").arg(id)));
    button->click();
  }

  QStringList TabTexts() const {
    QStringList texts;
    for (int i = 0; i < window->Tabs().count(); ++i) texts << window->Tabs().tabText(i);
    return texts;
  }

  // OPEN on the emulator's port; true once the automatic read has ended.
  bool OpenAndRead() {
    window->RefreshPorts();
    auto* open = Find<QAbstractButton>(1077);
    if (open == nullptr || !open->isEnabled()) return false;
    messages.texts.clear();
    open->click();
    return QTest::qWaitFor([this] { return messages.Has(QStringLiteral("   Read complete   ")); },
                           15000);
  }

  bool WaitForMessage(const QString& text, int timeoutMs = 20000) {
    return QTest::qWaitFor([&] { return messages.Has(text); }, timeoutMs);
  }

  fs::path dir;
  std::unique_ptr<Background> station;
  std::string device;
  MessageRecorder messages;
  FakeChoosers choosers;
  FakeMounts mounts;
  std::unique_ptr<app::CdockingDlg> window;
};

}  // namespace ql::testsupport
