#include "score_file.h"

#include <cstdint>
#include <cstdio>

#include "game_rules.h"

namespace {

const char kScoreFileName[] = "Grentix.his";
const int kScoreBytes = 4;

int32_t ReadLE32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void WriteLE32(uint8_t* p, int32_t value) {
  uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(bits >> 8 * i);
}

}  // namespace

void LoadHighScore() {
  uint8_t bytes[kScoreBytes] = {};
  if (FILE* file = fopen(kScoreFileName, "rb")) {
    // A short or failed read leaves the missing bytes 0.
    size_t got = fread(bytes, 1, kScoreBytes, file);
    for (size_t i = got; i < kScoreBytes; ++i) bytes[i] = 0;
    fclose(file);
  }
  game.highScore = ReadLE32(bytes);
}

void SaveHighScore() {
  uint8_t bytes[kScoreBytes];
  WriteLE32(bytes, game.highScore);
  FILE* file = fopen(kScoreFileName, "wb");
  if (!file) return;
  fwrite(bytes, 1, kScoreBytes, file);
  fclose(file);
}
