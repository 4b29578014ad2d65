#include "shared/dialoglines.h"

#include <algorithm>
#include <cstdlib>

#include "framework/skin.h"
#include "shared/hxhelpers.h"

namespace {

int VariableFontLineHeight() {
  LOGFONTW lf{};
  if (GetObjectW(GetStockObject(ANSI_VAR_FONT), sizeof lf, &lf) != sizeof lf) return 0;
  return std::abs(static_cast<int>(lf.lfHeight)) + 4;
}

HWND StartOf(HWND parent, int firstId) {
  return firstId ? GetDlgItem(parent, firstId) : GetWindow(parent, GW_CHILD);
}

template <class Action>
void ForRange(HWND parent, int firstId, int lastId, Action action) {
  if (!IsWindow(parent)) return;
  for (HWND h = StartOf(parent, firstId); h; h = GetWindow(h, GW_HWNDNEXT)) {
    const bool last = GetDlgCtrlID(h) == lastId;
    action(h);
    if (last) break;
  }
}

}  // namespace

void CHxDialogLine::OnPaint() {
  CPaintDC dc(this);
  CRect r;
  GetClientRect(&r);
  hxFillGradientRect(dc.m_hDC, &r, GetSysColor(COLOR_ACTIVECAPTION), FlgGetStockColor(zephra::kColorLineEnd),
                     GRADIENT_FILL_RECT_H);
  CString text;
  GetWindowText(text);
  CObjectDC font(dc.m_hDC, GetStockObject(ANSI_VAR_FONT));
  CBkModeDC mode(dc.m_hDC, TRANSPARENT);
  CTextColorDC color(dc.m_hDC, GetSysColor(COLOR_CAPTIONTEXT));
  r.left += 2;
  dc.DrawText(text, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
}

CHxDialogLines::CHxDialogLines(CWnd* parent) : m_pParent(parent), m_lineHeight(VariableFontLineHeight()) {}

void CHxDialogLines::Add(UINT id) {
  if (std::find(m_ids.begin(), m_ids.end(), id) == m_ids.end()) m_ids.push_back(id);
}

void CHxDialogLines::AddWnd(HWND window) {
  if (window && std::find(m_windows.begin(), m_windows.end(), window) == m_windows.end()) m_windows.push_back(window);
}

void CHxDialogLines::Remove(UINT id) { m_ids.erase(std::remove(m_ids.begin(), m_ids.end(), id), m_ids.end()); }

void CHxDialogLines::AddStaticWithBorders() {
  if (!m_pParent || !m_pParent->m_hWnd) return;
  for (HWND h = GetWindow(m_pParent->m_hWnd, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    wchar_t name[16] = {0};
    GetClassNameW(h, name, 16);
    if (_wcsnicmp(name, L"Static", 10) == 0 && (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) AddWnd(h);
  }
}

void CHxDialogLines::SubclassControls() {
  for (UINT id : m_ids) CreateLineCtrl(static_cast<int>(id));
  for (HWND h : m_windows)
    if (IsWindow(h)) CreateLineCtrl(CWnd::FromHandle(h), static_cast<UINT>(GetDlgCtrlID(h)));
}

CHxDialogLine* CHxDialogLines::CreateLineCtrl(int id) {
  if (!m_pParent || !m_pParent->m_hWnd) return nullptr;
  return CreateLineCtrl(m_pParent->GetDlgItem(id), static_cast<UINT>(id));
}

CHxDialogLine* CHxDialogLines::CreateLineCtrl(CWnd* control, UINT id) {
  if (!control || !control->m_hWnd || !m_pParent || !m_pParent->m_hWnd) return nullptr;
  const HWND old = control->m_hWnd;
  CRect r;
  ::GetWindowRect(old, &r);
  m_pParent->ScreenToClient(&r);
  if (m_lineHeight) r.bottom = r.top + m_lineHeight;
  CString text;
  CWnd::FromHandle(old)->GetWindowText(text);
  const HWND before = ::GetWindow(old, GW_HWNDPREV);
  ::DestroyWindow(old);
  auto* line = new CHxDialogLine;
  if (!line->CreateEx(0, nullptr, text, WS_CHILD | WS_VISIBLE, r, m_pParent, id)) {
    delete line;
    return nullptr;
  }
  // In the destroyed control's place in window order.
  ::SetWindowPos(line->m_hWnd, before ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  m_lines.push_back(line);
  return line;
}

void hxSubclassStaticsWithBorders(CWnd* dialog) {
  CHxDialogLines lines(dialog);
  lines.AddStaticWithBorders();
  lines.SubclassControls();
}

void CWndTools::EnableControls(HWND parent, int firstId, int lastId, BOOL enable) {
  ForRange(parent, firstId, lastId, [enable](HWND h) { EnableWindow(h, enable); });
}

void CWndTools::EnableControls(HWND parent, int firstId, HWND first, int count, BOOL enable) {
  if (!IsWindow(parent)) return;
  HWND h = first && IsWindow(first) ? first : StartOf(parent, firstId);
  for (int i = 0; h && i < count; ++i, h = GetWindow(h, GW_HWNDNEXT)) EnableWindow(h, enable);
}

void CWndTools::ShowControls(HWND parent, int firstId, int lastId, int showCommand) {
  ForRange(parent, firstId, lastId, [showCommand](HWND h) { ShowWindow(h, showCommand); });
}

void CWndTools::SetControlLabelBold(HWND parent, int id) {
  HWND control = IsWindow(parent) ? GetDlgItem(parent, id) : nullptr;
  HWND label = control ? GetWindow(control, GW_HWNDPREV) : nullptr;
  if (!label) return;
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(FlgGetStockFont(zephra::kFontBold)), TRUE);
  InvalidateRect(label, nullptr, TRUE);
}

void CWndTools::SetControlLabelBold(HWND parent, const int* ids) {
  for (const int* p = ids; p && *p; ++p) SetControlLabelBold(parent, *p);
}
