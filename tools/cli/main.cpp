// quaylink-cli: parses the global options and hands the rest of the command line to the
// command group named by its first word.

#include <array>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli/commands.h"

namespace {

using ql::cli::CommandArgs;
using ql::cli::CommandContext;
using ql::cli::ExitCode;

struct CommandGroup {
  std::string_view name;
  ExitCode (*run)(const CommandContext&, CommandArgs);
  std::string_view usage;
};

// One row per group; connection groups are added here.
constexpr std::array kGroups = {
    CommandGroup{"firmware", ql::cli::RunFirmwareCommands, ql::cli::kFirmwareUsage},
    CommandGroup{"ports", ql::cli::RunPortsCommand, ql::cli::kLinkUsage},
    CommandGroup{"info", ql::cli::RunInfoCommand, ""},
    CommandGroup{"read", ql::cli::RunReadCommand, ""},
    CommandGroup{"write", ql::cli::RunWriteCommand, ""},
    CommandGroup{"logs", ql::cli::RunLogsCommands, ql::cli::kLogsUsage},
};

void PrintUsage(std::ostream& os) {
  os << ql::cli::kUsageHead;
  for (const auto& group : kGroups) os << group.usage;
}

int Run(CommandArgs args) {
  ql::cli::GlobalOptions options;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string_view word = args[i];
    if (word == "--help" || word == "-h") {
      PrintUsage(std::cout);
      return static_cast<int>(ExitCode::Ok);
    }
    if (word == "--port") {
      if (i + 1 >= args.size()) {
        std::cerr << "quaylink-cli: --port needs a device\n";
        return static_cast<int>(ExitCode::UsageOrFile);
      }
      options.port = std::string(args[++i]);
      continue;
    }
    if (word.size() > 1 && word.front() == '-') {
      std::cerr << "quaylink-cli: unknown option " << word << "\n";
      PrintUsage(std::cerr);
      return static_cast<int>(ExitCode::UsageOrFile);
    }
    break;
  }
  if (i == args.size()) {
    PrintUsage(std::cerr);
    return static_cast<int>(ExitCode::UsageOrFile);
  }
  for (const auto& group : kGroups) {
    if (group.name == args[i]) {
      const CommandContext ctx{options, std::cout, std::cerr};
      return static_cast<int>(group.run(ctx, args.subspan(i + 1)));
    }
  }
  std::cerr << "quaylink-cli: unknown command group \"" << args[i] << "\"\n";
  PrintUsage(std::cerr);
  return static_cast<int>(ExitCode::UsageOrFile);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  const int code = Run(args);
  std::cout.flush();
  return code;
}
