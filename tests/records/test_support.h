#pragma once
// Helpers shared by the record-layer tests: a private temporary folder, a message
// recorder, and whole-file byte access that does not go through the code under test.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "records/message_sink.h"

namespace ql::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    // A new folder, never one that was there already.
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = base / ("quaylink-rec-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) return;
    }
    std::abort();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class RecordingSink : public records::IMessageSink {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

// Little-endian reads straight from raw bytes, independent of the record accessors.
inline unsigned RawU16(const std::uint8_t* b, std::size_t off) {
  return static_cast<unsigned>(b[off] | (b[off + 1] << 8));
}
inline std::uint32_t RawU32(const std::uint8_t* b, std::size_t off) {
  return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
         (static_cast<std::uint32_t>(b[off + 2]) << 16) |
         (static_cast<std::uint32_t>(b[off + 3]) << 24);
}
inline double RawF64(const std::uint8_t* b, std::size_t off) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(b[off + i]) << (8 * i);
  double v = 0;
  static_assert(sizeof v == sizeof bits);
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace ql::test
