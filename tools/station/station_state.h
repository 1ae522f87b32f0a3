#pragma once
// The emulated station's state: built-in sample data, or a state folder that holds
//   Docking.cfg, TKL.cfg, RVX.cfg   the three records, as configuration files hold them
//   logs/                           log files the station offers (names of up to 19 characters)
//   certs/                          certificate records (108 bytes each)
//   firmware/                       firmware files received
// Missing parts of a state folder are filled from the sample data and written back.

#include <filesystem>
#include <string>

#include "tools/station/station_core.h"

namespace ql::station {

// A plausible station of family `deviceType` (1 single-gas, 2 multi-gas, 3 pump) with
// realistic alarm levels, a few log files and a four-gas and a single-gas certificate.
StationState SampleStationState(int deviceType);

// Loads the state folder, seeding what is missing. Returns false with `error` set when
// the folder cannot be read or written.
bool LoadStationState(const std::filesystem::path& dir, int deviceType, StationState& state,
                      std::string& error);

// Writes the three records into the state folder (each whole, through a temporary file).
bool SaveStationRecords(const std::filesystem::path& dir, const StationState& state);

// Keeps a received firmware file in the state folder's firmware/ (name checked as a plain
// file name first).
bool SaveFirmwareFile(const std::filesystem::path& dir, const std::string& name, const Bytes& data);

}  // namespace ql::station
