// Test helpers on the shell's side of drag and drop: "Shell IDList Array"
// blocks made with the shell's own functions, and a data object that offers
// one block in one format, as a shell folder offers its dragged items.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>
#include <vector>

// A CIDA block: parent's list, then each child's list relative to it.
HGLOBAL MakeIdListArray(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& children);
// The block for files that share one folder, made from their full paths.
HGLOBAL MakeFileIdListArray(const std::vector<std::string>& paths);

// Offers a copy of block in format cfFormat (TYMED_HGLOBAL) and refuses everything else.
class OfferingDataObject : public IDataObject {
 public:
  OfferingDataObject(CLIPFORMAT format, HGLOBAL block);
  virtual ~OfferingDataObject();
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  ULONG refs_ = 1;
  CLIPFORMAT format_;
  HGLOBAL block_;
};
