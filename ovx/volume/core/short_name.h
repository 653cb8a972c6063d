// Eight-plus-three names as FAT and Atari DOS directories store them.
#pragma once
#include <cstdint>

enum { kShortNameBytes = 11, kShortNameTextBytes = 13 };

// Writes the display name of 8 name bytes and 3 extension bytes into text
// (kShortNameTextBytes): name, '.', extension, every blank and zero byte left
// out, a '.' left at the end removed. "README  TXT" gives README.TXT.
void FormatShortName(const uint8_t* stored, char* text);
