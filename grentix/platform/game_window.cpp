#include "game_window.h"

#include "command_line.h"
#include "ddraw_display.h"
#include "frames.h"
#include "game_display.h"
#include "game_outside.h"
#include "game_rules.h"
#include "score_file.h"
#include "sound_effects.h"
#include "windows_services.h"

int appActive = 0;

namespace {

const char kClassName[] = "Grentix";

void Toggle(int* flag) { *flag = *flag == 0 ? 1 : 0; }

void OnCreate() {
  textFont = CreateFontA(30, 0, 0, 0, 1000, FALSE, FALSE, FALSE, 0, 0, 0, PROOF_QUALITY, 0, "Arial");
  LoadHighScore();
}

void OnDestroy() {
  SaveHighScore();
  appActive = 0;
  if (textFont) DeleteObject(textFont);
  textFont = nullptr;
  ReleaseDisplay();
  ShutdownSound();
  PostQuitMessage(0);
}

void OnKeyDown(HWND window, WPARAM key) {
  switch (key) {
    case VK_ESCAPE: PostMessageA(window, WM_CLOSE, 0, 0); break;
    case VK_F1:     NewGame(); break;
    case VK_F2:     Toggle(&soundOn); break;
    case VK_F3:     Toggle(&scanlines); break;
    case VK_F4:     Toggle(&showFps); break;
    default:        break;
  }
}

void OnActivateApp(WPARAM active) {
  appActive = static_cast<int>(active);
  // Sprite memory may have been lost while another program had the display.
  if (appActive) LoadGraphics();
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:      OnCreate(); break;
    case WM_DESTROY:     OnDestroy(); break;
    case WM_ACTIVATEAPP: OnActivateApp(wParam); break;
    case WM_SETCURSOR:   SetCursor(nullptr); return TRUE;
    case WM_KEYDOWN:     OnKeyDown(window, wParam); break;
    case WM_MOUSEMOVE:   game.mouseX = MouseXFromLParam(static_cast<uint32_t>(lParam)); break;
    case WM_LBUTTONDOWN: Click(); break;
    default:             break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateGameWindow(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, "ICON");
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszMenuName = kClassName;
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, kClassName, kClassName, WS_POPUP | WS_SYSMENU, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                         GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
}

void ShowInitFailure(HWND window) {
  ReleaseDisplay();
  MessageBoxA(window, "DirectDraw Init FAILED", "Grentix", MB_OK);
  DestroyWindow(window);
}

int InitGame(HINSTANCE instance, int showCommand) {
  InstallWindowsServices();
  HWND window = CreateGameWindow(instance);
  if (!window) return 0;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  if (!InitDisplay(window)) {
    ShowInitFailure(window);
    return 0;
  }
  InitSound(window);
  return 1;
}

int DrawFrameIfActive() {
  if (!appActive) return 0;
  DrawGameFrame();
  return 1;
}

int RunMessageLoop() {
  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      BOOL got = GetMessageA(&message, nullptr, 0, 0);
      if (got == 0) return static_cast<int>(message.wParam);
      if (got < 0) return 0;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else if (!DrawFrameIfActive()) {
      WaitMessage();
    }
  }
}
