#include "ddraw_display.h"

#include "game_display.h"

HFONT textFont = nullptr;

namespace {

DirectDrawCreator createDirectDraw = nullptr;
LPDIRECTDRAW directDraw = nullptr;
LPDIRECTDRAWSURFACE primary = nullptr;
LPDIRECTDRAWSURFACE backBuffer = nullptr;
LPDIRECTDRAWSURFACE sprites[SpriteCount] = {};
LPDIRECTDRAWPALETTE palette = nullptr;

// The order sprites are given back in, after primary.
const Sprite kReleaseOrder[SpriteCount] = {
    SpriteBomber, SpriteBucket,     SpriteSplashA, SpriteSplashB, SpriteSplashC, SpriteFuseA,
    SpriteFuseB,  SpriteHeldBomb,   SpriteImpact,  SpriteBlast0,  SpriteBlast1,  SpriteBlast2,
    SpriteBlast3, SpriteBlast4,     SpriteBlast5,  SpriteBomberGrin, SpriteDigits};

template <typename T>
void ReleaseObject(T** object) {
  if (*object) (*object)->Release();
  *object = nullptr;
}

LPDIRECTDRAWSURFACE SurfaceOf(DisplayTarget target) { return target == TargetBack ? backBuffer : primary; }

void DDrawFill(DisplayTarget target, const DisplayRect& rect, int index) {
  LPDIRECTDRAWSURFACE surface = SurfaceOf(target);
  if (!surface) return;
  RECT area = {rect.left, rect.top, rect.right, rect.bottom};
  DDBLTFX effects = {};
  effects.dwSize = sizeof effects;
  effects.dwFillColor = static_cast<DWORD>(index);
  surface->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
}

void DDrawCopy(DisplayTarget target, int x, int y, Sprite sprite, const DisplayRect& source) {
  LPDIRECTDRAWSURFACE surface = SurfaceOf(target);
  if (!surface || sprite < 0 || sprite >= SpriteCount || !sprites[sprite]) return;
  RECT area = {source.left, source.top, source.right, source.bottom};
  surface->BltFast(x, y, sprites[sprite], &area, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
}

int DDrawText(TextRun* runs, int count) {
  HDC dc;
  if (!backBuffer || backBuffer->GetDC(&dc) != DD_OK) return 0;
  DrawTextRuns(dc, runs, count);
  backBuffer->ReleaseDC(dc);
  return 1;
}

FlipResult DDrawFlip() {
  if (!primary) return FlipFailed;
  HRESULT result = primary->Flip(nullptr, 0);
  if (result == DD_OK) return FlipDone;
  if (result == DDERR_SURFACELOST) return FlipLost;
  if (result == DDERR_WASSTILLDRAWING) return FlipStillDrawing;
  return FlipFailed;
}

void DDrawRestoreVisible() {
  if (primary) primary->Restore();
}

HBITMAP LoadBitmapResource(const char* name) {
  return static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

int DDrawLoadGraphics() {
  HBITMAP sheet = LoadBitmapResource("GRENTIX");
  if (!sheet) return 0;
  for (Sprite sprite : kSheetSprites) {
    const SpriteSource& source = SpriteSourceOf(sprite);
    CopyBitmapToSurface(sprites[sprite], sheet, source.sheetX, source.sheetY, source.width, source.height);
  }
  DeleteObject(sheet);
  HBITMAP digits = LoadBitmapResource("SCORE");
  if (!digits) return 0;
  CopyBitmapToSurface(sprites[SpriteDigits], digits, 0, 0, 160, 16);
  DeleteObject(digits);
  return 1;
}

const DisplayLayer kDirectDrawLayer = {DDrawFill,  DDrawCopy,           DDrawText,
                                       DDrawFlip,  DDrawRestoreVisible, DDrawLoadGraphics};

}  // namespace

void SetDirectDrawCreator(DirectDrawCreator creator) { createDirectDraw = creator; }

void DrawTextRuns(HDC dc, TextRun* runs, int count) {
  HGDIOBJ previousFont = SelectObject(dc, textFont);
  for (int i = 0; i < count; ++i) {
    TextRun& run = runs[i];
    int length = lstrlenA(run.text);
    SIZE extent = {};
    GetTextExtentPoint32A(dc, run.text, length, &extent);
    run.width = extent.cx;
    UINT previousAlign = 0;
    if (run.centred) previousAlign = SetTextAlign(dc, TA_CENTER | TA_TOP);
    SetTextColor(dc, run.color);
    SetBkColor(dc, run.background);
    SetBkMode(dc, OPAQUE);
    TextOutA(dc, run.x, run.y, run.text, length);
    if (run.centred) SetTextAlign(dc, previousAlign);
  }
  SelectObject(dc, previousFont);
}

int InitDisplay(HWND window) {
  SetDisplayLayer(&kDirectDrawLayer);
  DirectDrawCreator create = createDirectDraw ? createDirectDraw : DirectDrawCreate;
  if (create(nullptr, &directDraw, nullptr) != DD_OK) {
    directDraw = nullptr;
    return 0;
  }
  if (directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK) return 0;
  if (directDraw->SetDisplayMode(kScreenWidth, kScreenHeight, 8) != DD_OK) return 0;

  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  desc.dwBackBufferCount = 1;
  if (directDraw->CreateSurface(&desc, &primary, nullptr) != DD_OK) {
    primary = nullptr;
    return 0;
  }
  DDSCAPS backCaps = {DDSCAPS_BACKBUFFER};
  if (primary->GetAttachedSurface(&backCaps, &backBuffer) != DD_OK) {
    backBuffer = nullptr;
    return 0;
  }
  for (int s = 0; s < SpriteCount; ++s) {
    const SpriteSource& source = SpriteSourceOf(static_cast<Sprite>(s));
    DDSURFACEDESC spriteDesc = {};
    spriteDesc.dwSize = sizeof spriteDesc;
    spriteDesc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    spriteDesc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    spriteDesc.dwWidth = source.width;
    spriteDesc.dwHeight = source.height;
    if (directDraw->CreateSurface(&spriteDesc, &sprites[s], nullptr) != DD_OK) {
      sprites[s] = nullptr;
      return 0;
    }
  }

  palette = CreateGamePalette(directDraw);
  if (palette) primary->SetPalette(palette);
  for (LPDIRECTDRAWSURFACE sprite : sprites) SetSurfaceColorKey(sprite, kTransparentIndex);
  LoadGraphics();
  return 1;
}

void ReleaseDisplay() {
  if (!directDraw) return;
  // The back buffer belongs to the flip chain and goes with primary.
  backBuffer = nullptr;
  ReleaseObject(&primary);
  for (Sprite sprite : kReleaseOrder) ReleaseObject(&sprites[sprite]);
  ReleaseObject(&palette);
  ReleaseObject(&directDraw);
}

LPDIRECTDRAWPALETTE CreateGamePalette(LPDIRECTDRAW object) {
  PALETTEENTRY entries[256];
  for (int i = 0; i < 256; ++i) {
    GamePaletteColor(i, &entries[i].peRed, &entries[i].peGreen, &entries[i].peBlue);
    entries[i].peFlags = 0;
  }
  LPDIRECTDRAWPALETTE created = nullptr;
  if (object->CreatePalette(DDPCAPS_8BIT, entries, &created, nullptr) != DD_OK) return nullptr;
  return created;
}

void SetSurfaceColorKey(LPDIRECTDRAWSURFACE surface, int index) {
  if (!surface) return;
  DDCOLORKEY key = {static_cast<DWORD>(index), static_cast<DWORD>(index)};
  surface->SetColorKey(DDCKEY_SRCBLT, &key);
}

HRESULT CopyBitmapToSurface(LPDIRECTDRAWSURFACE surface, HBITMAP bitmap, int x, int y, int width, int height) {
  if (!surface || !bitmap) return E_FAIL;
  // A surface lost while another program had the display gets its memory back.
  surface->Restore();
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  if (width == 0) width = info.bmWidth;
  if (height == 0) height = info.bmHeight;

  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
  surface->GetSurfaceDesc(&desc);
  HDC dc;
  HRESULT result = surface->GetDC(&dc);
  if (result == DD_OK) {
    StretchBlt(dc, 0, 0, desc.dwWidth, desc.dwHeight, memory, x, y, width, height, SRCCOPY);
    surface->ReleaseDC(dc);
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  return result;
}
