#include "short_name.h"

namespace {

// Copies the bytes that are neither blank nor zero; FAT listings call this
// for every entry, so the name and the extension each get a plain loop.
char* PutShown(const uint8_t* stored, int count, char* at) {
  for (int i = 0; i < count; ++i) {
    if (stored[i] != ' ' && stored[i] != '\0') *at++ = static_cast<char>(stored[i]);
  }
  return at;
}

}  // namespace

void FormatShortName(const uint8_t* stored, char* text) {
  char* at = PutShown(stored, 8, text);
  *at++ = '.';
  at = PutShown(stored + 8, 3, at);
  if (at[-1] == '.') --at;
  *at = '\0';
}
