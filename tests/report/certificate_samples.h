#pragma once
// Certificates the report tests print: a four-gas one and single-gas ones.

#include "records/certificate.h"

namespace ql::test {

// Gas order of the arrays: LEL, O2, CO, H2S.
inline records::CertificateRecord FourGasCertificate() {
  records::CertificateRecord r;
  r.year = 2016;
  r.month = 3;
  r.day = 5;
  r.productCode = "RVX";
  r.serialNumber = "RVX310402";
  r.gasLot = 4711;
  r.calibration = {500, 209, 1005, 250};
  r.reading = {498, 181, 1003, 249};
  r.lowAlarm = {100, 195, 350, 100};
  r.highAlarm = {200, 235, 2000, 155};
  r.stel = {0, 0, 1000, 50};
  r.twa = {0, 0, 250, 10};
  r.gasFlags = {1, 1, 1, 1};
  r.gasType = records::kCertificateFourGas;
  r.result = records::kCertificatePass;
  return r;
}

inline records::CertificateRecord SingleGasCoCertificate() {
  records::CertificateRecord r;
  r.year = 2021;
  r.month = 11;
  r.day = 30;
  r.productCode = "TKL+";
  r.serialNumber = "TK0099";
  r.gasLot = 12;
  r.calibration = {0, 0, 100, 0};
  r.reading = {0, 0, 98, 0};
  r.lowAlarm = {0, 0, 35, 0};
  r.highAlarm = {0, 0, 200, 0};
  r.gasType = records::kCertificateCo;
  r.result = records::kCertificateFail;
  return r;
}

}  // namespace ql::test
