// Arbitrary bridge records, as another program may leave them in the bridges folder, through
// port discovery.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/port_discovery.h"

namespace {

namespace fs = std::filesystem;

// Made once and never destroyed, so the clean-up at exit can still read it.
const ql::link::DiscoveryRoots& Roots() {
  static const auto* roots = new ql::link::DiscoveryRoots([] {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "quaylink-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    ql::link::DiscoveryRoots r;
    r.sysClassTty = fs::path(pattern) / "tty";
    r.dev = "/dev";
    r.bridges = fs::path(pattern) / "bridges";
    fs::create_directories(r.sysClassTty);
    fs::create_directories(r.bridges);
    fs::permissions(r.bridges, fs::perms::owner_all, fs::perm_options::replace);
    std::atexit([] { fs::remove_all(Roots().sysClassTty.parent_path()); });
    return r;
  }());
  return *roots;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& roots = Roots();
  {
    std::ofstream out(roots.bridges / (std::to_string(::getpid()) + ".bridge"),
                      std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::vector<ql::link::PortEntry> ports;
  ql::link::DiscoverPorts(roots, ports);
  if (ports.size() > 1) std::abort();  // one record names one port at most
  for (const auto& port : ports) {
    if (port.name.empty() || port.devicePath.empty()) std::abort();
  }
  return 0;
}
