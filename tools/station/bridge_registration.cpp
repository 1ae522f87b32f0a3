#include "tools/station/bridge_registration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <span>
#include <system_error>

#include "io/staged_file.h"

namespace ql::station {
namespace fs = std::filesystem;

namespace {

// The folder may sit in /tmp, where another user could have made it first: a record in
// a folder someone else controls could be swapped under the tool.
bool OwnFolder(const fs::path& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

}  // namespace

BridgeRegistration::BridgeRegistration(const fs::path& folder, const std::string& name,
                                       const std::string& devicePath) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !OwnFolder(folder)) return;
  const std::string pid = std::to_string(::getpid());
  const std::string record = "name=" + name + "\npath=" + devicePath + "\npid=" + pid + "\n";
  io::StagedFile staged;
  if (!staged.Create(folder, pid + ".bridge")) return;
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(record.data()), record.size());
  if (!staged.Write(bytes)) return;
  const fs::path file = folder / (pid + ".bridge");
  if (staged.Commit()) {
    file_ = file;
  } else {
    // Only the folder's flush may have failed after the rename: leave no record behind.
    fs::remove(file, ec);
  }
}

BridgeRegistration::~BridgeRegistration() {
  Remove();
}

BridgeRegistration::BridgeRegistration(BridgeRegistration&& other) noexcept
    : file_(std::move(other.file_)) {
  other.file_.clear();
}

BridgeRegistration& BridgeRegistration::operator=(BridgeRegistration&& other) noexcept {
  if (this != &other) {
    Remove();
    file_ = std::move(other.file_);
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
