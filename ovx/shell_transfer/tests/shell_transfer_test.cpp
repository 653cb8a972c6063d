// Drag and drop with the shell, in process: the drag-out objects answered
// through their interfaces as a target calls them, the dropped-paths reader
// on arrays the shell makes and on hostile ones, and the tree's drop target.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "drag_source.h"
#include "drop_target.h"
#include "explorer_fixture.h"
#include "file_list.h"
#include "shell_items.h"
#include "source_tree.h"
#include "transfer_object.h"

namespace {

using Paths = std::vector<std::string>;

CLIPFORMAT Format(const char* name) { return static_cast<CLIPFORMAT>(RegisterClipboardFormatA(name)); }

FORMATETC Request(const char* name, LONG index = -1) {
  return FORMATETC{Format(name), nullptr, DVASPECT_CONTENT, index, TYMED_HGLOBAL};
}

std::string FormatName(CLIPFORMAT format) {
  char name[64] = "";
  GetClipboardFormatNameA(format, name, sizeof name);
  return name;
}

Paths ReadPaths(PathList* list) {
  Paths paths;
  for (int i = 0; i < PathListCount(list); ++i) paths.push_back(PathListItem(list, i));
  PathListFree(list);
  return paths;
}

// The paths GetDroppedPaths finds in an object offering block as "Shell IDList Array".
Paths DroppedPaths(HGLOBAL block) {
  OfferingDataObject* data = new OfferingDataObject(Format("Shell IDList Array"), block);
  PathList* list = GetDroppedPaths(data);
  data->Release();
  if (!list) {
    ADD_FAILURE() << "no path list";
    return Paths{"(no list)"};
  }
  return ReadPaths(list);
}

HGLOBAL BlockOf(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { memcpy(&bytes[at], &value, 4); }

std::vector<uint8_t> ListBytes(LPCITEMIDLIST list) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(list);
  return std::vector<uint8_t>(bytes, bytes + ILGetSize(list));
}

std::string Sample(const char* name) { return SamplesDir() + "\\" + name; }

}  // namespace

TEST(FormatEnumerator, NextSkipAndResetGoThroughTheTwoFormats) {
  const int live = LiveTransferObjects();
  IEnumFORMATETC* formats = reinterpret_cast<IEnumFORMATETC*>(NewFormatEnumerator());
  ASSERT_NE(nullptr, formats);
  EXPECT_EQ(1u, formats->AddRef());
  FORMATETC records[5] = {};
  ULONG fetched = 99;
  EXPECT_EQ(S_FALSE, formats->Next(5, records, &fetched));
  EXPECT_EQ(2u, fetched);
  EXPECT_EQ("FileGroupDescriptor", FormatName(records[0].cfFormat));
  EXPECT_EQ("FileContents", FormatName(records[1].cfFormat));
  for (const FORMATETC& record : {records[0], records[1]}) {
    EXPECT_EQ(nullptr, record.ptd);
    EXPECT_EQ(static_cast<DWORD>(DVASPECT_CONTENT), record.dwAspect);
    EXPECT_EQ(-1, record.lindex);
    EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), record.tymed);
  }
  EXPECT_EQ(S_FALSE, formats->Next(1, records, &fetched));
  EXPECT_EQ(0u, fetched);
  EXPECT_EQ(S_OK, formats->Reset());
  EXPECT_EQ(S_OK, formats->Next(1, records, nullptr));
  EXPECT_EQ("FileGroupDescriptor", FormatName(records[0].cfFormat));

  EXPECT_EQ(S_OK, formats->Reset());
  EXPECT_EQ(S_FALSE, formats->Skip(3));
  EXPECT_EQ(2u, reinterpret_cast<FormatEnumerator*>(formats)->position);
  EXPECT_EQ(S_OK, formats->Reset());
  EXPECT_EQ(S_FALSE, formats->Skip(0xFFFFFFFFu));  // no wrap back into the list
  EXPECT_EQ(S_FALSE, formats->Next(1, records, &fetched));
  IEnumFORMATETC* clone = nullptr;
  EXPECT_EQ(E_NOTIMPL, formats->Clone(&clone));
  EXPECT_EQ(0u, formats->Release());
  EXPECT_EQ(live, LiveTransferObjects());
}

TEST(DropSource, OnlyEscapeAndTheLeftButtonCount) {
  const int live = LiveTransferObjects();
  IDropSource* source = reinterpret_cast<IDropSource*>(NewDropSource());
  ASSERT_NE(nullptr, source);
  source->AddRef();
  void* other = &other;
  EXPECT_EQ(E_NOINTERFACE, source->QueryInterface(IID_IDataObject, &other));
  EXPECT_EQ(nullptr, other);
  IUnknown* unknown = nullptr;
  EXPECT_EQ(S_OK, source->QueryInterface(IID_IDropSource, reinterpret_cast<void**>(&unknown)));
  EXPECT_EQ(static_cast<void*>(source), static_cast<void*>(unknown));
  EXPECT_EQ(1u, unknown->Release());
  EXPECT_EQ(DRAGDROP_S_CANCEL, source->QueryContinueDrag(TRUE, MK_LBUTTON));
  EXPECT_EQ(S_OK, source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON | MK_SHIFT));
  EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, MK_RBUTTON | MK_CONTROL));
  EXPECT_EQ(DRAGDROP_S_USEDEFAULTCURSORS, source->GiveFeedback(DROPEFFECT_COPY));
  EXPECT_EQ(0u, source->Release());
  EXPECT_EQ(live, LiveTransferObjects());
}

TEST_F(ExplorerWindow, DataObjectAsksTheWindowForTheSelectedFile) {
  OpenImageIn(SamplesDir(), "MSDOS.IMA");
  const int live = LiveTransferObjects();
  IDataObject* data = reinterpret_cast<IDataObject*>(NewDataObject(explorer.mainWindow));
  ASSERT_NE(nullptr, data);
  data->AddRef();
  FORMATETC descriptor = Request("FileGroupDescriptor");
  STGMEDIUM medium = {};
  EXPECT_EQ(E_INVALIDARG, data->GetData(&descriptor, &medium));  // nothing selected

  SelectRows({RowOf("README.TXT")});
  ASSERT_EQ(S_OK, data->GetData(&descriptor, &medium));
  EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), medium.tymed);
  EXPECT_EQ(nullptr, medium.pUnkForRelease);
  const FILEGROUPDESCRIPTORA* group = static_cast<const FILEGROUPDESCRIPTORA*>(GlobalLock(medium.hGlobal));
  EXPECT_EQ(1u, group->cItems);
  EXPECT_STREQ("README.TXT", group->fgd[0].cFileName);
  GlobalUnlock(medium.hGlobal);
  ReleaseStgMedium(&medium);
  FORMATETC contents = Request("FileContents", 0);
  ASSERT_EQ(S_OK, data->GetData(&contents, &medium));
  EXPECT_EQ(37u, GlobalSize(medium.hGlobal));
  EXPECT_EQ(0, memcmp("GAMES ON THIS DISK\r\n", GlobalLock(medium.hGlobal), 20));
  GlobalUnlock(medium.hGlobal);
  ReleaseStgMedium(&medium);

  // Refusals, the same from QueryGetData, which never asks the window.
  contents.lindex = 5;  // a position the descriptor does not have: the window answers 0
  EXPECT_EQ(S_OK, data->QueryGetData(&contents));
  EXPECT_EQ(E_INVALIDARG, data->GetData(&contents, &medium));
  FORMATETC text = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(E_NOTIMPL, data->QueryGetData(&text));
  EXPECT_EQ(E_NOTIMPL, data->GetData(&text, &medium));
  DVTARGETDEVICE device = {};
  for (int field = 0; field < 4; ++field) {
    FORMATETC wrong = Request(field == 3 ? "FileContents" : "FileGroupDescriptor");
    if (field == 0) wrong.lindex = 0;
    if (field == 1) wrong.ptd = &device;
    if (field == 2) wrong.dwAspect = DVASPECT_ICON;
    if (field == 3) wrong.tymed = TYMED_ISTREAM;
    EXPECT_EQ(E_INVALIDARG, data->QueryGetData(&wrong)) << field;
    EXPECT_EQ(E_INVALIDARG, data->GetData(&wrong, &medium)) << field;
  }
  EXPECT_EQ(E_NOTIMPL, data->GetDataHere(&descriptor, &medium));
  EXPECT_EQ(E_NOTIMPL, data->SetData(&descriptor, &medium, FALSE));
  EXPECT_EQ(E_NOTIMPL, data->DUnadvise(1));

  IEnumFORMATETC* formats = nullptr;
  ASSERT_EQ(S_OK, data->EnumFormatEtc(DATADIR_SET, &formats));
  FORMATETC first;
  EXPECT_EQ(S_OK, formats->Next(1, &first, nullptr));
  EXPECT_EQ("FileGroupDescriptor", FormatName(first.cfFormat));
  EXPECT_EQ(0u, formats->Release());
  EXPECT_EQ(0u, data->Release());
  EXPECT_EQ(live, LiveTransferObjects());
}

TEST(DroppedPaths, ShellArraysGiveFilePathsAndHostileOnesNothingOutside) {
  const Paths images = {Sample("MSDOS.IMA"), Sample("ATARIST.ST")};
  EXPECT_EQ(images, DroppedPaths(MakeFileIdListArray(images)));

  // From the desktop: a file, My Computer (no file-system path), a file.
  LPITEMIDLIST desktop = nullptr, computer = nullptr;
  ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop));
  ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
  LPITEMIDLIST first = ILCreateFromPathA(images[0].c_str());
  LPITEMIDLIST second = ILCreateFromPathA(images[1].c_str());
  EXPECT_EQ(images, DroppedPaths(MakeIdListArray(desktop, {first, computer, second})));
  EXPECT_EQ(Paths{}, DroppedPaths(MakeIdListArray(desktop, {computer})));

  // Hand-made arrays from the desktop: count, parent's offset, items' offsets, lists.
  const std::vector<uint8_t> firstList = ListBytes(first);
  const std::vector<uint8_t> secondList = ListBytes(second);
  std::vector<uint8_t> cida(20, 0);
  Put32(cida, 0, 3);
  Put32(cida, 4, 20);  // the parent: an item of length 1, which ends its list at once
  cida.insert(cida.end(), {1, 0});
  Put32(cida, 8, static_cast<uint32_t>(cida.size()));  // the first file, ended by a length-1 item
  cida.insert(cida.end(), firstList.begin(), firstList.end() - 2);
  cida.insert(cida.end(), {1, 0});
  Put32(cida, 12, 0x7FFFFFF0);  // far past the block
  Put32(cida, 16, static_cast<uint32_t>(cida.size()));  // the second file, cut off by the block's end
  cida.insert(cida.end(), secondList.begin(), secondList.end() - 4);
  EXPECT_EQ(Paths{images[0]}, DroppedPaths(BlockOf(cida)));

  std::vector<uint8_t> huge(64, 0);
  Put32(huge, 0, 0xFFFFFFFFu);
  EXPECT_EQ(Paths{}, DroppedPaths(BlockOf(huge)));
  EXPECT_EQ(Paths{}, DroppedPaths(BlockOf({1, 0})));
  // Many items that all point at one long list: bounded by the block's size.
  std::vector<uint8_t> repeated(4 + 4 * 4002, 0);
  Put32(repeated, 0, 4000);
  const uint32_t listAt = static_cast<uint32_t>(repeated.size());
  repeated.insert(repeated.end(), firstList.begin(), firstList.end());
  for (int i = 1; i <= 4001; ++i) Put32(repeated, 4 * i, i == 1 ? listAt + firstList.size() - 2 : listAt);
  EXPECT_GT(4000u, DroppedPaths(BlockOf(repeated)).size());

  // An object without the format gives no list at all.
  OfferingDataObject* text = new OfferingDataObject(CF_TEXT, BlockOf({'h', 'i', 0}));
  EXPECT_EQ(nullptr, GetDroppedPaths(text));
  text->Release();
  for (LPITEMIDLIST list : {desktop, computer, first, second}) ILFree(list);
}

TEST_F(ExplorerWindow, TreeTakesDroppedImagesWhileADriveIsBrowsed) {
  ASSERT_NE(nullptr, explorer.dropTarget);
  EXPECT_EQ(explorer.treeWindow, explorer.dropTarget->targetWindow);
  EXPECT_EQ(explorer.mainWindow, explorer.dropTarget->notifyWindow);
  // Registered on the tree, and only there.
  IDropTarget* target = reinterpret_cast<IDropTarget*>(explorer.dropTarget);
  EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, RegisterDragDrop(explorer.treeWindow, target));
  EXPECT_EQ(S_OK, RegisterDragDrop(explorer.listWindow, target));
  RevokeDragDrop(explorer.listWindow);

  // A shell folder with two disk images and a text file, which is none.
  ScratchDir folder;
  for (const char* name : {"MSDOS.IMA", "ATARIST.ST"}) ASSERT_TRUE(CopyFileA(Sample(name).c_str(), folder.File(name).c_str(), FALSE));
  ASSERT_TRUE(WriteFileBytes(folder.File("notes.txt"), Bytes{'h', 'i'}));
  BrowseWindowsFolder(folder.path());
  const size_t nodes = NodeTexts().size();
  const CLIPFORMAT idList = Format("Shell IDList Array");
  const POINTL point = {10, 10};
  DWORD effect = DROPEFFECT_COPY;
  OfferingDataObject* files = new OfferingDataObject(
      idList, MakeFileIdListArray({folder.File("MSDOS.IMA"), folder.File("notes.txt"), folder.File("ATARIST.ST")}));
  EXPECT_EQ(S_OK, target->DragEnter(files, MK_LBUTTON | MK_SHIFT, point, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(S_OK, target->DragOver(MK_LBUTTON | MK_CONTROL, point, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  EXPECT_EQ(S_OK, target->Drop(files, 0, point, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);  // the source never deletes anything
  files->Release();
  PumpMessages();
  std::vector<std::string> texts = NodeTexts();
  ASSERT_EQ(nodes + 2, texts.size());
  EXPECT_EQ("Disk image " + folder.File("MSDOS.IMA"), texts[nodes]);
  EXPECT_EQ("Disk image " + folder.File("ATARIST.ST"), texts[nodes + 1]);
  EXPECT_EQ(NodeAt(static_cast<int>(nodes) + 1),
            reinterpret_cast<HTREEITEM>(SendMessageA(explorer.treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0)));
  EXPECT_EQ("Directory of Disk image " + folder.File("ATARIST.ST") + " - Orvanta Explorer", Title());

  // Data that is no shell item list: the no-drop cursor, and a drop does nothing.
  OfferingDataObject* text = new OfferingDataObject(CF_TEXT, BlockOf({'h', 'i', 0}));
  EXPECT_EQ(S_OK, target->DragEnter(text, MK_LBUTTON, point, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(0, explorer.dropTarget->accepted);
  EXPECT_EQ(S_OK, target->Drop(text, 0, point, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  text->Release();
  EXPECT_EQ(nodes + 2, NodeTexts().size());

  // Revoked with the window, and then freed; the open image goes with it.
  DestroyWindow(explorer.mainWindow);
  CloseVolume(explorer.currentVolume);
  explorer.currentVolume = nullptr;
  EXPECT_EQ(0, LiveTransferObjects());
}
