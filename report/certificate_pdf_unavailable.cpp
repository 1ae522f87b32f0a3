// Builds without cairo (the Windows cross-build) draw no PDF; the window prints instead.

#include "report/certificate_pdf.h"

namespace ql::report {

link::Status WriteCertificatePdf(const CertificatePage&, const std::filesystem::path& path) {
  return link::Status::Error(link::ErrorKind::Io,
                             "cannot write " + path.string() +
                                 ": this build of Quaylink writes no PDF files (it has no cairo)");
}

}  // namespace ql::report
