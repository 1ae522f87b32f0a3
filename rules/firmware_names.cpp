#include "rules/firmware_names.h"

#include <algorithm>
#include <initializer_list>

namespace ql::rules {
namespace {

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
       pos = hit + from.size()) {
    result.append(text.substr(pos, hit - pos));
    result.append(to);
  }
  result.append(text.substr(pos));
  return result;
}

}  // namespace

std::string_view FirmwareNameMismatchMessage(RecordType page) {
  switch (page) {
    case RecordType::Docking:
      return "File Name Mismatch \n(File Name : DK_FW.bin)";
    case RecordType::SingleGas:
      return "File Name Mismatch \n(File Name : TKL_H2S.bin, TKL_CO.bin, TKL_O2.bin)";
    case RecordType::MultiGas:
      break;
  }
  return "File Name Mismatch \n(File Name : RVX_FW.bin)";
}

std::string_view FirmwareUsbWriteSuccessMessage(RecordType page) {
  switch (page) {
    case RecordType::Docking:
      return "USB File Write Success (Docking F/W)";
    case RecordType::SingleGas:
      return "USB File Write Success (TKL F/W)";
    case RecordType::MultiGas:
      break;
  }
  return "USB File Write Success (RVX F/W)";
}

std::string_view FirmwareUsbWriteFailMessage(RecordType page) {
  switch (page) {
    case RecordType::Docking:
      return "USB File Write Fail (Docking F/W)";
    case RecordType::SingleGas:
      return "USB File Write Fail (TKL F/W)";
    case RecordType::MultiGas:
      break;
  }
  return "USB File Write Fail (RVX F/W)";
}

std::string_view FileNamePart(std::string_view path) {
  const std::size_t sep = path.find_last_of("/\\");
  return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

bool EndsInBin(std::string_view path) {
  return path.ends_with("bin");
}

bool IsBrowseFirmwareName(RecordType page, std::string_view fileName) {
  switch (page) {
    case RecordType::Docking:
      return OneOf(fileName, {"DK_FW.bin", "DK_FW_HALVORN.bin", "DK_FW_TORVELINE.bin"});
    case RecordType::SingleGas:
      return OneOf(fileName, {"YBR_CO.bin", "YBR_H2S.bin", "YBR_O2.bin", "TKL_CO.bin",
                              "TKL_H2S.bin", "TKL_O2.bin"});
    case RecordType::MultiGas:
      break;
  }
  return OneOf(fileName, {"HWR_FW.bin", "RVX_FW.bin"});
}

bool IsWriteFirmwareName(RecordType page, std::string_view pathText, std::string_view browsedName) {
  const std::string_view name = FileNamePart(pathText);
  switch (page) {
    case RecordType::Docking:
      return OneOf(name, {"DK_FW.bin", "DK_FW_HALVORN.bin"}) ||
             browsedName == "DK_FW_TORVELINE.bin";
    case RecordType::SingleGas:
      return OneOf(name, {"YBR_H2S.bin", "YBR_CO.bin", "YBR_O2.bin"}) ||
             OneOf(browsedName, {"TKL_CO.bin", "TKL_H2S.bin", "TKL_O2.bin"});
    case RecordType::MultiGas:
      break;
  }
  return OneOf(
      name, {"HWR_FW.bin", "HWR_FW_HALVORN.bin", "Plurovant_FW.bin", "KT720_FW.bin", "RVX_FW.bin"});
}

std::string UsbFirmwareName(RecordType page, std::string_view fileName) {
  switch (page) {
    case RecordType::Docking:
      return std::string(fileName);
    case RecordType::SingleGas:
      return ReplaceAll(fileName, "YBR", "TKL");
    case RecordType::MultiGas:
      break;
  }
  return ReplaceAll(fileName, "HWR", "RVX");
}

}  // namespace ql::rules
