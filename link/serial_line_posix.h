#pragma once
// The termios attributes of a serial line in raw mode. Pure, so the flags a previous program
// may have left on a tty are tested without a device.

#include <termios.h>

#include "link/serial_port.h"

namespace ql::link {

// `previous` as the tty had it, turned into the line `line` at `speed`: raw bytes both ways
// (nothing mapped, stripped, echoed or interpreted; YMODEM data carries every byte value), no
// flow control of either kind (a CP210x left with RTS/CTS on would hold every request back),
// modem lines ignored, receiver on, reads that return at once. Every flag of the four masks
// is set from scratch, whatever `previous` had.
termios RawLineAttributes(const termios& previous, const LineSettings& line, speed_t speed);

}  // namespace ql::link
