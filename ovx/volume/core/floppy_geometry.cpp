#include "floppy_geometry.h"

#include "byte_order.h"

namespace {

struct GeometryRow {
  int32_t sizeKB;
  FloppyGeometry geometry;
};

const GeometryRow kGeometries[] = {
    {360, {9, 1}}, {400, {10, 1}}, {720, {9, 2}}, {800, {10, 2}}, {820, {10, 2}}, {1440, {18, 2}},
};

}  // namespace

int FloppyGeometryFor(int32_t sizeKB, FloppyGeometry* geometry) {
  for (const GeometryRow& row : kGeometries) {
    if (row.sizeKB == sizeKB) {
      *geometry = row.geometry;
      return 1;
    }
  }
  return 0;
}

int64_t FoldedTrackStart(int32_t sizeKB, int64_t track, int64_t head) {
  FloppyGeometry geometry;
  if (!FloppyGeometryFor(sizeKB, &geometry)) return 0;
  // One-sided layouts ignore the head.
  int64_t firstTrack = geometry.sides == 1 ? track : track * geometry.sides + head;
  return firstTrack * geometry.sectorsPerTrack;
}

int32_t MfsFloppySizeKB(const uint8_t* volumeInfo) {
  // Allocation block size (bytes 20..23) times the number of blocks (18..19);
  // 64-bit, so a damaged block size cannot wrap to a small volume.
  uint64_t bytes = static_cast<uint64_t>(ReadBE32(volumeInfo + 20)) * ReadBE16(volumeInfo + 18);
  return (bytes >> 10) > 400 ? 800 : 400;
}
