// Taking a file out of the browser: the properties box, copy as text, and
// the descriptor and contents a drag out hands over.
#include <shlobj.h>

#include <cstring>
#include <string>

#include "explorer_fixture.h"
#include "file_export.h"
#include "file_list.h"
#include "file_system_builders.h"
#include "hfsplus_builder.h"
#include "image_builders.h"
#include "list_directory.h"
#include "resource_ids.h"
#include "source_tree.h"

namespace {

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

const std::string kShort = "ab\rcd";
const std::string kManyLines = Repeat("x\r", 400000);  // more line ends than 65,535, and 800 KB
const Bytes kIcon = [] {
  Bytes icon(80000);
  for (size_t i = 0; i < icon.size(); ++i) icon[i] = static_cast<uint8_t>(i * 13 + i / 256);
  return icon;
}();

// An HFS volume of 4 MB allocation blocks, each far larger than a file's
// length plus 64 KB, so that every read writes far past the length it was
// asked for (a block sized by the length alone is overrun into unmapped memory):
// Disk holds "ab" (kShort), "Lines" (kManyLines), "Icon" (kIcon in its
// resource fork, empty data fork) and "Both" (kShort and kIcon as its forks).
Bytes MakeBigBlockVolume() {
  HfsLayout layout;
  layout.blockBytes = 4 << 20;
  layout.sizeKB = 8 + 5 * (layout.blockBytes >> 10);
  layout.catalogExtents = {0, 1};
  layout.catalogBytes = 1536;
  layout.extentsExtents = {1, 1};
  layout.extentsBytes = 1024;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  HfsFileSpec shortText;
  shortText.fileId = 20;
  shortText.dataLength = static_cast<uint32_t>(kShort.size());
  shortText.dataExtents = {2, 1};
  HfsFileSpec lines;
  lines.fileId = 21;
  lines.dataLength = static_cast<uint32_t>(kManyLines.size());
  lines.dataExtents = {3, 1};
  HfsFileSpec icon;
  icon.type = std::string("AB\0C", 4);
  icon.creator = "ttxt";
  icon.fileId = 22;
  icon.resourceLength = static_cast<uint32_t>(kIcon.size());
  icon.resourceExtents = {4, 1};
  HfsFileSpec both = shortText;
  both.fileId = 23;
  both.resourceLength = icon.resourceLength;
  both.resourceExtents = icon.resourceExtents;
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(3));
  PutCatalogNode(image, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsThreadRecord(2, 1, "Disk"),
                                      HfsFileRecord(2, "Icon", icon), HfsFileRecord(2, "Lines", lines),
                                      HfsFileRecord(2, "ab", shortText)},
                               2));
  PutCatalogNode(image, layout, 2, MakeBTreeNode(0xFF, {HfsFileRecord(2, "Both", both)}));
  PutForkBytes(image, layout, {2, 1}, 0, Bytes(kShort.begin(), kShort.end()));
  PutForkBytes(image, layout, {3, 1}, 0, Bytes(kManyLines.begin(), kManyLines.end()));
  PutForkBytes(image, layout, {4, 1}, 0, kIcon);
  return image;
}

// A 720 KB FAT floppy whose root holds DATA.BIN, 1000 bytes in one cluster.
Bytes MakeFatWithFile(Bytes* data) {
  const FatParams p = Fat720KFloppy();
  Bytes image = MakeFatVolume(p);
  data->resize(1000);
  for (size_t i = 0; i < data->size(); ++i) (*data)[i] = static_cast<uint8_t>(i * 7 + 3);
  PutFatRootEntries(image, p, {FatDirEntry("DATA    BIN", 0x20, 2, 1000, 0x3A21, 0x6000)});
  PutFatChain(image, p, false, {2});
  PutFatClusterBytes(image, p, 2, *data);
  return image;
}

class FileExport : public ExplorerWindow {
 protected:
  void OpenBuilt(const std::string& name, const Bytes& image) {
    ASSERT_TRUE(WriteFileBytes(dir_.File(name), image));
    OpenImageIn(dir_.path(), name);
  }
  // Opens the root folder, the only row at the top of the HFS volume opened last.
  void EnterDisk() {
    ASSERT_EQ(1u, RowTexts().size());
    OpenListItem(0);
  }
  using Rows = std::vector<std::string>;
  ScratchDir dir_;
};

int EntryOfRow(const std::string& text) { return GetRowEntryIndex(RowOf(text)); }

std::string Properties(const std::string& row) {
  char text[1024] = "";
  EXPECT_EQ(1, FormatProperties(EntryOfRow(row), text, sizeof text)) << row;
  return text;
}

// The clipboard's text after copying row, as bytes up to its closing zero.
std::string CopyAndPaste(const std::string& row) {
  SelectRows({RowOf(row)});
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_EDIT_COPY_AS_TEXT, 0);
  std::string text = "(nothing)";
  if (OpenClipboard(explorer.mainWindow)) {
    HGLOBAL block = GetClipboardData(CF_TEXT);
    const char* bytes = block ? static_cast<const char*>(GlobalLock(block)) : nullptr;
    if (bytes) text.assign(bytes, strnlen(bytes, GlobalSize(block)));
    if (bytes) GlobalUnlock(block);
    CloseClipboard();
  }
  return text;
}

void PutTextOnClipboard(const char* text) {
  ASSERT_TRUE(OpenClipboard(explorer.mainWindow));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
  strcpy(static_cast<char*>(GlobalLock(block)), text);
  GlobalUnlock(block);
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
}

struct Descriptor {
  UINT items = 0;
  FILEDESCRIPTORA item = {};
  SIZE_T bytes = 0;
};

Descriptor AskDescriptor() {
  Descriptor d;
  HGLOBAL block = reinterpret_cast<HGLOBAL>(SendMessageA(explorer.mainWindow, UM_GET_GROUP_DESCRIPTOR, 0, 0));
  if (!block) return d;
  d.bytes = GlobalSize(block);
  const FILEGROUPDESCRIPTORA* group = static_cast<const FILEGROUPDESCRIPTORA*>(GlobalLock(block));
  d.items = group->cItems;
  d.item = group->fgd[0];
  GlobalUnlock(block);
  GlobalFree(block);
  return d;
}

// The contents answered for index; "(none)" when the window answers 0.
std::string AskContents(LPARAM index) {
  HGLOBAL block = reinterpret_cast<HGLOBAL>(SendMessageA(explorer.mainWindow, UM_GET_FILE_CONTENTS, 0, index));
  if (!block) return "(none)";
  std::string bytes(static_cast<const char*>(GlobalLock(block)), GlobalSize(block));
  GlobalUnlock(block);
  GlobalFree(block);
  return bytes;
}

}  // namespace

TEST_F(FileExport, PropertiesShowNameSizeDateAndOnHfsTypeAndCreator) {
  OpenImageIn(SamplesDir(), "MacSampler.image");
  EnterDisk();
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_DETAILS, 0);
  const std::string date = Cell(RowOf("Read Me"), 2);
  ASSERT_NE("", date);
  const std::string expected =
      "File: Read Me\n\nSize: 41 bytes\n\nModified: " + date + "\n\nType: TEXT\nCreator: ttxt\n";
  EXPECT_EQ(expected, Properties("Read Me"));

  // The real box, from the menu command: titled "File Properties", with no owner.
  SelectRows({RowOf("Read Me")});
  BoxSeen box = WhileBoxUp("File Properties",
                           [] { SendMessageA(explorer.mainWindow, WM_COMMAND, ID_FILE_PROPERTIES, 0); });
  EXPECT_TRUE(box.shown);
  EXPECT_EQ(expected, box.text);
  EXPECT_EQ(nullptr, box.owner);

  // A code with a zero byte is cut there and padded on the left.
  OpenBuilt("big.dsk", MakeBigBlockVolume());
  EnterDisk();
  EXPECT_EQ("Type:   AB\nCreator: ttxt\n", Properties("Icon").substr(Properties("Icon").find("Type")));

  // FAT: three lines, the date as the Date column shows it.
  OpenImageIn(SamplesDir(), "MSDOS.IMA");
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_DETAILS, 0);
  EXPECT_EQ("File: README.TXT\n\nSize: 37 bytes\n\nModified: " + Cell(RowOf("README.TXT"), 2) + "\n\n",
            Properties("README.TXT"));
}

TEST_F(FileExport, CopyAsTextGivesWindowsLineEndsWhereTheVolumeHasOthers) {
  OpenBuilt("big.dsk", MakeBigBlockVolume());
  EnterDisk();
  EXPECT_EQ("ab\r\ncd", CopyAndPaste("ab"));
  std::string expected = Repeat("x\r\n", 400000);
  const std::string pasted = CopyAndPaste("Lines");
  EXPECT_EQ(expected.size(), pasted.size());
  EXPECT_TRUE(expected == pasted) << "the text of 400,000 lines differs";
  // Only the data fork is text: none here, though the resource fork is read.
  EXPECT_EQ("", CopyAndPaste("Icon"));
  // Every read above wrote whole 4 MB blocks, and the blocks held them (an
  // overrun is not trapped here: the platform's read stops at an unmapped page).
  for (const char* name : {"ab", "Lines", "Icon"}) {
    const DirEntry& entry = explorer.entries[EntryOfRow(name)];
    EXPECT_EQ(4u << 20, EntryDataBufferBytes(explorer.currentVolume, &entry)) << name;
    EXPECT_EQ((4u << 20) + 1, ExportBlockBytes(&entry, entry.dataSize)) << name;
  }

  // Atari line ends, byte by byte; other bytes above 127 pass as they are.
  uint8_t atari[16] = {'A', 0x9B, 0x9B, 0xC1, 'B', 0x9B};
  ASSERT_EQ(3u, CountLineEnds(atari, 6, FormatAtariDos));
  ExpandLineEnds(atari, 6, FormatAtariDos, 3);
  EXPECT_EQ(Text({'A', 13, 10, 13, 10, 0xC1, 'B', 13, 10}), Text(Bytes(atari, atari + 9)));
  EXPECT_EQ(0u, CountLineEnds(atari, 9, FormatFat12));

  // FAT bytes pass unchanged, CR LF included.
  OpenImageIn(SamplesDir(), "MSDOS.IMA");
  EXPECT_EQ("GAMES ON THIS DISK\r\nARCADE\\PONG.EXE\r\n", CopyAndPaste("README.TXT"));

  // A file of a Windows drive: an empty text, which replaces what was there.
  ASSERT_TRUE(WriteFileBytes(dir_.File("note.txt"), Bytes{'h', 'i', '\r'}));
  BrowseWindowsFolder(dir_.path());
  PutTextOnClipboard("before");
  EXPECT_EQ("", CopyAndPaste("note.txt"));
}

TEST_F(FileExport, DragOutDataIsTheFirstSelectedFileOtherThanTheParent) {
  Bytes data;
  OpenBuilt("data.ima", MakeFatWithFile(&data));
  ASSERT_EQ(Rows{"DATA.BIN"}, RowTexts());
  EXPECT_EQ(nullptr, reinterpret_cast<HGLOBAL>(SendMessageA(explorer.mainWindow, UM_GET_GROUP_DESCRIPTOR, 0, 0)));
  SelectRows({0});
  Descriptor d = AskDescriptor();
  EXPECT_EQ(336u, d.bytes);
  EXPECT_EQ(1u, d.items);
  EXPECT_EQ(0x64u, d.item.dwFlags);
  EXPECT_EQ(0x20u, d.item.dwFileAttributes);
  EXPECT_EQ(1000u, d.item.nFileSizeLow);
  EXPECT_EQ(0u, d.item.nFileSizeHigh);
  EXPECT_STREQ("DATA.BIN", d.item.cFileName);
  EXPECT_EQ(0, CompareFileTime(&explorer.entries[0].modified, &d.item.ftLastWriteTime));
  EXPECT_EQ(Text(data), AskContents(0));
  EXPECT_EQ("(none)", AskContents(1));
  EXPECT_EQ("(none)", AskContents(-1));

  // A size a damaged directory claims beyond the medium, 64 MB on a 720 KB
  // floppy, is cut to what the medium holds before anything is allocated.
  explorer.entries[0].size = explorer.entries[0].dataSize = 64 << 20;
  EXPECT_EQ(737280u, AskDescriptor().item.nFileSizeLow);
  const std::string cut = AskContents(0);
  EXPECT_EQ(737280u, cut.size());
  EXPECT_EQ(Text(data), cut.substr(0, 1000));
  EXPECT_EQ(737281u, ExportBlockBytes(&explorer.entries[0], 64 << 20));
  // A size a hostile directory claims, 4 GB less a little or "negative":
  // no block, rather than one that wraps round to a small size.
  explorer.entries[0].size = explorer.entries[0].dataSize = 0xFFFFFFF0u;
  EXPECT_EQ("(none)", AskContents(0));
  explorer.entries[0].size = explorer.entries[0].dataSize = 0x80000010u;
  EXPECT_EQ("(none)", AskContents(0));
  EXPECT_EQ(0u, ExportBlockBytes(&explorer.entries[0], 0xFFFFFFFFu));
  // A listing ends what the last descriptor named.
  FillList();
  EXPECT_EQ("(none)", AskContents(0));

  // The first selected in row order, not in the folder's order (PONG.EXE
  // was written first); ".." never counts.
  OpenImageIn(SamplesDir(), "MSDOS.IMA");
  OpenListItem(RowOf("GAMES"));
  OpenListItem(RowOf("ARCADE"));
  ASSERT_LT(EntryOfRow("PONG.EXE"), EntryOfRow("HISCORE.DAT"));
  SelectRows({RowOf(".."), RowOf("PONG.EXE"), RowOf("HISCORE.DAT")});
  EXPECT_STREQ("HISCORE.DAT", AskDescriptor().item.cFileName);
  SelectRows({RowOf(".."), RowOf("PONG.EXE")});
  EXPECT_STREQ("PONG.EXE", AskDescriptor().item.cFileName);
  SelectRows({RowOf("..")});
  EXPECT_EQ(0u, AskDescriptor().items);

  // An empty data fork: the size is both forks, the contents the resource fork.
  OpenBuilt("big.dsk", MakeBigBlockVolume());
  EnterDisk();
  SelectRows({RowOf("Icon")});
  EXPECT_EQ(kIcon.size(), AskDescriptor().item.nFileSizeLow);
  EXPECT_EQ(Text(kIcon), AskContents(0));
  SelectRows({RowOf("ab")});
  EXPECT_EQ(5u, AskDescriptor().item.nFileSizeLow);
  EXPECT_EQ(kShort, AskContents(0));
  // Both forks: the data fork alone, exactly as long as the descriptor says.
  SelectRows({RowOf("Both")});
  EXPECT_EQ(5u, AskDescriptor().item.nFileSizeLow);
  EXPECT_EQ(kShort, AskContents(0));
}

// A file of a Windows drive leaves with the bytes the file holds; one that
// cannot be read in full leaves nothing rather than filler.
TEST_F(FileExport, WindowsFilesLeaveWithTheirOwnBytes) {
  Bytes data(3000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
  ASSERT_TRUE(WriteFileBytes(dir_.File("data.bin"), data));
  ASSERT_TRUE(WriteFileBytes(dir_.File("empty.txt"), Bytes{}));
  BrowseWindowsFolder(dir_.path());
  SelectRows({RowOf("data.bin")});
  EXPECT_EQ(3000u, AskDescriptor().item.nFileSizeLow);
  EXPECT_EQ(Text(data), AskContents(0));
  ASSERT_TRUE(WriteFileBytes(dir_.File("data.bin"), Bytes(10, 'x')));  // shorter than when listed
  EXPECT_EQ("(none)", AskContents(0));
  // 4 GB or more: the dataSize slot holds the high half of a Windows file's size.
  explorer.entries[EntryOfRow("data.bin")].dataSize = 1;
  EXPECT_EQ(0u, AskDescriptor().items);

  // The one byte of a 0-byte file's block is zero, whatever the memory held before.
  SelectRows({RowOf("empty.txt")});
  EXPECT_EQ(0u, AskDescriptor().item.nFileSizeLow);
  HGLOBAL used = GlobalAlloc(GMEM_MOVEABLE, 1);
  *static_cast<char*>(GlobalLock(used)) = 'X';
  GlobalUnlock(used);
  GlobalFree(used);
  EXPECT_EQ(std::string(1, '\0'), AskContents(0));
}

// MFS: a text in blocks apart and out of order, and a file with only a
// resource fork. Atari DOS: a text over two sectors, its directory counting
// 256 bytes for the 150 they hold.
TEST_F(FileExport, MfsAndAtariFilesGiveTheirRealBytes) {
  MfsLayout layout;
  Bytes mfs = MakeMfsLayoutVolume(layout);
  const std::string note = "Dear Sam,\r" + Repeat("The disks arrived.\r", 60);
  PutMfsFork(mfs, layout, {9, 5}, Bytes(note.begin(), note.end()));
  const Bytes resource(kIcon.begin(), kIcon.begin() + 700);
  PutMfsFork(mfs, layout, {6}, resource);
  MfsFileSpec text;
  text.fileNumber = 1;
  text.dataLength = static_cast<uint32_t>(note.size());
  text.dataBlock = 9;
  MfsFileSpec icon;
  icon.fileNumber = 2;
  icon.resourceLength = 700;
  icon.resourceBlock = 6;
  PutMfsDirectory(mfs, layout, {MfsDirEntry("Note", text), MfsDirEntry("Icon", icon)});
  OpenBuilt("mfs.dsk", mfs);
  ASSERT_EQ(FormatMfs, explorer.currentVolume->format);
  std::string windows = "Dear Sam,\r\n" + Repeat("The disks arrived.\r\n", 60);
  EXPECT_EQ(windows, CopyAndPaste("Note"));
  SelectRows({RowOf("Note")});
  EXPECT_EQ(note.size(), AskDescriptor().item.nFileSizeLow);
  EXPECT_EQ(note, AskContents(0));
  SelectRows({RowOf("Icon")});
  EXPECT_EQ(700u, AskDescriptor().item.nFileSizeLow);
  EXPECT_EQ(Text(resource), AskContents(0));

  Bytes atari = MakeAtariDisk(false, true, false);
  const std::string lines = Repeat("LINE\x9B", 30);
  PutAtariFile(atari, true, false, 0, {40, 12}, Bytes(lines.begin(), lines.end()));
  PutAtariDirectory(atari, true, false, {AtariDirEntry(0x42, 2, 40, "LINES   TXT")});
  OpenBuilt("text.atr", atari);
  ASSERT_EQ(FormatAtariDos, explorer.currentVolume->format);
  EXPECT_EQ(Repeat("LINE\r\n", 30), CopyAndPaste("LINES.TXT"));
  SelectRows({RowOf("LINES.TXT")});
  EXPECT_EQ(lines.size(), AskDescriptor().item.nFileSizeLow);
  EXPECT_EQ(lines, AskContents(0));

  // A MyDOS sub-folder is entered like a FAT folder, and ".." leads back.
  Bytes myDos = MakeAtariDisk(true, true, false);
  PutAtariDirectory(myDos, true, false, {AtariDirEntry(0x10, 8, 400, "GAMES      ")});
  PutAtariDirectoryAt(myDos, true, false, 400, {AtariDirEntry(0x42, 2, 40, "LINES   TXT")});
  PutAtariFile(myDos, true, false, 0, {40, 12}, Bytes(lines.begin(), lines.end()));
  OpenBuilt("folders.atr", myDos);
  ASSERT_EQ(Rows{"GAMES"}, RowTexts());
  OpenListItem(RowOf("GAMES"));
  EXPECT_STREQ("GAMES\\", explorer.folderPath);
  EXPECT_EQ((Rows{"..", "LINES.TXT"}), RowTexts());
  EXPECT_EQ(Repeat("LINE\r\n", 30), CopyAndPaste("LINES.TXT"));
  OpenListItem(RowOf(".."));
  EXPECT_EQ(Rows{"GAMES"}, RowTexts());
}

// Mac OS Extended: names in the ANSI code page (composed, '?' for what it
// lacks), rows that keep their own entry where names show alike, type and
// creator, sizes past 4 GB, and no data handed over for a file that cannot
// be read or held.
TEST_F(FileExport, HfsPlusRowsKeepTheirEntryAndUnreadableFilesAreRefused) {
  const uint32_t kMarch2021 = 3697765567u;  // 2021-03-05 05:06:07 UTC
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  plan.rootModified = kMarch2021;
  const uint32_t first = AddHfsPlusFolder(plan, kHfsPlusRootId, u"\u0100", kMarch2021);
  const uint32_t second = AddHfsPlusFolder(plan, kHfsPlusRootId, u"\u0101", kMarch2021 - 400 * 86400);
  AddHfsPlusFile(plan, first, u"In first", {}, kMarch2021);
  AddHfsPlusFile(plan, second, u"In second", {}, kMarch2021);
  HfsPlusItem& note = AddHfsPlusFile(plan, kHfsPlusRootId, u"Cafe\u0301 note", {'a', '\r', 'b', '\n', 'c'}, kMarch2021);
  note.type = "TEXT";
  note.creator = "ttxt";
  HfsPlusItem& packed = AddHfsPlusFile(plan, kHfsPlusRootId, u"Packed", {}, kMarch2021);
  packed.ownerFlags = 0x20;  // compressed: its resource fork holds no file's bytes
  packed.resource = Bytes(300, 'r');
  AddHfsPlusFile(plan, kHfsPlusRootId, u"Movie", Bytes(10, 'm'), kMarch2021).dataLength = 5ull << 30;
  ASSERT_TRUE(WriteSparseImage(dir_.File("plus.img"), BuildHfsPlusVolume(plan)));
  OpenImageIn(dir_.path(), "plus.img");
  ASSERT_EQ(FormatHfsPlus, explorer.currentVolume->format);
  EnterDisk();
  EXPECT_EQ((Rows{"?", "?", "Caf\xE9 note", "Movie", "Packed"}), RowTexts());

  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_DETAILS, 0);
  EXPECT_EQ("5368709120 bytes", Cell(RowOf("Movie"), 1));
  EXPECT_EQ("File: Caf\xE9 note\n\nSize: 5 bytes\n\nModified: " + Cell(RowOf("Caf\xE9 note"), 2) +
                "\n\nType: TEXT\nCreator: ttxt\n",
            Properties("Caf\xE9 note"));
  EXPECT_NE(std::string::npos, Properties("Movie").find("Size: 5368709120 bytes"));

  // CR becomes CR LF, LF stays; what cannot be read or held is not copied.
  EXPECT_EQ("a\r\nb\nc", CopyAndPaste("Caf\xE9 note"));
  PutTextOnClipboard("before");
  EXPECT_EQ("before", CopyAndPaste("Packed"));
  EXPECT_EQ("before", CopyAndPaste("Movie"));
  for (const char* refused : {"Packed", "Movie"}) {
    SelectRows({RowOf(refused)});
    EXPECT_EQ(0u, AskDescriptor().items) << refused;
  }
  SelectRows({RowOf("Caf\xE9 note")});
  EXPECT_EQ(5u, AskDescriptor().item.nFileSizeLow);
  EXPECT_EQ("a\rb\nc", AskContents(0));

  // The two "?" rows open, and show the properties of, their own folders.
  for (const uint32_t folder : {second, first}) {
    int row = -1;
    for (int r = 0; r < static_cast<int>(RowTexts().size()); ++r) {
      if (explorer.entries[GetRowEntryIndex(r)].nodeId == folder) row = r;
    }
    ASSERT_GE(row, 0);
    const std::string date = Cell(row, 2);
    const BoxSeen box = WhileBoxUp("File Properties", [row] { ShowRowProperties(row); });
    EXPECT_EQ("File: ?\n\nSize: 0 bytes\n\nModified: " + date + "\n\nType:     \nCreator:     \n", box.text);
    OpenListItem(row);
    EXPECT_EQ(Rows{folder == first ? "In first" : "In second"}, RowTexts());
    ListKey(VK_BACK);
  }
}
