// An access ACL in the kernel's form ("system.posix_acl_access"): owner rw,
// user `reader` r, group r, mask rw, others none. Saves must keep it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <vector>

inline std::vector<char> AccessAclWithReader(uid_t reader) {
  std::vector<char> v;
  auto le16 = [&](uint16_t x) { v.push_back(char(x)); v.push_back(char(x >> 8)); };
  auto le32 = [&](uint32_t x) { le16(uint16_t(x)); le16(uint16_t(x >> 16)); };
  le32(2);
  le16(0x01), le16(6), le32(0xFFFFFFFF);
  le16(0x02), le16(4), le32(reader);
  le16(0x04), le16(4), le32(0xFFFFFFFF);
  le16(0x10), le16(6), le32(0xFFFFFFFF);
  le16(0x20), le16(0), le32(0xFFFFFFFF);
  return v;
}
