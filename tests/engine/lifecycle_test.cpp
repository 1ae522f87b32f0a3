// Connection lifecycle, pacing, resends and time-outs on the virtual clock.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <thread>

#include "tests/engine/engine_fixture.h"

namespace ql::engine {
namespace {

using namespace std::chrono_literals;
using testsupport::Bytes;
using testsupport::EngineFixture;

using Lifecycle = EngineFixture;

TEST_F(Lifecycle, OpenWithoutAPortSaysPortOpenFailAndStaysClosed) {
  engine.OpenCloseButton(std::nullopt);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Port open fail"});
  EXPECT_EQ(ui.caption, "OPEN");
  EXPECT_EQ(ui.status, "Disconnect");
  EXPECT_TRUE(ui.refreshEnabled);
  EXPECT_FALSE(engine.PortOpen());
}

TEST_F(Lifecycle, OpenOnAHeldPortSaysPortOpenFail) {
  port->refuseOpen = true;
  engine.OpenCloseButton(std::string("fake"));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Port open fail"});
  EXPECT_EQ(ui.caption, "OPEN");
}

TEST_F(Lifecycle, OpenSendsTheDeviceTypeQueryBackToBack) {
  engine.OpenCloseButton(std::string("fake"));
  EXPECT_EQ(ui.caption, "CLOSE");
  EXPECT_EQ(ui.status, "Connecting");
  EXPECT_EQ(ui.statusMode, StatusMode::Connected);
  EXPECT_FALSE(ui.refreshEnabled);
  EXPECT_TRUE(ui.requestInFlight);
  const Bytes frame = {0x02, 0x40, 0x00, 0x00, 0x1D, 0xAD, 0x03};
  Bytes twice = frame;
  twice.insert(twice.end(), frame.begin(), frame.end());
  EXPECT_EQ(Written(14), twice);
}

TEST_F(Lifecycle, SilentStationTimesOutAfterTwentySecondsAndThePortCloses) {
  engine.OpenCloseButton(std::string("fake"));
  Written(3);
  hooks.Flags().rxActivity = true;  // a stray byte paused the pacer
  timers.Advance(200ms);
  EXPECT_FALSE(hooks.Flags().rxActivity.load()) << "the resend tick lets the pacer resume";
  timers.Advance(20000ms - 200ms);  // 100 ticks: still waiting
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(engine.PortOpen());
  timers.Advance(200ms);  // the 101st tick gives up
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Send timeOut"});
  EXPECT_FALSE(engine.PortOpen());
  EXPECT_EQ(ui.caption, "OPEN");
  EXPECT_EQ(ui.status, "Disconnect");
  EXPECT_TRUE(hooks.TransferAborted());
  EXPECT_FALSE(timers.Running(timer::kResend));
}

TEST_F(Lifecycle, LongRequestTimesOutAfterElevenTicksAndResetsProgress) {
  ASSERT_TRUE(Open());
  Answer(cmd::kDeviceType, {3});
  ui.messages.clear();
  engine.PageRead(RecordType::Docking);  // 28-byte request
  ASSERT_TRUE(timers.Running(timer::kResponse));
  EXPECT_FALSE(timers.Running(timer::kResend));
  timers.Advance(5000ms);
  EXPECT_TRUE(ui.messages.empty());
  timers.Advance(500ms);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Send timeOut"});
  EXPECT_EQ(ui.progress.back(), 0);
  EXPECT_TRUE(engine.PortOpen()) << "only a failed device type query closes the port";
  EXPECT_EQ(hooks.LastCommand(), 0);
}

// The log save run's watchdog watches its file requests; the request has no time-out.
TEST_F(Lifecycle, LogFileRequestHasNoResponseTimeout) {
  ASSERT_TRUE(Open());
  Answer(cmd::kDeviceType, {3});
  ui.messages.clear();
  hooks.SendCommand(cmd::kLogFile, Bytes(20, 'A'));
  timers.Advance(60s);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(hooks.LastCommand(), cmd::kLogFile);
}

struct TimeoutCase {
  const char* name;
  std::uint8_t code;
  std::size_t payload;
  int timer;                        // the one that supervises it
  std::chrono::milliseconds lasts;  // until "Send timeOut"
};
void PrintTo(const TimeoutCase& c, std::ostream* os) {
  *os << c.name;
}

class RequestTimeout : public EngineFixture, public testing::WithParamInterface<TimeoutCase> {};

// The lists and the certificate get the time-out of their length, as every other request.
TEST_P(RequestTimeout, SilentStationGetsSendTimeoutAfterTheRequestsTimeout) {
  const TimeoutCase& c = GetParam();
  ASSERT_TRUE(Open());
  Answer(cmd::kDeviceType, {3});
  ui.messages.clear();
  hooks.SendCommand(c.code, Bytes(c.payload, 'A'));
  EXPECT_TRUE(timers.Running(c.timer));
  timers.Advance(c.lasts - 1ms);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(hooks.LastCommand(), c.code);
  timers.Advance(1ms);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Send timeOut"});
  EXPECT_EQ(hooks.LastCommand(), 0);
  EXPECT_FALSE(hooks.Pacer().Running()) << "the request is no longer repeated";
  EXPECT_TRUE(engine.PortOpen());
}

INSTANTIATE_TEST_SUITE_P(Requests, RequestTimeout,
                         testing::Values(TimeoutCase{"LogList", cmd::kLogList, 0, timer::kResend,
                                                     20200ms},
                                         TimeoutCase{"CertificateList", cmd::kCertificateList, 0,
                                                     timer::kResend, 20200ms},
                                         TimeoutCase{"CertificateData", cmd::kCertificateData, 20,
                                                     timer::kResponse, 5500ms}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Lifecycle, ASecondRequestEndsTheFirstSilently) {
  ASSERT_TRUE(Open());
  Answer(cmd::kDeviceType, {3});
  ui.messages.clear();
  hooks.SendCommand(cmd::kSelfTest, {});
  timers.Advance(10s);
  engine.PageRead(RecordType::Docking);
  EXPECT_EQ(hooks.LastCommand(), cmd::kReadRecord);
  EXPECT_FALSE(timers.Running(timer::kResend));
  auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->code, cmd::kReadRecord);
  timers.Advance(15s);  // the first request's 20 s would have run out by now
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Send timeOut"}) << "only the second one's";
}

TEST_F(Lifecycle, CloseResetsTheWindowState) {
  ASSERT_TRUE(Open());
  Answer(cmd::kDeviceType, {3});
  ui.selectedTab = kTabDetector;
  engine.OpenCloseButton(std::string("fake"));
  EXPECT_FALSE(engine.PortOpen());
  EXPECT_EQ(engine.StationType(), DeviceType::None);
  EXPECT_EQ(ui.selectedTab, kTabDocking);
  EXPECT_FALSE(ui.pagesEnabled);
  EXPECT_EQ(ui.tabItemsFor.back(), DeviceType::None);
  EXPECT_EQ(ui.shownDeviceType, DeviceType::None);
  EXPECT_EQ(ui.logListClears, 1);
  EXPECT_EQ(ui.certificateListClears, 1);
  EXPECT_EQ(ui.firmwareCleared.size(), 3u);
  EXPECT_EQ(ui.caption, "OPEN");
  EXPECT_TRUE(ui.refreshEnabled);
  EXPECT_EQ(ui.transferModeEnables, 1);
}

TEST_F(Lifecycle, PageActionsOnAClosedPortSayPortOpenCheck) {
  engine.PageRead(RecordType::Docking);
  engine.PageWrite(RecordType::SingleGas);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"Port open check", "Port open check"}));
}

TEST_F(Lifecycle, RequestsOnAClosedPortSendNothing) {
  hooks.SendCommand(cmd::kEraseFirmware, {});
  EXPECT_EQ(hooks.LastCommand(), 0);
  EXPECT_FALSE(hooks.Pacer().Running());
}

TEST_F(Lifecycle, GapTimerResetsThePartialFrame) {
  ASSERT_TRUE(Open());
  const Bytes answer = testsupport::AnswerFrame(cmd::kDeviceType, {3});
  Station(Bytes(answer.begin(), answer.begin() + 3));
  timers.Advance(600ms);
  Station(answer);
  EXPECT_EQ(engine.StationType(), DeviceType::Pump);
}

TEST_F(Lifecycle, StationGoingAwayClosesTheConnection) {
  ASSERT_TRUE(Open());
  Answer(cmd::kDeviceType, {3});
  {
    std::lock_guard lock(port->mutex);
    port->lost = true;
    port->changed.notify_all();
  }
  ASSERT_TRUE(loop.RunUntil([&] { return !engine.PortOpen(); }, 5s));
  EXPECT_EQ(ui.messages.back(), "Connection lost");
  EXPECT_EQ(ui.caption, "OPEN");
  EXPECT_EQ(engine.StationType(), DeviceType::None);
}

// The fakes check their own contract, so a test that breaks it fails.
std::shared_ptr<testsupport::FakeSerialPort::Shared> closedShared;
std::unique_ptr<testsupport::FakeSerialPort> closedPort;
std::unique_ptr<testsupport::RecordingUi> recorder;

TEST(FakeContract, APortUsedAfterCloseFailsTheTest) {
  closedShared = std::make_shared<testsupport::FakeSerialPort::Shared>();
  closedPort = std::make_unique<testsupport::FakeSerialPort>(closedShared);
  ASSERT_TRUE(closedPort->Open("fake", {}).ok());
  closedPort->Close();
  const std::uint8_t byte = 0x40;
  EXPECT_NONFATAL_FAILURE(closedPort->Write({&byte, 1}, std::nullopt), "Write on a closed port");
  std::uint8_t buffer[4];
  EXPECT_NONFATAL_FAILURE(closedPort->Read(buffer), "Read on a closed port");
  closedPort.reset();
}

TEST(FakeContract, ARecorderCalledFromAnotherThreadFailsTheTest) {
  recorder = std::make_unique<testsupport::RecordingUi>();
  EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(std::thread([] { recorder->ShowMessage("x"); }).join(),
                                         "off the UI thread");
  recorder.reset();
}

}  // namespace
}  // namespace ql::engine
