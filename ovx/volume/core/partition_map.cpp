#include "partition_map.h"

#include <cstring>

#include "byte_order.h"

namespace {

const unsigned kTypeOffset = 48;
const unsigned kStartOffset = 8;
// The zero byte is compared too, so "Apple_HFSX" or a blank-padded type is no match.
const char kAppleHfsType[] = "Apple_HFS";
const char kAppleHfsxType[] = "Apple_HFSX";

}  // namespace

int IsDriverDescriptorMap(const uint8_t* block) { return block[0] == 'E' && block[1] == 'R'; }

int IsPartitionMapEntry(const uint8_t* block) { return block[0] == 'P' && block[1] == 'M'; }

int IsAppleHfsEntry(const uint8_t* block) {
  return memcmp(block + kTypeOffset, kAppleHfsType, sizeof kAppleHfsType) == 0;
}

int IsAppleHfsxEntry(const uint8_t* block) {
  return memcmp(block + kTypeOffset, kAppleHfsxType, sizeof kAppleHfsxType) == 0;
}

uint32_t PartitionEntryStart(const uint8_t* block) { return ReadBE32(block + kStartOffset); }
