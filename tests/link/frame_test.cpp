#include "link/frame.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "tests/link/answer_frame.h"

namespace ql::link {
namespace {

using testsupport::Answer;
using testsupport::Bytes;

TEST(BuildFrame, WorkedExamples) {
  struct Case {
    const char* name;
    std::uint8_t command;
    Bytes payload;
    Bytes expected;
  };
  const Case cases[] = {
      {"DeviceType", 0x40, {}, {0x02, 0x40, 0x00, 0x00, 0x1D, 0xAD, 0x03}},
      {"LogList", 0x34, {}, {0x02, 0x34, 0x00, 0x00, 0x19, 0x65, 0x03}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TransmitBuffer out{};
    const std::size_t n = BuildFrame(c.command, c.payload, out);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(n)), c.expected);
  }
}

TEST(BuildFrame, LengthIsLittleEndianAndPayloadIsCopied) {
  Bytes payload(300);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
  TransmitBuffer out{};
  ASSERT_EQ(BuildFrame(0x31, payload, out), 307u);
  EXPECT_EQ(out[2], 0x2C);  // 300 = 0x012C, low byte first
  EXPECT_EQ(out[3], 0x01);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), out.begin() + 4));
  EXPECT_EQ(out[306], kEtx);
}

TEST(BuildFrame, RefusesPayloadThatDoesNotFitTheBuffer) {
  TransmitBuffer out{};
  EXPECT_EQ(BuildFrame(0x31, Bytes(kMaxRequestPayload + 1), out), 0u);
  EXPECT_EQ(BuildFrame(0x31, Bytes(kMaxRequestPayload), out), kFrameBufferSize);
}

class CountingGapTimer : public IGapTimer {
 public:
  void RestartGapTimer() override { ++restarts; }
  int restarts = 0;
};

// A step of a parser scenario: bytes to feed, or a silence long enough for the gap timer.
struct Gap {};
using Step = std::variant<Bytes, Gap>;

struct ParsedFrame {
  std::uint8_t command;
  Bytes payload;
  bool operator==(const ParsedFrame&) const = default;
};

struct ParserCase {
  const char* name;
  std::vector<Step> steps;
  std::vector<ParsedFrame> expected;
};

void PrintTo(const ParserCase& c, std::ostream* os) {
  *os << c.name;
}

const Bytes kTypeAnswer = {0x02, 0x40, 0x00, 0x01, 0x01, 0x4D, 0x8C, 0x03};
const ParsedFrame kTypeFrame = {0x40, {0x01}};

class FrameParserTest : public testing::TestWithParam<ParserCase> {};

TEST_P(FrameParserTest, YieldsExactlyTheValidFrames) {
  CountingGapTimer timer;
  FrameParser parser(timer);
  std::vector<ParsedFrame> frames;
  for (const Step& step : GetParam().steps) {
    if (std::holds_alternative<Gap>(step)) {
      parser.OnGapElapsed();
      continue;
    }
    for (std::uint8_t b : std::get<Bytes>(step)) {
      if (parser.Feed(b).frameComplete) {
        const auto p = parser.Frame().Payload();
        frames.push_back({parser.Frame().command, Bytes(p.begin(), p.end())});
      }
    }
  }
  EXPECT_EQ(frames, GetParam().expected);
}

Bytes WithBadCrc() {
  Bytes b = kTypeAnswer;
  b[6] ^= 0xFF;
  return b;
}

Bytes WithBadEtx() {
  Bytes b = kTypeAnswer;
  b[7] = 0x04;
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FrameParserTest,
    testing::Values(
        ParserCase{"DeviceTypeAnswer", {kTypeAnswer}, {kTypeFrame}},
        ParserCase{"NoiseBeforeStxIsSkipped", {Bytes{0x55, 0xAA}, kTypeAnswer}, {kTypeFrame}},
        ParserCase{"BadCrcDroppedThenGoodFrameParsed", {WithBadCrc(), kTypeAnswer}, {kTypeFrame}},
        ParserCase{"WrongEtxIsNotDispatched", {WithBadEtx()}, {}},
        ParserCase{"ZeroLengthGoesStraightToCrc", {Answer(0x31, {})}, {{0x31, {}}}},
        ParserCase{"Length4096DroppedAtSecondLengthByte",
                   {Bytes{0x02, 0x33, 0x10, 0x00}, kTypeAnswer},
                   {kTypeFrame}},
        ParserCase{"LongestAcceptedPayload",
                   {Answer(0x35, Bytes(4095, 0xA5))},
                   {{0x35, Bytes(4095, 0xA5)}}},
        ParserCase{"GapAfterCommandRestartsAtNextStx",
                   {Bytes{0x02, 0x40}, Gap{}, kTypeAnswer},
                   {kTypeFrame}},
        // A frame cut between its two length bytes must not shift the next frame's
        // length bytes by one.
        ParserCase{
            "GapBetweenLengthBytes", {Bytes{0x02, 0x40, 0x00}, Gap{}, kTypeAnswer}, {kTypeFrame}},
        ParserCase{"TwoFramesBackToBack",
                   {kTypeAnswer, Answer(0x32, {0x07, 0x08})},
                   {kTypeFrame, {0x32, {0x07, 0x08}}}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FrameParser, EveryByteRestartsTheGapTimer) {
  CountingGapTimer timer;
  FrameParser parser(timer);
  for (std::uint8_t b : Bytes{0x55, 0x02, 0x40}) parser.Feed(b);
  EXPECT_EQ(timer.restarts, 3);
}

TEST(FrameParser, GapOnlyTakesEffectAtTheNextByte) {
  CountingGapTimer timer;
  FrameParser parser(timer);
  parser.Feed(0x02);
  parser.OnGapElapsed();
  EXPECT_EQ(parser.State(), ParserState::Command);
  parser.Feed(0x40);  // parsed from Idle: not an STX, so ignored
  EXPECT_EQ(parser.State(), ParserState::Idle);
}

TEST(FrameParser, MonitorLineHoldsTheWholeValidFrame) {
  CountingGapTimer timer;
  FrameParser parser(timer);
  FrameParser::FeedResult last;
  for (std::uint8_t b : Bytes{0x55, 0x02, 0x40, 0x00, 0x01, 0x01, 0x4D, 0x8C, 0x03}) {
    last = parser.Feed(b);
  }
  EXPECT_TRUE(last.monitorLineReady);
  const auto line = parser.MonitorLine();
  EXPECT_EQ(Bytes(line.begin(), line.end()), kTypeAnswer);
}

TEST(FrameParser, MonitorLineShowsWrongEtxButNotBadCrc) {
  CountingGapTimer timer;
  FrameParser parser(timer);
  bool ready = false;
  for (std::uint8_t b : WithBadCrc()) ready |= parser.Feed(b).monitorLineReady;
  EXPECT_FALSE(ready);

  FrameParser::FeedResult last;
  for (std::uint8_t b : WithBadEtx()) last = parser.Feed(b);
  EXPECT_TRUE(last.monitorLineReady);
  EXPECT_FALSE(last.frameComplete);
  const auto line = parser.MonitorLine();
  EXPECT_EQ(Bytes(line.begin(), line.end()), WithBadEtx());
}

TEST(FrameParser, MonitorLineKeeps255BytesThenTheEtx) {
  CountingGapTimer timer;
  FrameParser parser(timer);
  const Bytes frame = Answer(0x35, Bytes(400, 0x11));
  FrameParser::FeedResult last;
  for (std::uint8_t b : frame) last = parser.Feed(b);
  ASSERT_TRUE(last.frameComplete);
  const auto line = parser.MonitorLine();
  ASSERT_EQ(line.size(), 256u);
  EXPECT_TRUE(std::equal(line.begin(), line.begin() + 255, frame.begin()));
  EXPECT_EQ(line.back(), kEtx);
}

}  // namespace
}  // namespace ql::link
