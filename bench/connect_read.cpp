// From OPEN to the end of the automatic read sequence (device type, detector record,
// docking station record, station clock) against the emulator on an emulated 115200-baud
// line, the tool pacing its requests at 2 ms a byte; then the CPU the connected, idle
// engine uses.
//
//   bench_connect_read [runs]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/station_bench.h"
#include "tests/e2e/process.h"

namespace {

using namespace ql;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  std::ostringstream quiet;
  std::vector<double> times;
  for (int type : {1, 2}) {
    bench::StationOnLine station(station::SampleStationState(type), 11520);
    for (int i = 0; i < runs; ++i) {
      cli::StationSession session(quiet);
      const auto start = Clock::now();
      // Connect waits for the device type answer and the automatic read after it.
      const bool done = session.Connect(station.Device()) == cli::ExitCode::Ok &&
                        session.AutomaticRead() &&
                        session.AutomaticRead()->outcome == engine::RequestOutcome::Done;
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      if (!done) {
        std::fprintf(stderr, "run %d: the read sequence did not complete\n", i);
        return 1;
      }
      times.push_back(seconds);
    }
  }
  std::printf(
      "connect to end of automatic read (types 1 and 2, %zu runs): median %.0f ms, min %.0f ms, "
      "max %.0f ms\n",
      times.size(), bench::Median(times) * 1000,
      *std::min_element(times.begin(), times.end()) * 1000,
      *std::max_element(times.begin(), times.end()) * 1000);

  // Idle: the station runs in its own process, so only the engine's threads count here.
  testsupport::Background remote({QUAYLINK_STATION, "--type", "2"});
  const std::string device = remote.FirstLine();
  cli::StationSession session(quiet);
  if (session.Connect(device) != cli::ExitCode::Ok ||
      session.StationType() != protocol::DeviceType::MultiGas) {
    std::fprintf(stderr, "could not connect to the emulator on %s\n", device.c_str());
    return 1;
  }
  rusage threadsBefore{};
  ::getrusage(RUSAGE_SELF, &threadsBefore);
  const double before = CpuSeconds();
  const auto idleStart = Clock::now();
  session.Loop().RunUntil([] { return false; }, std::chrono::seconds(5));
  const double idle = std::chrono::duration<double>(Clock::now() - idleStart).count();
  rusage threadsAfter{};
  ::getrusage(RUSAGE_SELF, &threadsAfter);
  std::printf("connected and idle for %.1f s: %.2f ms of CPU, %ld voluntary context switches\n",
              idle, (CpuSeconds() - before) * 1000, threadsAfter.ru_nvcsw - threadsBefore.ru_nvcsw);
  return 0;
}
