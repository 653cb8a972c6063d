// The device back-ends below sector transfer: floppy drives (Windows 9x BIOS
// disk service or the NT raw drive) and SCSI devices through the ASPI layer.
// Their implementations live in files of their own: floppy_nt.cpp on Windows,
// aspi.cpp and floppy_vwin32.cpp on 32-bit Windows, aspi_absent.cpp and
// floppy_absent.cpp where those 32-bit interfaces are missing; the portable
// code reaches them only through deviceBackends, which tests point at fakes.
#pragma once
#include <cstddef>
#include <cstdint>

struct Volume;

// Host adapters reported by the ASPI layer; 0 means ASPI is unavailable, so
// OpenVolume refuses SCSI volumes and every SCSI transfer fails.
extern uint16_t aspiAdapterCount;
// How long an ASPI command may stay pending before it is aborted and fails. A
// CD-ROM spinning up takes seconds; a layer that never answers must not hang
// the program.
extern uint32_t aspiWaitLimitMs;

// Set by a back-end when a device did not answer within its time limit and
// the command was given up, as against answering with an error: trying again
// with less data would only wait as long again. TransferSectors clears it
// before each transfer and keeps the outcome in the Volume's timedOut.
extern int32_t deviceTimedOut;

// Loads the ASPI layer and sets aspiAdapterCount. Returns 1 when ASPI is usable, else 0.
int LoadAspi();
// INQUIRY into buffer (zero-filled first). Non-zero when the command completed without error.
int AspiInquiry(int hostAdapter, int target, uint8_t* buffer, uint32_t length);
// READ CAPACITY into buffer (zero-filled first). Non-zero when it completed without error.
int AspiReadCapacity(int hostAdapter, int target, uint8_t* buffer, uint32_t length);
// Reads blockCount device blocks from firstBlock. Non-zero when it completed without error.
int AspiRead(int hostAdapter, int target, uint32_t firstBlock, uint32_t blockCount,
             uint8_t* buffer, uint32_t blockLength);
// Writes blockCount device blocks at firstBlock. Non-zero when it completed without error.
int AspiWrite(int hostAdapter, int target, uint32_t firstBlock, uint32_t blockCount,
              const uint8_t* buffer, uint32_t blockLength);
// Windows 9x floppy: moves the volume's request, cut to one track, through the
// BIOS disk service. Non-zero on success; leaves sectorCount 0.
int FloppyTransferVwin32(Volume* volume, uintptr_t write);
// Windows NT floppy: moves the volume's request through the raw drive device.
// Non-zero on success; leaves sectorCount 0.
int FloppyTransferNT(Volume* volume, uintptr_t write);

// The Windows 9x BIOS disk service's answer to function 2 or 3 (read or
// write sectors), from the registers VWIN32 hands back: 1 when all count
// sectors moved, that is carry clear and AL equal to count; else 0. A BIOS
// that stops at a bad sector sets carry and leaves in AL the sectors it
// moved before it.
int BiosTransferComplete(uint32_t eax, uint32_t flags, int32_t count);

// A device command's record and its data room in one block: the record at
// the block's start, the data from the next page boundary on, since an
// adapter may require its data aligned as strictly as a page. Returns the
// block and sets *data; null when memory runs out or the sizes overflow.
uint8_t* AllocateCommandBlock(size_t recordBytes, size_t dataBytes, uint8_t** data);
// Releases a block from AllocateCommandBlock; null is ignored.
void ReleaseCommandBlock(uint8_t* block);

// The back-end calls the portable code makes. Each field is named after the
// function it holds by default; tests install fakes and restore the table.
struct DeviceBackends {
  decltype(&::AspiInquiry) AspiInquiry;
  decltype(&::AspiReadCapacity) AspiReadCapacity;
  decltype(&::AspiRead) AspiRead;
  decltype(&::AspiWrite) AspiWrite;
  decltype(&::FloppyTransferVwin32) FloppyTransferVwin32;
  decltype(&::FloppyTransferNT) FloppyTransferNT;
};

extern DeviceBackends deviceBackends;

// The table as the program starts with it: the real back-end functions.
DeviceBackends DefaultDeviceBackends();
