// Reading and writing integers of fixed byte order from byte arrays, shared
// by the format parsers. Callers check bounds before reading.
#pragma once

#include <cstdint>

namespace sonavex::bytes {

inline uint16_t BE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t BE24(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }
inline uint32_t BE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint64_t BE64(const uint8_t* p) { return (uint64_t(BE32(p)) << 32) | BE32(p + 4); }
inline uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t LE64(const uint8_t* p) { return uint64_t(LE32(p)) | (uint64_t(LE32(p + 4)) << 32); }
// Four 7-bit groups (ID3v2 sizes); the top bit of each byte is ignored.
inline uint32_t Syncsafe32(const uint8_t* p) {
  return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) | (uint32_t(p[2] & 0x7F) << 7) | (p[3] & 0x7F);
}

inline void PutBE16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
inline void PutBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}
inline void PutLE16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void PutLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void PutLE64(uint8_t* p, uint64_t v) { PutLE32(p, uint32_t(v)); PutLE32(p + 4, uint32_t(v >> 32)); }
inline void PutSyncsafe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t((v >> 21) & 0x7F); p[1] = uint8_t((v >> 14) & 0x7F); p[2] = uint8_t((v >> 7) & 0x7F); p[3] = uint8_t(v & 0x7F);
}

}  // namespace sonavex::bytes
