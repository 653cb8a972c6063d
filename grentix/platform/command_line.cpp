#include "command_line.h"

#include <cstring>

#include "game_display.h"
#include "game_outside.h"

namespace {

// The line, the appended space and the terminator fill textBuffer.
const size_t kMaxLine = kTextBufferSize - 2;
const size_t kWordBufferSize = 255;
const int kMaxMouseX = 575;

void ApplyOption(const char* word) {
  if (strcmp(word, "-scanlines") == 0) scanlines = 1;
  if (strcmp(word, "-fps") == 0) showFps = 1;
  if (strcmp(word, "-nosound") == 0) soundOn = 0;
}

}  // namespace

void ParseCommandLine(const char* commandLine) {
  if (!commandLine) commandLine = "";
  size_t length = strlen(commandLine);
  // A cut inside a word leaves only its start, which must not pass for an option.
  bool lastWordCut = length > kMaxLine && commandLine[kMaxLine] != ' ';
  if (length > kMaxLine) length = kMaxLine;
  memcpy(textBuffer, commandLine, length);
  textBuffer[length] = ' ';
  textBuffer[length + 1] = '\0';

  char word[kWordBufferSize];
  size_t wordLength = 0;
  bool inWord = false;
  bool wordTooLong = false;
  for (size_t i = 0; i <= length; ++i) {
    char c = textBuffer[i];
    if (!inWord) {
      if (c == ' ') continue;
      inWord = true;
      wordLength = 0;
      wordTooLong = false;
    }
    if (c != ' ') {
      if (wordLength < kWordBufferSize - 1) {
        word[wordLength++] = c;
      } else {
        wordTooLong = true;
      }
      continue;
    }
    word[wordLength] = '\0';
    bool cut = wordTooLong || (lastWordCut && i == length);
    if (!cut) ApplyOption(word);
    inWord = false;
  }
}

int MouseXFromLParam(uint32_t lParam) {
  int x = static_cast<int>(lParam & 0xFFFF);
  return x > kMaxMouseX ? kMaxMouseX : x;
}
