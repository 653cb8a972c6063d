// The source tree: one root node per source of the SourceTable, selecting a
// source (which lists its top level through the file list), and the nodes of
// image sources added later.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "explorer_state.h"
#include "path_list.h"
#include "source_table.h"

// Appends the node of source index at the end of the root. Returns 1 or 0.
int InsertSourceNode(int index);
void ClearTree();
// Enumerates the sources and inserts one node each. Returns 1, or 0 (and an
// empty tree) when a node cannot be inserted.
int FillTree();
// Makes node's source current and lists its top level. Returns 1, or 0 when
// the node cannot be read.
int SelectSource(HTREEITEM node);
// Inserts the nodes of the sources the tree does not show yet. Returns 1, or
// 0 at the first node that cannot be inserted.
int InsertMissingSourceNodes();
Answer HandleTreeNotify(NMHDR* notification);
// UM_DROP_PATHS: offers each dropped path as an image source, then moves the
// selection to the last node.
Answer HandleDropPaths(const PathList* paths);
