#pragma once
// Whole-file reads and writes for files written on behalf of the technician.
//
// A write goes to a temporary file in the same folder that is renamed into place only
// when every byte is written, so a pulled drive or a full disk never leaves a truncated
// file under the real name; the previous file, if any, stays as it was.
// Standard library only; no function here throws.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace ql::io {

// Writes `bytes` to `path` through a temporary file beside it. Returns false (and
// removes the temporary file) when any step fails.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Reads up to out.size() bytes from the start of `path` into `out` and returns how many
// were read; the rest of `out` is left as it was. nullopt when `path` is not a regular
// file that can be opened, or when reading fails.
std::optional<std::size_t> ReadFilePrefix(const std::filesystem::path& path,
                                          std::span<std::uint8_t> out);

// Reads the whole of `path`. nullopt when it cannot be opened or read, or when it is
// longer than `maxBytes` (which keeps a wrong choice of file from exhausting memory).
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                       std::uintmax_t maxBytes);

// Copies `from` to `to`, replacing `to`, through WriteFileAtomically.
bool CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                        std::uintmax_t maxBytes);

}  // namespace ql::io
