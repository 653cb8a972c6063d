// The progress dialog of a disk copy: a modal dialog on a thread of its own,
// owned by the main window, that shows the copying thread's status text and
// percentage every 250 ms and takes the user's Cancel. The copying thread
// publishes through UpdateProgress, which also keeps its own window alive.
#pragma once
#include <windows.h>

#include <cstdint>

#include "explorer_state.h"

// Shared by the copying thread and the dialog thread; one for the program.
struct ProgressState {
  char caption[kTextChars];     // the dialog's title for this copy
  char statusText[kTextChars];  // shown above the bar; written and read under textLock
  volatile LONG percent;        // 0 to 100
  volatile LONG cancelRequested;
  HWND dialog;  // null until the dialog exists
  HANDLE thread;
  // The copying thread replaces statusText while the dialog thread may be
  // reading it: the lock keeps the dialog from showing half of each.
  CRITICAL_SECTION textLock;
  volatile LONG endRequested;  // EndProgress came, maybe before the dialog did
};

extern ProgressState progress;

// Brings up the progress dialog titled caption on its own thread, and gives
// it 100 ms to come up before the first chunk.
void StartProgress(const char* caption);
// Publishes percent (clamped to 0..100) and statusText, then runs every
// message waiting for the calling thread. Returns 1 while the copy may go
// on; 0 once Cancel was pressed or a quit request was taken (it is posted
// again, so that the program still ends).
int UpdateProgress(int percent, const char* statusText);
// Takes the dialog down, whether or not it has come up yet, and waits until
// its thread has ended.
void EndProgress();
