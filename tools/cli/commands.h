#pragma once
// quaylink-cli: command groups behind one dispatcher.
//
// main.cpp parses the global options and picks a group by its first word; each group
// lives in its own cmd_<group>.cpp, parses the rest of the command line itself and
// returns an ExitCode. Adding a group: declare its Run function here, implement it in a
// new file, and add one row to the group table in main.cpp.
// Output: results on `out` (stdout), messages on `err` (stderr).

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "records/firmware.h"

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
  std::string port;  // --port DEV: the serial device of the connection commands
};

struct CommandContext {
  const GlobalOptions& options;
  std::ostream& out;
  std::ostream& err;
};

// The words after the group name.
using CommandArgs = std::span<const std::string_view>;

// firmware verify --family docking|tkl|rvx FILE
// firmware pack --family docking|tkl|rvx --tag TEXT BARE OUT
ExitCode RunFirmwareCommands(const CommandContext& ctx, CommandArgs args);
inline constexpr std::string_view kFirmwareUsage =
    "  firmware verify --family docking|tkl|rvx FILE\n"
    "      Check a firmware file; print its version label (or the failure label).\n"
    "  firmware pack --family docking|tkl|rvx --tag TEXT BARE OUT\n"
    "      Build a firmware file from the bare image BARE; its tag is the family's\n"
    "      magic (DOCK, YBR, HWR) followed by TEXT, at most 9 bytes in all.\n"
    "  --port DEV firmware upload --family docking|tkl|rvx FILE\n"
    "      Send a firmware file to the station (checked first as the page checks it).\n";

// firmware upload: the part of the firmware group that needs a connection.
ExitCode UploadFirmware(const CommandContext& ctx, RecordType family, const std::string& path);

// logs list | logs get --dir DIR NAME...
ExitCode RunLogsCommands(const CommandContext& ctx, CommandArgs args);
inline constexpr std::string_view kLogsUsage =
    "  --port DEV logs list\n"
    "      Print the names of the station's log files, one per line, in list order.\n"
    "  --port DEV logs get --dir DIR NAME...\n"
    "      Save the named log files into the folder DIR.\n";

// Connection commands (they need --port DEV, except ports).
ExitCode RunPortsCommand(const CommandContext& ctx, CommandArgs args);
ExitCode RunInfoCommand(const CommandContext& ctx, CommandArgs args);
ExitCode RunReadCommand(const CommandContext& ctx, CommandArgs args);
ExitCode RunWriteCommand(const CommandContext& ctx, CommandArgs args);
inline constexpr std::string_view kLinkUsage =
    "  ports\n"
    "      List the serial ports a station can be on: name, TAB, device path.\n"
    "  --port DEV info\n"
    "      Print the station's device type and its meaning.\n"
    "  --port DEV read docking|detector --out FILE\n"
    "      Save the station's record exactly as it sends it (64, 112 or 100 bytes).\n"
    "  --port DEV write docking|detector FILE\n"
    "      Send a configuration file's record; values the page would refuse are not sent.\n";

// The first lines of the usage text; each group adds its own lines after them.
inline constexpr std::string_view kUsageHead =
    "usage: quaylink-cli [--port DEV] GROUP COMMAND [OPTIONS] [ARGS]\n"
    "Exit codes: 0 done, 1 input refused, 2 usage or file error, 3 no answer.\n"
    "Commands:\n";

}  // namespace ql::cli
