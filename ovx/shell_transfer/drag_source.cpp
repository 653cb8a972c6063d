// Plain C-style interfaces: the objects are records with a function table.
#define CINTERFACE
#define COBJMACROS
#include "drag_source.h"

#include <ole2.h>
#include <shlobj.h>

#include "explorer_state.h"
#include "transfer_object.h"

namespace {

IUnknown* AsUnknown(void* object) { return static_cast<IUnknown*>(object); }

// The format ids are asked for at each use; the names are registered once per session.
CLIPFORMAT DescriptorFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptor")); }
CLIPFORMAT ContentsFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileContents")); }

HRESULT STDMETHODCALLTYPE SourceQueryInterface(IDropSource* source, REFIID asked, void** result) {
  return QueryTransferObject(AsUnknown(source), asked, IID_IDropSource, result);
}

// Only Escape and the left button count; other keys and buttons change nothing.
HRESULT STDMETHODCALLTYPE SourceQueryContinueDrag(IDropSource*, BOOL escapePressed, DWORD keyState) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  if (keyState & MK_LBUTTON) return S_OK;
  return DRAGDROP_S_DROP;
}

HRESULT STDMETHODCALLTYPE SourceGiveFeedback(IDropSource*, DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

const IDropSourceVtbl kDropSourceFunctions = {
    SourceQueryInterface,
    reinterpret_cast<decltype(IDropSourceVtbl::AddRef)>(AddRefTransferObject),
    reinterpret_cast<decltype(IDropSourceVtbl::Release)>(ReleaseTransferObject),
    SourceQueryContinueDrag,
    SourceGiveFeedback,
};

enum Requested { RequestedDescriptor, RequestedContents };

// Whether a request can be served: S_OK with what it asks for, E_INVALIDARG
// when a field is not what the format needs, E_NOTIMPL for another format.
HRESULT CheckRequest(const FORMATETC* format, Requested* requested) {
  if (!format) return E_INVALIDARG;
  const bool plain = format->ptd == nullptr && (format->dwAspect & DVASPECT_CONTENT) && (format->tymed & TYMED_HGLOBAL);
  if (format->cfFormat == DescriptorFormat()) {
    *requested = RequestedDescriptor;
    return plain && format->lindex == -1 ? S_OK : E_INVALIDARG;
  }
  if (format->cfFormat == ContentsFormat()) {
    *requested = RequestedContents;
    return plain ? S_OK : E_INVALIDARG;
  }
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DataQueryInterface(IDataObject* data, REFIID asked, void** result) {
  return QueryTransferObject(AsUnknown(data), asked, IID_IDataObject, result);
}

HRESULT STDMETHODCALLTYPE DataGetData(IDataObject* data, FORMATETC* format, STGMEDIUM* medium) {
  Requested requested;
  const HRESULT check = CheckRequest(format, &requested);
  if (check != S_OK) return check;
  if (!medium) return E_INVALIDARG;
  const HWND owner = reinterpret_cast<DataObject*>(data)->ownerWindow;
  const LRESULT handle = requested == RequestedDescriptor
                             ? SendMessageA(owner, UM_GET_GROUP_DESCRIPTOR, 0, 0)
                             : SendMessageA(owner, UM_GET_FILE_CONTENTS, 0, format->lindex);
  if (!handle) return E_INVALIDARG;
  // No release object: the block becomes the receiver's.
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = reinterpret_cast<HGLOBAL>(handle);
  medium->pUnkForRelease = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DataQueryGetData(IDataObject*, FORMATETC* format) {
  Requested requested;
  return CheckRequest(format, &requested);
}

HRESULT STDMETHODCALLTYPE DataEnumFormatEtc(IDataObject*, DWORD, IEnumFORMATETC** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  FormatEnumerator* enumerator = NewFormatEnumerator();
  if (!enumerator) return E_OUTOFMEMORY;
  AddRefTransferObject(AsUnknown(enumerator));
  const HRESULT answer = QueryTransferObject(AsUnknown(enumerator), IID_IEnumFORMATETC, IID_IEnumFORMATETC,
                                             reinterpret_cast<void**>(result));
  ReleaseTransferObject(AsUnknown(enumerator));
  return answer;
}

HRESULT STDMETHODCALLTYPE DataGetDataHere(IDataObject*, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE DataGetCanonicalFormatEtc(IDataObject*, FORMATETC*, FORMATETC*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE DataSetData(IDataObject*, FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE DataDAdvise(IDataObject*, FORMATETC*, DWORD, IAdviseSink*, DWORD*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE DataDUnadvise(IDataObject*, DWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE DataEnumDAdvise(IDataObject*, IEnumSTATDATA**) { return E_NOTIMPL; }

const IDataObjectVtbl kDataObjectFunctions = {
    DataQueryInterface,
    reinterpret_cast<decltype(IDataObjectVtbl::AddRef)>(AddRefTransferObject),
    reinterpret_cast<decltype(IDataObjectVtbl::Release)>(ReleaseTransferObject),
    DataGetData,
    DataGetDataHere,
    DataQueryGetData,
    DataGetCanonicalFormatEtc,
    DataSetData,
    DataEnumFormatEtc,
    DataDAdvise,
    DataDUnadvise,
    DataEnumDAdvise,
};

FormatEnumerator* Enumerator(IEnumFORMATETC* enumerator) { return reinterpret_cast<FormatEnumerator*>(enumerator); }

HRESULT STDMETHODCALLTYPE EnumQueryInterface(IEnumFORMATETC* enumerator, REFIID asked, void** result) {
  return QueryTransferObject(AsUnknown(enumerator), asked, IID_IEnumFORMATETC, result);
}

HRESULT STDMETHODCALLTYPE EnumNext(IEnumFORMATETC* enumerator, ULONG count, FORMATETC* records, ULONG* fetched) {
  FormatEnumerator* self = Enumerator(enumerator);
  ULONG n = 0;
  HRESULT answer = S_FALSE;
  if (self->position < self->formatCount) {
    n = self->formatCount - self->position;
    if (count < n) n = count;
    if (n && !records) return E_POINTER;
    for (ULONG i = 0; i < n; ++i) records[i] = self->formats[self->position + i];
    answer = n == count ? S_OK : S_FALSE;
    self->position += n;
  }
  if (fetched) *fetched = n;
  return answer;
}

HRESULT STDMETHODCALLTYPE EnumSkip(IEnumFORMATETC* enumerator, ULONG count) {
  FormatEnumerator* self = Enumerator(enumerator);
  // 64 bits: a huge count must not wrap round to a position inside the list.
  const uint64_t position = static_cast<uint64_t>(self->position) + count;
  if (position > self->formatCount) {
    self->position = self->formatCount;
    return S_FALSE;
  }
  self->position = static_cast<uint32_t>(position);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumReset(IEnumFORMATETC* enumerator) {
  Enumerator(enumerator)->position = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumClone(IEnumFORMATETC*, IEnumFORMATETC**) { return E_NOTIMPL; }

const IEnumFORMATETCVtbl kFormatEnumeratorFunctions = {
    EnumQueryInterface,
    reinterpret_cast<decltype(IEnumFORMATETCVtbl::AddRef)>(AddRefTransferObject),
    reinterpret_cast<decltype(IEnumFORMATETCVtbl::Release)>(ReleaseTransferObject),
    EnumNext,
    EnumSkip,
    EnumReset,
    EnumClone,
};

}  // namespace

DropSource* NewDropSource() {
  return static_cast<DropSource*>(NewTransferObject(sizeof(DropSource), &kDropSourceFunctions));
}

DataObject* NewDataObject(HWND ownerWindow) {
  DataObject* data = static_cast<DataObject*>(NewTransferObject(sizeof *data, &kDataObjectFunctions));
  if (data) data->ownerWindow = ownerWindow;
  return data;
}

FormatEnumerator* NewFormatEnumerator() {
  FormatEnumerator* enumerator =
      static_cast<FormatEnumerator*>(NewTransferObject(sizeof *enumerator, &kFormatEnumeratorFunctions));
  if (!enumerator) return nullptr;
  enumerator->formatCount = 2;
  const CLIPFORMAT ids[2] = {DescriptorFormat(), ContentsFormat()};
  for (int i = 0; i < 2; ++i) enumerator->formats[i] = FORMATETC{ids[i], nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  return enumerator;
}

int StartFileDrag(HWND mainWindow) {
  DropSource* source = NewDropSource();
  if (!source) return 0;
  AddRefTransferObject(AsUnknown(source));
  DataObject* data = NewDataObject(mainWindow);
  if (!data) {
    ReleaseTransferObject(AsUnknown(source));
    return 0;
  }
  AddRefTransferObject(AsUnknown(data));
  // Only a copy is offered, so no target can move or delete the file.
  DWORD effect = DROPEFFECT_NONE;
  DoDragDrop(reinterpret_cast<IDataObject*>(data), reinterpret_cast<IDropSource*>(source), DROPEFFECT_COPY, &effect);
  ReleaseTransferObject(AsUnknown(source));
  ReleaseTransferObject(AsUnknown(data));
  return 1;
}
