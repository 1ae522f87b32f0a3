#pragma once
// Serves the station side of the line: requests are answered by the StationCore, and
// the transfers they announce (log files out, firmware in) run as YMODEM on a worker
// while the serving loop feeds it what the line brings.

#include <atomic>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <thread>

#include "link/serial_port.h"
#include "link/transfer_stream.h"
#include "link/ymodem.h"
#include "tools/station/station_core.h"

namespace ql::station {

class StationServer {
 public:
  // Silence that ends the tool's repeated request before a transfer starts: long enough for a
  // USB bridge that delivers late and in bursts.
  static constexpr std::chrono::milliseconds kSettle{100};

  // `state`, `port` (open) and `log` must outlive the server. Firmware received is kept in
  // `stateDir`/firmware when given, else in a temporary folder.
  StationServer(StationState& state, link::ISerialPort& port,
                std::optional<std::filesystem::path> stateDir, std::ostream& log,
                StationOptions options = {});
  ~StationServer();
  StationServer(const StationServer&) = delete;
  StationServer& operator=(const StationServer&) = delete;

  // Serves until `stopping` is set (and the port woken) or the line is lost; returns 0,
  // or 1 when the line was lost.
  int Serve(const std::atomic<bool>& stopping);

 private:
  class PortWriter final : public link::IByteWriter {
   public:
    explicit PortWriter(link::ISerialPort& port) : port_(port) {}
    std::size_t WriteWithin(std::span<const std::uint8_t> bytes,
                            std::chrono::milliseconds limit) override {
      return port_.Write(bytes, limit);
    }

   private:
    link::ISerialPort& port_;
  };

  void StartTransfer(const FollowUp& followUp, std::span<const std::uint8_t> rest);
  void RunTransfer(const FollowUp& followUp);
  void SendLog(const std::string& name);
  void ReceiveFirmware(const FollowUp& followUp);

  StationState& state_;
  link::ISerialPort& port_;
  std::optional<std::filesystem::path> stateDir_;
  std::filesystem::path firmwareDir_;
  bool ownsFirmwareDir_ = false;
  std::ostream& log_;
  StationOptions options_;
  StationCore core_;
  RequestParser parser_;
  PortWriter writer_{port_};
  link::TransferStream stream_;
  link::CYmodem ymodem_{stream_, writer_};
  std::atomic<bool> inTransfer_{false};
  std::thread transfer_;
};

}  // namespace ql::station
