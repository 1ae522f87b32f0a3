#include "report/certificate_page.h"

#include <cstdio>

#include "records/certificate_view.h"

namespace ql::report {
namespace {

// The table: cells 750 by 200 from (500, 2600); texts 50 in from the cell's corner.
constexpr int kTableLeft = 500;
constexpr int kTableTop = 2600;
constexpr int kCellWidth = 750;
constexpr int kCellHeight = 200;
constexpr int kCellInset = 50;

// The logo bitmap's own size; the second copy is stretched 4.5 times wide, 8 times high.
constexpr int kLogoX = 600;
constexpr int kLogoY = 5000;
constexpr int kLogoWidth = 320;
constexpr int kLogoHeight = 68;

constexpr std::array<int, 4> kFooterY = {5000, 5100, 5300, 5400};

void AddTable(const records::CertificateRecord& certificate, CertificatePage& page) {
  const records::CertificateTable table = records::PrintedCertificateTable(certificate);
  const std::size_t columns = table.columns.size();
  const std::size_t rows = table.rows.size() + 1;  // with the title row
  for (std::size_t r = 0; r < rows; ++r) {
    const int top = kTableTop + kCellHeight * static_cast<int>(r);
    for (std::size_t c = 0; c < columns; ++c) {
      const int left = kTableLeft + kCellWidth * static_cast<int>(c);
      page.rects.push_back({left, top, left + kCellWidth, top + kCellHeight});
    }
  }
  // Blank cells print nothing: no text item for them.
  auto add = [&page](int x, int y, const std::string& text) {
    if (!text.empty()) page.texts.push_back({x, y, text, PageFont::Body});
  };
  for (std::size_t c = 1; c < columns; ++c) {
    const int left = kTableLeft + kCellWidth * static_cast<int>(c);
    add(left + kCellInset, kTableTop + kCellInset, table.columns[c].title);
  }
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const int top = kTableTop + kCellHeight * static_cast<int>(r + 1);
    for (std::size_t c = 0; c < table.rows[r].size() && c < columns; ++c) {
      const int left = kTableLeft + kCellWidth * static_cast<int>(c);
      add(left + kCellInset, top + kCellInset, table.rows[r][c]);
    }
  }
}

}  // namespace

const std::array<std::string_view, 4> kFooterLines = {
    "Merovane Gas Detection, 14 Harbour Quay Road",
    "Port Alder, PA 10215, United States",
    "Tel. +1 555 0142 7700",
    "www.merovane.example  service@merovane.example",
};

FontSpec FontOf(PageFont font) {
  switch (font) {
    case PageFont::Title:
      return {"Arial", 200, 900, true};
    case PageFont::Body:
      return {"Arial", 100, 400, false};
    case PageFont::Signature:
      return {"Arial", 100, 700, true};
    case PageFont::Footer:
      return {"Arial", 80, 400, false};
  }
  return {"Arial", 100, 400, false};
}

CertificatePage BuildCertificatePage(const records::CertificateRecord& certificate,
                                     const CertificateSignatures& signatures, bool addressFooter,
                                     int printableWidth) {
  CertificatePage page;
  page.printableWidth = printableWidth;
  const int centre = printableWidth / 2;

  page.texts.push_back({centre - 900, 500, "Calibration Certificate", PageFont::Title});
  page.texts.push_back({centre + 500, 1000,
                        "Calibration Date : " + records::CalibrationDateText(certificate),
                        PageFont::Body});
  page.texts.push_back({500, 1750,
                        "1. Product Name : " + records::ShownProductName(certificate.productCode),
                        PageFont::Body});
  page.texts.push_back(
      {500, 1950, "2. Serial Number : " + certificate.serialNumber, PageFont::Body});
  page.texts.push_back(
      {500, 2150, "3. GAS Lot# : " + std::to_string(certificate.gasLot), PageFont::Body});
  page.texts.push_back({500, 2350,
                        "4. Result : " + std::string(records::ResultText(certificate.result)),
                        PageFont::Body});

  AddTable(certificate, page);

  page.texts.push_back(
      {750, 4250, "Calibrated by : " + signatures.calibratedBy, PageFont::Signature});
  page.texts.push_back({2500, 4250, "Approved by : " + signatures.approvedBy, PageFont::Signature});

  page.images.push_back({kLogoX, kLogoY, kLogoWidth, kLogoHeight});
  page.images.push_back({kLogoX, kLogoY, kLogoWidth * 9 / 2, kLogoHeight * 8});

  if (addressFooter) {
    for (std::size_t i = 0; i < kFooterLines.size(); ++i) {
      page.texts.push_back(
          {centre + 100, kFooterY[i], std::string(kFooterLines[i]), PageFont::Footer});
    }
  }
  return page;
}

}  // namespace ql::report
