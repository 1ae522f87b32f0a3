// The quaylink program. It takes no options and keeps no settings between runs.

#include <QApplication>

#include "app/main_window.h"

namespace ql::app {

// `CdockingApp`: creates the main window, runs it, and ends when it closes.
class CdockingApp final : public QApplication {
 public:
  CdockingApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(kAppName));
    setApplicationVersion(QString::fromLatin1(kVersion));
  }

  int Run() {
    CdockingDlg window;
    setWindowIcon(window.windowIcon());  // the window registers the pictures
    window.show();
    return exec();
  }  // the window's destructor joins every thread before the process ends
};

}  // namespace ql::app

int main(int argc, char** argv) {
  ql::app::CdockingApp app(argc, argv);
  return app.Run();
}
