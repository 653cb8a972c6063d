// The real game window in this process, on the in-memory display: what the
// window procedure does with each message, and the loop drawing frames only
// while the game is active.
#include "game_window.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ddraw_display.h"
#include "frames_fixture.h"
#include "game_rules.h"
#include "test_files.h"

namespace {

class WindowTest : public FramesTest {
 protected:
  WindowTest() : inDir_(dir_.path()) {}

  void SetUp() override {
    FramesTest::SetUp();
    WriteFileBytes(dir_.File("Grentix.his"), {0xD2, 0x04, 0, 0});
    window_ = CreateGameWindow(GetModuleHandleA(nullptr));
    ASSERT_NE(nullptr, window_);
    appActive = 0;
  }

  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    FramesTest::TearDown();
  }

  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(window_, message, wParam, lParam);
  }

  ScratchDir dir_;
  CurrentDir inDir_;
  HWND window_ = nullptr;
};

TEST_F(WindowTest, CreationLoadsTheHighScoreAndMakesTheFont) {
  EXPECT_EQ(1234, game.highScore);
  ASSERT_NE(nullptr, textFont);
  LOGFONTA font = {};
  ASSERT_NE(0, GetObjectA(textFont, sizeof font, &font));
  EXPECT_EQ(30, font.lfHeight);
  EXPECT_EQ(1000, font.lfWeight);
  EXPECT_STREQ("Arial", font.lfFaceName);
  char name[64] = {};
  GetClassNameA(window_, name, sizeof name);
  EXPECT_STREQ("Grentix", name);
  GetWindowTextA(window_, name, sizeof name);
  EXPECT_STREQ("Grentix", name);
  // The system adds WS_CLIPSIBLINGS to every top-level window.
  LONG style = GetWindowLongA(window_, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS);
  EXPECT_EQ(static_cast<LONG>(WS_POPUP | WS_SYSMENU), style);
}

// The game's font, as the display draws the credits line: the width it
// reports ends where the last letter's ink does.
TEST_F(WindowTest, TextRunsAreMeasuredAsDrawn) {
  DrawTextOverlay();  // formats the credits line into textBuffer
  const int kWide = 4096, kHigh = 40;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kWide;
  info.bmiHeader.biHeight = -kHigh;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(nullptr, bitmap);
  memset(bits, 0xFF, kWide * kHigh * 4);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  TextRun run = {0, 0, textBuffer, TextColor(0, 0, 0), TextColor(255, 255, 255), 0, 0};
  DrawTextRuns(dc, &run, 1);
  GdiFlush();
  int inkRight = -1;
  const uint32_t* pixels = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < kWide * kHigh; ++i) {
    if ((pixels[i] & 0xFFFFFF) != 0xFFFFFF && i % kWide > inkRight) inkRight = i % kWide;
  }
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
  EXPECT_GT(run.width, 1900);
  EXPECT_LT(inkRight, run.width);
  EXPECT_GT(inkRight, run.width - 30);
}

TEST_F(WindowTest, KeysAndTheMouseDriveTheGame) {
  Send(WM_MOUSEMOVE, 0, MAKELPARAM(100, 300));
  EXPECT_EQ(100, game.mouseX);
  Send(WM_MOUSEMOVE, 0, MAKELPARAM(639, 10));
  EXPECT_EQ(575, game.mouseX);
  Send(WM_MOUSEMOVE, 0, MAKELPARAM(0xFFF6, 10));  // -10 off the left edge
  EXPECT_EQ(575, game.mouseX);
  Send(WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(0, game.mouseX);

  Send(WM_KEYDOWN, VK_F1);
  EXPECT_EQ(Ready, game.state);
  EXPECT_EQ((SoundRequests{{EffectCoin, -31}}), TakeSounds());
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(Playing, game.state);

  for (int round = 0; round < 2; ++round) {
    Send(WM_KEYDOWN, VK_F2);
    Send(WM_KEYDOWN, VK_F3);
    Send(WM_KEYDOWN, VK_F4);
    EXPECT_EQ(round == 0 ? 0 : 1, soundOn);
    EXPECT_EQ(round == 0 ? 1 : 0, scanlines);
    EXPECT_EQ(round == 0 ? 1 : 0, showFps);
  }
  Send(WM_KEYDOWN, VK_F5);
  Send(WM_KEYDOWN, 'A');
  EXPECT_EQ(Playing, game.state);

  // The cursor is hidden over the window.
  EXPECT_EQ(TRUE, Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(nullptr, GetCursor());
}

TEST_F(WindowTest, FramesAreDrawnOnlyWhileActiveAndReactivationRefillsTheSprites) {
  Send(WM_ACTIVATEAPP, FALSE);
  EXPECT_EQ(0, appActive);
  EXPECT_EQ(0, DrawFrameIfActive());
  EXPECT_EQ(0u, frameCount);
  EXPECT_TRUE(SoftCalls().empty());

  Send(WM_ACTIVATEAPP, TRUE);
  EXPECT_EQ(1, appActive);
  EXPECT_EQ(1u, Calls(CallLoadGraphics).size());
  EXPECT_EQ(1, DrawFrameIfActive());
  EXPECT_EQ(1u, frameCount);
  EXPECT_EQ(SpriteBomberGrin, SpriteAt(TargetVisible, 84, 30));  // the title scene

  // A flip that finds the display taken drops the frame; the next
  // activation refills the sprites.
  ScriptSoftFlips({FlipLost});
  EXPECT_EQ(1, DrawFrameIfActive());
  EXPECT_EQ(1u, frameCount);
  EXPECT_EQ(1u, Calls(CallRestore).size());
  Send(WM_ACTIVATEAPP, FALSE);
  Send(WM_ACTIVATEAPP, TRUE);
  EXPECT_EQ(2u, Calls(CallLoadGraphics).size());
}

TEST_F(WindowTest, EscapeEndsTheLoopAndSavesTheHighScore) {
  Send(WM_ACTIVATEAPP, TRUE);
  game.highScore = 4321;
  // Escape waits in the queue; the loop draws frames until it handles it.
  PostMessageA(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(0, RunMessageLoop());
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_EQ(0, appActive);
  EXPECT_EQ(nullptr, textFont);
  EXPECT_EQ((Bytes{0xE1, 0x10, 0, 0}), ReadFileBytes(dir_.File("Grentix.his")));
}

}  // namespace
