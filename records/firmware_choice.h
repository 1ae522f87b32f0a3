#pragma once
// The one check of a firmware file chosen for a record page: the checks of the page's
// firmware Write in their order (path given, file name, file there, ".bin" ending for the
// multi-gas page, container), and the same for a file that a script names directly. The
// window's pages and the command-line tool both call it, so a file one of them refuses
// the other refuses too, with the same message.
//
// Reads the file; otherwise pure. Thread-safe.

#include <string>
#include <string_view>

#include "link/status.h"
#include "records/firmware.h"
#include "rules/record_type.h"

namespace ql::records {

struct FirmwareChoice {
  // Ok, or the refusal. Its message is the text the page shows; its kind is Io for a file
  // that is not there and BadArgument for a path, name or content the page does not take.
  link::Status status;
  // The page's firmware label once the container was checked (the version, or the
  // family's failure label); empty when an earlier check refused the file.
  std::string label;
  // When ok: the checked file (content, length, block count), its file name the path text.
  FirmwareImage image;

  bool ok() const { return status.ok(); }
};

// A page's firmware Write: `pathText` is its firmware path field, `browsedName` the file
// name its last Browse remembered (empty when none). In order:
//   empty path                          "Firmware File Empty"
//   name not one the page writes        "File Name Mismatch \n(File Name : ...)"
//   no such file                        "File does not exist."
//   multi-gas: path not ending in "bin" "This is not the correct bin file."
//   tag, digest or size wrong           "This is not the correct Firmware File."
FirmwareChoice CheckFirmwareChoice(RecordType page, std::string_view pathText,
                                   std::string_view browsedName);

// A file named directly, as if Browse had chosen it and Write followed: its name must be
// one the page's Browse accepts ("File Name Mismatch ..." otherwise), then the checks of
// CheckFirmwareChoice with that name as the browsed one.
FirmwareChoice CheckNamedFirmware(RecordType page, std::string_view path);

}  // namespace ql::records
