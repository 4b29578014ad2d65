// The tree-view control of the headless window layer and the class library's CTreeCtrl.
#include <algorithm>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "platform/gui/internal.h"
#include "platform/gui/treectrl.h"

namespace {

constexpr int kRowHeight = 16;
constexpr int kIndent = 19;
constexpr int kLabelGap = 3;
constexpr int kLabelPad = 6;
constexpr UINT kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28;

struct Item {
  DWORD parent = 0;   // 0: a root item
  std::vector<DWORD> children;
  std::wstring text;
  LPARAM data = 0;
  UINT state = 0;     // TVIS_ bits (TVIS_SELECTED follows the selection)
};

struct Tree {
  std::map<DWORD, Item> items;
  std::vector<DWORD> roots;
  DWORD selected = 0;
};

std::map<HWND, Tree>& Trees() {
  static auto* t = new std::map<HWND, Tree>;
  return *t;
}
DWORD g_nextItem = 0;

DWORD IdOf(HTREEITEM item) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(item)); }
HTREEITEM HandleOf(DWORD id) { return reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(id)); }

Tree* TreeOf(HWND h) {
  auto it = Trees().find(h);
  return it == Trees().end() ? nullptr : &it->second;
}
Item* Find(Tree& t, HTREEITEM handle) {
  auto it = t.items.find(IdOf(handle));
  return it == t.items.end() ? nullptr : &it->second;
}
std::vector<DWORD>& Siblings(Tree& t, DWORD parent) { return parent ? t.items[parent].children : t.roots; }

int Level(Tree& t, DWORD id) {
  int level = 0;
  for (DWORD p = t.items[id].parent; p; p = t.items[p].parent) ++level;
  return level;
}

// The rows shown, top to bottom.
std::vector<DWORD> Rows(Tree& t) {
  std::vector<DWORD> rows;
  std::vector<std::pair<const std::vector<DWORD>*, size_t>> stack{{&t.roots, 0}};
  while (!stack.empty()) {
    auto& [list, index] = stack.back();
    if (index >= list->size()) {
      stack.pop_back();
      continue;
    }
    const DWORD id = (*list)[index++];
    rows.push_back(id);
    const Item& item = t.items[id];
    if ((item.state & TVIS_EXPANDED) && !item.children.empty()) stack.push_back({&item.children, 0});
  }
  return rows;
}

int TextWidth(HWND h, const std::wstring& text) {
  HDC dc = GetDC(h);
  if (!dc) return 0;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return size.cx;
}

int IndentOf(HWND h, Tree& t, DWORD id) {
  const bool atRoot = (GetWindowLongW(h, GWL_STYLE) & TVS_LINESATROOT) != 0;
  return (Level(t, id) + (atRoot ? 1 : 0)) * kIndent;
}

RECT LabelRect(HWND h, Tree& t, DWORD id, int row) {
  const int x = IndentOf(h, t, id) + kLabelGap;
  return RECT{x, row * kRowHeight, x + TextWidth(h, t.items[id].text) + kLabelPad, (row + 1) * kRowHeight};
}

HTREEITEM HitTest(HWND h, Tree& t, TVHITTESTINFO* info) {
  if (!info) return nullptr;
  info->hItem = nullptr;
  RECT client{};
  GetClientRect(h, &client);
  const POINT p = info->pt;
  UINT flags = 0;
  if (p.y < 0) flags |= TVHT_ABOVE;
  if (p.y >= client.bottom) flags |= TVHT_BELOW;
  if (p.x < 0) flags |= TVHT_TOLEFT;
  if (p.x >= client.right) flags |= TVHT_TORIGHT;
  if (flags) {
    info->flags = flags;
    return nullptr;
  }
  const std::vector<DWORD> rows = Rows(t);
  const size_t row = static_cast<size_t>(p.y / kRowHeight);
  if (row >= rows.size()) {
    info->flags = TVHT_NOWHERE;
    return nullptr;
  }
  const DWORD id = rows[row];
  const RECT label = LabelRect(h, t, id, static_cast<int>(row));
  const int indent = IndentOf(h, t, id);
  const bool buttons = (GetWindowLongW(h, GWL_STYLE) & TVS_HASBUTTONS) != 0;
  if (p.x < indent) {
    flags = buttons && !t.items[id].children.empty() && p.x >= indent - kIndent ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  } else if (p.x < label.left) {
    flags = TVHT_ONITEMINDENT;
  } else if (p.x < label.right) {
    flags = TVHT_ONITEMLABEL;
  } else {
    flags = TVHT_ONITEMRIGHT;
  }
  info->flags = flags;
  info->hItem = HandleOf(id);
  return info->hItem;
}

void FillItem(const Item& item, DWORD id, TVITEMW& out) {
  out = TVITEMW{};
  out.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE | TVIF_TEXT | TVIF_CHILDREN;
  out.hItem = HandleOf(id);
  out.state = item.state;
  out.stateMask = 0xFFFF;
  out.lParam = item.data;
  out.cChildren = item.children.empty() ? 0 : 1;
}

LRESULT Notify(HWND h, UINT code, UINT action, DWORD oldId, DWORD newId) {
  Tree* t = TreeOf(h);
  HWND parent = GetParent(h);
  if (!t || !parent) return 0;
  NMTREEVIEWW nm{};
  nm.hdr.hwndFrom = h;
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(h));
  nm.hdr.code = code;
  nm.action = action;
  if (oldId && t->items.count(oldId)) FillItem(t->items[oldId], oldId, nm.itemOld);
  if (newId && t->items.count(newId)) FillItem(t->items[newId], newId, nm.itemNew);
  return SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

BOOL Select(HWND h, DWORD id, UINT action) {
  Tree* t = TreeOf(h);
  if (!t || (id && !t->items.count(id))) return FALSE;
  const DWORD old = t->selected;
  if (old == id) return TRUE;
  if (Notify(h, TVN_SELCHANGINGW, action, old, id) != 0) return FALSE;
  t = TreeOf(h);
  if (!t || (id && !t->items.count(id))) return FALSE;
  if (t->items.count(old)) t->items[old].state &= ~static_cast<UINT>(TVIS_SELECTED);
  t->selected = id;
  if (id) {
    t->items[id].state |= TVIS_SELECTED;
    for (DWORD p = t->items[id].parent; p; p = t->items[p].parent) t->items[p].state |= TVIS_EXPANDED;
  }
  InvalidateRect(h, nullptr, TRUE);
  Notify(h, TVN_SELCHANGEDW, action, old, id);
  return TRUE;
}

void Erase(Tree& t, DWORD id) {
  std::vector<DWORD> stack{id};
  while (!stack.empty()) {
    const DWORD current = stack.back();
    stack.pop_back();
    auto it = t.items.find(current);
    if (it == t.items.end()) continue;
    stack.insert(stack.end(), it->second.children.begin(), it->second.children.end());
    if (t.selected == current) t.selected = 0;
    t.items.erase(it);
  }
}

BOOL Expand(HWND h, Tree& t, DWORD id, UINT code) {
  auto it = t.items.find(id);
  if (it == t.items.end()) return FALSE;
  UINT& state = it->second.state;
  const UINT before = state;
  switch (code & 0x3) {
    case TVE_COLLAPSE: state &= ~static_cast<UINT>(TVIS_EXPANDED); break;
    case TVE_EXPAND: state |= TVIS_EXPANDED; break;
    case TVE_TOGGLE: state ^= TVIS_EXPANDED; break;
    default: return FALSE;
  }
  // A selection hidden by collapsing moves to the collapsed item.
  if (!(state & TVIS_EXPANDED) && t.selected && t.selected != id) {
    for (DWORD p = t.items[t.selected].parent; p; p = t.items[p].parent)
      if (p == id) {
        Select(h, id, TVC_UNKNOWN);
        break;
      }
  }
  if (state != before) InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

void Paint(HWND h) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(h, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  Tree* t = TreeOf(h);
  if (t) {
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
    const bool focused = GetFocus() == h;
    const std::vector<DWORD> rows = Rows(*t);
    for (size_t row = 0; row < rows.size() && static_cast<int>(row) * kRowHeight < client.bottom; ++row) {
      const DWORD id = rows[row];
      const Item& item = t->items[id];
      RECT label = LabelRect(h, *t, id, static_cast<int>(row));
      if ((style & TVS_HASBUTTONS) && !item.children.empty()) {
        const int cx = IndentOf(h, *t, id) - kIndent / 2, cy = label.top + kRowHeight / 2;
        RECT box{cx - 4, cy - 4, cx + 5, cy + 5};
        FrameRect(dc, &box, GetSysColorBrush(COLOR_GRAYTEXT));
        RECT minus{cx - 2, cy, cx + 3, cy + 1};
        FillRect(dc, &minus, GetSysColorBrush(COLOR_WINDOWTEXT));
        if (!(item.state & TVIS_EXPANDED)) {
          RECT plus{cx, cy - 2, cx + 1, cy + 3};
          FillRect(dc, &plus, GetSysColorBrush(COLOR_WINDOWTEXT));
        }
      }
      const bool selected = id == t->selected && (focused || (style & TVS_SHOWSELALWAYS));
      if (selected) FillRect(dc, &label, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      RECT text = label;
      text.left += kLabelPad / 2;
      DrawTextW(dc, item.text.c_str(), static_cast<int>(item.text.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
  }
  EndPaint(h, &ps);
}

LRESULT TreeProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) Trees()[h];
  Tree* t = TreeOf(h);
  if (!t) return DefWindowProcW(h, message, wParam, lParam);
  switch (message) {
    case TVM_INSERTITEMW: {
      auto* insert = reinterpret_cast<TVINSERTSTRUCTW*>(lParam);
      if (!insert) return 0;
      DWORD parent = 0;
      if (insert->hParent && insert->hParent != TVI_ROOT) {
        parent = IdOf(insert->hParent);
        if (!t->items.count(parent)) return 0;
      }
      Item item;
      item.parent = parent;
      if ((insert->item.mask & TVIF_TEXT) && insert->item.pszText &&
          insert->item.pszText != reinterpret_cast<LPWSTR>(static_cast<LONG_PTR>(-1)))
        item.text = insert->item.pszText;
      if (insert->item.mask & TVIF_PARAM) item.data = insert->item.lParam;
      if (insert->item.mask & TVIF_STATE)
        item.state = insert->item.state & insert->item.stateMask & (TVIS_BOLD | TVIS_EXPANDED);
      const DWORD id = ++g_nextItem;
      std::vector<DWORD>& list = Siblings(*t, parent);
      auto at = list.end();
      if (insert->hInsertAfter == TVI_FIRST) {
        at = list.begin();
      } else if (insert->hInsertAfter == TVI_SORT) {
        at = std::find_if(list.begin(), list.end(), [&](DWORD other) {
          return platform::CompareNoCase(t->items[other].text, item.text) > 0;
        });
      } else if (insert->hInsertAfter && insert->hInsertAfter != TVI_LAST) {
        auto after = std::find(list.begin(), list.end(), IdOf(insert->hInsertAfter));
        if (after != list.end()) at = after + 1;
      }
      list.insert(at, id);
      t->items[id] = std::move(item);
      InvalidateRect(h, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(HandleOf(id));
    }
    case TVM_DELETEITEM: {
      auto item = reinterpret_cast<HTREEITEM>(lParam);
      if (!item || item == TVI_ROOT) {
        t->items.clear();
        t->roots.clear();
        t->selected = 0;
      } else {
        const DWORD id = IdOf(item);
        if (!t->items.count(id)) return FALSE;
        std::vector<DWORD>& list = Siblings(*t, t->items[id].parent);
        list.erase(std::remove(list.begin(), list.end(), id), list.end());
        Erase(*t, id);
      }
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETCOUNT: return static_cast<LRESULT>(t->items.size());
    case TVM_GETINDENT: return kIndent;
    case TVM_GETITEMHEIGHT: return kRowHeight;
    case TVM_EXPAND: return Expand(h, *t, IdOf(reinterpret_cast<HTREEITEM>(lParam)), static_cast<UINT>(wParam));
    case TVM_ENSUREVISIBLE: {
      const DWORD id = IdOf(reinterpret_cast<HTREEITEM>(lParam));
      if (!t->items.count(id)) return FALSE;
      for (DWORD p = t->items[id].parent; p; p = t->items[p].parent) t->items[p].state |= TVIS_EXPANDED;
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETNEXTITEM: {
      const DWORD id = IdOf(reinterpret_cast<HTREEITEM>(lParam));
      const bool known = t->items.count(id) != 0;
      switch (wParam) {
        case TVGN_ROOT: return t->roots.empty() ? 0 : reinterpret_cast<LRESULT>(HandleOf(t->roots.front()));
        case TVGN_CARET: return reinterpret_cast<LRESULT>(t->selected ? HandleOf(t->selected) : nullptr);
        case TVGN_CHILD: {
          if (!lParam || reinterpret_cast<HTREEITEM>(lParam) == TVI_ROOT)
            return t->roots.empty() ? 0 : reinterpret_cast<LRESULT>(HandleOf(t->roots.front()));
          if (!known || t->items[id].children.empty()) return 0;
          return reinterpret_cast<LRESULT>(HandleOf(t->items[id].children.front()));
        }
        case TVGN_PARENT: return known && t->items[id].parent ? reinterpret_cast<LRESULT>(HandleOf(t->items[id].parent)) : 0;
        case TVGN_NEXT:
        case TVGN_PREVIOUS: {
          if (!known) return 0;
          const std::vector<DWORD>& list = Siblings(*t, t->items[id].parent);
          auto it = std::find(list.begin(), list.end(), id);
          if (wParam == TVGN_NEXT) return it + 1 < list.end() ? reinterpret_cast<LRESULT>(HandleOf(*(it + 1))) : 0;
          return it != list.begin() ? reinterpret_cast<LRESULT>(HandleOf(*(it - 1))) : 0;
        }
        case TVGN_FIRSTVISIBLE:
        case TVGN_NEXTVISIBLE:
        case TVGN_PREVIOUSVISIBLE: {
          const std::vector<DWORD> rows = Rows(*t);
          if (wParam == TVGN_FIRSTVISIBLE) return rows.empty() ? 0 : reinterpret_cast<LRESULT>(HandleOf(rows.front()));
          auto it = std::find(rows.begin(), rows.end(), id);
          if (it == rows.end()) return 0;
          if (wParam == TVGN_NEXTVISIBLE) return it + 1 < rows.end() ? reinterpret_cast<LRESULT>(HandleOf(*(it + 1))) : 0;
          return it != rows.begin() ? reinterpret_cast<LRESULT>(HandleOf(*(it - 1))) : 0;
        }
        default: return 0;
      }
    }
    case TVM_SELECTITEM:
      if (wParam != TVGN_CARET) return FALSE;
      return Select(h, IdOf(reinterpret_cast<HTREEITEM>(lParam)), TVC_UNKNOWN);
    case TVM_GETITEMW: {
      auto* out = reinterpret_cast<TVITEMW*>(lParam);
      if (!out) return FALSE;
      Item* item = Find(*t, out->hItem);
      if (!item) return FALSE;
      if ((out->mask & TVIF_TEXT) && out->pszText && out->cchTextMax > 0) {
        const size_t n = std::min(item->text.size(), static_cast<size_t>(out->cchTextMax - 1));
        std::wmemcpy(out->pszText, item->text.data(), n);
        out->pszText[n] = 0;
      }
      if (out->mask & TVIF_PARAM) out->lParam = item->data;
      if (out->mask & TVIF_STATE) out->state = item->state & (out->stateMask ? out->stateMask : 0xFFFF);
      if (out->mask & TVIF_CHILDREN) out->cChildren = item->children.empty() ? 0 : 1;
      return TRUE;
    }
    case TVM_SETITEMW: {
      auto* in = reinterpret_cast<TVITEMW*>(lParam);
      if (!in) return FALSE;
      Item* item = Find(*t, in->hItem);
      if (!item) return FALSE;
      if ((in->mask & TVIF_TEXT) && in->pszText) item->text = in->pszText;
      if (in->mask & TVIF_PARAM) item->data = in->lParam;
      if (in->mask & TVIF_STATE) {
        const UINT mask = in->stateMask & (TVIS_BOLD | TVIS_EXPANDED);
        item->state = (item->state & ~mask) | (in->state & mask);
      }
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (!rect) return FALSE;
      HTREEITEM handle;
      std::memcpy(&handle, rect, sizeof handle);
      const DWORD id = IdOf(handle);
      const std::vector<DWORD> rows = Rows(*t);
      auto it = std::find(rows.begin(), rows.end(), id);
      if (it == rows.end()) return FALSE;
      const int row = static_cast<int>(it - rows.begin());
      RECT client{};
      GetClientRect(h, &client);
      *rect = wParam ? LabelRect(h, *t, id, row) : RECT{0, row * kRowHeight, client.right, (row + 1) * kRowHeight};
      return TRUE;
    }
    case TVM_HITTEST: return reinterpret_cast<LRESULT>(HitTest(h, *t, reinterpret_cast<TVHITTESTINFO*>(lParam)));
    case WM_LBUTTONDOWN: {
      TVHITTESTINFO info{};
      info.pt = POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      SetFocus(h);
      if (HTREEITEM item = HitTest(h, *t, &info)) {
        if (info.flags & TVHT_ONITEMBUTTON) Expand(h, *t, IdOf(item), TVE_TOGGLE);
        else Select(h, IdOf(item), TVC_BYMOUSE);
      }
      return 0;
    }
    case WM_KEYDOWN: {
      const std::vector<DWORD> rows = Rows(*t);
      if (rows.empty()) return 0;
      auto it = std::find(rows.begin(), rows.end(), t->selected);
      if (wParam == kVkDown) Select(h, it == rows.end() ? rows.front() : (it + 1 < rows.end() ? *(it + 1) : *it), TVC_BYKEYBOARD);
      else if (wParam == kVkUp) Select(h, it == rows.end() ? rows.front() : (it != rows.begin() ? *(it - 1) : *it), TVC_BYKEYBOARD);
      else if (wParam == kVkRight && t->selected) Expand(h, *t, t->selected, TVE_EXPAND);
      else if (wParam == kVkLeft && t->selected) {
        if (t->items[t->selected].state & TVIS_EXPANDED) Expand(h, *t, t->selected, TVE_COLLAPSE);
        else if (t->items[t->selected].parent) Select(h, t->items[t->selected].parent, TVC_BYKEYBOARD);
      } else {
        return DefWindowProcW(h, message, wParam, lParam);
      }
      return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(h, nullptr, TRUE); return 0;
    case WM_PAINT: Paint(h); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_NCDESTROY: Trees().erase(h); return DefWindowProcW(h, message, wParam, lParam);
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

}  // namespace

namespace platform::gui::detail {
void RegisterTreeViewClass() { RegisterClassDirect(WC_TREEVIEWW, TreeProc, nullptr); }
}  // namespace platform::gui::detail

// --- CTreeCtrl

HTREEITEM CTreeCtrl::InsertItem(UINT mask, LPCWSTR text, int image, int selectedImage, UINT state, UINT stateMask,
                                LPARAM param, HTREEITEM parent, HTREEITEM after) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = after;
  insert.item.mask = mask;
  insert.item.pszText = const_cast<LPWSTR>(text);
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  insert.item.state = state;
  insert.item.stateMask = stateMask;
  insert.item.lParam = param;
  return InsertItem(&insert);
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const {
  std::wstring buffer(4096, L'\0');
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = buffer.data();
  tv.cchTextMax = static_cast<int>(buffer.size());
  if (!GetItem(&tv)) return CString();
  return CString(buffer.c_str());
}

BOOL CTreeCtrl::SetItemText(HTREEITEM item, LPCWSTR text) {
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = const_cast<LPWSTR>(text ? text : L"");
  return SetItem(&tv);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const {
  TVITEMW tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  return GetItem(&tv) ? static_cast<DWORD_PTR>(tv.lParam) : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data) {
  TVITEMW tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  tv.lParam = static_cast<LPARAM>(data);
  return SetItem(&tv);
}

UINT CTreeCtrl::GetItemState(HTREEITEM item, UINT mask) const {
  TVITEMW tv{};
  tv.mask = TVIF_STATE;
  tv.hItem = item;
  tv.stateMask = mask;
  return GetItem(&tv) ? (tv.state & mask) : 0;
}

BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT mask) {
  TVITEMW tv{};
  tv.mask = TVIF_STATE;
  tv.hItem = item;
  tv.state = state;
  tv.stateMask = mask;
  return SetItem(&tv);
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM item, LPRECT rect, BOOL textOnly) const {
  if (!rect) return FALSE;
  std::memcpy(rect, &item, sizeof item);
  return static_cast<BOOL>(SendMessage(TVM_GETITEMRECT, static_cast<WPARAM>(textOnly), reinterpret_cast<LPARAM>(rect)));
}

HTREEITEM CTreeCtrl::HitTest(CPoint point, UINT* flags) const {
  TVHITTESTINFO info{};
  info.pt = point;
  HTREEITEM item = HitTest(&info);
  if (flags) *flags = info.flags;
  return item;
}
