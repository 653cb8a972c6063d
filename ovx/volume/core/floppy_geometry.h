// Floppy layouts known by size, and the facts about them that sector
// transfer and format detection share: where a linear sector lies, how a
// cylinder-head-sector request folds into a linear one, and how an MFS volume
// information block tells a 400 KB disk from an 800 KB one.
#pragma once
#include <cstdint>

struct FloppyGeometry {
  int32_t sectorsPerTrack;
  int32_t sides;
};

// Fills *geometry for 360, 400, 720, 800, 820 and 1440 KB and returns 1; 0 for any other size.
int FloppyGeometryFor(int32_t sizeKB, FloppyGeometry* geometry);

// The linear sector at which (track, head) starts: track * sectors per track on
// one-sided layouts, (track * 2 + head) * sectors per track on two-sided ones;
// 0 for sizes without a geometry.
int64_t FoldedTrackStart(int32_t sizeKB, int64_t track, int64_t head);

// 800 when the volume information block (at least 24 bytes, signature 0xD2 0xD7)
// describes more than 400 KB of allocation blocks, else 400.
int32_t MfsFloppySizeKB(const uint8_t* volumeInfo);
