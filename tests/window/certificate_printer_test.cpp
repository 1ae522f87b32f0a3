// The printed certificate drawn as the printer draws it, onto pictures as wide as the
// printable area of printers of different resolutions: the whole layout lands on the sheet,
// filling its width, with the table's outline and the logo where the layout puts them.

#include "app/certificate_printer.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include "report/certificate_page.h"

namespace {

ql::records::CertificateRecord FourGas() {
  ql::records::CertificateRecord r;
  r.year = 2016;
  r.month = 3;
  r.day = 5;
  r.productCode = "RVX";
  r.serialNumber = "RVX310402";
  r.gasLot = 4711;
  r.calibration = {500, 209, 1005, 250};
  r.reading = {498, 181, 1003, 249};
  r.gasFlags = {1, 1, 1, 1};
  r.gasType = ql::records::kCertificateFourGas;
  r.result = ql::records::kCertificatePass;
  return r;
}

bool Dark(const QImage& image, int x, int y) {
  return qGray(image.pixel(x, y)) < 128;
}

// Whether a dark pixel lies within `radius` of (x, y).
bool DarkNear(const QImage& image, int x, int y, int radius) {
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const int px = x + dx;
      const int py = y + dy;
      if (image.rect().contains(px, py) && Dark(image, px, py)) return true;
    }
  }
  return false;
}

}  // namespace

class CertificatePrinterTest : public QObject {
  Q_OBJECT

 private slots:
  void pageFillsThePrintableWidth_data() {
    QTest::addColumn<int>("width");  // printable width in device pixels
    QTest::newRow("150 dpi") << 1200;
    QTest::newRow("300 dpi") << 2400;
    QTest::newRow("the layout's own 600 dpi") << 4800;
  }
  void pageFillsThePrintableWidth() {
    QFETCH(int, width);
    const ql::report::CertificatePage page =
        ql::report::BuildCertificatePage(FourGas(), {"Ann Lee", "Tom Berg"}, true);
    const int height = width * 4 / 3;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    ql::app::PaintCertificatePage(painter, width, page, ql::app::CertificateLogo());
    painter.end();

    const double scale = static_cast<double>(width) / page.printableWidth;
    auto at = [scale](int v) { return static_cast<int>(v * scale); };
    // The table's right and bottom outline, where the layout puts them.
    QVERIFY(DarkNear(image, at(4250), at(3000), 2));
    QVERIFY(DarkNear(image, at(2000), at(4000), 2));
    // The logo's box is painted (the picture, not the white sheet).
    int logoPixels = 0;
    for (int y = at(5000); y < at(5544); y += 2) {
      for (int x = at(600); x < at(2040); x += 2) logoPixels += Dark(image, x, y) ? 1 : 0;
    }
    QVERIFY2(logoPixels > 50, qPrintable(QString::number(logoPixels)));
    // Nothing runs off the right edge, and the page is not printed small in a corner.
    int rightmost = 0;
    for (int y = 0; y < height; y += 1) {
      for (int x = width - 1; x > rightmost; --x) {
        if (Dark(image, x, y)) {
          rightmost = x;
          break;
        }
      }
    }
    QVERIFY2(rightmost < width - 3, qPrintable(QString::number(rightmost)));
    QVERIFY2(rightmost > width * 85 / 100, qPrintable(QString::number(rightmost)));
  }
};

QTEST_MAIN(CertificatePrinterTest)
#include "certificate_printer_test.moc"
