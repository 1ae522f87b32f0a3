#pragma once
// Where a printed certificate goes: the window prints through Qt's print dialog; tests
// put a recorder in its place, so no real dialog ever opens in a test.
//
// GUI thread only.

#include "report/certificate_page.h"

class QWidget;

namespace ql::pages {

// Failed: the printer could not be started; nothing went to it.
enum class PrintOutcome { Printed, Cancelled, Failed };

class ICertificatePrinter {
 public:
  virtual ~ICertificatePrinter() = default;
  // Lets the technician choose the printer, then prints `page` on one portrait sheet.
  // Cancelled when the print dialog was cancelled: nothing was printed, nothing is said.
  virtual PrintOutcome Print(QWidget* parent, const report::CertificatePage& page) = 0;
};

}  // namespace ql::pages
