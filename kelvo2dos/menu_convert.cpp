#include "menu_convert.h"

#include <cctype>
#include <cstdint>
#include <cstring>

#include "menu_disk.h"

namespace {

// The label and the output name come from the name's 3rd to 20th characters.
const int kLabelStart = 2;
const int kLabelLength = kMenuNameLength - kLabelStart;
const int kMaxNameLetters = 8;

void CopySourceLabel(int index, char label[kLabelLength + 1]) {
  memcpy(label, menuTable[index].name + kLabelStart, kLabelLength);
  label[kLabelLength] = '\0';
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void PutWord(uint8_t* p, unsigned value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

int ParseMenuSelection(const char* text) {
  const char* p = text;
  while (isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Anything above the last item is refused, so the value is capped long
  // before it could overflow.
  long value = 0;
  while (*p >= '0' && *p <= '9') {
    if (value <= kMenuItems) value = value * 10 + (*p - '0');
    ++p;
  }
  if (negative || value < 1 || value > kMenuItems) return -1;
  int index = static_cast<int>(value) - 1;
  return IsMenuEntryEmpty(menuTable[index]) ? -1 : index;
}

void MakeOutputName(int index, char name[13]) {
  char label[kLabelLength + 1];
  CopySourceLabel(index, label);
  // Only letters reach the name, so no separator, drive or device name can.
  int letters = 0;
  for (int i = 0; label[i] != '\0' && letters < kMaxNameLetters; ++i) {
    if (IsAsciiLetter(label[i])) name[letters++] = label[i];
  }
  strcpy(name + letters, ".obj");
}

int ConvertMenuItem(FILE* image, int index, FILE* out) {
  const MenuEntry& entry = menuTable[index];
  char label[kLabelLength + 1];
  char outputName[13];
  CopySourceLabel(index, label);
  MakeOutputName(index, outputName);
  fprintf(out, "\nCreating %s from %s\n", outputName, label);

  FILE* output = fopen(outputName, "wb");
  if (!output) {
    fputs("\n*** Couldn't create file ***\n", out);
    return 0;
  }

  unsigned load = entry.loadHigh << 8 | entry.loadLow;
  unsigned run = entry.runHigh << 8 | entry.runLow;
  unsigned count = entry.sectorCount;
  unsigned end = (load + kSectorBytes * count - 1) & 0xFFFF;

  fseek(image, headerSize + kSectorBytes * (static_cast<long>(MenuStartSector(entry)) - 1),
        SEEK_SET);
  uint8_t header[6] = {0xFF, 0xFF};
  PutWord(header + 2, load);
  PutWord(header + 4, end);
  fwrite(header, 1, sizeof header, output);

  uint8_t sector[kSectorBytes];
  for (unsigned i = 0; i < count; ++i) {
    size_t got = fread(sector, 1, sizeof sector, image);
    // Only bytes that came from the image are written: a truncated image
    // leaves a truncated file and says so, rather than padding it.
    fwrite(sector, 1, got, output);
    if (got < sizeof sector) {
      fclose(output);
      fprintf(out, "\n*** Image ends inside the item: %s is incomplete ***\n", outputName);
      return 0;
    }
  }

  uint8_t vectors[12] = {0xE2, 0x02, 0xE3, 0x02, 0, 0, 0xE0, 0x02, 0xE1, 0x02, 0, 0};
  PutWord(vectors + 4, run);
  PutWord(vectors + 10, run);
  fwrite(vectors, 1, sizeof vectors, output);
  fclose(output);
  return 1;
}
