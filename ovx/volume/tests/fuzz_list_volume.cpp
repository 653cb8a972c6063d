// libFuzzer target: opens the input as a disk image, detects its format,
// lists every folder it can reach (depth first, a bounded number of
// listings) and reads every file it lists. ReadEntryData must never report
// more than the room EntryDataBufferBytes asked for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_image_file.h"
#include "list_directory.h"
#include "volume.h"
#include "volume_formats.h"

namespace {

const int kMaxListings = 64;
const uint64_t kMaxFileRoom = 16u << 20;

void ReadFile(Volume* volume, const DirEntry& entry) {
  const uint64_t room = EntryDataBufferBytes(volume, &entry);
  if (room > kMaxFileRoom) return;
  // One buffer serves every file: allocating and freeing megabytes per file,
  // where a hostile size asks for them, was most of the target's time under
  // the sanitizer. The room used is its last bytes, so that a write past
  // the room still lands in the allocation's redzone.
  static std::unique_ptr<uint8_t[]> buffer;
  static uint64_t capacity = 0;
  if (room + 1 > capacity) {
    buffer.reset();
    capacity = room + 1;
    buffer.reset(new uint8_t[capacity]);
  }
  uint8_t* const start = buffer.get() + (capacity - (room + 1));
  const uint32_t length = ReadEntryData(volume, start, &entry);
  if (length > room) abort();
}

void Walk(Volume* volume, const std::string& path, DirEntry** listing, int* listings) {
  if (++*listings > kMaxListings || path.size() >= MAX_PATH) return;
  const int count = ListDirectory(volume, path.c_str(), listing);
  if (count < 0) abort();
  std::vector<DirEntry> entries(*listing, *listing + count);
  const char separator = FormatRow(volume->format).folderSeparator;
  for (const DirEntry& entry : entries) {
    if (entry.name[sizeof entry.name - 1] != '\0') abort();
    const std::string name = entry.name;
    if (!(entry.attributes & 0x10)) {
      ReadFile(volume, entry);
    } else if (name != "." && name != ".." && !name.empty()) {
      Walk(volume, path + name + separator, listing, listings);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = WriteFuzzImage(data, size);
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly);
  if (!volume) abort();
  DirEntry* listing = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  int listings = 0;
  Walk(volume, "", &listing, &listings);
  HeapFree(GetProcessHeap(), 0, listing);
  CloseVolume(volume);
  return 0;
}
