// What disk is in a floppy drive. A floppy volume starts out taken for a
// 1.44 MB disk; before a whole disk is copied its real layout is found, so
// that every sector of it is reached and none beyond it.
#pragma once
#include "volume.h"

// Sets the floppy volume's sizeKB to the layout of the disk in its drive.
// On Windows NT the drive reports it at a read of the first sector; through
// the BIOS service the last sector of the first track tells the sectors per
// track, the first sector of its second side the sides, and the last sector
// of track 81 an 820 KB disk. Probes the medium from its very start, whatever
// partitionStart says. Returns 1; 0, with sizeKB as it was, when no layout
// of the geometry table reads.
int MeasureFloppy(Volume* volume);
