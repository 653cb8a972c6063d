#include "game_display.h"

#include <cstdio>

#include "frame_clock.h"
#include "game_rules.h"

char textBuffer[kTextBufferSize];
int showFps = 0;
int scanlines = 0;

namespace {

const DisplayLayer* layer = nullptr;

const SpriteSource kSources[SpriteCount] = {
    {64, 64, 0, 0, 0},     // Bomber
    {64, 64, 0, 192, 0},   // BomberGrin
    {160, 16, 0, 0, 1},    // Digits
    {64, 32, 0, 64, 0},    // Bucket
    {64, 32, 0, 96, 0},    // SplashA
    {64, 32, 0, 320, 0},   // SplashB
    {64, 32, 0, 352, 0},   // SplashC
    {32, 32, 0, 128, 0},   // FuseA
    {32, 32, 32, 128, 0},  // Impact
    {32, 32, 32, 288, 0},  // Blast0
    {32, 32, 0, 288, 0},   // Blast1
    {32, 32, 32, 256, 0},  // Blast2
    {32, 32, 0, 256, 0},   // Blast3
    {32, 32, 0, 384, 0},   // Blast4
    {32, 32, 32, 384, 0},  // Blast5
    {32, 32, 0, 160, 0},   // FuseB
    {32, 32, 32, 160, 0},  // HeldBomb
};

const int kDigitWidth = 16;
const int kDigitPitch = 20;

// Every second row of a band, from its first darkened row to its bottom.
struct ScanlineBand {
  int firstRow, bottom, index;
};
const ScanlineBand kScanlineBands[] = {{1, 85, 109}, {85, 450, 8}, {450, 480, 0}};

const int kTickerY = 452;
const int kTickerStartX = 640;
const char kCredits[] =
    "GRENTIX  --  1996-1997  --  Programming: the Orvanta game crew  --  Graphics: drawn pixel by "
    "pixel  --  Testing: everyone who ever lost a bucket  --  Press F1";

}  // namespace

const Sprite kSheetSprites[16] = {
    SpriteBomber, SpriteBomberGrin, SpriteBucket, SpriteSplashA, SpriteSplashB, SpriteSplashC,
    SpriteFuseA,  SpriteFuseB,      SpriteHeldBomb, SpriteImpact, SpriteBlast0, SpriteBlast1,
    SpriteBlast2, SpriteBlast3,     SpriteBlast4, SpriteBlast5};

const SpriteSource& SpriteSourceOf(Sprite sprite) {
  return kSources[sprite >= 0 && sprite < SpriteCount ? sprite : 0];
}

void SetDisplayLayer(const DisplayLayer* newLayer) { layer = newLayer; }

void GamePaletteColor(int index, uint8_t* red, uint8_t* green, uint8_t* blue) {
  *red = static_cast<uint8_t>((index >> 5 & 7) * 255 / 7);
  *green = static_cast<uint8_t>((index >> 2 & 7) * 255 / 7);
  *blue = static_cast<uint8_t>((index & 3) * 255 / 3);
}

void FillRectIndex(DisplayTarget target, const DisplayRect& rect, int index) {
  if (layer) layer->fill(target, rect, index);
}

void DrawSprite(DisplayTarget target, int x, int y, Sprite sprite) {
  if (!layer) return;
  const SpriteSource& source = SpriteSourceOf(sprite);
  layer->copy(target, x, y, sprite, DisplayRect{0, 0, source.width, source.height});
}

void DrawNumber(int value, int x, int y, DisplayTarget target) {
  snprintf(textBuffer, sizeof textBuffer, "%d", value);
  if (!layer) return;
  for (int k = 0; textBuffer[k]; ++k) {
    int digit = textBuffer[k] - '0';
    if (digit < 0 || digit > 9) continue;
    int left = digit * kDigitWidth;
    layer->copy(target, x + kDigitPitch * k, y, SpriteDigits, DisplayRect{left, 0, left + kDigitWidth, 16});
  }
}

void DrawScanlines(DisplayTarget target) {
  // During a wave the bottom band stays clear.
  int bands = game.state == Playing ? 2 : 3;
  for (int b = 0; b < bands; ++b) {
    const ScanlineBand& band = kScanlineBands[b];
    for (int row = band.firstRow; row < band.bottom; row += 2) {
      FillRectIndex(target, DisplayRect{0, row, kScreenWidth, row + 1}, band.index);
    }
  }
}

void DrawTextOverlay() {
  if (!layer) return;
  snprintf(textBuffer, sizeof textBuffer, "%s", kCredits);
  TextRun runs[2] = {
      {creditsX, kTickerY, textBuffer, TextColor(136, 132, 252), TextColor(0, 0, 0), 0, 0},
      {320, 240, "GAME  OVER", TextColor(136, 0, 40), TextColor(76, 116, 32), 1, 0},
  };
  if (!layer->drawText(runs, game.state == GameOver ? 2 : 1)) return;
  creditsX -= 1;
  // Back to the right edge once the whole line, as wide as the font drew it,
  // has left at the left one.
  if (creditsX + runs[0].width <= 0) creditsX = kTickerStartX;
}

void PresentFrame() {
  if (!layer) return;
  for (;;) {
    switch (layer->flip()) {
      case FlipDone:
        CountFrame();
        return;
      case FlipLost:
        // Another program had the display: the frame is dropped, and the
        // sprites are refilled when the game is active again.
        layer->restoreVisible();
        return;
      case FlipStillDrawing:
        break;
      default:
        return;
    }
  }
}

int LoadGraphics() { return layer ? layer->loadGraphics() : 0; }
