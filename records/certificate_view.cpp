#include "records/certificate_view.h"

#include <array>
#include <cstdio>

#include "rules/field_rules.h"

namespace ql::records {
namespace {

constexpr int kLabelWidth = 134;
constexpr int kFourGasColumnWidth = 59;
constexpr int kSingleGasColumnWidth = 236;
constexpr int kPrintedCellWidth = 750;

// Column order of both tables; the record's arrays use CertificateGas order instead.
constexpr std::array<CertificateGas, 4> kFourGasColumns = {
    CertificateGas::O2, CertificateGas::Co, CertificateGas::H2s, CertificateGas::Lel};

std::string_view GasTitle(CertificateGas gas) {
  switch (gas) {
    case CertificateGas::O2:
      return "O2(%)";
    case CertificateGas::Co:
      return "CO(ppm)";
    case CertificateGas::H2s:
      return "H2S(ppm)";
    case CertificateGas::Lel:
      return "LEL(%)";
  }
  return " ";
}

std::size_t Index(CertificateGas gas) {
  return static_cast<std::size_t>(gas);
}

// The value arrays in row order; STEL and TWA only for the four-gas table.
struct RowSource {
  const CertificateRecord::GasValues CertificateRecord::*values;
  bool toxicOnly;  // STEL and TWA: only CO and H2S carry values
};
constexpr std::array<RowSource, 6> kRows = {{
    {&CertificateRecord::calibration, false},
    {&CertificateRecord::reading, false},
    {&CertificateRecord::lowAlarm, false},
    {&CertificateRecord::highAlarm, false},
    {&CertificateRecord::stel, true},
    {&CertificateRecord::twa, true},
}};
constexpr std::array<std::string_view, 6> kScreenLabels = {
    "Calibration Concentration", "Reading", "Low Alarm", "High Alarm", "STEL Alarm", "TWA Alarm"};
constexpr std::array<std::string_view, 6> kPrintedLabels = {
    "Cal Conc", "Reading", "Low Alarm", "High Alarm", "STEL Alarm", "TWA Alarm"};

// The single gas of a single-gas certificate; false for an unknown gas type.
bool SingleGasOf(std::uint8_t gasType, CertificateGas& gas) {
  switch (gasType) {
    case kCertificateO2:
      gas = CertificateGas::O2;
      return true;
    case kCertificateCo:
      gas = CertificateGas::Co;
      return true;
    case kCertificateH2s:
      gas = CertificateGas::H2s;
      return true;
    default:
      return false;
  }
}

// `blank` is what a cell shows where nothing belongs: " " on screen, "" on paper.
CertificateTable BuildTable(const CertificateRecord& c,
                            const std::array<std::string_view, 6>& labels, std::string_view blank,
                            bool printed) {
  CertificateTable table;
  const int labelWidth = printed ? kPrintedCellWidth : kLabelWidth;
  table.columns.push_back({printed ? std::string() : std::string(" "), labelWidth, false});
  if (IsFourGas(c)) {
    for (CertificateGas gas : kFourGasColumns) {
      table.columns.push_back({std::string(GasTitle(gas)),
                               printed ? kPrintedCellWidth : kFourGasColumnWidth, !printed});
    }
    for (std::size_t r = 0; r < kRows.size(); ++r) {
      std::vector<std::string> row{std::string(labels[r])};
      for (CertificateGas gas : kFourGasColumns) {
        const bool toxic = gas == CertificateGas::Co || gas == CertificateGas::H2s;
        if (kRows[r].toxicOnly && !toxic) {
          row.emplace_back(blank);
        } else if (c.gasFlags[Index(gas)] != 1) {
          row.emplace_back("-");
        } else {
          row.push_back(FormatCertificateValue(gas, (c.*kRows[r].values)[Index(gas)], true));
        }
      }
      table.rows.push_back(std::move(row));
    }
    return table;
  }
  CertificateGas gas = CertificateGas::O2;
  const bool known = SingleGasOf(c.gasType, gas);
  table.columns.push_back({known ? std::string(GasTitle(gas)) : std::string(blank),
                           printed ? kPrintedCellWidth : kSingleGasColumnWidth, !printed});
  for (std::size_t r = 0; r < 4; ++r) {
    std::vector<std::string> row{std::string(labels[r])};
    row.push_back(known ? FormatCertificateValue(gas, (c.*kRows[r].values)[Index(gas)], false)
                        : std::string(blank));
    table.rows.push_back(std::move(row));
  }
  return table;
}

}  // namespace

std::string ShownProductName(std::string_view productCode) {
  if (productCode == "RVX" || productCode == "TKL" || productCode == "TKL+") {
    return "Merovane " + std::string(productCode);
  }
  return std::string(productCode);
}

std::string_view ResultText(std::uint8_t result) {
  if (result == kCertificatePass) return "Pass";
  if (result == kCertificateFail) return "Fail";
  return "None";
}

std::string CalibrationDateText(const CertificateRecord& certificate) {
  // Room for three full-range int32 values with their signs.
  char text[48];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", certificate.day, certificate.month,
                certificate.year);
  return text;
}

bool IsFourGas(const CertificateRecord& certificate) {
  return certificate.gasType == kCertificateFourGas;
}

std::string FormatCertificateValue(CertificateGas gas, std::uint16_t value, bool fourGas) {
  char text[16] = "";
  switch (gas) {
    case CertificateGas::O2:
    case CertificateGas::H2s:
      std::snprintf(text, sizeof text, "%.1f", value / 10.0);
      break;
    case CertificateGas::Co:
      std::snprintf(text, sizeof text, "%d", fourGas ? value / 10 : int{value});
      break;
    case CertificateGas::Lel:
      std::snprintf(text, sizeof text, "%d", value / 10);
      break;
  }
  return text;
}

CertificateTable OnScreenCertificateTable(const CertificateRecord& certificate) {
  return BuildTable(certificate, kScreenLabels, " ", false);
}

CertificateTable PrintedCertificateTable(const CertificateRecord& certificate) {
  return BuildTable(certificate, kPrintedLabels, "", true);
}

std::string CleanSignatureName(std::string_view text) {
  std::string kept;
  for (char ch : text) {
    if (kept.size() == kSignatureNameMax) break;
    const auto c = static_cast<unsigned char>(ch);
    if (c == ' ' || rules::IsLetterOrDigit(c)) kept.push_back(ch);
  }
  return kept;
}

}  // namespace ql::records
