#pragma once
// Request and answer codes of the station's command protocol, and the station families
// its device type answer names. Shared by the engine, the emulator and the tests.

#include <cstdint>

namespace ql::protocol {

namespace cmd {
inline constexpr std::uint8_t kDeviceType = 0x40;
inline constexpr std::uint8_t kReadRecord = 0x33;
inline constexpr std::uint8_t kWriteRequest = 0x30;
inline constexpr std::uint8_t kWriteData = 0x31;
inline constexpr std::uint8_t kWriteFail = 0x32;
inline constexpr std::uint8_t kReadClock = 0xAE;
inline constexpr std::uint8_t kSetClock = 0xAF;
inline constexpr std::uint8_t kLogList = 0x34;
inline constexpr std::uint8_t kLogFile = 0x35;
inline constexpr std::uint8_t kCertificateList = 0x50;
inline constexpr std::uint8_t kCertificateData = 0x51;
inline constexpr std::uint8_t kFirmwareDocking = 0x37;
inline constexpr std::uint8_t kFirmwareSingleGas = 0x38;
inline constexpr std::uint8_t kFirmwareMultiGas = 0x39;
inline constexpr std::uint8_t kEraseFirmware = 0xAD;
inline constexpr std::uint8_t kFactoryDefault = 0xAC;
inline constexpr std::uint8_t kWriteSerialNumber = 0x41;
inline constexpr std::uint8_t kIpAddress = 0x43;
inline constexpr std::uint8_t kEthernetLinkTest = 0x42;
inline constexpr std::uint8_t kSelfTest = 0xFF;
}  // namespace cmd

// Station families as the device type answer gives them (its first payload byte). None
// stands for no station and for an answer that names no known family.
enum class DeviceType : std::uint8_t {
  None = 0,
  SingleGas = 1,
  MultiGas = 2,
  Pump = 3,
};

// The family an answer's type byte names; None for any other value.
constexpr DeviceType DeviceTypeFromByte(std::uint8_t value) {
  switch (value) {
    case 1:
      return DeviceType::SingleGas;
    case 2:
      return DeviceType::MultiGas;
    case 3:
      return DeviceType::Pump;
    default:
      return DeviceType::None;
  }
}

// The families with a detector record and page of their own.
constexpr bool HasDetectorRecord(DeviceType type) {
  return type == DeviceType::SingleGas || type == DeviceType::MultiGas;
}

}  // namespace ql::protocol
