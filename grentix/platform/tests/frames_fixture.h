// Test fixture for the frames: the in-memory display with sprites that tell
// themselves apart by their pixels, a millisecond clock that moves on by one
// with every reading, and the rules' sound recorder.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "frame_clock.h"
#include "game_display.h"
#include "rules_fixture.h"
#include "soft_display.h"

// Sprite s is drawn in index kSpriteInk + s, except its top row, which is
// transparent; digit glyph d in kDigitInk + d, its two outer columns on each
// side transparent.
const int kSpriteInk = 200;
const int kDigitInk = 100;

inline uint32_t testMilliseconds;
inline uint32_t TestMillisecondClock() { return testMilliseconds++; }

inline void InstallTestSprites() {
  std::vector<uint8_t> pixels(64 * 64);
  for (int s = 0; s < SpriteCount; ++s) {
    if (s == SpriteDigits) continue;
    const SpriteSource& size = SpriteSourceOf(static_cast<Sprite>(s));
    for (int i = 0; i < size.width * size.height; ++i) {
      pixels[i] = static_cast<uint8_t>(i < size.width ? int{kTransparentIndex} : kSpriteInk + s);
    }
    SetSoftSprite(static_cast<Sprite>(s), pixels.data());
  }
  std::vector<uint8_t> digits(160 * 16);
  for (int i = 0; i < 160 * 16; ++i) {
    int column = i % 160 % 16;
    digits[i] = static_cast<uint8_t>(column < 2 || column >= 14 ? int{kTransparentIndex} : kDigitInk + i % 160 / 16);
  }
  SetSoftSprite(SpriteDigits, digits.data());
}

class FramesTest : public RulesTest {
 protected:
  void SetUp() override {
    RulesTest::SetUp();
    InstallSoftDisplay();
    InstallTestSprites();
    testMilliseconds = 5000;
    SetMillisecondClock(TestMillisecondClock);
    ResetFrameClock();
    showFps = 0;
    scanlines = 0;
  }

  void TearDown() override {
    SetMillisecondClock(nullptr);
    SetDisplayLayer(nullptr);
    showFps = 0;
    scanlines = 0;
    RulesTest::TearDown();
  }

  // The sprite whose ink is at (x, y) of target, or -1.
  static int SpriteAt(DisplayTarget target, int x, int y) {
    int index = SoftPixel(target, x, y);
    return index >= kSpriteInk && index < kSpriteInk + SpriteCount ? index - kSpriteInk : -1;
  }

  // The digits drawn from x on a 20-pixel pitch, read from the glyphs' ink,
  // as text ('.' where no glyph is).
  static std::string DigitsAt(DisplayTarget target, int x, int y, int places) {
    std::string text;
    for (int k = 0; k < places; ++k) {
      int index = SoftPixel(target, x + 20 * k + 8, y + 8);
      text += index >= kDigitInk && index < kDigitInk + 10 ? static_cast<char>('0' + index - kDigitInk) : '.';
    }
    return text;
  }

  // Calls of one kind (and, unless -1, one target) from the log.
  static std::vector<SoftCall> Calls(SoftCallKind kind, int target = -1) {
    std::vector<SoftCall> found;
    for (const SoftCall& call : SoftCalls()) {
      if (call.kind == kind && (target < 0 || call.target == target)) found.push_back(call);
    }
    return found;
  }
};
