#pragma once
// The docking station as the emulator plays it: its state and its answers to requests.
// Pure and single-threaded: requests and the time go in, answer frames and follow-up
// transfers come out.

#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protocol/station_frames.h"
#include "records/firmware.h"

namespace ql::station {

using protocol::Bytes;
using protocol::RequestFrame;
using protocol::RequestParser;
using Clock = std::chrono::steady_clock;

struct StationFile {
  std::string name;  // at most 19 characters: it travels in a 20-byte NUL-padded slot
  Bytes content;
};

struct ReceivedFirmware {
  std::string fileName;
  std::string label;  // the version label of the container, or the failure label
  bool valid = false;
};

struct StationState {
  int deviceType = 2;
  std::array<std::uint8_t, 64> docking{};
  std::array<std::uint8_t, 112> singleGas{};
  std::array<std::uint8_t, 100> multiGas{};
  std::vector<StationFile> logs;
  std::vector<StationFile> certificates;  // 108-byte certificate records
  std::map<RecordType, ReceivedFirmware> firmware;
  std::int64_t clockOffset = 0;  // station time minus PC time, seconds
  bool usbLinked = true;         // the station's USB link to the detector
  bool ethernetUp = true;        // the Ethernet link test's result
  std::array<std::uint8_t, 4> ipAddress{192, 168, 10, 77};
  // "Label=value" edits (labels as quaylink-cli records shows them) applied to every
  // record written, after it arrived and before it is stored: a station that stores a
  // value other than the one it was sent and still reports the write complete. An edit
  // whose label the written record does not have, or whose value its page refuses, is
  // left out.
  std::vector<std::string> storeDifferently;
};

// What the emulator must do after sending an answer.
struct FollowUp {
  enum class Kind { None, SendLog, ReceiveFirmware } kind = Kind::None;
  std::string logName;
  RecordType family = RecordType::Docking;
  std::string firmwareName;
};

// How the emulated station behaves where a real one may differ; the defaults are a
// well-behaved station. Tests switch them to play a faulty one.
struct StationOptions {
  // Copies of the request just answered that arrive within StationCore::kRepeatWindow get
  // no second answer. Off, every copy is answered, as by a station that answers each
  // resent copy of a request.
  bool repeatFilter = true;
  // The name a log file's YMODEM header carries; empty: the file's own name. Set, the
  // station sends every log file under this name, as a faulty station might.
  std::string logHeaderName;
};

struct Reply {
  Bytes frame;  // empty: the request is ignored
  FollowUp followUp;
};

class StationCore {
 public:
  // A repeat of the request just answered, arriving within this window of the previous
  // copy, is one of the tool's back-to-back copies and gets no second answer.
  static constexpr std::chrono::milliseconds kRepeatWindow{150};
  // After answering a factory default the station restarts: for this long it hears nothing.
  static constexpr std::chrono::milliseconds kRestartTime{300};

  // `wallNow` gives the PC-side calendar time the station clock runs from.
  StationCore(StationState& state, std::function<std::time_t()> wallNow,
              StationOptions options = {});

  // A request that arrives while the station restarts is dropped: no answer, no effect.
  Reply OnRequest(const RequestFrame& request, Clock::time_point now);
  // Restarting after a factory default: whatever the line brings at `now` is lost.
  bool Restarting(Clock::time_point now) const { return now < restartUntil_; }

  // Called after a record, the clock or the firmware changed, so the owner can save.
  std::function<void()> onChanged;

 private:
  Reply Answer(std::uint8_t code, const Bytes& payload) const;
  Reply Handle(const RequestFrame& request, Clock::time_point now);
  // Back to the sample records of the station's family; the logs, certificates and clock
  // stay.
  void FactoryDefault(Clock::time_point now);
  // The station's clock as a clock answer carries it.
  Bytes ClockBlock() const;

  StationState& state_;
  std::function<std::time_t()> wallNow_;
  StationOptions options_;
  std::optional<RequestFrame> last_;
  Clock::time_point lastAt_{};
  Clock::time_point restartUntil_{};
  std::optional<int> pendingWriteTarget_;
};

}  // namespace ql::station
