// Dragging a listed file out to the shell: the drop source, the data object
// that offers the file as "FileGroupDescriptor" and "FileContents" (asking
// the main window for both only when the target wants them), and the
// enumerator of those two formats.
#pragma once
#include <windows.h>
#include <objidl.h>

#include <cstdint>

struct IDropSourceVtbl;
struct IDataObjectVtbl;
struct IEnumFORMATETCVtbl;

struct DropSource {
  const IDropSourceVtbl* functions;
  ULONG refCount;
};

struct DataObject {
  const IDataObjectVtbl* functions;
  ULONG refCount;
  HWND ownerWindow;  // answers UM_GET_GROUP_DESCRIPTOR and UM_GET_FILE_CONTENTS
};

struct FormatEnumerator {
  const IEnumFORMATETCVtbl* functions;
  ULONG refCount;
  uint32_t position;
  uint32_t formatCount;
  FORMATETC formats[2];  // "FileGroupDescriptor", "FileContents"
};

// Runs one drag of the selected file from the list to wherever the user
// drops it, offering only a copy. Returns 1 once the drag is over, or 0 when
// an object cannot be made.
int StartFileDrag(HWND mainWindow);

// The objects of a drag, each with its count at 0 (the caller adds the first
// reference). Null when memory runs out.
DropSource* NewDropSource();
DataObject* NewDataObject(HWND ownerWindow);
FormatEnumerator* NewFormatEnumerator();
