// The frame of the listings: AppendEntry's growth with spare room, what
// ListDirectory does without a volume, a file system or a sensible path;
// and the native layer's heap and time conversions, which must agree with
// the platform's (the same test runs under Wine against the real ones).
#include "list_directory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "test_files.h"
#include "volume_test_helpers.h"

namespace {

TEST(AppendEntry, GrowsWithSpareRoom) {
  DirEntry entry;
  memset(&entry, 0xA5, sizeof entry);
  EXPECT_EQ(0, AppendEntry(nullptr, &entry, 0));
  DirEntry* block = nullptr;
  entry.size = 0;
  ASSERT_EQ(1, AppendEntry(&block, &entry, 0));
  ASSERT_NE(nullptr, block);
  // Appending 100,000 entries one at a time moves the block only a few times.
  const int total = 100000;
  int moves = 0;
  SIZE_T capacity = HeapSize(GetProcessHeap(), 0, block);
  for (int i = 1; i < total; ++i) {
    entry.size = static_cast<uint32_t>(i);
    ASSERT_EQ(1, AppendEntry(&block, &entry, i));
    const SIZE_T now = HeapSize(GetProcessHeap(), 0, block);
    if (now != capacity) {
      ++moves;
      capacity = now;
    }
  }
  EXPECT_LE(moves, 20);
  EXPECT_GE(capacity, total * sizeof(DirEntry));
  EXPECT_LE(capacity, 2 * total * sizeof(DirEntry));
  for (int i = 0; i < total; i += 9999) EXPECT_EQ(static_cast<uint32_t>(i), block[i].size);
  EXPECT_EQ(0, AppendEntry(&block, &entry, -1));
  HeapFree(GetProcessHeap(), 0, block);
}

TEST(ListDirectory, ListsNothingWithoutAVolumeFileSystemOrSensiblePath) {
  DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  EXPECT_EQ(0, ListDirectory(nullptr, "", &block));
  ScratchDir dir;
  Volume* volume = OpenImageBytes(dir, "blank.img", Bytes(720 * 1024));
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(FormatNone, volume->format);
  EXPECT_EQ(0, ListDirectory(volume, "GAMES\\", &block));
  EXPECT_STREQ("GAMES\\", volume->currentPath);
  EXPECT_EQ(0, ListDirectory(volume, std::string(300, 'A').c_str(), &block));
  EXPECT_STREQ("GAMES\\", volume->currentPath);
  DirEntry entry = {};
  uint8_t buffer[512];
  EXPECT_EQ(0u, ReadEntryData(volume, buffer, &entry));
  EXPECT_EQ(0u, EntryDataBufferBytes(volume, &entry));
  CloseVolume(volume);
  HeapFree(GetProcessHeap(), 0, block);
}

TEST(PlatformLayer, HeapReAllocKeepsContentAndZeroFillsNewRoom) {
  HANDLE heap = GetProcessHeap();
  uint8_t* block = static_cast<uint8_t*>(HeapAlloc(heap, 0, 10));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(10u, HeapSize(heap, 0, block));
  memset(block, 7, 10);
  block = static_cast<uint8_t*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 100000));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(100000u, HeapSize(heap, 0, block));
  EXPECT_EQ(10, std::count(block, block + 10, 7));
  EXPECT_EQ(100000 - 10, std::count(block + 10, block + 100000, 0));
  block = static_cast<uint8_t*>(HeapReAlloc(heap, 0, block, 4));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(4u, HeapSize(heap, 0, block));
  EXPECT_EQ(4, std::count(block, block + 4, 7));
  HeapFree(heap, 0, block);
}

uint64_t Ticks(const FILETIME& time) { return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime; }

TEST(PlatformLayer, TimeConversionsAgreeWithThePlatform) {
  SYSTEMTIME t = {};
  t.wYear = 1904;
  t.wMonth = 1;
  t.wDay = 1;
  FILETIME time;
  ASSERT_TRUE(SystemTimeToFileTime(&t, &time));
  EXPECT_EQ(95616288000000000ull, Ticks(time));
  t = {};
  t.wYear = 2000;
  t.wMonth = 2;
  t.wDay = 29;
  t.wHour = 13;
  t.wMinute = 14;
  t.wSecond = 15;
  t.wMilliseconds = 16;
  ASSERT_TRUE(SystemTimeToFileTime(&t, &time));
  SYSTEMTIME back;
  ASSERT_TRUE(FileTimeToSystemTime(&time, &back));
  EXPECT_EQ(2000, back.wYear);
  EXPECT_EQ(2, back.wMonth);
  EXPECT_EQ(29, back.wDay);
  EXPECT_EQ(2, back.wDayOfWeek);  // a Tuesday
  EXPECT_EQ(13, back.wHour);
  EXPECT_EQ(14, back.wMinute);
  EXPECT_EQ(15, back.wSecond);
  EXPECT_EQ(16, back.wMilliseconds);
  // (Wine, unlike Windows, takes 29 February of other years; the test leaves that day out.)
  t.wMonth = 13;
  EXPECT_FALSE(SystemTimeToFileTime(&t, &time));

  ASSERT_TRUE(DosDateTimeToFileTime((19 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29, &time));
  EXPECT_EQ("1999-12-31 23:59:58", FileTimeText(time));
  ASSERT_TRUE(DosDateTimeToFileTime((127 << 9) | (12 << 5) | 31, 0, &time));
  EXPECT_EQ("2107-12-31 00:00:00", FileTimeText(time));
  ASSERT_TRUE(DosDateTimeToFileTime((1 << 5) | 1, 0, &time));
  EXPECT_EQ("1980-01-01 00:00:00", FileTimeText(time));
  // A date of 0 (month 0, day 0) names no day.
  EXPECT_FALSE(DosDateTimeToFileTime(0, 0, &time));
  EXPECT_FALSE(DosDateTimeToFileTime((1 << 5) | 1, 24 << 11, &time));
}

}  // namespace
