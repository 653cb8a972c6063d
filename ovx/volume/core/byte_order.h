// Reading on-disk integers: Macintosh structures are big-endian, FAT, Atari
// and PC structures little-endian. Every multi-byte field is read through one
// of these, never by laying a record over a buffer.
#pragma once
#include <cstdint>

// The 16-bit big-endian value at p[0..1].
inline uint16_t ReadBE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// The 32-bit big-endian value at p[0..3].
inline uint32_t ReadBE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// The 64-bit big-endian value at p[0..7].
inline uint64_t ReadBE64(const uint8_t* p) { return static_cast<uint64_t>(ReadBE32(p)) << 32 | ReadBE32(p + 4); }

// The 16-bit little-endian value at p[0..1].
inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The 32-bit little-endian value at p[0..3].
inline uint32_t ReadLE32(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
