#include "file_export.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "file_list.h"
#include "list_directory.h"
#include "resource_ids.h"
#include "volume_formats.h"

namespace {

const uint8_t kCarriageReturn = 0x0D;
const uint8_t kLineFeed = 0x0A;
const uint8_t kTextFiller = '+';
const uint8_t kContentsFiller = '-';
// A 32-bit process cannot hold a block this large; sizes from a hostile
// directory entry are refused before any arithmetic on them can wrap.
const uint64_t kMaxBlockBytes = 0x7FFFFFFF;
const DWORD kDescriptorFlags = FD_ATTRIBUTES | FD_WRITESTIME | FD_FILESIZE;

const DirEntry* EntryAt(int index) {
  if (index < 0 || index >= explorer.entryCount || !explorer.entries) return nullptr;
  return &explorer.entries[index];
}

VolumeFormat CurrentFormat() { return explorer.currentVolume ? explorer.currentVolume->format : FormatNone; }

bool OnWindowsDrive() { return explorer.currentVolume && explorer.currentVolume->kind == KindLogicalDrive; }

// The part of length that the current medium can hold: a damaged directory
// may claim far more than the disk has, which is never allocated or filled.
uint64_t WithinMedium(uint64_t length) {
  if (!explorer.currentVolume) return length;
  const uint64_t medium = MediumBytes(explorer.currentVolume);
  return length < medium ? length : medium;
}

// The byte that ends a line in the text files of a volume of format, or -1
// when its texts are passed on unchanged.
int LineEndByte(VolumeFormat format) { return FormatRow(format).textLineEnd; }

// The bytes a drag out announces and hands over, into *length: on a Windows
// drive the file's size; elsewhere its data as ReadEntryData delivers it, cut
// to the file (the data fork alone when there is one, the bytes an Atari
// file's sectors hold) and to the medium, so that a receiver that writes the
// whole block gets no filler. Returns 0 for a size no block could hold.
int ExportLength(const DirEntry& entry, uint64_t* length) {
  uint64_t claimed;
  if (OnWindowsDrive()) {
    // The dataSize slot of a Windows file holds the high half of its size.
    if (entry.dataSize != 0) return 0;
    claimed = entry.size;
  } else {
    claimed = EntryDataLength(explorer.currentVolume, &entry);
  }
  if (claimed >= kMaxBlockBytes) return 0;
  *length = WithinMedium(claimed);
  return 1;
}

// A movable global block of ExportBlockBytes(entry, *length), with *length
// cut to the medium; null when there can be no such block or memory runs out.
HGLOBAL AllocateReadBlock(const DirEntry& entry, uint64_t* length, uint64_t* bytes) {
  const uint64_t room = ExportBlockBytes(&entry, *length);
  if (room == 0) return nullptr;
  *length = WithinMedium(*length);
  *bytes = room;
  return GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(room));
}

// Reads the Windows file that entry names in the folder listed into buffer
// and returns 1, when it still holds exactly the length it was listed with;
// otherwise 0, since the descriptor has announced that length.
int ReadWindowsFile(const DirEntry& entry, uint8_t* buffer, uint64_t length) {
  char path[MAX_PATH];
  const int written = snprintf(path, sizeof path, "%s%s", explorer.currentVolume->currentPath, entry.name);
  if (written < 0 || written >= static_cast<int>(sizeof path)) return 0;
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  SetErrorMode(oldMode);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD high = 0;
  const bool unchanged = GetFileSize(file, &high) == length && high == 0;
  uint64_t done = 0;
  DWORD got = 1;
  while (unchanged && done < length && got > 0) {
    if (!ReadFile(file, buffer + done, static_cast<DWORD>(length - done), &got, nullptr)) break;
    done += got;
  }
  CloseHandle(file);
  return unchanged && done == length;
}

// Shrinks block to bytes; a block that cannot be shrunk stays as it is.
HGLOBAL Shrink(HGLOBAL block, uint64_t bytes) {
  if (bytes == 0) return block;  // a movable block resized to 0 would be discarded
  HGLOBAL shrunk = GlobalReAlloc(block, static_cast<SIZE_T>(bytes), GMEM_MOVEABLE);
  return shrunk ? shrunk : block;
}

int FirstEntryNamed(const char* name) {
  for (int i = 0; i < explorer.entryCount; ++i) {
    if (strcmp(explorer.entries[i].name, name) == 0) return i;
  }
  return -1;
}

// A Macintosh code of four bytes as stored, cut at a zero byte, right-aligned in four places.
void AppendCode(char* text, int size, const char* label, const uint8_t code[4]) {
  const size_t used = strlen(text);
  snprintf(text + used, size - used, "%s%4.4s\n", label, reinterpret_cast<const char*>(code));
}

// A file whose data cannot be read (an HFS+ file Mac OS X stored
// compressed, one of 4 GB or more) is refused, never handed over as other bytes.
bool CanHandOver(const DirEntry& entry) {
  uint64_t size, dataSize;
  EntrySizes(explorer.currentVolume, &entry, &size, &dataSize);
  return EntryDataReadable(explorer.currentVolume, &entry) && size <= UINT32_MAX;
}

}  // namespace

uint64_t CountLineEnds(const uint8_t* text, uint64_t length, VolumeFormat format) {
  const int lineEnd = LineEndByte(format);
  if (lineEnd < 0) return 0;
  uint64_t count = 0;
  const uint8_t* end = text + length;
  for (const uint8_t* p = text; (p = static_cast<const uint8_t*>(memchr(p, lineEnd, end - p))) != nullptr; ++p) {
    ++count;
  }
  return count;
}

void ExpandLineEnds(uint8_t* text, uint64_t length, VolumeFormat format, uint64_t lineEnds) {
  const int lineEnd = LineEndByte(format);
  // From the back, so that every byte moves once.
  uint64_t from = length;
  uint64_t to = length + lineEnds;
  while (lineEnd >= 0 && from > 0 && to > from) {
    const uint8_t c = text[--from];
    if (c == lineEnd) {
      text[--to] = kLineFeed;
      text[--to] = kCarriageReturn;
    } else {
      text[--to] = c;
    }
  }
}

uint64_t ExportBlockBytes(const DirEntry* entry, uint64_t length) {
  if (length >= kMaxBlockBytes) return 0;
  // A read writes whole allocation blocks or clusters, which on an unusual
  // volume are far larger than the length asked for.
  uint64_t room = EntryDataBufferBytes(explorer.currentVolume, entry);
  length = WithinMedium(length);
  if (room < length) room = length;
  ++room;  // the closing zero of a text; never a zero-sized block
  return room > kMaxBlockBytes ? 0 : room;
}

int FormatProperties(int entryIndex, char* text, int size) {
  const DirEntry* entry = EntryAt(entryIndex);
  if (!entry || size <= 0) return 0;
  char modified[2 * kTextChars];
  FormatEntryTime(entry->modified, modified, sizeof modified);
  // Unsigned, as the Size column shows it: a file of 2 GB or more is not
  // negative, and one of HFS+ past 4 GB shows its whole size.
  uint64_t bytes, dataSize;
  EntrySizes(explorer.currentVolume, entry, &bytes, &dataSize);
  snprintf(text, size, "File: %s\n\nSize: %llu bytes\n\nModified: %s\n\n", entry->name,
           static_cast<unsigned long long>(bytes), modified);
  // MFS entries carry type and creator too, but only HFS and HFS+ volumes show them.
  if (FormatRow(CurrentFormat()).showsTypeAndCreator) {
    AppendCode(text, size, "Type: ", entry->macType);
    AppendCode(text, size, "Creator: ", entry->macCreator);
  }
  return 1;
}

void ShowProperties(const char* name) { ShowEntryProperties(FirstEntryNamed(name)); }

void ShowEntryProperties(int entryIndex) {
  char text[4 * kTextChars];
  if (!FormatProperties(entryIndex, text, sizeof text)) return;
  MessageBoxA(nullptr, text, "File Properties", MB_OK);
}

void ShowRowProperties(int row) {
  char text[kTextChars];
  LPARAM parameter = 0;
  if (!ReadRow(row, text, sizeof text, &parameter)) return;
  // HFS+ names shown in the ANSI code page may be alike: the row's own entry.
  if (FormatRow(CurrentFormat()).enterFolder) return ShowEntryProperties(GetRowEntryIndex(row));
  ShowProperties(text);
}

HGLOBAL ReadFileAsText(int entryIndex) {
  const DirEntry* entry = EntryAt(entryIndex);
  if (!entry || !CanHandOver(*entry)) return nullptr;
  uint64_t length = entry->dataSize;
  uint64_t room = 0;
  HGLOBAL block = AllocateReadBlock(*entry, &length, &room);
  if (!block) return nullptr;
  uint8_t* text = static_cast<uint8_t*>(GlobalLock(block));
  if (!text) {
    GlobalFree(block);
    return nullptr;
  }
  memset(text, kTextFiller, static_cast<size_t>(length));
  uint64_t n = ReadEntryData(explorer.currentVolume, text, entry);
  if (n > length) n = length;

  const uint64_t lineEnds = CountLineEnds(text, n, CurrentFormat());
  const uint64_t textBytes = n + lineEnds + 1;
  if (textBytes > room) {
    // Every line end takes one byte more: the block grows once, to the text's size.
    GlobalUnlock(block);
    HGLOBAL grown = textBytes <= kMaxBlockBytes
                        ? GlobalReAlloc(block, static_cast<SIZE_T>(textBytes), GMEM_MOVEABLE)
                        : nullptr;
    if (!grown || !(text = static_cast<uint8_t*>(GlobalLock(grown)))) {
      GlobalFree(grown ? grown : block);
      return nullptr;
    }
    block = grown;
  }
  ExpandLineEnds(text, n, CurrentFormat(), lineEnds);
  text[textBytes - 1] = '\0';
  GlobalUnlock(block);
  return Shrink(block, textBytes);
}

int CopyRowAsText(HWND window) {
  const int row = FirstSelectedRow();
  if (row < 0) return 0;
  HGLOBAL text = ReadFileAsText(GetRowEntryIndex(row));
  if (!text) return 0;
  if (!OpenClipboard(window)) {
    GlobalFree(text);
    return 0;
  }
  // Once set, the block is the clipboard's.
  const int placed = EmptyClipboard() && SetClipboardData(CF_TEXT, text);
  if (!placed) GlobalFree(text);
  CloseClipboard();
  return placed;
}

HGLOBAL BuildGroupDescriptor() {
  const SIZE_T headBytes = sizeof(FILEGROUPDESCRIPTORA);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, headBytes);
  if (!block) return nullptr;
  int row = -1;
  for (int r = FirstSelectedRow(); r >= 0; r = NextSelectedRow(r)) {
    if (!IsParentRow(r)) {
      row = r;
      break;
    }
  }
  const int entryIndex = row >= 0 ? GetRowEntryIndex(row) : -1;
  const DirEntry* entry = EntryAt(entryIndex);
  uint64_t length = 0;
  const bool named = entry && CanHandOver(*entry) && ExportLength(*entry, &length);
  FILEGROUPDESCRIPTORA* group = named ? static_cast<FILEGROUPDESCRIPTORA*>(GlobalLock(block)) : nullptr;
  if (!group) {
    GlobalFree(block);
    return nullptr;
  }
  // One item: the head's record is the item's room.
  FILEDESCRIPTORA& item = group->fgd[0];
  item.dwFlags = kDescriptorFlags;
  item.dwFileAttributes = entry->attributes;
  item.ftLastWriteTime = entry->modified;
  item.nFileSizeHigh = 0;
  item.nFileSizeLow = static_cast<DWORD>(length);
  lstrcpynA(item.cFileName, entry->name, sizeof item.cFileName);
  group->cItems = 1;
  GlobalUnlock(block);
  explorer.groupEntryIndex[0] = entryIndex;
  explorer.groupEntryCount = 1;
  return block;
}

HGLOBAL ReadFileContents(LPARAM descriptorIndex) {
  if (descriptorIndex < 0 || descriptorIndex >= explorer.groupEntryCount) return nullptr;
  const DirEntry* entry = EntryAt(explorer.groupEntryIndex[descriptorIndex]);
  uint64_t length = 0;
  if (!entry || !CanHandOver(*entry) || !ExportLength(*entry, &length)) return nullptr;
  uint64_t room = 0;
  HGLOBAL block = AllocateReadBlock(*entry, &length, &room);
  if (!block) return nullptr;
  uint8_t* contents = static_cast<uint8_t*>(GlobalLock(block));
  if (!contents) {
    GlobalFree(block);
    return nullptr;
  }
  int read = 1;
  if (OnWindowsDrive()) {
    read = ReadWindowsFile(*entry, contents, length);
  } else {
    memset(contents, kContentsFiller, static_cast<size_t>(length));
    ReadEntryData(explorer.currentVolume, contents, entry);
  }
  // A block is never smaller than a byte: a 0-byte file's block keeps this one.
  contents[length] = '\0';
  GlobalUnlock(block);
  if (!read) {
    GlobalFree(block);
    return nullptr;
  }
  return Shrink(block, length);
}

void ShowAbout(HWND window) {
  char title[kTextChars];
  LoadText(IDS_APPLICATION_NAME, title, sizeof title);
  MessageBoxA(window,
              "Orvanta Explorer browses disks of older computers on this PC.\n\n"
              "It reads Macintosh floppies (HFS and MFS), CD-ROMs, ZIP and other SCSI disks, "
              "Atari ST floppies and virtual disks, MS-DOS floppies and Atari 8-bit DOS disks, "
              "from the drives themselves or from disk image files.\n\n"
              "Drag a file to a folder to copy it out; drop disk image files on the tree to browse them.",
              title, MB_OK);
}
