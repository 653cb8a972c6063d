// libFuzzer target: the extents overflow file of a fixed HFS volume is the
// input; reading its one large file looks the fork's further extents up
// through that B-tree, however its header, index and leaf nodes are made.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_hfs_extents_volume.h"
#include "fuzz_image_file.h"
#include "list_directory.h"
#include "volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Bytes base = MakeExtentsFuzzVolume();
  Bytes image = base;
  memcpy(image.data() + kExtentsFuzzFileOffset, data, size < kExtentsFuzzFileBytes ? size : kExtentsFuzzFileBytes);
  const std::string& path = WriteFuzzImage(image.data(), image.size());
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly);
  if (!volume || volume->format != FormatHfs) abort();
  DirEntry* listing = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  ListDirectory(volume, "", &listing);
  if (ListDirectory(volume, "Disk:", &listing) != 1) abort();
  const DirEntry big = listing[0];
  const uint64_t room = EntryDataBufferBytes(volume, &big);
  std::vector<uint8_t> buffer(room + 1);
  if (ReadEntryData(volume, buffer.data(), &big) > room) abort();
  HeapFree(GetProcessHeap(), 0, listing);
  CloseVolume(volume);
  return 0;
}
