#pragma once
// The printed calibration certificate, described once: every text with its position and
// font, every rule of the table, the logo's boxes and the optional address footer, in
// printer pixels of a page about 4800 pixels wide (600 dots per inch on US Letter). The
// window's printing draws this description with QPainter scaled to the printer's page;
// the PDF writer draws it with cairo. Pure and thread-safe.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "records/certificate.h"

namespace ql::report {

// The printable width the positions are laid out for.
inline constexpr int kReferencePrintableWidth = 4800;

enum class PageFont { Title, Body, Signature, Footer };

struct FontSpec {
  std::string_view family;  // "Arial"; a renderer falls back to a metric-compatible face
  int height = 0;           // printer pixels, the cell height of the font
  int weight = 400;         // 100..900
  bool underline = false;
};
FontSpec FontOf(PageFont font);

// A text whose top-left corner is at (x, y).
struct PageText {
  int x = 0;
  int y = 0;
  std::string text;  // Latin-1
  PageFont font = PageFont::Body;
};

// A rectangle with a thin black outline and a white fill, drawn before the texts.
struct PageRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The logo picture drawn into a box.
struct PageImage {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct CertificatePage {
  int printableWidth = kReferencePrintableWidth;
  // Drawn in this order: rectangles, images, texts.
  std::vector<PageRect> rects;
  std::vector<PageImage> images;
  std::vector<PageText> texts;
};

// The four footer lines: postal address (two lines), telephone, web and e-mail.
extern const std::array<std::string_view, 4> kFooterLines;

struct CertificateSignatures {
  std::string calibratedBy;
  std::string approvedBy;
};

// The page for `certificate` (gas type not 0). `addressFooter`: the footer lines are
// printed ("Merovane Addr" chosen).
CertificatePage BuildCertificatePage(const records::CertificateRecord& certificate,
                                     const CertificateSignatures& signatures, bool addressFooter,
                                     int printableWidth = kReferencePrintableWidth);

}  // namespace ql::report
