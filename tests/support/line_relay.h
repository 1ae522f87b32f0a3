#pragma once
// An emulated serial line between two pseudo-terminals: a thread copies what is written on
// one master to the other, no faster than the line rate each way (115200 baud 8N1 moves
// 11520 bytes a second), after a fixed latency (a USB bridge delivers in frames, about a
// millisecond apart). It can also be a bad line: hit (corrupt) or drop one byte in N, delay
// bytes by a random extra time (order kept), hand them over in small pieces with pauses, and
// cut the line for good after a number of bytes. Each side runs a program or a channel on
// its slave, as it would on a real serial port.
//
// Thread safety: construct, Start, Stop and Stats from one thread; the tap is called on
// the relay thread.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <span>
#include <thread>
#include <vector>

namespace ql::link::testsupport {

class LineRelay {
 public:
  using Clock = std::chrono::steady_clock;
  enum Direction { kAToB = 0, kBToA = 1 };

  struct Options {
    double bytesPerSecond = 11520;  // 0: as fast as the pseudo-terminals go
    std::chrono::microseconds latency{1000};
    std::uint64_t corruptOneIn = 0;       // 0: never; otherwise on average one byte in N
    std::uint64_t dropOneIn = 0;          // 0: never; otherwise on average one byte in N is lost
    std::chrono::microseconds jitter{0};  // up to this much more delay for each burst
    std::size_t splitInto = 0;            // 0: as it comes; otherwise pieces of at most N bytes
    std::chrono::microseconds splitPause{2000};  // between two pieces
    std::uint64_t cutAfter = 0;  // 0: never; otherwise nothing more passes after N bytes in all
    std::uint32_t seed = 1;
  };
  struct Stats {
    std::array<std::uint64_t, 2> bytes{};
    std::array<std::uint64_t, 2> corrupted{};
    std::array<std::uint64_t, 2> dropped{};
    bool cut = false;
  };
  // Sees every byte as it was written (before any hit) at the moment it is delivered.
  using Tap = std::function<void(Direction, std::uint8_t original, Clock::time_point)>;

  // `masterA` and `masterB` stay owned by the caller and must outlive the relay.
  LineRelay(int masterA, int masterB, Options options, Tap tap = nullptr)
      : fds_{masterA, masterB}, options_(options), tap_(std::move(tap)), random_(options.seed) {
    for (int fd : fds_) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    for (auto& next : nextHit_) next = DrawGap(options_.corruptOneIn);
    for (auto& next : nextDrop_) next = DrawGap(options_.dropOneIn);
  }
  ~LineRelay() {
    Stop();
    if (wake_[0] >= 0) ::close(wake_[0]);
    if (wake_[1] >= 0) ::close(wake_[1]);
  }
  LineRelay(const LineRelay&) = delete;
  LineRelay& operator=(const LineRelay&) = delete;

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    if (!thread_.joinable()) return;
    stop_.store(true);
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
    thread_.join();
  }
  Stats GetStats() const {
    std::lock_guard lock(statsMutex_);
    return stats_;
  }

 private:
  struct Pending {
    std::uint8_t original;
    std::uint8_t onLine;
    Clock::time_point deliverAt;
  };

  std::uint64_t DrawGap(std::uint64_t oneIn) {
    if (oneIn == 0) return 0;
    std::uniform_int_distribution<std::uint64_t> gap(1, 2 * oneIn - 1);
    return gap(random_);
  }

  void Take(std::size_t dir, const std::uint8_t* bytes, std::size_t n, Clock::time_point now) {
    const auto byteTime = options_.bytesPerSecond > 0
                              ? std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(1.0 / options_.bytesPerSecond))
                              : Clock::duration::zero();
    if (options_.jitter.count() > 0) {
      std::uniform_int_distribution<long> extra(0, options_.jitter.count());
      now += std::chrono::microseconds(extra(random_));
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (options_.cutAfter != 0 && taken_ >= options_.cutAfter) {
        std::lock_guard lock(statsMutex_);
        stats_.cut = true;
        return;
      }
      ++taken_;
      Pending p{bytes[i], bytes[i], {}};
      if (options_.dropOneIn != 0 && --nextDrop_[dir] == 0) {
        nextDrop_[dir] = DrawGap(options_.dropOneIn);
        std::lock_guard lock(statsMutex_);
        ++stats_.dropped[dir];
        continue;
      }
      if (options_.corruptOneIn != 0 && --nextHit_[dir] == 0) {
        std::uniform_int_distribution<int> value(1, 255);
        p.onLine = static_cast<std::uint8_t>(p.onLine ^ value(random_));
        nextHit_[dir] = DrawGap(options_.corruptOneIn);
        std::lock_guard lock(statsMutex_);
        ++stats_.corrupted[dir];
      }
      // A byte leaves the line one byte time after the line is free and the latency has
      // passed, so a backlog drains at exactly the line rate.
      const Clock::time_point start = std::max(now + options_.latency, lineFree_[dir]);
      p.deliverAt = start + byteTime;
      lineFree_[dir] = p.deliverAt;
      queue_[dir].push_back(p);
    }
  }

  void Deliver(std::size_t dir, Clock::time_point now) {
    std::vector<std::uint8_t> out;
    auto& q = queue_[dir];
    std::size_t n = 0;
    const std::size_t most = options_.splitInto != 0 ? options_.splitInto : q.size();
    while (n < q.size() && n < most && q[n].deliverAt <= now) out.push_back(q[n++].onLine);
    if (out.empty()) return;
    const ssize_t written = ::write(fds_[1 - dir], out.data(), out.size());
    if (written <= 0) return;  // the far side is not reading: keep the bytes queued
    for (ssize_t i = 0; i < written; ++i) {
      if (tap_) tap_(static_cast<Direction>(dir), q.front().original, now);
      q.pop_front();
    }
    // A split line pauses before the next piece.
    if (options_.splitInto != 0) {
      for (auto& pending : q)
        pending.deliverAt = std::max(pending.deliverAt, now + options_.splitPause);
      lineFree_[dir] = std::max(lineFree_[dir], now + options_.splitPause);
    }
    std::lock_guard lock(statsMutex_);
    stats_.bytes[dir] += static_cast<std::uint64_t>(written);
  }

  void Run() {
    constexpr std::size_t kMaxQueued = 64 * 1024;
    std::array<std::uint8_t, 4096> buffer{};
    while (!stop_.load()) {
      Clock::time_point now = Clock::now();
      for (std::size_t dir = 0; dir < 2; ++dir) Deliver(dir, now);
      // Sleep until the next byte is due, or input arrives.
      Clock::duration wait = std::chrono::milliseconds(10);
      for (const auto& q : queue_) {
        if (!q.empty())
          wait = std::min(wait, std::max(q.front().deliverAt - now, Clock::duration::zero()));
      }
      // A master whose slave is closed reports a hang-up at once; look at it again only
      // every few milliseconds instead of spinning.
      pollfd fds[3] = {{hungUp_[0] ? -1 : fds_[0],
                        static_cast<short>(queue_[0].size() < kMaxQueued ? POLLIN : 0), 0},
                       {hungUp_[1] ? -1 : fds_[1],
                        static_cast<short>(queue_[1].size() < kMaxQueued ? POLLIN : 0), 0},
                       {wake_[0], POLLIN, 0}};
      if (hungUp_[0] || hungUp_[1])
        wait = std::min<Clock::duration>(wait, std::chrono::milliseconds(5));
      hungUp_ = {false, false};
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
      if (::ppoll(fds, 3, &timeout, nullptr) < 0 && errno != EINTR) return;
      now = Clock::now();
      for (std::size_t dir = 0; dir < 2; ++dir) {
        if (fds[dir].revents & POLLIN) {
          const ssize_t n = ::read(fds_[dir], buffer.data(), buffer.size());
          if (n > 0) {
            Take(dir, buffer.data(), static_cast<std::size_t>(n), now);
            continue;
          }
        }
        if (fds[dir].revents & (POLLHUP | POLLERR)) hungUp_[dir] = true;
      }
    }
  }

  std::array<int, 2> fds_;
  Options options_;
  Tap tap_;
  std::mt19937 random_;
  std::array<std::uint64_t, 2> nextHit_{};
  std::array<std::uint64_t, 2> nextDrop_{};
  std::uint64_t taken_ = 0;
  std::array<std::deque<Pending>, 2> queue_;
  std::array<Clock::time_point, 2> lineFree_{};
  std::array<bool, 2> hungUp_{};
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex statsMutex_;
  Stats stats_;
};

}  // namespace ql::link::testsupport
