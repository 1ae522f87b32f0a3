// The platform-independent half of port discovery: the order of the list, the selection,
// and the reading of a Windows port's friendly name.

#include <algorithm>
#include <cstdlib>

#include "link/port_discovery.h"

namespace ql::link {
namespace {

// The number at the end of a port name: "ttyUSB12" gives 12; no digits give 0.
unsigned long PortNumber(const std::string& name) {
  std::size_t start = name.size();
  while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
  if (start == name.size()) return 0;
  return std::strtoul(name.c_str() + start, nullptr, 10);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<PortEntry> BridgePortFromFriendlyName(std::string_view friendlyName) {
  if (friendlyName.find("CP210x") == std::string_view::npos) return std::nullopt;
  // The port is the last "(COM<digits>)" of the name.
  const std::size_t open = friendlyName.rfind("(COM");
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = friendlyName.find(')', open);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view digits = friendlyName.substr(open + 4, close - open - 4);
  // COM1 to COM256 is what Windows hands out; more digits are not a port number.
  if (digits.empty() || digits.size() > 3 || digits.front() == '0' ||
      !std::all_of(digits.begin(), digits.end(), IsDigit))
    return std::nullopt;
  const std::string name = "COM" + std::string(digits);
  return PortEntry{name, name};
}

void PortsFromFriendlyNames(std::span<const std::string> friendlyNames,
                            std::vector<PortEntry>& out) {
  for (const std::string& friendly : friendlyNames) {
    if (out.size() >= kMaxPorts) return;
    if (auto port = BridgePortFromFriendlyName(friendly)) out.push_back(std::move(*port));
  }
}

void SortPorts(std::vector<PortEntry>& ports) {
  std::stable_sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) {
    const auto na = PortNumber(a.name);
    const auto nb = PortNumber(b.name);
    return na != nb ? na < nb : a.name < b.name;
  });
}

void PortList::Refresh(const DiscoveryRoots& roots) {
  entries_.clear();
  DiscoverPorts(roots, entries_);
  SortPorts(entries_);
  selected_.reset();
  if (!entries_.empty()) selected_ = 0;
}

void PortList::Select(std::size_t index) {
  if (index < entries_.size()) {
    selected_ = index;
  } else {
    selected_.reset();
  }
}

std::optional<std::string> PortList::SelectedDevicePath() const {
  if (!selected_) return std::nullopt;
  return entries_[*selected_].devicePath;
}

}  // namespace ql::link
