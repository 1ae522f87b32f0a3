#include "tools/station/station_state.h"

#include <algorithm>
#include <system_error>

#include "io/file_io.h"
#include "records/certificate.h"
#include "records/docking_info.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"

namespace ql::station {
namespace fs = std::filesystem;
using namespace ql::records;

namespace {

template <std::size_t N>
void Check(GasTextRow<N>& row, std::array<std::string, N> texts) {
  row.checked = true;
  row.text = std::move(texts);
}

std::array<std::uint8_t, 64> SampleDocking() {
  DockingPageValues page;
  LoadDockingDefaults(page);
  page.serialNumber = "DS2612000042";
  page.version = "132";
  page.location = "BAY3NORTH";
  page.autoPowerOffTime = "600";
  page.maximumBumpTime = "45";
  page.gasExpirationDate = {2027, 6, 30};
  page.gasBottleLot = "240517";
  page.bumpResultDecision = 2;
  page.SetSwitch(DockingSwitch::AllowHibernate, true);
  DockingInfoRecord record;
  DockingInfoFromPage(page, record);
  return record.bytes;
}

std::array<std::uint8_t, 112> SampleSingleGas() {
  SingleGasPageValues page;
  LoadSingleGasDefaults(page);
  page.concentration = {"25.0", "100", "18.0"};
  Check(page.userId, {"TECH01", "TECH01", "TECH01"});
  Check(page.calibrationInterval, {"180", "180", "180"});
  Check(page.bumpInterval, {"30", "30", "30"});
  Check(page.selfTestInterval, {"12", "12", "12"});
  Check(page.lowAlarm, {"10.0", "35", "19.5"});
  Check(page.highAlarm, {"15.0", "200", "23.5"});
  page.display.checked = true;
  page.display.index = {1, 1, 1};
  SingleGasOptionRecord record;
  SingleGasOptionsFromPage(page, record);
  return record.bytes;
}

std::array<std::uint8_t, 100> SampleMultiGas() {
  MultiGasPageValues page;
  LoadMultiGasDefaults(page);
  page.concentration = {"25.0", "100.0", "18.0", "50.0"};
  Check(page.calibrationInterval, {"180", "180", "180", "180"});
  Check(page.bumpInterval, {"30", "30", "30", "30"});
  Check(page.lowAlarm, {"10.0", "35.0", "19.5", "10.0"});
  Check(page.highAlarm, {"15.0", "200.0", "23.5", "20.0"});
  Check(page.twaAlarm, {"1.0", "25.0"});
  Check(page.stelAlarm, {"5.0", "100.0"});
  page.userId = {true, "TECH01"};
  page.twaMethod = {true, 1};
  page.twaInterval = {true, "8"};
  page.stelInterval = {true, "15"};
  page.safeDisplay = true;
  page.latchingAlarms = true;
  page.autoZero = true;
  MultiGasOptionRecord record;
  MultiGasOptionsFromPage(page, record);
  return record.bytes;
}

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes SampleLog(const std::string& day, int events) {
  std::string text = "# Docking station event log " + day + "\r\n";
  for (int i = 0; i < events; ++i) {
    const int minute = (i * 7) % 60;
    const int hour = 6 + (i * 7) / 60;
    char line[160];
    std::snprintf(line, sizeof line,
                  "%s %02d:%02d:00,SLOT%d,RVX%06d,%s,H2S 0.0,CO 0,O2 20.9,LEL 0\r\n", day.c_str(),
                  hour % 24, minute, 1 + i % 4, 310400 + i % 5,
                  (i % 9 == 0) ? "CALIBRATION PASS" : (i % 13 == 0 ? "BUMP FAIL" : "BUMP PASS"));
    text += line;
  }
  return Text(text);
}

Bytes Certificate(const CertificateRecord& record) {
  const auto bytes = record.Bytes();
  return Bytes(bytes.begin(), bytes.end());
}

// Values per gas in the order LEL, O2, CO, H2S, in tenths.
std::vector<StationFile> SampleCertificates() {
  CertificateRecord fourGas;
  fourGas.year = 2026;
  fourGas.month = 11;
  fourGas.day = 28;
  fourGas.productCode = "RVX";
  fourGas.serialNumber = "RVX310402";
  fourGas.gasLot = 240517;
  fourGas.lowAlarm = {100, 195, 350, 100};
  fourGas.highAlarm = {200, 235, 2000, 150};
  fourGas.calibration = {500, 180, 1000, 250};
  fourGas.reading = {498, 181, 1003, 249};
  fourGas.stel = {0, 0, 1000, 50};
  fourGas.twa = {0, 0, 250, 10};
  fourGas.gasFlags = {1, 1, 1, 1};
  fourGas.gasType = kCertificateFourGas;
  fourGas.result = kCertificatePass;

  CertificateRecord h2s;
  h2s.year = 2026;
  h2s.month = 11;
  h2s.day = 30;
  h2s.productCode = "TKL";
  h2s.serialNumber = "TKL120077";
  h2s.gasLot = 240517;
  h2s.lowAlarm = {0, 0, 0, 100};
  h2s.highAlarm = {0, 0, 0, 150};
  h2s.calibration = {0, 0, 0, 250};
  h2s.reading = {0, 0, 0, 252};
  h2s.gasFlags = {0, 0, 0, 1};
  h2s.gasType = kCertificateH2s;
  h2s.result = kCertificatePass;

  return {{"RVX310402.CRT", Certificate(fourGas)}, {"TKL120077.CRT", Certificate(h2s)}};
}

// Station files are small; anything larger is not one of ours.
constexpr std::uintmax_t kMaxStationFile = 16u << 20;

bool ReadFile(const fs::path& path, Bytes& out) {
  auto data = io::ReadWholeFile(path, kMaxStationFile);
  if (!data) return false;
  out = std::move(*data);
  return true;
}

bool WriteFileAtomically(const fs::path& path, const Bytes& data) {
  return io::WriteFileAtomically(path, data);
}

template <std::size_t N>
bool LoadRecord(const fs::path& path, std::array<std::uint8_t, N>& record) {
  Bytes data;
  if (!ReadFile(path, data) || data.size() != N) return false;
  std::copy(data.begin(), data.end(), record.begin());
  return true;
}

// The files of `dir` a station offers: regular files (or links to them) with names of
// at most 19 characters, sorted. Listing goes step by step with error codes, as the
// iterator and the entries' types throw otherwise; a folder that cannot be listed gives
// an empty list and false, with `error` naming what failed.
bool ListStationFiles(const fs::path& dir, std::vector<fs::path>& paths, std::string& error) {
  paths.clear();
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    // Not found (a dangling link) is no file; any other failure (a loop of links, no
    // access) is a folder the station cannot read.
    const fs::file_status status = it->status(ec);
    if (status.type() == fs::file_type::none) {
      error = it->path().string() + ": " + ec.message();
      paths.clear();
      return false;
    }
    ec.clear();
    if (fs::is_regular_file(status) && it->path().filename().string().size() <= 19) {
      paths.push_back(it->path());
    }
  }
  if (ec) {
    error = dir.string() + ": " + ec.message();
    paths.clear();
    return false;
  }
  std::sort(paths.begin(), paths.end());
  return true;
}

bool LoadFolder(const fs::path& dir, std::vector<StationFile>& files, std::string& error) {
  files.clear();
  std::vector<fs::path> paths;
  if (!ListStationFiles(dir, paths, error)) return false;
  for (const auto& p : paths) {
    StationFile f{p.filename().string(), {}};
    if (ReadFile(p, f.content)) files.push_back(std::move(f));
  }
  return true;
}

}  // namespace

StationState SampleStationState(int deviceType) {
  StationState s;
  s.deviceType = deviceType;
  s.docking = SampleDocking();
  s.singleGas = SampleSingleGas();
  s.multiGas = SampleMultiGas();
  s.logs = {{"EVT20261208.LOG", SampleLog("2026-12-08", 60)},
            {"EVT20261209.LOG", SampleLog("2026-12-09", 140)},
            {"EVT20261210.LOG", SampleLog("2026-12-10", 25)}};
  s.certificates = SampleCertificates();
  return s;
}

bool SaveStationRecords(const fs::path& dir, const StationState& state) {
  return WriteFileAtomically(dir / "Docking.cfg",
                             Bytes(state.docking.begin(), state.docking.end())) &&
         WriteFileAtomically(dir / "TKL.cfg",
                             Bytes(state.singleGas.begin(), state.singleGas.end())) &&
         WriteFileAtomically(dir / "RVX.cfg", Bytes(state.multiGas.begin(), state.multiGas.end()));
}

bool SaveFirmwareFile(const fs::path& dir, const std::string& name, const Bytes& data) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    return false;
  std::error_code ec;
  fs::create_directories(dir / "firmware", ec);
  return !ec && WriteFileAtomically(dir / "firmware" / name, data);
}

bool LoadStationState(const fs::path& dir, int deviceType, StationState& state,
                      std::string& error) {
  const StationState sample = SampleStationState(deviceType);
  state = sample;
  std::error_code ec;
  for (const char* sub : {"logs", "certs", "firmware"}) {
    const bool fresh = !fs::exists(dir / sub, ec);
    fs::create_directories(dir / sub, ec);
    if (ec) {
      error = (dir / sub).string() + ": " + ec.message();
      return false;
    }
    // A new state folder starts with the sample files, so there is something to fetch.
    const auto& seed = std::string(sub) == "logs" ? sample.logs : sample.certificates;
    if (fresh && std::string(sub) != "firmware") {
      for (const StationFile& f : seed) {
        if (!WriteFileAtomically(dir / sub / f.name, f.content)) {
          error = (dir / sub / f.name).string() + ": cannot write";
          return false;
        }
      }
    }
  }
  LoadRecord(dir / "Docking.cfg", state.docking);
  LoadRecord(dir / "TKL.cfg", state.singleGas);
  LoadRecord(dir / "RVX.cfg", state.multiGas);
  if (!LoadFolder(dir / "logs", state.logs, error) ||
      !LoadFolder(dir / "certs", state.certificates, error)) {
    return false;
  }
  if (!SaveStationRecords(dir, state)) {
    error = dir.string() + ": cannot write the records";
    return false;
  }
  return true;
}

}  // namespace ql::station
