#include "platform/ios/codesign/Digest.h"

#include <cstring>
#include <vector>

namespace codesign {
namespace {

constexpr std::uint32_t roundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotateRight(std::uint32_t value, int count) { return (value >> count) | (value << (32 - count)); }

std::uint32_t rotateLeft(std::uint32_t value, int count) { return (value << count) | (value >> (32 - count)); }

std::uint32_t bigEndian(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

/// Both hashes pad alike: 0x80, zeros, and the length in bits, big-endian, to whole 64-byte blocks.
template <class Compress>
void eachBlock(const std::uint8_t* bytes, std::size_t size, Compress compress) {
  std::size_t whole = size - size % 64;
  for (std::size_t offset = 0; offset < whole; offset += 64) compress(bytes + offset);
  std::vector<std::uint8_t> tail(bytes + whole, bytes + size);
  tail.push_back(0x80);
  while (tail.size() % 64 != 56) tail.push_back(0);
  std::uint64_t bits = std::uint64_t(size) * 8;
  for (int i = 7; i >= 0; --i) tail.push_back(std::uint8_t(bits >> (8 * i)));
  for (std::size_t offset = 0; offset < tail.size(); offset += 64) compress(tail.data() + offset);
}

template <std::size_t Words>
std::array<std::uint8_t, 4 * Words> digestOf(const std::uint32_t (&state)[Words]) {
  std::array<std::uint8_t, 4 * Words> digest;
  for (std::size_t i = 0; i < Words; ++i) {
    for (std::size_t j = 0; j < 4; ++j) digest[4 * i + j] = std::uint8_t(state[i] >> (24 - 8 * j));
  }
  return digest;
}

void compress1(std::uint32_t (&state)[5], const std::uint8_t* block) {
  std::uint32_t schedule[80];
  for (int i = 0; i < 16; ++i) schedule[i] = bigEndian(block + 4 * i);
  for (int i = 16; i < 80; ++i) {
    schedule[i] = rotateLeft(schedule[i - 3] ^ schedule[i - 8] ^ schedule[i - 14] ^ schedule[i - 16], 1);
  }
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) f = (b & c) | (~b & d), k = 0x5a827999;
    else if (i < 40) f = b ^ c ^ d, k = 0x6ed9eba1;
    else if (i < 60) f = (b & c) | (b & d) | (c & d), k = 0x8f1bbcdc;
    else f = b ^ c ^ d, k = 0xca62c1d6;
    std::uint32_t next = rotateLeft(a, 5) + f + e + k + schedule[i];
    e = d, d = c, c = rotateLeft(b, 30), b = a, a = next;
  }
  state[0] += a, state[1] += b, state[2] += c, state[3] += d, state[4] += e;
}

void compress256(std::uint32_t (&state)[8], const std::uint8_t* block) {
  std::uint32_t schedule[64];
  for (int i = 0; i < 16; ++i) schedule[i] = bigEndian(block + 4 * i);
  for (int i = 16; i < 64; ++i) {
    std::uint32_t s0 = rotateRight(schedule[i - 15], 7) ^ rotateRight(schedule[i - 15], 18) ^ (schedule[i - 15] >> 3);
    std::uint32_t s1 = rotateRight(schedule[i - 2], 17) ^ rotateRight(schedule[i - 2], 19) ^ (schedule[i - 2] >> 10);
    schedule[i] = schedule[i - 16] + s0 + schedule[i - 7] + s1;
  }
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t t1 = h + (rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25)) + ((e & f) ^ (~e & g)) +
                       roundConstants[i] + schedule[i];
    std::uint32_t t2 = (rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
  }
  state[0] += a, state[1] += b, state[2] += c, state[3] += d;
  state[4] += e, state[5] += f, state[6] += g, state[7] += h;
}

}  // namespace

std::array<std::uint8_t, 20> sha1(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t state[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
  eachBlock(bytes, size, [&](const std::uint8_t* block) { compress1(state, block); });
  return digestOf(state);
}

std::array<std::uint8_t, 32> sha256(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  eachBlock(bytes, size, [&](const std::uint8_t* block) { compress256(state, block); });
  return digestOf(state);
}

}  // namespace codesign
