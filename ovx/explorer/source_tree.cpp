#include "source_tree.h"

#include "file_list.h"

namespace {

int TreeNodeCount() { return static_cast<int>(SendMessageA(explorer.treeWindow, TVM_GETCOUNT, 0, 0)); }

}  // namespace

int InsertSourceNode(int index) {
  char caption[kTextChars];
  if (!GetSourceCaption(index, caption, sizeof caption)) return 0;
  TVINSERTSTRUCTA insert = {};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
  insert.item.pszText = caption;
  insert.item.iImage = 2;
  insert.item.iSelectedImage = 2;
  insert.item.cChildren = 0;
  insert.item.lParam = index;
  return SendMessageA(explorer.treeWindow, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)) != 0;
}

void ClearTree() {
  explorer.treeClearing = 1;
  SendMessageA(explorer.treeWindow, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  explorer.treeClearing = 0;
}

int FillTree() {
  HCURSOR previous = BeginWait();
  ClearTree();
  const int count = EnumerateSources();
  for (int i = 0; i < count; ++i) {
    if (!InsertSourceNode(i)) {
      ClearTree();
      EndWait(previous);
      return 0;
    }
  }
  EndWait(previous);
  return 1;
}

int SelectSource(HTREEITEM node) {
  char text[kTextChars];
  TVITEMA item = {};
  item.mask = TVIF_TEXT | TVIF_PARAM;
  item.hItem = node;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  if (!node || !SendMessageA(explorer.treeWindow, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  explorer.currentSource = static_cast<int32_t>(item.lParam);
  explorer.folderPath[0] = '\0';
  FillList();
  lstrcpynA(explorer.sourceCaption, text, sizeof explorer.sourceCaption);
  UpdateTitle();
  return 1;
}

int InsertMissingSourceNodes() {
  for (int i = TreeNodeCount(); i < explorer.sourceTable.sourceCount; ++i) {
    if (!InsertSourceNode(i)) return 0;
  }
  return 1;
}

Answer HandleTreeNotify(NMHDR* notification) {
  switch (notification->code) {
    case NM_CLICK: {
      TVHITTESTINFO hit = {};
      GetCursorPos(&hit.pt);
      ScreenToClient(explorer.treeWindow, &hit.pt);
      SendMessageA(explorer.treeWindow, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      if (hit.hItem && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON))) {
        SelectSource(hit.hItem);
      }
      return Handled(0);
    }
    case TVN_SELCHANGEDA: {
      const NMTREEVIEWA* change = reinterpret_cast<NMTREEVIEWA*>(notification);
      // A mouse click has already opened the source through NM_CLICK.
      if (!explorer.treeClearing && change->action != TVC_BYMOUSE) SelectSource(change->itemNew.hItem);
      return Handled(0);
    }
    case TVN_KEYDOWN: {
      const WORD key = reinterpret_cast<NMTVKEYDOWN*>(notification)->wVKey;
      if (key == VK_TAB) {
        SetFocus(explorer.listWindow);
        return Handled(1);
      }
      if (key == VK_F5) {
        FillList();
        return Handled(1);
      }
      return NotHandled();
    }
  }
  return NotHandled();
}

Answer HandleDropPaths(const PathList* paths) {
  const int count = paths ? PathListCount(paths) : 0;
  for (int i = 0; i < count; ++i) AddImageSource(reinterpret_cast<uintptr_t>(PathListItem(paths, i)));
  if (!InsertMissingSourceNodes()) return NotHandled();
  PostMessageA(explorer.treeWindow, WM_KEYDOWN, VK_END, 0);
  return Handled(0);
}
