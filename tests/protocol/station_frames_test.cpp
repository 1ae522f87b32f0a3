#include "protocol/station_frames.h"

#include <gtest/gtest.h>

#include "link/crc16.h"

namespace ql::protocol {
namespace {

using namespace std::chrono_literals;

const Bytes kTypeRequest = {0x02, 0x40, 0x00, 0x00, 0x1D, 0xAD, 0x03};

std::vector<RequestFrame> FeedAll(RequestParser& p, const Bytes& bytes, SteadyTime& t,
                                  std::chrono::milliseconds step = 2ms) {
  std::vector<RequestFrame> out;
  for (std::uint8_t b : bytes) {
    t += step;
    if (auto r = p.Feed(b, t)) out.push_back(*r);
  }
  return out;
}

TEST(RequestParser, ReadsBackToBackCopiesAndSkipsNoise) {
  RequestParser p;
  SteadyTime t{};
  Bytes line = {0x55, 0x03};
  line.insert(line.end(), kTypeRequest.begin(), kTypeRequest.end());
  line.insert(line.end(), kTypeRequest.begin(), kTypeRequest.end());
  const auto frames = FeedAll(p, line, t);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], (RequestFrame{0x40, {}}));
}

TEST(RequestParser, LengthIsLowByteFirst) {
  // A 300-byte payload: length bytes 2C 01; the CRC covers them as sent.
  const Bytes payload(300, 0x5A);
  Bytes frame(4 + payload.size());
  frame[0] = 0x02;
  frame[1] = 0x31;
  frame[2] = 0x2C;
  frame[3] = 0x01;
  std::copy(payload.begin(), payload.end(), frame.begin() + 4);
  const auto crc = link::Crc16({frame.data() + 1, frame.size() - 1});
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(0x03);
  RequestParser p;
  SteadyTime t{};
  const auto frames = FeedAll(p, frame, t);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].payload, payload);
}

TEST(RequestParser, AHalfSentCopyDoesNotSwallowTheNextRequest) {
  RequestParser p;
  SteadyTime t{};
  const Bytes half(kTypeRequest.begin(), kTypeRequest.begin() + 3);
  EXPECT_TRUE(FeedAll(p, half, t).empty());
  t += 100ms;  // the tool paused its copies
  const Bytes logList = {0x02, 0x34, 0x00, 0x00, 0x19, 0x65, 0x03};
  const auto frames = FeedAll(p, logList, t);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].code, 0x34);
}

// A request frame as the tool builds it.
Bytes Request(std::uint8_t code, const Bytes& payload) {
  Bytes frame(4 + payload.size());
  frame[0] = 0x02;
  frame[1] = code;
  frame[2] = static_cast<std::uint8_t>(payload.size());
  frame[3] = 0;
  std::copy(payload.begin(), payload.end(), frame.begin() + 4);
  const auto crc = link::Crc16({frame.data() + 1, frame.size() - 1});
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(0x03);
  return frame;
}

TEST(RequestParser, FindsTheRequestRightBehindAHalfCopy) {
  // A read of the detector record (target 2, whose block holds 0x02 bytes) cut short by the
  // answer, then at once the read of the docking record.
  Bytes detector(28, 0);
  detector[0] = 2;
  detector[8] = 2;
  Bytes docking(28, 0);
  docking[12] = 2;
  const Bytes first = Request(0x33, detector);
  Bytes line(first.begin(), first.begin() + 20);
  const Bytes second = Request(0x33, docking);
  line.insert(line.end(), second.begin(), second.end());
  RequestParser p;
  SteadyTime t{};
  const auto frames = FeedAll(p, line, t);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].payload, docking);
}

TEST(RequestParser, AHalfCopyAnnouncingALongFrameDoesNotHoldUpTheNext) {
  // Only the STX of a copy went out; the next request's command and length bytes then read
  // as a length of thousands of bytes.
  Bytes line = {0x02};
  const Bytes next = Request(0x37, {'D', 'K', '_', 'F', 'W', '.', 'b', 'i', 'n'});
  line.insert(line.end(), next.begin(), next.end());
  RequestParser p;
  SteadyTime t{};
  const auto frames = FeedAll(p, line, t);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].code, 0x37);
}

TEST(AnswerFrame, WorkedExample) {
  EXPECT_EQ(BuildAnswerFrame(0x40, Bytes{0x01}),
            (Bytes{0x02, 0x40, 0x00, 0x01, 0x01, 0x4D, 0x8C, 0x03}));
}

TEST(AnswerFrame, LengthIsHighByteFirstUpToWhatTheToolReads) {
  const Bytes largest = BuildAnswerFrame(0x51, Bytes(4095, 0xA5));
  ASSERT_EQ(largest.size(), 4095u + 7u);
  EXPECT_EQ(largest[2], 0x0F);
  EXPECT_EQ(largest[3], 0xFF);
  const std::uint16_t crc = link::Crc16({largest.data() + 1, 4095 + 3});
  EXPECT_EQ(largest[4 + 4095], crc >> 8);
  EXPECT_EQ(largest[5 + 4095], crc & 0xFF);
  EXPECT_EQ(largest.back(), 0x03);
  // The tool drops a frame declaring 4096 bytes or more; none is built.
  EXPECT_TRUE(BuildAnswerFrame(0x51, Bytes(4096, 0xA5)).empty());
  EXPECT_TRUE(BuildAnswerFrame(0x51, Bytes(65536 + 8, 0xA5)).empty());
}

}  // namespace
}  // namespace ql::protocol
