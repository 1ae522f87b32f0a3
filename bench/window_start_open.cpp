// The window's two waits a technician feels: start to the first frame on screen, and OPEN
// to "pages filled" (the automatic read sequence ended and both record pages show the
// station's values), against the station emulator on a pseudo-terminal with the real 2 ms
// byte pacing.
//
//   build/bench/bench_window [runs]
//
// Runs on whatever Qt platform the environment gives (QT_QPA_PLATFORM; e.g. under xvfb-run
// for a real X server). Prints each figure's median, minimum and maximum in milliseconds.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "pages/control_id.h"
#include "tests/e2e/process.h"

namespace {

namespace fs = std::filesystem;

// Notes the time of the window's first paint.
class FirstPaint final : public QObject {
 public:
  explicit FirstPaint(const QElapsedTimer& clock) : m_clock(clock) {}
  qint64 at = -1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && at < 0) at = m_clock.elapsed();
    return QObject::eventFilter(watched, event);
  }

 private:
  const QElapsedTimer& m_clock;
};

class Silent final : public ql::app::IMessagePresenter {
 public:
  void Show(QWidget*, const QString&) override {}
};

void Report(const char* what, std::vector<double> values, double target) {
  std::sort(values.begin(), values.end());
  std::printf("%-34s median %7.1f ms  min %7.1f  max %7.1f  (target <= %.0f ms, %zu runs)\n", what,
              values[values.size() / 2], values.front(), values.back(), target, values.size());
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

  const fs::path dir =
      fs::temp_directory_path() / ("ql-bench-window-" + std::to_string(::getpid()));
  fs::create_directories(dir / "runtime");
  ::setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);

  Silent silent;
  std::vector<double> firstFrame;
  std::vector<double> openToFilled;
  {
    ql::testsupport::Background station(
        {QUAYLINK_STATION, "--type", "2", "--state", (dir / "state").string()});
    if (station.FirstLine().empty()) {
      std::fprintf(stderr, "bench_window: the station emulator did not start\n");
      return 1;
    }
    for (int run = 0; run < runs; ++run) {
      QElapsedTimer clock;
      clock.start();
      const qint64 offset = run == 0 ? sinceStart.elapsed() : 0;  // the first run counts Qt's start
      FirstPaint paint(clock);
      ql::app::WindowServices services;
      services.messages = &silent;
      ql::app::CdockingDlg window(services);
      window.installEventFilter(&paint);
      window.show();
      if (!QTest::qWaitFor([&] { return paint.at >= 0; }, 5000)) {
        std::fprintf(stderr, "bench_window: no frame within 5 s\n");
        return 1;
      }
      firstFrame.push_back(static_cast<double>(paint.at + offset));

      bool filled = false;
      QObject::connect(&window, &ql::app::CdockingDlg::messageShown, &window,
                       [&filled](const QString& text) {
                         if (text == QStringLiteral("   Read complete   ")) filled = true;
                       });
      auto* open = ql::pages::Control<QAbstractButton>(&window, 1077);
      QElapsedTimer opened;
      opened.start();
      open->click();
      if (!QTest::qWaitFor([&] { return filled; }, 10000)) {
        std::fprintf(stderr, "bench_window: the read did not end within 10 s\n");
        return 1;
      }
      openToFilled.push_back(static_cast<double>(opened.nsecsElapsed()) / 1e6);
      window.close();
    }
  }
  Report("start to first frame", firstFrame, 500);
  Report("OPEN to pages filled", openToFilled, 350);
  fs::remove_all(dir);
  return 0;
}
