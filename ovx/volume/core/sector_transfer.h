// TransferSectors: the one door through which every byte of a foreign disk
// passes. It speaks in 512-byte sectors counted from the volume's
// partitionStart and routes the request at the head of the Volume to the
// back-end of its kind: image file, floppy drive or SCSI device.
#pragma once
#include <cstdint>

struct Volume;

enum { kMaxScsiBlockLength = 65536 };

// Reads (write 0) or writes (write non-zero) sectorCount sectors from
// startSector between buffer and the medium. Non-zero on success; 0 when the
// volume is read-only and write is set, the kind has no sectors (logical
// drives), or the back-end fails. The request fields are consumed; the
// volume's timedOut tells whether a failure was the device not answering in time.
int TransferSectors(Volume* volume, uintptr_t write);

// Sets the whole request (head and track 0) and reads count sectors from
// first into buffer: the way readers of the file systems call TransferSectors.
// Non-zero on success, as TransferSectors.
int ReadSectors(Volume* volume, int32_t first, int32_t count, uint8_t* buffer);

// 1 when a SCSI device's blocks carry whole 512-byte sectors: a block length
// that is a multiple of 512, up to kMaxScsiBlockLength. A device reporting any
// other length gets no transfers at all.
int ScsiBlockLengthUsable(uint32_t blockLength);
