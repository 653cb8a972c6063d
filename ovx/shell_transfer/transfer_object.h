// What the OLE objects of drag and drop have in common: each is a plain heap
// record that starts with its interface's function table and a reference
// count, made here with the count at 0 and freed by the one Release at 0.
#pragma once
#include <windows.h>
#include <unknwn.h>

struct TransferObject {
  const void* functions;
  ULONG refCount;
};

// A zero-filled record of bytes (at least a TransferObject) whose function
// table is functions. Null when memory runs out.
void* NewTransferObject(size_t bytes, const void* functions);
// The AddRef and Release of every object: the new count; Release frees the
// record when the count reaches 0.
ULONG STDMETHODCALLTYPE AddRefTransferObject(IUnknown* object);
ULONG STDMETHODCALLTYPE ReleaseTransferObject(IUnknown* object);
// QueryInterface for an object that implements the interface own: itself,
// with a new reference, for IID_IUnknown and own; otherwise null and E_NOINTERFACE.
HRESULT QueryTransferObject(IUnknown* object, REFIID asked, REFIID own, void** result);
// How many objects are made and not yet freed.
int LiveTransferObjects();
