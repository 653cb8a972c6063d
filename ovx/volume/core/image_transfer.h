// The image-file back-end: 512-byte sectors of a disk image file, counted
// from partitionStart, behind headerLength bytes that are skipped unread.
// Reads never change the file; a write past the end grows it.
#pragma once
#include <cstdint>

#include "win32_compat.h"

struct Volume;

// Moves the volume's request (sectorCount sectors from startSector) between
// buffer and the image file. Non-zero only when every byte was moved; 0 for a
// count of 0 or less, no open file, an offset outside the file's reach, or a
// short read. Leaves sectorCount 0 once the transfer was attempted.
int ImageTransfer(Volume* volume, uintptr_t write);

// Reads bytes at byte offset of file into buffer. Returns the number of bytes
// read: fewer than asked at the end of the file, 0 when the platform fails.
uint32_t ReadImageBytes(HANDLE file, uint64_t offset, uint8_t* buffer, uint32_t bytes);

// Sets *size to the open file's size in bytes. Returns 1, or 0 when the platform fails.
int ImageFileSize(HANDLE file, uint64_t* size);
