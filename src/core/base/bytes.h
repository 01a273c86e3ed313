// Little- and big-endian integer writers for building file headers and patching TIFF data.
#pragma once

#include <cstdint>
#include <vector>

namespace brevane {

/// Appends a 16- or 32-bit value, least significant byte first.
inline void appendLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void appendLe32(std::vector<uint8_t>& out, uint32_t v) {
  appendLe16(out, v & 0xFFFF);
  appendLe16(out, v >> 16);
}

/// Appends a 32-bit value, most significant byte first.
inline void appendBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

/// Stores a 16- or 32-bit value at `p`, least significant byte first.
inline void storeLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
/// Stores a 32-bit value at `p` in the given byte order (TIFF data is either).
inline void store32(uint8_t* p, uint32_t v, bool littleEndian) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(littleEndian ? v >> (8 * i) : v >> (8 * (3 - i)));
}

}  // namespace brevane
