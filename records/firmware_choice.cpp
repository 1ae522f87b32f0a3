#include "records/firmware_choice.h"

#include <filesystem>
#include <system_error>

#include "rules/firmware_names.h"

namespace ql::records {
namespace {

FirmwareChoice Refused(link::ErrorKind kind, std::string_view message) {
  FirmwareChoice choice;
  choice.status = link::Status::Error(kind, std::string(message));
  return choice;
}

}  // namespace

FirmwareChoice CheckFirmwareChoice(RecordType page, std::string_view pathText,
                                   std::string_view browsedName) {
  using link::ErrorKind;
  if (pathText.empty()) return Refused(ErrorKind::BadArgument, rules::kMsgFirmwareEmpty);
  if (!rules::IsWriteFirmwareName(page, pathText, browsedName)) {
    return Refused(ErrorKind::BadArgument, rules::FirmwareNameMismatchMessage(page));
  }
  const std::filesystem::path path{std::string(pathText)};
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return Refused(ErrorKind::Io, rules::kMsgFileDoesNotExist);
  }
  if (page == RecordType::MultiGas && !rules::EndsInBin(pathText)) {
    return Refused(ErrorKind::BadArgument, rules::kMsgNotCorrectBinFile);
  }
  FirmwareChoice choice;
  const FirmwareCheck check = VerifyFirmwareFile(page, path, choice.image);
  choice.label = check.label;
  if (!check.ok()) {
    choice.status =
        link::Status::Error(ErrorKind::BadArgument, std::string(rules::kMsgNotCorrectFirmware));
    choice.image = {};
    return choice;
  }
  choice.image.fileName = std::string(pathText);
  return choice;
}

FirmwareChoice CheckNamedFirmware(RecordType page, std::string_view path) {
  const std::string_view name = rules::FileNamePart(path);
  if (!rules::IsBrowseFirmwareName(page, name)) {
    return Refused(link::ErrorKind::BadArgument, rules::FirmwareNameMismatchMessage(page));
  }
  return CheckFirmwareChoice(page, path, name);
}

}  // namespace ql::records
