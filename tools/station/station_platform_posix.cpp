#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <ostream>

#include "link/port_discovery.h"
#include "tools/station/bridge_registration.h"
#include "tools/station/pty_port.h"
#include "tools/station/station_platform.h"

namespace ql::station {
namespace {

class PtyLine final : public OwnLine {
 public:
  link::ISerialPort& Port() override { return pty_; }
  const std::string& DevicePath() const override { return pty_.SlavePath(); }

  PtyMasterPort pty_;
  // Removed before the pseudo-terminal goes, so discovery never offers a dead line.
  BridgeRegistration registration_;
};

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

// Set once the waiter has taken a signal, so the destructor knows whether to end it.
std::atomic<bool> gStopTaken{false};

}  // namespace

std::unique_ptr<OwnLine> OpenOwnLine(std::string& error, std::ostream& warnings) {
  auto line = std::make_unique<PtyLine>();
  if (const link::Status opened = line->pty_.Open("", link::LineSettings{}); !opened.ok()) {
    error = opened.message;
    return nullptr;
  }
  const std::string& path = line->pty_.SlavePath();
  const std::string name = "station" + path.substr(path.find_last_of('/') + 1);
  line->registration_ = BridgeRegistration(link::BridgeFolder(), name, path);
  // The station still serves; only port discovery will not offer it.
  if (!line->registration_.ok()) {
    warnings << "quaylink-station: not registered for port discovery: "
             << line->registration_.Problem() << "\n";
  }
  return line;
}

StopRequests::StopRequests(std::function<void()> onStop) {
  const sigset_t set = StopSignalSet();
  // Blocked here, so every thread started later has them blocked too and only the
  // waiter takes them.
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  gStopTaken = false;
  waiter_ = std::thread([set, onStop = std::move(onStop)] {
    int signal = 0;
    sigwait(&set, &signal);
    if (gStopTaken.exchange(true)) return;  // woken by the destructor
    onStop();
  });
}

StopRequests::~StopRequests() {
  if (!gStopTaken.exchange(true)) pthread_kill(waiter_.native_handle(), SIGTERM);
  waiter_.join();
}

}  // namespace ql::station
