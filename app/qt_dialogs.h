#pragma once
// The real message box and choosers of the window (tests replace them).

#include "app/window_services.h"
#include "pages/page_host.h"

namespace ql::app {

class MessageBoxPresenter final : public IMessagePresenter {
 public:
  void Show(QWidget* parent, const QString& text) override;
};

class DialogChoosers final : public pages::IChoosers {
 public:
  std::optional<std::filesystem::path> ChooseFile(QWidget* parent) override;
  std::optional<std::filesystem::path> ChooseFolder(QWidget* parent, const QString& title) override;
  std::optional<std::filesystem::path> ChooseSaveFile(QWidget* parent, const QString& title,
                                                      const QString& suggestedName) override;
};

}  // namespace ql::app
