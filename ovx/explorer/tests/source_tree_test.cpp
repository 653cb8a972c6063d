// The source tree: the table's order and captions, open arguments, image
// sources, drops, the title and the PathList.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "explorer_fixture.h"
#include "fake_scsi_bus.h"
#include "fake_scsi_layers.h"
#include "file_list.h"
#include "image_builders.h"
#include "path_list.h"
#include "source_tree.h"

namespace {

std::vector<std::string> LogicalDriveRoots() {
  char roots[512] = "";
  GetLogicalDriveStringsA(sizeof roots, roots);
  std::vector<std::string> list;
  for (const char* at = roots; *at; at += strlen(at) + 1) list.push_back(at);
  return list;
}

// Puts a hand-made table in place of the enumerated one.
void UseTable(const std::vector<std::string>& strings, int logicalEnd, int scsiEnd, int floppyEnd) {
  SourceTable& table = explorer.sourceTable;
  table.sources = static_cast<char**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, strings.size() * sizeof(char*)));
  for (size_t i = 0; i < strings.size(); ++i) {
    table.sources[i] = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, strings[i].size() + 1));
    strcpy(table.sources[i], strings[i].c_str());
  }
  table.sourceCount = static_cast<int>(strings.size());
  table.logicalDriveEnd = logicalEnd;
  table.scsiEnd = scsiEnd;
  table.floppyEnd = floppyEnd;
}

std::string Caption(int index) {
  char caption[kTextChars];
  if (!GetSourceCaption(index, caption, sizeof caption)) return "(none)";
  return caption;
}

}  // namespace

TEST_F(ExplorerWindow, TreeListsEveryLogicalDriveInOrderWithItsCaption) {
  const std::vector<std::string> roots = LogicalDriveRoots();
  ASSERT_FALSE(roots.empty());
  std::vector<std::string> expected;
  for (const std::string& root : roots) expected.push_back("MSDOS files on " + root);
  // No ASPI layer and no removable A: or B: under the test prefix.
  EXPECT_EQ(expected, NodeTexts());
  EXPECT_EQ(static_cast<int>(roots.size()), explorer.sourceTable.logicalDriveEnd);
  EXPECT_EQ(explorer.sourceTable.logicalDriveEnd, explorer.sourceTable.floppyEnd);
  TVITEMA item = {};
  item.mask = TVIF_PARAM | TVIF_IMAGE | TVIF_CHILDREN;
  item.hItem = NodeAt(1);
  SendMessageA(explorer.treeWindow, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(1, item.lParam);
  EXPECT_EQ(2, item.iImage);
  EXPECT_EQ(0, item.cChildren);

  // The tree's first selection on receiving the focus opened the first drive.
  EXPECT_EQ(0, explorer.currentSource);
  EXPECT_EQ("Directory of MSDOS files on " + roots[0] + " - Orvanta Explorer", Title());
}

TEST_F(ExplorerWindow, CaptionsAndOpenArgumentsOfEveryClassOfSource) {
  UseTable({"A:\\", "C:\\", "SCSI ctl:0 dev:3 (ACME    CD-ROM 4X       )", "SCSI ctl:12 dev:5",
            "Non-DOS floppy on A:", "Non-DOS floppy on B:", "C:\\disks\\mac.image"},
           2, 4, 6);
  EXPECT_EQ("MSDOS files on A:\\", Caption(0));
  EXPECT_EQ("SCSI ctl:0 dev:3 (ACME    CD-ROM 4X       )", Caption(2));
  EXPECT_EQ("Non-DOS floppy on B:", Caption(5));
  EXPECT_EQ("Disk image C:\\disks\\mac.image", Caption(6));
  EXPECT_EQ("(none)", Caption(7));
  EXPECT_EQ("(none)", Caption(-1));

  EXPECT_EQ(KindLogicalDrive, SourceOpenArguments(1).kind);
  EXPECT_EQ(KindScsi, SourceOpenArguments(2).kind);
  EXPECT_EQ(3u, SourceOpenArguments(2).source);
  // Host adapter 12 does not fit one digit; it still comes back whole.
  EXPECT_EQ(static_cast<uintptr_t>(12 << 4 | 5), SourceOpenArguments(3).source);
  EXPECT_EQ(KindFloppy, SourceOpenArguments(4).kind);
  EXPECT_EQ(0u, SourceOpenArguments(4).source);
  EXPECT_EQ(1u, SourceOpenArguments(5).source);
  EXPECT_EQ(KindImageFile, SourceOpenArguments(6).kind);
  EXPECT_STREQ("C:\\disks\\mac.image", reinterpret_cast<const char*>(SourceOpenArguments(6).source));
  EXPECT_EQ(0, SourceOpenArguments(7).kind);
}

// SCSI devices are listed in the same place and with the same captions
// whichever layer serves them.
class ScsiTree : public ExplorerWindow, public ::testing::WithParamInterface<FakeScsiLayerKind> {};

TEST_P(ScsiTree, ScsiDevicesAreListedAfterTheDrivesAndOpen) {
  std::unique_ptr<FakeScsiLayer> scsi = MakeFakeScsiLayer(GetParam());
  ASSERT_NE(nullptr, scsi) << "the test's WNASPI32.DLL is not beside the test";
  ScratchDir dir;
  WriteFileBytes(dir.File("cd.iso"), MakeHfsVolume(800, "Disc"));
  scsi->Reset(1);
  ASSERT_TRUE(scsi->AddDevice(0, 3, FakeScsiCdrom, dir.File("cd.iso")));
  ASSERT_EQ(1, FillTree());

  const std::vector<std::string> roots = LogicalDriveRoots();
  const std::vector<std::string> nodes = NodeTexts();
  ASSERT_EQ(roots.size() + 1, nodes.size());
  EXPECT_EQ("MSDOS files on " + roots.back(), nodes[roots.size() - 1]);
  EXPECT_EQ("SCSI ctl:0 dev:3 (ORVANTA FAKE CD-ROM     )", nodes[roots.size()]);
  EXPECT_EQ(SourceScsi, GetSourceClass(static_cast<int>(roots.size())));
  EXPECT_EQ(3u, SourceOpenArguments(static_cast<int>(roots.size())).source);

  ASSERT_EQ(1, SelectSource(NodeAt(static_cast<int>(roots.size()))));
  ASSERT_NE(nullptr, explorer.currentVolume);
  EXPECT_EQ(KindScsi, explorer.currentVolume->kind);
  EXPECT_EQ(0, explorer.currentVolume->hostAdapter);
  EXPECT_EQ(3, explorer.currentVolume->unit);
  EXPECT_EQ(2048u, explorer.currentVolume->sectorSize);
  EXPECT_EQ("Directory of SCSI ctl:0 dev:3 (ORVANTA FAKE CD-ROM     ) - Orvanta Explorer", Title());
  SelectSource(NodeAt(0));
}

INSTANTIATE_TEST_SUITE_P(Layers, ScsiTree, ::testing::ValuesIn(FakeScsiLayersOfThisBuild()),
                         [](const ::testing::TestParamInfo<FakeScsiLayerKind>& info) {
                           return std::string(FakeScsiLayerName(info.param));
                         });

// A card reader of two slots behind USB (a port with no adapter device):
// its first card's caption is that of any unit 0, the second names its unit.
TEST_F(ExplorerWindow, CardsOfAMultiSlotReaderAreListedByLogicalUnit) {
  ScratchDir dir;
  WriteFileBytes(dir.File("first.img"), MakeHfsVolume(800, "First"));
  WriteFileBytes(dir.File("second.img"), MakeFatVolume(Fat720KFloppy()));
  struct BusInPlace {
    BusInPlace() { InstallFakeScsiBus(0); }
    ~BusInPlace() { RemoveFakeScsiBus(); }
  } bus;
  fakeScsiBus.busesOfPort = {0, 0, 0};
  AddFakeScsiUnit(2, 0, 1, FakeScsiDisk, dir.File("second.img").c_str(), 4);
  AddFakeScsiUnit(2, 0, 0, FakeScsiDisk, dir.File("first.img").c_str(), 3);
  ASSERT_EQ(1, FillTree());
  const int first = explorer.sourceTable.logicalDriveEnd;
  ASSERT_EQ(first + 2, explorer.sourceTable.scsiEnd);
  EXPECT_EQ("SCSI ctl:0 dev:0 (ORVANTA FAKE DISK       )", NodeTexts()[first]);
  EXPECT_EQ("SCSI ctl:0 dev:0 lun:1 (ORVANTA FAKE DISK       )", NodeTexts()[first + 1]);
  EXPECT_EQ(static_cast<uintptr_t>(1 << 12), SourceOpenArguments(first + 1).source);
  ASSERT_EQ(1, SelectSource(NodeAt(first + 1)));
  EXPECT_EQ(1, explorer.currentVolume->lun);
  EXPECT_EQ("Directory of SCSI ctl:0 dev:0 lun:1 (ORVANTA FAKE DISK       ) - Orvanta Explorer", Title());
  EXPECT_EQ(FormatFat12, explorer.currentVolume->format);
  SelectSource(NodeAt(0));
}

TEST_F(ExplorerWindow, ImagesJoinOnlyWhenRecognisedAndWhileADriveIsBrowsed) {
  ScratchDir dir;
  WriteFileBytes(dir.File("disk.img"), WithDiskCopyHeader(MakeHfsVolume(800, "Disk"), "Disk"));
  WriteFileBytes(dir.File("fat.ima"), MakeFatVolume(Fat720KFloppy()));
  WriteFileBytes(dir.File("notes.txt"), Bytes(3000, 'x'));
  BrowseWindowsFolder(dir.path());
  const int before = explorer.sourceTable.sourceCount;
  const std::vector<std::string> nodesBefore = NodeTexts();
  HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageA(explorer.treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0));

  // Opening a text file's row adds nothing.
  OpenListItem(RowOf("notes.txt"));
  EXPECT_EQ(nodesBefore, NodeTexts());
  // Opening an image's row adds its node at the end, unselected.
  OpenListItem(RowOf("disk.img"));
  ASSERT_EQ(before + 1, explorer.sourceTable.sourceCount);
  EXPECT_EQ("Disk image " + dir.File("disk.img"), NodeTexts().back());
  EXPECT_EQ(selected, reinterpret_cast<HTREEITEM>(SendMessageA(explorer.treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0)));
  EXPECT_EQ(KindLogicalDrive, explorer.currentVolume->kind);  // the listing stays

  // An index outside the listing, and any addition while an image is browsed, add nothing.
  EXPECT_EQ(before + 1, AddImageSource(5000));
  SelectSource(NodeAt(before));
  ASSERT_EQ(KindImageFile, explorer.currentVolume->kind);
  EXPECT_EQ("Directory of Disk image " + dir.File("disk.img") + " - Orvanta Explorer", Title());
  EXPECT_EQ(before + 1, AddImageSource(reinterpret_cast<uintptr_t>(dir.File("fat.ima").c_str())));
}

TEST_F(ExplorerWindow, DroppedImagesBecomeNodesInDropOrderAndTheLastIsSelected) {
  ScratchDir dir;
  WriteFileBytes(dir.File("one.img"), MakeFatVolume(Fat1440KFloppy()));
  WriteFileBytes(dir.File("two.txt"), Bytes(100, 't'));
  WriteFileBytes(dir.File("three.dsk"), MakeHfsVolume(800, "Three"));
  BrowseWindowsFolder(dir.path());
  const int before = explorer.sourceTable.sourceCount;
  PathList* paths = PathListCreate();
  for (const char* name : {"one.img", "two.txt", "three.dsk"}) PathListAdd(paths, dir.File(name).c_str());
  EXPECT_EQ(0, SendMessageA(explorer.mainWindow, UM_DROP_PATHS, 0, reinterpret_cast<LPARAM>(paths)));
  PathListFree(paths);
  const std::vector<std::string> nodes = NodeTexts();
  ASSERT_EQ(static_cast<size_t>(before + 2), nodes.size());
  EXPECT_EQ("Disk image " + dir.File("one.img"), nodes[before]);
  EXPECT_EQ("Disk image " + dir.File("three.dsk"), nodes[before + 1]);
  PumpMessages();  // the posted End key moves the selection to the last node, which opens it
  EXPECT_EQ(before + 1, explorer.currentSource);
  EXPECT_EQ("Directory of Disk image " + dir.File("three.dsk") + " - Orvanta Explorer", Title());
}

TEST_F(ExplorerWindow, LongImagePathsAndDeepFoldersAreShortenedInCaptionAndTitle) {
  const std::string path = "C:\\" + std::string(246, 'd') + "\\image.dsk";  // 259 characters
  UseTable({"C:\\", path, "C:\\after.img"}, 1, 1, 1);
  const std::string caption = Caption(1);
  EXPECT_EQ(255u, caption.size());
  EXPECT_EQ("Disk image C:\\", caption.substr(0, 14));
  EXPECT_EQ("\\image.dsk", caption.substr(caption.size() - 10));
  EXPECT_NE(std::string::npos, caption.find("..."));
  // Its node is made, and the nodes after it too.
  ClearTree();
  ASSERT_EQ(1, InsertMissingSourceNodes());
  EXPECT_EQ((std::vector<std::string>{"MSDOS files on C:\\", caption, "Disk image C:\\after.img"}), NodeTexts());

  lstrcpynA(explorer.sourceCaption, caption.c_str(), sizeof explorer.sourceCaption);
  explorer.folderPath[0] = '\0';
  UpdateTitle();
  EXPECT_EQ(255u, Title().size());
  EXPECT_EQ("Directory of Disk image C:\\", Title().substr(0, 27));
  EXPECT_EQ("image.dsk - Orvanta Explorer", Title().substr(255 - 28));

  std::string deep;
  while (deep.size() < 240) deep += "FOLDER" + std::to_string(deep.size()) + "\\";
  lstrcpynA(explorer.folderPath, deep.c_str(), sizeof explorer.folderPath);
  UpdateTitle();
  EXPECT_LE(Title().size(), 255u);
  const std::string last = deep.substr(0, deep.size() - 1);
  EXPECT_EQ(last.substr(last.rfind('\\')) + " - Orvanta Explorer", Title().substr(Title().rfind('\\')));
}

TEST(PathListTest, GrowsByEightAndOwnsItsStrings) {
  PathList* list = PathListCreate();
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(8, list->capacity);
  std::string text;
  for (int i = 0; i < 17; ++i) {
    text = "C:\\drop\\" + std::to_string(i) + ".img";
    ASSERT_EQ(1, PathListAdd(list, text.c_str()));
  }
  text.clear();  // the list keeps its own copies
  EXPECT_EQ(17, PathListCount(list));
  EXPECT_EQ(24, list->capacity);
  EXPECT_STREQ("C:\\drop\\16.img", PathListItem(list, 16));
  EXPECT_EQ(nullptr, PathListItem(list, 17));
  PathListClear(list);
  EXPECT_EQ(0, PathListCount(list));
  EXPECT_EQ(24, list->capacity);
  PathListFree(list);
  PathListFree(nullptr);
}
