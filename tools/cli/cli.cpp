// The whole command line: the global options, one subcommand per command, and how a
// usage error is reported.

#include <CLI/CLI.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cli/commands.h"

#ifndef QUAYLINK_VERSION
#error "QUAYLINK_VERSION must give the project version"
#endif

namespace ql::cli {

ExitCode RunCommandLine(CommandArgs args, std::ostream& out, std::ostream& err) {
  GlobalOptions options;
  CommandContext ctx{options, out, err};

  CLI::App app{"Configures and services gas-detector docking stations from scripts.",
               "quaylink-cli"};
  app.set_version_flag("--version", "quaylink-cli " QUAYLINK_VERSION);
  // The port may also follow the command.
  app.fallthrough();
  app.add_option("--port", options.port, "The station's serial device (see: quaylink-cli ports)")
      ->type_name("DEV");
  app.add_flag("--monitor", options.monitor,
               "Write every frame sent ([TX]) and received ([RX]) to stderr in hexadecimal");

  AddFirmwareCommands(*app.add_subcommand("firmware", "Check, build and send firmware files."),
                      ctx);
  AddLinkCommands(app, ctx);
  AddLogsCommands(*app.add_subcommand("logs", "List and save the station's log files."), ctx);
  AddCertsCommands(
      *app.add_subcommand("certs", "List the station's certificates and write them as PDF."), ctx);
  AddClockCommands(*app.add_subcommand("clock", "Read and set the station's clock."), ctx);
  AddRecordsCommands(
      *app.add_subcommand("records", "Show, compare and set records as labelled fields."), ctx);
  // After the commands, which would take it over otherwise.
  app.footer(std::string(kUsageHead) + std::string(kFirmwareUsage) + std::string(kLinkUsage) +
             std::string(kLogsUsage) + std::string(kCertsUsage) + std::string(kClockUsage) +
             std::string(kRecordsUsage));

  const auto usageError = [&](std::string_view problem) {
    err << "quaylink-cli: " << problem << "\n"
        << kUsageHead << kFirmwareUsage << kLinkUsage << kLogsUsage << kCertsUsage << kClockUsage
        << kRecordsUsage;
    return ExitCode::UsageOrFile;
  };
  std::vector<std::string> words(args.rbegin(), args.rend());  // CLI11 takes them reversed
  try {
    app.parse(words);
  } catch (const CLI::ParseError& e) {
    std::ostringstream ignored;
    if (app.exit(e, out, ignored) == 0) return ExitCode::Ok;  // --help, --version
    return usageError(e.what());
  }
  // Checked here rather than by the parser, which would report a missing command before
  // an unknown option that stands in its way.
  if (app.get_subcommands().empty()) return usageError("a command is missing");
  const auto any = [](const CLI::App*) { return true; };
  for (const CLI::App* group : app.get_subcommands()) {
    if (group->get_subcommands().empty() && !group->get_subcommands(any).empty()) {
      return usageError(group->get_name() + " needs a command");
    }
  }
  return ctx.result;
}

}  // namespace ql::cli
