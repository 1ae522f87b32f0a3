// Connection commands: ports, info, read, write. All go through the engine, as the
// window does, so a script gets the same checks and the same messages.

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "engine/messages.h"
#include "io/file_io.h"
#include "link/port_discovery.h"
#include "records/docking_info.h"
#include "records/multi_gas.h"
#include "records/record_text.h"
#include "records/single_gas.h"
#include "tools/cli/commands.h"
#include "tools/cli/station_session.h"

namespace ql::cli {
namespace {

using protocol::DeviceType;

std::string_view FamilyName(DeviceType type) {
  switch (type) {
    case DeviceType::SingleGas:
      return "single-gas station";
    case DeviceType::MultiGas:
      return "multi-gas station";
    case DeviceType::Pump:
      return "pump docking station";
    case DeviceType::None:
      break;
  }
  return "unknown";
}

// The record a target word names on a station of `deviceType`.
RecordType TargetRecord(std::string_view target, DeviceType deviceType) {
  if (target == "docking") return RecordType::Docking;
  if (deviceType == DeviceType::MultiGas) return RecordType::MultiGas;
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

ExitCode Ports(const CommandContext& ctx) {
  link::PortList ports;
  ports.Refresh(link::DiscoveryRoots{});
  // Emulators missing from the list for a reason the technician should know.
  if (const link::Status bridges = link::CheckBridgeFolder(link::BridgeFolder());
      bridges.kind == link::ErrorKind::BadArgument) {
    ctx.err << "quaylink-cli: emulators' ports not listed: " << bridges.message << "\n";
  }
  for (const link::PortEntry& p : ports.Entries())
    ctx.out << p.name << '\t' << p.devicePath << '\n';
  return ExitCode::Ok;
}

ExitCode Info(const CommandContext& ctx) {
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  const DeviceType type = session.StationType();
  ctx.out << static_cast<int>(type) << ' ' << FamilyName(type) << '\n';
  return ExitCode::Ok;
}

ExitCode Read(const CommandContext& ctx, const std::string& target, const std::string& out) {
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  auto& ui = session.Ui();
  const RecordType record = TargetRecord(target, session.StationType());

  // A single-gas or multi-gas station has just read both records by itself; otherwise
  // read as the page's Read button does.
  engine::RequestEnd end;
  if (session.AutomaticRead()) {
    end = *session.AutomaticRead();
  } else {
    ui.selectedTab = record == RecordType::Docking ? engine::kTabDocking : engine::kTabDetector;
    end = session.Run(protocol::cmd::kReadRecord, [&] { session.Engine().PageRead(record); });
  }
  if (end.outcome != engine::RequestOutcome::Done) return ExitCodeOf(end);
  const auto it = ui.received.find(record);
  if (it == ui.received.end()) {
    ctx.err << "quaylink-cli: the station sent no " << target << " record\n";
    return ExitCode::Refused;
  }
  if (!io::WriteFileAtomically(out, it->second)) {
    ctx.err << "quaylink-cli: cannot write " << out << "\n";
    return ExitCode::UsageOrFile;
  }
  return ExitCode::Ok;
}

// After a write the station reported complete: reads the record back and compares it
// with what was sent. A difference names every differing field with both values (sent,
// then stored) and gives 1; a byte no field shows counts too.
ExitCode VerifyWrite(const CommandContext& ctx, StationSession& session, RecordType type,
                     const std::vector<std::uint8_t>& sent) {
  auto& ui = session.Ui();
  ui.readBack.erase(type);
  const engine::RequestEnd end =
      session.Run(protocol::cmd::kReadRecord, [&] { session.Engine().ReadBack(type); });
  const auto it = ui.readBack.find(type);
  if (end.outcome != engine::RequestOutcome::Done || it == ui.readBack.end() ||
      it->second.size() != sent.size()) {
    ctx.err << "quaylink-cli: the record could not be read back to verify the write\n";
    return end.outcome == engine::RequestOutcome::Done ? ExitCode::Refused : ExitCodeOf(end);
  }
  if (it->second == sent) return ExitCode::Ok;
  ctx.err << "quaylink-cli: the station stored other values than were sent (sent \u2192 "
             "stored):\n";
  const auto differences = records::DiffRecords(type, sent, it->second);
  for (const auto& d : differences) {
    ctx.err << d.label << ": " << d.before << " \u2192 " << d.after << "\n";
  }
  if (differences.empty()) ctx.err << "bytes that no field shows differ\n";
  return ExitCode::Refused;
}

ExitCode Write(const CommandContext& ctx, const std::string& target, const std::string& path,
               bool verify) {
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  const auto bytes = io::ReadWholeFile(path, 4096);
  if (!bytes) {
    ctx.err << "quaylink-cli: cannot read " << path << "\n";
    return ExitCode::UsageOrFile;
  }
  const std::optional<RecordType> fileType = RecordTypeOfSize(bytes->size());
  const bool wantDocking = target == "docking";
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

  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  auto& ui = session.Ui();
  if (!wantDocking && TargetRecord(target, session.StationType()) != fileType) {
    // What the window says when the station's detector page is not the record's.
    ui.Say(engine::msg::kDeviceTypeMismatch);
    return ExitCode::Refused;
  }
  ui.toSend[*fileType] = *bytes;
  ui.selectedTab = wantDocking ? engine::kTabDocking : engine::kTabDetector;
  const engine::RequestEnd end =
      session.Run(protocol::cmd::kWriteRequest, [&] { session.Engine().PageWrite(*fileType); });
  switch (end.outcome) {
    case engine::RequestOutcome::Done:
    case engine::RequestOutcome::TimedOut:
    case engine::RequestOutcome::Refused:  // the engine's message says why
      break;
    case engine::RequestOutcome::Stalled:
    case engine::RequestOutcome::LineLost:
    case engine::RequestOutcome::Aborted:
    case engine::RequestOutcome::Failed:
      ctx.err << "quaylink-cli: the station did not confirm the write\n";
      break;
  }
  if (verify && end.outcome == engine::RequestOutcome::Done) {
    return VerifyWrite(ctx, session, *fileType, *bytes);
  }
  return ExitCodeOf(end);
}

}  // namespace

void AddLinkCommands(CLI::App& app, CommandContext& ctx) {
  app.add_subcommand("ports", "List the serial ports a station can be on: name, TAB, device path.")
      ->callback([&ctx] { ctx.result = Ports(ctx); });

  app.add_subcommand("info", "Print the station's device type and its meaning (needs --port).")
      ->callback([&ctx] { ctx.result = Info(ctx); });

  struct Words {
    std::string target;
    std::string file;
    bool verify = false;
  };
  const auto read = std::make_shared<Words>();
  CLI::App* readCommand = app.add_subcommand(
      "read", "Save the station's record exactly as it sends it (64, 112 or 100 bytes).");
  readCommand->add_option("target", read->target, "docking or detector")
      ->required()
      ->check(CLI::IsMember({"docking", "detector"}));
  readCommand->add_option("--out", read->file, "The file to write")->required()->type_name("FILE");
  readCommand->callback([&ctx, read] { ctx.result = Read(ctx, read->target, read->file); });

  const auto write = std::make_shared<Words>();
  CLI::App* writeCommand = app.add_subcommand(
      "write", "Send a configuration file's record; values the page would refuse are not sent.");
  writeCommand->add_option("target", write->target, "docking or detector")
      ->required()
      ->check(CLI::IsMember({"docking", "detector"}));
  writeCommand->add_option("file", write->file, "The configuration file (64, 112 or 100 bytes)")
      ->required()
      ->type_name("FILE");
  writeCommand->add_flag("--verify", write->verify,
                         "Read the record back after the write and compare it with what was sent");
  writeCommand->callback(
      [&ctx, write] { ctx.result = Write(ctx, write->target, write->file, write->verify); });
}

}  // namespace ql::cli
