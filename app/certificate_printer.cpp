#include "app/certificate_printer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

// The pictures live in a static library, whose resources are not registered on their own.
static void InitLogoResource() {
  Q_INIT_RESOURCE(quaylink);
}

namespace ql::app {

namespace {

QFont PageFontOf(report::PageFont which) {
  const report::FontSpec wanted = report::FontOf(which);
  QFont font(
      QString::fromLatin1(wanted.family.data(), static_cast<qsizetype>(wanted.family.size())));
  font.setPixelSize(wanted.height);
  font.setWeight(static_cast<QFont::Weight>(wanted.weight));
  font.setUnderline(wanted.underline);
  // Scaled text keeps its shapes; hinting would snap them to the unscaled grid.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

}  // namespace

QImage CertificateLogo() {
  InitLogoResource();
  return QImage(QStringLiteral(":/quaylink/logo@2x.png"));
}

void PaintCertificatePage(QPainter& painter, int deviceWidth, const report::CertificatePage& page,
                          const QImage& logo) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  // The layout is in pixels of a page `printableWidth` wide; a printer of another
  // resolution would otherwise clip it or print it small.
  double scale = 1.0;
  if (page.printableWidth > 0) scale = static_cast<double>(deviceWidth) / page.printableWidth;
  painter.scale(scale, scale);
  // Rules about a third of a point wide, never thinner than one device pixel.
  painter.setPen(QPen(Qt::black, std::max(2.0, 1.0 / scale)));
  painter.setBrush(Qt::white);
  for (const report::PageRect& rect : page.rects) {
    painter.drawRect(QRectF(QPointF(rect.left, rect.top), QPointF(rect.right, rect.bottom)));
  }
  if (!logo.isNull()) {
    for (const report::PageImage& image : page.images) {
      painter.drawImage(QRectF(image.x, image.y, image.width, image.height), logo);
    }
  }
  for (const report::PageText& text : page.texts) {
    const QFont font = PageFontOf(text.font);
    painter.setFont(font);
    // Positions are the top-left corners of the texts; Qt draws from the baseline.
    const QFontMetricsF metrics(font, painter.device());
    painter.drawText(
        QPointF(text.x, text.y + metrics.ascent()),
        QString::fromLatin1(text.text.data(), static_cast<qsizetype>(text.text.size())));
  }
  painter.restore();
}

pages::PrintOutcome QtCertificatePrinter::Print(QWidget* parent,
                                                const report::CertificatePage& page) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Print"));
  printer.setPageOrientation(QPageLayout::Portrait);
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
  if (dialog.exec() != QDialog::Accepted) return pages::PrintOutcome::Cancelled;
  // One certificate is one portrait sheet, whatever the dialog was left at.
  printer.setPageOrientation(QPageLayout::Portrait);
  QPainter painter;
  if (!painter.begin(&printer)) return pages::PrintOutcome::Failed;
  PaintCertificatePage(painter, printer.pageRect(QPrinter::DevicePixel).toRect().width(), page,
                       CertificateLogo());
  if (!painter.end()) return pages::PrintOutcome::Failed;
  return pages::PrintOutcome::Printed;
}

}  // namespace ql::app
