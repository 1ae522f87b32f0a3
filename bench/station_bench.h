#pragma once
// The tool's engine (as the command-line front end drives it) against an in-process
// station emulator, over a pseudo-terminal pair or an emulated 115200-baud line.

#include <atomic>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <thread>

#include "link/serial_port.h"
#include "tests/link/pty_pair.h"
#include "tests/support/line_relay.h"
#include "tools/cli/station_session.h"
#include "tools/station/station_server.h"
#include "tools/station/station_state.h"

namespace ql::bench {

// A station on one end of a line; the tool opens Device().
class StationOnLine {
 public:
  // bytesPerSecond 0: a plain pseudo-terminal (the station is on its master side).
  StationOnLine(station::StationState state, double bytesPerSecond, std::uint64_t corruptOneIn = 0)
      : state_(std::move(state)) {
    link::testsupport::LineRelay::Options options;
    options.bytesPerSecond = bytesPerSecond;
    options.corruptOneIn = corruptOneIn;
    relay_ = std::make_unique<link::testsupport::LineRelay>(stationSide_.MasterFd(),
                                                            toolSide_.MasterFd(), options);
    port_ = link::MakePlatformSerialPort();
    const link::Status s = port_->Open(stationSide_.SlavePath(), link::LineSettings{});
    if (!s.ok()) throw std::runtime_error(s.message);
    server_ = std::make_unique<station::StationServer>(state_, *port_, std::nullopt, log_);
    relay_->Start();
    thread_ = std::thread([this] { server_->Serve(stopping_); });
  }
  ~StationOnLine() {
    stopping_ = true;
    port_->Wake();
    thread_.join();
    server_.reset();
    relay_->Stop();
    port_->Close();
  }
  const std::string& Device() const { return toolSide_.SlavePath(); }
  link::testsupport::LineRelay::Stats Stats() const { return relay_->GetStats(); }

 private:
  station::StationState state_;
  link::testsupport::PtyPair stationSide_;
  link::testsupport::PtyPair toolSide_;
  std::unique_ptr<link::testsupport::LineRelay> relay_;
  std::unique_ptr<link::ISerialPort> port_;
  std::ostringstream log_;
  std::unique_ptr<station::StationServer> server_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace ql::bench
