#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "link/serial_line_posix.h"
#include "tests/link/pty_pair.h"

namespace ql::link {
namespace {

// A tty as another program may have left it: flow control of both kinds, canonical input
// with echo, CR/LF mapping, parity checks, 7 bits with parity.
termios LeftOver() {
  termios t{};
  t.c_iflag = IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | PARMRK | BRKINT |
              IGNPAR | IMAXBEL | IUTF8;
  t.c_oflag = OPOST | ONLCR | OCRNL;
  t.c_lflag = ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN | TOSTOP;
  t.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 5;
  return t;
}

struct FlagCase {
  const char* name;
  tcflag_t termios::*field;
  tcflag_t flag;
};

class RawLineClears : public testing::TestWithParam<FlagCase> {};

TEST_P(RawLineClears, FlagLeftByAnotherProgram) {
  const termios raw = RawLineAttributes(LeftOver(), LineSettings{}, B115200);
  EXPECT_EQ(raw.*(GetParam().field) & GetParam().flag, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, RawLineClears,
    testing::Values(FlagCase{"HardwareFlowControl", &termios::c_cflag, CRTSCTS},
                    FlagCase{"HangUpOnClose", &termios::c_cflag, HUPCL},
                    FlagCase{"Parity", &termios::c_cflag, PARENB},
                    FlagCase{"TwoStopBits", &termios::c_cflag, CSTOPB},
                    FlagCase{"XonXoff", &termios::c_iflag, IXON | IXOFF | IXANY},
                    FlagCase{"CrLfMapping", &termios::c_iflag, ICRNL | INLCR | IGNCR},
                    FlagCase{"StripAndParityCheck", &termios::c_iflag, ISTRIP | INPCK | PARMRK},
                    FlagCase{"IgnoreParityErrors", &termios::c_iflag, IGNPAR},
                    FlagCase{"BreakSignal", &termios::c_iflag, BRKINT},
                    FlagCase{"Utf8AndBell", &termios::c_iflag, IUTF8 | IMAXBEL},
                    FlagCase{"OutputProcessing", &termios::c_oflag, OPOST | ONLCR | OCRNL},
                    FlagCase{"CanonicalEcho", &termios::c_lflag, ICANON | ECHO | ECHOE | ECHONL},
                    FlagCase{"Signals", &termios::c_lflag, ISIG | IEXTEN | TOSTOP}),
    [](const testing::TestParamInfo<FlagCase>& row) { return std::string(row.param.name); });

TEST(RawLine, EightDataBitsReceiverOnModemLinesIgnoredReadsReturnAtOnce) {
  const termios raw = RawLineAttributes(LeftOver(), LineSettings{}, B115200);
  EXPECT_EQ(raw.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(raw.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(raw.c_cc[VMIN], 0);
  EXPECT_EQ(raw.c_cc[VTIME], 0);
  EXPECT_EQ(::cfgetispeed(&raw), static_cast<speed_t>(B115200));
  EXPECT_EQ(::cfgetospeed(&raw), static_cast<speed_t>(B115200));
}

// The same through a real tty: a pseudo-terminal left in a cooked state is raw once opened.
TEST(RawLine, OpenClearsWhatThePreviousProgramLeftOnTheTty) {
  testsupport::PtyPair pty;
  const int slave = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(slave, 0);
  termios cooked{};
  ASSERT_EQ(::tcgetattr(slave, &cooked), 0);
  cooked.c_iflag |= IXON | ICRNL | ISTRIP;
  cooked.c_lflag |= ICANON | ECHO;
  cooked.c_cflag |= CRTSCTS;
  ASSERT_EQ(::tcsetattr(slave, TCSANOW, &cooked), 0);

  std::unique_ptr<ISerialPort> port = MakePlatformSerialPort();
  ASSERT_TRUE(port->Open(pty.SlavePath(), LineSettings{}).ok());
  termios now{};
  ASSERT_EQ(::tcgetattr(slave, &now), 0);
  port->Close();
  ::close(slave);
  EXPECT_EQ(now.c_iflag & (IXON | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(now.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(now.c_cflag & CRTSCTS, 0u);
}

}  // namespace
}  // namespace ql::link
