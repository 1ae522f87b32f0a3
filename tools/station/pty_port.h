#pragma once
// The master side of a new pseudo-terminal, as a serial port for the emulator: the tool
// opens the slave device path like a real port.

#include <memory>
#include <string>

#include "link/posix_fd.h"
#include "link/serial_port.h"

namespace ql::station {

class PtyMasterPort final : public link::ISerialPort {
 public:
  ~PtyMasterPort() override;
  // Creates the pseudo-terminal; `path` is ignored. SlavePath() names the device to open.
  link::Status Open(const std::string& path, const link::LineSettings& line) override;
  void Close() override;
  std::size_t Write(std::span<const std::uint8_t> bytes,
                    std::optional<std::chrono::milliseconds> limit) override;
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override;
  link::WaitResult WaitForData() override;
  void Wake() override;

  const std::string& SlavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  int keepSlave_ = -1;  // keeps the line up while no tool has the port open
  link::posix::WakePipe wake_;
  std::string slavePath_;
};

}  // namespace ql::station
