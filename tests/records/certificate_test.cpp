#include "records/certificate.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace ql::records {
namespace {

using Bytes = std::vector<std::uint8_t>;

CertificateRecord FourGas() {
  CertificateRecord r;
  r.year = 2016;
  r.month = 3;
  r.day = 5;
  r.productCode = "TKL+";
  r.serialNumber = "RVX310402";
  r.gasLot = -7;
  r.lowAlarm = {100, 195, 350, 100};
  r.highAlarm = {200, 235, 2000, 150};
  r.calibration = {500, 209, 1005, 250};
  r.reading = {498, 181, 1003, 249};
  r.stel = {0, 0, 1000, 50};
  r.twa = {0, 0, 250, 10};
  r.gasFlags = {0, 1, 1, 1};
  r.gasType = kCertificateFourGas;
  r.result = 3;
  return r;
}

struct RoundTripCase {
  const char* name;
  std::function<CertificateRecord()> record;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.name;
}

class CertificateRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(CertificateRoundTrip, BytesReadBackAsTheSameRecord) {
  const CertificateRecord record = GetParam().record();
  const auto bytes = record.Bytes();
  EXPECT_EQ(CertificateRecord::FromBytes(bytes), record);
  EXPECT_EQ(CertificateRecord::FromBytes(bytes).Bytes(), bytes);
}

INSTANTIATE_TEST_SUITE_P(Records, CertificateRoundTrip,
                         testing::Values(RoundTripCase{"Empty", [] { return CertificateRecord{}; }},
                                         RoundTripCase{"FourGas", FourGas},
                                         RoundTripCase{"TextsFillingTheirFields",
                                                       [] {
                                                         CertificateRecord r = FourGas();
                                                         r.productCode = "ABCDEFGHIJKL";
                                                         r.serialNumber = "123456789012";
                                                         return r;
                                                       }},
                                         RoundTripCase{"ExtremesAndReservedBytes",
                                                       [] {
                                                         CertificateRecord r;
                                                         r.year = -1;
                                                         r.gasLot = 0x7FFFFFFF;
                                                         r.reading = {0xFFFF, 0, 0xFFFF, 1};
                                                         r.reserved.fill(0xEE);
                                                         r.reservedEnd = {0xAB, 0xCD};
                                                         r.gasType = kCertificateO2;
                                                         return r;
                                                       }}),
                         [](const auto& row) { return std::string(row.param.name); });

// The record laid out by hand, byte by byte.
Bytes HandLaid() {
  Bytes b(108, 0);
  b[0] = 0xE0;  // year 2016
  b[1] = 0x07;
  b[4] = 3;
  b[8] = 5;
  b[12] = 0x11;  // reserved
  const std::string product = "TKL+";
  const std::string serial = "RVX310402";
  std::copy(product.begin(), product.end(), b.begin() + 24);
  std::copy(serial.begin(), serial.end(), b.begin() + 36);
  b[48] = 0xF9;  // lot -7
  b[49] = 0xFF;
  b[50] = 0xFF;
  b[51] = 0xFF;
  b[58] = 100;   // H2S low alarm
  b[62] = 0xEB;  // O2 high alarm 235
  b[72] = 0xED;  // CO calibration 1005 = 0x03ED
  b[73] = 0x03;
  b[84 + 6] = 50;    // H2S STEL
  b[92 + 4] = 0xFA;  // CO TWA 250
  b[100 + 1] = 1;    // O2 flag
  b[104] = 0xFF;
  b[105] = 2;
  b[107] = 0x22;  // reserved
  return b;
}

TEST(CertificateRecord, FieldsAtTheirOffsets) {
  const CertificateRecord r = CertificateRecord::FromBytes(HandLaid());
  EXPECT_EQ(r.year, 2016);
  EXPECT_EQ(r.month, 3);
  EXPECT_EQ(r.day, 5);
  EXPECT_EQ(r.reserved[0], 0x11);
  EXPECT_EQ(r.productCode, "TKL+");
  EXPECT_EQ(r.serialNumber, "RVX310402");
  EXPECT_EQ(r.gasLot, -7);
  const auto h2s = static_cast<std::size_t>(CertificateGas::H2s);
  const auto o2 = static_cast<std::size_t>(CertificateGas::O2);
  const auto co = static_cast<std::size_t>(CertificateGas::Co);
  EXPECT_EQ(r.lowAlarm, (CertificateRecord::GasValues{0, 0, 0, 100}));
  EXPECT_EQ(r.highAlarm[o2], 235);
  EXPECT_EQ(r.calibration[co], 1005);
  EXPECT_EQ(r.stel[h2s], 50);
  EXPECT_EQ(r.twa[co], 250);
  EXPECT_EQ(r.gasFlags, (std::array<std::uint8_t, 4>{0, 1, 0, 0}));
  EXPECT_EQ(r.gasType, kCertificateFourGas);
  EXPECT_EQ(r.result, kCertificateFail);
  EXPECT_EQ(r.reservedEnd[1], 0x22);
  const auto back = r.Bytes();
  EXPECT_EQ(Bytes(back.begin(), back.end()), HandLaid());
}

TEST(CertificateRecord, ShortPayloadReadsMissingBytesAsZeroLongerIsCut) {
  const Bytes full = HandLaid();
  const CertificateRecord cut =
      CertificateRecord::FromBytes(Bytes(full.begin(), full.begin() + 52));
  EXPECT_EQ(cut.gasLot, -7);
  EXPECT_EQ(cut.lowAlarm, CertificateRecord::GasValues{});
  EXPECT_EQ(cut.gasType, kCertificateNoData);
  EXPECT_EQ(CertificateRecord::FromBytes({}), CertificateRecord{});
  Bytes longer = full;
  longer.resize(200, 0x77);
  EXPECT_EQ(CertificateRecord::FromBytes(longer), CertificateRecord::FromBytes(full));
}

TEST(CertificateRecord, TextsEndAtTheirFieldAndAreCutToIt) {
  Bytes b(108, 0);
  std::fill(b.begin() + 24, b.begin() + 48, 'X');  // both texts fill their 12 bytes
  const CertificateRecord r = CertificateRecord::FromBytes(b);
  EXPECT_EQ(r.productCode, std::string(12, 'X'));
  EXPECT_EQ(r.serialNumber, std::string(12, 'X'));
  CertificateRecord longer;
  longer.productCode = "ABCDEFGHIJKLMNOP";
  const auto bytes = longer.Bytes();
  EXPECT_EQ(std::string(bytes.begin() + 24, bytes.begin() + 36), "ABCDEFGHIJKL");
  EXPECT_EQ(bytes[36], 0) << "nothing runs into the serial number";
}

}  // namespace
}  // namespace ql::records
