#include "shared/controls/hxwndcnt.h"

#include <algorithm>

CHxWndCnt::~CHxWndCnt() = default;

void CHxWndCnt::Add(CHxWnd* window) {
  if (window) m_windows.push_back(window);
}

void CHxWndCnt::LineLayout() {
  if (m_windows.empty()) return;
  HDWP positions = BeginDeferWindowPos(static_cast<int>(m_windows.size()));
  if (!positions) return;
  int x = kFirstX;
  for (CHxWnd* element : m_windows) {
    CSize size(0, 0);
    element->GetSize(size);
    CWnd* window = element->GetWnd();
    const HWND h = window ? window->m_hWnd : nullptr;
    if (h && IsWindow(h)) {
      int height = m_height;
      if (height <= 0) {
        CRect own;
        ::GetWindowRect(h, own);
        height = own.Height();
      }
      positions = DeferWindowPos(positions, h, nullptr, x, 0, size.cx, height, SWP_NOZORDER | SWP_NOACTIVATE);
      if (!positions) return;
    }
    x += size.cx;
  }
  EndDeferWindowPos(positions);
}

void CHxCtrlStateController::Enable(UINT id, bool enable) {
  if (!enable) {
    if (Disabled(id)) return;
    m_disabled.push_back(id);
    m_enabled.erase(std::remove(m_enabled.begin(), m_enabled.end(), id), m_enabled.end());
    return;
  }
  if (Disabled(id)) return;
  m_enabled.push_back(id);
}

bool CHxCtrlStateController::Disabled(UINT id) const {
  return std::find(m_disabled.begin(), m_disabled.end(), id) != m_disabled.end();
}

void CHxCtrlStateController::UpdateCtrlState() {
  if (!m_dialog || !IsWindow(m_dialog)) return;
  for (UINT id : m_enabled)
    if (HWND control = ::GetDlgItem(m_dialog, static_cast<int>(id))) ::EnableWindow(control, TRUE);
  for (UINT id : m_disabled)
    if (HWND control = ::GetDlgItem(m_dialog, static_cast<int>(id))) ::EnableWindow(control, FALSE);
}
