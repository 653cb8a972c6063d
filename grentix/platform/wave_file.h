// Reads a WAV image as the game stores its sounds: a RIFF "WAVE" image whose
// "fmt " and "data" chunks give the sample format and the samples. Nothing
// is read outside the image, whatever its sizes claim. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

// The wave format record as the platform takes it (18 bytes, packed).
#pragma pack(push, 1)
struct WaveFormat {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint16_t extraSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18, "the platform's wave format record is 18 bytes");

struct WaveData {
  WaveFormat format;    // the "fmt " body, zero past its end
  const uint8_t* data;  // the "data" body, inside the image
  uint32_t dataSize;
};

// Finds the first "fmt " and "data" chunks of image (size bytes). Returns 1
// and fills *wave, or 0 when the image is not a RIFF "WAVE" image, its "fmt "
// body is under 14 bytes or runs past the image, or a chunk is missing. A
// "data" chunk claiming more than the image holds is cut to what is there.
int ParseWave(const uint8_t* image, size_t size, WaveData* wave);

// Whether the format is plain PCM the sound buffers can play: 1 or 2
// channels of 8 or 16 bits at 1 Hz to 192 kHz, with consistent block and
// byte rates.
int IsPlayablePcm(const WaveFormat& format);
