// Times copy as text on HFS text files of short lines, 1 to 10 MB, from the
// volume's read to the text on the clipboard, and prints the time per
// megabyte: a conversion that is linear in the file's size keeps it flat.
// Run by hand (make bench), never as a test.
#include <windows.h>

#include <cstdio>
#include <string>

#include "explorer_state.h"
#include "file_export.h"
#include "file_system_builders.h"
#include "list_directory.h"

namespace {

const char kLine[] = "A short line of text\r";  // 21 bytes, as a letter or a list would have

// An HFS volume whose root holds the file "Text" of megabytes of kLine.
Bytes MakeTextVolume(int megabytes) {
  std::string text;
  while (text.size() + sizeof kLine - 1 <= static_cast<size_t>(megabytes) << 20) text += kLine;
  HfsLayout layout;
  layout.blockBytes = 4096;
  layout.sizeKB = 64 + (megabytes << 10);
  layout.catalogExtents = {0, 4};
  layout.extentsExtents = {4, 1};
  layout.extentsBytes = 4096;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  HfsFileSpec file;
  file.dataLength = static_cast<uint32_t>(text.size());
  const uint16_t blocks = static_cast<uint16_t>((text.size() + 4095) / 4096);
  file.dataExtents = {8, blocks};
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(image, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsThreadRecord(2, 1, "Disk"),
                                      HfsFileRecord(2, "Text", file)}));
  PutForkBytes(image, layout, file.dataExtents, 0, Bytes(text.begin(), text.end()));
  return image;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

}  // namespace

int main() {
  ScratchDir dir;
  printf("%8s %10s %12s %10s\n", "MB", "lines", "seconds", "ms per MB");
  for (int megabytes : {1, 2, 5, 10}) {
    const std::string path = dir.File("text.dsk");
    if (!WriteFileBytes(path, MakeTextVolume(megabytes))) return 1;
    explorer.currentVolume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly);
    explorer.entries = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
    ListDirectory(explorer.currentVolume, "", &explorer.entries);
    explorer.entryCount = ListDirectory(explorer.currentVolume, "Disk:", &explorer.entries);
    if (explorer.entryCount != 1) return 1;
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      HGLOBAL text = ReadFileAsText(0);
      if (!text || !OpenClipboard(nullptr)) return 1;
      EmptyClipboard();
      SetClipboardData(CF_TEXT, text);
      CloseClipboard();
      QueryPerformanceCounter(&end);
      if (Seconds(start, end) < best) best = Seconds(start, end);
    }
    const unsigned lines = explorer.entries[0].dataSize / (sizeof kLine - 1);
    printf("%8d %10u %12.4f %10.2f\n", megabytes, lines, best, best * 1000 / megabytes);
    CloseVolume(explorer.currentVolume);
    HeapFree(GetProcessHeap(), 0, explorer.entries);
    explorer = ExplorerState{};
  }
  return 0;
}
