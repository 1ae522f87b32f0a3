// The logs group: the station's log list and the download of log files, through the
// engine's operations that the log page's buttons use.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tools/cli/commands.h"
#include "tools/cli/station_session.h"

namespace ql::cli {
namespace {

using engine::RequestOutcome;

// Fetches the station's log list; Ok with the rows in the session's ui.logRows.
ExitCode FetchLogList(StationSession& session) {
  const engine::RequestEnd end =
      session.Run(protocol::cmd::kLogList, [&] { session.Engine().RefreshLogList(); });
  return ExitCodeOf(end);
}

ExitCode List(const CommandContext& ctx) {
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  if (const ExitCode c = FetchLogList(session); c != ExitCode::Ok) return c;
  for (const std::string& row : session.Ui().logRows) ctx.out << row << "\n";
  return ExitCode::Ok;
}

ExitCode Get(const CommandContext& ctx, const std::filesystem::path& dir,
             const std::vector<std::string>& names) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    ctx.err << "quaylink-cli: " << dir.string() << " is not a folder\n";
    return ExitCode::UsageOrFile;
  }
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;

  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  if (const ExitCode c = FetchLogList(session); c != ExitCode::Ok) return c;
  auto& ui = session.Ui();
  // Only names the station lists can be asked for, as only listed rows can be checked.
  const std::set<std::string> listed(ui.logRows.begin(), ui.logRows.end());
  for (const std::string& name : names) {
    if (!listed.count(name)) {
      ctx.err << "quaylink-cli: " << name << " is not in the station's log list\n";
      return ExitCode::Refused;
    }
  }
  const engine::RequestEnd end = session.Run(
      protocol::cmd::kLogFile, [&] { session.Engine().SaveLogs(names, dir); },
      StationSession::kTransferLimit);
  if (end.outcome == RequestOutcome::Done) {
    for (const std::string& name : names) ctx.out << (dir / name).string() << "\n";
    return ExitCode::Ok;
  }
  SayTransferFailure(ui, end);
  return ExitCodeOf(end);
}

}  // namespace

void AddLogsCommands(CLI::App& group, CommandContext& ctx) {
  group
      .add_subcommand("list",
                      "Print the names of the station's log files, one per line, in list order "
                      "(needs --port).")
      ->callback([&ctx] { ctx.result = List(ctx); });

  struct Words {
    std::string dir;
    std::vector<std::string> names;
  };
  const auto get = std::make_shared<Words>();
  CLI::App* getCommand =
      group.add_subcommand("get", "Save the named log files into the folder DIR (needs --port).");
  getCommand->add_option("--dir", get->dir, "The folder to save into")
      ->required()
      ->type_name("DIR");
  getCommand->add_option("names", get->names, "Log file names as the station lists them")
      ->required()
      ->type_name("NAME");
  getCommand->callback([&ctx, get] { ctx.result = Get(ctx, get->dir, get->names); });
}

}  // namespace ql::cli
