#include "transfer_object.h"

namespace {
LONG liveObjects;
}

void* NewTransferObject(size_t bytes, const void* functions) {
  TransferObject* object = static_cast<TransferObject*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
  if (!object) return nullptr;
  object->functions = functions;
  InterlockedIncrement(&liveObjects);
  return object;
}

ULONG STDMETHODCALLTYPE AddRefTransferObject(IUnknown* object) {
  return ++reinterpret_cast<TransferObject*>(object)->refCount;
}

ULONG STDMETHODCALLTYPE ReleaseTransferObject(IUnknown* object) {
  TransferObject* record = reinterpret_cast<TransferObject*>(object);
  const ULONG count = --record->refCount;
  if (count == 0) {
    HeapFree(GetProcessHeap(), 0, record);
    InterlockedDecrement(&liveObjects);
  }
  return count;
}

HRESULT QueryTransferObject(IUnknown* object, REFIID asked, REFIID own, void** result) {
  if (!result) return E_POINTER;
  if (!IsEqualIID(asked, IID_IUnknown) && !IsEqualIID(asked, own)) {
    *result = nullptr;
    return E_NOINTERFACE;
  }
  AddRefTransferObject(object);
  *result = object;
  return S_OK;
}

int LiveTransferObjects() { return static_cast<int>(liveObjects); }
