#include "ls_command.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "folder_path.h"
#include "folder_walk.h"
#include "list_directory.h"
#include "ovxcli_run.h"

namespace {

// Type and creator: printable ASCII as it is, any other byte as '?'; "-" when all four are zero.
char* PutFourChars(char* at, const uint8_t* bytes) {
  if (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0) {
    *at++ = '-';
    return at;
  }
  for (int i = 0; i < 4; ++i) *at++ = bytes[i] >= 0x20 && bytes[i] <= 0x7E ? static_cast<char>(bytes[i]) : '?';
  return at;
}

char* PutDigits(char* at, unsigned value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
  return at + width;
}

// Decimal, two digits at a time from the right.
char* PutNumber(char* at, uint64_t value) {
  static const char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char digits[20];
  char* first = digits + sizeof digits;
  while (value >= 100) {
    first -= 2;
    memcpy(first, kPairs + 2 * static_cast<unsigned>(value % 100), 2);
    value /= 100;
  }
  if (value >= 10) {
    first -= 2;
    memcpy(first, kPairs + 2 * static_cast<unsigned>(value), 2);
  } else {
    *--first = static_cast<char>('0' + value);
  }
  while (first < digits + sizeof digits) *at++ = *first++;
  return at;
}

// Straight from the FILETIME, which already holds local time.
char* PutModified(char* at, const FILETIME& modified) {
  SYSTEMTIME t;
  if ((modified.dwLowDateTime == 0 && modified.dwHighDateTime == 0) || !FileTimeToSystemTime(&modified, &t)) {
    *at++ = '-';
    return at;
  }
  at = PutDigits(at, t.wYear, 4);
  *at++ = '-';
  at = PutDigits(at, t.wMonth, 2);
  *at++ = '-';
  at = PutDigits(at, t.wDay, 2);
  *at++ = ' ';
  at = PutDigits(at, t.wHour, 2);
  *at++ = ':';
  at = PutDigits(at, t.wMinute, 2);
  *at++ = ':';
  return PutDigits(at, t.wSecond, 2);
}

// Gathers lines and hands them to stdio in large pieces: a recursive listing
// of a large volume prints tens of thousands of them. Files copied together
// share their time stamps, so the last one formatted is kept.
class ListingOutput {
 public:
  ListingOutput(Volume* volume, FILE* out) : volume_(volume), out_(out) {}
  ~ListingOutput() { Flush(); }
  ListingOutput(const ListingOutput&) = delete;
  ListingOutput& operator=(const ListingOutput&) = delete;

  void Entry(const DirEntry& entry) {
    char* at = Room(sizeof entry.name + kLineBytesBesideName);
    const size_t nameLength = strnlen(entry.name, sizeof entry.name);
    memcpy(at, entry.name, nameLength);
    at += nameLength;
    *at++ = '\t';
    *at++ = (entry.attributes & kDirEntryFolder) ? 'd' : '-';
    *at++ = '\t';
    uint64_t size = entry.size, dataSize = entry.dataSize;
    // Only HFS+ files past 4 GB hold less than their sizes.
    if (size == UINT32_MAX || dataSize == UINT32_MAX) EntrySizes(volume_, &entry, &size, &dataSize);
    char* const sizeText = at;
    at = PutNumber(at, size);
    *at++ = '\t';
    if (dataSize == size) {  // every file but a Macintosh file with a resource fork
      for (const char* digit = sizeText; *digit != '\t'; ++digit) *at++ = *digit;
    } else {
      at = PutNumber(at, dataSize);
    }
    *at++ = '\t';
    at = PutFourChars(at, entry.macType);
    *at++ = '\t';
    at = PutFourChars(at, entry.macCreator);
    *at++ = '\t';
    if (!haveStamp_ || entry.modified.dwLowDateTime != stamp_.dwLowDateTime ||
        entry.modified.dwHighDateTime != stamp_.dwHighDateTime) {
      stamp_ = entry.modified;
      stampLength_ = static_cast<size_t>(PutModified(stampText_, stamp_) - stampText_);
      haveStamp_ = true;
    }
    memcpy(at, stampText_, stampLength_);
    at += stampLength_;
    *at++ = '\n';
    used_ = static_cast<size_t>(at - buffer_.get());
  }

  // The "FOLDER:" line heading the listing of a sub-folder.
  void Heading(const std::string& path) {
    char* at = Room(path.size() + 2);
    memcpy(at, path.data(), path.size());
    at += path.size();
    *at++ = ':';
    *at++ = '\n';
    used_ = static_cast<size_t>(at - buffer_.get());
  }

  void Flush() {
    if (used_) fwrite(buffer_.get(), 1, used_, out_);
    used_ = 0;
  }

 private:
  // Tabs, kind, two numbers of up to 20 digits, type, creator, the time and the line end.
  static const size_t kLineBytesBesideName = 6 + 1 + 20 + 20 + 4 + 4 + 19 + 1;

  char* Room(size_t bytes) {
    if (used_ + bytes > kBufferBytes) Flush();
    return buffer_.get() + used_;
  }

  Volume* volume_;
  FILE* out_;
  size_t used_ = 0;
  bool haveStamp_ = false;
  FILETIME stamp_ = {};
  char stampText_[20];
  size_t stampLength_ = 0;
  // A whole listing leaves in a few dozen writes; a larger buffer costs
  // more in fresh pages than it saves in writes, and it is not cleared
  // first, so a short listing touches only the pages it fills.
  static const size_t kBufferBytes = 32 * 1024;
  std::unique_ptr<char[]> buffer_{new char[kBufferBytes]};
};

void PrintListing(const DirEntry* entries, int count, ListingOutput* out) {
  for (int i = 0; i < count; ++i) out->Entry(entries[i]);
}

// Lists every sub-folder below the folder just listed, depth first, each
// headed by its path and ':'. Returns false when the bound ended the walk.
bool ListSubFolders(const OpenedFolder& opened, DirEntry** listing, ListingOutput* out) {
  return WalkSubFolders(opened, listing, [out](const std::string& folder, const DirEntry* entries, int count) {
    out->Heading(folder);
    PrintListing(entries, count, out);
  });
}

}  // namespace

int RunLsCommand(int argc, const char* const* argv, FILE* out, FILE* err) {
  bool recursive = false;
  if (argc > 0 && strcmp(argv[0], "-R") == 0) {
    recursive = true;
    --argc;
    ++argv;
  }
  if (argc < 1 || argc > 2) return kExitUsage;
  OpenedFolder opened;
  if (!OpenFolderOrReport(argv[0], argc == 2 ? argv[1] : "", &opened, err)) return kExitFailure;
  bool whole = true;
  {
    ListingOutput output(opened.volume, out);  // writes what it holds when it goes
    PrintListing(opened.listing, opened.count, &output);
    if (recursive) whole = ListSubFolders(opened, &opened.listing, &output);
  }
  CloseFolder(&opened);
  if (!whole) {
    fprintf(err, "ovxcli: listing stopped: the folders of %s hold more entries than it can\n", argv[0]);
    return kExitFailure;
  }
  return kExitOk;
}
