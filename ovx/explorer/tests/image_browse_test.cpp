// Browsing the sample disk images: HFS folders (":" paths) and FAT folders
// ("\" paths), titles, rows and details.
#include <string>
#include <vector>

#include "explorer_fixture.h"
#include "file_list.h"
#include "resource_ids.h"
#include "source_tree.h"

namespace {

using Rows = std::vector<std::string>;

void OpenSample(const std::string& name) { OpenImageIn(SamplesDir(), name); }

}  // namespace

TEST_F(ExplorerWindow, HfsFoldersAreEnteredWithColonPaths) {
  OpenSample("MacSampler.image");
  ASSERT_EQ(FormatHfs, explorer.currentVolume->format);
  EXPECT_EQ(Title(), "Directory of Disk image " + SamplesDir() + "\\MacSampler.image - Orvanta Explorer");
  ASSERT_EQ(Rows{"Sampler"}, RowTexts());
  EXPECT_EQ(':', RowParameter(0) >> 24 & 0xFF);
  EXPECT_EQ(0, RowImage(0));
  EXPECT_EQ(LVIS_FOCUSED, SendMessageA(explorer.listWindow, LVM_GETITEMSTATE, 0, LVIS_FOCUSED));

  OpenListItem(0);
  EXPECT_STREQ("Sampler:", explorer.folderPath);
  EXPECT_EQ("Sampler - Orvanta Explorer", Title());
  EXPECT_EQ((Rows{"Letters", "Notes", "Read Me"}), RowTexts());
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_DETAILS, 0);
  const int readMe = RowOf("Read Me");
  EXPECT_EQ(1, RowImage(readMe));
  EXPECT_EQ("41 bytes", Cell(readMe, 1));
  EXPECT_NE("", Cell(readMe, 2));
  EXPECT_EQ("", Cell(RowOf("Notes"), 1));

  OpenListItem(RowOf("Letters"));
  EXPECT_STREQ("Sampler:Letters:", explorer.folderPath);
  EXPECT_EQ("Sampler:Letters - Orvanta Explorer", Title());
  EXPECT_EQ((Rows{"Old", "To Sam"}), RowTexts());
  OpenListItem(RowOf("Old"));
  EXPECT_EQ("Sampler:Letters:Old - Orvanta Explorer", Title());
  EXPECT_EQ(Rows{"Draft"}, RowTexts());

  ListKey(VK_BACK);
  ListKey(VK_BACK);
  EXPECT_STREQ("Sampler:", explorer.folderPath);
  EXPECT_EQ((Rows{"Letters", "Notes", "Read Me"}), RowTexts());
  ListKey(VK_BACK);
  EXPECT_STREQ("", explorer.folderPath);
  EXPECT_EQ(Rows{"Sampler"}, RowTexts());
  ListKey(VK_BACK);  // at the top: nothing
  EXPECT_EQ(Rows{"Sampler"}, RowTexts());
  EXPECT_EQ(Title(), "Directory of Disk image " + SamplesDir() + "\\MacSampler.image - Orvanta Explorer");
}

TEST_F(ExplorerWindow, FatFoldersAreEnteredWithBackslashPaths) {
  for (const char* name : {"MSDOS.IMA", "ATARIST.ST"}) {
    OpenSample(name);
    ASSERT_EQ(FormatFat12, explorer.currentVolume->format) << name;
  }
  EXPECT_EQ((Rows{"AUTO", "README.TXT"}), RowTexts());

  OpenSample("MSDOS.IMA");
  EXPECT_EQ((Rows{"GAMES", "README.TXT"}), RowTexts());
  OpenListItem(RowOf("GAMES"));
  EXPECT_STREQ("GAMES\\", explorer.folderPath);
  EXPECT_EQ("GAMES - Orvanta Explorer", Title());
  const int up = RowOf("..");
  ASSERT_NE(-1, up);
  EXPECT_EQ(3, RowImage(up));
  EXPECT_EQ(0, RowImage(RowOf("ARCADE")));
  OpenListItem(RowOf("ARCADE"));
  EXPECT_EQ("GAMES\\ARCADE - Orvanta Explorer", Title());
  ASSERT_NE(-1, RowOf("PONG.EXE"));
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_DETAILS, 0);
  EXPECT_EQ("3000 bytes", Cell(RowOf("PONG.EXE"), 1));
  EXPECT_EQ("1024 bytes", Cell(RowOf("HISCORE.DAT"), 1));

  OpenListItem(RowOf(".."));  // one level up
  EXPECT_STREQ("GAMES\\", explorer.folderPath);
  EXPECT_NE(-1, RowOf("PUZZLE"));
  ListKey(VK_BACK);
  EXPECT_STREQ("", explorer.folderPath);
  EXPECT_EQ((Rows{"GAMES", "README.TXT"}), RowTexts());
}

TEST_F(ExplorerWindow, AtariDosFilesListWithoutFolders) {
  OpenSample("ATARIDOS.ATR");
  ASSERT_EQ(FormatAtariDos, explorer.currentVolume->format);
  const Rows rows = RowTexts();
  EXPECT_EQ(3u, rows.size());
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) EXPECT_EQ(1, RowImage(row)) << rows[row];
}
