#include "score_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "game_outside.h"
#include "game_rules.h"

namespace {

const char kScoreFileName[] = "Grentix.his";
const char kNewScoreFileName[] = "Grentix.his.new";
// The stored score while a system without a one-step replace puts the new
// file in place: loading falls back to it when the score file is missing.
const char kOldScoreFileName[] = "Grentix.his.old";
const int kScoreBytes = 4;

enum { FileMissing = -1, FileUnreadable = -2 };

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

// Reads up to the first 4 bytes of the file into bytes, the rest 0: the
// number read, FileMissing or FileUnreadable (then all 0).
int ReadScoreBytes(const char* name, uint8_t* bytes) {
  for (int i = 0; i < kScoreBytes; ++i) bytes[i] = 0;
  errno = 0;
  FILE* file = fopen(name, "rb");
  if (!file) return errno == ENOENT ? FileMissing : FileUnreadable;
  size_t got = fread(bytes, 1, kScoreBytes, file);
  bool failed = got < kScoreBytes && ferror(file);
  fclose(file);
  if (!failed) return static_cast<int>(got);
  for (int i = 0; i < kScoreBytes; ++i) bytes[i] = 0;
  return FileUnreadable;
}

bool Exists(const char* name) {
  FILE* file = fopen(name, "rb");
  if (file) fclose(file);
  return file != nullptr;
}

// Puts the new file in the score file's place. Without a one-step replace,
// the stored score is moved aside under the old name until the new file is
// in place, so that a failure or a crash at any point leaves a whole score
// for LoadHighScore to find.
bool PutNewFileInPlace() {
  ReplaceResult result = ReplaceFileInOneStep(kNewScoreFileName, kScoreFileName);
  if (result != ReplaceUnsupported) return result == ReplaceDone;
  bool hadScore = Exists(kScoreFileName);
  if (hadScore) {
    remove(kOldScoreFileName);
    if (rename(kScoreFileName, kOldScoreFileName) != 0) return false;
  }
  if (rename(kNewScoreFileName, kScoreFileName) != 0) {
    if (hadScore) rename(kOldScoreFileName, kScoreFileName);
    return false;
  }
  remove(kOldScoreFileName);
  return true;
}

}  // namespace

void LoadHighScore() {
  uint8_t bytes[kScoreBytes];
  int got = ReadScoreBytes(kScoreFileName, bytes);
  // An interrupted save leaves the stored score under the old name only.
  if (got == FileMissing || (got >= 0 && got < kScoreBytes)) {
    uint8_t oldBytes[kScoreBytes];
    int oldGot = ReadScoreBytes(kOldScoreFileName, oldBytes);
    if (got == FileMissing || oldGot == kScoreBytes) {
      got = oldGot;
      for (int i = 0; i < kScoreBytes; ++i) bytes[i] = oldBytes[i];
    }
  }
  storedScoreUnknown = got == FileUnreadable;
  game.highScore = ReadLE32(bytes);
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
  if (!written || !PutNewFileInPlace()) remove(kNewScoreFileName);
}
