// The real main window, created in the test's own process for each test and
// destroyed afterwards, with helpers that read the tree, the list and the
// title the way a user sees them.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "explorer_state.h"
#include "test_files.h"

class ExplorerWindow : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// What a message box showed while an action ran.
struct BoxSeen {
  bool shown = false;
  std::string text;
  HWND owner = nullptr;
};
// Runs action on this thread; a message box titled caption that comes up
// meanwhile is read and closed from another thread.
BoxSeen WhileBoxUp(const char* caption, const std::function<void()>& action);
// Runs the window's pending messages.
void PumpMessages();
std::string Title();
std::vector<std::string> NodeTexts();
HTREEITEM NodeAt(int position);
// Selects the source whose table string is text, as a click would.
void SelectSourceNamed(const std::string& text);
std::vector<std::string> RowTexts();
std::string Cell(int row, int column);
LPARAM RowParameter(int row);
int RowImage(int row);
int RowOf(const std::string& text);
void SelectRows(const std::vector<int>& rows);
// Sends the list a key as the list control reports it to its parent.
void ListKey(WORD key);
// The folder a Windows path names, as a path relative to its drive's root
// with a trailing backslash (C:\a\b -> a\b\), and the drive's root.
std::string RelativeToRoot(const std::string& path);
std::string RootOf(const std::string& path);
// Lists the Windows folder path: selects its drive, then the folder.
void BrowseWindowsFolder(const std::string& path);
// Adds the disk image name from a listing of the Windows folder and opens
// its top level, as a user does by double-clicking it and selecting its node.
void OpenImageIn(const std::string& folder, const std::string& name);
// The folder of sample disk images made by the build.
std::string SamplesDir();
// Sets a file's or folder's last-write time to the given year, January 1st.
void SetYear(const std::string& path, int year);
