#include "floppy_medium.h"

#include "floppy_geometry.h"
#include "sector_transfer.h"

namespace {

// The layouts a BIOS drive is probed for, by sectors per track, longest
// track first: a shorter track's last sector lies on every longer one.
struct ProbedLayout {
  int32_t twoSidedKB;
  int32_t oneSidedKB;  // 0: no one-sided layout of that track length
  int32_t moreTracksKB;  // 0: none with more tracks
};

const ProbedLayout kProbedLayouts[] = {{1440, 0, 0}, {800, 400, 820}, {720, 360, 0}};

// Reads linear sector n of a disk laid out as sizeKB; true when it was there.
bool Reads(Volume* volume, int32_t sizeKB, int32_t n) {
  uint8_t sector[kSectorBytes];
  volume->sizeKB = sizeKB;
  return ReadSectors(volume, n, 1, sector) != 0;
}

int32_t ProbeBiosLayout(Volume* volume) {
  for (const ProbedLayout& layout : kProbedLayouts) {
    FloppyGeometry geometry;
    if (!FloppyGeometryFor(layout.twoSidedKB, &geometry)) continue;
    if (!Reads(volume, layout.twoSidedKB, geometry.sectorsPerTrack - 1)) continue;
    if (layout.oneSidedKB && !Reads(volume, layout.twoSidedKB, geometry.sectorsPerTrack)) return layout.oneSidedKB;
    if (layout.moreTracksKB && Reads(volume, layout.moreTracksKB, layout.moreTracksKB * 2 - 1)) {
      return layout.moreTracksKB;
    }
    return layout.twoSidedKB;
  }
  return 0;
}

}  // namespace

int MeasureFloppy(Volume* volume) {
  if (!volume || volume->kind != KindFloppy) return 0;
  const int32_t partitionStart = volume->partitionStart;
  const int32_t sizeKB = volume->sizeKB;
  volume->partitionStart = 0;
  int32_t measuredKB;
  if (volume->isNT) {
    uint8_t sector[kSectorBytes];
    measuredKB = ReadSectors(volume, 0, 1, sector) ? volume->sizeKB : 0;
  } else {
    measuredKB = ProbeBiosLayout(volume);
  }
  volume->partitionStart = partitionStart;
  volume->sizeKB = measuredKB ? measuredKB : sizeKB;
  return measuredKB != 0;
}
