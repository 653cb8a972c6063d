#include "menu_convert.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <initializer_list>

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

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, in any case and with
// any extension, name the platform's devices rather than files: writing to
// one would look like success and leave no file.
bool IsDeviceName(const char* name) {
  char stem[5] = "";
  size_t length = 0;
  while (name[length] != '\0' && name[length] != '.' && length < 4) {
    stem[length] = static_cast<char>(toupper(static_cast<unsigned char>(name[length])));
    ++length;
  }
  if (name[length] != '\0' && name[length] != '.') return false;
  stem[length] = '\0';
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (strcmp(stem, device) == 0) return true;
  }
  return length == 4 && (strncmp(stem, "COM", 3) == 0 || strncmp(stem, "LPT", 3) == 0) && stem[3] >= '1' &&
         stem[3] <= '9';
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
  // Only letters reach the name, so no separator or drive can. All 18
  // characters count: a zero byte among them ends only the printed label.
  int letters = 0;
  for (int i = 0; i < kLabelLength && letters < kMaxNameLetters; ++i) {
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

  // The whole item is read before the output is created: the output may be
  // the image itself, which creating it would empty. A count is one byte,
  // so the item fits a fixed buffer.
  static uint8_t data[255 * kSectorBytes];
  const unsigned count = entry.sectorCount;
  fseek(image, headerSize + kSectorBytes * (static_cast<long>(MenuStartSector(entry)) - 1),
        SEEK_SET);
  const size_t got = fread(data, 1, count * kSectorBytes, image);

  FILE* output = IsDeviceName(outputName) ? nullptr : fopen(outputName, "wb");
  if (!output) {
    fputs("\n*** Couldn't create file ***\n", out);
    return 0;
  }

  unsigned load = entry.loadHigh << 8 | entry.loadLow;
  unsigned run = entry.runHigh << 8 | entry.runLow;
  unsigned end = (load + kSectorBytes * count - 1) & 0xFFFF;
  uint8_t header[6] = {0xFF, 0xFF};
  PutWord(header + 2, load);
  PutWord(header + 4, end);
  fwrite(header, 1, sizeof header, output);
  // Only bytes that came from the image are written: a truncated image
  // leaves a truncated file and says so, rather than padding it.
  fwrite(data, 1, got, output);
  if (got < count * kSectorBytes) {
    fclose(output);
    fprintf(out, "\n*** Image ends inside the item: %s is incomplete ***\n", outputName);
    return 0;
  }

  uint8_t vectors[12] = {0xE2, 0x02, 0xE3, 0x02, 0, 0, 0xE0, 0x02, 0xE1, 0x02, 0, 0};
  PutWord(vectors + 4, run);
  PutWord(vectors + 10, run);
  fwrite(vectors, 1, sizeof vectors, output);
  fclose(output);
  return 1;
}
