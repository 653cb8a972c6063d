// The file replace the game takes from Windows, here and as on Windows 95,
// 98 and Me, where MoveFileExA is missing or a stub; and the high score saved
// through it.
#include "windows_services.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include "frame_clock.h"
#include "game_rules.h"
#include "score_file.h"
#include "test_files.h"

namespace {

class WindowsServicesTest : public ::testing::Test {
 protected:
  WindowsServicesTest() : inDir_(dir_.path()) { ResetGameRecord(); }
  ~WindowsServicesTest() override {
    SetFileReplacer(nullptr);
    SetMillisecondClock(nullptr);
  }

  ScratchDir dir_;
  CurrentDir inDir_;
};

// What Windows 98 and Me answer for MoveFileExA.
BOOL WINAPI StubMoveFileEx(LPCSTR, LPCSTR, DWORD) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

TEST_F(WindowsServicesTest, MoveFileExReplacesWhereThisWindowsHasIt) {
  MoveFileExFunction moveFileEx = LookUpMoveFileEx();
  ASSERT_NE(nullptr, moveFileEx);
  WriteFileBytes(dir_.File("a"), {1});
  WriteFileBytes(dir_.File("b"), {2, 2});
  EXPECT_EQ(ReplaceDone, ReplaceWithMoveFileEx(moveFileEx, "a", "b"));
  EXPECT_EQ((Bytes{1}), ReadFileBytes(dir_.File("b")));
  EXPECT_FALSE(FileExists(dir_.File("a")));
  EXPECT_EQ(ReplaceFailed, ReplaceWithMoveFileEx(moveFileEx, "a", "b"));

  EXPECT_EQ(ReplaceUnsupported, ReplaceWithMoveFileEx(nullptr, "b", "c"));
  EXPECT_EQ(ReplaceUnsupported, ReplaceWithMoveFileEx(StubMoveFileEx, "b", "c"));
  EXPECT_EQ((Bytes{1}), ReadFileBytes(dir_.File("b")));
  EXPECT_FALSE(FileExists(dir_.File("c")));
}

TEST_F(WindowsServicesTest, TheHighScoreIsSavedWithAndWithoutMoveFileEx) {
  static MoveFileExFunction standIn;
  SetFileReplacer([](const char* from, const char* to) { return ReplaceWithMoveFileEx(standIn, from, to); });
  const MoveFileExFunction systems[] = {LookUpMoveFileEx(), nullptr, StubMoveFileEx};
  int32_t score = 100;
  for (MoveFileExFunction system : systems) {
    standIn = system;
    WriteFileBytes(dir_.File("Grentix.his"), {1, 0, 0, 0});
    LoadHighScore();
    EXPECT_EQ(1, game.highScore);
    game.highScore = ++score;
    SaveHighScore();
    LoadHighScore();
    EXPECT_EQ(score, game.highScore);
    EXPECT_FALSE(FileExists(dir_.File("Grentix.his.new")));
    EXPECT_FALSE(FileExists(dir_.File("Grentix.his.old")));
  }

  // The game itself installs the replace, and timeGetTime as its clock.
  InstallWindowsServices();
  game.highScore = 5;
  SaveHighScore();
  EXPECT_EQ((Bytes{5, 0, 0, 0}), ReadFileBytes(dir_.File("Grentix.his")));
  uint32_t now = timeGetTime();
  EXPECT_LE(Milliseconds() - now, 1000u);
}

}  // namespace
