#pragma once
// MD5 message digest as published in RFC 1321: the firmware container carries the
// digest of its bare image, and the firmware check recomputes it.
//
// Pure and allocation-free. A context belongs to one caller at a time; the functions
// keep no state of their own, so separate contexts may be used from separate threads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ql::io {

using Md5Digest = std::array<std::uint8_t, 16>;

struct Md5Context {
  std::array<std::uint32_t, 4> state{};
  // Bits processed so far, low half first; two halves as in RFC 1321.
  std::array<std::uint32_t, 2> bitCount{};
  std::array<std::uint8_t, 64> block{};
};

// Puts the RFC 1321 initial state into `ctx` and clears its counters.
void Md5Init(Md5Context& ctx);

// Adds `bytes` to the message. Any split of the input gives the same digest.
void Md5Update(Md5Context& ctx, std::span<const std::uint8_t> bytes);

// Pads the message, returns its 16 digest bytes (state words, least significant byte
// first) and leaves `ctx` cleared; call Md5Init before reusing it.
Md5Digest Md5Final(Md5Context& ctx);

// One-shot digest of `bytes`.
Md5Digest Md5(std::span<const std::uint8_t> bytes);

// The digest of `bytes` as 32 lowercase hexadecimal characters, two per byte in digest
// order. Returns its own string, so two calls never overwrite each other's result.
std::string Md5Hex(std::span<const std::uint8_t> bytes);

}  // namespace ql::io
