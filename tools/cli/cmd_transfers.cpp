// Transfers from the command line: firmware upload and log download, through the
// engine's operations that the pages' buttons use.

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>

#include "rules/firmware_names.h"
#include "tools/cli/commands.h"
#include "tools/cli/station_session.h"

namespace ql::cli {
namespace {

using namespace std::chrono_literals;

// The engine ends every transfer by itself (10 s without an answer, 300 s for a firmware
// image's data); this only guards against a station that keeps the line busy forever.
constexpr std::chrono::minutes kTransferLimit{15};
// The log list request has no time-out of its own in the window; a script gets one.
constexpr std::chrono::seconds kListLimit{20};

RecordType PageOf(RecordType family) {
  switch (family) {
    case RecordType::Docking:
      return RecordType::Docking;
    case RecordType::SingleGas:
      return RecordType::SingleGas;
    case RecordType::MultiGas:
      return RecordType::MultiGas;
  }
  return RecordType::Docking;
}

RecordType FirmwarePageOf(RecordType family) {
  switch (family) {
    case RecordType::Docking:
      return RecordType::Docking;
    case RecordType::SingleGas:
      return RecordType::SingleGas;
    case RecordType::MultiGas:
      return RecordType::MultiGas;
  }
  return RecordType::Docking;
}

bool Shown(const HeadlessUi& ui, std::size_t from, std::string_view text) {
  return std::find(ui.messages.begin() + static_cast<long>(from), ui.messages.end(), text) !=
         ui.messages.end();
}

// Fetches the station's log list; Ok with the rows in ui.logRows.
ExitCode FetchLogList(StationSession& session) {
  auto& ui = session.Ui();
  const std::size_t from = ui.messages.size();
  session.Engine().RefreshLogList();
  if (!session.Loop().RunUntil([&] { return session.Engine().LastCommand() == 0; }, kListLimit)) {
    ui.ShowMessage("Send timeOut");
    return ExitCode::NoAnswer;
  }
  return session.Outcome(from, {"Log file receive fail \n (Log data empty or USB not connected)",
                                "The port not open"});
}

}  // namespace

ExitCode UploadFirmware(const CommandContext& ctx, RecordType family, const std::string& path) {
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  // The checks of the page's Browse and Write, in their order.
  const RecordType page = FirmwarePageOf(family);
  const std::string name(rules::FileNamePart(path));
  if (!rules::IsBrowseFirmwareName(page, name) || !rules::IsWriteFirmwareName(page, path, name)) {
    ctx.err << rules::FirmwareNameMismatchMessage(page) << "\n";
    return ExitCode::Refused;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    ctx.err << rules::kMsgFileDoesNotExist << "\n";
    return ExitCode::UsageOrFile;
  }
  records::FirmwareImage image;
  const records::FirmwareCheck check = records::VerifyFirmwareFile(family, path, image);
  if (!check.Ok()) {
    ctx.err << rules::kMsgNotCorrectFirmware << "\n";
    return ExitCode::Refused;
  }
  image.fileName = path;

  StationSession session(ctx.err);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  auto& ui = session.Ui();
  const std::size_t from = ui.messages.size();
  session.Engine().StartFirmwareWrite(PageOf(family), std::move(image));
  const bool ended = session.Loop().RunUntil(
      [&] {
        return Shown(ui, from, "Firmware file send ok") ||
               Shown(ui, from, "Firmware file send fail") || Shown(ui, from, "Send timeOut") ||
               !session.Engine().PortOpen();
      },
      kTransferLimit);
  if (Shown(ui, from, "Firmware file send ok")) {
    ctx.out << check.label << "\n";
    return ExitCode::Ok;
  }
  if (!session.Engine().LastTransferError().empty()) {
    ctx.err << "quaylink-cli: " << session.Engine().LastTransferError() << "\n";
  }
  if (!ended || Shown(ui, from, "Send timeOut")) return ExitCode::NoAnswer;
  return ExitCode::Refused;
}

ExitCode RunLogsCommands(const CommandContext& ctx, CommandArgs args) {
  const auto usage = [&](std::string_view what) {
    ctx.err << "quaylink-cli logs: " << what << "\nusage:\n" << kLogsUsage;
    return ExitCode::UsageOrFile;
  };
  if (args.empty()) return usage("a command is missing");
  const std::string_view command = args[0];
  std::filesystem::path dir;
  std::vector<std::string> names;
  if (command == "list") {
    if (args.size() != 1) return usage("list takes no arguments");
  } else if (command == "get") {
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--dir" && i + 1 < args.size()) {
        dir = std::string(args[++i]);
      } else if (args[i].starts_with("-")) {
        return usage("unknown option " + std::string(args[i]));
      } else {
        names.emplace_back(args[i]);
      }
    }
    if (dir.empty() || names.empty()) return usage("get needs --dir DIR and at least one NAME");
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
      ctx.err << "quaylink-cli: " << dir.string() << " is not a folder\n";
      return ExitCode::UsageOrFile;
    }
  } else {
    return usage("unknown command \"" + std::string(command) + "\"");
  }
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;

  StationSession session(ctx.err);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  if (const ExitCode c = FetchLogList(session); c != ExitCode::Ok) return c;
  auto& ui = session.Ui();
  if (command == "list") {
    for (const std::string& row : ui.logRows) ctx.out << row << "\n";
    return ExitCode::Ok;
  }
  // Only names the station lists can be asked for, as only listed rows can be checked.
  const std::set<std::string> listed(ui.logRows.begin(), ui.logRows.end());
  for (const std::string& name : names) {
    if (!listed.count(name)) {
      ctx.err << "quaylink-cli: " << name << " is not in the station's log list\n";
      return ExitCode::Refused;
    }
  }
  const std::size_t from = ui.messages.size();
  session.Engine().SaveLogs(names, dir);
  session.Loop().RunUntil([&] { return !session.Engine().LogSaveRunning(); }, kTransferLimit);
  if (Shown(ui, from, "Log data save success")) {
    for (const std::string& name : names) ctx.out << (dir / name).string() << "\n";
    return ExitCode::Ok;
  }
  if (!session.Engine().LastTransferError().empty()) {
    ctx.err << "quaylink-cli: " << session.Engine().LastTransferError() << "\n";
  }
  return session.Engine().LogSaveRunning() ? ExitCode::NoAnswer : ExitCode::Refused;
}

}  // namespace ql::cli
