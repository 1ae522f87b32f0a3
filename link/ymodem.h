#pragma once
// YMODEM batch transfers on the station line: one side sends a file with SendFile, the
// other takes a batch with Receive and hands its files to an IFileSink. Blocks are SOH
// (128 bytes) or STX (1024 bytes) with the block number, its complement and a
// CRC-16/XMODEM of the data; block 0 carries the file name and size; an all-zero block 0
// ends the batch.
//
// Threads: a CYmodem runs one transfer at a time on the calling thread (the transfer
// worker). Its input is a TransferStream fed by the watch thread; its output is an
// IByteWriter that nobody else writes to during the transfer. The observer and the file
// sink are called on the transfer thread.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/byte_writer.h"
#include "link/file_sink.h"
#include "link/status.h"
#include "link/transfer_stream.h"

namespace ql::link {

namespace ymodem {

inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kCan = 0x18;
inline constexpr std::uint8_t kCrcRequest = 'C';

inline constexpr std::size_t kHeaderLength = 128;
inline constexpr std::size_t kDataLength = 1024;
// The sender copies at most this many characters of a name into block 0.
inline constexpr std::size_t kMaxSentNameLength = 110;
// What the receiver's name and size buffers hold; longer ones are refused.
inline constexpr std::size_t kMaxReceivedNameLength = 63;
inline constexpr std::size_t kMaxSizeTextLength = 15;
// The largest file the receiver takes. Log files and firmware images are far smaller; a
// header declaring more is cancelled, so a sender cannot keep a receive going for ever.
inline constexpr std::uint64_t kMaxReceivedFileSize = std::uint64_t{64} << 20;
// Fills the last data block after the file's end; the receiver cuts it off by the size.
inline constexpr std::uint8_t kFiller = 0x1A;

inline constexpr std::chrono::seconds kByteTimeout{10};      // one wait for an answer
inline constexpr std::chrono::seconds kDataPhaseLimit{300};  // all data blocks of a send
inline constexpr std::chrono::seconds kPhaseLimit{10};       // end of file, end of batch
// The receiver asks for a header ('C') after this much silence, and again after each
// further interval, until kByteTimeout.
inline constexpr std::chrono::seconds kHeaderPromptInterval{1};
// The receiver asks once more for a data block after this much silence, so a sender that
// lost the answer to its last block sends it again before the time-out.
inline constexpr std::chrono::seconds kDataPromptAfter{5};
inline constexpr std::chrono::seconds kInterByteLimit{1};  // between bytes of one block
// Line silence that ends a resynchronisation after garbage, and the receiver's lingering
// after the batch end.
inline constexpr std::chrono::milliseconds kQuietGap{200};
inline constexpr std::chrono::milliseconds kWriteLimit{10000};

inline constexpr int kMaxBadComplements = 5;  // consecutive, during a file: CAN CAN
inline constexpr int kMaxNaks = 30;           // consecutive: the receive fails
inline constexpr int kMaxHeaderSends = 10;

// The 128 data bytes of block 0: at most kMaxSentNameLength characters of `name`, a NUL,
// the size in decimal, NUL bytes to the end. An empty name gives the all-zero batch end.
std::array<std::uint8_t, kHeaderLength> MakeHeaderData(std::string_view name, std::uint64_t size);

// A block as it goes on the wire: header byte, number (low 8 bits), complement, data, CRC
// high, CRC low. Block 0 is a 128-byte SOH block, every other block a 1024-byte STX block;
// `data` (at most that long) is followed by kFiller.
std::vector<std::uint8_t> EncodeBlock(std::uint32_t number, std::span<const std::uint8_t> data);

// The receiver's progress maximum for a file of `size` bytes: size / 1024 plus
// (size / 128) mod 8. Clamped to int.
int ProgressMaximum(std::uint64_t size);

// Block 0 as the receiver reads it. A size field is the digits after the name's NUL, up to
// the next NUL or space (standard senders append a date and mode after a space).
struct FileHeader {
  enum class Kind { File, BatchEnd, Refused };
  Kind kind = Kind::Refused;
  std::string name;
  std::uint64_t size = 0;
  std::string reason;  // why a header was refused
};
FileHeader ParseHeader(std::span<const std::uint8_t> data);

}  // namespace ymodem

// What a transfer reports while it runs, on the transfer thread. Whoever observes decides
// what to show or do.
class ITransferObserver {
 public:
  virtual ~ITransferObserver() = default;
  virtual void SetProgressRange(int low, int high) = 0;
  virtual void SetProgressPosition(int position) = 0;
  // A block arrived: the transfer is alive, a watchdog on it may start over.
  virtual void RestartWatchdog() = 0;
  // A file or the transfer ended: any status text shown for it is out of date.
  virtual void ClearStatusText() = 0;
};

struct SendOutcome {
  // What the firmware result message carries: the size once the data phase has run, 0
  // when the transfer was cancelled before it.
  std::size_t result = 0;
  // The receiver acknowledged the end of the file: every byte arrived.
  bool delivered = false;
  // Ok only when the whole batch was acknowledged; otherwise why not. Every failure after
  // the data phase started also leaves abortTransfer set.
  Status status;
};

struct ReceiveOutcome {
  // Bytes handed to the sink for the received files; 0 when the receive failed.
  std::size_t total = 0;
  // Names of the files the sink committed, in order; these stay after a failure.
  std::vector<std::string> files;
  Status status;
};

// How a send begins and ends: on the receiver's 'C' (for the header, and for the batch
// end after the end of file), as standard senders do; or without waiting for it, as a
// station sending its logs does. The receiver prompts with 'C' only after a silence, so
// both meet.
enum class SendStart { OnRequest, Unprompted };

// Who receives. The tool waits for the station's header and asks with 'C' only after a
// silence, and answers the end of a file with ACK alone. A station receiving firmware asks
// with 'C' at once and answers the end of a file with ACK and 'C'.
enum class ReceiverRole { Tool, Station };

class CYmodem {
 public:
  using TimePoint = TransferStream::TimePoint;

  // `input`, `output` and `observer` (may be null) must outlive the engine.
  CYmodem(TransferStream& input, IByteWriter& output, ITransferObserver* observer = nullptr);
  CYmodem(const CYmodem&) = delete;
  CYmodem& operator=(const CYmodem&) = delete;

  // Sends one file as a batch of one: waits up to kByteTimeout for the receiver's 'C'
  // (one is enough; the caller need not wait for it first), then header, data, end of
  // file and batch end. `data` must stay valid during the call.
  SendOutcome SendFile(std::span<const std::uint8_t> data, std::string_view name,
                       SendStart start = SendStart::OnRequest);

  // Receives one batch into `sink`. Waits for the first header itself: the sender's
  // header is taken at once, and after a second of silence (and each further second) a
  // 'C' asks a standard sender to start. A name that is not a plain file name is refused
  // with NAK and ends the receive. Each file goes to the sink under the sender's name
  // and is committed at its end; a sink that refuses or fails a file ends the receive
  // with the sink's status, the sender told with CAN CAN, and the file aborted. A header
  // declaring more than kMaxReceivedFileSize, and a new data block after the declared
  // size has arrived, are cancelled the same way (Protocol). `sink` must stay valid
  // during the call.
  ReceiveOutcome Receive(IFileSink& sink, ReceiverRole role = ReceiverRole::Tool);

  // The next received byte within kByteTimeout; nothing on time-out (which sets
  // abortTransfer) or while abortTransfer is set.
  std::optional<std::uint8_t> GetByte();
  // Takes bytes until `expected` within kByteTimeout; nothing on time-out (which sets
  // abortTransfer) or abort.
  std::optional<std::uint8_t> WaitForByte(std::uint8_t expected);

 private:
  friend class YmodemReceiver;

  enum class AnswerKind { Byte, Cancelled, Timeout, Aborted };
  struct Answer {
    AnswerKind kind = AnswerKind::Timeout;
    std::uint8_t byte = 0;
  };

  TimePoint Now() const { return input_.Clock().Now(); }
  bool Write(std::span<const std::uint8_t> bytes);
  bool WriteByte(std::uint8_t byte) { return Write({&byte, 1}); }
  // The next answer byte; two CANs in a row are a cancel, a lone CAN is line noise.
  Answer ReadAnswer(TimePoint deadline);
  // Skips bytes until `wanted` arrives.
  Answer WaitFor(std::uint8_t wanted, TimePoint deadline);
  // Sends `block` until it is acknowledged; purges stale input before each send.
  Status SendUntilAcknowledged(std::span<const std::uint8_t> block, TimePoint phaseEnd,
                               const char* what);

  TransferStream& input_;
  IByteWriter& output_;
  ITransferObserver* observer_;
};

}  // namespace ql::link
