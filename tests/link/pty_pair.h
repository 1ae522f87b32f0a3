#pragma once
// A pseudo-terminal pair: the test plays the station on the master side, the code under
// test opens the slave device path like a real serial port. Sending or receiving on the
// master after CloseMaster is a mistake in the test and throws, which fails it.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace ql::link::testsupport {

class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slavePath_ = ::ptsname(master_);
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void Send(const std::vector<std::uint8_t>& bytes) {
    RequireOpen("Send");
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("pty write failed");
      done += static_cast<std::size_t>(n);
    }
  }

  // Reads until `count` bytes have arrived or `limit` passes.
  std::vector<std::uint8_t> Receive(std::size_t count,
                                    std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    RequireOpen("Receive");
    std::vector<std::uint8_t> got;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
      std::uint8_t buf[4096];
      const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

 private:
  void RequireOpen(const char* what) const {
    if (master_ < 0) throw std::logic_error(std::string(what) + " after the master was closed");
  }

  int master_ = -1;
  std::string slavePath_;
};

}  // namespace ql::link::testsupport
