#include "shared/controls/hxmousemgr.h"

void CHxMouseMgr::Init(HWND owner, WORD flags) {
  if (m_owner) return;
  m_owner = owner;
  m_flags = flags;
}

void CHxMouseMgr::Track(HWND window, DWORD flags) {
  TRACKMOUSEEVENT t{sizeof t, flags, window, 0};
  TrackMouseEvent(&t);
}

void CHxMouseMgr::Changed() {
  if (!IsWindow(m_owner)) return;
  if (m_flags & kInvalidate) InvalidateRect(m_owner, nullptr, TRUE);
  if (m_flags & kFrameChanged)
    SetWindowPos(m_owner, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
}

bool CHxMouseMgr::OnMouseMove(HWND window) {
  if (!m_owner) return false;
  if (!window) window = m_owner;
  if (!m_mouseOver) {
    SendMessageW(m_owner, WM_COMMAND, kMouseIn, 0);
    m_mouseOver = true;
    Changed();
    Track(window, TME_LEAVE);
    m_tracked = window;
    return true;
  }
  if (window != m_tracked) {
    Track(m_tracked, TME_LEAVE | TME_CANCEL);
    Track(window, TME_LEAVE);
    m_tracked = window;
  }
  return false;
}

bool CHxMouseMgr::OnMouseOut(HWND window) {
  if (!m_mouseOver) return false;
  if (!window) window = m_owner;
  SendMessageW(m_owner, WM_COMMAND, kMouseOut, 0);
  if (window != m_tracked) return false;
  m_mouseOver = false;
  Changed();
  return true;
}
