#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/main_window.h"

namespace ql::app {

void MessageBoxPresenter::Show(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppName), text, QMessageBox::Ok,
                  parent);
  box.exec();
}

std::optional<std::filesystem::path> DialogChoosers::ChooseFile(QWidget* parent) {
  const QString path =
      QFileDialog::getOpenFileName(parent, {}, {}, QStringLiteral("Binary File(*.bin) (*)"));
  if (path.isEmpty()) return std::nullopt;
  return std::filesystem::path(path.toStdString());
}

std::optional<std::filesystem::path> DialogChoosers::ChooseFolder(QWidget* parent,
                                                                  const QString& title) {
  const QString path = QFileDialog::getExistingDirectory(parent, title);
  if (path.isEmpty()) return std::nullopt;
  return std::filesystem::path(path.toStdString());
}

std::optional<std::filesystem::path> DialogChoosers::ChooseSaveFile(QWidget* parent,
                                                                    const QString& title,
                                                                    const QString& suggestedName) {
  QFileDialog dialog(parent, title, {}, QStringLiteral("PDF File(*.pdf)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.selectFile(suggestedName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(dialog.selectedFiles().constFirst().toStdString());
}

}  // namespace ql::app
