// quaylink-station: a docking station emulator on a pseudo-terminal or a serial device
// (on Windows, a COM port: one end of a virtual COM port pair).
//
//   quaylink-station [--type 1|2|3] [--state DIR] [--device PATH] [--ip A.B.C.D]
//                    [--ethernet up|down] [--store-differently LABEL=VALUE]...
//
// The first line of output is the device path the station serves.

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

#include "tools/station/station_platform.h"
#include "tools/station/station_server.h"
#include "tools/station/station_state.h"

namespace {

using namespace ql;

constexpr const char* kUsage =
    "usage: quaylink-station [--type 1|2|3] [--state DIR] [--device PATH] [--ip A.B.C.D]\n"
    "                        [--ethernet up|down] [--store-differently LABEL=VALUE]...\n"
    "       quaylink-station --help\n"
    "  --type    1 single-gas station, 2 multi-gas station (default), 3 pump docking station\n"
    "  --state   folder with the station's records, logs/, certs/ and firmware/\n"
    "            (without it the station starts from built-in sample data)\n"
    "  --device  serve on this serial device (COMn on Windows) instead of a new\n"
    "            pseudo-terminal\n"
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
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::cout << kUsage;
    return 0;
  }
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

  std::unique_ptr<link::ISerialPort> device;
  std::unique_ptr<station::OwnLine> own;
  link::ISerialPort* port = nullptr;
  std::string devicePath;
  if (options.device) {
    device = link::MakePlatformSerialPort();
    const link::Status opened = device->Open(*options.device, link::LineSettings{});
    if (!opened.ok()) {
      std::cerr << "quaylink-station: " << opened.message << "\n";
      return 2;
    }
    port = device.get();
    devicePath = *options.device;
  } else {
    std::string error;
    own = station::OpenOwnLine(error, std::cerr);
    if (!own) {
      std::cerr << "quaylink-station: " << error << "\n";
      return 2;
    }
    port = &own->Port();
    devicePath = own->DevicePath();
  }

  // A stop request ends the serving loop through the port's wake-up, so the line (and
  // its registration for port discovery) is given back on the way out. Before the
  // server, which starts the transfer threads.
  std::atomic<bool> stopping{false};
  std::optional<station::StopRequests> stops;
  stops.emplace([&stopping, port] {
    stopping = true;
    port->Wake();
  });
  std::cout << devicePath << std::endl;

  int exitCode = 0;
  {
    station::StationServer server(state, *port, options.stateDir, std::cout);
    exitCode = server.Serve(stopping);
  }
  stops.reset();  // no wake-up after this
  port->Close();
  return exitCode;
}
