// A stand-in for the shell in the end-to-end drag tests, in a process of its own:
//   shell_peer catch DIR      a window with an ordinary OLE drop target that
//                             writes each file it receives through
//                             "FileGroupDescriptor" and "FileContents" into DIR,
//                             as many bytes as the descriptor announces
//   shell_peer offer FILE...  a window that, pressed with the left button,
//                             drags the files as a shell folder does
//                             ("Shell IDList Array")
// Each prints what happened, one line at a time, on standard output.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell_items.h"

namespace {

std::string catchDir;
std::vector<std::string> offered;

void Say(const char* format, const char* text, long number) {
  printf(format, text, number);
  fflush(stdout);
}

// Writes item of the group through the data object's contents; 1 on success.
int WriteDroppedFile(IDataObject* data, const FILEDESCRIPTORA& item, LONG index) {
  FORMATETC format = {static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileContents")), nullptr, DVASPECT_CONTENT,
                      index, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (FAILED(data->GetData(&format, &medium))) return 0;
  const DWORD announced = item.nFileSizeLow;
  int written = 0;
  if (medium.tymed == TYMED_HGLOBAL && GlobalSize(medium.hGlobal) >= announced) {
    const std::string path = catchDir + "\\" + item.cFileName;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD done = 0;
    if (file != INVALID_HANDLE_VALUE) {
      written = WriteFile(file, GlobalLock(medium.hGlobal), announced, &done, nullptr) && done == announced;
      GlobalUnlock(medium.hGlobal);
      CloseHandle(file);
    }
  }
  ReleaseStgMedium(&medium);
  return written;
}

class CatchingTarget : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    FORMATETC format = Descriptor();
    *effect = data->QueryGetData(&format) == S_OK ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    Say("%sdrag enter %ld\n", "", *effect);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    FORMATETC format = Descriptor();
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium))) {
      Say("%sno descriptor %ld\n", "", 0);
      return S_OK;
    }
    const FILEGROUPDESCRIPTORA* group = static_cast<const FILEGROUPDESCRIPTORA*>(GlobalLock(medium.hGlobal));
    for (UINT i = 0; group && i < group->cItems; ++i) {
      const FILEDESCRIPTORA& item = group->fgd[i];
      Say(WriteDroppedFile(data, item, static_cast<LONG>(i)) ? "caught %s %ld\n" : "not written %s %ld\n",
          item.cFileName, static_cast<long>(item.nFileSizeLow));
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }

 private:
  static FORMATETC Descriptor() {
    return {static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptor")), nullptr, DVASPECT_CONTENT, -1,
            TYMED_HGLOBAL};
  }
};

class OfferingSource : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return keys & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

CatchingTarget catchingTarget;
OfferingSource offeringSource;

void Offer() {
  OfferingDataObject* data = new OfferingDataObject(
      static_cast<CLIPFORMAT>(RegisterClipboardFormatA("Shell IDList Array")), MakeFileIdListArray(offered));
  DWORD effect = 0xFF;
  const HRESULT result = DoDragDrop(data, &offeringSource, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  data->Release();
  Say(result == DRAGDROP_S_DROP ? "%sdropped, effect %ld\n" : "%snot dropped, effect %ld\n", "",
      static_cast<long>(effect));
}

LRESULT CALLBACK PeerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN && !offered.empty()) {
    Offer();
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: shell_peer catch DIR | offer FILE...\n");
    return 2;
  }
  const bool catching = std::string(argv[1]) == "catch";
  if (catching) {
    catchDir = argv[2];
  } else {
    for (int i = 2; i < argc; ++i) offered.push_back(argv[i]);
  }
  if (FAILED(OleInitialize(nullptr))) return 1;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PeerProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "ShellPeer";
  RegisterClassA(&windowClass);
  // Beside the browser's default place, so that both can be seen and reached.
  HWND window = CreateWindowExA(0, "ShellPeer", catching ? "Shell Peer Catch" : "Shell Peer Offer",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 780, 100, 230, 300, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  if (catching) RegisterDragDrop(window, &catchingTarget);
  Say("%sready %ld\n", "", 1);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (catching) RevokeDragDrop(window);
  OleUninitialize();
  return 0;
}
