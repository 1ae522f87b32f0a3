#pragma once
// How a calibration certificate is shown: the product name, the result, the date, the
// value formats per gas and certificate kind, and the calibration tables of the on-screen
// panel and of the printed page. One set of rules for the window, the printed page, the
// PDF and the command-line tool. Pure and thread-safe.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/certificate.h"

namespace ql::records {

// "Merovane RVX", "Merovane TKL", "Merovane TKL+" for those exact codes; any other code
// as it is.
std::string ShownProductName(std::string_view productCode);
// "Pass" (1), "Fail" (2), "None" (anything else).
std::string_view ResultText(std::uint8_t result);
// "%02d-%02d-%04d" of day, month and year.
std::string CalibrationDateText(const CertificateRecord& certificate);
bool IsFourGas(const CertificateRecord& certificate);

// A value (tenths of its gas's unit) as shown: O2 and H2S "%.1f" of value / 10; CO on a
// four-gas certificate and LEL "%d" of value / 10 truncated; CO on a single-gas
// certificate the value itself.
std::string FormatCertificateValue(CertificateGas gas, std::uint16_t value, bool fourGas);

// A calibration table: row 0 holds the column titles, column 0 the row labels.
struct CertificateTable {
  struct Column {
    std::string title;
    int width = 0;  // pixels, on screen
    bool centred = false;
  };
  std::vector<Column> columns;
  // rows[r][c] for the body rows (without the title row); column 0 is the label.
  std::vector<std::vector<std::string>> rows;
};

// The panel's table: four-gas (6 rows x O2, CO, H2S, LEL; "-" for a gas without values,
// " " for the STEL and TWA cells of O2 and LEL) or single-gas (4 rows, one gas column, all
// " " for an unknown gas type).
CertificateTable OnScreenCertificateTable(const CertificateRecord& certificate);
// The printed table: the same values with the printed row labels ("Cal Conc", ...), empty
// texts where nothing is printed, and no column 1 title for an unknown gas type.
CertificateTable PrintedCertificateTable(const CertificateRecord& certificate);

// The "Calibrated By" and "Approved By" names: letters, digits (8-bit Latin-1) and spaces
// only, at most 20 characters. Any other character is dropped, then the text is cut.
inline constexpr std::size_t kSignatureNameMax = 20;
std::string CleanSignatureName(std::string_view text);

}  // namespace ql::records
