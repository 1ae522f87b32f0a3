#include "tools/station/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ql::station {

PtyMasterPort::~PtyMasterPort() {
  Close();
}

link::Status PtyMasterPort::Open(const std::string&, const link::LineSettings&) {
  Close();
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    const int err = errno;
    Close();
    return link::Status::Error(link::ErrorKind::Io,
                               std::string("pseudo-terminal: ") + std::strerror(err));
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
  if (link::Status s = wake_.Open(); !s.ok()) {
    Close();
    return s;
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  return link::Status::Ok();
}

void PtyMasterPort::Close() {
  for (int* fd : {&master_, &keepSlave_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  wake_.Close();
}

std::size_t PtyMasterPort::Write(std::span<const std::uint8_t> bytes,
                                 std::optional<std::chrono::milliseconds> limit) {
  return link::posix::WriteAll(master_, wake_, bytes, limit);
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
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_.ReadFd(), POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return link::WaitResult::LineLost;
    if (fds[1].revents & POLLIN) return link::WaitResult::Woken;
    if (fds[0].revents & POLLIN) return link::WaitResult::Data;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return link::WaitResult::LineLost;
  }
}

void PtyMasterPort::Wake() {
  wake_.Wake();
}

}  // namespace ql::station
