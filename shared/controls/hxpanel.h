#pragma once
// The task pane: a vertical stack of panels, each group a header (CHxTaskGroup) followed by its
// links (CHxTaskControl), held in a container window (CHxTaskPanel) that can fold its links away.
// Containers (CHxWndPanel) are panels themselves and place their elements with a layout
// strategy (CHxVerticalLayout). Links report to their parent with WM_COMMAND (the link's id and
// window); a container passes on what it does not handle itself to its own parent.
#include <vector>

#include "platform/gui/afxwin.h"
#include "shared/controls/hxmousemgr.h"

class CHxPanel {
 public:
  virtual void SetId(int id) = 0;
  virtual int Id() const = 0;
  virtual ~CHxPanel() = default;
  virtual CString GetCaption() = 0;
  virtual int Width() { return GetRect().Width(); }
  virtual int Height() { return GetRect().Height(); }
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual int GetMarginTop() = 0;
  virtual int GetMarginLeft() = 0;
  virtual int GetMarginRight() = 0;
  virtual int GetMarginBottom() = 0;
  virtual void SetMarginTop(int) {}
  virtual void SetMarginLeft(int) {}
  virtual void SetMarginRight(int) {}
  virtual void SetMarginBottom(int) {}
  virtual void ApplyLayout() = 0;
  virtual void ComputeLayout() = 0;
  virtual void SetMargins(int margin) {
    SetMarginTop(margin);
    SetMarginLeft(margin);
    SetMarginRight(margin);
    SetMarginBottom(margin);
  }
  virtual BOOL Create(CWnd* parent) = 0;
  virtual CRect GetRect() = 0;
  virtual void SetRc(const CRect& rect) = 0;
  virtual void MoveWindowToRect() = 0;
  virtual bool Movable() { return true; }
  virtual void SetMovable(bool movable) = 0;
  virtual CHxPanel* GetParentPanel() = 0;
  virtual void SetParentPanel(CHxPanel* parent) = 0;
  virtual bool SizingToContent() = 0;
  virtual void SetSizingToContent(bool sizing) = 0;
  virtual bool Visible() = 0;
  virtual void SetVisible(bool visible) = 0;
  // This panel when the id is its own, else null.
  virtual CHxPanel* FindItem(int id) { return Id() == id ? this : nullptr; }
  // The topmost panel above this one (itself without a parent).
  virtual CHxPanel* GetRootPanel();
  virtual void EraseBkgnd(CDC* dc) = 0;
  virtual HWND GetHWND() = 0;
  virtual void SetDimensions(int width, int height) = 0;
};

// The layout strategy of a container.
class CHxPanelLayout {
 public:
  virtual ~CHxPanelLayout() = default;
  virtual void Arrange(std::vector<CHxPanel*>& panels) = 0;
};

// Top to bottom from y 0, each element at its left margin and its own size, its margins and the
// gap apart. An invisible element takes no room (no gap either).
class CHxVerticalLayout : public CHxPanelLayout {
 public:
  explicit CHxVerticalLayout(int gap = 0) : m_gap(gap) {}
  void Arrange(std::vector<CHxPanel*>& panels) override;
  int Gap() const { return m_gap; }

 private:
  int m_gap;
};

// What the panel windows share: the rectangle in the parent's client coordinates, margins, the
// flags and the background colour. An invisible panel reports an empty rectangle and no margins
// and ignores new rectangles.
class CHxWndPanelImpl : public CHxPanel {
 public:
  explicit CHxWndPanelImpl(int id);
  CHxWndPanelImpl(const CHxWndPanelImpl&) = default;
  CHxWndPanelImpl& operator=(const CHxWndPanelImpl&) = default;

  void SetId(int id) override { m_id = id; }
  int Id() const override { return m_id; }
  // The window's text (kept), or empty without a window.
  CString GetCaption() override;
  void SetWidth(int width) override { m_rect.right = m_rect.left + width; }
  void SetHeight(int height) override { m_rect.bottom = m_rect.top + height; }
  void SetDimensions(int width, int height) override {
    SetWidth(width);
    SetHeight(height);
  }
  int GetMarginTop() override { return m_visible ? m_marginTop : 0; }
  int GetMarginLeft() override { return m_visible ? m_marginLeft : 0; }
  int GetMarginRight() override { return m_visible ? m_marginRight : 0; }
  int GetMarginBottom() override { return m_visible ? m_marginBottom : 0; }
  void SetMarginTop(int m) override { m_marginTop = m; }
  void SetMarginLeft(int m) override { m_marginLeft = m; }
  void SetMarginRight(int m) override { m_marginRight = m; }
  void SetMarginBottom(int m) override { m_marginBottom = m; }
  // Moves the window to the rectangle and shows it (without activating) or hides it.
  void ApplyLayout() override;
  void ComputeLayout() override {}
  CRect GetRect() override { return m_visible ? m_rect : m_empty; }
  // A movable panel takes the rectangle; one that is not keeps its place and takes the size.
  void SetRc(const CRect& rect) override;
  void MoveWindowToRect() override;
  bool Movable() override { return m_movable; }
  // Made not movable, a panel with a window first takes the window's place in its parent.
  void SetMovable(bool movable) override;
  CHxPanel* GetParentPanel() override { return m_parent; }
  void SetParentPanel(CHxPanel* parent) override { m_parent = parent; }
  bool SizingToContent() override { return m_sizingToContent; }
  void SetSizingToContent(bool sizing) override { m_sizingToContent = sizing; }
  bool Visible() override { return m_visible; }
  void SetVisible(bool visible) override { m_visible = visible; }
  // Fills the window's client area with the background colour.
  void EraseBkgnd(CDC* dc) override;
  void SetBkgndColor(COLORREF color) { m_bkgndColor = color; }
  COLORREF GetBkgndColor() const { return m_bkgndColor; }

 protected:
  CRect m_rect;
  CRect m_empty;
  int m_marginTop = 0;
  int m_marginLeft = 0;
  int m_marginRight = 0;
  int m_marginBottom = 0;
  CString m_caption;
  bool m_sizingToContent = false;
  bool m_movable = true;
  bool m_visible = true;
  int m_id;
  CHxPanel* m_parent = nullptr;
  COLORREF m_bkgndColor;
};

// A link of the task pane: an icon and an underlined-on-hover text.
class CHxTaskControl : public CWnd, public CHxWndPanelImpl {
 public:
  explicit CHxTaskControl(int id);
  ~CHxTaskControl() override;
  using CWnd::Create;
  // The child window (empty, text to be set by the host) with the panel id as its control id.
  BOOL Create(CWnd* parent) override;
  HWND GetHWND() override { return m_hWnd; }
  // The text's width in the link's font (9 points bold and underlined when emphasised, else 8).
  int TextWidth();
  void SetEnabled(bool enabled);
  bool Enabled() const { return m_enabled; }
  void SetEmph(bool emphasised);
  bool Emphasized() const { return m_emphasised; }
  // Takes the bitmap (the one it replaces is deleted).
  void SetIcon(HBITMAP icon);
  HBITMAP GetIcon() const { return m_icon; }
  void SetPlaceForBitmap(bool place) { m_placeForBitmap = place; }
  bool PlaceForBitmap() const { return m_placeForBitmap; }
  CHxMouseMgr& MouseMgr() { return m_mouse; }

  static constexpr COLORREF kLinkColor = 0x75401E;

 protected:
  void OnPaint() override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnMouseLeave() override;
  BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  BOOL OnEraseBkgnd(CDC* dc) override { return TRUE; }

  HBITMAP m_icon = nullptr;
  CHxMouseMgr m_mouse;
  bool m_enabled = true;
  bool m_emphasised = false;
  bool m_placeForBitmap = true;
};

// The header of a task group.
class CHxTaskGroup : public CWnd, public CHxWndPanelImpl {
 public:
  explicit CHxTaskGroup(int id);
  using CWnd::Create;
  BOOL Create(CWnd* parent) override;
  HWND GetHWND() override { return m_hWnd; }
  void SetTextColor(COLORREF color) { m_textColor = color; }
  COLORREF GetTextColor() const { return m_textColor; }

 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  COLORREF m_textColor;
};

// A container of panels (owned: deleted with it), laid out by its layout (a vertical one with no
// gap unless set).
class CHxWndPanel : public CButton, public CHxWndPanelImpl {
 public:
  CHxWndPanel();
  ~CHxWndPanel() override;
  CHxWndPanel(const CHxWndPanel&) = delete;
  CHxWndPanel& operator=(const CHxWndPanel&) = delete;

  // Takes the element and becomes its parent panel.
  void AddElement(CHxPanel* element);
  int GetElementCount() const { return static_cast<int>(m_elements.size()); }
  CHxPanel* GetElement(int index) const;
  using CWnd::Create;
  // Its "Static" window (when it has none yet; the tick count as control id), then the elements'.
  BOOL Create(CWnd* parent) override;
  // Each element's window in order, stopping at the first that fails.
  BOOL CreateWindows();
  HWND GetHWND() override { return m_hWnd; }
  // Deletes the layout it had and keeps this one.
  void SetLayout(CHxPanelLayout* layout);
  CHxPanelLayout* GetLayout() const { return m_layout; }
  CHxPanel* FindItem(int id) override;
  // The union of the elements' rectangles; empty without elements or while invisible.
  CRect CalcRect();
  void ComputeLayout() override;
  void ApplyLayout() override;

 protected:
  virtual void OnResize() { ApplyLayout(); }
  void OnPaint() override;
  void OnSize(UINT type, int cx, int cy) override;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  std::vector<CHxPanel*> m_elements;
  CHxPanelLayout* m_layout = nullptr;
};

// A task group: element 0 is its header, the others are its tasks, which it can fold away.
class CHxTaskPanel : public CHxWndPanel {
 public:
  explicit CHxTaskPanel(int id) : m_taskPanelId(id) {}
  int Id() const override { return m_taskPanelId; }
  void SetId(int id) override { m_taskPanelId = id; }
  int GetTaskCount() const { return m_elements.empty() ? 0 : GetElementCount() - 1; }
  // Deletes the tasks and keeps the header.
  void RemoveTasks();
  bool TasksVisible() const { return m_tasksVisible; }
  // Shows or hides every task, then lays the whole pane out again from its root.
  void SwitchTasksVisible();

 protected:
  void OnPaint() override;
  bool m_tasksVisible = true;
  int m_taskPanelId;
};
