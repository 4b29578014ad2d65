#include "framework/flexlayout.h"

void CFlgFlexLayout::Attach(HWND dialog) {
  m_items.clear();
  m_dialog = dialog;
  RECT client{};
  GetClientRect(dialog, &client);
  m_reference = SIZE{client.right - client.left, client.bottom - client.top};
}

BOOL CFlgFlexLayout::Add(UINT id, DWORD flags) {
  HWND control = m_dialog ? GetDlgItem(m_dialog, static_cast<int>(id)) : nullptr;
  if (!control) return FALSE;
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, m_dialog, reinterpret_cast<POINT*>(&r), 2);
  for (Item& item : m_items)
    if (item.id == id) {
      item.flags = flags;
      item.rect = r;
      return TRUE;
    }
  m_items.push_back(Item{id, flags, r});
  return TRUE;
}

void CFlgFlexLayout::Apply(int cx, int cy) {
  if (!m_dialog || !IsWindow(m_dialog)) return;
  const int dx = cx - m_reference.cx, dy = cy - m_reference.cy;
  for (const Item& item : m_items) {
    HWND control = GetDlgItem(m_dialog, static_cast<int>(item.id));
    if (!control) continue;
    RECT r = item.rect;
    if (item.flags & kFlexMoveRight) {
      r.left += dx;
      r.right += dx;
    } else if (item.flags & kFlexGrowRight) {
      r.right += dx;
    }
    if (item.flags & kFlexMoveDown) {
      r.top += dy;
      r.bottom += dy;
    } else if (item.flags & kFlexGrowDown) {
      r.bottom += dy;
    }
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
}

void CFlgFlexLayout::Clear() {
  m_items.clear();
  m_dialog = nullptr;
}
