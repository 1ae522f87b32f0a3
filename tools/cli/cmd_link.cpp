// Connection commands: ports, info, read, write. All go through the engine, as the
// window does, so a script gets the same checks and the same messages.

#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "io/file_io.h"
#include "link/port_discovery.h"
#include "records/docking_info.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"
#include "tools/cli/commands.h"
#include "tools/cli/station_session.h"

namespace ql::cli {
namespace {

constexpr std::string_view kMismatch = "Device Type Mismatch \n (Close port and re-open)";

ExitCode Usage(const CommandContext& ctx, std::string_view what) {
  ctx.err << "quaylink-cli: " << what << "\n" << kUsageHead << kLinkUsage;
  return ExitCode::UsageOrFile;
}

std::string_view FamilyName(int type) {
  switch (type) {
    case protocol::device::kSingleGas:
      return "single-gas station";
    case protocol::device::kMultiGas:
      return "multi-gas station";
    case protocol::device::kPump:
      return "pump docking station";
    default:
      return "unknown";
  }
}

// The record a target word names on a station of `deviceType`.
std::optional<RecordType> TargetRecord(std::string_view target, int deviceType) {
  if (target == "docking") return RecordType::Docking;
  if (deviceType == protocol::device::kMultiGas) return RecordType::MultiGas;
  return RecordType::SingleGas;  // a pump station has none: the station will say so
}

// A record the page could not have produced is refused before anything is sent.
std::optional<std::string> CheckRecord(RecordType type, const std::vector<std::uint8_t>& bytes) {
  std::uint32_t length = 0;
  for (int i = 3; i >= 0; --i) length = (length << 8) | bytes[static_cast<std::size_t>(i)];
  if (length != bytes.size()) {
    return "Record length: " + std::to_string(length) + " is not " + std::to_string(bytes.size());
  }
  switch (type) {
    case RecordType::Docking: {
      records::DockingInfoRecord r;
      std::copy(bytes.begin(), bytes.end(), r.bytes.begin());
      return records::CheckDockingRecord(r);
    }
    case RecordType::SingleGas: {
      records::SingleGasOptionRecord r;
      std::copy(bytes.begin(), bytes.end(), r.bytes.begin());
      return records::CheckSingleGasRecord(r);
    }
    case RecordType::MultiGas: {
      records::MultiGasOptionRecord r;
      std::copy(bytes.begin(), bytes.end(), r.bytes.begin());
      return records::CheckMultiGasRecord(r);
    }
  }
  return std::nullopt;
}

}  // namespace

ExitCode RunPortsCommand(const CommandContext& ctx, CommandArgs args) {
  if (!args.empty()) return Usage(ctx, "ports takes no arguments");
  link::PortList ports;
  ports.Refresh(link::DiscoveryRoots{});
  for (const link::PortEntry& p : ports.Entries())
    ctx.out << p.name << '\t' << p.devicePath << '\n';
  return ExitCode::Ok;
}

ExitCode RunInfoCommand(const CommandContext& ctx, CommandArgs args) {
  if (!args.empty()) return Usage(ctx, "info takes no arguments");
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  StationSession session(ctx.err);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  const int type = *session.Ui().identified;
  if (type == protocol::device::kNone) return ExitCode::Refused;  // "Unknown Device Type !!" shown
  ctx.out << type << ' ' << FamilyName(type) << '\n';
  return ExitCode::Ok;
}

ExitCode RunReadCommand(const CommandContext& ctx, CommandArgs args) {
  if (args.size() != 3 || (args[0] != "docking" && args[0] != "detector") || args[1] != "--out") {
    return Usage(ctx, "read needs docking|detector --out FILE");
  }
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  const std::string out(args[2]);
  StationSession session(ctx.err);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  auto& ui = session.Ui();
  const int type = *ui.identified;
  const RecordType record = *TargetRecord(args[0], type);

  // A single-gas or multi-gas station has just read both records by itself; otherwise
  // read as the page's Read button does.
  const bool autoRead = type == protocol::device::kSingleGas || type == protocol::device::kMultiGas;
  std::size_t from = 0;
  if (!autoRead) {
    from = ui.messages.size();
    ui.selectedTab = record == RecordType::Docking ? engine::kTabDocking : engine::kTabDetector;
    session.Engine().PageRead(record);
    session.WaitUntilIdle();
  }
  const ExitCode outcome = session.Outcome(
      from, {"Read failure", kMismatch, "Port open check", "Docking clock invalid"});
  if (outcome != ExitCode::Ok) return outcome;
  const auto it = ui.received.find(record);
  if (it == ui.received.end()) {
    ctx.err << "quaylink-cli: the station sent no " << args[0] << " record\n";
    return ExitCode::Refused;
  }
  if (!io::WriteFileAtomically(out, it->second)) {
    ctx.err << "quaylink-cli: cannot write " << out << "\n";
    return ExitCode::UsageOrFile;
  }
  return ExitCode::Ok;
}

ExitCode RunWriteCommand(const CommandContext& ctx, CommandArgs args) {
  if (args.size() != 2 || (args[0] != "docking" && args[0] != "detector")) {
    return Usage(ctx, "write needs docking|detector FILE");
  }
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  const std::string path(args[1]);
  const auto bytes = io::ReadWholeFile(path, 4096);
  if (!bytes) {
    ctx.err << "quaylink-cli: cannot read " << path << "\n";
    return ExitCode::UsageOrFile;
  }
  const std::optional<RecordType> fileType = RecordTypeOfSize(bytes->size());
  const bool wantDocking = args[0] == "docking";
  if (!fileType || (*fileType == RecordType::Docking) != wantDocking) {
    ctx.err << "quaylink-cli: " << path << " (" << bytes->size() << " bytes) is not a "
            << (wantDocking ? "docking station record (64 bytes)"
                            : "detector record (112 bytes TKL, 100 bytes RVX)")
            << "\n";
    return ExitCode::Refused;
  }
  if (const auto refusal = CheckRecord(*fileType, *bytes)) {
    ctx.err << *refusal << "\n";
    return ExitCode::Refused;
  }

  StationSession session(ctx.err);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  auto& ui = session.Ui();
  const int type = *ui.identified;
  if (!wantDocking && TargetRecord(args[0], type) != fileType) {
    ui.ShowMessage(kMismatch);
    return ExitCode::Refused;
  }
  const std::size_t from = ui.messages.size();
  ui.toSend[*fileType] = *bytes;
  ui.selectedTab = wantDocking ? engine::kTabDocking : engine::kTabDetector;
  session.Engine().PageWrite(*fileType);
  session.WaitUntilIdle();
  const ExitCode outcome =
      session.Outcome(from, {"Write fail (Device is different)", kMismatch, "Port open check"});
  if (outcome != ExitCode::Ok) return outcome;
  for (std::size_t i = from; i < ui.messages.size(); ++i) {
    if (ui.messages[i].rfind("Write complete", 0) == 0) return ExitCode::Ok;
  }
  ctx.err << "quaylink-cli: the station did not confirm the write\n";
  return ExitCode::Refused;
}

}  // namespace ql::cli
