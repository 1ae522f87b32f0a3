#pragma once
// The platform side of a serial port: one small interface, one file per platform.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "link/status.h"

namespace ql::link {

enum class Parity { None, Odd, Even };
enum class StopBits { One, Two };

struct LineSettings {
  std::uint32_t baudRate = 115200;
  std::uint8_t byteSize = 8;
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::One;
};

enum class WaitResult {
  Data,      // bytes are waiting to be read
  Woken,     // Wake() was called
  LineLost,  // the device went away (adapter unplugged, peer closed the pseudo-terminal)
};

// Thread safety: Open and Close are called by the owner while no other call is running.
// WaitForData and Read come from one thread (the watch thread); Write from any one thread
// at a time. Wake may be called from any thread at any time; it stays in effect (every
// later WaitForData and blocked Write returns at once) until the next Open.
class ISerialPort {
 public:
  virtual ~ISerialPort() = default;

  // Opens the device exclusively (a second open of the same device fails with Busy, also
  // for root) and sets the line; input and output are purged.
  virtual Status Open(const std::string& path, const LineSettings& line) = 0;
  virtual void Close() = 0;

  // Writes all bytes unless Wake() is called, the line fails, or `limit` passes; returns
  // the count written.
  virtual std::size_t Write(std::span<const std::uint8_t> bytes,
                            std::optional<std::chrono::milliseconds> limit) = 0;
  // Returns the bytes already received, up to the buffer size; 0 when none are waiting.
  // Returns std::nullopt when the line has failed.
  virtual std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) = 0;
  // Blocks until bytes are waiting, Wake() is called or the line is lost.
  virtual WaitResult WaitForData() = 0;
  virtual void Wake() = 0;
};

// The port of the platform this program was built for.
std::unique_ptr<ISerialPort> MakePlatformSerialPort();

}  // namespace ql::link
