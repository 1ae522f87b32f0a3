#pragma once
// The maker's logo printed on the certificate: PNG bytes compiled into the program.

#include <span>

namespace ql::report {

std::span<const unsigned char> LogoPng();

}  // namespace ql::report
