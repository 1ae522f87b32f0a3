// The parts of StagedFile that every platform shares: ownership, the failure path, and
// the temporary file's name.

#include "io/staged_file.h"

#include <mutex>
#include <random>
#include <system_error>
#include <utility>

namespace ql::io {
namespace {

constexpr std::size_t kSuffixLength = 8;
// Keeps ".<name>.<suffix>.part" within the usual 255-byte limit of a file name.
constexpr std::size_t kMaxNameInTemp = 200;

std::string RandomSuffix() {
  static std::mutex mutex;
  static std::mt19937_64 random{std::random_device{}()};
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::lock_guard lock(mutex);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
  std::string suffix(kSuffixLength, ' ');
  for (char& c : suffix) c = kChars[pick(random)];
  return suffix;
}

}  // namespace

StagedFile::~StagedFile() {
  Discard();
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : dir_(std::exchange(other.dir_, -1)),
      fd_(std::exchange(other.fd_, -1)),
      temp_(std::exchange(other.temp_, {})),
      name_(std::exchange(other.name_, {})),
      error_(std::exchange(other.error_, {})),
      folder_(std::exchange(other.folder_, {})) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
  if (this != &other) {
    Discard();
    dir_ = std::exchange(other.dir_, -1);
    fd_ = std::exchange(other.fd_, -1);
    temp_ = std::exchange(other.temp_, {});
    name_ = std::exchange(other.name_, {});
    error_ = std::exchange(other.error_, {});
    folder_ = std::exchange(other.folder_, {});
  }
  return *this;
}

std::string StagedFile::TemporaryName(std::string_view name) {
  return "." + std::string(name.substr(0, kMaxNameInTemp)) + "." + RandomSuffix() + ".part";
}

bool StagedFile::Fail(std::string why) {
  Discard();
  error_ = std::move(why);
  return false;
}

bool StagedFile::FailWithErrno(int err) {
  return Fail(std::error_code(err, std::generic_category()).message());
}

}  // namespace ql::io
