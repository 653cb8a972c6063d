#include "disk_imaging.h"

#include <commdlg.h>

#include <cstdio>

#include "device_backends.h"
#include "explorer_state.h"
#include "file_list.h"
#include "floppy_medium.h"
#include "format_detect.h"
#include "image_transfer.h"
#include "partition_map.h"
#include "progress_dialog.h"
#include "resource_ids.h"
#include "sector_transfer.h"
#include "source_tree.h"

namespace {

const uintptr_t kWrite = 1;
// A device that did not answer in time gets the same chunk once more; a
// second time-out in a row ends the copy.
const int kTimeoutTries = 2;

// Both sides are set afresh for every transfer: the back-ends consume the request.
int Transfer(Volume* volume, int32_t first, int32_t count, uint8_t* buffer, uintptr_t write) {
  volume->head = 0;
  volume->track = 0;
  volume->startSector = first;
  volume->sectorCount = count;
  volume->buffer = buffer;
  return TransferSectors(volume, write);
}

int MoveChunk(Volume* from, Volume* to, int32_t first, int32_t count, uint8_t* buffer) {
  return Transfer(from, first, count, buffer, 0) && Transfer(to, first, count, buffer, kWrite);
}

bool IsDevice(const Volume* volume) { return volume && (volume->kind == KindFloppy || volume->kind == KindScsi); }

// The device side of a physical copy, opened afresh from the listed source.
// Only a floppy drive or SCSI device of the same kind as the volume listed
// qualifies: anything else would take an image file or a drive for a disk.
// A disk that holds a volume Windows has mounted (the system disk, for one)
// is read, but never written below Windows.
Volume* OpenListedDevice(bool toDisk) {
  const SourceArguments arguments = SourceOpenArguments(explorer.listedSource);
  if (arguments.kind != explorer.currentVolume->kind) return nullptr;
  Volume* device = OpenVolume(arguments.kind, arguments.source, toDisk ? OpenNoDetect : OpenReadOnly | OpenNoDetect);
  if (device && toDisk && device->kind == KindScsi && ScsiHoldsMountedVolume(VolumeScsiUnit(device))) {
    CloseVolume(device);
    return nullptr;
  }
  return device;
}

VolumeKind ListedKind() {
  return explorer.currentVolume ? explorer.currentVolume->kind : static_cast<VolumeKind>(0);
}

// An Apple partition map starts at the medium's second block.
bool HoldsPartitionMap(Volume* image) {
  uint8_t block[kSectorBytes];
  return ReadSectors(image, 1, 1, block) && IsPartitionMapEntry(block);
}

const char* CopyCaption(bool toDisk, bool physical) {
  if (toDisk) return "Writing disk image to physical disk";
  return physical ? "Reading physical disk to disk image" : "Reading logical disk to disk image";
}

// A SCSI device's size leaves out its last block (it counts the last
// block's address), so a copy of that size would lose the disk's end. Where
// the volume's size is still the device's own (not a partition's or a file
// system's), the capacity is asked again and every block is copied.
int64_t WholeScsiDeviceSectors(const Volume* device) {
  if (device->kind != KindScsi || device->partitionStart != 0 || device->sizeKB <= 0) return 0;
  uint32_t lastBlock, blockLength;
  int32_t kilobytes;
  if (!ReadScsiCapacity(device, &lastBlock, &blockLength) ||
      !ScsiKilobytes(lastBlock, blockLength, &kilobytes) || kilobytes != device->sizeKB ||
      blockLength != device->sectorSize) {
    return 0;
  }
  return (static_cast<int64_t>(lastBlock) + 1) * (blockLength / kSectorBytes);
}

}  // namespace

int FormatCopyStatus(char* text, int size, int32_t sector, int32_t count) {
  // In 64 bits: sector x 100 leaves 32 bits from sector 21,474,837 on.
  const int percent = count > 0 ? static_cast<int>(static_cast<int64_t>(sector) * 100 / count) : 0;
  snprintf(text, size, "Disk sector %d of %d\n%dK copied (%d%%)", sector, count, sector / 2, percent);
  return percent;
}

int32_t CopySectorCount(const Volume* device, const Volume* image, bool toDisk) {
  int64_t count = WholeScsiDeviceSectors(device);
  if (count == 0) count = static_cast<int64_t>(device->sizeKB) * 2;
  if (count == 0) {
    uint64_t imageBytes = 0;
    if (!toDisk) {
      count = device->kind == KindFloppy ? kFloppySectorsWhenUnknown : INT32_MAX;
    } else if (ImageFileSize(image->file, &imageBytes)) {
      count = static_cast<int64_t>(imageBytes / kSectorBytes > INT32_MAX ? INT32_MAX : imageBytes / kSectorBytes);
    }
  }
  // A sector number is 32 bits: a device larger than that is copied as far as one reaches.
  return static_cast<int32_t>(count > INT32_MAX ? INT32_MAX : count);
}

int CopyDiskSectors(HWND mainWindow, bool toDisk, Volume* image, bool physical) {
  if (!IsDevice(explorer.currentVolume)) return 0;
  char title[kTextChars] = "";
  GetWindowTextA(mainWindow, title, sizeof title);
  Volume* device = physical ? OpenListedDevice(toDisk) : explorer.currentVolume;
  if (!device) return 0;
  // A floppy is taken for 1.44 MB until its disk is measured: copied so, a
  // disk of another layout would stop after its first track. A disk that
  // cannot be measured is not written, lest part of it be taken for all.
  if (device->kind == KindFloppy && !MeasureFloppy(device) && toDisk) {
    if (physical) CloseVolume(device);
    return 0;
  }
  uint8_t* buffer = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, kChunkSectors * kSectorBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!buffer) {
    if (physical) CloseVolume(device);
    return 0;
  }
  const int32_t count = CopySectorCount(device, image, toDisk);
  int32_t chunk = device->kind == KindFloppy ? kFloppyChunkSectors : kChunkSectors;
  Volume* from = toDisk ? image : device;
  Volume* to = toDisk ? device : image;

  explorer.copyRunning = 1;
  StartProgress(CopyCaption(toDisk, physical));
  // Every attempt, a retry included, is preceded by serving the window and a
  // look at Cancel: a device that fails slowly must not hold the program.
  int timeouts = 0;
  for (int32_t sector = 0; sector < count;) {
    char status[kTextChars];
    const int percent = FormatCopyStatus(status, sizeof status, sector, count);
    if (!UpdateProgress(percent, status)) break;
    if (chunk > count - sector) chunk = count - sector;
    if (MoveChunk(from, to, sector, chunk, buffer)) {
      sector += chunk;
      timeouts = 0;
    } else if (from->timedOut || to->timedOut) {
      // Less data would not make the device answer.
      if (++timeouts == kTimeoutTries) break;
    } else if (--chunk == 0) {
      break;  // a chunk that fails is tried again one sector smaller, and stays so
    }
  }
  if (physical) CloseVolume(device);
  EndProgress();
  explorer.copyRunning = 0;
  VirtualFree(buffer, 0, MEM_RELEASE);
  SetWindowTextA(mainWindow, title);
  return 1;
}

bool ChooseImageFile(HWND owner, char* path, bool toDisk) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "Disk Images (*.dsk;*.im*)\0*.dsk;*.im*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = toDisk ? "Select a disk image to write to disk" : "Disk image file to create or overwrite";
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | (toDisk ? OFN_FILEMUSTEXIST : 0);
  return GetOpenFileNameA(&dialog) != 0;
}

void RunImagingCommand(HWND mainWindow, bool toDisk, bool physical) {
  // The menu greys the commands meanwhile; this also turns away one that
  // reaches the window by another way.
  if (explorer.copyRunning) return;
  char path[MAX_PATH] = "";
  if (!ChooseImageFile(mainWindow, path, toDisk)) return;
  // Images made here have no header.
  Volume* image = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path),
                             toDisk ? OpenReadOnly | OpenNoDetect : OpenCreate | OpenNoDetect);
  if (!image) return;
  // One written to disk is detected, so that a header it has is skipped and
  // a file system is written from its start; but the image of a whole
  // partitioned SCSI disk goes back whole, with its map and driver.
  if (toDisk && !(ListedKind() == KindScsi && HoldsPartitionMap(image))) image->format = DetectFormat(image);
  HCURSOR previous = BeginWait();
  const int copied = CopyDiskSectors(mainWindow, toDisk, image, physical);
  CloseVolume(image);
  EndWait(previous);
  if (toDisk && copied) {
    // The disk being browsed is another now: the view starts again at its
    // top, which Refresh lists from a freshly opened volume.
    explorer.folderPath[0] = '\0';
    UpdateTitle();
  }
  PostMessageA(mainWindow, WM_COMMAND, ID_VIEW_REFRESH, 0);
}
