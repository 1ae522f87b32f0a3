// Port discovery on Windows: the present devices of the Ports class, by friendly name.

#include <windows.h>
// After windows.h.
#include <devguid.h>
#include <setupapi.h>

#include "link/port_discovery.h"

namespace ql::link {
namespace {

// The friendly names of the present devices of the Ports (COM and LPT) class; false when
// the device list could not be had.
bool PortFriendlyNames(std::vector<std::string>& names) {
  HDEVINFO devices = ::SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  // A machine has a few ports; the bound keeps a misbehaving driver list finite.
  for (DWORD i = 0; i < 1024 && ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
    char name[256] = {};
    DWORD type = 0;
    if (::SetupDiGetDeviceRegistryPropertyA(devices, &device, SPDRP_FRIENDLYNAME, &type,
                                            reinterpret_cast<BYTE*>(name), sizeof name - 1,
                                            nullptr) &&
        type == REG_SZ) {
      names.emplace_back(name);
    }
  }
  ::SetupDiDestroyDeviceInfoList(devices);
  return true;
}

Status NoBridges() {
  return Status::Error(ErrorKind::Io, "emulators register no bridges on Windows");
}

}  // namespace

std::filesystem::path BridgeFolder() {
  return {};
}

Status CheckBridgeFolder(const std::filesystem::path&) {
  return NoBridges();
}

Status MakeBridgeFolder(const std::filesystem::path&) {
  return NoBridges();
}

int DiscoverPorts(const DiscoveryRoots&, std::vector<PortEntry>& out) {
  std::vector<std::string> names;
  const bool listed = PortFriendlyNames(names);
  PortsFromFriendlyNames(names, out);
  return listed ? 0 : -1;
}

}  // namespace ql::link
