// An in-memory display standing in for DirectDraw: two 640 x 480 surfaces of
// palette indexes (the back buffer and the visible surface, swapped by the
// flip) and the 17 sprites, behind the same layer operations. Tests read its
// pixels and its log of calls, and script the flip's results; benchmarks draw
// the real frames on it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game_display.h"

enum SoftCallKind : int { CallFill, CallCopy, CallText, CallFlip, CallRestore, CallLoadGraphics };

// One layer call as the display received it; index is the fill index, the
// sprite or the number of text runs.
struct SoftCall {
  SoftCallKind kind;
  DisplayTarget target;
  int x, y, index;
  uint32_t time;  // Milliseconds() when it was made
};

// Installs the display with both surfaces black, every sprite all
// transparent, the call log empty and every flip succeeding.
void InstallSoftDisplay();

uint8_t SoftPixel(DisplayTarget target, int x, int y);
const uint8_t* SoftSurface(DisplayTarget target);  // 640 x 480, row by row

// Sets a sprite's pixels (its width x height indexes, row by row).
void SetSoftSprite(Sprite sprite, const uint8_t* pixels);
// Fills the sprites from the two bitmaps as the resources hold them (8-bit
// .bmp images), each colour taken to the nearest palette index. Returns 1, or
// 0 when an image is not an 8-bit bitmap of the right size.
int LoadSoftSprites(const uint8_t* sheet, size_t sheetSize, const uint8_t* score, size_t scoreSize);

// Results for the next flips, used in turn; once they are used up, flips
// succeed again. A failing text surface makes drawText fail.
void ScriptSoftFlips(const std::vector<FlipResult>& results);
void SetSoftTextFails(int fails);

const std::vector<SoftCall>& SoftCalls();
void ClearSoftCalls();
// Calls are logged only while this is set (the default); benchmarks turn it off.
void SetSoftLogging(int on);

// The palette index nearest to a colour (the one the platform would map it to).
int NearestPaletteIndex(int red, int green, int blue);
