// libFuzzer target for the HFS+ reader: opens the input as a disk image
// (names in UTF-8 or, as the browser has them, in the ANSI code page, by the
// input's last byte), lists every folder it can reach, enters each folder by
// its entry as the browser does, and reads every file it lists whole and in
// pieces, with its full sizes and both forks. No read may write past the
// room it asked for.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fuzz_image_file.h"
#include "list_directory.h"
#include "mac_file.h"
#include "volume.h"

namespace {

const int kMaxListings = 64;
const uint64_t kMaxRoom = 4u << 20;
const uint32_t kPieceBytes = 64 * 1024;

// Reads into the last bytes of a buffer one byte longer than room, so that a
// write past the room lands in the allocation's redzone.
void ReadWithin(uint64_t room, const std::function<uint64_t(uint8_t*)>& read) {
  if (room > kMaxRoom) return;
  std::vector<uint8_t> buffer(static_cast<size_t>(room) + 1);
  if (read(buffer.data() + 1) > room) abort();
}

void ReadFile(Volume* volume, const DirEntry& entry) {
  uint64_t size = 0, dataSize = 0;
  EntrySizes(volume, &entry, &size, &dataSize);
  if (dataSize > size) abort();
  EntryDataReadable(volume, &entry);
  ReadWithin(EntryDataBufferBytes(volume, &entry),
             [&](uint8_t* buffer) { return ReadEntryData(volume, buffer, &entry); });
  MacFileInfo info;
  if (ReadMacFileInfo(volume, &entry, &info)) {
    ReadWithin(MacForkBufferBytes(volume, &info, MacResourceFork),
               [&](uint8_t* buffer) { return ReadMacFork(volume, &info, MacResourceFork, buffer); });
  }
  MacForkReader reader;
  if (OpenEntryForkReader(volume, &entry, &reader)) {
    static std::vector<uint8_t> piece(kPieceBytes + 1);
    // The first pieces and the last, as a stream would read them.
    const uint64_t last = reader.length / kPieceBytes * kPieceBytes;
    for (uint64_t offset : {uint64_t{0}, uint64_t{kPieceBytes}, last}) {
      if (ReadMacForkAt(&reader, offset, piece.data(), kPieceBytes) > kPieceBytes) abort();
    }
  }
  CloseMacForkReader(&reader);
}

void Walk(Volume* volume, const std::string& path, const DirEntry* folder, DirEntry** listing, int* listings) {
  if (++*listings > kMaxListings || path.size() >= MAX_PATH) return;
  if (folder) EnterListedFolder(volume, path.c_str(), folder);
  const int count = ListDirectory(volume, path.c_str(), listing);
  if (count < 0) abort();
  const std::vector<DirEntry> entries(*listing, *listing + count);
  for (const DirEntry& entry : entries) {
    if (entry.name[sizeof entry.name - 1] != '\0' || entry.name[0] == '\0') abort();
    if (!(entry.attributes & kDirEntryFolder)) {
      ReadFile(volume, entry);
    } else {
      Walk(volume, path + entry.name + ':', &entry, listing, listings);
      // Back where the entry was listed, as Backspace takes the browser.
      ListDirectory(volume, path.c_str(), listing);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = WriteFuzzImage(data, size);
  const int names = size > 0 && (data[size - 1] & 1) ? OpenUtf8Names : 0;
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly | names);
  if (!volume) abort();
  DirEntry* listing = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  int listings = 0;
  if (volume->format == FormatHfsPlus) Walk(volume, "", nullptr, &listing, &listings);
  HeapFree(GetProcessHeap(), 0, listing);
  CloseVolume(volume);
  return 0;
}
