// The firmware group: checking and building firmware containers. Needs no connection.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "io/file_io.h"
#include "records/firmware.h"
#include "tools/cli/commands.h"

namespace ql::cli {
namespace {

std::optional<RecordType> ParseFamily(std::string_view word) {
  if (word == "docking") return RecordType::Docking;
  if (word == "tkl") return RecordType::SingleGas;
  if (word == "rvx") return RecordType::MultiGas;
  return std::nullopt;
}

// The command line of one firmware command: named options and positional words.
struct Parsed {
  std::optional<RecordType> family;
  std::optional<std::string_view> tag;
  std::vector<std::string_view> positional;
  std::string error;  // empty when the line parsed
};

Parsed Parse(CommandArgs args, bool tagAllowed) {
  Parsed parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view word = args[i];
    if (word == "--family" || (tagAllowed && word == "--tag")) {
      if (i + 1 >= args.size()) {
        parsed.error = std::string(word) + " needs a value";
        return parsed;
      }
      const std::string_view value = args[++i];
      if (word == "--tag") {
        parsed.tag = value;
      } else if (!(parsed.family = ParseFamily(value))) {
        parsed.error = "unknown family \"" + std::string(value) + "\" (docking, tkl or rvx)";
        return parsed;
      }
    } else if (word.size() > 1 && word.front() == '-') {
      parsed.error = "unknown option " + std::string(word);
      return parsed;
    } else {
      parsed.positional.push_back(word);
    }
  }
  if (!parsed.family) parsed.error = "--family is missing";
  return parsed;
}

ExitCode Usage(const CommandContext& ctx, std::string_view problem) {
  ctx.err << "quaylink-cli firmware: " << problem << "\nusage:\n" << kFirmwareUsage;
  return ExitCode::UsageOrFile;
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

ExitCode Verify(const CommandContext& ctx, CommandArgs args) {
  const Parsed parsed = Parse(args, false);
  if (!parsed.error.empty()) return Usage(ctx, parsed.error);
  if (parsed.positional.size() != 1) return Usage(ctx, "verify takes one FILE");
  const std::filesystem::path path{std::string(parsed.positional[0])};

  records::FirmwareImage image;
  const records::FirmwareCheck check = records::VerifyFirmwareFile(*parsed.family, path, image);
  if (check.status == records::FirmwareStatus::Unreadable) {
    ctx.err << "quaylink-cli firmware verify: cannot read " << path.string() << "\n";
    return ExitCode::UsageOrFile;
  }
  ctx.out << check.label << "\n";
  if (check.Ok()) return ExitCode::Ok;
  ctx.err << path.string() << ": refused: " << Reason(check.status) << "\n";
  return ExitCode::Refused;
}

ExitCode Pack(const CommandContext& ctx, CommandArgs args) {
  const Parsed parsed = Parse(args, true);
  if (!parsed.error.empty()) return Usage(ctx, parsed.error);
  if (!parsed.tag) return Usage(ctx, "--tag is missing");
  if (parsed.positional.size() != 2) return Usage(ctx, "pack takes BARE and OUT");
  const std::filesystem::path barePath{std::string(parsed.positional[0])};
  const std::filesystem::path outPath{std::string(parsed.positional[1])};

  const auto tag = records::MakeFirmwareTag(*parsed.family, *parsed.tag);
  if (!tag) {
    const std::size_t room =
        records::kFirmwareTagSize - records::FirmwareMagic(*parsed.family).size();
    ctx.err << "quaylink-cli firmware pack: tag text \"" << *parsed.tag << "\" is longer than "
            << room << " characters\n";
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

ExitCode Upload(const CommandContext& ctx, CommandArgs args) {
  const Parsed parsed = Parse(args, false);
  if (!parsed.error.empty()) return Usage(ctx, parsed.error);
  if (parsed.positional.size() != 1) return Usage(ctx, "upload takes one FILE");
  return UploadFirmware(ctx, *parsed.family, std::string(parsed.positional[0]));
}

}  // namespace

ExitCode RunFirmwareCommands(const CommandContext& ctx, CommandArgs args) {
  if (args.empty()) return Usage(ctx, "a command is missing");
  const std::string_view command = args[0];
  if (command == "verify") return Verify(ctx, args.subspan(1));
  if (command == "pack") return Pack(ctx, args.subspan(1));
  if (command == "upload") return Upload(ctx, args.subspan(1));
  return Usage(ctx, "unknown command \"" + std::string(command) + "\"");
}

}  // namespace ql::cli
