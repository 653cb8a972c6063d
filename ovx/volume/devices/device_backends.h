// The device back-ends below sector transfer: floppy drives (Windows 9x BIOS
// disk service or the NT raw drive) and SCSI devices through one of two
// layers, the ASPI layer or the platform's SCSI pass-through. Their
// implementations live in files of their own: floppy_nt.cpp and
// pass_through.cpp on Windows, aspi.cpp and floppy_vwin32.cpp on 32-bit
// Windows, aspi_absent.cpp and floppy_absent.cpp where those 32-bit
// interfaces are missing, pass_through_absent.cpp off Windows; the portable
// code reaches them only through deviceBackends, which tests point at fakes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "scsi_commands.h"

struct Volume;

// Which layer carries SCSI commands, as LoadScsiLayer found: an installed
// ASPI layer serves as it always has; on Windows NT and later without one,
// the platform's own pass-through. Never both, so that no device is listed twice.
enum ScsiLayer { ScsiLayerNone, ScsiLayerAspi, ScsiLayerPassThrough };
extern ScsiLayer scsiLayer;
// Host adapters of the layer that serves; 0 means no SCSI layer, so
// OpenVolume refuses SCSI volumes and every SCSI transfer fails.
extern uint16_t scsiAdapterCount;
// How long a SCSI command may go unanswered before it is given up and fails.
// A CD-ROM spinning up takes seconds; a device that never answers must not
// hang the program.
extern uint32_t scsiWaitLimitMs;

// Set by a back-end when a device did not answer within its time limit and
// the command was given up, as against answering with an error: trying again
// with less data would only wait as long again. TransferSectors clears it
// before each transfer and keeps the outcome in the Volume's timedOut.
extern int32_t deviceTimedOut;

// Decides which SCSI layer serves and sets scsiLayer and scsiAdapterCount:
// ASPI when LoadAspi succeeds, else pass-through (Windows NT and later only).
// Returns 1 when a layer with at least one host adapter serves, else 0.
int LoadScsiLayer();
// The SCSI commands through the layer that serves. INQUIRY and READ CAPACITY
// fill buffer (zero-filled first); a read zero-fills its blocks first. Each
// returns non-zero when the command completed without error.
int ScsiInquiry(const ScsiAddress& unit, uint8_t* buffer, uint32_t length);
int ScsiReadCapacity(const ScsiAddress& unit, uint8_t* buffer, uint32_t length);
int ScsiRead(const ScsiAddress& unit, uint32_t firstBlock, uint32_t blockCount, uint8_t* buffer,
             uint32_t blockLength);
int ScsiWrite(const ScsiAddress& unit, uint32_t firstBlock, uint32_t blockCount, const uint8_t* buffer,
              uint32_t blockLength);
// Unit index of those the drive list probes, in its order: for ASPI targets
// 0 to 6 at logical unit 0 of each host adapter; for pass-through the units
// its enumeration found. Returns 1 and sets *unit; 0 past the last.
int ScsiProbeAddress(int index, ScsiAddress* unit);
// 1 when the unit is a disk holding a volume that Windows has mounted (the
// system disk, for one), which must not be written below Windows; 0 when it
// holds none or the layer cannot tell (ASPI).
int ScsiHoldsMountedVolume(const ScsiAddress& unit);

// ASPI. Host adapters reported by the layer; 0 means ASPI is unavailable.
extern uint16_t aspiAdapterCount;
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

// SCSI pass-through. Finds the host adapters and units of the platform
// (Windows NT and later; on Windows 95/98 nothing is tried) and keeps their
// devices open until the next load. Returns the number of host adapters.
int LoadPassThrough();
// Closes every device the last LoadPassThrough opened and forgets its units.
void ClosePassThroughDevices();
// The units found, ordered by host adapter, target and logical unit; the
// four commands and the mounted-volume check, as the Scsi ones above.
decltype(ScsiProbeAddress) PassThroughUnitAddress;
decltype(ScsiInquiry) PassThroughInquiry;
decltype(ScsiReadCapacity) PassThroughReadCapacity;
decltype(ScsiRead) PassThroughRead;
decltype(ScsiWrite) PassThroughWrite;
decltype(ScsiHoldsMountedVolume) PassThroughHoldsMountedVolume;

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
  decltype(&::ScsiInquiry) ScsiInquiry;
  decltype(&::ScsiReadCapacity) ScsiReadCapacity;
  decltype(&::ScsiRead) ScsiRead;
  decltype(&::ScsiWrite) ScsiWrite;
  decltype(&::FloppyTransferVwin32) FloppyTransferVwin32;
  decltype(&::FloppyTransferNT) FloppyTransferNT;
};

extern DeviceBackends deviceBackends;

// The table as the program starts with it: the real back-end functions.
DeviceBackends DefaultDeviceBackends();
