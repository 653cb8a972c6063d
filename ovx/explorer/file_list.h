// The file list: the listing of the current folder (through Windows for
// logical drives, through ListDirectory for every other source), its rows
// and their order, the details columns, moving into and out of folders, and
// the main window's title, which names the folder shown.
// Row parameters carry the entry index in the low 24 bits and, for folders,
// the separator in the top 8 bits.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "explorer_state.h"

// Inserts the Name, Size and Date columns for a main window clientWidth wide. Returns 1 or 0.
int CreateListColumns(int clientWidth);
// Lists path of source sourceIndex into explorer.entries; an empty path
// re-opens the source. Returns the number of entries, 0 on failure.
int ListFolder(int sourceIndex, const char* path);
// The entry's name, for a folder followed by its separator (":" on HFS, "\"
// elsewhere). Returns 1, or 0 when index is outside the listing or the name
// does not fit size bytes.
int GetEntryDisplayName(int index, char* buffer, int size, int* isFolder);
// The entry's size (-1 for a folder) and modification time. Returns 1 or 0.
int GetEntrySizeAndTime(int index, int64_t* size, FILETIME* time);
// Reads a row's parameter and, when text is given, its text (size bytes).
// Returns 1, or 0 when the row cannot be read.
int ReadRow(int row, char* text, int size, LPARAM* parameter);
// The time in the user's short date and time form, as the Date column shows
// it; empty when the entry has no time stamp or it has no calendar form.
void FormatEntryTime(const FILETIME& time, char* text, int size);
// The entry index of a row; 0 when the row cannot be read.
int GetRowEntryIndex(int row);
// Lists the current folder again and fills the rows. Returns 1 or 0 (empty list).
int FillList();
// Fills the Size and Date columns. Returns 1, or 0 at an entry that cannot be read.
int FillDetails();
// The list's sort callback: folders first, then by the sort column, then by
// name; all reversed when descending.
int CALLBACK CompareListItems(LPARAM parameter1, LPARAM parameter2, LPARAM sortParameter);
// A click on column: the same column flips the direction, another sorts ascending by it.
void SortByColumn(int column);
// Opens a row: enters a folder, goes up for "..", offers a file as a disk image.
void OpenListItem(int row);
// Takes the last folder off folderPath.
void GoUp();
void SelectAllRows();
// Switches the list to view mode (an LVS_ view style value).
void SetViewMode(int mode);
// The first selected row in display order, or -1 when none is selected.
int FirstSelectedRow();
// The next selected row after row in display order, or -1.
int NextSelectedRow(int row);
// The row that is selected when exactly one is, else -1.
int SingleSelectedRow();
bool IsParentRow(int row);
bool IsFolderRow(int row);
int CountSelectedExceptParent();
int CountSelectedFiles();
// Sets the main window's title from the folder path or the source caption.
void UpdateTitle();
Answer HandleListNotify(NMHDR* notification);
// Puts the list's key handling in front of the control's own, which reports
// no Alt+Enter. Called once the list exists.
void CatchListKeys();
