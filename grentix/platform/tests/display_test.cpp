// The drawing operations on the in-memory display: palette, sprites, digits,
// scanlines, the text overlay and the flip.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "frames_fixture.h"
#include "test_files.h"

namespace {

using DisplayTest = FramesTest;

TEST_F(DisplayTest, PaletteIsRrrgggbb) {
  struct Entry {
    int index, red, green, blue;
  };
  const Entry entries[] = {{0, 0, 0, 0},       {3, 0, 0, 255},      {8, 0, 72, 0},
                           {76, 72, 109, 0},   {109, 109, 109, 85}, {182, 182, 182, 170},
                           {255, 255, 255, 255}};
  for (const Entry& e : entries) {
    uint8_t r, g, b;
    GamePaletteColor(e.index, &r, &g, &b);
    EXPECT_EQ(e.red, r) << e.index;
    EXPECT_EQ(e.green, g) << e.index;
    EXPECT_EQ(e.blue, b) << e.index;
    EXPECT_EQ(e.index, NearestPaletteIndex(e.red, e.green, e.blue));
  }
}

TEST_F(DisplayTest, SpritesAreColourKeyedAndNeverClipped) {
  FillRectIndex(TargetBack, {0, 0, 640, 480}, 76);
  DrawSprite(TargetBack, 100, 50, SpriteBucket);
  EXPECT_EQ(SpriteBucket, SpriteAt(TargetBack, 100, 51));
  EXPECT_EQ(SpriteBucket, SpriteAt(TargetBack, 163, 81));
  EXPECT_EQ(76, SoftPixel(TargetBack, 130, 50));  // the transparent top row
  EXPECT_EQ(76, SoftPixel(TargetBack, 164, 60));
  EXPECT_EQ(0, SoftPixel(TargetVisible, 100, 51));  // the other surface is untouched

  // Wholly on the surface, up to its edges; one pixel over is not drawn at all.
  DrawSprite(TargetBack, 576, 448, SpriteBucket);
  EXPECT_EQ(SpriteBucket, SpriteAt(TargetBack, 639, 479));
  DrawSprite(TargetBack, 577, 300, SpriteBomber);
  DrawSprite(TargetBack, -1, 300, SpriteBomber);
  DrawSprite(TargetBack, 300, 417, SpriteBomber);
  for (int x : {0, 300, 600}) EXPECT_EQ(76, SoftPixel(TargetBack, x + 20, 320)) << x;
  EXPECT_EQ(76, SoftPixel(TargetBack, 320, 479));
}

TEST_F(DisplayTest, NumbersUseTheDigitGlyphsOnATwentyPixelPitch) {
  FillRectIndex(TargetBack, {0, 0, 640, 85}, 182);
  DrawNumber(0, 390, 4, TargetBack);
  EXPECT_EQ("0..", DigitsAt(TargetBack, 390, 4, 3));
  EXPECT_STREQ("0", textBuffer);

  DrawNumber(1234, 390, 40, TargetBack);
  EXPECT_EQ("1234.", DigitsAt(TargetBack, 390, 40, 5));
  // Each glyph covers x+2 .. x+13 of its 20 pixels; the rest shows the band.
  for (int x : {390, 410, 430, 450}) {
    EXPECT_EQ(182, SoftPixel(TargetBack, x + 1, 48)) << x;
    EXPECT_NE(182, SoftPixel(TargetBack, x + 2, 48)) << x;
    EXPECT_EQ(182, SoftPixel(TargetBack, x + 14, 48)) << x;
  }
  EXPECT_EQ(5u, Calls(CallCopy).size());  // the 0 and four glyphs

  // A minus sign draws nothing but keeps its place.
  DrawNumber(-56, 100, 60, TargetVisible);
  EXPECT_EQ(".56", DigitsAt(TargetVisible, 100, 60, 3));
}

TEST_F(DisplayTest, ScanlinesDarkenEverySecondRowOfEachBand) {
  auto countRows = [](int top, int bottom) {
    int rows = 0;
    for (const SoftCall& call : SoftCalls()) {
      rows += call.kind == CallFill && call.x == 0 && call.y >= top && call.y < bottom;
    }
    return rows;
  };
  FillRectIndex(TargetBack, {0, 0, 640, 85}, 182);
  FillRectIndex(TargetBack, {0, 85, 640, 450}, 76);
  ClearSoftCalls();
  game.state = Title;
  DrawScanlines(TargetBack);
  EXPECT_EQ(42, countRows(0, 85));
  EXPECT_EQ(183, countRows(85, 450));
  EXPECT_EQ(15, countRows(450, 480));
  EXPECT_EQ(182, SoftPixel(TargetBack, 10, 0));
  EXPECT_EQ(109, SoftPixel(TargetBack, 10, 1));
  EXPECT_EQ(109, SoftPixel(TargetBack, 639, 83));
  EXPECT_EQ(182, SoftPixel(TargetBack, 10, 84));
  EXPECT_EQ(8, SoftPixel(TargetBack, 10, 85));
  EXPECT_EQ(76, SoftPixel(TargetBack, 10, 86));
  EXPECT_EQ(8, SoftPixel(TargetBack, 10, 449));

  // During a wave the bottom band is left alone.
  ClearSoftCalls();
  game.state = Playing;
  DrawScanlines(TargetVisible);
  EXPECT_EQ(42, countRows(0, 85));
  EXPECT_EQ(183, countRows(85, 450));
  EXPECT_EQ(0, countRows(450, 480));
  for (const SoftCall& call : SoftCalls()) EXPECT_EQ(TargetVisible, call.target);
}

TEST_F(DisplayTest, TickerRunsFrom640UntilTheWholeLineHasLeft) {
  game.state = Title;
  EXPECT_EQ(640, creditsX);
  DrawTextOverlay();
  EXPECT_EQ(639, creditsX);
  // The text starts at the ticker's place, in its colours on black.
  const int ink = NearestPaletteIndex(136, 132, 252);
  FillRectIndex(TargetBack, {0, 450, 640, 480}, 200);
  creditsX = 600;
  DrawTextOverlay();
  EXPECT_EQ(0, SoftPixel(TargetBack, 600, 452));    // background
  EXPECT_EQ(ink, SoftPixel(TargetBack, 605, 465));  // "G"
  EXPECT_EQ(200, SoftPixel(TargetBack, 599, 465));
  EXPECT_EQ(200, SoftPixel(TargetBack, 620, 451));

  // The soft display gives each character a 14-pixel cell. A pass ends with
  // the line's last column at x 0; its last letter shows until then.
  const int width = 14 * static_cast<int>(strlen(textBuffer));
  ASSERT_GT(width, 1900);
  creditsX = 640;
  int frames = 0;
  int lowest = creditsX;
  do {
    DrawTextOverlay();
    ++frames;
    if (creditsX < lowest) lowest = creditsX;
  } while (creditsX != 640 && frames < 10000);
  EXPECT_EQ(640 + width, frames);
  EXPECT_EQ(1 - width, lowest);
  creditsX = 14 - width;
  DrawTextOverlay();
  EXPECT_EQ(ink, SoftPixel(TargetBack, 5, 465));
  EXPECT_EQ(13 - width, creditsX);

  // Without a surface to draw on, the ticker stands still.
  SetSoftTextFails(1);
  DrawTextOverlay();
  EXPECT_EQ(13 - width, creditsX);
}

TEST_F(DisplayTest, GameOverIsCentredInItsOwnColours) {
  game.state = GameOver;
  DrawTextOverlay();
  const int ink = NearestPaletteIndex(136, 0, 40);
  const int paper = NearestPaletteIndex(76, 116, 32);
  // "GAME  OVER": ten cells of 14 pixels centred on 320.
  EXPECT_EQ(paper, SoftPixel(TargetBack, 250, 241));
  EXPECT_EQ(ink, SoftPixel(TargetBack, 256, 255));  // G
  EXPECT_EQ(paper, SoftPixel(TargetBack, 256 + 14 * 4, 255));  // the two spaces
  EXPECT_EQ(paper, SoftPixel(TargetBack, 256 + 14 * 5, 255));
  EXPECT_EQ(ink, SoftPixel(TargetBack, 256 + 14 * 9, 255));  // R
  EXPECT_EQ(0, SoftPixel(TargetBack, 391, 255));
  EXPECT_EQ(2, SoftCalls().back().index);  // ticker and title in one go
}

TEST_F(DisplayTest, FlipRetriesWhileStillDrawingAndDropsALostFrame) {
  FillRectIndex(TargetBack, {0, 0, 640, 480}, 9);
  ScriptSoftFlips({FlipStillDrawing, FlipStillDrawing, FlipDone});
  PresentFrame();
  EXPECT_EQ(3u, Calls(CallFlip).size());
  EXPECT_EQ(1u, frameCount);
  EXPECT_EQ(9, SoftPixel(TargetVisible, 5, 5));

  // Lost: the visible surface is restored and the frame is not counted.
  ClearSoftCalls();
  FillRectIndex(TargetBack, {0, 0, 640, 480}, 10);
  ScriptSoftFlips({FlipLost});
  PresentFrame();
  EXPECT_EQ(1u, Calls(CallFlip).size());
  EXPECT_EQ(1u, Calls(CallRestore).size());
  EXPECT_EQ(1u, frameCount);
  EXPECT_EQ(9, SoftPixel(TargetVisible, 5, 5));

  ClearSoftCalls();
  ScriptSoftFlips({FlipFailed});
  PresentFrame();
  EXPECT_EQ(1u, Calls(CallFlip).size());
  EXPECT_EQ(0u, Calls(CallRestore).size());
  EXPECT_EQ(1u, frameCount);

  PresentFrame();
  EXPECT_EQ(2u, frameCount);
  EXPECT_EQ(10, SoftPixel(TargetVisible, 5, 5));
}

// The pictures the build draws: 8-bit bitmaps of the right sizes, every
// sprite on pure blue, and no sprite empty.
TEST_F(DisplayTest, DrawnBitmapsHoldEverySpriteOnTransparentBlue) {
  Bytes sheet = ReadFileBytes(GRENTIX_RESOURCE_DIR "/grentix.bmp");
  Bytes score = ReadFileBytes(GRENTIX_RESOURCE_DIR "/score.bmp");
  ASSERT_EQ(1, LoadSoftSprites(sheet.data(), sheet.size(), score.data(), score.size()));
  EXPECT_EQ(0, LoadSoftSprites(score.data(), score.size(), sheet.data(), sheet.size()));
  EXPECT_EQ(0, LoadSoftSprites(sheet.data(), 1000, score.data(), score.size()));

  for (int s = 0; s < SpriteCount; ++s) {
    const SpriteSource& size = SpriteSourceOf(static_cast<Sprite>(s));
    int x = s == SpriteDigits ? 0 : 200;
    FillRectIndex(TargetBack, {0, 0, 640, 480}, 76);
    DrawSprite(TargetBack, x, 100, static_cast<Sprite>(s));
    int drawn = 0;
    for (int row = 0; row < size.height; ++row) {
      for (int col = 0; col < size.width; ++col) drawn += SoftPixel(TargetBack, x + col, 100 + row) != 76;
    }
    // Some of each sprite is drawn, and its corners are background.
    EXPECT_GT(drawn, size.width * size.height / 12) << "sprite " << s;
    EXPECT_LT(drawn, size.width * size.height) << "sprite " << s;
    EXPECT_EQ(76, SoftPixel(TargetBack, x, 100)) << "sprite " << s;
    EXPECT_EQ(76, SoftPixel(TargetBack, x + size.width - 1, 100 + size.height - 1)) << "sprite " << s;
  }
  // The two bomber faces differ.
  int differences = 0;
  FillRectIndex(TargetBack, {0, 0, 640, 480}, 76);
  DrawSprite(TargetBack, 0, 0, SpriteBomber);
  DrawSprite(TargetBack, 100, 0, SpriteBomberGrin);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) differences += SoftPixel(TargetBack, x, y) != SoftPixel(TargetBack, 100 + x, y);
  }
  EXPECT_GT(differences, 40);
}

}  // namespace
