#include "link/posix_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace ql::link::posix {

Status WakePipe::Open() {
  Close();
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
    return Status::Error(ErrorKind::Io, std::string("wake pipe: ") + std::strerror(errno));
  }
  read_ = fds[0];
  write_ = fds[1];
  return Status::Ok();
}

void WakePipe::Close() {
  if (read_ >= 0) ::close(read_);
  if (write_ >= 0) ::close(write_);
  read_ = write_ = -1;
}

void WakePipe::Wake() const {
  if (write_ < 0) return;
  const std::uint8_t b = 1;
  [[maybe_unused]] const ssize_t n = ::write(write_, &b, 1);
}

std::size_t WriteAll(int fd, const WakePipe& wake, std::span<const std::uint8_t> bytes,
                     std::optional<std::chrono::milliseconds> limit) {
  if (fd < 0) return 0;
  const auto end = std::chrono::steady_clock::now() + limit.value_or(std::chrono::hours(0));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return done;
    // The output queue is full: wait for room, a wake-up or the end of the limit.
    int timeoutMs = -1;
    if (limit) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return done;
      timeoutMs = static_cast<int>(left.count());
    }
    pollfd fds[2] = {{fd, POLLOUT, 0}, {wake.ReadFd(), POLLIN, 0}};
    const int r = ::poll(fds, 2, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (fds[1].revents & POLLIN) || (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))) {
      return done;
    }
  }
  return done;
}

}  // namespace ql::link::posix
