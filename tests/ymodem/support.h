#pragma once
// Shared pieces of the YMODEM tests: a peer that answers each write from a script, a
// driver that runs transfers in virtual time, a block builder written from the wire
// layout (not from the engine), an observer, a file sink in memory, and a temporary
// folder. The fakes check the contract they are used under and fail the test when it is
// broken.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "link/clock.h"
#include "link/crc16.h"
#include "link/transfer_stream.h"
#include "link/ymodem.h"
#include "tests/ymodem/memory_sink.h"

namespace ql::link::testsupport {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline constexpr std::uint8_t kSoh = 0x01, kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15,
                              kCan = 0x18, kC = 'C';
inline constexpr std::uint8_t kGarbled = 0x86;  // what a hit ACK turns into on the line

inline Bytes Pattern(std::size_t n, std::uint32_t seed = 1) {
  std::mt19937 random(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(random());
  return b;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// A block laid out by hand: header byte, number, complement, data padded with `fill` to
// 128 (SOH) or 1024 (STX) bytes, CRC-16/XMODEM high then low.
inline Bytes Block(std::uint8_t headerByte, std::uint8_t number, const Bytes& data,
                   std::uint8_t fill = 0x1A) {
  const std::size_t length = headerByte == kSoh ? 128 : 1024;
  Bytes payload = data;
  payload.resize(length, fill);
  Bytes b(3 + length);
  b[0] = headerByte;
  b[1] = number;
  b[2] = static_cast<std::uint8_t>(0xFF - number);
  std::copy(payload.begin(), payload.end(), b.begin() + 3);
  const std::uint16_t crc = Crc16(payload);
  b.push_back(static_cast<std::uint8_t>(crc >> 8));
  b.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  return b;
}

// Block 0 for `name` with `tail` (the size text and whatever follows) after its NUL.
inline Bytes Header(const std::string& name, const std::string& tail) {
  Bytes data(name.begin(), name.end());
  data.push_back(0);
  data.insert(data.end(), tail.begin(), tail.end());
  return Block(kSoh, 0, data, 0);
}
inline Bytes BatchEnd() {
  return Block(kSoh, 0, {}, 0);
}

// The data blocks of `content` as 1024-byte blocks numbered from 1.
inline std::vector<Bytes> DataBlocks(const Bytes& content) {
  std::vector<Bytes> blocks;
  for (std::size_t at = 0, n = 1; at < content.size(); at += 1024, ++n) {
    const auto end =
        content.begin() + static_cast<std::ptrdiff_t>(std::min(content.size(), at + 1024));
    blocks.push_back(Block(kStx, static_cast<std::uint8_t>(n),
                           Bytes(content.begin() + static_cast<std::ptrdiff_t>(at), end)));
  }
  return blocks;
}

// A sink breach fails the test that caused it.
inline MemorySink::BreachHandler FailTheTest() {
  return [](const std::string& what) { ADD_FAILURE() << "file sink misused: " << what; };
}

// Fails the test when an object meant for one thread at a time (the transfer thread) is
// entered while another call is still in it. Hold a Call for the length of each call.
class OneAtATime {
 public:
  class Call {
   public:
    Call(OneAtATime& owner, const char* what) : owner_(owner) {
      if (owner_.busy_.exchange(true)) ADD_FAILURE() << what << " entered by two threads at once";
    }
    ~Call() { owner_.busy_.store(false); }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

   private:
    OneAtATime& owner_;
  };

 private:
  std::atomic<bool> busy_{false};
};

// The far end of the line: records every write of the engine and answers each one with
// the next scripted reply (fed into the engine's input stream at once). An empty reply,
// or the end of the script, means silence; `onEmpty` may supply replies instead. The
// line has one writer at a time: a write while another is in progress fails the test.
class ScriptedPeer : public IByteWriter {
 public:
  explicit ScriptedPeer(TransferStream& input) : input_(input) {}

  std::size_t WriteWithin(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override {
    const OneAtATime::Call call(writer_, "the line's WriteWithin");
    const Bytes written(bytes.begin(), bytes.end());
    Bytes reply;
    {
      std::lock_guard lock(mutex_);
      writes_.push_back(written);
      if (!script_.empty()) {
        reply = std::move(script_.front());
        script_.pop_front();
      } else if (onEmpty) {
        reply = onEmpty(written);
      }
    }
    if (onWrite) onWrite(written);
    input_.Feed(reply);
    return bytes.size();
  }

  void Script(std::initializer_list<Bytes> replies) {
    std::lock_guard lock(mutex_);
    script_.insert(script_.end(), replies.begin(), replies.end());
  }
  void Script(const std::vector<Bytes>& replies) {
    std::lock_guard lock(mutex_);
    script_.insert(script_.end(), replies.begin(), replies.end());
  }
  std::vector<Bytes> Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
  }

  std::function<Bytes(const Bytes& written)> onEmpty;
  std::function<void(const Bytes& written)> onWrite;

 private:
  TransferStream& input_;
  OneAtATime writer_;
  mutable std::mutex mutex_;
  std::deque<Bytes> script_;
  std::vector<Bytes> writes_;
};

// Runs each job on its own thread and moves the clock on whenever every job still
// running waits on its stream with nothing to read. Returns the virtual time taken.
struct Job {
  TransferStream* stream;
  std::function<void()> work;
};
inline IClock::Duration RunInVirtualTime(VirtualClock& clock, std::vector<Job> jobs,
                                         std::chrono::seconds realLimit = 60s) {
  const IClock::TimePoint start = clock.Now();
  std::vector<std::atomic<bool>> done(jobs.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    threads.emplace_back([&, i] {
      jobs[i].work();
      done[i].store(true);
    });
  }
  const auto realEnd = std::chrono::steady_clock::now() + realLimit;
  for (;;) {
    std::vector<IClockClient*> running;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      if (!done[i].load()) running.push_back(jobs[i].stream);
    }
    if (running.empty()) break;
    if (std::chrono::steady_clock::now() > realEnd) {
      ADD_FAILURE() << "the transfer did not finish within " << realLimit.count()
                    << " s of real time";
      for (Job& job : jobs) job.stream->SetAbort();
      break;
    }
    clock.AdvanceWhenIdle(running, 5ms);
  }
  for (std::thread& t : threads) t.join();
  return clock.Now() - start;
}

// Records what the engine reports; reports from two threads at once fail the test.
class RecordingObserver : public ITransferObserver {
 public:
  void SetProgressRange(int low, int high) override {
    Record("range " + std::to_string(low) + ".." + std::to_string(high));
  }
  void SetProgressPosition(int position) override { Record("pos " + std::to_string(position)); }
  void RestartWatchdog() override { Record("watchdog"); }
  void ClearStatusText() override { Record("clear"); }
  std::vector<std::string> events;  // transfer thread only; read after the transfer

 private:
  void Record(std::string event) {
    const OneAtATime::Call call(calls_, "the observer");
    events.push_back(std::move(event));
  }
  OneAtATime calls_;
};

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("quaylink-ymodem-" + std::to_string(::getpid()) + "-" +
                      std::to_string(counter.fetch_add(1)));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::filesystem::path& path, const Bytes& content) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(content.data()),
            static_cast<std::streamsize>(content.size()));
}
// Names of the entries of `folder`, sorted.
inline std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace ql::link::testsupport
