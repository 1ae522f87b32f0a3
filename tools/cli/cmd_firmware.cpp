// The firmware group: checking and building firmware containers (no connection needed),
// and uploading one to the station.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "io/file_io.h"
#include "records/firmware.h"
#include "records/firmware_choice.h"
#include "tools/cli/commands.h"
#include "tools/cli/station_session.h"

namespace ql::cli {
namespace {

std::uint8_t FirmwareRequest(RecordType family) {
  switch (family) {
    case RecordType::Docking:
      return protocol::cmd::kFirmwareDocking;
    case RecordType::SingleGas:
      return protocol::cmd::kFirmwareSingleGas;
    case RecordType::MultiGas:
      break;
  }
  return protocol::cmd::kFirmwareMultiGas;
}

std::string Reason(records::FirmwareStatus status) {
  switch (status) {
    case records::FirmwareStatus::Valid:
      return "valid";
    case records::FirmwareStatus::WrongTag:
      return "the firmware tag does not name this family";
    case records::FirmwareStatus::WrongDigest:
      return "the image digest does not match";
    case records::FirmwareStatus::TooShort:
      return "the file is too short to hold a firmware container";
    case records::FirmwareStatus::TooLarge:
      return "the file is far too large to be firmware";
    case records::FirmwareStatus::Unreadable:
      break;
  }
  return "the file cannot be read";
}

ExitCode Verify(const CommandContext& ctx, RecordType family, const std::string& file) {
  const std::filesystem::path path{file};

  records::FirmwareImage image;
  const records::FirmwareCheck check = records::VerifyFirmwareFile(family, path, image);
  if (check.status == records::FirmwareStatus::Unreadable) {
    ctx.err << "quaylink-cli firmware verify: cannot read " << path.string() << "\n";
    return ExitCode::UsageOrFile;
  }
  ctx.out << check.label << "\n";
  if (check.ok()) return ExitCode::Ok;
  ctx.err << path.string() << ": refused: " << Reason(check.status) << "\n";
  return ExitCode::Refused;
}

ExitCode Pack(const CommandContext& ctx, RecordType family, const std::string& tagText,
              const std::string& barePathText, const std::string& out) {
  const std::filesystem::path barePath{barePathText};
  const std::filesystem::path outPath{out};

  const auto tag = records::MakeFirmwareTag(family, tagText);
  if (!tag) {
    const std::size_t room = records::kFirmwareTagSize - records::FirmwareMagic(family).size();
    ctx.err << "quaylink-cli firmware pack: tag text \"" << tagText << "\" is longer than " << room
            << " characters\n";
    return ExitCode::Refused;
  }
  std::error_code ec;
  const auto bareSize = std::filesystem::file_size(barePath, ec);
  if (!ec && bareSize > records::kMaxFirmwareFileSize) {
    ctx.err << "quaylink-cli firmware pack: " << barePath.string() << " is too large (" << bareSize
            << " bytes)\n";
    return ExitCode::Refused;
  }
  const auto bare = io::ReadWholeFile(barePath, records::kMaxFirmwareFileSize);
  if (!bare) {
    ctx.err << "quaylink-cli firmware pack: cannot read " << barePath.string() << "\n";
    return ExitCode::UsageOrFile;
  }
  const auto file = records::PackFirmwareImage(*bare, *tag);
  if (!file) {
    ctx.err << "quaylink-cli firmware pack: " << barePath.string() << " has " << bare->size()
            << " bytes; a bare image needs at least " << records::kMinBareImageSize << "\n";
    return ExitCode::Refused;
  }
  if (!io::WriteFileAtomically(outPath, *file)) {
    ctx.err << "quaylink-cli firmware pack: cannot write " << outPath.string() << "\n";
    return ExitCode::UsageOrFile;
  }
  return ExitCode::Ok;
}

// The page's checks first (a file named here counts as chosen by Browse), then the
// upload through the engine as the page's firmware Write starts it.
ExitCode Upload(const CommandContext& ctx, RecordType family, const std::string& path) {
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  records::FirmwareChoice choice = records::CheckNamedFirmware(family, path);
  if (!choice.ok()) {
    ctx.err << choice.status.message << "\n";
    return choice.status.kind == link::ErrorKind::Io ? ExitCode::UsageOrFile : ExitCode::Refused;
  }

  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  const engine::RequestEnd end = session.Run(
      FirmwareRequest(family),
      [&] { session.Engine().StartFirmwareWrite(family, std::move(choice.image)); },
      StationSession::kTransferLimit);
  if (end.outcome == engine::RequestOutcome::Done) {
    ctx.out << choice.label << "\n";
    return ExitCode::Ok;
  }
  SayTransferFailure(session.Ui(), end);
  return ExitCodeOf(end);
}

// The words of one firmware command.
struct Words {
  std::string family;
  std::string tag;
  std::string file;
  std::string out;
  RecordType Family() const {
    RecordType f = RecordType::Docking;
    ParseFamily(family, f);
    return f;
  }
};

CLI::Option* AddFamily(CLI::App& command, Words& words) {
  return command.add_option("--family", words.family, "Firmware family: docking, tkl or rvx")
      ->required()
      ->check(CLI::IsMember({"docking", "tkl", "rvx"}));
}

}  // namespace

bool ParseFamily(std::string_view word, RecordType& family) {
  if (word == "docking") {
    family = RecordType::Docking;
  } else if (word == "tkl") {
    family = RecordType::SingleGas;
  } else if (word == "rvx") {
    family = RecordType::MultiGas;
  } else {
    return false;
  }
  return true;
}

void AddFirmwareCommands(CLI::App& group, CommandContext& ctx) {
  const auto verify = std::make_shared<Words>();
  CLI::App* verifyCommand = group.add_subcommand(
      "verify", "Check a firmware file; print its version label (or the failure label).");
  AddFamily(*verifyCommand, *verify);
  verifyCommand->add_option("file", verify->file, "The firmware file")
      ->required()
      ->type_name("FILE");
  verifyCommand->callback(
      [&ctx, verify] { ctx.result = Verify(ctx, verify->Family(), verify->file); });

  const auto pack = std::make_shared<Words>();
  CLI::App* packCommand = group.add_subcommand(
      "pack",
      "Build a firmware file from the bare image BARE; its tag is the family's magic (DOCK, "
      "YBR, HWR) followed by TEXT, at most 9 bytes in all.");
  AddFamily(*packCommand, *pack);
  packCommand->add_option("--tag", pack->tag, "Tag text after the family's magic")
      ->required()
      ->type_name("TEXT");
  packCommand->add_option("bare", pack->file, "The bare image")->required()->type_name("BARE");
  packCommand->add_option("out", pack->out, "The firmware file to write")
      ->required()
      ->type_name("OUT");
  packCommand->callback(
      [&ctx, pack] { ctx.result = Pack(ctx, pack->Family(), pack->tag, pack->file, pack->out); });

  const auto upload = std::make_shared<Words>();
  CLI::App* uploadCommand = group.add_subcommand(
      "upload",
      "Send a firmware file to the station (needs --port; checked first as the page checks it).");
  AddFamily(*uploadCommand, *upload);
  uploadCommand->add_option("file", upload->file, "The firmware file")
      ->required()
      ->type_name("FILE");
  uploadCommand->callback(
      [&ctx, upload] { ctx.result = Upload(ctx, upload->Family(), upload->file); });
}

ExitCode RunFirmwareCommands(CommandContext ctx, CommandArgs args) {
  CLI::App group{"Check, build and send firmware files.", "quaylink-cli firmware"};
  AddFirmwareCommands(group, ctx);
  std::vector<std::string> words(args.rbegin(), args.rend());  // CLI11 takes them reversed
  try {
    group.parse(words);
  } catch (const CLI::ParseError& e) {
    std::ostringstream ignored;
    if (group.exit(e, ctx.out, ignored) == 0) return ExitCode::Ok;  // --help
    ctx.err << "quaylink-cli firmware: " << e.what() << "\nusage:\n" << kFirmwareUsage;
    return ExitCode::UsageOrFile;
  }
  if (group.get_subcommands().empty()) {
    ctx.err << "quaylink-cli firmware: a command is missing\nusage:\n" << kFirmwareUsage;
    return ExitCode::UsageOrFile;
  }
  return ctx.result;
}

}  // namespace ql::cli
