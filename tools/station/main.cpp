// quaylink-station: a docking station emulator on a pseudo-terminal or a serial device.
//
//   quaylink-station [--type 1|2|3] [--state DIR] [--device PATH] [--ip A.B.C.D]
//                    [--ethernet up|down] [--store-differently LABEL=VALUE]...
//
// The first line of output is the device path the station serves.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/port_discovery.h"
#include "tools/station/bridge_registration.h"
#include "tools/station/pty_port.h"
#include "tools/station/station_server.h"
#include "tools/station/station_state.h"

namespace {

using namespace ql;

constexpr const char* kUsage =
    "usage: quaylink-station [--type 1|2|3] [--state DIR] [--device PATH] [--ip A.B.C.D]\n"
    "                        [--ethernet up|down] [--store-differently LABEL=VALUE]...\n"
    "  --type    1 single-gas station, 2 multi-gas station (default), 3 pump docking station\n"
    "  --state   folder with the station's records, logs/, certs/ and firmware/\n"
    "            (without it the station starts from built-in sample data)\n"
    "  --device  serve on this serial device instead of a new pseudo-terminal\n"
    "  --ip      the IPv4 address the station reports (default 192.168.10.77)\n"
    "  --ethernet  the result of the Ethernet link test (default up)\n"
    "  --store-differently  store this field's value (as quaylink-cli records shows it)\n"
    "            instead of the one a written record brings, and still report success\n";

struct Options {
  int type = 2;
  std::optional<std::string> stateDir;
  std::optional<std::string> device;
  std::optional<std::array<std::uint8_t, 4>> ip;
  std::optional<bool> ethernetUp;
  std::vector<std::string> storeDifferently;
};

// A dotted IPv4 address: four decimal numbers of 0 to 255, nothing else.
std::optional<std::array<std::uint8_t, 4>> ParseIpv4(const std::string& text) {
  std::array<std::uint8_t, 4> address{};
  std::size_t at = 0;
  for (std::size_t part = 0; part < address.size(); ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return std::nullopt;
      ++at;
    }
    int value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3; ++at, ++digits) {
      value = value * 10 + (text[at] - '0');
    }
    if (digits == 0 || value > 255) return std::nullopt;
    address[part] = static_cast<std::uint8_t>(value);
  }
  if (at != text.size()) return std::nullopt;
  return address;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--type" && hasValue) {
      const std::string v = argv[++i];
      if (v != "1" && v != "2" && v != "3") return false;
      o.type = v[0] - '0';
    } else if (arg == "--state" && hasValue) {
      o.stateDir = argv[++i];
    } else if (arg == "--device" && hasValue) {
      o.device = argv[++i];
    } else if (arg == "--ip" && hasValue) {
      o.ip = ParseIpv4(argv[++i]);
      if (!o.ip) return false;
    } else if (arg == "--ethernet" && hasValue) {
      const std::string v = argv[++i];
      if (v != "up" && v != "down") return false;
      o.ethernetUp = v == "up";
    } else if (arg == "--store-differently" && hasValue) {
      const std::string v = argv[++i];
      if (v.find('=') == std::string::npos) return false;
      o.storeDifferently.push_back(v);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }

  station::StationState state;
  if (options.stateDir) {
    std::string error;
    if (!station::LoadStationState(*options.stateDir, options.type, state, error)) {
      std::cerr << "quaylink-station: " << error << "\n";
      return 2;
    }
  } else {
    state = station::SampleStationState(options.type);
  }
  if (options.ip) state.ipAddress = *options.ip;
  if (options.ethernetUp) state.ethernetUp = *options.ethernetUp;
  state.storeDifferently = options.storeDifferently;

  // Signals end the serving loop through the port's wake-up, so the bridge registration
  // is removed on the way out.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::unique_ptr<link::ISerialPort> port;
  station::PtyMasterPort* pty = nullptr;
  if (options.device) {
    port = link::MakePlatformSerialPort();
  } else {
    auto p = std::make_unique<station::PtyMasterPort>();
    pty = p.get();
    port = std::move(p);
  }
  const link::Status opened = port->Open(options.device.value_or(""), link::LineSettings{});
  if (!opened.ok()) {
    std::cerr << "quaylink-station: " << opened.message << "\n";
    return 2;
  }
  const std::string devicePath = pty ? pty->SlavePath() : *options.device;

  station::BridgeRegistration registration;
  if (pty) {
    const std::string name = "station" + devicePath.substr(devicePath.find_last_of('/') + 1);
    registration = station::BridgeRegistration(link::BridgeFolder(), name, devicePath);
    // The station still serves; only port discovery will not offer it.
    if (!registration.ok()) {
      std::cerr << "quaylink-station: not registered for port discovery: " << registration.Problem()
                << "\n";
    }
  }
  std::cout << devicePath << std::endl;

  std::atomic<bool> stopping{false};
  std::thread signalThread([&] {
    int sig = 0;
    sigwait(&stopSignals, &sig);
    stopping = true;
    port->Wake();
  });

  int exitCode = 0;
  {
    station::StationServer server(state, *port, options.stateDir, std::cout);
    exitCode = server.Serve(stopping);
  }

  if (!stopping.exchange(true)) pthread_kill(signalThread.native_handle(), SIGTERM);
  signalThread.join();
  registration.Remove();
  port->Close();
  return exitCode;
}
