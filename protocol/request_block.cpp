#include "protocol/request_block.h"

#include "records/byte_order.h"

namespace ql::protocol {
namespace {

std::int32_t GetLe32(std::span<const std::uint8_t> in, std::size_t offset) {
  return static_cast<std::int32_t>(records::le::LoadU32(in, offset));
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
  const std::int32_t fields[7] = {target,    time.year,   time.month, time.day,
                                  time.hour, time.minute, time.second};
  for (std::size_t i = 0; i < 7; ++i) {
    records::le::StoreU32(out, 4 * i, static_cast<std::uint32_t>(fields[i]));
  }
  return out;
}

RequestBlock RequestBlock::FromBytes(std::span<const std::uint8_t> bytes) {
  RequestBlock b;
  if (bytes.size() < kSize) return b;
  b.target = GetLe32(bytes, 0);
  b.time = {GetLe32(bytes, 4),  GetLe32(bytes, 8),  GetLe32(bytes, 12),
            GetLe32(bytes, 16), GetLe32(bytes, 20), GetLe32(bytes, 24)};
  return b;
}

}  // namespace ql::protocol
