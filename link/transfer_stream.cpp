#include "link/transfer_stream.h"

#include <algorithm>

namespace ql::link {

TransferStream::TransferStream(IClock& clock, std::size_t capacity)
    : clock_(clock), capacity_(std::max<std::size_t>(capacity, 1)) {
  clock_.AddClient(*this);
}

TransferStream::~TransferStream() {
  clock_.RemoveClient(*this);
}

void TransferStream::Feed(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  {
    std::lock_guard lock(mutex_);
    if (bytes.size() >= capacity_) {
      bytes_.assign(bytes.end() - static_cast<std::ptrdiff_t>(capacity_), bytes.end());
    } else {
      const std::size_t room = capacity_ - bytes.size();
      if (bytes_.size() > room) {
        bytes_.erase(bytes_.begin(),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(bytes_.size() - room));
      }
      bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }
    ++version_;
  }
  changed_.notify_all();
}

void TransferStream::Purge() {
  std::lock_guard lock(mutex_);
  bytes_.clear();
}

std::size_t TransferStream::Available() const {
  std::lock_guard lock(mutex_);
  return bytes_.size();
}

void TransferStream::SetAbort() {
  {
    std::lock_guard lock(mutex_);
    abort_ = true;
    ++version_;
  }
  changed_.notify_all();
}

void TransferStream::ClearAbort() {
  std::lock_guard lock(mutex_);
  abort_ = false;
}

bool TransferStream::AbortRequested() const {
  std::lock_guard lock(mutex_);
  return abort_;
}

WaitStatus TransferStream::WaitLocked(std::unique_lock<std::mutex>& lock, TimePoint deadline) {
  readerWaiting_ = true;
  readerDeadline_ = deadline;
  WaitStatus status = WaitStatus::Ready;
  for (;;) {
    if (abort_) {
      status = WaitStatus::Aborted;
      break;
    }
    if (!bytes_.empty()) break;
    if (clock_.Now() >= deadline) {
      status = WaitStatus::Timeout;
      break;
    }
    clock_.WaitUntil(changed_, lock, deadline);
  }
  readerWaiting_ = false;
  ++version_;
  return status;
}

WaitStatus TransferStream::Take(std::uint8_t& byte, TimePoint deadline) {
  std::unique_lock lock(mutex_);
  const WaitStatus status = WaitLocked(lock, deadline);
  if (status != WaitStatus::Ready) return status;
  byte = bytes_.front();
  bytes_.pop_front();
  return status;
}

WaitStatus TransferStream::ReadSome(std::span<std::uint8_t> out, std::size_t& taken,
                                    TimePoint deadline) {
  taken = 0;
  if (out.empty()) return WaitStatus::Ready;
  std::unique_lock lock(mutex_);
  const WaitStatus status = WaitLocked(lock, deadline);
  if (status != WaitStatus::Ready) return status;
  taken = std::min(out.size(), bytes_.size());
  const auto end = bytes_.begin() + static_cast<std::ptrdiff_t>(taken);
  std::copy(bytes_.begin(), end, out.begin());
  bytes_.erase(bytes_.begin(), end);
  return status;
}

WaitStatus TransferStream::WaitForData(TimePoint deadline) {
  std::unique_lock lock(mutex_);
  return WaitLocked(lock, deadline);
}

void TransferStream::OnClockAdvanced() {
  // Taking the lock orders this wake-up after a reader that is about to wait has done so.
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

std::optional<TransferStream::TimePoint> TransferStream::BlockedUntil(std::uint64_t& version) {
  std::lock_guard lock(mutex_);
  version = version_;
  if (!readerWaiting_ || abort_ || !bytes_.empty()) return std::nullopt;
  if (clock_.Now() >= readerDeadline_) return std::nullopt;
  return readerDeadline_;
}

}  // namespace ql::link
