#include "apple_double.h"

#include <cstring>

namespace {

enum : uint32_t {
  kMagic = 0x00051607,
  kVersion2 = 0x00020000,
  kResourceForkId = 2,
  kFinderInfoId = 9,
  kFinderInfoBytes = 32,
  kHeaderBytes = 26,      // magic, version, 16 filler bytes, entry count
  kDescriptorBytes = 12,  // id, offset, length
};

void PutBE32(std::vector<uint8_t>* out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

}  // namespace

bool NeedsAppleDouble(const uint8_t finderInfo[32], uint64_t resourceLength) {
  static const uint8_t kZero[kFinderInfoBytes] = {};
  return resourceLength != 0 || memcmp(finderInfo, kZero, kFinderInfoBytes) != 0;
}

std::vector<uint8_t> MakeAppleDouble(const uint8_t finderInfo[32], const uint8_t* resource, uint32_t resourceLength) {
  const uint32_t entries = resourceLength != 0 ? 2 : 1;
  const uint32_t finderAt = kHeaderBytes + entries * kDescriptorBytes;
  const uint32_t resourceAt = finderAt + kFinderInfoBytes;
  std::vector<uint8_t> out(resourceAt + resourceLength);
  PutBE32(&out, 0, kMagic);
  PutBE32(&out, 4, kVersion2);
  // The filler names the system whose convention the file follows, as macOS writes it.
  memcpy(out.data() + 8, "Mac OS X        ", 16);
  out[24] = 0;
  out[25] = static_cast<uint8_t>(entries);
  PutBE32(&out, kHeaderBytes, kFinderInfoId);
  PutBE32(&out, kHeaderBytes + 4, finderAt);
  PutBE32(&out, kHeaderBytes + 8, kFinderInfoBytes);
  memcpy(out.data() + finderAt, finderInfo, kFinderInfoBytes);
  if (resourceLength != 0) {
    PutBE32(&out, kHeaderBytes + kDescriptorBytes, kResourceForkId);
    PutBE32(&out, kHeaderBytes + kDescriptorBytes + 4, resourceAt);
    PutBE32(&out, kHeaderBytes + kDescriptorBytes + 8, resourceLength);
    memcpy(out.data() + resourceAt, resource, resourceLength);
  }
  return out;
}
