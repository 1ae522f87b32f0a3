// `CdockingApp`: the quaylink program. It takes no options and keeps no settings.

#include <QApplication>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(ql::app::kAppName));
  QApplication::setApplicationVersion(QString::fromLatin1(ql::app::kVersion));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/quaylink/icon.png")));
  int result = 0;
  {
    ql::app::CdockingDlg window;
    window.show();
    result = app.exec();
  }  // every thread of the window is joined here
  return result;
}
