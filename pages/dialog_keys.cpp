#include "pages/dialog_keys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace ql::pages {

namespace {

class DialogKeyFilter final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
      switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
          event->accept();
          return true;
        default:
          break;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

void SwallowDialogKeys(QWidget* scope) {
  scope->installEventFilter(new DialogKeyFilter(scope));
}

}  // namespace ql::pages
