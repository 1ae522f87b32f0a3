#include "tools/station/station_core.h"

#include <algorithm>
#include <cstring>

#include "records/byte_order.h"

namespace ql::station {
namespace {

constexpr std::size_t kSlot = 20;
constexpr std::size_t kLogFirstTable = 32;
constexpr std::size_t kLogSecondTable = 128;
constexpr std::size_t kCertificateSlots = 128;

using records::le::StoreU16;
using records::le::StoreU32;

std::int32_t GetLe32(const Bytes& b, std::size_t offset) {
  return static_cast<std::int32_t>(records::le::LoadU32(b, offset));
}

void PutName(Bytes& b, std::size_t offset, const std::string& name) {
  std::copy_n(name.begin(), std::min(name.size(), kSlot - 1),
              b.begin() + static_cast<long>(offset));
}

}  // namespace

std::string SlotName(const Bytes& payload) {
  const std::size_t n = std::min(payload.size(), kSlot);
  const auto end = std::find(payload.begin(), payload.begin() + static_cast<long>(n), 0);
  return std::string(payload.begin(), end);
}

Bytes BuildLogList(const std::vector<StationFile>& logs) {
  if (logs.empty()) return {};
  Bytes record(8 + (kLogFirstTable + kLogSecondTable) * kSlot, 0);
  StoreU32(record, 0, static_cast<std::uint32_t>(record.size()));
  const std::size_t first = std::min(logs.size(), kLogFirstTable);
  const std::size_t second = std::min(logs.size() - first, kLogSecondTable);
  StoreU16(record, 4, static_cast<std::uint16_t>(first));
  StoreU16(record, 6, static_cast<std::uint16_t>(second));
  for (std::size_t i = 0; i < first; ++i) PutName(record, 8 + i * kSlot, logs[i].name);
  for (std::size_t j = 0; j < second; ++j) {
    PutName(record, 8 + (kLogFirstTable + j) * kSlot, logs[first + j].name);
  }
  return record;
}

Bytes BuildCertificateList(const std::vector<StationFile>& certificates) {
  if (certificates.empty()) return {};
  Bytes record(6 + kCertificateSlots * kSlot, 0);
  StoreU32(record, 0, static_cast<std::uint32_t>(record.size()));
  const std::size_t n = std::min(certificates.size(), kCertificateSlots);
  StoreU16(record, 4, static_cast<std::uint16_t>(n));
  for (std::size_t i = 0; i < n; ++i) PutName(record, 6 + i * kSlot, certificates[i].name);
  return record;
}

StationCore::StationCore(StationState& state, std::function<std::time_t()> wallNow)
    : state_(state), wallNow_(std::move(wallNow)) {}

Reply StationCore::OnRequest(const RequestFrame& request, Clock::time_point now) {
  const bool repeat = last_ && *last_ == request && now - lastAt_ < kRepeatWindow;
  last_ = request;
  lastAt_ = now;
  if (repeat) return {};
  return Handle(request);
}

Reply StationCore::Answer(std::uint8_t code, const Bytes& payload) const {
  return Reply{BuildAnswerFrame(code, payload), {}};
}

Bytes StationCore::ClockBlock() const {
  const std::time_t t = wallNow_() + static_cast<std::time_t>(state_.clockOffset);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  Bytes b(28, 0);
  const std::int32_t fields[7] = {0,          tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                                  tm.tm_hour, tm.tm_min,         tm.tm_sec};
  for (std::size_t i = 0; i < 7; ++i) StoreU32(b, 4 * i, static_cast<std::uint32_t>(fields[i]));
  return b;
}

Reply StationCore::Handle(const RequestFrame& r) {
  const auto target = [&]() -> std::optional<int> {
    if (r.payload.size() < 28) return std::nullopt;
    return GetLe32(r.payload, 0) & 0x0F;  // 16 more marks an auto-synced request
  };
  // The detector record this station holds for a target, if it matches its family.
  const auto detectorMatches = [&](int t) {
    return (t == 1 && state_.deviceType == 1) || (t == 2 && state_.deviceType == 2);
  };

  switch (r.code) {
    case 0x40:
      return Answer(0x40, {static_cast<std::uint8_t>(state_.deviceType)});
    case 0x33: {
      const auto t = target();
      if (t == 0) return Answer(0x33, Bytes(state_.docking.begin(), state_.docking.end()));
      if (t == 1 && detectorMatches(1)) {
        return Answer(0x33, Bytes(state_.singleGas.begin(), state_.singleGas.end()));
      }
      if (t == 2 && detectorMatches(2)) {
        return Answer(0x33, Bytes(state_.multiGas.begin(), state_.multiGas.end()));
      }
      return Answer(0x33, {0});
    }
    case 0x30: {
      const auto t = target();
      if (t == 0 || (t && detectorMatches(*t))) {
        pendingWriteTarget_ = *t;
        return Answer(0x30, {});
      }
      pendingWriteTarget_.reset();
      return Answer(0x30, {0});
    }
    case 0x31: {
      const std::optional<int> t = pendingWriteTarget_;
      pendingWriteTarget_.reset();
      std::span<std::uint8_t> record;
      if (t == 0) record = state_.docking;
      if (t == 1) record = state_.singleGas;
      if (t == 2) record = state_.multiGas;
      // The record must be the target's and carry its own length first.
      if (record.empty() || r.payload.size() != record.size() ||
          static_cast<std::size_t>(GetLe32(r.payload, 0)) != record.size()) {
        return Answer(0x32, {});
      }
      std::copy(r.payload.begin(), r.payload.end(), record.begin());
      if (onChanged) onChanged();
      return Answer(0x31, {static_cast<std::uint8_t>(state_.usbLinked ? 1 : 0)});
    }
    case 0xAE:
      return Answer(0xAE, ClockBlock());
    case 0xAF: {
      if (r.payload.size() < 28) return Answer(0xAF, ClockBlock());
      std::tm tm{};
      tm.tm_year = GetLe32(r.payload, 4) - 1900;
      tm.tm_mon = GetLe32(r.payload, 8) - 1;
      tm.tm_mday = GetLe32(r.payload, 12);
      tm.tm_hour = GetLe32(r.payload, 16);
      tm.tm_min = GetLe32(r.payload, 20);
      tm.tm_sec = GetLe32(r.payload, 24);
      tm.tm_isdst = -1;
      const std::time_t wanted = std::mktime(&tm);
      if (wanted != static_cast<std::time_t>(-1)) {
        state_.clockOffset =
            static_cast<std::int64_t>(wanted) - static_cast<std::int64_t>(wallNow_());
        if (onChanged) onChanged();
      }
      return Answer(0xAF, ClockBlock());
    }
    case 0x34:
      return Answer(0x34, state_.usbLinked ? BuildLogList(state_.logs) : Bytes{});
    case 0x35: {
      const std::string name = SlotName(r.payload);
      const bool found = std::any_of(state_.logs.begin(), state_.logs.end(),
                                     [&](const StationFile& f) { return f.name == name; });
      if (!found || !state_.usbLinked) return Answer(0x35, {0});
      Reply reply = Answer(0x35, {1});
      reply.followUp = {FollowUp::Kind::SendLog, name, {}, {}};
      return reply;
    }
    case 0x50:
      return Answer(0x50, BuildCertificateList(state_.certificates));
    case 0x51: {
      const std::string name = SlotName(r.payload);
      for (const StationFile& f : state_.certificates) {
        if (f.name == name) return Answer(0x51, f.content);
      }
      return Answer(0x51, {});
    }
    case 0x37:
    case 0x38:
    case 0x39: {
      Reply reply = Answer(r.code, {1});
      reply.followUp.kind = FollowUp::Kind::ReceiveFirmware;
      reply.followUp.family = r.code == 0x37   ? RecordType::Docking
                              : r.code == 0x38 ? RecordType::SingleGas
                                               : RecordType::MultiGas;
      reply.followUp.firmwareName.assign(r.payload.begin(), r.payload.end());
      return reply;
    }
    case 0x41: {
      // The serial number goes into the station's own record.
      std::fill(state_.docking.begin() + 4, state_.docking.begin() + 16, std::uint8_t{0});
      std::copy_n(r.payload.begin(), std::min<std::size_t>(r.payload.size(), 12),
                  state_.docking.begin() + 4);
      if (onChanged) onChanged();
      return Answer(0x41, {});
    }
    case 0xAC:
    case 0xAD:
    case 0xFF:
      return Answer(r.code, {});
    case 0x42:
      return Answer(0x42, {static_cast<std::uint8_t>(state_.ethernetUp ? 0 : 1)});
    case 0x43:
      return Answer(0x43, Bytes(state_.ipAddress.begin(), state_.ipAddress.end()));
    default:
      return {};  // not a request this station knows: ignored
  }
}

}  // namespace ql::station
