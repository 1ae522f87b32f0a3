#pragma once
// A calibration certificate as the station keeps it and sends it: 108 bytes,
// little-endian. Pure and single-threaded.
//   0    int32 x3     calibration year, month, day
//   12   12 bytes     reserved
//   24   12 bytes     product code, NUL-padded (a 12-character code has no NUL)
//   36   12 bytes     detector serial number, likewise
//   48   int32        gas lot number
//   52   uint16 x4    low alarm, per gas (order below), in tenths of the gas's unit
//   60   uint16 x4    high alarm
//   68   uint16 x4    calibration concentration
//   76   uint16 x4    reading
//   84   uint16 x4    STEL alarm (CO and H2S only)
//   92   uint16 x4    TWA alarm (CO and H2S only)
//   100  uint8 x4     gas flags: 1 the gas has values
//   104  uint8        gas type
//   105  uint8        result
//   106  2 bytes      reserved

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ql::records {

inline constexpr std::size_t kCertificateRecordSize = 108;
inline constexpr std::size_t kCertificateTextSize = 12;

// The order of the per-gas arrays.
enum class CertificateGas : std::size_t { Lel, O2, Co, H2s };
inline constexpr std::size_t kCertificateGasCount = 4;

// Gas type: a four-gas certificate, one of the single gases, or no certificate data.
inline constexpr std::uint8_t kCertificateNoData = 0;
inline constexpr std::uint8_t kCertificateH2s = 1;
inline constexpr std::uint8_t kCertificateCo = 2;
inline constexpr std::uint8_t kCertificateO2 = 0x13;
inline constexpr std::uint8_t kCertificateFourGas = 0xFF;

// Result: anything other than these is shown as none.
inline constexpr std::uint8_t kCertificatePass = 1;
inline constexpr std::uint8_t kCertificateFail = 2;

struct CertificateRecord {
  using GasValues = std::array<std::uint16_t, kCertificateGasCount>;

  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::array<std::uint8_t, 12> reserved{};  // kept as received
  std::string productCode;                  // at most 12 characters
  std::string serialNumber;                 // at most 12 characters
  std::int32_t gasLot = 0;
  GasValues lowAlarm{};
  GasValues highAlarm{};
  GasValues calibration{};
  GasValues reading{};
  GasValues stel{};
  GasValues twa{};
  std::array<std::uint8_t, kCertificateGasCount> gasFlags{};
  std::uint8_t gasType = kCertificateNoData;
  std::uint8_t result = 0;
  std::array<std::uint8_t, 2> reservedEnd{};  // kept as received

  bool operator==(const CertificateRecord&) const = default;

  // The 108 bytes; the texts are cut to their 12 bytes.
  std::array<std::uint8_t, kCertificateRecordSize> Bytes() const;
  // Reads the first 108 bytes; bytes missing from a shorter record read as zero.
  static CertificateRecord FromBytes(std::span<const std::uint8_t> bytes);
};

}  // namespace ql::records
