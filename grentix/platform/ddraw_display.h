// The game's display on DirectDraw (the first interface version): the
// exclusive 640 x 480 x 8 mode with a two-surface flip chain, the fixed
// palette, the 17 sprite surfaces filled from the bitmap resources, and the
// layer functions the drawing operations go through. Win32 only.
#pragma once
#include <windows.h>
#include <ddraw.h>

#include "game_display.h"

// The text font the window creates and deletes; the overlay draws with it.
extern HFONT textFont;

typedef HRESULT(WINAPI* DirectDrawCreator)(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer);
// Replaces DirectDrawCreate (null puts it back), so that tests can hand in
// stand-in objects.
void SetDirectDrawCreator(DirectDrawCreator creator);

// Starts the display and installs its layer: 1, or 0 when the DirectDraw
// object, the cooperative level, the mode, the flip chain or a sprite
// surface cannot be had (what was made so far stays for ReleaseDisplay).
int InitDisplay(HWND window);
// Releases every display object that exists and forgets it; safe to call
// again, and while sprites are being refilled.
void ReleaseDisplay();

// Draws the runs on the device context with the text font, each run's width
// set to the pixels its text took.
void DrawTextRuns(HDC dc, TextRun* runs, int count);

// The fixed palette as a DirectDraw palette; null when it cannot be created.
LPDIRECTDRAWPALETTE CreateGamePalette(LPDIRECTDRAW directDraw);
void SetSurfaceColorKey(LPDIRECTDRAWSURFACE surface, int index);
// Copies a region of bitmap (width or height 0: the whole of it) onto the
// whole surface; E_FAIL when either is missing, else the result of GetDC.
HRESULT CopyBitmapToSurface(LPDIRECTDRAWSURFACE surface, HBITMAP bitmap, int x, int y, int width, int height);
