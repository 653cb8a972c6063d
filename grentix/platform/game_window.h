// Grentix's one full-screen window and its message loop: start-up in order
// (window, display, sound), the window procedure that turns keys, the mouse
// and activation into game actions, and one frame per pass of the loop while
// the game is the active application. Win32 only.
#pragma once
#include <windows.h>

// Frames are drawn only while this is set (WM_ACTIVATEAPP).
extern int appActive;

// Registers the class "Grentix" and creates the window over the whole
// screen; its creation makes the font and loads the high score. Null when
// no window could be made.
HWND CreateGameWindow(HINSTANCE instance);
// Installs what the game logic takes from Windows (its clock and file
// replace), creates and shows the window, then starts the display and the
// sound: 1, or
// 0 when the window or the display could not be started (the failure has
// then been shown and the window destroyed).
int InitGame(HINSTANCE instance, int showCommand);
// After a failed display start: releases the display, says "DirectDraw Init
// FAILED" and destroys the window.
void ShowInitFailure(HWND window);
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws one frame of the current state if the game is active: 1 if it did.
int DrawFrameIfActive();
// Handles waiting messages and draws a frame whenever none waits, until the
// quit message; returns its wParam.
int RunMessageLoop();
