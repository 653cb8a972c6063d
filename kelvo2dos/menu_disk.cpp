#include "menu_disk.h"

#include <cstring>

MenuEntry menuTable[kMenuItems];
long headerSize;

namespace {

// Data offsets of the menu inside the image (after any ATR header).
const long kSignatureOffset = 2;
const long kStartHighOffset = 238;  // sector 2, byte 110
const long kStartLowOffset = 247;   // sector 2, byte 119
const long kNamesOffset = 313;      // sector 3, byte 57

// Every read goes through here: a byte past the end of the file reads as 0xFF,
// as an unchecked getc would deliver it, and never reads outside the file.
uint8_t ReadByte(FILE* image) {
  return static_cast<uint8_t>(getc(image));
}

void SeekData(FILE* image, long dataOffset) {
  fseek(image, headerSize + dataOffset, SEEK_SET);
}

}  // namespace

void CleanMenuName(MenuEntry* entry) {
  for (int i = 0; i < kMenuNameLength; ++i) {
    uint8_t c = static_cast<uint8_t>(entry->name[i]) & 0x7F;
    if (c == 0x40) {
      c = ' ';
    } else if (c == 0x47) {
      c = '\'';
    } else if (c == 0x48) {
      c = '(';
    } else if (c == 0x49) {
      c = ')';
    } else if (c >= 0x51 && c <= 0x59) {
      c -= 0x20;  // 'Q'..'Y' stand for the digits '1'..'9'
    } else if (c == 0x5E) {
      c = '>';
    }
    entry->name[i] = static_cast<char>(c);
  }
}

int ReadMenu(FILE* image, FILE* out) {
  memset(menuTable, 0, sizeof menuTable);
  headerSize = 0;

  fseek(image, 0, SEEK_SET);
  uint8_t magic0 = ReadByte(image);
  uint8_t magic1 = ReadByte(image);
  if (magic0 == 0x96 && magic1 == 0x02) headerSize = 16;

  SeekData(image, kSignatureOffset);
  uint8_t signature[3];
  for (uint8_t& b : signature) b = ReadByte(image);
  if (signature[0] != 0x00 || signature[1] != 0x9A || signature[2] != 0x64) {
    fputs("Suspect image file does not contain a Kelvo menu\n", out);
    return 0;
  }

  SeekData(image, kStartHighOffset);
  for (MenuEntry& entry : menuTable) entry.startHigh = ReadByte(image);
  SeekData(image, kStartLowOffset);
  for (MenuEntry& entry : menuTable) entry.startLow = ReadByte(image);

  for (int i = 0; i < kMenuItems; ++i) {
    MenuEntry& entry = menuTable[i];
    SeekData(image, kNamesOffset + kMenuNameLength * i);
    // A short read leaves the rest of the (zero-filled) name blank.
    size_t got = fread(entry.name, 1, kMenuNameLength, image);
    (void)got;
    entry.name[kMenuNameLength] = '\0';
    CleanMenuName(&entry);
  }

  for (MenuEntry& entry : menuTable) {
    if (IsMenuEntryEmpty(entry)) continue;
    // The item header: byte 0 unused, then count, load address, run address.
    SeekData(image, kSectorBytes * (static_cast<long>(MenuStartSector(entry)) - 1) + 1);
    entry.sectorCount = ReadByte(image);
    entry.loadLow = ReadByte(image);
    entry.loadHigh = ReadByte(image);
    entry.runLow = ReadByte(image);
    entry.runHigh = ReadByte(image);
  }
  return 1;
}

void PrintMenu(FILE* out) {
  fputs("\n", out);
  fputs("Name                   StartSec  #Sec  Load  Run\n", out);
  fputs("-------------------------------------------------\n", out);
  for (const MenuEntry& entry : menuTable) {
    if (IsMenuEntryEmpty(entry)) break;
    fprintf(out, "%s     %02X%02X     %02X   %02X%02X  %02X%02X\n", entry.name, entry.startHigh,
            entry.startLow, entry.sectorCount, entry.loadHigh, entry.loadLow, entry.runHigh,
            entry.runLow);
  }
}
