#include "report/certificate_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "tests/report/certificate_samples.h"

namespace ql::report {
namespace {

std::optional<PageText> TextAt(const CertificatePage& page, int x, int y) {
  for (const PageText& t : page.texts) {
    if (t.x == x && t.y == y) return t;
  }
  return std::nullopt;
}

std::string TextAtOrNone(const CertificatePage& page, int x, int y) {
  const auto t = TextAt(page, x, y);
  return t ? t->text : "<none>";
}

bool HasText(const CertificatePage& page, std::string_view text) {
  return std::any_of(page.texts.begin(), page.texts.end(),
                     [text](const PageText& t) { return t.text == text; });
}

// --- Header, signatures, logo ----------------------------------------------------

struct HeaderCase {
  const char* name;
  int x;
  int y;
  const char* text;
  PageFont font;
};
void PrintTo(const HeaderCase& c, std::ostream* os) {
  *os << c.name;
}
class CertificatePageHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(CertificatePageHeader, TextAtItsPositionInItsFont) {
  const HeaderCase& c = GetParam();
  const CertificatePage page =
      BuildCertificatePage(test::FourGasCertificate(), {"Ann Lee 2", ""}, true, 4800);
  const auto t = TextAt(page, c.x, c.y);
  ASSERT_TRUE(t.has_value()) << "nothing at " << c.x << "," << c.y;
  EXPECT_EQ(t->text, c.text);
  EXPECT_EQ(t->font, c.font);
}

INSTANTIATE_TEST_SUITE_P(
    Page, CertificatePageHeader,
    testing::Values(
        HeaderCase{"TitleAtCentreLess900", 1500, 500, "Calibration Certificate", PageFont::Title},
        HeaderCase{"DateAtCentrePlus500", 2900, 1000, "Calibration Date : 05-03-2016",
                   PageFont::Body},
        HeaderCase{"Product", 500, 1750, "1. Product Name : Merovane RVX", PageFont::Body},
        HeaderCase{"Serial", 500, 1950, "2. Serial Number : RVX310402", PageFont::Body},
        HeaderCase{"Lot", 500, 2150, "3. GAS Lot# : 4711", PageFont::Body},
        HeaderCase{"Result", 500, 2350, "4. Result : Pass", PageFont::Body},
        HeaderCase{"CalibratedBy", 750, 4250, "Calibrated by : Ann Lee 2", PageFont::Signature},
        HeaderCase{"EmptyApprovedByLabelAlone", 2500, 4250, "Approved by : ", PageFont::Signature}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CertificatePage, CentredTextsFollowThePrintableWidth) {
  const CertificatePage page = BuildCertificatePage(test::FourGasCertificate(), {}, true, 4961);
  EXPECT_EQ(page.printableWidth, 4961);
  EXPECT_EQ(TextAtOrNone(page, 2480 - 900, 500), "Calibration Certificate");
  EXPECT_EQ(TextAtOrNone(page, 2480 + 500, 1000), "Calibration Date : 05-03-2016");
  EXPECT_EQ(TextAtOrNone(page, 2480 + 100, 5000), kFooterLines[0]);
}

TEST(CertificatePage, FontsAsPrinted) {
  EXPECT_EQ(FontOf(PageFont::Title).height, 200);
  EXPECT_EQ(FontOf(PageFont::Title).weight, 900);
  EXPECT_TRUE(FontOf(PageFont::Title).underline);
  EXPECT_EQ(FontOf(PageFont::Body).height, 100);
  EXPECT_FALSE(FontOf(PageFont::Body).underline);
  EXPECT_EQ(FontOf(PageFont::Signature).weight, 700);
  EXPECT_TRUE(FontOf(PageFont::Signature).underline);
  EXPECT_EQ(FontOf(PageFont::Footer).height, 80);
}

TEST(CertificatePage, FooterOnlyWhenAsked) {
  const auto record = test::FourGasCertificate();
  const CertificatePage with = BuildCertificatePage(record, {}, true);
  const CertificatePage without = BuildCertificatePage(record, {}, false);
  const int ys[] = {5000, 5100, 5300, 5400};
  for (std::size_t i = 0; i < 4; ++i) {
    const auto t = TextAt(with, 2500, ys[i]);
    ASSERT_TRUE(t.has_value()) << ys[i];
    EXPECT_EQ(t->text, kFooterLines[i]);
    EXPECT_EQ(t->font, PageFont::Footer);
    EXPECT_FALSE(TextAt(without, 2500, ys[i]).has_value());
    EXPECT_FALSE(kFooterLines[i].empty());
  }
  EXPECT_FALSE(TextAt(with, 2500, 5200).has_value());
  EXPECT_EQ(with.texts.size(), without.texts.size() + 4);
  // The logo is printed either way: own size, then stretched over it.
  for (const CertificatePage* page : {&with, &without}) {
    ASSERT_EQ(page->images.size(), 2u);
    EXPECT_EQ(page->images[0].x, 600);
    EXPECT_EQ(page->images[0].y, 5000);
    EXPECT_EQ(page->images[0].width, 320);
    EXPECT_EQ(page->images[0].height, 68);
    EXPECT_EQ(page->images[1].x, 600);
    EXPECT_EQ(page->images[1].y, 5000);
    EXPECT_EQ(page->images[1].width, 1440);
    EXPECT_EQ(page->images[1].height, 544);
  }
}

// --- The table -------------------------------------------------------------------

TEST(CertificatePageTable, FourGasGridAndCells) {
  auto record = test::FourGasCertificate();
  record.gasFlags = {1, 0, 1, 1};  // O2 without values
  const CertificatePage page = BuildCertificatePage(record, {}, false);
  // 7 rows x 5 columns spanning x 500-4250, y 2600-4000.
  ASSERT_EQ(page.rects.size(), 35u);
  int left = 1 << 30, top = 1 << 30, right = 0, bottom = 0;
  for (const PageRect& r : page.rects) {
    EXPECT_EQ(r.right - r.left, 750);
    EXPECT_EQ(r.bottom - r.top, 200);
    left = std::min(left, r.left);
    top = std::min(top, r.top);
    right = std::max(right, r.right);
    bottom = std::max(bottom, r.bottom);
  }
  EXPECT_EQ(left, 500);
  EXPECT_EQ(top, 2600);
  EXPECT_EQ(right, 4250);
  EXPECT_EQ(bottom, 4000);

  EXPECT_EQ(TextAtOrNone(page, 1300, 2650), "O2(%)");
  EXPECT_EQ(TextAtOrNone(page, 2050, 2650), "CO(ppm)");
  EXPECT_EQ(TextAtOrNone(page, 2800, 2650), "H2S(ppm)");
  EXPECT_EQ(TextAtOrNone(page, 3550, 2650), "LEL(%)");
  EXPECT_EQ(TextAtOrNone(page, 550, 2850), "Cal Conc");
  EXPECT_EQ(TextAtOrNone(page, 550, 3850), "TWA Alarm");
  for (int y : {2850, 3050, 3250, 3450}) EXPECT_EQ(TextAtOrNone(page, 1300, y), "-") << y;
  // Nothing in rows 5 and 6 of O2 and LEL.
  for (int x : {1300, 3550}) {
    for (int y : {3650, 3850}) EXPECT_FALSE(TextAt(page, x, y).has_value()) << x << "," << y;
  }
  EXPECT_EQ(TextAtOrNone(page, 2050, 2850), "100");  // CO 1005, four-gas
  EXPECT_EQ(TextAtOrNone(page, 2800, 3650), "5.0");  // H2S STEL
  EXPECT_EQ(TextAtOrNone(page, 3550, 3450), "20");   // LEL high alarm
  EXPECT_EQ(TextAtOrNone(page, 2050, 3850), "25");   // CO TWA
}

TEST(CertificatePageTable, SingleGasGridAndCells) {
  const CertificatePage page =
      BuildCertificatePage(test::SingleGasCoCertificate(), {}, false, 4800);
  ASSERT_EQ(page.rects.size(), 10u);
  EXPECT_EQ(page.rects.back().right, 2000);
  EXPECT_EQ(page.rects.back().bottom, 3600);
  EXPECT_EQ(TextAtOrNone(page, 1300, 2650), "CO(ppm)");
  EXPECT_EQ(TextAtOrNone(page, 1300, 2850), "100");
  EXPECT_EQ(TextAtOrNone(page, 1300, 3450), "200");
  EXPECT_EQ(TextAtOrNone(page, 550, 3450), "High Alarm");
  EXPECT_TRUE(HasText(page, "1. Product Name : Merovane TKL+"));
  EXPECT_TRUE(HasText(page, "4. Result : Fail"));
  EXPECT_FALSE(HasText(page, "STEL Alarm"));
}

TEST(CertificatePageTable, UnknownGasTypeOnlyOutlinesAndRowLabels) {
  auto record = test::SingleGasCoCertificate();
  record.gasType = 7;
  const CertificatePage page = BuildCertificatePage(record, {}, false);
  EXPECT_EQ(page.rects.size(), 10u);
  for (int y : {2650, 2850, 3050, 3250, 3450}) EXPECT_FALSE(TextAt(page, 1300, y).has_value());
  EXPECT_EQ(TextAtOrNone(page, 550, 2850), "Cal Conc");
  // No empty texts anywhere on the page.
  for (const PageText& t : page.texts) EXPECT_FALSE(t.text.empty());
}

}  // namespace
}  // namespace ql::report
