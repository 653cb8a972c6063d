// The drawing operations the frames are made of: fills with a palette index,
// colour-keyed sprite copies, digit strings, the scanline overlay, the text
// overlay and the flip. They draw through a small table of layer functions,
// so that DirectDraw serves the game and an in-memory display serves tests;
// the layer does the pixels, everything above it is the same for both.
#pragma once
#include <cstdint>

enum {
  kScreenWidth = 640,
  kScreenHeight = 480,
  kTransparentIndex = 3,  // pure blue; never copied from a sprite
  kTextBufferSize = 256
};

// The 17 sprite surfaces, in the order the display creates them.
enum Sprite : int {
  SpriteBomber,      // frowning
  SpriteBomberGrin,
  SpriteDigits,      // 0..9, each 16 x 16, left to right
  SpriteBucket,
  SpriteSplashA,     // last splash frame
  SpriteSplashB,
  SpriteSplashC,     // first splash frame
  SpriteFuseA,
  SpriteImpact,
  SpriteBlast0,
  SpriteBlast1,
  SpriteBlast2,
  SpriteBlast3,
  SpriteBlast4,
  SpriteBlast5,
  SpriteFuseB,
  SpriteHeldBomb,
  SpriteCount
};

// Where a sprite comes from: its size, and its top-left corner in the sheet
// bitmap ("GRENTIX", or "SCORE" for the digits).
struct SpriteSource {
  int width, height, sheetX, sheetY;
  int fromScore;  // 1 for the digits
};
const SpriteSource& SpriteSourceOf(Sprite sprite);

// The order in which the sheet's sprites are copied from "GRENTIX".
extern const Sprite kSheetSprites[16];

// backBuffer is shown at the next flip, the visible surface at once.
enum DisplayTarget : int { TargetBack, TargetVisible };

struct DisplayRect {
  int left, top, right, bottom;
};

enum FlipResult : int { FlipDone, FlipLost, FlipStillDrawing, FlipFailed };

// One piece of text of the overlay: drawn with the game's font, opaque on
// its background colour, left-aligned at x or centred on it, top at y.
struct TextRun {
  int x, y;
  const char* text;
  uint32_t color, background;  // 0x00BBGGRR, as GDI takes them
  int centred;
  int width;  // set by the layer: how wide the text was drawn, in pixels
};

inline uint32_t TextColor(int red, int green, int blue) {
  return static_cast<uint32_t>(red | green << 8 | blue << 16);
}

struct DisplayLayer {
  void (*fill)(DisplayTarget target, const DisplayRect& rect, int index);
  // Colour-keyed copy of source (inside the sprite) to (x, y). Like a fast
  // blit, nothing is drawn unless the copy lies wholly on the target.
  void (*copy)(DisplayTarget target, int x, int y, Sprite sprite, const DisplayRect& source);
  // Draws the runs on the back buffer and sets each one's width; 0 when the
  // surface could not be drawn on, and then nothing was drawn.
  int (*drawText)(TextRun* runs, int count);
  FlipResult (*flip)();
  void (*restoreVisible)();
  // Refills every sprite from the bitmaps: 1, or 0 when one is missing.
  int (*loadGraphics)();
};

// Installs the layer every operation below draws through; null draws nothing.
void SetDisplayLayer(const DisplayLayer* layer);

// The one 256-byte text buffer of the game: the command line, then every
// number and message drawn.
extern char textBuffer[kTextBufferSize];
// Options: the frame rate in the top-left corner (F4, "-fps"), the scanline
// overlay (F3, "-scanlines").
extern int showFps;
extern int scanlines;

// The fixed palette: index bits rrrgggbb.
void GamePaletteColor(int index, uint8_t* red, uint8_t* green, uint8_t* blue);

void FillRectIndex(DisplayTarget target, const DisplayRect& rect, int index);
void DrawSprite(DisplayTarget target, int x, int y, Sprite sprite);
// Decimal digits of value (a minus sign first when negative) on a 20-pixel
// pitch; a character that is no digit leaves its place empty.
void DrawNumber(int value, int x, int y, DisplayTarget target);
// Darkens every second row of each band; the bottom band only outside Playing.
void DrawScanlines(DisplayTarget target);
// The credits ticker (moved one pixel left per call, and back to the right
// edge once the whole line has left the screen) and, in GameOver,
// "GAME  OVER", on the back buffer.
void DrawTextOverlay();
// Shows the back buffer, counting the frame when the flip succeeds.
void PresentFrame();
// Refills the sprites from the bitmaps: 1, or 0 when a bitmap is missing.
int LoadGraphics();
