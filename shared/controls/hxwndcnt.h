#pragma once
// Two small helpers for the host's windows.
//
// CHxWndCnt lays a set of child windows out in one row: the first at x 20, y 0, each next one
// right after the previous one (no gaps), each at its preferred width and at the common height
// (or its own height while the common height is 0). The container keeps the elements in the
// order added and never deletes them.
//
// CHxCtrlStateController collects "enable" and "disable" requests for the controls of a dialog
// and applies them in one pass; a disable request wins over any enable request for the same
// control.
#include <vector>

#include "platform/gui/afxwin.h"

// One child window of a CHxWndCnt; the host derives one per window.
class CHxWnd {
 public:
  // The window to place; null leaves the element out of the layout (its place stays empty).
  virtual CWnd* GetWnd() = 0;
  // The window's preferred size.
  virtual void GetSize(CSize& size) = 0;

 protected:
  ~CHxWnd() = default;
};

class CHxWndCnt {
 public:
  CHxWndCnt() = default;
  virtual ~CHxWndCnt();
  CHxWndCnt(const CHxWndCnt&) = delete;
  CHxWndCnt& operator=(const CHxWndCnt&) = delete;

  void Add(CHxWnd* window);
  void RemoveAll() { m_windows.clear(); }
  void SetWndHeight(int height) { m_height = height; }
  int GetWndHeight() const { return m_height; }
  int GetCount() const { return static_cast<int>(m_windows.size()); }

  // One deferred repositioning of every element (z-order and activation unchanged).
  void LineLayout();

  static constexpr int kFirstX = 20;

 private:
  std::vector<CHxWnd*> m_windows;
  int m_height = 0;
};

class CHxCtrlStateController {
 public:
  explicit CHxCtrlStateController(HWND dialog) : m_dialog(dialog) {}

  // A request to enable or disable control `id` (see above).
  void Enable(UINT id, bool enable);
  bool Disabled(UINT id) const;
  // Enables every control of the enabled list, then disables every one of the disabled list.
  void UpdateCtrlState();

  const std::vector<UINT>& EnabledIds() const { return m_enabled; }
  const std::vector<UINT>& DisabledIds() const { return m_disabled; }

 private:
  std::vector<UINT> m_enabled;
  std::vector<UINT> m_disabled;
  HWND m_dialog;
};
