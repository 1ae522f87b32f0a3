#pragma once
// The about box `CAboutDlg`: icon, title line, contact text, OK, and the web address,
// which opens in the desktop's browser.

#include <QDialog>

namespace ql::app {

inline constexpr const char* kContactText =
    "Quaylink Instruments, 14 Harbour Row, Portsmouth PO1 3AA\nTel. +44 23 9200 0140";
inline constexpr const char* kWebAddress = "https://www.quaylink.example/";

class CAboutDlg final : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace ql::app
