#include "progress_dialog.h"

#include <commctrl.h>

#include <cstring>

#include "main_window.h"
#include "resource_ids.h"

ProgressState progress;

namespace {

enum {
  kTimerId = 1,
  kTimerMs = 250,
  kComeUpMs = 100,
  // Posted by EndProgress: the dialog ends itself on its own thread, where
  // its timer and its modal loop live.
  kEndMessage = WM_APP + 1,
};

bool textLockReady;

// Made at the first use, on the copying thread, and kept for the program's life.
void ReadyTextLock() {
  if (textLockReady) return;
  InitializeCriticalSection(&progress.textLock);
  textLockReady = true;
}

void ShowProgress(HWND dialog) {
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(progress.percent), 0);
  char text[kTextChars];
  EnterCriticalSection(&progress.textLock);
  memcpy(text, progress.statusText, sizeof text);
  LeaveCriticalSection(&progress.textLock);
  SendDlgItemMessageA(dialog, IDC_PROGRESS_STATUS, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void EndOwnDialog(HWND dialog) {
  KillTimer(dialog, kTimerId);
  EndDialog(dialog, IDCANCEL);
}

void OnInitDialog(HWND dialog) {
  InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&progress.dialog), dialog);
  SetTimer(dialog, kTimerId, kTimerMs, nullptr);
  SetWindowTextA(dialog, progress.caption);
  CenterWindow(dialog, GetWindow(dialog, GW_OWNER));
  CenterWindow(dialog, explorer.mainWindow);
  SetForegroundWindow(dialog);
  BringWindowToTop(dialog);
  ShowProgress(dialog);
  // EndProgress came before there was a dialog to end.
  if (InterlockedCompareExchange(&progress.endRequested, 0, 0)) EndOwnDialog(dialog);
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog); break;
    case WM_COMMAND:    if (LOWORD(wParam) == IDCANCEL) InterlockedExchange(&progress.cancelRequested, 1); break;
    case WM_TIMER:      ShowProgress(dialog); break;
    case kEndMessage:   EndOwnDialog(dialog); break;
  }
  return 0;
}

DWORD WINAPI ProgressThread(LPVOID) {
  HANDLE self = GetCurrentThread();
  SetThreadPriority(self, THREAD_PRIORITY_ABOVE_NORMAL);
  SetThreadPriority(self, THREAD_PRIORITY_HIGHEST);
  MSG message;
  PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the thread's queue
  DialogBoxParamA(explorer.instance, MAKEINTRESOURCEA(IDD_PROGRESS), explorer.mainWindow, ProgressDialogProc, 0);
  return 0;
}

// Taking the dialog down sends the main window messages (its owner is
// enabled and activated again), so the wait answers sent messages; posted
// ones stay queued for the main loop.
void AwaitThread(HANDLE thread) {
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woken != WAIT_OBJECT_0 + 1) return;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace

void StartProgress(const char* caption) {
  ReadyTextLock();
  progress.percent = 0;
  lstrcpynA(progress.caption, caption, sizeof progress.caption);
  progress.cancelRequested = 0;
  progress.endRequested = 0;
  progress.dialog = nullptr;
  progress.thread = CreateThread(nullptr, 0, ProgressThread, nullptr, 0, nullptr);
  if (progress.thread) {
    SetThreadPriority(progress.thread, THREAD_PRIORITY_ABOVE_NORMAL);
    SetThreadPriority(progress.thread, THREAD_PRIORITY_HIGHEST);
  }
  UpdateProgress(0, "");
  Sleep(kComeUpMs);
  UpdateProgress(0, "");
}

int UpdateProgress(int percent, const char* statusText) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  InterlockedExchange(&progress.percent, percent);
  ReadyTextLock();
  EnterCriticalSection(&progress.textLock);
  lstrcpynA(progress.statusText, statusText, sizeof progress.statusText);
  LeaveCriticalSection(&progress.textLock);
  // A look at the queue costs little, a PeekMessageA that finds it empty far
  // more (Wine then also waits on the display and flushes windows), and this
  // runs between every two chunks: the queue is emptied only while it holds
  // something.
  MSG message;
  while (HIWORD(GetQueueStatus(QS_ALLINPUT)) && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The copy ends here, and the main loop must still see the request.
      PostQuitMessage(static_cast<int>(message.wParam));
      return 0;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return InterlockedCompareExchange(&progress.cancelRequested, 0, 0) ? 0 : 1;
}

void EndProgress() {
  InterlockedExchange(&progress.endRequested, 1);
  HWND dialog = static_cast<HWND>(
      InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&progress.dialog), nullptr, nullptr));
  if (dialog) {
    KillTimer(dialog, kTimerId);
    PostMessageA(dialog, kEndMessage, 0, 0);
  }
  if (progress.thread) {
    AwaitThread(progress.thread);
    CloseHandle(progress.thread);
    progress.thread = nullptr;
  }
  progress.dialog = nullptr;
}
