#include "path_list.h"

#include <cstdlib>
#include <cstring>

namespace {
const int kGrowth = 8;
}

PathList* PathListCreate() {
  PathList* list = static_cast<PathList*>(malloc(sizeof *list));
  if (!list) return nullptr;
  list->items = static_cast<char**>(malloc(kGrowth * sizeof *list->items));
  if (!list->items) {
    free(list);
    return nullptr;
  }
  list->count = 0;
  list->capacity = kGrowth;
  return list;
}

int PathListAdd(PathList* list, const char* text) {
  if (list->count == list->capacity) {
    char** grown = static_cast<char**>(realloc(list->items, (list->capacity + kGrowth) * sizeof *list->items));
    if (!grown) return 0;
    list->items = grown;
    list->capacity += kGrowth;
  }
  const size_t bytes = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(bytes));
  if (!copy) return 0;
  memcpy(copy, text, bytes);
  list->items[list->count++] = copy;
  return 1;
}

int PathListCount(const PathList* list) { return list->count; }

const char* PathListItem(const PathList* list, int i) {
  return i >= 0 && i < list->count ? list->items[i] : nullptr;
}

void PathListClear(PathList* list) {
  for (int i = 0; i < list->count; ++i) free(list->items[i]);
  list->count = 0;
}

void PathListFree(PathList* list) {
  if (!list) return;
  PathListClear(list);
  free(list->items);
  free(list);
}
