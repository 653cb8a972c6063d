#include "volume_test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "list_directory.h"

Volume* OpenImageBytes(const ScratchDir& dir, const std::string& name, const Bytes& image) {
  const std::string path = dir.File(name);
  if (!WriteFileBytes(path, image)) return nullptr;
  return OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly);
}

std::vector<DirEntry> ListEntries(Volume* volume, const std::string& path) {
  DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  const int count = ListDirectory(volume, path.c_str(), &block);
  std::vector<DirEntry> entries(block, block + count);
  HeapFree(GetProcessHeap(), 0, block);
  return entries;
}

std::vector<std::string> EntryNames(const std::vector<DirEntry>& entries) {
  std::vector<std::string> names;
  for (const DirEntry& entry : entries) names.push_back(entry.name);
  return names;
}

DirEntry EntryNamed(const std::vector<DirEntry>& entries, const std::string& name) {
  for (const DirEntry& entry : entries) {
    if (name == entry.name) return entry;
  }
  ADD_FAILURE() << "no entry named " << name;
  return DirEntry{};
}

Bytes ReadEntryBytes(Volume* volume, const DirEntry& entry) {
  Bytes data(static_cast<size_t>(EntryDataBufferBytes(volume, &entry)) + 1);
  data.resize(ReadEntryData(volume, data.data(), &entry));
  return data;
}

Bytes PatternBytes(size_t length, unsigned seed) {
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(i * 7 + seed + i / 251);
  return data;
}

Bytes Head(const Bytes& bytes, size_t length) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(length, bytes.size())));
}

std::string FileTimeText(const FILETIME& time) {
  SYSTEMTIME t;
  if ((time.dwLowDateTime == 0 && time.dwHighDateTime == 0) || !FileTimeToSystemTime(&time, &t)) return "-";
  char text[64];
  snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond);
  return text;
}
