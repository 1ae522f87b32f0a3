#pragma once
// Printing the certificate with Qt Print Support: the print dialog, then the page drawn at
// the printer's own resolution, scaled so the whole layout fits the printable width.
//
// GUI thread only.

#include "pages/certificate_output.h"

class QImage;
class QPainter;

namespace ql::app {

class QtCertificatePrinter final : public pages::ICertificatePrinter {
 public:
  pages::PrintOutcome Print(QWidget* parent, const report::CertificatePage& page) override;
};

// Draws `page` with `painter`, whose device is `deviceWidth` pixels wide: the page's
// printable width is mapped onto it. `logo` is drawn into each image box (a null image
// leaves the boxes empty).
void PaintCertificatePage(QPainter& painter, int deviceWidth, const report::CertificatePage& page,
                          const QImage& logo);

// The logo picture at its larger size, from the program's resources.
QImage CertificateLogo();

}  // namespace ql::app
