#include "engine/request_block.h"

namespace ql::engine {
namespace {

void PutLe32(std::uint8_t* out, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::int32_t GetLe32(const std::uint8_t* in) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return static_cast<std::int32_t>(u);
}

}  // namespace

void RequestBlock::SetLocalTime(std::time_t now) {
  std::tm tm{};
  if (::localtime_r(&now, &tm) == nullptr) {
    time = {0, 0, 0, -1, -1, -1};
    return;
  }
  time = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::array<std::uint8_t, RequestBlock::kSize> RequestBlock::Bytes() const {
  std::array<std::uint8_t, kSize> out{};
  const std::int32_t fields[7] = {target, time.year, time.month, time.day,
                                  time.hour, time.minute, time.second};
  for (int i = 0; i < 7; ++i) PutLe32(out.data() + 4 * i, fields[i]);
  return out;
}

RequestBlock RequestBlock::FromBytes(std::span<const std::uint8_t> bytes) {
  RequestBlock b;
  if (bytes.size() < kSize) return b;
  b.target = GetLe32(bytes.data());
  b.time = {GetLe32(bytes.data() + 4),  GetLe32(bytes.data() + 8),  GetLe32(bytes.data() + 12),
            GetLe32(bytes.data() + 16), GetLe32(bytes.data() + 20), GetLe32(bytes.data() + 24)};
  return b;
}

}  // namespace ql::engine
