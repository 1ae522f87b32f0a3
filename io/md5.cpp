#include "io/md5.h"

#include <algorithm>

namespace ql::io {
namespace {

// Sine-derived additive constants T[1..64] of RFC 1321.
constexpr std::array<std::uint32_t, 64> kT = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Left-rotation amounts, four per round.
constexpr std::array<unsigned, 16> kShift = {7, 12, 17, 22, 5, 9,  14, 20,
                                             4, 11, 16, 23, 6, 10, 15, 21};

constexpr std::uint32_t Rotl(std::uint32_t x, unsigned n) {
  return (x << n) | (x >> (32 - n));
}

void Transform(std::array<std::uint32_t, 4>& state, const std::uint8_t* block) {
  std::array<std::uint32_t, 16> x{};
  for (std::size_t i = 0; i < 16; ++i) {
    // Message words are little-endian regardless of the host.
    x[i] = static_cast<std::uint32_t>(block[4 * i]) |
           (static_cast<std::uint32_t>(block[4 * i + 1]) << 8) |
           (static_cast<std::uint32_t>(block[4 * i + 2]) << 16) |
           (static_cast<std::uint32_t>(block[4 * i + 3]) << 24);
  }
  std::uint32_t a = state[0];
  std::uint32_t b = state[1];
  std::uint32_t c = state[2];
  std::uint32_t d = state[3];
  for (std::size_t i = 0; i < 64; ++i) {
    std::uint32_t f = 0;
    std::size_t k = 0;
    switch (i / 16) {
      case 0:
        f = (b & c) | (~b & d);
        k = i;
        break;
      case 1:
        f = (b & d) | (c & ~d);
        k = (5 * i + 1) % 16;
        break;
      case 2:
        f = b ^ c ^ d;
        k = (3 * i + 5) % 16;
        break;
      default:
        f = c ^ (b | ~d);
        k = (7 * i) % 16;
        break;
    }
    const std::uint32_t rotated = Rotl(a + f + x[k] + kT[i], kShift[(i / 16) * 4 + i % 4]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

}  // namespace

void Md5Init(Md5Context& ctx) {
  ctx.state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  ctx.bitCount = {0, 0};
  ctx.block.fill(0);
}

void Md5Update(Md5Context& ctx, std::span<const std::uint8_t> bytes) {
  std::size_t used = (ctx.bitCount[0] >> 3) & 0x3F;
  const std::uint64_t addedBits = static_cast<std::uint64_t>(bytes.size()) << 3;
  const std::uint32_t low = ctx.bitCount[0] + static_cast<std::uint32_t>(addedBits);
  if (low < ctx.bitCount[0]) ++ctx.bitCount[1];
  ctx.bitCount[0] = low;
  ctx.bitCount[1] += static_cast<std::uint32_t>(addedBits >> 32);

  std::size_t pos = 0;
  if (used != 0) {
    const std::size_t take = std::min(bytes.size(), ctx.block.size() - used);
    std::copy_n(bytes.begin(), take, ctx.block.begin() + static_cast<std::ptrdiff_t>(used));
    pos = take;
    used += take;
    if (used < ctx.block.size()) return;
    Transform(ctx.state, ctx.block.data());
  }
  // Whole blocks straight from the input, without copying them.
  for (; pos + 64 <= bytes.size(); pos += 64) Transform(ctx.state, bytes.data() + pos);
  std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(pos), bytes.end(), ctx.block.begin());
}

Md5Digest Md5Final(Md5Context& ctx) {
  // The length is the one before padding, so take it first.
  std::array<std::uint8_t, 8> length{};
  for (std::size_t i = 0; i < 4; ++i) {
    length[i] = static_cast<std::uint8_t>(ctx.bitCount[0] >> (8 * i));
    length[4 + i] = static_cast<std::uint8_t>(ctx.bitCount[1] >> (8 * i));
  }
  const std::size_t used = (ctx.bitCount[0] >> 3) & 0x3F;
  const std::size_t padLength = used < 56 ? 56 - used : 120 - used;
  std::array<std::uint8_t, 64> padding{};
  padding[0] = 0x80;
  Md5Update(ctx, std::span(padding.data(), padLength));
  Md5Update(ctx, length);

  Md5Digest digest{};
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = 0; j < 4; ++j) {
      digest[4 * i + j] = static_cast<std::uint8_t>(ctx.state[i] >> (8 * j));
    }
  }
  ctx = Md5Context{};  // nothing of the message stays behind
  return digest;
}

Md5Digest Md5(std::span<const std::uint8_t> bytes) {
  Md5Context ctx;
  Md5Init(ctx);
  Md5Update(ctx, bytes);
  return Md5Final(ctx);
}

std::string Md5Hex(std::span<const std::uint8_t> bytes) {
  constexpr char kHex[] = "0123456789abcdef";
  const Md5Digest digest = Md5(bytes);
  std::string text;
  text.reserve(32);
  for (std::uint8_t b : digest) {
    text.push_back(kHex[b >> 4]);
    text.push_back(kHex[b & 0x0F]);
  }
  return text;
}

}  // namespace ql::io
