// Win32 serial port: a COM port opened exclusively, blocking I/O with COMMTIMEOUTS for the
// 10 ms first-byte limit, and a wait that watches the driver's input count.
//
// Why not overlapped I/O: under wine an overlapped read on a COM port backed by a
// pseudo-terminal never completes. Why not a blocking ReadFile in the wait: on Windows
// synchronous calls on one handle run one after the other, so a read parked in the driver
// would hold up the pacer's writes. The wait therefore asks the driver how many bytes are
// waiting, sleeping on the wake event between looks, and reads only what is there.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "link/serial_port.h"

namespace ql::link {
namespace {

std::string SystemText(DWORD error) {
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n > 0 ? std::string(text, n) : "error " + std::to_string(error);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' '))
    message.pop_back();
  return message;
}

// "COM5" and "\\.\COM5" both name the port; the device namespace form also reaches
// COM10 and above.
std::string DevicePath(const std::string& path) {
  if (path.rfind("\\\\.\\", 0) == 0) return path;
  return "\\\\.\\" + path;
}

BYTE ParityByte(Parity parity) {
  switch (parity) {
    case Parity::Odd:
      return ODDPARITY;
    case Parity::Even:
      return EVENPARITY;
    case Parity::None:
      break;
  }
  return NOPARITY;
}

class Win32SerialPort final : public ISerialPort {
 public:
  Win32SerialPort() : wake_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Win32SerialPort() override {
    Close();
    if (wake_ != nullptr) ::CloseHandle(wake_);
  }

  Status Open(const std::string& path, const LineSettings& line) override {
    Close();
    if (wake_ == nullptr)
      return Status::Error(ErrorKind::Io, "wake event: " + SystemText(::GetLastError()));
    if (line.byteSize < 5 || line.byteSize > 8 || line.baudRate == 0) {
      return Status::Error(ErrorKind::BadArgument, "unsupported line settings");
    }
    // No sharing: a second open of the port, by us or any other program, fails.
    HANDLE h = ::CreateFileA(DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      // A port another program holds answers "access denied".
      const ErrorKind kind = err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION
                                 ? ErrorKind::Busy
                                 : ErrorKind::Io;
      const std::string why = kind == ErrorKind::Busy ? path + " is in use by another program"
                                                      : path + ": " + SystemText(err);
      return Status::Error(kind, why);
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb)) {
      const DWORD err = ::GetLastError();
      ::CloseHandle(h);
      return Status::Error(ErrorKind::Io, path + " is not a serial device: " + SystemText(err));
    }
    // Raw bytes both ways, no flow control of either kind: set every field, whatever a
    // previous program left.
    dcb.BaudRate = line.baudRate;
    dcb.ByteSize = line.byteSize;
    dcb.Parity = ParityByte(line.parity);
    dcb.StopBits = line.stopBits == StopBits::Two ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = line.parity != Parity::None ? TRUE : FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    // ReadFile returns at once with what is waiting, else waits up to 10 ms for a first
    // byte; writes are bounded by the caller's limit instead.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kFirstByteTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteSliceMs;
    if (!::SetCommState(h, &dcb) || !::SetCommTimeouts(h, &timeouts)) {
      const DWORD err = ::GetLastError();
      ::CloseHandle(h);
      return Status::Error(ErrorKind::Io, path + ": line settings refused: " + SystemText(err));
    }
    ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    ::ResetEvent(wake_);
    handle_ = h;
    return Status::Ok();
  }

  void Close() override {
    if (handle_ != INVALID_HANDLE_VALUE) {
      ::PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
      ::CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
  }

  std::size_t Write(std::span<const std::uint8_t> bytes,
                    std::optional<std::chrono::milliseconds> limit) override {
    if (handle_ == INVALID_HANDLE_VALUE) return 0;
    const auto end = limit ? std::chrono::steady_clock::now() + *limit
                           : std::chrono::steady_clock::time_point::max();
    std::size_t written = 0;
    while (written < bytes.size()) {
      if (Woken() || std::chrono::steady_clock::now() >= end) break;
      DWORD n = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 4096));
      if (!::WriteFile(handle_, bytes.data() + written, chunk, &n, nullptr)) break;
      written += n;  // a slice that ran out of time wrote what it could
    }
    return written;
  }

  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
    if (handle_ == INVALID_HANDLE_VALUE) return std::nullopt;
    if (buffer.empty()) return 0;
    std::size_t taken = 0;
    if (pendingByte_) {
      buffer[0] = *pendingByte_;
      pendingByte_.reset();
      taken = 1;
    }
    const std::optional<DWORD> waiting = InputCount();
    if (!waiting) return taken > 0 ? std::optional<std::size_t>(taken) : std::nullopt;
    if (*waiting == 0 || taken == buffer.size()) return taken;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - taken, *waiting));
    DWORD n = 0;
    if (!::ReadFile(handle_, buffer.data() + taken, wanted, &n, nullptr)) {
      return taken > 0 ? std::optional<std::size_t>(taken) : std::nullopt;
    }
    return taken + n;
  }

  WaitResult WaitForData() override {
    int sinceProbe = 0;
    for (;;) {
      if (Woken()) return WaitResult::Woken;
      const std::optional<DWORD> waiting = InputCount();
      if (!waiting) return WaitResult::LineLost;
      if (*waiting > 0) return WaitResult::Data;
      // A pulled adapter makes the status call fail; a peer that closed its end of a
      // virtual line only shows in a read, so one is tried now and then.
      if (++sinceProbe >= kProbeEvery) {
        sinceProbe = 0;
        if (!ProbeLine()) return WaitResult::LineLost;
        if (pendingByte_) return WaitResult::Data;
      }
      ::WaitForSingleObject(wake_, kPollMs);
    }
  }

  void Wake() override { ::SetEvent(wake_); }

 private:
  static constexpr DWORD kFirstByteTimeoutMs = 10;
  static constexpr DWORD kWriteSliceMs = 50;
  static constexpr DWORD kPollMs = 2;
  static constexpr int kProbeEvery = 50;

  bool Woken() const { return ::WaitForSingleObject(wake_, 0) == WAIT_OBJECT_0; }

  // The driver's count of received bytes, a byte a probe read included; nothing when the
  // port has failed.
  std::optional<DWORD> InputCount() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(handle_, &errors, &stat)) return std::nullopt;
    return stat.cbInQue;
  }

  // A read with the first-byte limit: false when the line has gone. A byte it brings is
  // kept for the next Read.
  bool ProbeLine() {
    std::uint8_t byte = 0;
    DWORD n = 0;
    if (!::ReadFile(handle_, &byte, 1, &n, nullptr)) return false;
    if (n == 1) pendingByte_ = byte;
    return true;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  HANDLE wake_ = nullptr;
  std::optional<std::uint8_t> pendingByte_;
};

}  // namespace

std::unique_ptr<ISerialPort> MakePlatformSerialPort() {
  return std::make_unique<Win32SerialPort>();
}

}  // namespace ql::link
