// quaylink-cli's certs commands against the station emulator: the list, a certificate
// written as a PDF whose text is read back with pdftotext, and the refusals.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "records/certificate.h"
#include "tests/e2e/files.h"
#include "tests/e2e/process.h"

namespace ql {
namespace {

namespace fs = std::filesystem;
using testsupport::Background;
using testsupport::Names;
using testsupport::RunProgram;

class CliCerts : public testing::Test {
 protected:
  void SetUp() override {
    m_dir =
        fs::temp_directory_path() / ("ql-e2e-certs-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "runtime");
    fs::create_directories(m_dir / "out");
    ::setenv("XDG_RUNTIME_DIR", (m_dir / "runtime").c_str(), 1);
  }
  void TearDown() override {
    m_station.reset();
    fs::remove_all(m_dir);
  }

  // A station with its sample certificates, or with the given certificate files only.
  void StartStation(
      const std::vector<std::pair<std::string, records::CertificateRecord>>& certs = {}) {
    if (!certs.empty()) {
      fs::create_directories(m_dir / "state" / "certs");
      for (const auto& [name, record] : certs) {
        const auto bytes = record.Bytes();
        testsupport::WriteBytes(m_dir / "state" / "certs" / name,
                                testsupport::Bytes(bytes.begin(), bytes.end()));
      }
    }
    m_station = std::make_unique<Background>(std::vector<std::string>{
        QUAYLINK_STATION, "--type", "2", "--state", (m_dir / "state").string()});
    m_device = m_station->FirstLine();
    ASSERT_FALSE(m_device.empty());
  }

  testsupport::RunResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {QUAYLINK_CLI, "--port", m_device});
    return RunProgram(std::move(args));
  }

  std::string PdfText(const fs::path& pdf) {
    const fs::path out = m_dir / "text.txt";
    const std::string command =
        std::string(QUAYLINK_PDFTOTEXT) + " -layout '" + pdf.string() + "' '" + out.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path m_dir;
  std::string m_device;
  std::unique_ptr<Background> m_station;
};

TEST_F(CliCerts, ListGivesTheStationsNamesInOrder) {
  StartStation();
  const auto r = Cli({"certs", "list"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "RVX310402.CRT\nTKL120077.CRT\n");
}

struct GetCase {
  const char* name;
  const char* certificate;
  std::vector<std::string> options;
  std::vector<std::string> present;
  std::vector<std::string> absent;
};

TEST_F(CliCerts, GetWritesThePrintedPage) {
  const GetCase cases[] = {
      {"FourGasWithFooter",
       "RVX310402.CRT",
       {"--calibrated-by", "Ann Lee", "--approved-by", "B.o-b 7"},
       {"Calibration Date : 28-11-2026", "1. Product Name : Merovane RVX",
        "2. Serial Number : RVX310402", "3. GAS Lot# : 240517", "4. Result : Pass",
        "Calibrated by : Ann Lee", "Approved by : Bob 7", "Merovane Gas Detection"},
       {"B.o-b"}},
      {"SingleGasWithoutFooter",
       "TKL120077.CRT",
       {"--no-address"},
       {"1. Product Name : Merovane TKL", "2. Serial Number : TKL120077", "H2S(ppm)"},
       {"Merovane Gas Detection", "CO(ppm)", "STEL Alarm"}},
  };
  StartStation();
  for (const GetCase& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path pdf = m_dir / "out" / (std::string(c.name) + ".pdf");
    std::vector<std::string> args = {"certs", "get", c.certificate, "--pdf", pdf.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto r = Cli(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, pdf.string() + "\n");
    const std::string text = PdfText(pdf);
    for (const std::string& s : c.present) EXPECT_NE(text.find(s), std::string::npos) << s;
    for (const std::string& s : c.absent) EXPECT_EQ(text.find(s), std::string::npos) << s;
  }
  EXPECT_EQ(Names(m_dir / "out"),
            (std::set<std::string>{"FourGasWithFooter.pdf", "SingleGasWithoutFooter.pdf"}));
}

TEST_F(CliCerts, RefusedCertificatesWriteNothing) {
  records::CertificateRecord fourGas;
  fourGas.gasType = records::kCertificateFourGas;
  fourGas.productCode = "RVX";
  StartStation({{"A.CRT", fourGas}, {"EMPTY.CRT", records::CertificateRecord{}}});
  const fs::path pdf = m_dir / "out" / "c.pdf";

  const auto unknown = Cli({"certs", "get", "B.CRT", "--pdf", pdf.string()});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.err.find("B.CRT is not in the station's certificate list"), std::string::npos)
      << unknown.err;

  const auto empty = Cli({"certs", "get", "EMPTY.CRT", "--pdf", pdf.string()});
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_NE(empty.err.find("Gas Type Mismatch"), std::string::npos) << empty.err;
  EXPECT_TRUE(Names(m_dir / "out").empty());
}

TEST_F(CliCerts, UnwritablePdfExitsTwoAndLeavesNoFile) {
  StartStation();
  fs::create_directory(m_dir / "out" / "taken.pdf");
  const fs::path targets[] = {m_dir / "out" / "missing" / "c.pdf", m_dir / "out" / "taken.pdf"};
  for (const fs::path& target : targets) {
    SCOPED_TRACE(target.string());
    const auto r = Cli({"certs", "get", "RVX310402.CRT", "--pdf", target.string()});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find(target.string()), std::string::npos) << r.err;
    EXPECT_EQ(Names(m_dir / "out"), std::set<std::string>{"taken.pdf"});
    EXPECT_TRUE(fs::is_empty(m_dir / "out" / "taken.pdf"));
  }
}

}  // namespace
}  // namespace ql
