#pragma once
// Makes a running emulator visible to port discovery: a "<pid>.bridge" record in the
// bridge folder (link::BridgeFolder()) for as long as the registration lives. The record
// is the one link/port_discovery.h reads:
//   name=<port name shown to the technician>
//   path=<device path to open>
//   pid=<this process>
// It is written whole under a temporary name and renamed into place, so discovery never
// reads half a record. One thread at a time.

#include <filesystem>
#include <string>

namespace ql::station {

class BridgeRegistration {
 public:
  BridgeRegistration() = default;
  // Writes the record into `folder` (created when missing); ok() tells whether it was
  // written. A folder that belongs to another user is not written to.
  BridgeRegistration(const std::filesystem::path& folder, const std::string& name,
                     const std::string& devicePath);
  ~BridgeRegistration();
  BridgeRegistration(BridgeRegistration&& other) noexcept;
  BridgeRegistration& operator=(BridgeRegistration&& other) noexcept;
  BridgeRegistration(const BridgeRegistration&) = delete;
  BridgeRegistration& operator=(const BridgeRegistration&) = delete;

  bool ok() const { return !file_.empty(); }
  const std::filesystem::path& File() const { return file_; }
  // Removes the record; does nothing when there is none.
  void Remove();

 private:
  std::filesystem::path file_;
};

}  // namespace ql::station
