#pragma once
// Hover tracking of one window: tells the owner when the pointer comes and goes (WM_COMMAND 1025
// and 1026), repaints or re-frames it, and asks the window layer for the leave notification.
#include "platform/gui/afxwin.h"

class CHxMouseMgr {
 public:
  enum : WORD { kInvalidate = 0x0001, kFrameChanged = 0x0002 };
  enum : WPARAM { kMouseIn = 1025, kMouseOut = 1026 };

  // The owner and flags, once: a second call changes nothing.
  void Init(HWND owner, WORD flags);
  bool MouseOver() const { return m_mouseOver; }
  // The pointer moved over `window` (null: the owner); true when the hover began.
  bool OnMouseMove(HWND window = nullptr);
  // The pointer left `window` (null: the owner); true when the hover ended.
  bool OnMouseOut(HWND window = nullptr);
  HWND Owner() const { return m_owner; }
  HWND Tracked() const { return m_tracked; }

 private:
  void Changed();
  static void Track(HWND window, DWORD flags);
  HWND m_owner = nullptr;
  HWND m_tracked = nullptr;
  WORD m_flags = 0;
  bool m_mouseOver = false;
};
