#include "link/ymodem.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <initializer_list>
#include <system_error>

#include "link/crc16.h"

namespace ql::link {

using namespace ymodem;

namespace ymodem {

std::array<std::uint8_t, kHeaderLength> MakeHeaderData(std::string_view name, std::uint64_t size) {
  std::array<std::uint8_t, kHeaderLength> data{};
  if (name.empty()) return data;
  const std::size_t n = std::min(name.size(), kMaxSentNameLength);
  std::copy_n(name.begin(), n, data.begin());
  // data[n] stays NUL; the size follows it. 110 + 1 + 20 digits always fit in 128.
  char* first = reinterpret_cast<char*>(data.data()) + n + 1;
  std::to_chars(first, reinterpret_cast<char*>(data.data()) + kHeaderLength, size);
  return data;
}

std::vector<std::uint8_t> EncodeBlock(std::uint32_t number, std::span<const std::uint8_t> data) {
  const std::size_t length = number == 0 ? kHeaderLength : kDataLength;
  const std::size_t used = std::min(data.size(), length);
  std::vector<std::uint8_t> block(length + 5, kFiller);
  block[0] = number == 0 ? kSoh : kStx;
  block[1] = static_cast<std::uint8_t>(number & 0xFFu);
  block[2] = static_cast<std::uint8_t>(~block[1]);
  std::copy_n(data.begin(), used, block.begin() + 3);
  const std::uint16_t crc = Crc16({block.data() + 3, length});
  block[3 + length] = static_cast<std::uint8_t>(crc >> 8);
  block[4 + length] = static_cast<std::uint8_t>(crc & 0xFFu);
  return block;
}

int ProgressMaximum(std::uint64_t size) {
  const std::uint64_t value = size / 1024 + (size / 128) % 8;
  return value > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

FileHeader ParseHeader(std::span<const std::uint8_t> data) {
  FileHeader header;
  if (data.size() >= 4 &&
      std::all_of(data.begin(), data.begin() + 4, [](std::uint8_t b) { return b == 0; })) {
    header.kind = FileHeader::Kind::BatchEnd;
    return header;
  }
  auto refuse = [&](std::string reason) {
    header.kind = FileHeader::Kind::Refused;
    header.reason = std::move(reason);
    return header;
  };
  const auto nameEnd = std::find(data.begin(), data.end(), std::uint8_t{0});
  const std::string name(data.begin(), nameEnd);
  if (nameEnd == data.end() || name.size() > kMaxReceivedNameLength) {
    return refuse("file name longer than " + std::to_string(kMaxReceivedNameLength) +
                  " characters");
  }
  header.name = name;
  // A name from the line is a name, never a path, wherever the sink keeps it: no
  // separators (':' is a drive separator on Windows), no parent references.
  if (name.empty()) return refuse("empty file name");
  if (name == "." || name.find("..") != std::string::npos ||
      name.find_first_of("/\\:") != std::string::npos) {
    return refuse("\"" + name + "\" is not a plain file name");
  }
  const auto sizeBegin = nameEnd + 1;
  const auto sizeEnd =
      std::find_if(sizeBegin, data.end(), [](std::uint8_t b) { return b == 0 || b == ' '; });
  const std::string sizeText(sizeBegin, sizeEnd);
  if (sizeText.size() > kMaxSizeTextLength) {
    return refuse("size of \"" + name + "\" longer than " + std::to_string(kMaxSizeTextLength) +
                  " characters");
  }
  std::uint64_t size = 0;
  const auto [end, ec] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
  if (sizeText.empty() || ec != std::errc() || end != sizeText.data() + sizeText.size()) {
    return refuse("size of \"" + name + "\" is not a decimal number");
  }
  header.kind = FileHeader::Kind::File;
  header.size = size;
  return header;
}

}  // namespace ymodem

namespace {

class NullObserver final : public ITransferObserver {
 public:
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void RestartWatchdog() override {}
  void ClearStatusText() override {}
};

NullObserver& Nobody() {
  static NullObserver observer;
  return observer;
}

CYmodem::TimePoint Min(CYmodem::TimePoint a, CYmodem::TimePoint b) {
  return a < b ? a : b;
}

// abortTransfer was set from outside: someone stopped the transfer (a time-out of
// its own returns Timeout before it sets the flag).
Status Stopped() {
  return Status::Error(ErrorKind::Aborted, "the transfer was stopped");
}
Status LineFailed() {
  return Status::Error(ErrorKind::Io, "the line did not take the bytes in time");
}

}  // namespace

CYmodem::CYmodem(TransferStream& input, IByteWriter& output, ITransferObserver* observer)
    : input_(input), output_(output), observer_(observer) {}

bool CYmodem::Write(std::span<const std::uint8_t> bytes) {
  return output_.WriteWithin(bytes, kWriteLimit) == bytes.size();
}

CYmodem::Answer CYmodem::ReadAnswer(TimePoint deadline) {
  std::uint8_t b = 0;
  switch (input_.Take(b, deadline)) {
    case WaitStatus::Timeout:
      return {AnswerKind::Timeout, 0};
    case WaitStatus::Aborted:
      return {AnswerKind::Aborted, 0};
    case WaitStatus::Ready:
      break;
  }
  if (b != kCan) return {AnswerKind::Byte, b};
  // Receivers cancel with two CANs; one alone is a garbled byte and must not end a
  // transfer that a resend would save.
  std::uint8_t next = 0;
  switch (input_.Take(next, Now() + kInterByteLimit)) {
    case WaitStatus::Aborted:
      return {AnswerKind::Aborted, 0};
    case WaitStatus::Timeout:
      return {AnswerKind::Byte, kCan};
    case WaitStatus::Ready:
      break;
  }
  if (next == kCan) return {AnswerKind::Cancelled, 0};
  return {AnswerKind::Byte, next};
}

CYmodem::Answer CYmodem::WaitFor(std::uint8_t wanted, TimePoint deadline) {
  for (;;) {
    const Answer answer = ReadAnswer(deadline);
    if (answer.kind != AnswerKind::Byte || answer.byte == wanted) return answer;
  }
}

std::optional<std::uint8_t> CYmodem::GetByte() {
  std::uint8_t b = 0;
  const WaitStatus status = input_.Take(b, Now() + kByteTimeout);
  if (status == WaitStatus::Timeout) input_.SetAbort();
  if (status != WaitStatus::Ready) return std::nullopt;
  return b;
}

std::optional<std::uint8_t> CYmodem::WaitForByte(std::uint8_t expected) {
  const TimePoint deadline = Now() + kByteTimeout;
  for (;;) {
    std::uint8_t b = 0;
    const WaitStatus status = input_.Take(b, deadline);
    if (status == WaitStatus::Timeout) input_.SetAbort();
    if (status != WaitStatus::Ready) return std::nullopt;
    if (b == expected) return b;
  }
}

Status CYmodem::SendUntilAcknowledged(std::span<const std::uint8_t> block, TimePoint phaseEnd,
                                      const char* what) {
  for (;;) {
    if (input_.AbortRequested()) return Stopped();
    if (Now() >= phaseEnd) {
      return Status::Error(ErrorKind::Timeout, std::string(what) + " was not acknowledged");
    }
    // Whatever came before this send answers an earlier one.
    input_.Purge();
    if (!Write(block)) return LineFailed();
    const Answer answer = ReadAnswer(std::min(Now() + kByteTimeout, phaseEnd));
    switch (answer.kind) {
      case AnswerKind::Byte:
        if (answer.byte == kAck) return Status::Ok();
        break;  // NAK, a request or a garbled answer: send it again
      case AnswerKind::Timeout:
        return Status::Error(ErrorKind::Timeout, std::string("no answer to ") + what);
      case AnswerKind::Aborted:
        return Stopped();
      case AnswerKind::Cancelled:
        return Status::Error(ErrorKind::Protocol, "the receiver cancelled the transfer");
    }
  }
}

SendOutcome CYmodem::SendFile(std::span<const std::uint8_t> data, std::string_view name,
                              SendStart start) {
  SendOutcome out;
  const std::uint8_t cancel[] = {kCan, kCan};
  auto cancelWith = [&](Status why) {
    Write(cancel);
    out.status = std::move(why);
    return out;
  };
  // Before the data phase a failure is answered with CAN CAN and a result of 0.
  auto failBeforeData = [&](const Answer& answer, const std::string& waitingFor) {
    switch (answer.kind) {
      case AnswerKind::Timeout:
        input_.SetAbort();
        return cancelWith(Status::Error(ErrorKind::Timeout, "no " + waitingFor + " within 10 s"));
      case AnswerKind::Cancelled:
        out.status = Status::Error(ErrorKind::Protocol, "the receiver cancelled the transfer");
        return out;
      case AnswerKind::Aborted:
      case AnswerKind::Byte:
        break;
    }
    return cancelWith(Stopped());
  };
  if (name.empty()) {
    return cancelWith(Status::Error(ErrorKind::BadArgument, "a file to send needs a name"));
  }

  Answer answer;
  if (start == SendStart::OnRequest) {
    answer = WaitFor(kCrcRequest, Now() + kByteTimeout);
    if (answer.kind != AnswerKind::Byte) {
      return failBeforeData(answer, "request ('C') from the receiver");
    }
  }

  const std::vector<std::uint8_t> header = EncodeBlock(0, MakeHeaderData(name, data.size()));
  for (int sends = 1;; ++sends) {
    input_.Purge();
    if (!Write(header)) {
      out.status = LineFailed();
      return out;
    }
    answer = ReadAnswer(Now() + kByteTimeout);
    if (answer.kind != AnswerKind::Byte) return failBeforeData(answer, "answer to the file header");
    if (answer.byte == kAck) break;
    // NAK or 'C': the header did not arrive intact. Anything else: its ACK was garbled,
    // and the receiver answers a repeated header with ACK again.
    if (sends == kMaxHeaderSends) {
      return cancelWith(Status::Error(ErrorKind::Protocol, "the receiver refused the file header"));
    }
  }
  answer = WaitFor(kCrcRequest, Now() + kByteTimeout);
  if (answer.kind != AnswerKind::Byte) {
    return failBeforeData(answer, "request ('C') for the data after the header");
  }

  // From here on the caller learns of a failure through abortTransfer as well.
  out.result = data.size();
  auto failAfterData = [&](Status why) {
    input_.SetAbort();
    out.status = std::move(why);
    return out;
  };
  const TimePoint dataEnd = Now() + kDataPhaseLimit;
  std::uint32_t number = 1;
  std::size_t position = 0;
  while (position < data.size()) {
    if (input_.AbortRequested()) return failAfterData(Stopped());
    if (Now() >= dataEnd) {
      return failAfterData(Status::Error(ErrorKind::Timeout, "the data took longer than 300 s"));
    }
    const std::size_t n = std::min(kDataLength, data.size() - position);
    const std::vector<std::uint8_t> block = EncodeBlock(number, data.subspan(position, n));
    input_.Purge();
    if (!Write(block)) return failAfterData(LineFailed());
    answer = ReadAnswer(Now() + kByteTimeout);
    switch (answer.kind) {
      case AnswerKind::Byte:
        if (answer.byte == kAck) {
          ++number;
          position += n;
        }
        break;  // anything else: the same block again
      case AnswerKind::Timeout:
        return failAfterData(Status::Error(
            ErrorKind::Timeout, "no answer to block " + std::to_string(number) + " within 10 s"));
      case AnswerKind::Aborted:
        return failAfterData(Stopped());
      case AnswerKind::Cancelled:
        return failAfterData(Status::Error(
            ErrorKind::Protocol, "the receiver cancelled at block " + std::to_string(number)));
    }
  }

  const std::uint8_t eot[] = {kEot};
  if (Status s = SendUntilAcknowledged(eot, Now() + kPhaseLimit, "the end of file"); !s.ok()) {
    return failAfterData(std::move(s));
  }
  out.delivered = true;
  // A sender that starts by itself also ends the batch by itself; a standard receiver
  // asks for the next header first.
  answer = start == SendStart::Unprompted ? Answer{AnswerKind::Byte, kCrcRequest}
                                          : WaitFor(kCrcRequest, Now() + kByteTimeout);
  switch (answer.kind) {
    case AnswerKind::Byte:
      break;
    case AnswerKind::Timeout:
      return failAfterData(
          Status::Error(ErrorKind::Timeout, "no request ('C') for the end of the batch"));
    case AnswerKind::Aborted:
      return failAfterData(Stopped());
    case AnswerKind::Cancelled:
      return failAfterData(
          Status::Error(ErrorKind::Protocol, "the receiver cancelled the transfer"));
  }
  const std::vector<std::uint8_t> batchEnd = EncodeBlock(0, MakeHeaderData({}, 0));
  if (Status s = SendUntilAcknowledged(batchEnd, Now() + kPhaseLimit, "the end of the batch");
      !s.ok()) {
    return failAfterData(std::move(s));
  }
  out.status = Status::Ok();
  return out;
}

// One run of Receive: the batch state, the file being written and the outcome.
class YmodemReceiver {
 public:
  using TimePoint = CYmodem::TimePoint;

  YmodemReceiver(CYmodem& engine, IFileSink& sink, ReceiverRole role)
      : engine_(engine),
        input_(engine.input_),
        observer_(engine.observer_ != nullptr ? *engine.observer_ : Nobody()),
        sink_(sink),
        role_(role) {}
  ~YmodemReceiver() { DiscardFile(); }
  YmodemReceiver(const YmodemReceiver&) = delete;
  YmodemReceiver& operator=(const YmodemReceiver&) = delete;

  ReceiveOutcome Run();

 private:
  enum class Kind { Block, EndOfFile, Cancel, Garbage, Timeout, Aborted, LineFailed };
  struct Packet {
    Packet() = default;
    Packet(Kind k) : kind(k) {}  // NOLINT: a bare kind is a packet without content
    Kind kind = Kind::Garbage;
    std::uint8_t number = 0;
    bool complementOk = false;
    bool crcOk = false;
    std::span<const std::uint8_t> data;
  };
  enum class Step { Continue, Done };

  TimePoint Now() const { return input_.Clock().Now(); }
  // Waits for the first byte of a packet, asking the sender to go on after silence.
  Packet WaitForPacket();
  Packet ReadRest(std::uint8_t first);
  WaitStatus ReadExactly(std::span<std::uint8_t> out);
  void DrainUntilQuiet();
  void LingerAfterBatchEnd();

  // An answer to a packet: stale input goes first, it was sent before the sender could
  // see this answer.
  bool Answer(std::initializer_list<std::uint8_t> bytes);
  Step Nak();
  Step Fail(Status why);
  Step OnBlock(const Packet& packet);
  Step OnHeader(const Packet& packet);
  Step OnData(const Packet& packet);
  Step OnEndOfFile();

  // A failed file: the sender is told with CAN CAN, what was written is dropped.
  Step Cancel(Status why);
  void DiscardFile();

  CYmodem& engine_;
  TransferStream& input_;
  ITransferObserver& observer_;
  IFileSink& sink_;

  const ReceiverRole role_;
  bool started_ = false;                              // the first wait for a header has begun
  std::array<std::uint8_t, 4 + kDataLength> body_{};  // number, complement, data, CRC
  std::uint32_t expected_ = 0;                        // block wanted next; 0: a header
  int badComplements_ = 0;
  int naks_ = 0;

  bool fileOpen_ = false;  // the sink holds a begun file
  std::string name_;
  std::uint64_t declared_ = 0;
  std::uint64_t remaining_ = 0;
  std::uint64_t total_ = 0;

  ReceiveOutcome outcome_;
};

ReceiveOutcome YmodemReceiver::Run() {
  if (Status s = sink_.Prepare(); !s.ok()) {
    Fail(std::move(s));
    return outcome_;
  }
  for (;;) {
    const Packet packet = WaitForPacket();
    Step step = Step::Continue;
    switch (packet.kind) {
      case Kind::Aborted:
        step = Fail(Stopped());
        break;
      case Kind::LineFailed:
        step = Fail(LineFailed());
        break;
      case Kind::Timeout:
        input_.SetAbort();
        step = Fail(Status::Error(ErrorKind::Timeout, "nothing from the sender for 10 s"));
        break;
      case Kind::Cancel:
        step = Fail(Status::Error(ErrorKind::Protocol, "the sender cancelled the transfer"));
        break;
      case Kind::Garbage:
        DrainUntilQuiet();
        if (expected_ == 0) {
          // Waiting for a header a NAK would make a standard sender fall back to
          // checksums; 'C' asks for the header with CRC.
          if (!Answer({kCrcRequest})) {
            step = Fail(LineFailed());
          } else if (++naks_ >= kMaxNaks) {
            step = Fail(Status::Error(ErrorKind::Protocol, "no valid header after 30 tries"));
          }
        } else {
          step = Nak();
        }
        break;
      case Kind::EndOfFile:
        step = OnEndOfFile();
        break;
      case Kind::Block:
        step = OnBlock(packet);
        break;
    }
    if (step == Step::Done) return outcome_;
  }
}

YmodemReceiver::Packet YmodemReceiver::WaitForPacket() {
  const TimePoint start = Now();
  const TimePoint deadline = start + kByteTimeout;
  // Waiting for a header: 'C' after each second of silence, so a standard sender starts
  // and a sender that starts by itself never sees one first. Waiting for data: one
  // reminder, so a sender that lost our last answer sends again before the time-out.
  const bool header = expected_ == 0;
  const std::uint8_t prompt = expected_ <= 1 ? kCrcRequest : kNak;
  TimePoint nextPrompt = start + (header ? IClock::Duration(kHeaderPromptInterval)
                                         : IClock::Duration(kDataPromptAfter));
  // A station asks for the first header at once.
  if (header && !started_ && role_ == ReceiverRole::Station) nextPrompt = start;
  started_ = true;
  bool prompting = true;
  for (;;) {
    std::uint8_t first = 0;
    const WaitStatus status = input_.Take(first, prompting ? Min(nextPrompt, deadline) : deadline);
    if (status == WaitStatus::Ready) return ReadRest(first);
    if (status == WaitStatus::Aborted) return Kind::Aborted;
    const TimePoint now = Now();
    if (now >= deadline) return Kind::Timeout;
    if (prompting && now >= nextPrompt) {
      if (!engine_.WriteByte(prompt)) return Kind::LineFailed;
      nextPrompt += kHeaderPromptInterval;
      prompting = header;
    }
  }
}

WaitStatus YmodemReceiver::ReadExactly(std::span<std::uint8_t> out) {
  std::size_t filled = 0;
  while (filled < out.size()) {
    std::size_t taken = 0;
    const WaitStatus status = input_.ReadSome(out.subspan(filled), taken, Now() + kInterByteLimit);
    if (status != WaitStatus::Ready) return status;
    filled += taken;
  }
  return WaitStatus::Ready;
}

YmodemReceiver::Packet YmodemReceiver::ReadRest(std::uint8_t first) {
  Packet packet;
  switch (first) {
    case kSoh:
    case kStx: {
      const std::size_t length = first == kSoh ? kHeaderLength : kDataLength;
      const WaitStatus status = ReadExactly({body_.data(), length + 4});
      if (status == WaitStatus::Aborted) return Kind::Aborted;
      if (status == WaitStatus::Timeout) return Kind::Garbage;  // a block cut short
      packet.kind = Kind::Block;
      packet.number = body_[0];
      packet.complementOk = body_[1] == static_cast<std::uint8_t>(~body_[0]);
      packet.data = {body_.data() + 2, length};
      const std::uint16_t crc =
          static_cast<std::uint16_t>((body_[2 + length] << 8) | body_[3 + length]);
      packet.crcOk = Crc16(packet.data) == crc;
      return packet;
    }
    case kEot:
      return Kind::EndOfFile;
    case kCan: {
      std::uint8_t next = 0;
      const WaitStatus status = input_.Take(next, Now() + kInterByteLimit);
      if (status == WaitStatus::Aborted) return Kind::Aborted;
      // A lone CAN is line noise; senders cancel with two.
      return status == WaitStatus::Ready && next == kCan ? Kind::Cancel : Kind::Garbage;
    }
    default:
      return Kind::Garbage;
  }
}

void YmodemReceiver::DrainUntilQuiet() {
  // Throws away the rest of a garbled packet, so that its bytes are not taken for the
  // start of the next one. Bounded, in case the line never goes quiet.
  const TimePoint limit = Now() + kByteTimeout;
  std::array<std::uint8_t, 256> scratch{};
  for (;;) {
    std::size_t taken = 0;
    if (input_.ReadSome(scratch, taken, Min(Now() + kQuietGap, limit)) != WaitStatus::Ready) {
      return;
    }
  }
}

void YmodemReceiver::LingerAfterBatchEnd() {
  // If our last ACK was garbled the sender repeats the batch end at once; answer it for a
  // moment instead of leaving the sender to time out on a finished transfer.
  const TimePoint limit = Now() + kByteTimeout;
  for (;;) {
    std::uint8_t first = 0;
    if (input_.Take(first, Min(Now() + kQuietGap, limit)) != WaitStatus::Ready) return;
    const Packet packet = ReadRest(first);
    if (packet.kind == Kind::Aborted) return;
    if (packet.kind == Kind::Block && packet.complementOk && packet.crcOk && packet.number == 0 &&
        ParseHeader(packet.data).kind == FileHeader::Kind::BatchEnd) {
      if (!Answer({kAck})) return;
    }
  }
}

bool YmodemReceiver::Answer(std::initializer_list<std::uint8_t> bytes) {
  input_.Purge();
  return engine_.Write({bytes.begin(), bytes.size()});
}

YmodemReceiver::Step YmodemReceiver::Nak() {
  if (!Answer({kNak})) return Fail(LineFailed());
  if (++naks_ < kMaxNaks) return Step::Continue;
  observer_.ClearStatusText();
  return Fail(Status::Error(ErrorKind::Protocol, "30 blocks in a row were bad"));
}

YmodemReceiver::Step YmodemReceiver::Fail(Status why) {
  DiscardFile();
  outcome_.total = 0;
  outcome_.status = std::move(why);
  return Step::Done;
}

YmodemReceiver::Step YmodemReceiver::OnBlock(const Packet& packet) {
  if (!packet.complementOk) {
    if (expected_ == 0) {
      if (!Answer({kCrcRequest})) return Fail(LineFailed());
      if (++naks_ < kMaxNaks) return Step::Continue;
      return Fail(Status::Error(ErrorKind::Protocol, "no valid header after 30 tries"));
    }
    if (++badComplements_ >= kMaxBadComplements) {
      engine_.Write(std::array<std::uint8_t, 2>{kCan, kCan});
      return Fail(Status::Error(ErrorKind::Protocol, "5 blocks in a row had a bad block number"));
    }
    return Nak();
  }
  badComplements_ = 0;
  if (!packet.crcOk) return Nak();
  return expected_ == 0 ? OnHeader(packet) : OnData(packet);
}

YmodemReceiver::Step YmodemReceiver::OnHeader(const Packet& packet) {
  if (packet.number != 0) return Nak();
  const FileHeader header = ParseHeader(packet.data);
  switch (header.kind) {
    case FileHeader::Kind::BatchEnd:
      if (!Answer({kAck})) return Fail(LineFailed());
      LingerAfterBatchEnd();
      observer_.SetProgressPosition(0);
      observer_.ClearStatusText();
      outcome_.total = static_cast<std::size_t>(total_);
      outcome_.status = Status::Ok();
      return Step::Done;
    case FileHeader::Kind::Refused:
      Answer({kNak});
      return Fail(Status::Error(ErrorKind::Protocol, "file refused: " + header.reason));
    case FileHeader::Kind::File:
      break;
  }
  DiscardFile();
  if (header.size > kMaxReceivedFileSize) {
    return Cancel(
        Status::Error(ErrorKind::Protocol, "file refused: " + header.name + " declares " +
                                               std::to_string(header.size) +
                                               " bytes, more than the largest " + "file taken (" +
                                               std::to_string(kMaxReceivedFileSize) + " bytes)"));
  }
  if (Status s = sink_.BeginFile(header.name, header.size); !s.ok()) return Cancel(std::move(s));
  fileOpen_ = true;
  name_ = header.name;
  declared_ = header.size;
  remaining_ = header.size;
  if (!Answer({kAck, kCrcRequest})) return Fail(LineFailed());
  observer_.RestartWatchdog();
  observer_.SetProgressRange(0, ProgressMaximum(header.size));
  observer_.SetProgressPosition(0);
  expected_ = 1;
  naks_ = 0;
  observer_.SetProgressPosition(1);
  observer_.RestartWatchdog();
  return Step::Continue;
}

YmodemReceiver::Step YmodemReceiver::OnData(const Packet& packet) {
  const auto wanted = static_cast<std::uint8_t>(expected_ & 0xFFu);
  const auto previous = static_cast<std::uint8_t>((expected_ - 1) & 0xFFu);
  if (packet.number == previous) {
    // The sender did not get our ACK and sent the block again: it is already stored.
    // Acknowledge it again (with the request for data again after a header); a NAK would
    // make the sender repeat it for ever.
    const bool ok = expected_ == 1 ? Answer({kAck, kCrcRequest}) : Answer({kAck});
    return ok ? Step::Continue : Fail(LineFailed());
  }
  if (packet.number != wanted) return Nak();
  if (remaining_ == 0) {
    // Every declared byte is stored: a sender that goes on would keep the receive, and
    // whoever watches it, alive for ever.
    return Cancel(Status::Error(ErrorKind::Protocol, "the sender went on past the end of " + name_ +
                                                         " (" + std::to_string(declared_) +
                                                         " bytes)"));
  }
  const std::size_t n =
      static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, packet.data.size()));
  if (n > 0) {
    if (Status s = sink_.Write(packet.data.first(n)); !s.ok()) return Cancel(std::move(s));
  }
  if (!Answer({kAck})) return Fail(LineFailed());
  remaining_ -= n;
  total_ += n;
  naks_ = 0;
  ++expected_;
  observer_.SetProgressPosition(
      expected_ > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(expected_));
  observer_.RestartWatchdog();
  return Step::Continue;
}

YmodemReceiver::Step YmodemReceiver::OnEndOfFile() {
  if (expected_ == 0) {
    // A repeat of the end of file just acknowledged (our ACK was garbled): no file is open.
    return Answer({kAck}) ? Step::Continue : Fail(LineFailed());
  }
  if (remaining_ > 0) {
    // Not the end yet: a garbled block start, or a sender that stops short. Either way
    // the file is not complete, so it is not stored.
    DrainUntilQuiet();
    return Nak();
  }
  fileOpen_ = false;  // Commit closes the file, whether it succeeds or not
  if (Status s = sink_.Commit(); !s.ok()) return Cancel(std::move(s));
  outcome_.files.push_back(name_);
  const bool request = role_ == ReceiverRole::Station;
  if (!(request ? Answer({kAck, kCrcRequest}) : Answer({kAck}))) return Fail(LineFailed());
  observer_.ClearStatusText();
  expected_ = 0;
  naks_ = 0;
  return Step::Continue;
}

YmodemReceiver::Step YmodemReceiver::Cancel(Status why) {
  engine_.Write(std::array<std::uint8_t, 2>{kCan, kCan});
  return Fail(std::move(why));
}

void YmodemReceiver::DiscardFile() {
  if (fileOpen_) sink_.Abort();
  fileOpen_ = false;
}

ReceiveOutcome CYmodem::Receive(IFileSink& sink, ReceiverRole role) {
  YmodemReceiver receiver(*this, sink, role);
  return receiver.Run();
}

}  // namespace ql::link
