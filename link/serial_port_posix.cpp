// POSIX serial port: termios raw mode, exclusive open, poll() with a wake pipe.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/posix_fd.h"
#include "link/serial_line_posix.h"
#include "link/serial_port.h"

namespace ql::link {
namespace {

std::string ErrnoText(const std::string& what, int err) {
  return what + ": " + std::strerror(err);
}

// The usual first-day failure: the technician's user may not open the bridge. Say which
// device and how to get access, not only the errno text.
std::string OpenFailureText(const std::string& path, int err) {
  if (err != EACCES && err != EPERM) return ErrnoText(path, err);
  return std::string(std::strerror(err)) + " opening " + path +
         ": add your user to the dialout group (sudo usermod -aG dialout $USER) and log in "
         "again, or install the Quaylink package's udev rule";
}

speed_t BaudConstant(std::uint32_t baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      return 0;
  }
}

class PosixSerialPort final : public ISerialPort {
 public:
  ~PosixSerialPort() override { Close(); }

  Status Open(const std::string& path, const LineSettings& line) override {
    Close();
    const speed_t speed = BaudConstant(line.baudRate);
    if (speed == 0 || line.byteSize < 5 || line.byteSize > 8) {
      return Status::Error(ErrorKind::BadArgument, "unsupported line settings");
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      const int err = errno;
      return Status::Error(err == EBUSY ? ErrorKind::Busy : ErrorKind::Io,
                           OpenFailureText(path, err));
    }
    // TIOCEXCL keeps other users out, but root passes it; the advisory lock stops every
    // program that takes it too, as serial tools do.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      ::close(fd);
      return Status::Error(err == EWOULDBLOCK ? ErrorKind::Busy : ErrorKind::Io,
                           ErrnoText(path + " is in use", err));
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
      const int err = errno;
      ::close(fd);
      return Status::Error(ErrorKind::Io, ErrnoText(path + " is not a serial device", err));
    }
    ::ioctl(fd, TIOCEXCL);
    tio = RawLineAttributes(tio, line, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
      const int err = errno;
      ::ioctl(fd, TIOCNXCL);
      ::close(fd);
      return Status::Error(ErrorKind::Io, ErrnoText(path + ": line settings refused", err));
    }
    ::tcflush(fd, TCIOFLUSH);
    if (Status s = wake_.Open(); !s.ok()) {
      ::ioctl(fd, TIOCNXCL);
      ::close(fd);
      return s;
    }
    fd_ = fd;
    return Status::Ok();
  }

  void Close() override {
    if (fd_ >= 0) {
      ::tcflush(fd_, TCIOFLUSH);
      // Exclusivity outlives the descriptor on some ttys (a pseudo-terminal stays
      // exclusive while its master is open), so give it back explicitly.
      ::ioctl(fd_, TIOCNXCL);
      ::close(fd_);
      fd_ = -1;
    }
    wake_.Close();
  }

  std::size_t Write(std::span<const std::uint8_t> bytes,
                    std::optional<std::chrono::milliseconds> limit) override {
    return posix::WriteAll(fd_, wake_, bytes, limit);
  }

  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
    if (fd_ < 0) return std::nullopt;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) return std::nullopt;
    if (waiting <= 0) return 0;
    // The bytes are already there, so the 10 ms first-byte limit never runs out; it only
    // bounds a read if the driver's count was optimistic.
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, kFirstByteTimeoutMs) <= 0) return 0;
    for (;;) {
      const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno == EINTR) continue;
      if (errno == EAGAIN) return 0;
      return std::nullopt;
    }
  }

  WaitResult WaitForData() override {
    for (;;) {
      pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_.ReadFd(), POLLIN, 0}};
      const int r = ::poll(fds, 2, -1);
      if (r < 0) {
        if (errno == EINTR) continue;
        return WaitResult::LineLost;
      }
      if (fds[1].revents & POLLIN) return WaitResult::Woken;
      if (fds[0].revents & POLLIN) {
        int waiting = 0;
        if (::ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0) return WaitResult::Data;
      }
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitResult::LineLost;
    }
  }

  void Wake() override { wake_.Wake(); }

 private:
  static constexpr int kFirstByteTimeoutMs = 10;
  int fd_ = -1;
  posix::WakePipe wake_;
};

}  // namespace

std::unique_ptr<ISerialPort> MakePlatformSerialPort() {
  return std::make_unique<PosixSerialPort>();
}

}  // namespace ql::link
