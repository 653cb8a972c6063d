#include "shell_items.h"

#include <cstring>

HGLOBAL MakeIdListArray(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& children) {
  std::vector<LPCITEMIDLIST> lists{parent};
  lists.insert(lists.end(), children.begin(), children.end());
  const UINT head = static_cast<UINT>(sizeof(UINT) * (lists.size() + 1));
  UINT total = head;
  for (LPCITEMIDLIST list : lists) total += ILGetSize(list);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total);
  BYTE* bytes = static_cast<BYTE*>(GlobalLock(block));
  CIDA* cida = reinterpret_cast<CIDA*>(bytes);
  cida->cidl = static_cast<UINT>(children.size());
  UINT at = head;
  for (size_t i = 0; i < lists.size(); ++i) {
    cida->aoffset[i] = at;
    const UINT size = ILGetSize(lists[i]);
    memcpy(bytes + at, lists[i], size);
    at += size;
  }
  GlobalUnlock(block);
  return block;
}

HGLOBAL MakeFileIdListArray(const std::vector<std::string>& paths) {
  const std::string folder = paths.at(0).substr(0, paths[0].find_last_of('\\'));
  LPITEMIDLIST parent = ILCreateFromPathA(folder.c_str());
  std::vector<LPITEMIDLIST> full;
  std::vector<LPCITEMIDLIST> children;
  for (const std::string& path : paths) {
    full.push_back(ILCreateFromPathA(path.c_str()));
    children.push_back(full.back() ? ILFindLastID(full.back()) : nullptr);
  }
  HGLOBAL block = parent ? MakeIdListArray(parent, children) : nullptr;
  for (LPITEMIDLIST list : full) ILFree(list);
  ILFree(parent);
  return block;
}

OfferingDataObject::OfferingDataObject(CLIPFORMAT format, HGLOBAL block) : format_(format), block_(block) {}
OfferingDataObject::~OfferingDataObject() { GlobalFree(block_); }

HRESULT OfferingDataObject::QueryInterface(REFIID iid, void** out) {
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = this;
  AddRef();
  return S_OK;
}

ULONG OfferingDataObject::Release() {
  const ULONG refs = --refs_;
  if (refs == 0) delete this;
  return refs;
}

HRESULT OfferingDataObject::QueryGetData(FORMATETC* format) {
  return format->cfFormat == format_ && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
}

HRESULT OfferingDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
  const SIZE_T size = GlobalSize(block_);
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  memcpy(GlobalLock(copy), GlobalLock(block_), size);
  GlobalUnlock(copy);
  GlobalUnlock(block_);
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = copy;
  medium->pUnkForRelease = nullptr;
  return S_OK;
}
