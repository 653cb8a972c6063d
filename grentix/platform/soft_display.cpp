#include "soft_display.h"

#include <cstring>

#include "frame_clock.h"

namespace {

struct SpriteImage {
  uint8_t pixels[64 * 64];  // the largest sprite; the digits take 160 x 16
};

uint8_t surfaces[2][kScreenHeight][kScreenWidth];
int backIndex = 0;  // which of the two is the back buffer
SpriteImage sprites[SpriteCount];
std::vector<SoftCall> calls;
std::vector<FlipResult> flipScript;
size_t flipScriptNext = 0;
int textFails = 0;
int logging = 1;

// Text is drawn as blocks on its background: one 14 x 30 cell a character,
// about the width of the game's 30-pixel font, a solid block for each
// character that is not a space.
const int kCellWidth = 14;
const int kCellHeight = 30;

uint8_t (*Surface(DisplayTarget target))[kScreenWidth] {
  return surfaces[target == TargetBack ? backIndex : 1 - backIndex];
}

void Log(SoftCallKind kind, DisplayTarget target, int x, int y, int index) {
  if (logging) calls.push_back(SoftCall{kind, target, x, y, index, Milliseconds()});
}

bool OnScreen(int left, int top, int right, int bottom) {
  return left >= 0 && top >= 0 && right <= kScreenWidth && bottom <= kScreenHeight && left <= right &&
         top <= bottom;
}

void SoftFillRect(DisplayTarget target, const DisplayRect& rect, int index) {
  Log(CallFill, target, rect.left, rect.top, index);
  if (!OnScreen(rect.left, rect.top, rect.right, rect.bottom)) return;
  auto rows = Surface(target);
  for (int y = rect.top; y < rect.bottom; ++y) {
    memset(&rows[y][rect.left], static_cast<uint8_t>(index), rect.right - rect.left);
  }
}

void SoftCopyRect(DisplayTarget target, int x, int y, Sprite sprite, const DisplayRect& source) {
  Log(CallCopy, target, x, y, sprite);
  if (sprite < 0 || sprite >= SpriteCount) return;
  const SpriteSource& size = SpriteSourceOf(sprite);
  if (source.left < 0 || source.top < 0 || source.right > size.width || source.bottom > size.height) return;
  int width = source.right - source.left;
  int height = source.bottom - source.top;
  if (width <= 0 || height <= 0 || !OnScreen(x, y, x + width, y + height)) return;
  auto rows = Surface(target);
  for (int row = 0; row < height; ++row) {
    const uint8_t* from = &sprites[sprite].pixels[(source.top + row) * size.width + source.left];
    uint8_t* to = &rows[y + row][x];
    for (int col = 0; col < width; ++col) {
      if (from[col] != kTransparentIndex) to[col] = from[col];
    }
  }
}

void FillClipped(int left, int top, int right, int bottom, int index) {
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (right > kScreenWidth) right = kScreenWidth;
  if (bottom > kScreenHeight) bottom = kScreenHeight;
  auto rows = Surface(TargetBack);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) rows[y][x] = static_cast<uint8_t>(index);
  }
}

int SoftDrawText(TextRun* runs, int count) {
  Log(CallText, TargetBack, count > 0 ? runs[0].x : 0, count > 0 ? runs[0].y : 0, count);
  if (textFails) return 0;
  for (int i = 0; i < count; ++i) {
    TextRun& run = runs[i];
    int length = static_cast<int>(strlen(run.text));
    run.width = length * kCellWidth;
    int x = run.centred ? run.x - length * kCellWidth / 2 : run.x;
    const uint32_t c = run.color, b = run.background;
    int ink = NearestPaletteIndex(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
    int paper = NearestPaletteIndex(b & 0xFF, b >> 8 & 0xFF, b >> 16 & 0xFF);
    FillClipped(x, run.y, x + length * kCellWidth, run.y + kCellHeight, paper);
    for (int k = 0; k < length; ++k) {
      if (run.text[k] == ' ') continue;
      int left = x + k * kCellWidth;
      FillClipped(left + 2, run.y + 6, left + kCellWidth - 2, run.y + kCellHeight - 6, ink);
    }
  }
  return 1;
}

FlipResult SoftFlipSurfaces() {
  FlipResult result = FlipDone;
  if (flipScriptNext < flipScript.size()) result = flipScript[flipScriptNext++];
  Log(CallFlip, TargetVisible, 0, 0, result);
  if (result == FlipDone) backIndex = 1 - backIndex;
  return result;
}

void SoftRestoreVisible() { Log(CallRestore, TargetVisible, 0, 0, 0); }

int SoftLoadGraphics() {
  Log(CallLoadGraphics, TargetBack, 0, 0, 0);
  return 1;
}

const DisplayLayer kSoftLayer = {SoftFillRect, SoftCopyRect, SoftDrawText,
                                 SoftFlipSurfaces, SoftRestoreVisible, SoftLoadGraphics};

uint32_t ReadLE32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Reads an uncompressed 8-bit .bmp of exactly width x height into indexes of
// the game palette, top row first. Returns 0 when it is anything else.
int ReadBitmap(const uint8_t* bmp, size_t size, int width, int height, uint8_t* out) {
  if (size < 54 || bmp[0] != 'B' || bmp[1] != 'M') return 0;
  uint32_t pixelsAt = ReadLE32(bmp + 10);
  uint32_t headerSize = ReadLE32(bmp + 14);
  int32_t w = static_cast<int32_t>(ReadLE32(bmp + 18));
  int32_t h = static_cast<int32_t>(ReadLE32(bmp + 22));
  if (headerSize < 40 || ReadLE16(bmp + 28) != 8 || ReadLE32(bmp + 30) != 0) return 0;
  if (w != width || (h != height && h != -height)) return 0;
  uint32_t colors = ReadLE32(bmp + 46);
  if (colors == 0 || colors > 256) colors = 256;
  size_t tableAt = 14 + static_cast<size_t>(headerSize);
  size_t stride = (static_cast<size_t>(width) + 3) / 4 * 4;
  if (tableAt + colors * 4 > size || pixelsAt > size || size - pixelsAt < stride * height) return 0;
  uint8_t map[256] = {};
  for (uint32_t i = 0; i < colors; ++i) {
    const uint8_t* entry = bmp + tableAt + 4 * i;  // blue, green, red, 0
    map[i] = static_cast<uint8_t>(NearestPaletteIndex(entry[2], entry[1], entry[0]));
  }
  for (int row = 0; row < height; ++row) {
    int stored = h > 0 ? height - 1 - row : row;  // bottom-up unless the height is negative
    const uint8_t* from = bmp + pixelsAt + stride * stored;
    for (int x = 0; x < width; ++x) out[row * width + x] = map[from[x]];
  }
  return 1;
}

}  // namespace

void InstallSoftDisplay() {
  memset(surfaces, 0, sizeof surfaces);
  backIndex = 0;
  memset(sprites, kTransparentIndex, sizeof sprites);
  calls.clear();
  flipScript.clear();
  flipScriptNext = 0;
  textFails = 0;
  logging = 1;
  SetDisplayLayer(&kSoftLayer);
}

uint8_t SoftPixel(DisplayTarget target, int x, int y) {
  if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return 0;
  return Surface(target)[y][x];
}

const uint8_t* SoftSurface(DisplayTarget target) { return &Surface(target)[0][0]; }

void SetSoftSprite(Sprite sprite, const uint8_t* pixels) {
  if (sprite < 0 || sprite >= SpriteCount) return;
  const SpriteSource& size = SpriteSourceOf(sprite);
  memcpy(sprites[sprite].pixels, pixels, static_cast<size_t>(size.width) * size.height);
}

int LoadSoftSprites(const uint8_t* sheet, size_t sheetSize, const uint8_t* score, size_t scoreSize) {
  static uint8_t sheetPixels[64 * 416];
  static uint8_t scorePixels[160 * 16];
  if (!ReadBitmap(sheet, sheetSize, 64, 416, sheetPixels)) return 0;
  if (!ReadBitmap(score, scoreSize, 160, 16, scorePixels)) return 0;
  for (int s = 0; s < SpriteCount; ++s) {
    const SpriteSource& source = SpriteSourceOf(static_cast<Sprite>(s));
    const uint8_t* from = source.fromScore ? scorePixels : sheetPixels;
    int fromWidth = source.fromScore ? 160 : 64;
    for (int row = 0; row < source.height; ++row) {
      memcpy(&sprites[s].pixels[row * source.width], &from[(source.sheetY + row) * fromWidth + source.sheetX],
             source.width);
    }
  }
  return 1;
}

void ScriptSoftFlips(const std::vector<FlipResult>& results) {
  flipScript = results;
  flipScriptNext = 0;
}

void SetSoftTextFails(int fails) { textFails = fails; }

const std::vector<SoftCall>& SoftCalls() { return calls; }
void ClearSoftCalls() { calls.clear(); }
void SetSoftLogging(int on) { logging = on; }

int NearestPaletteIndex(int red, int green, int blue) {
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < 256; ++i) {
    uint8_t r, g, b;
    GamePaletteColor(i, &r, &g, &b);
    int distance = (r - red) * (r - red) + (g - green) * (g - green) + (b - blue) * (b - blue);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}
