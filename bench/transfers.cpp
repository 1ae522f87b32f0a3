// Whole transfers between the tool's engine and the station emulator on an emulated
// 115200-baud line (11520 bytes a second each way): a 256 KiB firmware upload and a
// 256 KiB log download, each timed from the request to the result message, clean and with
// one byte in N hit on the line.
//
//   bench_transfers [runs] [corrupt-one-in]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "bench/station_bench.h"
#include "io/file_io.h"
#include "records/firmware.h"

namespace {

using namespace ql;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::size_t kFileSize = 256 * 1024;
constexpr double kLineRate = 11520;

std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(random());
  return b;
}

struct Result {
  bool ok = false;
  double seconds = 0;
};

Result Upload(const std::string& device, const fs::path& folder) {
  records::FirmwareTag tag = *records::MakeFirmwareTag(RecordType::Docking, "9.9");
  const auto container =
      *records::PackFirmwareImage(RandomBytes(kFileSize - records::kFirmwareOverhead, 7), tag);
  const fs::path path = folder / "DK_FW.bin";
  io::WriteFileAtomically(path, container);
  records::FirmwareImage image;
  if (!records::VerifyFirmwareFile(RecordType::Docking, path, image).ok()) return {};
  image.fileName = path.string();

  std::ostringstream quiet;
  cli::StationSession session(quiet);
  if (session.Connect(device) != cli::ExitCode::Ok) return {};
  const auto start = Clock::now();
  const engine::RequestEnd end = session.Run(
      protocol::cmd::kFirmwareDocking,
      [&] { session.Engine().StartFirmwareWrite(RecordType::Docking, std::move(image)); },
      std::chrono::minutes(10));
  return {end.outcome == engine::RequestOutcome::Done,
          std::chrono::duration<double>(Clock::now() - start).count()};
}

Result Download(const std::string& device, const fs::path& folder) {
  std::ostringstream quiet;
  cli::StationSession session(quiet);
  if (session.Connect(device) != cli::ExitCode::Ok) return {};
  const auto start = Clock::now();
  const engine::RequestEnd end = session.Run(
      protocol::cmd::kLogFile, [&] { session.Engine().SaveLogs({"BIG.LOG"}, folder); },
      std::chrono::minutes(10));
  return {end.outcome == engine::RequestOutcome::Done,
          std::chrono::duration<double>(Clock::now() - start).count()};
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 1;
  const std::uint64_t corruptOneIn = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 5000;
  const fs::path folder = fs::temp_directory_path() / ("ql-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);

  station::StationState state = station::SampleStationState(2);
  state.logs = {{"BIG.LOG", RandomBytes(kFileSize, 11)}};

  std::printf(
      "256 KiB over an emulated 115200-baud line, request to result (ratio to 11520 B/s)\n");
  int failures = 0;
  for (std::uint64_t hits : {std::uint64_t{0}, corruptOneIn}) {
    for (bool upload : {true, false}) {
      std::vector<double> ratios;
      for (int i = 0; i < runs; ++i) {
        bench::StationOnLine line(state, kLineRate, hits);
        const Result r = upload ? Upload(line.Device(), folder) : Download(line.Device(), folder);
        if (!r.ok) {
          ++failures;
          std::printf("  %s run %d failed\n", upload ? "upload" : "download", i);
          continue;
        }
        ratios.push_back(kFileSize / r.seconds / kLineRate);
      }
      std::printf("  %-18s %-22s median %5.1f%% of the line rate (%zu runs)\n",
                  upload ? "firmware upload" : "log download",
                  hits ? ("one byte in " + std::to_string(hits) + " hit").c_str() : "clean line",
                  bench::Median(ratios) * 100, ratios.size());
      std::fflush(stdout);
    }
  }
  fs::remove_all(folder);
  return failures == 0 ? 0 : 1;
}
