// The certs group: the station's certificate list, and one certificate loaded through the
// engine's operations that the certificate page's buttons use and written as the printed
// page in a PDF file.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "records/certificate_view.h"
#include "report/certificate_page.h"
#include "report/certificate_pdf.h"
#include "tools/cli/commands.h"
#include "tools/cli/station_session.h"

namespace ql::cli {
namespace {

struct GetOptions {
  std::string name;
  std::string pdf;
  std::string calibratedBy;
  std::string approvedBy;
  bool noAddress = false;
};

// Fetches the station's certificate list; Ok with the rows in the session's
// ui.certificateRows.
ExitCode FetchCertificateList(StationSession& session) {
  const engine::RequestEnd end = session.Run(protocol::cmd::kCertificateList,
                                             [&] { session.Engine().RefreshCertificateList(); });
  return ExitCodeOf(end);
}

ExitCode List(const CommandContext& ctx) {
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  if (const ExitCode c = FetchCertificateList(session); c != ExitCode::Ok) return c;
  for (const std::string& row : session.Ui().certificateRows) ctx.out << row << "\n";
  return ExitCode::Ok;
}

// A signature name as the page's input keeps it; says so when that changed the text.
std::string SignatureName(const CommandContext& ctx, std::string_view option,
                          const std::string& text) {
  std::string kept = records::CleanSignatureName(text);
  if (kept != text) {
    ctx.err << "quaylink-cli: " << option << " keeps letters, digits and spaces, at most "
            << records::kSignatureNameMax << " characters: printed as \"" << kept << "\"\n";
  }
  return kept;
}

ExitCode Get(const CommandContext& ctx, const GetOptions& options) {
  const std::filesystem::path pdf = options.pdf;
  std::error_code ec;
  const std::filesystem::path folder = pdf.parent_path().empty() ? "." : pdf.parent_path();
  if (pdf.filename().empty() || !std::filesystem::is_directory(folder, ec)) {
    ctx.err << "quaylink-cli: cannot write " << pdf.string() << ": no such folder\n";
    return ExitCode::UsageOrFile;
  }
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  const report::CertificateSignatures signatures{
      SignatureName(ctx, "--calibrated-by", options.calibratedBy),
      SignatureName(ctx, "--approved-by", options.approvedBy)};

  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  if (const ExitCode c = FetchCertificateList(session); c != ExitCode::Ok) return c;
  const auto& rows = session.Ui().certificateRows;
  // Only names the station lists can be asked for, as only listed rows can be checked.
  if (std::find(rows.begin(), rows.end(), options.name) == rows.end()) {
    ctx.err << "quaylink-cli: " << options.name << " is not in the station's certificate list\n";
    return ExitCode::Refused;
  }
  // A certificate without data (gas type 0) ends refused, its message already shown.
  const engine::RequestEnd end = session.Run(
      protocol::cmd::kCertificateData, [&] { session.Engine().LoadCertificate(options.name); });
  if (const ExitCode c = ExitCodeOf(end); c != ExitCode::Ok) return c;

  const report::CertificatePage page =
      report::BuildCertificatePage(session.Engine().Certificate(), signatures, !options.noAddress);
  if (const link::Status status = report::WriteCertificatePdf(page, pdf); !status.ok()) {
    ctx.err << "quaylink-cli: " << status.message << "\n";
    return ExitCode::UsageOrFile;
  }
  ctx.out << pdf.string() << "\n";
  return ExitCode::Ok;
}

}  // namespace

void AddCertsCommands(CLI::App& group, CommandContext& ctx) {
  group
      .add_subcommand("list",
                      "Print the names of the station's certificates, one per line, in list "
                      "order (needs --port).")
      ->callback([&ctx] { ctx.result = List(ctx); });

  const auto get = std::make_shared<GetOptions>();
  CLI::App* getCommand = group.add_subcommand(
      "get", "Load the named certificate and write its printed page as a PDF (needs --port).");
  getCommand->add_option("name", get->name, "Certificate name as the station lists it")
      ->required()
      ->type_name("NAME");
  getCommand->add_option("--pdf", get->pdf, "The PDF file to write")->required()->type_name("OUT");
  getCommand
      ->add_option("--calibrated-by", get->calibratedBy,
                   "Name printed after \"Calibrated by :\" (letters, digits, spaces; at most 20)")
      ->type_name("TEXT");
  getCommand
      ->add_option("--approved-by", get->approvedBy,
                   "Name printed after \"Approved by :\" (letters, digits, spaces; at most 20)")
      ->type_name("TEXT");
  getCommand->add_flag("--no-address", get->noAddress, "Leave out the maker's address footer");
  getCommand->callback([&ctx, get] { ctx.result = Get(ctx, *get); });
}

}  // namespace ql::cli
