#pragma once
// The printed certificate as a PDF file (one US Letter page), drawn with cairo from the
// page description, so the window and the command-line tool write the same file.

#include <filesystem>

#include "link/status.h"
#include "report/certificate_page.h"

namespace ql::report {

// Writes `page` to `path` through a fresh temporary file in the same folder that is
// renamed over `path` once complete: a failure leaves no file, whole or partial, under
// `path`. The page's printable width is mapped to the sheet's width less quarter-inch
// margins; texts stay extractable (one table row on one line of pdftotext -layout).
// Io with the system's reason when the file cannot be written.
link::Status WriteCertificatePdf(const CertificatePage& page, const std::filesystem::path& path);

}  // namespace ql::report
