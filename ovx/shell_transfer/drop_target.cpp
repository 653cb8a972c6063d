// Plain C-style interfaces: the objects are records with a function table.
#define CINTERFACE
#define COBJMACROS
#include "drop_target.h"

#include <ole2.h>
#include <shlobj.h>

#include <cstring>

#include "byte_order.h"
#include "explorer_state.h"
#include "transfer_object.h"

namespace {

const size_t kLengthBytes = 2;  // every item starts with its 16-bit length, which counts itself
const size_t kOffsetBytes = 4;

DropTarget* Self(IDropTarget* target) { return reinterpret_cast<DropTarget*>(target); }

HRESULT STDMETHODCALLTYPE TargetQueryInterface(IDropTarget* target, REFIID asked, void** result) {
  return QueryTransferObject(reinterpret_cast<IUnknown*>(target), asked, IID_IDropTarget, result);
}

DWORD EffectFor(LRESULT answer) { return answer ? DROPEFFECT_COPY : DROPEFFECT_NONE; }

// The main window's answer to UM_DROP_QUERY for the paths in data; 0 when it offers none.
LRESULT AskNotifyWindow(DropTarget* self, PathList* paths) {
  return SendMessageA(self->notifyWindow, UM_DROP_QUERY, reinterpret_cast<WPARAM>(self),
                      reinterpret_cast<LPARAM>(paths));
}

// Keys, point and the effects the source allows make no difference: a drop
// here is always a copy, or nothing.
HRESULT STDMETHODCALLTYPE TargetDragEnter(IDropTarget* target, IDataObject* data, DWORD, POINTL, DWORD* effect) {
  DropTarget* self = Self(target);
  PathList* paths = GetDroppedPaths(data);
  self->accepted = paths ? AskNotifyWindow(self, paths) != 0 : 0;
  PathListFree(paths);
  if (effect) *effect = EffectFor(self->accepted);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TargetDragOver(IDropTarget* target, DWORD, POINTL, DWORD* effect) {
  if (effect) *effect = EffectFor(Self(target)->accepted);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TargetDragLeave(IDropTarget* target) {
  Self(target)->accepted = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TargetDrop(IDropTarget* target, IDataObject* data, DWORD, POINTL, DWORD* effect) {
  DropTarget* self = Self(target);
  self->accepted = 0;
  LRESULT result = 0;
  // The list of DragEnter is not kept: the data is read again as dropped.
  PathList* paths = GetDroppedPaths(data);
  if (paths && AskNotifyWindow(self, paths)) {
    result = SendMessageA(self->notifyWindow, UM_DROP_PATHS, reinterpret_cast<WPARAM>(self),
                          reinterpret_cast<LPARAM>(paths));
  }
  PathListFree(paths);
  if (effect) *effect = EffectFor(result);
  return S_OK;
}

const IDropTargetVtbl kDropTargetFunctions = {
    TargetQueryInterface,
    reinterpret_cast<decltype(IDropTargetVtbl::AddRef)>(AddRefTransferObject),
    reinterpret_cast<decltype(IDropTargetVtbl::Release)>(ReleaseTransferObject),
    TargetDragEnter,
    TargetDragOver,
    TargetDragLeave,
    TargetDrop,
};

// Adds the path of every item of the CIDA record in block to paths.
void AddIdListArrayPaths(const uint8_t* block, size_t blockBytes, uint8_t* work, PathList* paths) {
  if (blockBytes < kOffsetBytes) return;
  const uint64_t count = ReadLE32(block);
  // The count and the offsets after it (the parent's and one per item) must lie in the block.
  if ((count + 2) * kOffsetBytes > blockBytes) return;
  uint8_t* parentEnd = CopyItemIdList(work, block, blockBytes, ReadLE32(block + kOffsetBytes));
  if (!parentEnd) return;
  // The items' lists of a real array lie side by side in the block; offsets
  // that point many items at one long list stop once the block is used up,
  // so a hostile array costs no more than a real one of its size.
  uint64_t budget = blockBytes;
  for (uint64_t i = 1; i <= count; ++i) {
    // The item's list follows the parent's, making one list from the desktop.
    const uint8_t* itemEnd = CopyItemIdList(parentEnd, block, blockBytes, ReadLE32(block + (i + 1) * kOffsetBytes));
    if (!itemEnd) continue;
    const uint64_t copied = static_cast<uint64_t>(itemEnd - parentEnd);
    if (copied > budget) break;
    budget -= copied;
    char path[MAX_PATH];
    if (SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(work), path)) PathListAdd(paths, path);
  }
}

PathList* ReadIdListArray(HGLOBAL block) {
  PathList* paths = PathListCreate();
  if (!paths) return nullptr;
  const size_t blockBytes = GlobalSize(block);
  // The parent's list and an item's, each at most the block, and the terminator.
  uint8_t* work = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, 2 * blockBytes + kLengthBytes + 2));
  if (!work) {
    PathListFree(paths);
    return nullptr;
  }
  const uint8_t* cida = static_cast<const uint8_t*>(GlobalLock(block));
  if (cida) {
    AddIdListArrayPaths(cida, blockBytes, work, paths);
    GlobalUnlock(block);
  }
  HeapFree(GetProcessHeap(), 0, work);
  return paths;
}

}  // namespace

uint8_t* CopyItemIdList(uint8_t* destination, const uint8_t* block, size_t blockBytes, uint64_t offset) {
  uint64_t at = offset;
  uint8_t* out = destination;
  for (;;) {
    if (at + kLengthBytes > blockBytes) return nullptr;
    const uint16_t length = ReadLE16(block + at);
    if (length < kLengthBytes) break;  // the terminator, or a length that could never move on
    if (at + length > blockBytes) return nullptr;
    memcpy(out, block + at, length);
    out += length;
    at += length;
  }
  out[0] = 0;
  out[1] = 0;
  return out;
}

PathList* GetDroppedPaths(IDataObject* data) {
  if (!data) return nullptr;
  FORMATETC format = {static_cast<CLIPFORMAT>(RegisterClipboardFormatA("Shell IDList Array")), nullptr,
                      DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (FAILED(IDataObject_GetData(data, &format, &medium))) return nullptr;
  // A source that answers with another kind of medium has no block to read.
  PathList* paths = medium.tymed == TYMED_HGLOBAL && medium.hGlobal ? ReadIdListArray(medium.hGlobal) : nullptr;
  ReleaseStgMedium(&medium);
  return paths;
}

DropTarget* RegisterDropTarget(HWND notifyWindow, HWND targetWindow) {
  DropTarget* target = static_cast<DropTarget*>(NewTransferObject(sizeof *target, &kDropTargetFunctions));
  if (!target) return nullptr;
  target->notifyWindow = notifyWindow;
  target->targetWindow = targetWindow;
  IUnknown* object = reinterpret_cast<IUnknown*>(target);
  AddRefTransferObject(object);
  // Keeps the target alive for as long as it is registered.
  CoLockObjectExternal(object, TRUE, FALSE);
  RegisterDragDrop(targetWindow, reinterpret_cast<IDropTarget*>(target));
  return target;
}

void RevokeDropTarget(DropTarget* target) {
  if (!target) return;
  IUnknown* object = reinterpret_cast<IUnknown*>(target);
  RevokeDragDrop(target->targetWindow);
  CoLockObjectExternal(object, FALSE, TRUE);
  ReleaseTransferObject(object);
}
