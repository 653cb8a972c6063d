#include "short_name.h"

void FormatShortName(const uint8_t* stored, char* text) {
  int length = 0;
  for (int i = 0; i < kShortNameBytes; ++i) {
    if (i == 8) text[length++] = '.';
    if (stored[i] != ' ' && stored[i] != '\0') text[length++] = static_cast<char>(stored[i]);
  }
  if (text[length - 1] == '.') --length;
  text[length] = '\0';
}
