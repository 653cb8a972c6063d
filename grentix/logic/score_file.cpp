#include "score_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

#include "game_rules.h"

namespace {

const char kScoreFileName[] = "Grentix.his";
const char kNewScoreFileName[] = "Grentix.his.new";
const int kScoreBytes = 4;

// Set when a score file was there but could not be read: the score it holds
// is unknown, so it must not be replaced by this run's.
bool storedScoreUnknown = false;

int32_t ReadLE32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void WriteLE32(uint8_t* p, int32_t value) {
  uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(bits >> 8 * i);
}

bool ReplaceFile(const char* from, const char* to) {
#ifdef _WIN32
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return rename(from, to) == 0;
#endif
}

}  // namespace

void LoadHighScore() {
  uint8_t bytes[kScoreBytes] = {};
  storedScoreUnknown = false;
  errno = 0;
  if (FILE* file = fopen(kScoreFileName, "rb")) {
    // A short read leaves the missing bytes 0; a failed one, the score unknown.
    size_t got = fread(bytes, 1, kScoreBytes, file);
    if (got < kScoreBytes && ferror(file)) storedScoreUnknown = true;
    for (size_t i = got; i < kScoreBytes; ++i) bytes[i] = 0;
    fclose(file);
  } else if (errno != ENOENT) {
    storedScoreUnknown = true;
  }
  game.highScore = storedScoreUnknown ? 0 : ReadLE32(bytes);
}

void SaveHighScore() {
  if (storedScoreUnknown) return;
  uint8_t bytes[kScoreBytes];
  WriteLE32(bytes, game.highScore);
  // The new file is written whole beside the old one before it takes its
  // place, so a failed write leaves the stored score as it was.
  FILE* file = fopen(kNewScoreFileName, "wb");
  if (!file) return;
  bool written = fwrite(bytes, 1, kScoreBytes, file) == kScoreBytes;
  written = fclose(file) == 0 && written;
  if (!written || !ReplaceFile(kNewScoreFileName, kScoreFileName)) remove(kNewScoreFileName);
}
