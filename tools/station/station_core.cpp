#include "tools/station/station_core.h"

#include <algorithm>

#include "protocol/certificate_list.h"
#include "protocol/commands.h"
#include "protocol/log_list.h"
#include "protocol/request_block.h"
#include "records/byte_order.h"
#include "records/record_text.h"
#include "tools/station/station_state.h"

namespace ql::station {
namespace {

namespace cmd = protocol::cmd;
using protocol::RequestBlock;

std::vector<std::string> Names(const std::vector<StationFile>& files) {
  std::vector<std::string> names;
  names.reserve(files.size());
  for (const StationFile& f : files) names.push_back(f.name);
  return names;
}

// The calendar time a set-clock request asks for, as local time; nothing when it names no
// date and time of the calendar (a station's clock does not roll 30 February over into
// March).
std::optional<std::time_t> RequestedTime(const protocol::DateTime& t) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1900 || t.year > 9999 || t.month < 1 || t.month > 12) return std::nullopt;
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  const int days = t.month == 2 && leap ? 29 : kDays[t.month - 1];
  if (t.day < 1 || t.day > days || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 ||
      t.second < 0 || t.second > 59) {
    return std::nullopt;
  }
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  const std::time_t wanted = std::mktime(&tm);
  if (wanted == static_cast<std::time_t>(-1)) return std::nullopt;
  return wanted;
}

}  // namespace

StationCore::StationCore(StationState& state, std::function<std::time_t()> wallNow,
                         StationOptions options)
    : state_(state), wallNow_(std::move(wallNow)), options_(std::move(options)) {}

Reply StationCore::OnRequest(const RequestFrame& request, Clock::time_point now) {
  if (Restarting(now)) return {};
  const bool repeat =
      options_.repeatFilter && last_ && *last_ == request && now - lastAt_ < kRepeatWindow;
  last_ = request;
  lastAt_ = now;
  if (repeat) return {};
  return Handle(request, now);
}

void StationCore::FactoryDefault(Clock::time_point now) {
  const StationState sample = SampleStationState(state_.deviceType);
  state_.docking = sample.docking;
  state_.singleGas = sample.singleGas;
  state_.multiGas = sample.multiGas;
  pendingWriteTarget_.reset();
  if (onChanged) onChanged();
  restartUntil_ = now + kRestartTime;
}

Reply StationCore::Answer(std::uint8_t code, const Bytes& payload) const {
  return Reply{protocol::BuildAnswerFrame(code, payload), {}};
}

Bytes StationCore::ClockBlock() const {
  RequestBlock block;
  block.target = protocol::kTargetDocking;
  block.SetLocalTime(wallNow_() + static_cast<std::time_t>(state_.clockOffset));
  const auto bytes = block.Bytes();
  return Bytes(bytes.begin(), bytes.end());
}

Reply StationCore::Handle(const RequestFrame& r, Clock::time_point now) {
  const auto target = [&]() -> std::optional<int> {
    if (r.payload.size() < RequestBlock::kSize) return std::nullopt;
    return RequestBlock::FromBytes(r.payload).target &
           0x0F;  // 16 more marks an auto-synced request
  };
  // The detector record this station holds for a target, if it matches its family.
  const auto detectorMatches = [&](int t) {
    return (t == protocol::kTargetSingleGas && state_.deviceType == 1) ||
           (t == protocol::kTargetMultiGas && state_.deviceType == 2);
  };

  switch (r.code) {
    case cmd::kDeviceType:
      return Answer(cmd::kDeviceType, {static_cast<std::uint8_t>(state_.deviceType)});
    case cmd::kReadRecord: {
      const auto t = target();
      if (t == protocol::kTargetDocking) {
        return Answer(cmd::kReadRecord, Bytes(state_.docking.begin(), state_.docking.end()));
      }
      if (t == protocol::kTargetSingleGas && detectorMatches(*t)) {
        return Answer(cmd::kReadRecord, Bytes(state_.singleGas.begin(), state_.singleGas.end()));
      }
      if (t == protocol::kTargetMultiGas && detectorMatches(*t)) {
        return Answer(cmd::kReadRecord, Bytes(state_.multiGas.begin(), state_.multiGas.end()));
      }
      return Answer(cmd::kReadRecord, {0});
    }
    case cmd::kWriteRequest: {
      const auto t = target();
      if (t == protocol::kTargetDocking || (t && detectorMatches(*t))) {
        pendingWriteTarget_ = *t;
        return Answer(cmd::kWriteRequest, {});
      }
      pendingWriteTarget_.reset();
      return Answer(cmd::kWriteRequest, {0});
    }
    case cmd::kWriteData: {
      const std::optional<int> t = pendingWriteTarget_;
      pendingWriteTarget_.reset();
      std::span<std::uint8_t> record;
      if (t == protocol::kTargetDocking) record = state_.docking;
      if (t == protocol::kTargetSingleGas) record = state_.singleGas;
      if (t == protocol::kTargetMultiGas) record = state_.multiGas;
      // The record must be the target's and carry its own length first.
      if (record.empty() || r.payload.size() != record.size() ||
          records::le::LoadU32(r.payload, 0) != record.size()) {
        return Answer(cmd::kWriteFail, {});
      }
      std::copy(r.payload.begin(), r.payload.end(), record.begin());
      const RecordType type = t == protocol::kTargetDocking     ? RecordType::Docking
                              : t == protocol::kTargetSingleGas ? RecordType::SingleGas
                                                                : RecordType::MultiGas;
      for (const std::string& text : state_.storeDifferently) {
        if (const auto edit = records::ParseAssignment(text)) {
          (void)records::ApplyEdits(type, record, std::span(&*edit, 1));
        }
      }
      if (onChanged) onChanged();
      return Answer(cmd::kWriteData, {static_cast<std::uint8_t>(state_.usbLinked ? 1 : 0)});
    }
    case cmd::kReadClock:
      return Answer(cmd::kReadClock, ClockBlock());
    case cmd::kSetClock: {
      if (r.payload.size() < RequestBlock::kSize) return Answer(cmd::kSetClock, ClockBlock());
      if (const auto wanted = RequestedTime(RequestBlock::FromBytes(r.payload).time)) {
        state_.clockOffset =
            static_cast<std::int64_t>(*wanted) - static_cast<std::int64_t>(wallNow_());
        if (onChanged) onChanged();
      }
      return Answer(cmd::kSetClock, ClockBlock());
    }
    case cmd::kLogList:
      // No logs, or no link to the detector's storage: nothing to list.
      if (state_.logs.empty() || !state_.usbLinked) return Answer(cmd::kLogList, {});
      return Answer(cmd::kLogList, protocol::BuildLogList(Names(state_.logs)));
    case cmd::kLogFile: {
      const std::string name = protocol::SlotToName(r.payload);
      const bool found = std::any_of(state_.logs.begin(), state_.logs.end(),
                                     [&](const StationFile& f) { return f.name == name; });
      if (!found || !state_.usbLinked) return Answer(cmd::kLogFile, {0});
      Reply reply = Answer(cmd::kLogFile, {1});
      reply.followUp = {FollowUp::Kind::SendLog, name, {}, {}};
      return reply;
    }
    case cmd::kCertificateList:
      if (state_.certificates.empty()) return Answer(cmd::kCertificateList, {});
      return Answer(cmd::kCertificateList,
                    protocol::BuildCertificateList(Names(state_.certificates)));
    case cmd::kCertificateData: {
      const std::string name = protocol::SlotToName(r.payload);
      for (const StationFile& f : state_.certificates) {
        // A file too long for one answer is not a certificate this station can give.
        if (f.name == name && f.content.size() <= protocol::kMaxAnswerPayload) {
          return Answer(cmd::kCertificateData, f.content);
        }
      }
      return Answer(cmd::kCertificateData, {});
    }
    case cmd::kFirmwareDocking:
    case cmd::kFirmwareSingleGas:
    case cmd::kFirmwareMultiGas: {
      Reply reply = Answer(r.code, {1});
      reply.followUp.kind = FollowUp::Kind::ReceiveFirmware;
      reply.followUp.family = r.code == cmd::kFirmwareDocking     ? RecordType::Docking
                              : r.code == cmd::kFirmwareSingleGas ? RecordType::SingleGas
                                                                  : RecordType::MultiGas;
      reply.followUp.firmwareName.assign(r.payload.begin(), r.payload.end());
      return reply;
    }
    case cmd::kWriteSerialNumber: {
      // The serial number goes into the station's own record.
      std::fill(state_.docking.begin() + 4, state_.docking.begin() + 16, std::uint8_t{0});
      std::copy_n(r.payload.begin(), std::min<std::size_t>(r.payload.size(), 12),
                  state_.docking.begin() + 4);
      if (onChanged) onChanged();
      return Answer(cmd::kWriteSerialNumber, {});
    }
    case cmd::kFactoryDefault: {
      Reply reply = Answer(cmd::kFactoryDefault, {});
      FactoryDefault(now);
      return reply;
    }
    case cmd::kEraseFirmware:
      // The station's own firmware is gone; the detectors' images it keeps stay.
      state_.firmware.erase(RecordType::Docking);
      return Answer(cmd::kEraseFirmware, {});
    case cmd::kSelfTest:
      return Answer(cmd::kSelfTest, {});
    case cmd::kEthernetLinkTest:
      return Answer(cmd::kEthernetLinkTest, {static_cast<std::uint8_t>(state_.ethernetUp ? 0 : 1)});
    case cmd::kIpAddress:
      return Answer(cmd::kIpAddress, Bytes(state_.ipAddress.begin(), state_.ipAddress.end()));
    default:
      return {};  // not a request this station knows: ignored
  }
}

}  // namespace ql::station
