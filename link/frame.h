#pragma once
// Command frames: STX, command, length (2 bytes), payload, CRC high, CRC low, ETX.
//
// Requests carry their length low byte first; answers are read high byte first.
// The CRC covers the command byte, both length bytes as they stand on the wire and
// the payload. Everything here is pure and single-threaded (the UI thread).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ql::link {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::size_t kFrameBufferSize = 4096;
inline constexpr std::size_t kFrameOverhead = 7;
// A request payload must leave room for the frame overhead in the transmit buffer.
inline constexpr std::size_t kMaxRequestPayload = kFrameBufferSize - kFrameOverhead;
// An answer declaring this length or more is dropped.
inline constexpr std::size_t kMaxResponsePayload = 4096;
inline constexpr std::size_t kMonitorLineSize = 256;

using TransmitBuffer = std::array<std::uint8_t, kFrameBufferSize>;

// Writes the request frame for `command` and `payload` into `out` and returns its
// length (payload + 7), or 0 when the payload does not fit the transmit buffer.
std::size_t BuildFrame(std::uint8_t command, std::span<const std::uint8_t> payload,
                       TransmitBuffer& out);

// The one frame record being received; each new frame overwrites it.
struct ReceivedFrame {
  std::uint16_t crc = 0;
  std::uint8_t command = 0;
  std::uint16_t length = 0;
  std::array<std::uint8_t, kMaxResponsePayload> payload{};
  std::uint16_t count = 0;
  bool complete = false;
  std::array<std::uint8_t, 3 + kMaxResponsePayload> crcInput{};

  std::span<const std::uint8_t> Payload() const { return {payload.data(), length}; }
};

// Restarts the 500 ms inter-byte gap timer. The parser calls it for every byte;
// the owner calls FrameParser::OnGapElapsed when it fires.
class IGapTimer {
 public:
  virtual ~IGapTimer() = default;
  virtual void RestartGapTimer() = 0;
};

enum class ParserState { Idle, Command, LengthHigh, LengthLow, Payload, CrcHigh, CrcLow, Etx };

// Rebuilds received bytes into checked frames. Allocates nothing.
class FrameParser {
 public:
  struct FeedResult {
    bool frameComplete = false;     // a frame passed its CRC and ended with ETX
    bool monitorLineReady = false;  // the ETX position was reached: the line may be logged
  };

  explicit FrameParser(IGapTimer& gapTimer) : gapTimer_(gapTimer) {}

  FeedResult Feed(std::uint8_t b);
  // The gap timer fired: the next byte is parsed from Idle.
  void OnGapElapsed() { resetPending_ = true; }

  ParserState State() const { return state_; }
  ReceivedFrame& Frame() { return frame_; }
  const ReceivedFrame& Frame() const { return frame_; }
  // Raw bytes of the frame being received, for the traffic monitor.
  std::span<const std::uint8_t> MonitorLine() const { return {monitor_.data(), monitorCount_}; }

 private:
  void AppendMonitor(std::uint8_t b);

  IGapTimer& gapTimer_;
  ParserState state_ = ParserState::Idle;
  bool resetPending_ = false;
  ReceivedFrame frame_;
  std::array<std::uint8_t, kMonitorLineSize> monitor_{};
  std::size_t monitorCount_ = 0;
};

}  // namespace ql::link
