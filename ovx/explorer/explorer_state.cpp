#include "explorer_state.h"

#include <cstring>

ExplorerState explorer;

HCURSOR BeginWait() {
  SetCapture(explorer.mainWindow);
  return SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void EndWait(HCURSOR previous) {
  SetCursor(previous);
  ReleaseCapture();
}

int FitText(char* buffer, int size, const char* prefix, const char* text, const char* suffix) {
  if (size <= 0) return 0;
  const int prefixLength = static_cast<int>(strlen(prefix));
  const int textLength = static_cast<int>(strlen(text));
  const int suffixLength = static_cast<int>(strlen(suffix));
  const int room = size - 1 - prefixLength - suffixLength;
  const char ellipsis[] = "...";
  const int ellipsisLength = sizeof ellipsis - 1;
  if (room < ellipsisLength + 2) {
    // Too little room to show any of the text: keep what fits from the front.
    lstrcpynA(buffer, prefix, size);
    return 0;
  }
  char* out = buffer;
  memcpy(out, prefix, prefixLength);
  out += prefixLength;
  int fitted = 1;
  if (textLength <= room) {
    memcpy(out, text, textLength);
    out += textLength;
  } else {
    // Keep a third of the room for the start and the rest for the end, which
    // carries the names that tell paths apart.
    const int head = (room - ellipsisLength) / 3;
    const int tail = room - ellipsisLength - head;
    memcpy(out, text, head);
    memcpy(out + head, ellipsis, ellipsisLength);
    memcpy(out + head + ellipsisLength, text + textLength - tail, tail);
    out += room;
    fitted = 0;
  }
  memcpy(out, suffix, suffixLength);
  out[suffixLength] = '\0';
  return fitted;
}

int LoadText(UINT id, char* buffer, int size) {
  const int length = LoadStringA(explorer.instance, id, buffer, size);
  if (length <= 0) buffer[0] = '\0';
  return length > 0 ? length : 0;
}
