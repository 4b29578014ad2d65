#include "shared/controls/hxpanel.h"

#include <algorithm>

#include "framework/kdtools.h"
#include "platform/threads/clock.h"
#include "shared/controls/hxdrawplus.h"

// ---------------------------------------------------------------------------------------------
// CHxPanel

CHxPanel* CHxPanel::GetRootPanel() {
  // Walked, not recursed: a parent chain that loops ends after a bounded number of steps.
  CHxPanel* panel = this;
  for (int depth = 0; depth < 1024; ++depth) {
    CHxPanel* parent = panel->GetParentPanel();
    if (!parent || parent == panel) break;
    panel = parent;
  }
  return panel;
}

// ---------------------------------------------------------------------------------------------
// CHxVerticalLayout

void CHxVerticalLayout::Arrange(std::vector<CHxPanel*>& panels) {
  int y = 0;
  for (CHxPanel* panel : panels) {
    if (!panel) continue;
    panel->ComputeLayout();
    if (!panel->Visible()) continue;
    const int left = panel->GetMarginLeft(), top = y + panel->GetMarginTop();
    const CRect r(left, top, left + panel->Width(), top + panel->Height());
    panel->SetRc(r);
    y = r.bottom + panel->GetMarginBottom() + m_gap;
  }
}

// ---------------------------------------------------------------------------------------------
// CHxWndPanelImpl

CHxWndPanelImpl::CHxWndPanelImpl(int id) : m_id(id), m_bkgndColor(GetSysColor(COLOR_WINDOW)) {}

CString CHxWndPanelImpl::GetCaption() {
  const HWND window = GetHWND();
  if (!IsWindow(window)) return CString();
  CWnd::FromHandle(window)->GetWindowText(m_caption);
  return m_caption;
}

void CHxWndPanelImpl::ApplyLayout() {
  MoveWindowToRect();
  const HWND window = GetHWND();
  if (IsWindow(window)) ShowWindow(window, m_visible ? SW_SHOWNA : SW_HIDE);
}

void CHxWndPanelImpl::SetRc(const CRect& rect) {
  if (!m_visible) return;
  if (m_movable) {
    m_rect = rect;
  } else {
    m_rect.right = m_rect.left + rect.Width();
    m_rect.bottom = m_rect.top + rect.Height();
  }
}

void CHxWndPanelImpl::MoveWindowToRect() {
  const HWND window = GetHWND();
  if (IsWindow(window)) MoveWindow(window, m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), TRUE);
}

void CHxWndPanelImpl::SetMovable(bool movable) {
  const HWND window = GetHWND();
  const HWND parent = IsWindow(window) ? ::GetParent(window) : nullptr;
  if (!movable && parent) {
    CRect r;
    ::GetWindowRect(window, &r);
    CWnd::FromHandle(parent)->ScreenToClient(&r);
    SetRc(r);
  }
  m_movable = movable;
}

void CHxWndPanelImpl::EraseBkgnd(CDC* dc) {
  const HWND window = GetHWND();
  if (!dc || !dc->m_hDC || !IsWindow(window)) return;
  CRect r;
  ::GetClientRect(window, &r);
  dc->FillSolidRect(&r, m_bkgndColor);
}

namespace {

// The child window of a link or header: empty, visible, the panel id as control id.
BOOL CreatePanelWindow(CWnd& window, CHxWndPanelImpl& panel, CWnd* parent) {
  if (window.m_hWnd) return TRUE;
  if (!parent || !IsWindow(parent->m_hWnd)) return FALSE;
  return window.CWnd::Create(nullptr, panel.GetCaption(), WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), parent,
                             static_cast<UINT>(panel.Id()));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CHxTaskControl

CHxTaskControl::CHxTaskControl(int id) : CHxWndPanelImpl(id) {}

CHxTaskControl::~CHxTaskControl() {
  if (m_icon) DeleteObject(m_icon);
}

BOOL CHxTaskControl::Create(CWnd* parent) {
  if (m_hWnd) return TRUE;
  if (!CreatePanelWindow(*this, *this, parent)) return FALSE;
  m_mouse.Init(m_hWnd, CHxMouseMgr::kInvalidate);
  if (!m_enabled) EnableWindow(FALSE);
  return TRUE;
}

int CHxTaskControl::TextWidth() {
  CString text;
  if (m_hWnd) GetWindowText(text);
  CDC dc;
  if (!dc.CreateCompatibleDC(nullptr)) return 0;
  return hxTextExtent(dc, text, m_emphasised ? 9 : 8, m_emphasised, m_emphasised, nullptr).cx;
}

void CHxTaskControl::SetEnabled(bool enabled) {
  m_enabled = enabled;
  if (m_hWnd) EnableWindow(enabled ? TRUE : FALSE);
}

void CHxTaskControl::SetEmph(bool emphasised) {
  m_emphasised = emphasised;
  if (m_hWnd) Invalidate(TRUE);
}

void CHxTaskControl::SetIcon(HBITMAP icon) {
  if (m_icon && m_icon != icon) DeleteObject(m_icon);
  m_icon = icon;
  if (m_hWnd) Invalidate(TRUE);
}

void CHxTaskControl::OnPaint() {
  CPaintDC dc(this);
  EraseBkgnd(&dc);
  CRect client;
  GetClientRect(&client);
  BITMAP info{};
  if (m_icon && GetObjectW(m_icon, sizeof info, &info))
    DrawTransparent(&dc, client.left + 2, client.top + (client.Height() - info.bmHeight) / 2, m_icon);
  CString text;
  GetWindowText(text);
  const CRect t(client.left + 20, client.top, client.Width() - 1, client.bottom);
  hxDrawText(dc, text, t, m_emphasised ? 9 : 8, DT_VCENTER, m_enabled ? kLinkColor : GetSysColor(COLOR_BTNSHADOW),
             m_emphasised, m_mouse.MouseOver(), nullptr);
}

void CHxTaskControl::OnMouseMove(UINT, CPoint) { m_mouse.OnMouseMove(); }
void CHxTaskControl::OnMouseLeave() { m_mouse.OnMouseOut(); }

BOOL CHxTaskControl::OnSetCursor(CWnd*, UINT, UINT) {
  SetCursor(CKdStock::GetKdCursor(0));
  return TRUE;
}

void CHxTaskControl::OnLButtonUp(UINT, CPoint) {
  if (CWnd* parent = GetParent())
    parent->PostMessage(WM_COMMAND, static_cast<WPARAM>(Id()), reinterpret_cast<LPARAM>(m_hWnd));
}

// ---------------------------------------------------------------------------------------------
// CHxTaskGroup

CHxTaskGroup::CHxTaskGroup(int id) : CHxWndPanelImpl(id), m_textColor(GetSysColor(COLOR_WINDOWTEXT)) {
  SetMarginBottom(5);
}

BOOL CHxTaskGroup::Create(CWnd* parent) { return CreatePanelWindow(*this, *this, parent); }

BOOL CHxTaskGroup::OnEraseBkgnd(CDC* dc) {
  EraseBkgnd(dc);
  return TRUE;
}

void CHxTaskGroup::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  CString text;
  GetWindowText(text);
  hxDrawText(dc, text, client, 8, DT_VCENTER, m_textColor, false, false, nullptr);
}

// ---------------------------------------------------------------------------------------------
// CHxWndPanel

CHxWndPanel::CHxWndPanel() : CHxWndPanelImpl(3450) {}

CHxWndPanel::~CHxWndPanel() {
  for (CHxPanel* element : m_elements) delete element;
  delete m_layout;
}

void CHxWndPanel::AddElement(CHxPanel* element) {
  if (!element || element == this) return;
  m_elements.push_back(element);
  element->SetParentPanel(this);
}

CHxPanel* CHxWndPanel::GetElement(int index) const {
  return index >= 0 && index < GetElementCount() ? m_elements[static_cast<size_t>(index)] : nullptr;
}

BOOL CHxWndPanel::Create(CWnd* parent) {
  if (!m_hWnd) {
    if (!parent || !IsWindow(parent->m_hWnd)) return FALSE;
    if (!CWnd::Create(L"Static", GetCaption(), WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), parent, GetTickCount()))
      return FALSE;
  }
  return CreateWindows();
}

BOOL CHxWndPanel::CreateWindows() {
  for (CHxPanel* element : m_elements)
    if (!element->Create(this)) return FALSE;
  return TRUE;
}

void CHxWndPanel::SetLayout(CHxPanelLayout* layout) {
  if (layout == m_layout) return;
  delete m_layout;
  m_layout = layout;
}

CHxPanel* CHxWndPanel::FindItem(int id) {
  if (Id() == id) return this;
  for (CHxPanel* element : m_elements)
    if (CHxPanel* found = element->FindItem(id)) return found;
  return nullptr;
}

CRect CHxWndPanel::CalcRect() {
  CRect all;
  if (m_elements.empty() || !Visible()) return all;
  for (CHxPanel* element : m_elements) {
    const CRect r = element->GetRect();
    all.UnionRect(&all, &r);
  }
  all.NormalizeRect();
  return all;
}

void CHxWndPanel::ComputeLayout() {
  if (!m_layout) m_layout = new CHxVerticalLayout(0);
  m_layout->Arrange(m_elements);
  if (SizingToContent()) {
    // The container keeps its place and takes the size of what it holds.
    const CRect content = CalcRect();
    const CRect mine = GetRect();
    SetRc(CRect(mine.TopLeft(), content.BottomRight() - CPoint(content.left, content.top)));
  } else if (m_hWnd) {
    CRect r;
    GetWindowRect(&r);
    if (CWnd* parent = GetParent()) parent->ScreenToClient(&r);
    SetRc(r);
  }
}

void CHxWndPanel::ApplyLayout() {
  if (!m_hWnd) return;
  ShowWindow(Visible() ? SW_SHOWNA : SW_HIDE);
  if (!Visible()) return;
  MoveWindowToRect();
  for (CHxPanel* element : m_elements) element->ApplyLayout();
  Invalidate(TRUE);
}

void CHxWndPanel::OnPaint() {
  CreateWindows();
  CPaintDC dc(this);
  EraseBkgnd(&dc);
}

void CHxWndPanel::OnSize(UINT type, int cx, int cy) {
  Default();
  OnResize();
}

BOOL CHxWndPanel::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (CWnd::OnWndMsg(message, wParam, lParam, result)) return TRUE;
  if (message != WM_COMMAND && message != WM_NOTIFY) return FALSE;
  // What the container does not handle goes on to its parent; a non-zero answer is handled.
  const HWND parent = ::GetParent(m_hWnd);
  if (!parent) return FALSE;
  const LRESULT answer = ::SendMessageW(parent, message, wParam, lParam);
  if (!answer) return FALSE;
  if (result) *result = answer;
  return TRUE;
}

// ---------------------------------------------------------------------------------------------
// CHxTaskPanel

void CHxTaskPanel::RemoveTasks() {
  while (m_elements.size() > 1) {
    delete m_elements.back();
    m_elements.pop_back();
  }
}

void CHxTaskPanel::SwitchTasksVisible() {
  m_tasksVisible = !m_tasksVisible;
  for (size_t i = 1; i < m_elements.size(); ++i) m_elements[i]->SetVisible(m_tasksVisible);
  CHxPanel* root = GetRootPanel();
  root->ComputeLayout();
  root->ApplyLayout();
}

void CHxTaskPanel::OnPaint() {
  CPaintDC dc(this);
  EraseBkgnd(&dc);
}
