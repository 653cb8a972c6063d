// libFuzzer target: ParseWave on any bytes must stay inside them, and what it
// finds must lie inside them too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  WaveData wave;
  if (ParseWave(bytes, size, &wave)) {
    if (wave.data < bytes || wave.data + wave.dataSize > bytes + size) abort();
    volatile uint32_t sum = 0;
    for (uint32_t i = 0; i < wave.dataSize; ++i) sum = sum + wave.data[i];
    IsPlayablePcm(wave.format);
  }
  return 0;
}
