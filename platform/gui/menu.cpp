// Menus: bars attached to windows and pop-ups tracked by the script.
#include <algorithm>
#include <cwchar>

#include "platform/gui/internal.h"

namespace platform::gui::detail {
// Answers a tracked pop-up (script.cpp): the command and whether the script gave it.
UINT AnswerPopup(HMENU menu, UINT flags, int x, int y, HWND owner);
}  // namespace platform::gui::detail

using namespace platform::gui::detail;

namespace {

HMENU NewMenu(bool popup) {
  auto* m = new Menu;
  m->popup = popup;
  Register(m);
  return ToHandle<HMENU>(m->handle);
}

// The item at a position or with a command id (searched in submenus too); the menu holding it.
MenuItem* Locate(HMENU handle, UINT item, UINT flags, Menu** owner = nullptr, size_t* index = nullptr) {
  Menu* m = FindMenu(handle);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) {
    if (item >= m->items.size()) return nullptr;
    if (owner) *owner = m;
    if (index) *index = item;
    return &m->items[item];
  }
  for (size_t i = 0; i < m->items.size(); ++i) {
    MenuItem& it = m->items[i];
    if (it.submenu) {
      if (MenuItem* found = Locate(it.submenu, item, flags, owner, index)) return found;
      continue;
    }
    if (!(it.flags & MF_SEPARATOR) && it.id == item) {
      if (owner) *owner = m;
      if (index) *index = i;
      return &it;
    }
  }
  return nullptr;
}

MenuItem MakeItem(UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text) {
  MenuItem item;
  item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_POPUP | MF_DEFAULT | MF_OWNERDRAW);
  if (flags & MF_POPUP) item.submenu = reinterpret_cast<HMENU>(idOrSubmenu);
  else item.id = idOrSubmenu;
  if (text && !(flags & (MF_SEPARATOR | MF_OWNERDRAW))) item.text = text;
  return item;
}

void Redraw(Menu* m) {
  if (m && m->window) InvalidateRect(m->window, nullptr, TRUE);
}

}  // namespace

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU handle) {
  Menu* m = FindMenu(handle);
  if (!m) return FALSE;
  std::vector<HMENU> subs;
  for (const MenuItem& it : m->items)
    if (it.submenu) subs.push_back(it.submenu);
  if (m->window)
    if (Window* w = FindWindow(m->window); w && w->menu == handle) w->menu = nullptr;
  Retire(m->handle);
  for (HMENU s : subs) DestroyMenu(s);
  return TRUE;
}

BOOL IsMenu(HMENU handle) { return FindMenu(handle) != nullptr; }

BOOL AppendMenuW(HMENU handle, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text) {
  Menu* m = FindMenu(handle);
  if (!m) return FALSE;
  if ((flags & MF_POPUP) && !FindMenu(reinterpret_cast<HMENU>(idOrSubmenu))) return FALSE;
  m->items.push_back(MakeItem(flags, idOrSubmenu, text));
  Redraw(m);
  return TRUE;
}

BOOL InsertMenuW(HMENU handle, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text) {
  Menu* m = FindMenu(handle);
  if (!m) return FALSE;
  if ((flags & MF_POPUP) && !FindMenu(reinterpret_cast<HMENU>(idOrSubmenu))) return FALSE;
  Menu* owner = m;
  size_t at = m->items.size();
  if (flags & MF_BYPOSITION) {
    if (position != 0xFFFFFFFF && position < m->items.size()) at = position;
  } else {
    size_t index = 0;
    if (!Locate(handle, position, MF_BYCOMMAND, &owner, &index)) return FALSE;
    at = index;
  }
  owner->items.insert(owner->items.begin() + static_cast<ptrdiff_t>(at), MakeItem(flags, idOrSubmenu, text));
  Redraw(m);
  return TRUE;
}

BOOL ModifyMenuW(HMENU handle, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text) {
  MenuItem* item = Locate(handle, position, flags & MF_BYPOSITION);
  if (!item) return FALSE;
  if ((flags & MF_POPUP) && !FindMenu(reinterpret_cast<HMENU>(idOrSubmenu))) return FALSE;
  // An item that opened a submenu destroys it when it is replaced by something else.
  HMENU old = item->submenu;
  *item = MakeItem(flags, idOrSubmenu, text);
  if (old && old != item->submenu) DestroyMenu(old);
  Redraw(FindMenu(handle));
  return TRUE;
}

namespace {
BOOL Take(HMENU handle, UINT position, UINT flags, bool destroy) {
  Menu* owner = nullptr;
  size_t index = 0;
  MenuItem* item = Locate(handle, position, flags & MF_BYPOSITION, &owner, &index);
  if (!item) return FALSE;
  HMENU sub = item->submenu;
  owner->items.erase(owner->items.begin() + static_cast<ptrdiff_t>(index));
  if (destroy && sub) DestroyMenu(sub);
  Redraw(FindMenu(handle));
  return TRUE;
}
}  // namespace

BOOL DeleteMenu(HMENU handle, UINT position, UINT flags) { return Take(handle, position, flags, true); }
BOOL RemoveMenu(HMENU handle, UINT position, UINT flags) { return Take(handle, position, flags, false); }

int GetMenuItemCount(HMENU handle) {
  Menu* m = FindMenu(handle);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU handle, int position) {
  Menu* m = FindMenu(handle);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return 0xFFFFFFFF;
  const MenuItem& it = m->items[static_cast<size_t>(position)];
  if (it.submenu) return 0xFFFFFFFF;
  if (it.flags & MF_SEPARATOR) return 0;
  return static_cast<UINT>(it.id);
}

HMENU GetSubMenu(HMENU handle, int position) {
  Menu* m = FindMenu(handle);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return nullptr;
  return m->items[static_cast<size_t>(position)].submenu;
}

int GetMenuStringW(HMENU handle, UINT item, LPWSTR text, int size, UINT flags) {
  MenuItem* it = Locate(handle, item, flags & MF_BYPOSITION);
  if (!it) return 0;
  if (!text || size <= 0) return static_cast<int>(it->text.size());
  const size_t n = std::min(it->text.size(), static_cast<size_t>(size - 1));
  std::wmemcpy(text, it->text.c_str(), n);
  text[n] = 0;
  return static_cast<int>(n);
}

UINT GetMenuState(HMENU handle, UINT item, UINT flags) {
  MenuItem* it = Locate(handle, item, flags & MF_BYPOSITION);
  if (!it) return 0xFFFFFFFF;
  UINT state = it->flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_DEFAULT);
  if (it->submenu) state |= MF_POPUP | (static_cast<UINT>(GetMenuItemCount(it->submenu)) << 8);
  return state;
}

UINT EnableMenuItem(HMENU handle, UINT item, UINT flags) {
  MenuItem* it = Locate(handle, item, flags & MF_BYPOSITION);
  if (!it) return 0xFFFFFFFF;
  const UINT previous = it->flags & (MF_GRAYED | MF_DISABLED);
  it->flags = (it->flags & ~static_cast<UINT>(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  Redraw(FindMenu(handle));
  return previous;
}

DWORD CheckMenuItem(HMENU handle, UINT item, UINT flags) {
  MenuItem* it = Locate(handle, item, flags & MF_BYPOSITION);
  if (!it) return 0xFFFFFFFF;
  const DWORD previous = it->flags & MF_CHECKED;
  it->flags = (it->flags & ~static_cast<UINT>(MF_CHECKED)) | (flags & MF_CHECKED);
  return previous;
}

BOOL SetMenuDefaultItem(HMENU handle, UINT item, UINT byPosition) {
  Menu* m = FindMenu(handle);
  if (!m) return FALSE;
  for (MenuItem& it : m->items) it.flags &= ~static_cast<UINT>(MF_DEFAULT);
  if (item == 0xFFFFFFFF) return TRUE;
  MenuItem* it = Locate(handle, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (!it) return FALSE;
  it->flags |= MF_DEFAULT;
  return TRUE;
}

BOOL SetMenu(HWND h, HMENU handle) {
  Window* w = FindWindow(h);
  if (!w || (w->style & WS_CHILD)) return FALSE;
  if (handle && !FindMenu(handle)) return FALSE;
  if (Menu* old = FindMenu(w->menu)) old->window = nullptr;
  w->menu = handle;
  if (Menu* m = FindMenu(handle)) m->window = h;
  InvalidateRect(h, nullptr, TRUE);
  const RECT c = ClientRectInWindow(*w);
  SendMessageW(h, WM_SIZE, 0, MAKELONG(c.right - c.left, c.bottom - c.top));
  return TRUE;
}

HMENU GetMenu(HWND h) {
  Window* w = FindWindow(h);
  if (!w || (w->style & WS_CHILD)) return nullptr;
  return FindMenu(w->menu) ? w->menu : nullptr;
}

BOOL DrawMenuBar(HWND h) { return InvalidateRect(h, nullptr, TRUE); }

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  if (!FindMenu(menu)) return FALSE;
  if (owner) SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  const UINT command = AnswerPopup(menu, flags, x, y, owner);
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(command);
  if (command && owner && !(flags & TPM_NONOTIFY)) SendMessageW(owner, WM_COMMAND, MAKELONG(command, 0), 0);
  return TRUE;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPVOID) {
  return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}
