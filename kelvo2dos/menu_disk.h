// Reading a Kelvo menu disk: the image's two formats (XFD, ATR), the menu
// signature, the nine item records and the printed listing. The menu is read
// once per run into menuTable, which the conversion then uses.
#pragma once
#include <cstdint>
#include <cstdio>

enum { kMenuItems = 9, kMenuNameLength = 20, kSectorBytes = 128 };

// One menu item. Addresses are kept as their two bytes, high byte first, the
// order in which the listing prints them.
struct MenuEntry {
  uint8_t startHigh;
  uint8_t startLow;
  uint8_t sectorCount;
  uint8_t loadHigh;
  uint8_t loadLow;
  uint8_t runHigh;
  uint8_t runLow;
  char name[kMenuNameLength + 1];
};

// The nine items, in item order, and where the sector data starts in the file
// (16 for ATR, 0 for XFD). Filled by ReadMenu, read-only afterwards.
extern MenuEntry menuTable[kMenuItems];
extern long headerSize;

// An entry is empty when both start-sector bytes are zero.
inline bool IsMenuEntryEmpty(const MenuEntry& entry) {
  return entry.startHigh == 0 && entry.startLow == 0;
}
inline unsigned MenuStartSector(const MenuEntry& entry) {
  return entry.startHigh << 8 | entry.startLow;
}

// Decides headerSize, checks the menu signature and fills menuTable from the
// open image. Returns 1 on success; on failure prints the reason to out and
// returns 0. Short files never fail a read: a byte past the end reads as 0xFF
// and a name past the end stays blank.
int ReadMenu(FILE* image, FILE* out);

// Maps the 20 stored name characters of entry to printable ones, in place.
void CleanMenuName(MenuEntry* entry);

// Prints the heading and one row per item, stopping at the first empty item.
void PrintMenu(FILE* out);
