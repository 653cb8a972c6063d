// Reading WAV images: the chunk walk, its bounds, and the six made effects.
#include "wave_file.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> 8 * i));
}
void PutId(Bytes* b, const char* id) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(id[i]));
}
void PutChunk(Bytes* b, const char* id, const Bytes& body, uint32_t claimed = UINT32_MAX) {
  PutId(b, id);
  Put32(b, claimed == UINT32_MAX ? static_cast<uint32_t>(body.size()) : claimed);
  b->insert(b->end(), body.begin(), body.end());
  if (body.size() & 1) b->push_back(0);
}
// 8-bit mono PCM at 11,025 Hz, sized fmtBytes.
Bytes PcmFormat(size_t fmtBytes = 16) {
  Bytes f = {1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0, 0, 0};
  f.resize(fmtBytes, 0);
  return f;
}
// RIFF/WAVE around the chunks; riffSize UINT32_MAX: the real size.
Bytes Riff(const Bytes& chunks, uint32_t riffSize = UINT32_MAX, const char* kind = "WAVE") {
  Bytes b;
  PutId(&b, "RIFF");
  Put32(&b, riffSize == UINT32_MAX ? static_cast<uint32_t>(chunks.size() + 4) : riffSize);
  PutId(&b, kind);
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

TEST(WaveFileTest, FindsFormatAndDataWhereverTheyAre) {
  Bytes chunks;
  PutChunk(&chunks, "fmt ", PcmFormat());
  PutChunk(&chunks, "LIST", Bytes(10, 'x'));
  PutChunk(&chunks, "data", {1, 2, 3, 4, 5});
  Bytes image = Riff(chunks);
  WaveData wave;
  ASSERT_EQ(1, ParseWave(image.data(), image.size(), &wave));
  EXPECT_EQ(1, wave.format.formatTag);
  EXPECT_EQ(11025u, wave.format.samplesPerSec);
  EXPECT_EQ(8, wave.format.bitsPerSample);
  EXPECT_EQ(5u, wave.dataSize);
  EXPECT_EQ(image.data() + 12 + 24 + 18 + 8, wave.data);
  EXPECT_EQ(1, IsPlayablePcm(wave.format));

  // "data" first; an odd chunk of 5 is followed 14 bytes after its start.
  chunks.clear();
  PutChunk(&chunks, "odd ", {9, 9, 9, 9, 9});
  PutChunk(&chunks, "data", {7, 7});
  PutChunk(&chunks, "fmt ", PcmFormat());
  PutChunk(&chunks, "data", {8});  // later chunks of a kind are ignored
  image = Riff(chunks);
  ASSERT_EQ(1, ParseWave(image.data(), image.size(), &wave));
  EXPECT_EQ(image.data() + 12 + 14 + 8, wave.data);
  EXPECT_EQ(2u, wave.dataSize);

  // A 14-byte format is enough; what it lacks is zero.
  chunks.clear();
  PutChunk(&chunks, "fmt ", PcmFormat(14));
  PutChunk(&chunks, "data", {1});
  image = Riff(chunks);
  ASSERT_EQ(1, ParseWave(image.data(), image.size(), &wave));
  EXPECT_EQ(0, wave.format.bitsPerSample);
  EXPECT_EQ(0, wave.format.extraSize);
  EXPECT_EQ(0, IsPlayablePcm(wave.format));
}

TEST(WaveFileTest, RefusesWhatIsNotAWholeWave) {
  WaveData wave;
  Bytes chunks;
  PutChunk(&chunks, "fmt ", PcmFormat(12));
  PutChunk(&chunks, "data", {1});
  Bytes image = Riff(chunks);
  EXPECT_EQ(0, ParseWave(image.data(), image.size(), &wave));

  Bytes good;
  PutChunk(&good, "fmt ", PcmFormat());
  PutChunk(&good, "data", {1, 2});
  image = Riff(good, UINT32_MAX, "AVI ");
  EXPECT_EQ(0, ParseWave(image.data(), image.size(), &wave));
  image = Riff(good, 4);  // the walk would end at offset 12
  EXPECT_EQ(0, ParseWave(image.data(), image.size(), &wave));
  image = Riff(good, 20);  // the walk ends before "data"
  EXPECT_EQ(0, ParseWave(image.data(), image.size(), &wave));
  EXPECT_EQ(nullptr, wave.data);
  Bytes onlyFormat;
  PutChunk(&onlyFormat, "fmt ", PcmFormat());
  image = Riff(onlyFormat);
  EXPECT_EQ(0, ParseWave(image.data(), image.size(), &wave));
  EXPECT_EQ(0, ParseWave(nullptr, 100, &wave));
  // Truncated headers.
  image = Riff(good);
  for (size_t size : {0, 4, 11, 12, 19, 20, 35}) EXPECT_EQ(0, ParseWave(image.data(), size, &wave)) << size;
}

TEST(WaveFileTest, NeverReadsPastTheImage) {
  WaveData wave;
  Bytes good;
  PutChunk(&good, "fmt ", PcmFormat());
  PutChunk(&good, "data", {1, 2, 3, 4});
  // A RIFF size far past the image: the image's own end bounds the walk.
  Bytes image = Riff(good, 0xFFFFFFF0u);
  ASSERT_EQ(1, ParseWave(image.data(), image.size(), &wave));
  EXPECT_EQ(4u, wave.dataSize);

  // "data" claiming more than is there is cut to what is there.
  Bytes chunks;
  PutChunk(&chunks, "fmt ", PcmFormat());
  PutChunk(&chunks, "data", {1, 2, 3}, 0x7FFFFFFF);
  image = Riff(chunks, 0xFFFFFFFFu);
  ASSERT_EQ(1, ParseWave(image.data(), image.size(), &wave));
  EXPECT_EQ(4u, wave.dataSize);  // three bytes and the fill byte
  EXPECT_EQ(image.data() + image.size(), wave.data + wave.dataSize);

  // A format running past the image, or a chunk size that would wrap.
  chunks.clear();
  PutChunk(&chunks, "fmt ", PcmFormat(16), 400);
  image = Riff(chunks, 0xFFFFFFFFu);
  EXPECT_EQ(0, ParseWave(image.data(), image.size(), &wave));
  chunks.clear();
  PutChunk(&chunks, "LIST", {}, 0xFFFFFFFEu);
  PutChunk(&chunks, "fmt ", PcmFormat());
  PutChunk(&chunks, "data", {1});
  image = Riff(chunks);
  EXPECT_EQ(0, ParseWave(image.data(), image.size(), &wave));
  // Zero-sized chunks step on.
  chunks.clear();
  PutChunk(&chunks, "pad ", {});
  PutChunk(&chunks, "data", {});
  PutChunk(&chunks, "fmt ", PcmFormat());
  image = Riff(chunks);
  ASSERT_EQ(1, ParseWave(image.data(), image.size(), &wave));
  EXPECT_EQ(0u, wave.dataSize);
}

TEST(WaveFileTest, PlayablePcmIsConsistentPlainPcm) {
  WaveFormat f = {1, 1, 22050, 44100, 2, 16, 0};
  EXPECT_EQ(1, IsPlayablePcm(f));
  WaveFormat bad = f;
  bad.formatTag = 2;
  EXPECT_EQ(0, IsPlayablePcm(bad));
  bad = f;
  bad.channels = 3;
  EXPECT_EQ(0, IsPlayablePcm(bad));
  bad = f;
  bad.blockAlign = 1;
  EXPECT_EQ(0, IsPlayablePcm(bad));
  bad = f;
  bad.avgBytesPerSec = 22050;
  EXPECT_EQ(0, IsPlayablePcm(bad));
  bad = f;
  bad.bitsPerSample = 12;
  EXPECT_EQ(0, IsPlayablePcm(bad));
  bad = f;
  bad.samplesPerSec = 0;
  bad.avgBytesPerSec = 0;
  EXPECT_EQ(0, IsPlayablePcm(bad));
}

TEST(WaveFileTest, TheSixEffectsHaveTheirStoredFormats) {
  struct Effect {
    const char* file;
    uint32_t rate;
    int bits;
    uint32_t bytes;
  };
  const Effect effects[] = {{"drop", 11025, 8, 564},  {"water", 22050, 16, 4508}, {"boom", 11025, 8, 8992},
                            {"wow", 11025, 8, 7552},  {"coin", 11025, 8, 5738},   {"life", 11025, 8, 16372}};
  for (const Effect& e : effects) {
    SCOPED_TRACE(e.file);
    Bytes image = ReadFileBytes(std::string(GRENTIX_RESOURCE_DIR "/") + e.file + ".wav");
    WaveData wave;
    ASSERT_EQ(1, ParseWave(image.data(), image.size(), &wave));
    EXPECT_EQ(1, IsPlayablePcm(wave.format));
    EXPECT_EQ(1, wave.format.channels);
    EXPECT_EQ(e.rate, wave.format.samplesPerSec);
    EXPECT_EQ(e.bits, wave.format.bitsPerSample);
    EXPECT_EQ(e.bytes, wave.dataSize);
    // Not silence: the samples swing well away from the middle.
    int low = 1 << 20, high = -(1 << 20);
    for (uint32_t i = 0; i + 1 < wave.dataSize; i += e.bits / 8) {
      int v = e.bits == 8 ? wave.data[i] - 128 : static_cast<int16_t>(wave.data[i] | wave.data[i + 1] << 8) / 256;
      low = v < low ? v : low;
      high = v > high ? v : high;
    }
    EXPECT_GT(high - low, 150);
  }
}

}  // namespace
