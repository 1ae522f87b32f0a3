#include "io/file_io.h"

#include <fstream>
#include <string>
#include <system_error>

#include "io/staged_file.h"

namespace ql::io {

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  StagedFile file;
  return file.Create(folder, path.filename().string()) && file.Write(bytes) && file.Commit();
}

std::optional<std::size_t> ReadFilePrefix(const std::filesystem::path& path,
                                          std::span<std::uint8_t> out) {
  std::error_code ec;
  // A folder under the file's name opens on some systems and reads nothing.
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (in.bad()) return std::nullopt;
  return static_cast<std::size_t>(in.gcount());
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                       std::uintmax_t maxBytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > maxBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (in.bad() || static_cast<std::uintmax_t>(in.gcount()) != size) return std::nullopt;
  // A file that grew since its size was taken is read whole or refused.
  if (in.peek() != std::ifstream::traits_type::eof()) return std::nullopt;
  return bytes;
}

bool CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                        std::uintmax_t maxBytes) {
  const auto bytes = ReadWholeFile(from, maxBytes);
  if (!bytes) return false;
  return WriteFileAtomically(to, *bytes);
}

}  // namespace ql::io
