#pragma once
// Every text the engine shows: its message boxes and the captions of the connection
// controls. Defined here once; front ends and tests that need one use these constants.
// "\n" in a text is a line break of the message box.

#include <string_view>

namespace ql::engine::msg {

// Connection.
inline constexpr std::string_view kPortOpenFail = "Port open fail";
inline constexpr std::string_view kConnectionLost = "Connection lost";
inline constexpr std::string_view kSendTimeout = "Send timeOut";
inline constexpr std::string_view kPumpStation = "Device Type : Docking for PUMP";
inline constexpr std::string_view kUnknownDeviceType = "Unknown Device Type !!";

// Captions of the OPEN/CLOSE button and texts of the status field.
inline constexpr std::string_view kCaptionOpen = "OPEN";
inline constexpr std::string_view kCaptionClose = "CLOSE";
inline constexpr std::string_view kStatusConnecting = "Connecting";
inline constexpr std::string_view kStatusDisconnected = "Disconnect";

// Records.
inline constexpr std::string_view kPortOpenCheck = "Port open check";
inline constexpr std::string_view kReadFailure = "Read failure";
inline constexpr std::string_view kDeviceTypeMismatch =
    "Device Type Mismatch \n (Close port and re-open)";
inline constexpr std::string_view kReadComplete = "   Read complete   ";
inline constexpr std::string_view kWriteCompleteDocking = "Write complete (Docking Info)";
inline constexpr std::string_view kWriteCompleteMultiGas = "Write complete (RVX Info)";
inline constexpr std::string_view kWriteCompleteSingleGas = "Write complete (TKL Info)";
inline constexpr std::string_view kWriteCompleteUsbNotConnected =
    "Write complete \n(Docking USB not connected)";
inline constexpr std::string_view kWriteFail = "Write fail (Device is different)";

// Station clock.
inline constexpr std::string_view kClockInvalid = "Docking clock invalid";

// Firmware upload.
inline constexpr std::string_view kFirmwareSendOk = "Firmware file send ok";
inline constexpr std::string_view kFirmwareSendFail = "Firmware file send fail";

// Logs.
inline constexpr std::string_view kPortNotOpen = "The port not open";
inline constexpr std::string_view kLogListOk = "Log file receive success";
inline constexpr std::string_view kLogListFail =
    "Log file receive fail \n (Log data empty or USB not connected)";
inline constexpr std::string_view kNotSelected = "Not Selected !!";
inline constexpr std::string_view kDockingUsbNotConnected = "Docking USB not connected";
inline constexpr std::string_view kLogSaveOk = "Log data save success";
inline constexpr std::string_view kLogSaveFail =
    "Log data save failure\n(File opened on pc or IRDA fail)";

// Certificates.
inline constexpr std::string_view kCertificateListOk = "CertiData file receive success";
inline constexpr std::string_view kCertificateListFail =
    "CertiData file receive fail \n (Certi Log empty or USB not connected)";
inline constexpr std::string_view kCertificateFail =
    "CertiData receive fail \n (Certi data empty or USB not connected)";
inline constexpr std::string_view kGasTypeMismatch = "Gas Type Mismatch \n";

// Service page.
inline constexpr std::string_view kSerialNumberEmpty = "Serial Number Empty !!";
inline constexpr std::string_view kSerialNumberWritten = "SN Write OK !!";
inline constexpr std::string_view kFirmwareErased = "Flash erase success !!";
inline constexpr std::string_view kFactoryDefaultDone = "Factory default success !!";
inline constexpr std::string_view kSelfTestDone = "Docking Self Test Complete !!";
inline constexpr std::string_view kLinkUpLengthFail = "Docking Ethernet Link up length Fail !!";
inline constexpr std::string_view kLinkUpFail = "Docking Ethernet Link up Fail !!";
inline constexpr std::string_view kLinkUpOk = "Docking Ethernet Link up Success !!";
inline constexpr std::string_view kIpLengthFail = "Docking Ethernet IP length Fail !!";

}  // namespace ql::engine::msg
