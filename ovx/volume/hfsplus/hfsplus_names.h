// Names of HFS+ volumes, stored as up to 255 UTF-16 units, as the programs
// show them: in UTF-8 as stored (decomposed where the volume decomposed
// them) for ovxcli, in the Windows ANSI code page for the browser, where a
// character the code page lacks becomes '?'. A name that would not fit a
// DirEntry's 259 bytes is shortened and ends in '#' and the record's id in
// hexadecimal, so that it still names one file.
#pragma once
#include <cstddef>
#include <cstdint>

enum { kMaxHfsPlusNameUnits = 255 };

// Converts the name of count big-endian UTF-16 units at units, which
// belongs to the record with id `id`, into name (MAX_PATH bytes), zero-
// terminated. Returns its length in bytes.
size_t ConvertHfsPlusName(const uint8_t* units, size_t count, bool utf8, uint32_t id, char* name);

// Composes a decomposed letter and its marks into the precomposed character
// where Unicode has one (Latin, Greek, Cyrillic, kana and Hangul), in place.
// Returns the new count of units.
size_t ComposeUnits(uint16_t* units, size_t count);
