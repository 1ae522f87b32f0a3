#include "app/about_dialog.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "pages/control_id.h"

namespace ql::app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Quaylink Info"));
  pages::SetControlId(this, 100);
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/quaylink/icon.png")).pixmap(48, 48));
  auto* title = new QLabel(QStringLiteral("Quaylink (%1)").arg(kVersion), this);
  QFont titleFont = title->font();
  titleFont.setFamilies({QStringLiteral("Dotum"), QStringLiteral("돋움")});
  titleFont.setPixelSize(23);
  titleFont.setWeight(QFont::Thin);
  title->setFont(titleFont);
  pages::SetControlId(title, 1234);
  auto* contact = new QLabel(QString::fromUtf8(kContactText), this);
  pages::SetControlId(contact, 1235);
  // The link line: blue on transparent, a hand cursor, opened by the desktop's browser.
  auto* link = new QLabel(this);
  link->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff\">%1</a>")
                    .arg(QString::fromLatin1(kWebAddress)));
  link->setTextFormat(Qt::RichText);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  link->setCursor(Qt::PointingHandCursor);
  link->setOpenExternalLinks(false);
  pages::SetControlId(link, 1236, QString::fromLatin1(kWebAddress));
  connect(link, &QLabel::linkActivated, this,
          [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  pages::SetControlId(ok, 1, QStringLiteral("OK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* text = new QVBoxLayout;
  text->addWidget(title);
  text->addWidget(contact);
  text->addWidget(link);
  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addLayout(text, 1);
  row->addWidget(ok, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
}

}  // namespace ql::app
