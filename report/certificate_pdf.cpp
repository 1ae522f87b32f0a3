#include "report/certificate_pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "io/staged_file.h"
#include "report/certificate_logo.h"

namespace ql::report {
namespace {

// US Letter in points, with quarter-inch margins on every side; the printable width of
// the page description fills the sheet between the side margins.
constexpr double kSheetWidth = 612.0;
constexpr double kSheetHeight = 792.0;
constexpr double kMargin = 18.0;
constexpr double kRuleWidth = 0.5;  // points; the thin outline of the table's cells

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

struct PdfSink {
  io::StagedFile* file = nullptr;
  bool failed = false;
};

cairo_status_t WriteChunk(void* closure, const unsigned char* data, unsigned int length) {
  auto* sink = static_cast<PdfSink*>(closure);
  if (sink->failed) return CAIRO_STATUS_WRITE_ERROR;
  if (!sink->file->Write(std::span<const std::uint8_t>(data, length))) {
    sink->failed = true;
    return CAIRO_STATUS_WRITE_ERROR;
  }
  return CAIRO_STATUS_SUCCESS;
}

struct PngSource {
  std::span<const unsigned char> bytes;
  std::size_t offset = 0;
};

cairo_status_t ReadChunk(void* closure, unsigned char* data, unsigned int length) {
  auto* source = static_cast<PngSource*>(closure);
  if (source->bytes.size() - source->offset < length) return CAIRO_STATUS_READ_ERROR;
  std::copy_n(source->bytes.begin() + static_cast<std::ptrdiff_t>(source->offset), length, data);
  source->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

// Page texts are Latin-1; cairo takes UTF-8. Control characters (which a station's record
// may carry) have no glyph and would upset the text layer, so they print as '?'.
std::string ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() * 2);
  for (char ch : latin1) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      out.push_back('?');
    } else if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

class PageDrawer {
 public:
  PageDrawer(cairo_t* cr, int printableWidth)
      : m_cr(cr), m_scale((kSheetWidth - 2 * kMargin) / printableWidth) {}

  double X(int x) const { return kMargin + x * m_scale; }
  double Y(int y) const { return kMargin + y * m_scale; }
  double Length(int length) const { return length * m_scale; }

  void Rect(const PageRect& r) {
    cairo_rectangle(m_cr, X(r.left), Y(r.top), Length(r.right - r.left), Length(r.bottom - r.top));
    cairo_set_source_rgb(m_cr, 1, 1, 1);
    cairo_fill_preserve(m_cr);
    cairo_set_source_rgb(m_cr, 0, 0, 0);
    cairo_set_line_width(m_cr, kRuleWidth);
    cairo_stroke(m_cr);
  }

  void Image(const PageImage& box, cairo_surface_t* logo) {
    const int w = cairo_image_surface_get_width(logo);
    const int h = cairo_image_surface_get_height(logo);
    if (w <= 0 || h <= 0 || box.width <= 0 || box.height <= 0) return;
    // The bitmap is opaque on paper: the stretched copy hides the one beneath it.
    cairo_rectangle(m_cr, X(box.x), Y(box.y), Length(box.width), Length(box.height));
    cairo_set_source_rgb(m_cr, 1, 1, 1);
    cairo_fill(m_cr);
    cairo_save(m_cr);
    cairo_translate(m_cr, X(box.x), Y(box.y));
    cairo_scale(m_cr, Length(box.width) / w, Length(box.height) / h);
    cairo_set_source_surface(m_cr, logo, 0, 0);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
  }

  // The font's height is its cell height (ascent plus descent), as a printer font's is;
  // the text's top-left corner is at (x, y).
  void Text(const PageText& t) {
    const FontSpec font = FontOf(t.font);
    const std::string family(font.family);
    cairo_select_font_face(m_cr, family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                           font.weight >= 700 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(m_cr, kMeasureSize);
    cairo_font_extents_t measured;
    cairo_font_extents(m_cr, &measured);
    const double cell = measured.ascent + measured.descent;
    if (cell <= 0) return;
    const double size = kMeasureSize * Length(font.height) / cell;
    cairo_set_font_size(m_cr, size);
    const double ascent = measured.ascent * size / kMeasureSize;

    const std::string text = ToUtf8(t.text);
    const double x = X(t.x);
    const double baseline = Y(t.y) + ascent;
    cairo_set_source_rgb(m_cr, 0, 0, 0);
    cairo_move_to(m_cr, x, baseline);
    cairo_show_text(m_cr, text.c_str());
    if (font.underline && !text.empty()) {
      cairo_text_extents_t extents;
      cairo_text_extents(m_cr, text.c_str(), &extents);
      const double thickness = size * 0.07;
      cairo_set_line_width(m_cr, thickness);
      cairo_move_to(m_cr, x, baseline + size * 0.1 + thickness / 2);
      cairo_rel_line_to(m_cr, extents.x_advance, 0);
      cairo_stroke(m_cr);
    }
  }

 private:
  static constexpr double kMeasureSize = 1000.0;
  cairo_t* m_cr;
  double m_scale;
};

link::Status IoError(const std::filesystem::path& path, const std::string& why) {
  return link::Status::Error(link::ErrorKind::Io, "Cannot write " + path.string() + ": " + why);
}

}  // namespace

// Fontconfig, which cairo asks for the text faces, keeps its configuration and pattern
// caches until the process ends; LeakSanitizer (in sanitizer builds of any program that
// writes a certificate) would report them at exit as leaks.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

link::Status WriteCertificatePdf(const CertificatePage& page, const std::filesystem::path& path) {
  if (page.printableWidth <= 0) {
    return link::Status::Error(link::ErrorKind::BadArgument, "The page has no printable width");
  }
  const std::string name = path.filename().string();
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";

  PngSource png{LogoPng()};
  Surface logo(cairo_image_surface_create_from_png_stream(ReadChunk, &png));
  if (cairo_surface_status(logo.get()) != CAIRO_STATUS_SUCCESS) {
    return IoError(path, "the logo cannot be read");
  }

  io::StagedFile file;
  if (!file.Create(folder, name)) return IoError(path, file.Error());

  PdfSink sink{&file};
  Surface surface(
      cairo_pdf_surface_create_for_stream(WriteChunk, &sink, kSheetWidth, kSheetHeight));
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE,
                                 "Calibration Certificate");
  {
    Context cr(cairo_create(surface.get()));
    PageDrawer drawer(cr.get(), page.printableWidth);
    for (const PageRect& r : page.rects) drawer.Rect(r);
    for (const PageImage& image : page.images) drawer.Image(image, logo.get());
    for (const PageText& text : page.texts) drawer.Text(text);
    cairo_show_page(cr.get());
  }
  cairo_surface_finish(surface.get());
  const cairo_status_t status = cairo_surface_status(surface.get());
  surface.reset();

  if (sink.failed) return IoError(path, file.Error());
  if (status != CAIRO_STATUS_SUCCESS) {
    file.Discard();
    return IoError(path, cairo_status_to_string(status));
  }
  if (!file.Commit()) return IoError(path, file.Error());
  return link::Status::Ok();
}

}  // namespace ql::report
