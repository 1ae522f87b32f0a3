#include "tools/station/bridge_registration.h"

#include <unistd.h>

#include <cstdint>
#include <span>
#include <system_error>

#include "io/staged_file.h"
#include "link/port_discovery.h"

namespace ql::station {
namespace fs = std::filesystem;

BridgeRegistration::BridgeRegistration(const fs::path& folder, const std::string& name,
                                       const std::string& devicePath) {
  // Discovery lists nothing from a folder another user could write to, and a record
  // there could be swapped under the tool: such a folder is not written to.
  if (const link::Status s = link::MakeBridgeFolder(folder); !s.ok()) {
    problem_ = s.message;
    return;
  }
  const std::string pid = std::to_string(::getpid());
  const std::string record = "name=" + name + "\npath=" + devicePath + "\npid=" + pid + "\n";
  io::StagedFile staged;
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(record.data()), record.size());
  if (!staged.Create(folder, pid + ".bridge") || !staged.Write(bytes)) {
    problem_ = "cannot write a record in " + folder.string() + ": " + staged.Error();
    return;
  }
  const fs::path file = folder / (pid + ".bridge");
  if (staged.Commit()) {
    file_ = file;
  } else {
    // Only the folder's flush may have failed after the rename: leave no record behind.
    problem_ = "cannot store " + file.string() + ": " + staged.Error();
    std::error_code ec;
    fs::remove(file, ec);
  }
}

BridgeRegistration::~BridgeRegistration() {
  Remove();
}

BridgeRegistration::BridgeRegistration(BridgeRegistration&& other) noexcept
    : file_(std::move(other.file_)), problem_(std::move(other.problem_)) {
  other.file_.clear();
}

BridgeRegistration& BridgeRegistration::operator=(BridgeRegistration&& other) noexcept {
  if (this != &other) {
    Remove();
    file_ = std::move(other.file_);
    problem_ = std::move(other.problem_);
    other.file_.clear();
  }
  return *this;
}

void BridgeRegistration::Remove() {
  if (file_.empty()) return;
  std::error_code ec;
  fs::remove(file_, ec);
  file_.clear();
}

}  // namespace ql::station
