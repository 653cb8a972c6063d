// Opening built images and taking listings and file data out of them as
// plain values, for the tests of the readers.
#pragma once
#include <string>
#include <vector>

#include "dir_entry.h"
#include "test_files.h"
#include "volume.h"

// Writes image to dir/name and opens it read-only with detection; null on failure.
Volume* OpenImageBytes(const ScratchDir& dir, const std::string& name, const Bytes& image);
// ListDirectory of path into a fresh block, returned as values.
std::vector<DirEntry> ListEntries(Volume* volume, const std::string& path);
std::vector<std::string> EntryNames(const std::vector<DirEntry>& entries);
// The entry of that name; fails the test and returns an empty entry when absent.
DirEntry EntryNamed(const std::vector<DirEntry>& entries, const std::string& name);
// ReadEntryData into a buffer of EntryDataBufferBytes, cut to what it returned.
Bytes ReadEntryBytes(Volume* volume, const DirEntry& entry);
// length bytes that differ from block to block and from seed to seed.
Bytes PatternBytes(size_t length, unsigned seed);
// The first length bytes of bytes (all of them when it is shorter).
Bytes Head(const Bytes& bytes, size_t length);
// "YYYY-MM-DD HH:MM:SS" of a FILETIME; "-" when it is zero or cannot be converted.
std::string FileTimeText(const FILETIME& time);
