#include "link/serial_line_posix.h"

namespace ql::link {

termios RawLineAttributes(const termios& previous, const LineSettings& line, speed_t speed) {
  termios tio = previous;
  // Input: no break, parity or character processing, no software flow control.
  tio.c_iflag = 0;
  tio.c_oflag = 0;
  tio.c_lflag = 0;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tcflag_t cflag = kSizes[line.byteSize - 5] | CREAD | CLOCAL;
  if (line.parity != Parity::None) cflag |= PARENB;
  if (line.parity == Parity::Odd) cflag |= PARODD;
  if (line.stopBits == StopBits::Two) cflag |= CSTOPB;
  tio.c_cflag = cflag;  // CRTSCTS, HUPCL and the rest stay off
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  return tio;
}

}  // namespace ql::link
