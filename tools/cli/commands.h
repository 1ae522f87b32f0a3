#pragma once
// quaylink-cli: one CLI11 subcommand per command, grouped by the first word.
//
// main.cpp builds the application with the global options and lets each group add its
// subcommands; each group lives in its own cmd_<group>.cpp. A command's callback stores
// its ExitCode in the CommandContext. Adding a group: declare its Add function here,
// implement it in a new file, and call it from BuildCommandLine (cli.cpp).
// Output: results on `out` (stdout), messages on `err` (stderr).

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "rules/record_type.h"

namespace CLI {
class App;
}

namespace ql::cli {

// Exit codes shared by every command.
enum class ExitCode : int {
  Ok = 0,
  Refused = 1,      // the input was read but refused (not a valid container, value out of range)
  UsageOrFile = 2,  // bad command line, or a file that cannot be read or written
  NoAnswer = 3,     // the station did not answer (connection commands)
};

// Options that come before the group name and apply to every group.
struct GlobalOptions {
  std::string port;      // --port DEV: the serial device of the connection commands
  bool monitor = false;  // --monitor: every frame sent and received, as lines on stderr
};

// What a command works with. The references must outlive the parse that runs the command.
struct CommandContext {
  const GlobalOptions& options;
  std::ostream& out;
  std::ostream& err;
  ExitCode result = ExitCode::Ok;  // set by the command that ran
};

// The words after the program name (or after the group name, for a group run alone).
using CommandArgs = std::span<const std::string_view>;

// The groups. Each adds its subcommands (with their options and help) to `group`: the
// group's own subcommand of the application, or the application itself when the group
// runs alone. The caller reports a group given without one of its commands.
//   ports | info | read docking|detector --out FILE | write docking|detector FILE
void AddLinkCommands(CLI::App& app, CommandContext& ctx);
//   firmware verify|pack|upload
void AddFirmwareCommands(CLI::App& group, CommandContext& ctx);
//   logs list | logs get --dir DIR NAME...
void AddLogsCommands(CLI::App& group, CommandContext& ctx);
//   certs list | certs get NAME --pdf OUT [--calibrated-by TEXT] [--approved-by TEXT]
//   [--no-address]
void AddCertsCommands(CLI::App& group, CommandContext& ctx);
//   clock read | clock set "YYYY-MM-DD HH:MM:SS"|now
void AddClockCommands(CLI::App& group, CommandContext& ctx);
//   records show FILE|docking|detector [--type T] [--json] | records diff A|docking|detector B
//   | records set FILE Label=value... [--out NEW]
void AddRecordsCommands(CLI::App& group, CommandContext& ctx);

// Parses and runs a whole command line: usage errors name the bad argument and give 2;
// --help (also after any command) and --version print to `out` and give 0.
ExitCode RunCommandLine(CommandArgs args, std::ostream& out, std::ostream& err);
// The firmware group alone: `args` are the words after "firmware".
ExitCode RunFirmwareCommands(CommandContext ctx, CommandArgs args);

// Usage lines of each group, printed after a usage error and at the end of --help.
inline constexpr std::string_view kFirmwareUsage =
    "  firmware verify --family docking|tkl|rvx FILE\n"
    "      Check a firmware file; print its version label (or the failure label).\n"
    "  firmware pack --family docking|tkl|rvx --tag TEXT BARE OUT\n"
    "      Build a firmware file from the bare image BARE; its tag is the family's\n"
    "      magic (DOCK, YBR, HWR) followed by TEXT, at most 9 bytes in all.\n"
    "  --port DEV firmware upload --family docking|tkl|rvx FILE\n"
    "      Send a firmware file to the station (checked first as the page checks it).\n";
inline constexpr std::string_view kLogsUsage =
    "  --port DEV logs list\n"
    "      Print the names of the station's log files, one per line, in list order.\n"
    "  --port DEV logs get --dir DIR NAME...\n"
    "      Save the named log files into the folder DIR.\n";
inline constexpr std::string_view kCertsUsage =
    "  --port DEV certs list\n"
    "      Print the names of the station's certificates, one per line, in list order.\n"
    "  --port DEV certs get NAME --pdf OUT [--calibrated-by TEXT] [--approved-by TEXT]\n"
    "                                      [--no-address]\n"
    "      Load the named certificate and write its printed page to the PDF file OUT;\n"
    "      the names keep letters, digits and spaces (at most 20 characters).\n";
inline constexpr std::string_view kLinkUsage =
    "  ports\n"
    "      List the serial ports a station can be on: name, TAB, device path.\n"
    "  --port DEV info\n"
    "      Print the station's device type and its meaning.\n"
    "  --port DEV read docking|detector --out FILE\n"
    "      Save the station's record exactly as it sends it (64, 112 or 100 bytes).\n"
    "  --port DEV write docking|detector FILE [--verify]\n"
    "      Send a configuration file's record; values the page would refuse are not sent.\n"
    "      --verify: read it back and name the fields the station stored differently.\n";
inline constexpr std::string_view kClockUsage =
    "  --port DEV clock read\n"
    "      Print the station's date and time (YYYY-MM-DD HH:MM:SS).\n"
    "  --port DEV clock set \"YYYY-MM-DD HH:MM:SS\"|now\n"
    "      Set the station's clock (now: the PC's local time); print the time it reports.\n";
inline constexpr std::string_view kRecordsUsage =
    "  records show FILE [--type docking|tkl|rvx] [--json]\n"
    "  --port DEV records show docking|detector [--json]\n"
    "      Print a record's fields as the page shows them, one \"Label: value\" a line\n"
    "      (--json: one object with the record type and its fields keyed by label).\n"
    "  records diff A B | --port DEV records diff docking|detector FILE\n"
    "      List the fields that differ, \"label: old \u2192 new\"; exit 0 equal, 1 different.\n"
    "  records set FILE \"Label=value\"... [--out NEW] [--type docking|tkl|rvx]\n"
    "      Set fields through the page's rules; replaces FILE, or writes NEW.\n";
// The first lines of the usage text; each group adds its own lines after them.
inline constexpr std::string_view kUsageHead =
    "usage: quaylink-cli [--port DEV] [--monitor] GROUP COMMAND [OPTIONS] [ARGS]\n"
    "Exit codes: 0 done, 1 input refused, 2 usage or file error, 3 no answer.\n"
    "Commands:\n";

// The family word of --family: docking, tkl or rvx.
bool ParseFamily(std::string_view word, RecordType& family);
inline constexpr const char* kFamilyWords[] = {"docking", "tkl", "rvx"};

}  // namespace ql::cli
