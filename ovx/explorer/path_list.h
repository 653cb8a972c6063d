// PathList: a growable list of owned strings. The drop target fills one with
// the paths dropped on the tree and frees it after the main window has taken
// them. Memory comes from the C library's allocator.
#pragma once

struct PathList {
  int count;
  int capacity;
  char** items;
};

// A list with room for 8 strings. Null when memory runs out (nothing is left allocated).
PathList* PathListCreate();
// Appends a copy of text, growing the array by 8 slots when full. Returns 1,
// or 0 when memory runs out (the list is unchanged).
int PathListAdd(PathList* list, const char* text);
int PathListCount(const PathList* list);
// The string at i; null when i is outside the list.
const char* PathListItem(const PathList* list, int i);
// Frees every string; the capacity stays.
void PathListClear(PathList* list);
// Frees the strings, the array and the list; nothing for null.
void PathListFree(PathList* list);
