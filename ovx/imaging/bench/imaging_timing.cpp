// Times a physical disk-to-image copy of a fake SCSI disk in the real main
// window, beside a plain CopyFileA of the disk's backing file, counts how
// often the main window repainted during the copy while another thread
// invalidated it every 50 ms, and then times each side of a chunk alone.
// Run by hand (make bench), never as a test. With "cold", one copy only,
// for a caller that has dropped the page cache just before.
// Usage: ovx_imaging_timing BACKING_FILE IMAGE_FILE [cold]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "disk_imaging.h"
#include "explorer_state.h"
#include "fake_aspi_layer.h"
#include "fake_scsi_layers.h"
#include "main_window.h"
#include "progress_dialog.h"
#include "sector_transfer.h"
#include "source_tree.h"

namespace {

WNDPROC mainProcedure;
volatile LONG paints;
LARGE_INTEGER lastPaint;
double longestGap;
volatile LONG copying;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

LRESULT CALLBACK CountPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT && copying) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (paints && Seconds(lastPaint, now) > longestGap) longestGap = Seconds(lastPaint, now);
    lastPaint = now;
    InterlockedIncrement(&paints);
  }
  return CallWindowProcA(mainProcedure, window, message, wParam, lParam);
}

DWORD WINAPI Invalidate(LPVOID) {
  while (copying) {
    InvalidateRect(explorer.mainWindow, nullptr, FALSE);
    Sleep(50);
  }
  return 0;
}

double FileBytes(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  return static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 4 && strcmp(argv[3], "cold") == 0)) return 2;
  const bool cold = argc == 4;
  const char* backing = argv[1];
  const char* imagePath = argv[2];
  // The test WNASPI32.DLL where it lies beside the program (the 32-bit build), else pass-through.
  std::unique_ptr<FakeScsiLayer> layer = MakeFakeScsiLayer(LoadFakeAspiLayer().module ? FakeAspi : FakePassThrough);
  if (!layer) return 1;
  layer->Reset(1);
  layer->AddDevice(0, 0, FakeScsiDisk, backing);

  OleInitialize(nullptr);
  explorer.instance = GetModuleHandleA(nullptr);
  if (!RegisterAndCreateMainWindow(SW_SHOWNORMAL)) return 1;
  // The window's own start-up (the tree filled, a source listed) runs now,
  // not in the first pump of a copy, so that the copies below see one listing.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EnumerateSources();
  explorer.listedSource = explorer.sourceTable.logicalDriveEnd;
  const SourceArguments arguments = SourceOpenArguments(explorer.listedSource);
  explorer.currentVolume = OpenVolume(arguments.kind, arguments.source, OpenReadOnly);
  if (!explorer.currentVolume || explorer.currentVolume->kind != KindScsi) return 1;
  mainProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(explorer.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountPaints)));

  const double megabytes = FileBytes(backing) / 1048576;
  printf("%-34s %8s %10s %8s\n", "", "MB", "seconds", "MB/s");
  LARGE_INTEGER start, end;
  // The progress dialog brought up and taken down with nothing copied: a
  // fixed cost of every copy (its start waits 100 ms for the dialog), which
  // the copy's own throughput leaves out.
  double fixedSeconds = 1e9;
  for (int round = 0; round < 3; ++round) {
    QueryPerformanceCounter(&start);
    StartProgress("Reading physical disk to disk image");
    EndProgress();
    QueryPerformanceCounter(&end);
    if (Seconds(start, end) < fixedSeconds) fixedSeconds = Seconds(start, end);
  }
  printf("%-34s %8s %10.3f\n", "progress dialog up and down only", "", fixedSeconds);
  // Odd rounds invalidate the main window every 50 ms meanwhile, and count its repaints.
  for (int round = 0; round < (cold ? 1 : 4); ++round) {
    DeleteFileA(imagePath);
    Volume* image = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(imagePath), OpenCreate | OpenNoDetect);
    if (!image) return 1;
    paints = 0;
    longestGap = 0;
    copying = 1;
    HANDLE invalidator = round % 2 ? CreateThread(nullptr, 0, Invalidate, nullptr, 0, nullptr) : nullptr;
    QueryPerformanceCounter(&start);
    CopyDiskSectors(explorer.mainWindow, false, image, true);
    QueryPerformanceCounter(&end);
    copying = 0;
    if (invalidator) {
      WaitForSingleObject(invalidator, INFINITE);
      CloseHandle(invalidator);
    }
    CloseVolume(image);
    const double seconds = Seconds(start, end);
    const double copied = FileBytes(imagePath) / 1048576;
    printf("%-34s %8.1f %10.3f %8.1f   copying alone %.3f s, %.0f MB/s", "disk to image (ovx)", copied, seconds,
           copied / seconds, seconds - fixedSeconds, copied / (seconds - fixedSeconds));
    if (round % 2) printf(", %ld repaints, longest gap %.0f ms", static_cast<long>(paints), longestGap * 1000);
    printf("\n");

    if (cold) break;
    DeleteFileA(imagePath);
    QueryPerformanceCounter(&start);
    if (!CopyFileA(backing, imagePath, FALSE)) return 1;
    QueryPerformanceCounter(&end);
    printf("%-34s %8.1f %10.3f %8.1f\n", "CopyFileA of the backing file", megabytes, Seconds(start, end),
           megabytes / Seconds(start, end));
  }
  // Where the time of a copy goes: the same chunks, one side at a time.
  static uint8_t buffer[kChunkSectors * 512];
  Volume* device = OpenVolume(arguments.kind, arguments.source, OpenReadOnly | OpenNoDetect);
  Volume* image = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(imagePath), OpenCreate | OpenNoDetect);
  const int32_t chunks = static_cast<int32_t>(megabytes * 32);
  for (int side = 0; side < 3 && !cold && device && image; ++side) {
    QueryPerformanceCounter(&start);
    for (int32_t chunk = 0; chunk < chunks; ++chunk) {
      if (side == 2) {
        UpdateProgress(0, "Disk sector 0 of 0");
        continue;
      }
      Volume* volume = side == 0 ? device : image;
      volume->startSector = chunk * kChunkSectors;
      volume->sectorCount = kChunkSectors;
      volume->buffer = buffer;
      TransferSectors(volume, side == 1);
    }
    QueryPerformanceCounter(&end);
    static const char* const names[] = {"device reads only", "image writes only", "UpdateProgress only"};
    printf("%-34s %8d %10.3f %8.1f us a chunk\n", names[side], chunks, Seconds(start, end),
           Seconds(start, end) * 1e6 / chunks);
  }
  if (device) CloseVolume(device);
  if (image) CloseVolume(image);
  DeleteFileA(imagePath);
  DestroyWindow(explorer.mainWindow);
  return 0;
}
