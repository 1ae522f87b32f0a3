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
  // Writes the record into `folder`, creating it and its parent with mode 0700 where
  // missing (link::MakeBridgeFolder); ok() tells whether it was written, Problem() why
  // not. A folder that discovery would not trust (another user's, writable by others, a
  // symbolic link) is not written to.
  BridgeRegistration(const std::filesystem::path& folder, const std::string& name,
                     const std::string& devicePath);
  ~BridgeRegistration();
  BridgeRegistration(BridgeRegistration&& other) noexcept;
  BridgeRegistration& operator=(BridgeRegistration&& other) noexcept;
  BridgeRegistration(const BridgeRegistration&) = delete;
  BridgeRegistration& operator=(const BridgeRegistration&) = delete;

  bool ok() const { return !file_.empty(); }
  // Why the record was not written; empty when it was, or when nothing was asked.
  const std::string& Problem() const { return problem_; }
  const std::filesystem::path& File() const { return file_; }
  // Removes the record; does nothing when there is none.
  void Remove();

 private:
  std::filesystem::path file_;
  std::string problem_;
};

}  // namespace ql::station
