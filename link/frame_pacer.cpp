#include "link/frame_pacer.h"

#include <algorithm>

namespace ql::link {

FramePacer::FramePacer(IByteWriter& out, const std::atomic<bool>& rxActivity)
    : out_(out), rxActivity_(rxActivity) {}

FramePacer::~FramePacer() {
  {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    running_.store(false);
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void FramePacer::StartThread() {
  if (!thread_.joinable()) thread_ = std::thread([this] { ThreadLoop(); });
}

void FramePacer::Start(std::span<const std::uint8_t> frame) {
  {
    std::lock_guard lock(mutex_);
    size_ = std::min(frame.size(), frame_.size());
    std::copy_n(frame.begin(), size_, frame_.begin());
    position_ = 0;
    running_.store(size_ > 0);
  }
  changed_.notify_all();
}

void FramePacer::Stop() {
  std::lock_guard lock(mutex_);
  running_.store(false);
}

void FramePacer::Tick() {
  std::lock_guard lock(mutex_);
  if (!running_.load() || rxActivity_.load() || size_ == 0) return;
  if (out_.WriteWithin({&frame_[position_], 1}, kWriteLimit) == 1) {
    position_ = (position_ + 1) % size_;
  }
}

void FramePacer::ThreadLoop() {
  using Clock = std::chrono::steady_clock;
  std::unique_lock lock(mutex_);
  Clock::time_point next = Clock::now();
  while (!shutdown_) {
    if (!running_.load()) {
      changed_.wait(lock, [this] { return shutdown_ || running_.load(); });
      next = Clock::now();
      continue;
    }
    next += kPeriod;
    // After a long stall (a suspended machine) keep the pace instead of bursting.
    if (Clock::now() > next + 10 * kPeriod) next = Clock::now() + kPeriod;
    if (changed_.wait_until(lock, next, [this] { return shutdown_; })) break;
    lock.unlock();
    Tick();
    lock.lock();
  }
}

}  // namespace ql::link
