#pragma once
// An engine wired to fakes: the test plays the station through the fake port, runs the
// UI thread's event loop, drives the pacer by hand and moves the virtual clock.

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "engine/engine.h"
#include "engine/engine_testing.h"
#include "link/clock.h"
#include "link/crc16.h"
#include "link/event_loop.h"
#include "protocol/station_frames.h"
#include "tests/engine/fakes.h"

namespace ql::engine::testsupport {

struct Request {
  std::uint8_t code = 0;
  Bytes payload;
};

// A request frame at the start of `w`: length low byte first, CRC and ETX checked.
inline std::optional<Request> ParseRequest(const Bytes& w) {
  if (w.size() < 7 || w[0] != link::kStx) return std::nullopt;
  const std::size_t n = w[2] | (static_cast<std::size_t>(w[3]) << 8);
  if (w.size() < n + 7) return std::nullopt;
  const std::uint16_t crc = link::Crc16({w.data() + 1, n + 3});
  if (w[4 + n] != (crc >> 8) || w[5 + n] != (crc & 0xFF) || w[6 + n] != link::kEtx) {
    return std::nullopt;
  }
  return Request{w[1], Bytes(w.begin() + 4, w.begin() + 4 + static_cast<long>(n))};
}

// An answer frame as a station sends it: length high byte first.
inline Bytes AnswerFrame(std::uint8_t code, const Bytes& payload) {
  return protocol::BuildAnswerFrame(code, payload);
}

inline Bytes ClockPayload(int year, int month, int day, int hour, int minute, int second) {
  RequestBlock b;
  b.time = {year, month, day, hour, minute, second};
  const auto bytes = b.Bytes();
  return Bytes(bytes.begin(), bytes.end());
}

class EngineFixture : public testing::Test {
 protected:
  EngineFixture() {
    timers.SetTarget([this](int id) { engine.OnTimer(id); });
  }

  // OPEN on the fake port; returns the first request (the device type query).
  std::optional<Request> Open() {
    engine.OpenCloseButton(std::string("fake"));
    return TakeRequest();
  }

  // Runs the pacer until one whole request frame has gone out, and returns it.
  std::optional<Request> TakeRequest() {
    {
      std::lock_guard lock(port->mutex);
      port->written.clear();
    }
    for (int i = 0; i < 5000; ++i) {
      hooks.Pacer().Tick();
      std::lock_guard lock(port->mutex);
      if (auto r = ParseRequest(port->written)) return r;
    }
    return std::nullopt;
  }

  // Bytes the pacer has put out so far (after ticking `ticks` times).
  Bytes Written(int ticks = 0) {
    for (int i = 0; i < ticks; ++i) hooks.Pacer().Tick();
    std::lock_guard lock(port->mutex);
    return port->written;
  }

  // The station sends bytes; returns once the engine has handled them.
  void Station(const Bytes& bytes) {
    {
      std::lock_guard lock(port->mutex);
      port->incoming.insert(port->incoming.end(), bytes.begin(), bytes.end());
      port->changed.notify_all();
    }
    const auto idle = [&] {
      std::lock_guard lock(port->mutex);
      return port->waiting && port->incoming.empty();
    };
    for (int i = 0; i < 5000 && !idle(); ++i) loop.RunUntil(idle, std::chrono::milliseconds(1));
    loop.RunPending();
    ASSERT_TRUE(idle()) << "the engine did not take the station's bytes";
  }
  void Answer(std::uint8_t code, const Bytes& payload) { Station(AnswerFrame(code, payload)); }

  // Opens and answers the device type query with `type`.
  void Identify(int type) {
    ASSERT_TRUE(Open());
    Answer(cmd::kDeviceType, {static_cast<std::uint8_t>(type)});
  }

  std::shared_ptr<FakeSerialPort::Shared> port = std::make_shared<FakeSerialPort::Shared>();
  link::EventLoop loop;
  VirtualTimerHost timers;
  FixedWallClock clock;
  RecordingUi ui;
  link::VirtualClock transferClock;  // the transfers' time-outs
  Engine engine{ui,
                timers,
                loop,
                clock,
                std::make_unique<FakeSerialPort>(port),
                EngineOptions{.startPacerThread = false, .transferClock = &transferClock}};
  EngineTestAccess hooks{engine};

  // Moves the transfers' virtual clock on whenever the transfer worker waits, until
  // `done` holds (the UI loop runs in between).
  bool RunTransferUntil(const std::function<bool()>& done) {
    link::IClockClient* participants[] = {&hooks.Stream()};
    for (int i = 0; i < 2000 && !done(); ++i) {
      loop.RunUntil(done, std::chrono::milliseconds(1));
      if (!done())
        transferClock.AdvanceWhenIdle(participants, std::chrono::milliseconds(20),
                                      std::chrono::seconds(1));
    }
    return done();
  }
};

}  // namespace ql::engine::testsupport
