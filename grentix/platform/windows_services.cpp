#include "windows_services.h"

#include <mmsystem.h>

#include "frame_clock.h"

namespace {

MoveFileExFunction systemMoveFileEx = nullptr;

uint32_t SystemMilliseconds() { return timeGetTime(); }

ReplaceResult ReplaceWithSystemCall(const char* from, const char* to) {
  return ReplaceWithMoveFileEx(systemMoveFileEx, from, to);
}

}  // namespace

MoveFileExFunction LookUpMoveFileEx() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<MoveFileExFunction>(reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExA")));
}

ReplaceResult ReplaceWithMoveFileEx(MoveFileExFunction moveFileEx, const char* from, const char* to) {
  if (!moveFileEx) return ReplaceUnsupported;
  SetLastError(ERROR_SUCCESS);
  if (moveFileEx(from, to, MOVEFILE_REPLACE_EXISTING)) return ReplaceDone;
  return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? ReplaceUnsupported : ReplaceFailed;
}

void InstallWindowsServices() {
  SetMillisecondClock(SystemMilliseconds);
  systemMoveFileEx = LookUpMoveFileEx();
  SetFileReplacer(ReplaceWithSystemCall);
}
