#pragma once
// Our side of a pseudo-terminal pair for the engine: a reader thread feeds what arrives on
// the master into a TransferStream (as the watch thread does), and writes go to the master.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "link/byte_writer.h"
#include "link/transfer_stream.h"

namespace ql::link::testsupport {

class PtyLink final : public IByteWriter {
 public:
  PtyLink(int masterFd, TransferStream& input) : master_(masterFd), input_(input) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe failed");
    reader_ = std::thread([this] { ReadLoop(); });
  }
  ~PtyLink() override {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
    reader_.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
  }
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  std::size_t WriteWithin(std::span<const std::uint8_t> bytes,
                          std::chrono::milliseconds limit) override {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::size_t done = 0;
    while (done < bytes.size()) {
      pollfd pfd{master_, POLLOUT, 0};
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

 private:
  void ReadLoop() {
    std::uint8_t buffer[4096];
    for (;;) {
      pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents & POLLIN) return;
      if (fds[0].revents & POLLIN) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
          input_.Feed({buffer, static_cast<std::size_t>(n)});
          continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return;
      }
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return;
    }
  }

  int master_;
  TransferStream& input_;
  int wake_[2] = {-1, -1};
  std::thread reader_;
};

}  // namespace ql::link::testsupport
