#include "wave_file.h"

#include <cstring>

namespace {

const size_t kChunkHeader = 8;
const uint32_t kMinFormatBytes = 14;
const uint16_t kFormatPcm = 1;

uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t ReadLE32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IsId(const uint8_t* p, const char* id) { return memcmp(p, id, 4) == 0; }

// A body shorter than the record leaves the rest of it zero.
void ReadFormat(const uint8_t* body, uint32_t bodySize, WaveFormat* format) {
  uint8_t raw[sizeof(WaveFormat)] = {};
  memcpy(raw, body, bodySize < sizeof raw ? bodySize : sizeof raw);
  format->formatTag = ReadLE16(raw);
  format->channels = ReadLE16(raw + 2);
  format->samplesPerSec = ReadLE32(raw + 4);
  format->avgBytesPerSec = ReadLE32(raw + 8);
  format->blockAlign = ReadLE16(raw + 12);
  format->bitsPerSample = ReadLE16(raw + 14);
  format->extraSize = ReadLE16(raw + 16);
}

}  // namespace

int ParseWave(const uint8_t* image, size_t size, WaveData* wave) {
  memset(wave, 0, sizeof *wave);
  if (!image || size < 12 || !IsId(image, "RIFF") || !IsId(image + 8, "WAVE")) return 0;
  uint64_t end = 8 + static_cast<uint64_t>(ReadLE32(image + 4));
  if (end <= 12) return 0;
  // The RIFF size may claim more than the image holds.
  if (end > size) end = size;

  bool haveFormat = false, haveData = false;
  uint64_t at = 12;
  while (at + kChunkHeader <= end) {
    const uint8_t* chunk = image + at;
    uint32_t bodySize = ReadLE32(chunk + 4);
    uint64_t body = at + kChunkHeader;
    uint64_t room = end - body;
    if (!haveFormat && IsId(chunk, "fmt ")) {
      if (bodySize < kMinFormatBytes || bodySize > room) return 0;
      ReadFormat(image + body, bodySize, &wave->format);
      haveFormat = true;
    } else if (!haveData && IsId(chunk, "data")) {
      wave->data = image + body;
      wave->dataSize = static_cast<uint32_t>(bodySize < room ? bodySize : room);
      haveData = true;
    }
    if (haveFormat && haveData) return 1;
    at = body + bodySize + (bodySize & 1);
  }
  memset(wave, 0, sizeof *wave);
  return 0;
}

int IsPlayablePcm(const WaveFormat& format) {
  if (format.formatTag != kFormatPcm) return 0;
  if (format.channels < 1 || format.channels > 2) return 0;
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return 0;
  if (format.samplesPerSec < 1 || format.samplesPerSec > 192000) return 0;
  uint32_t block = format.channels * format.bitsPerSample / 8u;
  return format.blockAlign == block && format.avgBytesPerSec == format.samplesPerSec * block;
}
