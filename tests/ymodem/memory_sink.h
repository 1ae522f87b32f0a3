#pragma once
// A file sink that keeps received files in memory and checks how it is used: every call
// out of the order the IFileSink contract gives (a write with no file begun, a second
// begin over an open file, more bytes than the declared size, a commit short of it, a
// file begun before Prepare) is a breach, reported to the handler given at construction. Tests pass
// one that fails the test; a fuzz target can pass one that aborts. It can also be told to fail, so
// the receiver's handling of a failing sink can be tested.
//
// One thread at a time, as the contract says; read the results after the transfer.

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/file_sink.h"

namespace ql::link::testsupport {

class MemorySink final : public IFileSink {
 public:
  using Bytes = std::vector<std::uint8_t>;
  using BreachHandler = std::function<void(const std::string& what)>;

  explicit MemorySink(BreachHandler onBreach) : onBreach_(std::move(onBreach)) {}

  // Failures to play. A file larger than maxFileSize is refused at its begin; the other
  // failures hit the file named `failName` (any file when empty).
  std::uint64_t maxFileSize = 1u << 24;
  Status prepareFails;           // returned by Prepare when not Ok
  Status beginFails;             // returned by BeginFile
  Status writeFails;             // returned by the first Write that would pass failAtByte
  std::uint64_t failAtByte = 0;  // of the file
  Status commitFails;            // returned by Commit
  std::string failName;

  Status Prepare() override {
    if (open_) Breach("Prepare while " + name_ + " is open");
    prepared_ = true;
    return prepareFails;
  }

  Status BeginFile(std::string_view name, std::uint64_t declaredSize) override {
    if (!prepared_) Breach("BeginFile before Prepare");
    if (open_) Breach("BeginFile while " + name_ + " is open");
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("/\\") != std::string_view::npos) {
      Breach("BeginFile with \"" + std::string(name) + "\", not a plain name");
    }
    ++begun_;
    open_ = false;
    name_ = name;
    if (declaredSize > maxFileSize) {
      return Status::Error(ErrorKind::BadArgument, name_ + " is larger than the sink takes");
    }
    if (Hits() && !beginFails.ok()) return beginFails;
    open_ = true;
    declared_ = declaredSize;
    data_.clear();
    return Status::Ok();
  }

  Status Write(std::span<const std::uint8_t> bytes) override {
    if (!open_) {
      Breach("Write with no file open");
      return Status::Error(ErrorKind::BadArgument, "no file is open");
    }
    if (bytes.size() > declared_ - data_.size()) {
      Breach("Write past the declared size of " + name_);
      return Status::Error(ErrorKind::BadArgument, "past the declared size");
    }
    if (Hits() && !writeFails.ok() && data_.size() + bytes.size() > failAtByte) {
      return writeFails;
    }
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return Status::Ok();
  }

  Status Commit() override {
    if (!open_) {
      Breach("Commit with no file open");
      return Status::Error(ErrorKind::BadArgument, "no file is open");
    }
    open_ = false;
    if (data_.size() != declared_) Breach("Commit of " + name_ + " short of its size");
    if (Hits() && !commitFails.ok()) return commitFails;
    files_[name_] = std::move(data_);
    committed_.push_back(name_);
    data_.clear();
    return Status::Ok();
  }

  void Abort() override {
    if (open_) ++aborted_;
    open_ = false;
    data_.clear();
  }

  // Committed files by name, and their names in the order of their commits.
  const std::map<std::string, Bytes>& Files() const { return files_; }
  const std::vector<std::string>& Committed() const { return committed_; }
  Bytes File(const std::string& name) const {
    const auto it = files_.find(name);
    return it == files_.end() ? Bytes{} : it->second;
  }
  bool FileOpen() const { return open_; }
  int Begun() const { return begun_; }
  int Aborted() const { return aborted_; }
  bool Prepared() const { return prepared_; }

 private:
  bool Hits() const { return failName.empty() || failName == name_; }
  void Breach(const std::string& what) { onBreach_(what); }

  BreachHandler onBreach_;
  bool prepared_ = false;
  bool open_ = false;
  std::string name_;
  std::uint64_t declared_ = 0;
  Bytes data_;
  std::map<std::string, Bytes> files_;
  std::vector<std::string> committed_;
  int begun_ = 0;
  int aborted_ = 0;
};

}  // namespace ql::link::testsupport
