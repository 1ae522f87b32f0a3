// An arbitrary sender on the other end of a YMODEM receive, in both roles, into memory.
// The input is a series of chunks (a length byte, then that many bytes): the first is on
// the line when the receive starts, each next one arrives when the receiver answers, the
// way a sender reacts. When the chunks run out the line goes silent and every wait times
// out at once on a clock that jumps to the deadline.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/clock.h"
#include "link/transfer_stream.h"
#include "link/ymodem.h"
#include "tests/ymodem/memory_sink.h"

namespace {

using ql::link::IClock;

class JumpingClock final : public IClock {
 public:
  TimePoint Now() const override { return now_; }
  void WaitUntil(std::condition_variable&, std::unique_lock<std::mutex>&,
                 TimePoint deadline) override {
    if (deadline > now_) now_ = deadline;
  }
  void AddClient(ql::link::IClockClient&) override {}
  void RemoveClient(ql::link::IClockClient&) override {}

 private:
  mutable TimePoint now_{};
};

// The sender: each answer of the receiver lets the next chunk onto the line.
class Sender final : public ql::link::IByteWriter {
 public:
  Sender(ql::link::TransferStream& line, std::span<const std::uint8_t> script)
      : line_(line), script_(script) {}
  void SendNextChunk() {
    if (script_.empty()) return;
    const std::size_t n = std::min<std::size_t>(script_[0], script_.size() - 1);
    line_.Feed(script_.subspan(1, n));
    script_ = script_.subspan(1 + n);
  }
  std::size_t WriteWithin(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override {
    SendNextChunk();
    return bytes.size();
  }

 private:
  ql::link::TransferStream& line_;
  std::span<const std::uint8_t> script_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the role; the rest is the sender's script.
  const auto role =
      (data[0] & 1) != 0 ? ql::link::ReceiverRole::Station : ql::link::ReceiverRole::Tool;
  JumpingClock clock;
  ql::link::TransferStream line(clock);
  Sender sender(line, {data + 1, size - 1});
  ql::link::testsupport::MemorySink sink([](const std::string&) { std::abort(); });
  sink.maxFileSize = 1u << 20;
  ql::link::CYmodem ymodem(line, sender);
  sender.SendNextChunk();
  const ql::link::ReceiveOutcome outcome = ymodem.Receive(sink, role);
  // A failed receive hands over nothing; a good one names what it kept.
  if (!outcome.status.ok() && outcome.total != 0) std::abort();
  return 0;
}
