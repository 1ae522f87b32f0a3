#include "records/certificate.h"

#include <algorithm>

#include "records/byte_order.h"

namespace ql::records {
namespace {

constexpr std::size_t kReserved = 12;
constexpr std::size_t kProductCode = 24;
constexpr std::size_t kSerialNumber = 36;
constexpr std::size_t kGasLot = 48;
constexpr std::size_t kLowAlarm = 52;
constexpr std::size_t kHighAlarm = 60;
constexpr std::size_t kCalibration = 68;
constexpr std::size_t kReading = 76;
constexpr std::size_t kStel = 84;
constexpr std::size_t kTwa = 92;
constexpr std::size_t kGasFlags = 100;
constexpr std::size_t kGasType = 104;
constexpr std::size_t kResult = 105;
constexpr std::size_t kReservedEnd = 106;

void StoreValues(std::span<std::uint8_t> b, std::size_t offset,
                 const CertificateRecord::GasValues& values) {
  for (std::size_t g = 0; g < kCertificateGasCount; ++g) le::StoreU16(b, offset + 2 * g, values[g]);
}

CertificateRecord::GasValues LoadValues(std::span<const std::uint8_t> b, std::size_t offset) {
  CertificateRecord::GasValues values{};
  for (std::size_t g = 0; g < kCertificateGasCount; ++g) values[g] = le::LoadU16(b, offset + 2 * g);
  return values;
}

}  // namespace

std::array<std::uint8_t, kCertificateRecordSize> CertificateRecord::Bytes() const {
  std::array<std::uint8_t, kCertificateRecordSize> b{};
  le::StoreU32(b, 0, static_cast<std::uint32_t>(year));
  le::StoreU32(b, 4, static_cast<std::uint32_t>(month));
  le::StoreU32(b, 8, static_cast<std::uint32_t>(day));
  std::copy(reserved.begin(), reserved.end(), b.begin() + kReserved);
  le::StoreText(b, kProductCode, kCertificateTextSize, productCode);
  le::StoreText(b, kSerialNumber, kCertificateTextSize, serialNumber);
  le::StoreU32(b, kGasLot, static_cast<std::uint32_t>(gasLot));
  StoreValues(b, kLowAlarm, lowAlarm);
  StoreValues(b, kHighAlarm, highAlarm);
  StoreValues(b, kCalibration, calibration);
  StoreValues(b, kReading, reading);
  StoreValues(b, kStel, stel);
  StoreValues(b, kTwa, twa);
  std::copy(gasFlags.begin(), gasFlags.end(), b.begin() + kGasFlags);
  b[kGasType] = gasType;
  b[kResult] = result;
  std::copy(reservedEnd.begin(), reservedEnd.end(), b.begin() + kReservedEnd);
  return b;
}

CertificateRecord CertificateRecord::FromBytes(std::span<const std::uint8_t> bytes) {
  std::array<std::uint8_t, kCertificateRecordSize> b{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), b.size()), b.begin());
  CertificateRecord r;
  r.year = static_cast<std::int32_t>(le::LoadU32(b, 0));
  r.month = static_cast<std::int32_t>(le::LoadU32(b, 4));
  r.day = static_cast<std::int32_t>(le::LoadU32(b, 8));
  std::copy_n(b.begin() + kReserved, r.reserved.size(), r.reserved.begin());
  r.productCode = le::LoadText(b, kProductCode, kCertificateTextSize);
  r.serialNumber = le::LoadText(b, kSerialNumber, kCertificateTextSize);
  r.gasLot = static_cast<std::int32_t>(le::LoadU32(b, kGasLot));
  r.lowAlarm = LoadValues(b, kLowAlarm);
  r.highAlarm = LoadValues(b, kHighAlarm);
  r.calibration = LoadValues(b, kCalibration);
  r.reading = LoadValues(b, kReading);
  r.stel = LoadValues(b, kStel);
  r.twa = LoadValues(b, kTwa);
  std::copy_n(b.begin() + kGasFlags, r.gasFlags.size(), r.gasFlags.begin());
  r.gasType = b[kGasType];
  r.result = b[kResult];
  std::copy_n(b.begin() + kReservedEnd, r.reservedEnd.size(), r.reservedEnd.begin());
  return r;
}

}  // namespace ql::records
