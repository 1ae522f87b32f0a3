// Arbitrary certificate answers from a station, through everything that shows or prints
// them: the record, its texts and tables, and the printed page.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "records/certificate.h"
#include "records/certificate_view.h"
#include "report/certificate_page.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckTable(const ql::records::CertificateTable& table, bool fourGas) {
  Check(table.columns.size() == (fourGas ? 5u : 2u));
  Check(table.rows.size() == (fourGas ? 6u : 4u));
  for (const auto& row : table.rows) Check(row.size() == table.columns.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ql::records;
  const CertificateRecord record = CertificateRecord::FromBytes(std::span(data, size));
  // What the record keeps reads back the same.
  Check(CertificateRecord::FromBytes(record.Bytes()) == record);
  Check(record.productCode.size() <= kCertificateTextSize);
  Check(record.serialNumber.size() <= kCertificateTextSize);

  const bool fourGas = IsFourGas(record);
  Check(!ShownProductName(record.productCode).empty() || record.productCode.empty());
  Check(!ResultText(record.result).empty());
  Check(CalibrationDateText(record).size() >= 10);
  for (std::size_t g = 0; g < kCertificateGasCount; ++g) {
    const auto gas = static_cast<CertificateGas>(g);
    Check(!FormatCertificateValue(gas, record.calibration[g], fourGas).empty());
    Check(!FormatCertificateValue(gas, record.reading[g], !fourGas).empty());
  }
  CheckTable(OnScreenCertificateTable(record), fourGas);
  CheckTable(PrintedCertificateTable(record), fourGas);

  const std::string name(reinterpret_cast<const char*>(data), size < 40 ? size : 40);
  const std::string kept = CleanSignatureName(name);
  Check(kept.size() <= kSignatureNameMax);
  Check(CleanSignatureName(kept) == kept);

  const ql::report::CertificatePage page =
      ql::report::BuildCertificatePage(record, {kept, kept}, size % 2 == 0);
  Check(page.rects.size() == (fourGas ? 35u : 10u));
  Check(page.images.size() == 2u);
  for (const auto& text : page.texts) Check(!text.text.empty());
  return 0;
}
