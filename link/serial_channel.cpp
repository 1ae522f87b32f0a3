#include "link/serial_channel.h"

namespace ql::link {

// Lives on in posted tasks after the channel is gone, so a late notification finds
// `channel` null instead of a dangling pointer.
struct CSerialChannel::NotifyState {
  std::mutex mutex;
  std::condition_variable handled;
  std::uint64_t posted = 0;           // notifications posted
  std::uint64_t done = 0;             // notifications handled
  CSerialChannel* channel = nullptr;  // UI thread only
};

CSerialChannel::CSerialChannel(SharedFlags& flags, ISerialEvents& events, IUiPoster& poster,
                               std::unique_ptr<ISerialPort> port)
    : flags_(flags),
      events_(events),
      poster_(poster),
      port_(std::move(port)),
      notify_(std::make_shared<NotifyState>()) {
  notify_->channel = this;
}

CSerialChannel::~CSerialChannel() {
  Close();
  JoinWatchThread();
  notify_->channel = nullptr;
}

void CSerialChannel::JoinWatchThread() {
  if (watch_.joinable() && watch_.get_id() != std::this_thread::get_id()) watch_.join();
}

Status CSerialChannel::Open(const std::string& path, const LineSettings& line) {
  if (connected_.load()) Close();
  JoinWatchThread();
  portName_ = path;
  lastError_ = port_->Open(path, line);
  overflowReported_.store(false);
  if (!lastError_.ok()) return lastError_;
  const std::uint64_t generation = generation_.fetch_add(1) + 1;
  closeDeferred_.store(false);
  connected_.store(true);
  try {
    watch_ = std::thread([this, generation] { WatchLoop(generation); });
  } catch (const std::system_error& e) {
    connected_.store(false);
    port_->Close();
    lastError_ = Status::Error(ErrorKind::Io, e.what());
    return lastError_;
  }
  return Status::Ok();
}

void CSerialChannel::Close() {
  if (!connected_.exchange(false)) return;
  port_->Wake();
  { std::lock_guard lock(notify_->mutex); }
  notify_->handled.notify_all();
  if (watch_.joinable() && watch_.get_id() == std::this_thread::get_id()) {
    // Called from inside a notification handled on the watch thread itself: the thread
    // closes the port when it leaves its loop.
    closeDeferred_.store(true);
    return;
  }
  JoinWatchThread();
  std::unique_lock lock(portMutex_);
  port_->Close();
}

std::size_t CSerialChannel::Write(std::span<const std::uint8_t> bytes) {
  std::shared_lock lock(portMutex_);
  if (!connected_.load()) return 0;
  return port_->Write(bytes, std::nullopt);
}

std::size_t CSerialChannel::WriteWithin(std::span<const std::uint8_t> bytes,
                                        std::chrono::milliseconds limit) {
  std::shared_lock lock(portMutex_);
  if (!connected_.load()) return 0;
  return port_->Write(bytes, limit);
}

void CSerialChannel::Route(std::span<const std::uint8_t> chunk) {
  if (flags_.logReceiveArmed.load()) {
    events_.OnTransferBytes(chunk);
    return;
  }
  if (flags_.firmwareUpload.load()) events_.OnTransferBytes(chunk);
  if (queue_.Push(chunk)) return;
  if (!overflowReported_.exchange(true)) PostMessage("buff full");
  droppedChunks_.fetch_add(1);  // after the post: whoever sees the count finds the message queued
}

void CSerialChannel::PostMessage(std::string text) {
  std::weak_ptr<NotifyState> weak = notify_;
  poster_.Post([weak, text = std::move(text)] {
    if (auto state = weak.lock(); state && state->channel) {
      state->channel->events_.OnChannelMessage(text);
    }
  });
}

void CSerialChannel::NotifyAndWait(std::uint64_t generation) {
  std::uint64_t ticket = 0;
  {
    std::lock_guard lock(notify_->mutex);
    ticket = ++notify_->posted;
  }
  std::weak_ptr<NotifyState> weak = notify_;
  poster_.Post([weak, ticket, generation] {
    auto state = weak.lock();
    if (!state) return;
    CSerialChannel* channel = state->channel;
    // A notification that arrives after Close (or after a reopen) is not delivered.
    if (channel != nullptr && channel->connected_.load() &&
        channel->generation_.load() == generation) {
      channel->events_.OnSerialData();
    }
    {
      std::lock_guard lock(state->mutex);
      state->done = std::max(state->done, ticket);
    }
    state->handled.notify_all();
  });
  std::unique_lock lock(notify_->mutex);
  notify_->handled.wait(lock, [&] { return notify_->done >= ticket || !connected_.load(); });
}

void CSerialChannel::WatchLoop(std::uint64_t generation) {
  bool lineLost = false;
  while (connected_.load()) {
    const WaitResult wait = port_->WaitForData();
    if (!connected_.load()) break;
    if (wait == WaitResult::LineLost) {
      lineLost = true;
      break;
    }
    if (wait != WaitResult::Data) continue;
    flags_.rxActivity.store(true);
    for (;;) {
      const std::optional<std::size_t> n = port_->Read(staging_);
      if (!n) {
        lineLost = true;
        break;
      }
      if (*n == 0) break;
      Route({staging_.data(), *n});
    }
    if (lineLost) break;
    NotifyAndWait(generation);
  }
  if (lineLost && connected_.load()) {
    std::weak_ptr<NotifyState> weak = notify_;
    poster_.Post([weak, generation] {
      auto state = weak.lock();
      if (state && state->channel && state->channel->generation_.load() == generation &&
          state->channel->connected_.load()) {
        state->channel->events_.OnLineLost();
      }
    });
  }
  if (closeDeferred_.load()) {
    std::unique_lock lock(portMutex_);
    port_->Close();
  }
}

}  // namespace ql::link
