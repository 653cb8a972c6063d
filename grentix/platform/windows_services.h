// What the game logic takes from Windows: its millisecond clock and its
// one-step file replace, which Windows 95, 98 and Me lack. Installed once at
// start-up. Win32 only.
#pragma once
#include <windows.h>

#include "game_outside.h"

typedef BOOL(WINAPI* MoveFileExFunction)(LPCSTR from, LPCSTR to, DWORD flags);

// MoveFileExA of this Windows' kernel32, looked up at run time: Windows 95
// has no such export, and a static import would keep the program from
// loading there. Null where it is missing.
MoveFileExFunction LookUpMoveFileEx();

// Puts from in the place of to with moveFileEx: ReplaceDone or ReplaceFailed;
// ReplaceUnsupported when moveFileEx is null or says the system does not
// implement it (the stubs of Windows 98 and Me).
ReplaceResult ReplaceWithMoveFileEx(MoveFileExFunction moveFileEx, const char* from, const char* to);

// Installs timeGetTime as the game's millisecond clock and this Windows'
// MoveFileExA, where it has one, as its file replace.
void InstallWindowsServices();
