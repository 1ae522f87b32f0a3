// The certificate PDF read back with pdftotext: every text of the page description at its
// scaled position, each table row on one line, and nothing left behind by a failed write.

#include "report/certificate_pdf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "records/certificate_view.h"
#include "tests/report/certificate_samples.h"

namespace ql::report {
namespace {

namespace fs = std::filesystem;

// Printer pixels to PDF points: 4800 pixels fill 576 points after an 18-point margin.
constexpr double kScale = 576.0 / 4800.0;
constexpr double kMargin = 18.0;
constexpr double kTolerance = 2.5;  // points

struct Word {
  double xMin = 0;
  double yMin = 0;
  std::string text;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CertificatePdf : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quaylink-pdf-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  // pdftotext's output for `pdf` with `option` ("-bbox" or "-layout").
  std::string PdfToText(const fs::path& pdf, const std::string& option) {
    const fs::path out = m_dir / ("text" + option);
    const std::string command = std::string(QUAYLINK_PDFTOTEXT) + " " + option + " '" +
                                pdf.string() + "' '" + out.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadFile(out);
  }

  // The words of pdftotext -bbox: <word xMin="..." yMin="..." xMax=... yMax=...>text</word>
  std::vector<Word> Words(const fs::path& pdf) {
    const std::string html = PdfToText(pdf, "-bbox");
    const auto attribute = [&html](std::size_t from, std::string_view name) {
      const std::size_t at = html.find(std::string(name) + "=\"", from);
      return at == std::string::npos ? -1.0 : std::stod(html.substr(at + name.size() + 2));
    };
    std::vector<Word> words;
    for (std::size_t at = html.find("<word "); at != std::string::npos;
         at = html.find("<word ", at + 1)) {
      const std::size_t open = html.find('>', at);
      const std::size_t close = html.find("</word>", at);
      if (open == std::string::npos || close == std::string::npos) break;
      words.push_back(
          {attribute(at, "xMin"), attribute(at, "yMin"), html.substr(open + 1, close - open - 1)});
    }
    return words;
  }

  std::vector<std::string> Lines(const fs::path& pdf) {
    std::istringstream in(PdfToText(pdf, "-layout"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_dir)) names.push_back(e.path().filename());
    return names;
  }

  fs::path m_dir;
};

std::vector<std::string> Tokens(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

std::string Escaped(std::string text) {
  // pdftotext writes the text of -bbox words as HTML.
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

struct PdfCase {
  const char* name;
  records::CertificateRecord record;
  bool footer;
};
void PrintTo(const PdfCase& c, std::ostream* os) {
  *os << c.name;
}
class CertificatePdfPages : public CertificatePdf, public testing::WithParamInterface<PdfCase> {};

TEST_P(CertificatePdfPages, EveryTextAtItsScaledPosition) {
  const PdfCase& c = GetParam();
  const CertificatePage page = BuildCertificatePage(c.record, {"Ann Lee", "Bo Kim 7"}, c.footer);
  const fs::path pdf = m_dir / "certificate.pdf";
  const link::Status status = WriteCertificatePdf(page, pdf);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(Files(), std::vector<std::string>{"certificate.pdf"});

  const std::string bbox = PdfToText(pdf, "-bbox");
  EXPECT_NE(bbox.find(R"(<page width="612.000000" height="792.000000">)"), std::string::npos);

  const std::vector<Word> words = Words(pdf);
  for (const PageText& t : page.texts) {
    const std::string first = Escaped(Tokens(t.text).front());
    const double x = kMargin + t.x * kScale;
    const double y = kMargin + t.y * kScale;
    const bool found = std::any_of(words.begin(), words.end(), [&](const Word& w) {
      return w.text == first && std::abs(w.xMin - x) < kTolerance &&
             std::abs(w.yMin - y) < kTolerance;
    });
    EXPECT_TRUE(found) << "\"" << t.text << "\" not at " << x << "," << y;
  }
  // Nothing but the footer is printed below the signatures.
  const double footerTop = kMargin + 4900 * kScale;
  const auto below =
      std::count_if(words.begin(), words.end(), [&](const Word& w) { return w.yMin > footerTop; });
  if (c.footer) {
    EXPECT_GE(below, 4);
  } else {
    EXPECT_EQ(below, 0);
  }
}

TEST_P(CertificatePdfPages, EachTableRowOnOneLine) {
  const PdfCase& c = GetParam();
  const fs::path pdf = m_dir / "certificate.pdf";
  ASSERT_TRUE(WriteCertificatePdf(BuildCertificatePage(c.record, {}, c.footer), pdf).ok());
  const std::vector<std::string> lines = Lines(pdf);
  const records::CertificateTable table = records::PrintedCertificateTable(c.record);

  std::vector<std::vector<std::string>> expected;
  std::vector<std::string> titles;
  for (const auto& col : table.columns) {
    if (!col.title.empty()) titles.push_back(col.title);
  }
  expected.push_back(titles);
  for (const auto& row : table.rows) {
    std::vector<std::string> tokens;
    for (const auto& cell : row) {
      for (auto& t : Tokens(cell)) tokens.push_back(t);
    }
    expected.push_back(tokens);
  }
  for (const auto& tokens : expected) {
    const bool found = std::any_of(lines.begin(), lines.end(),
                                   [&](const std::string& l) { return Tokens(l) == tokens; });
    std::string joined;
    for (const auto& t : tokens) joined += t + " ";
    EXPECT_TRUE(found) << "no line reads: " << joined;
  }
}

records::CertificateRecord FourGasWithoutO2() {
  auto r = test::FourGasCertificate();
  r.gasFlags = {1, 0, 1, 1};
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Pdf, CertificatePdfPages,
    testing::Values(PdfCase{"FourGasWithFooter", test::FourGasCertificate(), true},
                    PdfCase{"FourGasWithoutO2NoFooter", FourGasWithoutO2(), false},
                    PdfCase{"SingleGasWithFooter", test::SingleGasCoCertificate(), true},
                    PdfCase{"SingleGasNoFooter", test::SingleGasCoCertificate(), false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CertificatePdf, LatinOneAndControlCharactersPrintReadably) {
  auto record = test::FourGasCertificate();
  record.serialNumber = std::string(
      "A\x01"
      "B\xC9");
  const fs::path pdf = m_dir / "c.pdf";
  ASSERT_TRUE(WriteCertificatePdf(BuildCertificatePage(record, {"\xC9lise", ""}, false), pdf).ok());
  const std::string text = PdfToText(pdf, "-layout");
  EXPECT_NE(text.find("A?B\xC3\x89"), std::string::npos) << text;
  EXPECT_NE(text.find("Calibrated by : \xC3\x89lise"), std::string::npos) << text;
}

TEST_F(CertificatePdf, ReplacesAnOlderFileWhole) {
  const fs::path pdf = m_dir / "c.pdf";
  std::ofstream(pdf) << "old";
  ASSERT_TRUE(
      WriteCertificatePdf(BuildCertificatePage(test::FourGasCertificate(), {}, true), pdf).ok());
  EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-");
  EXPECT_EQ(Files(), std::vector<std::string>{"c.pdf"});
}

TEST_F(CertificatePdf, UnwritableTargetsLeaveNoFile) {
  const CertificatePage page = BuildCertificatePage(test::FourGasCertificate(), {}, true);
  fs::create_directory(m_dir / "taken.pdf");
  const fs::path targets[] = {
      m_dir / "missing" / "c.pdf",  // no such folder
      m_dir / "taken.pdf",          // a folder stands under the name
      m_dir / "",                   // no file name at all
  };
  for (const fs::path& target : targets) {
    SCOPED_TRACE(target.string());
    const link::Status status = WriteCertificatePdf(page, target);
    EXPECT_EQ(status.kind, link::ErrorKind::Io);
    EXPECT_FALSE(status.message.empty());
    EXPECT_EQ(Files(), std::vector<std::string>{"taken.pdf"});
    EXPECT_TRUE(fs::is_empty(m_dir / "taken.pdf"));
  }
}

}  // namespace
}  // namespace ql::report
