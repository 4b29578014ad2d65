#pragma once
// The tree-view control (window class "SysTreeView32") and the class library's CTreeCtrl.
//
// Items hold a text, an item datum and a state (selected, expanded, bold); children are shown
// when their parent is expanded. Rows are 16 pixels high and every level is indented by 19
// pixels (root items too with TVS_LINESATROOT); the label starts 3 pixels after the indent and is
// as wide as its text plus 6 pixels. The control has no image lists: hit tests never answer the
// icon parts. A left click selects the item under it (a click on an item's button expands or
// collapses it); the arrow keys move the selection and expand or collapse. Selection changes
// notify the parent with TVN_SELCHANGINGW (a non-zero answer refuses) and TVN_SELCHANGEDW.
// Item handles are never reused in a process; a stale one is simply unknown.
#include "platform/gui/afxwin.h"

struct _TREEITEM;
using HTREEITEM = _TREEITEM*;

#define WC_TREEVIEWW L"SysTreeView32"
#define TVS_HASBUTTONS 0x0001
#define TVS_HASLINES 0x0002
#define TVS_LINESATROOT 0x0004
#define TVS_EDITLABELS 0x0008
#define TVS_DISABLEDRAGDROP 0x0010
#define TVS_SHOWSELALWAYS 0x0020
#define TVS_SINGLEEXPAND 0x0400
#define TVS_FULLROWSELECT 0x1000

#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFD)))

#define TVIF_TEXT 0x0001
#define TVIF_IMAGE 0x0002
#define TVIF_PARAM 0x0004
#define TVIF_STATE 0x0008
#define TVIF_HANDLE 0x0010
#define TVIF_SELECTEDIMAGE 0x0020
#define TVIF_CHILDREN 0x0040
#define TVIS_SELECTED 0x0002
#define TVIS_BOLD 0x0010
#define TVIS_EXPANDED 0x0020

struct TVITEMW {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;
};
using LPTVITEMW = TVITEMW*;
struct TVINSERTSTRUCTW {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEMW item;
};
using LPTVINSERTSTRUCTW = TVINSERTSTRUCTW*;

#define TVM_FIRST 0x1100
#define TVM_DELETEITEM (TVM_FIRST + 1)
#define TVM_EXPAND (TVM_FIRST + 2)
#define TVM_GETITEMRECT (TVM_FIRST + 4)
#define TVM_GETCOUNT (TVM_FIRST + 5)
#define TVM_GETINDENT (TVM_FIRST + 6)
#define TVM_GETNEXTITEM (TVM_FIRST + 10)
#define TVM_SELECTITEM (TVM_FIRST + 11)
#define TVM_HITTEST (TVM_FIRST + 17)
#define TVM_ENSUREVISIBLE (TVM_FIRST + 20)
#define TVM_GETITEMHEIGHT (TVM_FIRST + 28)
#define TVM_INSERTITEMW (TVM_FIRST + 50)
#define TVM_GETITEMW (TVM_FIRST + 62)
#define TVM_SETITEMW (TVM_FIRST + 63)

#define TVGN_ROOT 0x0000
#define TVGN_NEXT 0x0001
#define TVGN_PREVIOUS 0x0002
#define TVGN_PARENT 0x0003
#define TVGN_CHILD 0x0004
#define TVGN_FIRSTVISIBLE 0x0005
#define TVGN_NEXTVISIBLE 0x0006
#define TVGN_PREVIOUSVISIBLE 0x0007
#define TVGN_CARET 0x0009

#define TVE_COLLAPSE 0x0001
#define TVE_EXPAND 0x0002
#define TVE_TOGGLE 0x0003

#define TVHT_NOWHERE 0x0001
#define TVHT_ONITEMICON 0x0002
#define TVHT_ONITEMLABEL 0x0004
#define TVHT_ONITEMINDENT 0x0008
#define TVHT_ONITEMBUTTON 0x0010
#define TVHT_ONITEMRIGHT 0x0020
#define TVHT_ONITEMSTATEICON 0x0040
#define TVHT_ONITEM (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)
#define TVHT_ABOVE 0x0100
#define TVHT_BELOW 0x0200
#define TVHT_TORIGHT 0x0400
#define TVHT_TOLEFT 0x0800

struct TVHITTESTINFO {
  POINT pt;
  UINT flags;
  HTREEITEM hItem;
};
using LPTVHITTESTINFO = TVHITTESTINFO*;

#define TVN_FIRST (0U - 400U)
#define TVN_SELCHANGINGW (TVN_FIRST - 50)
#define TVN_SELCHANGEDW (TVN_FIRST - 51)
#define TVN_ITEMEXPANDEDW (TVN_FIRST - 55)
#define TVN_DELETEITEMW (TVN_FIRST - 58)
#define TVC_UNKNOWN 0x0000
#define TVC_BYMOUSE 0x0001
#define TVC_BYKEYBOARD 0x0002
struct NMTREEVIEWW {
  NMHDR hdr;
  UINT action;
  TVITEMW itemOld;
  TVITEMW itemNew;
  POINT ptDrag;
};
using LPNMTREEVIEWW = NMTREEVIEWW*;

class CTreeCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_TREEVIEWW, nullptr, style, rect, parent, id);
  }

  HTREEITEM InsertItem(LPTVINSERTSTRUCTW insert) {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(insert)));
  }
  HTREEITEM InsertItem(UINT mask, LPCWSTR text, int image, int selectedImage, UINT state, UINT stateMask, LPARAM param,
                       HTREEITEM parent, HTREEITEM after);
  HTREEITEM InsertItem(LPCWSTR text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST) {
    return InsertItem(TVIF_TEXT, text, 0, 0, 0, 0, 0, parent, after);
  }
  BOOL DeleteItem(HTREEITEM item) { return static_cast<BOOL>(SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item))); }
  BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }
  UINT GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }

  HTREEITEM GetNextItem(HTREEITEM item, UINT code) const {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
  }
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
  HTREEITEM GetPrevSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PREVIOUS); }
  HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  BOOL ItemHasChildren(HTREEITEM item) const { return GetChildItem(item) != nullptr; }

  BOOL GetItem(TVITEMW* item) const { return static_cast<BOOL>(SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(item))); }
  BOOL SetItem(TVITEMW* item) { return static_cast<BOOL>(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(item))); }
  CString GetItemText(HTREEITEM item) const;
  BOOL SetItemText(HTREEITEM item, LPCWSTR text);
  DWORD_PTR GetItemData(HTREEITEM item) const;
  BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
  UINT GetItemState(HTREEITEM item, UINT mask) const;
  BOOL SetItemState(HTREEITEM item, UINT state, UINT mask);

  BOOL SelectItem(HTREEITEM item) { return static_cast<BOOL>(SendMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item))); }
  BOOL Expand(HTREEITEM item, UINT code) { return static_cast<BOOL>(SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item))); }
  BOOL EnsureVisible(HTREEITEM item) { return static_cast<BOOL>(SendMessage(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item))); }
  // The item's row (or label only) in client coordinates; FALSE when it is not shown.
  BOOL GetItemRect(HTREEITEM item, LPRECT rect, BOOL textOnly) const;
  HTREEITEM HitTest(CPoint point, UINT* flags = nullptr) const;
  HTREEITEM HitTest(TVHITTESTINFO* info) const {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(info)));
  }
};
