#include "tools/station/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ql::station {

PtyMasterPort::~PtyMasterPort() { Close(); }

link::Status PtyMasterPort::Open(const std::string&, const link::LineSettings&) {
  Close();
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    const int err = errno;
    Close();
    return link::Status::Error(link::ErrorKind::Io, std::string("pseudo-terminal: ") + std::strerror(err));
  }
  slavePath_ = ::ptsname(master_);
  // Holding the slave open keeps the master from reporting a hang-up between tool
  // sessions. Raw mode from the start: no echo of what the tool sends.
  keepSlave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (keepSlave_ >= 0) {
    termios tio{};
    if (::tcgetattr(keepSlave_, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::cfsetispeed(&tio, B115200);
      ::cfsetospeed(&tio, B115200);
      ::tcsetattr(keepSlave_, TCSANOW, &tio);
    }
  }
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
    const int err = errno;
    Close();
    return link::Status::Error(link::ErrorKind::Io, std::string("wake pipe: ") + std::strerror(err));
  }
  wakeRead_ = fds[0];
  wakeWrite_ = fds[1];
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  return link::Status::Ok();
}

void PtyMasterPort::Close() {
  for (int* fd : {&master_, &keepSlave_, &wakeRead_, &wakeWrite_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

std::size_t PtyMasterPort::Write(std::span<const std::uint8_t> bytes,
                                 std::optional<std::chrono::milliseconds> limit) {
  std::size_t done = 0;
  const auto end = std::chrono::steady_clock::now() + limit.value_or(std::chrono::hours(0));
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return done;
    int timeoutMs = -1;
    if (limit) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return done;
      timeoutMs = static_cast<int>(left.count());
    }
    pollfd fds[2] = {{master_, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0 || (fds[1].revents & POLLIN)) return done;
  }
  return done;
}

std::optional<std::size_t> PtyMasterPort::Read(std::span<std::uint8_t> buffer) {
  for (;;) {
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    return std::nullopt;
  }
}

link::WaitResult PtyMasterPort::WaitForData() {
  for (;;) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return link::WaitResult::LineLost;
    if (fds[1].revents & POLLIN) return link::WaitResult::Woken;
    if (fds[0].revents & POLLIN) return link::WaitResult::Data;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return link::WaitResult::LineLost;
  }
}

void PtyMasterPort::Wake() {
  if (wakeWrite_ < 0) return;
  const std::uint8_t b = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &b, 1);
}

}  // namespace ql::station
