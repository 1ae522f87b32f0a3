#pragma once
// Whole-file access for the end-to-end tests, without going through the code under test.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace ql::testsupport {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// The names in a folder, hidden ones included; none when it cannot be read.
inline std::set<std::string> Names(const std::filesystem::path& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    names.insert(it->path().filename().string());
  }
  return names;
}

}  // namespace ql::testsupport
