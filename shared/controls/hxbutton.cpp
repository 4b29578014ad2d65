#include "shared/controls/hxbutton.h"

#include <algorithm>

#include "framework/interfaces.h"
#include "framework/kdtools.h"
#include "platform/threads/clock.h"
#include "platform/threads/threads.h"
#include "shared/controls/hxdrawplus.h"
#include "shared/hxhelpers.h"
#include "shared/hxinstance.h"

namespace {

constexpr int kWorkerIterations = 200;
constexpr DWORD kTickMs = 20;

bool Remote() { return GetSystemMetrics(SM_REMOTESESSION) != 0; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// CHxBtn

CHxBtn::CHxBtn(int maxState)
    : m_mutex(CreateMutexW(nullptr, FALSE, nullptr)), m_maxState(maxState), m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CHxBtn::~CHxBtn() {
  StopThread();
  if (m_mutex) CloseHandle(m_mutex);
  if (m_stop) CloseHandle(m_stop);
}

BOOL CHxBtn::Create(const wchar_t* text, const CRect& rect, CWnd* parent, int id) {
  if (m_hWnd) return FALSE;
  m_terminating = false;
  if (m_stop) ResetEvent(m_stop);
  if (!CWnd::CreateEx(0, nullptr, text ? text : L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect, parent,
                      static_cast<UINT>(id)))
    return FALSE;
  Attached();
  return TRUE;
}

void CHxBtn::PreSubclassWindow() {
  m_terminating = false;
  if (m_stop) ResetEvent(m_stop);
  Attached();
}

void CHxBtn::Attached() {
  m_mouse.Init(m_hWnd, CHxMouseMgr::kInvalidate);
  m_window = m_hWnd;
  GetWindowText(m_text);
}

int CHxBtn::GetExactState() const {
  const int state = m_state, maximum = m_maxState;
  return state > maximum ? state - maximum : state;
}

bool CHxBtn::ShouldTerminate() const {
  return m_terminating || (m_fadeDirection == kNone && m_selDirection == kNone) || !IsWindow(m_window);
}

void CHxBtn::Select2(bool selected) {
  m_selected = selected;
  if (selected) {
    m_state = m_maxState.load();
    m_fadeDirection = kNone;
    if (m_hWnd) Invalidate(FALSE);
  } else if (m_hWnd) {
    FadeOut();
  }
}

void CHxBtn::FadeIn() {
  m_fadeDirection = kRising;
  StartThread();
}

void CHxBtn::FadeOut() {
  m_fadeDirection = kFalling;
  if (!m_selected) m_selDirection = kFalling;
  StartThread();
}

void CHxBtn::StartThread() {
  if (ShouldTerminate()) return;
  if (Remote()) {
    OnThreadTick();
    if (IsWindow(m_window)) ::InvalidateRect(m_window, nullptr, FALSE);
    return;
  }
  if (!m_mutex || WaitForSingleObject(m_mutex, INFINITE) == WAIT_FAILED) return;
  if (!m_running) {
    // The worker before has cleared its flag and runs no more of the button's code.
    if (m_thread) {
      WaitForSingleObject(m_thread, INFINITE);
      CloseHandle(m_thread);
      m_thread = nullptr;
    }
    ++m_threadCount;
    m_running = true;
    m_thread = CreateThread(nullptr, 0, Worker, this, 0, nullptr);
    if (!m_thread) {
      --m_threadCount;
      m_running = false;
    }
  }
  ReleaseMutex(m_mutex);
}

DWORD CHxBtn::Worker(LPVOID p) {
  auto* self = static_cast<CHxBtn*>(p);
  int left = kWorkerIterations;
  while (true) {
    for (; left > 0 && !self->ShouldTerminate(); --left) {
      self->OnThreadTick();
      const HWND h = self->m_window;
      if (IsWindow(h)) ::InvalidateRect(h, nullptr, FALSE);
    }
    // A hover or press that came while this worker was finishing found it running and started
    // none: it is taken up here, under the mutex that StartThread holds.
    WaitForSingleObject(self->m_mutex, INFINITE);
    if (left > 0 && !self->ShouldTerminate()) {
      ReleaseMutex(self->m_mutex);
      continue;
    }
    self->OnThreadEnd();
    ReleaseMutex(self->m_mutex);
    return 0;
  }
}

void CHxBtn::OnThreadEnd() {
  WaitForSingleObject(m_mutex, INFINITE);
  --m_threadCount;
  m_running = false;
  ReleaseMutex(m_mutex);
}

void CHxBtn::OnThreadTick() {
  const bool remote = Remote();
  const int maximum = m_maxState;
  if (m_fadeDirection == kFalling) {
    if (m_state <= 0 || remote) {
      m_state = 0;
      m_fadeDirection = kNone;
    } else {
      --m_state;
    }
  } else if (m_fadeDirection == kRising) {
    if (m_state >= maximum || remote) {
      m_fadeDirection = kNone;
      m_state = maximum;
    } else {
      ++m_state;
    }
  }
  if (m_selDirection == kFalling) {
    if (m_selState <= 0 || remote) {
      m_selState = 0;
      m_selDirection = kNone;
    } else {
      --m_selState;
    }
  } else if (m_selDirection == kRising) {
    m_selDirection = kNone;
    m_selState = maximum;
  }
  if (!remote && m_stop) WaitForSingleObject(m_stop, kTickMs);
}

void CHxBtn::StopThread() {
  m_terminating = true;
  if (m_stop) SetEvent(m_stop);
  HANDLE thread = nullptr;
  if (m_mutex && WaitForSingleObject(m_mutex, INFINITE) != WAIT_FAILED) {
    thread = m_thread;
    m_thread = nullptr;
    ReleaseMutex(m_mutex);
  }
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

void CHxBtn::HxOnDraw(CDC& dc) {
  CRect r;
  GetClientRect(&r);
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
  if (m_pushed) std::swap(light, dark);
  dc.Draw3dRect(&r, light, dark);
  CRect inner = r;
  inner.DeflateRect(1, 1);
  // The blend saturates at the highlight colour (a state above 10 would go past it).
  const int percent = std::clamp(m_state * 10, 0, 100);
  hxFillGradientRect(dc.m_hDC, &inner, GetSysColor(COLOR_BTNFACE), hxBlendColor(GetSysColor(COLOR_WINDOW), 0x0080FF, percent),
                     GRADIENT_FILL_RECT_V);
  CString text;
  text.Format(L"%d ", static_cast<int>(m_state));
  if (m_fadeDirection == kRising) text += L">>>";
  else if (m_fadeDirection == kFalling) text += L"<<<";
  text += m_text;
  CRect t = inner;
  t.left += 2;
  CBkModeDC mode(dc.m_hDC, TRANSPARENT);
  dc.DrawText(text, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  if (::GetFocus() == m_hWnd) {
    CRect focus = inner;
    focus.DeflateRect(2, 2);
    dc.DrawFocusRect(&focus);
  }
}

BOOL CHxBtn::HxOnEraseBkgnd(CDC&) { return static_cast<BOOL>(Default()); }

void CHxBtn::HxOnButtonClicked() {
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_COMMAND, static_cast<WPARAM>(GetDlgCtrlID()),
                                                       reinterpret_cast<LPARAM>(m_hWnd));
}

void CHxBtn::HxOnLButtonDown(UINT, CPoint) {
  m_pushed = true;
  m_selDirection = kRising;
  StartThread();
}

BOOL CHxBtn::HxOnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }

BOOL CHxBtn::OnSetCursor(CWnd* window, UINT hitTest, UINT message) {
  try {
    return HxOnSetCursor(window, hitTest, message);
  } catch (const _com_error&) {
    return FALSE;
  }
}

void CHxBtn::OnMouseMove(UINT, CPoint) {
  HxOnMouseIn();
  if (!m_mouse.MouseOver()) HxOnMouseIn();
  m_mouse.OnMouseMove();
}

void CHxBtn::OnMouseLeave() {
  m_pushed = false;
  HxOnMouseOut();
  m_mouse.OnMouseOut();
}

void CHxBtn::OnPaint() {
  CPaintDC dc(this);
  GetWindowText(m_text);
  try {
    HxOnDraw(dc);
  } catch (const _com_error&) {
  }
}

BOOL CHxBtn::OnEraseBkgnd(CDC* dc) {
  if (!dc) return FALSE;
  try {
    return HxOnEraseBkgnd(*dc);
  } catch (const _com_error&) {
    return TRUE;
  }
}

void CHxBtn::OnLButtonDown(UINT flags, CPoint point) { HxOnLButtonDown(flags, point); }

void CHxBtn::OnLButtonUp(UINT, CPoint) {
  const bool wasPushed = m_pushed;
  m_pushed = false;
  m_selDirection = kFalling;
  StartThread();
  if (wasPushed) HxOnButtonClicked();
}

void CHxBtn::OnTimer(UINT_PTR) { HxOnTimer(); }

void CHxBtn::OnDestroy() {
  StopThread();
  m_window = nullptr;
  Default();
}

// ---------------------------------------------------------------------------------------------
// CHxButton

CHxButton::~CHxButton() {
  StopThread();
  for (HBITMAP b : m_bitmaps) DeleteObject(b);
}

CFont* CHxButton::GetFont() { return CFont::FromHandle(static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT))); }

void CHxButton::OnThreadTick() {
  if (Selected2()) {
    m_fadeDirection = kNone;
    m_state = m_maxState.load();
    return;
  }
  CHxBtn::OnThreadTick();
}

void CHxButton::SetBitmap(HBITMAP bitmap) {
  // The new bitmap may be one of those stored: it is kept, not deleted.
  for (HBITMAP b : m_bitmaps)
    if (b != bitmap) DeleteObject(b);
  m_bitmaps.clear();
  if (bitmap) m_bitmaps.push_back(bitmap);
  m_current = 0;
}

void CHxButton::AddBitmap(HBITMAP bitmap) {
  if (bitmap) m_bitmaps.push_back(bitmap);
}

HBITMAP CHxButton::GetBitmap() const {
  return m_current >= 0 && m_current < GetBitmapCount() ? m_bitmaps[static_cast<size_t>(m_current)] : nullptr;
}

bool CHxButton::GetBitmap(BITMAP* info) const {
  HBITMAP b = GetBitmap();
  return info && b && GetObjectW(b, sizeof *info, info) != 0;
}

void CHxButton::SetCurrentBitmap(int index) {
  if (index >= 0 && index < GetBitmapCount()) m_current = index;
}

void CHxButton::DrawBitmap(CDC& dc, int x, int y) { DrawTransparent(&dc, x, y, GetBitmap()); }

// ---------------------------------------------------------------------------------------------
// CHxBlendingButton

CHxBlendingButton::~CHxBlendingButton() { StopThread(); }

int CHxBlendingButton::GetAlpha() const {
  const int exact = GetExactState(), maximum = m_maxState;
  if (exact == maximum) return GetMaxAlpha();
  if (exact == 0 || maximum <= 0) return GetMinAlpha();
  return std::clamp(exact * (GetMaxAlpha() / maximum), GetMinAlpha(), GetMaxAlpha());
}

void CHxBlendingButton::HxOnDraw(CDC& dc) {
  CRect r;
  GetClientRect(&r);
  if (r.IsRectEmpty()) return;
  CDC a, b;
  if (!a.CreateCompatibleDC(&dc) || !b.CreateCompatibleDC(&dc)) return;
  CBitmap ba, bb;
  if (!ba.CreateCompatibleBitmap(&dc, r.Width(), r.Height()) || !bb.CreateCompatibleBitmap(&dc, r.Width(), r.Height()))
    return;
  CObjectDC selectA(a, ba), selectB(b, bb);
  HxDrawBkgnd(a);
  b.BitBlt(0, 0, r.Width(), r.Height(), &a, 0, 0, SRCCOPY);
  HxDrawVarPart(b);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(GetAlpha()), 0};
  a.AlphaBlend(0, 0, r.Width(), r.Height(), &b, 0, 0, r.Width(), r.Height(), blend);
  HxDrawConstantPart(a);
  dc.BitBlt(0, 0, r.Width(), r.Height(), &a, 0, 0, SRCCOPY);
}

BOOL CHxBlendingButton::HxOnEraseBkgnd(CDC& dc) {
  HxDrawBkgnd(dc);
  return TRUE;
}

// ---------------------------------------------------------------------------------------------
// CHxTabCtrlButton

namespace {

// The skin's colour; without a framework instance or a skin, the system's face (9) and shadow
// (10) colours. A failing call raises.
COLORREF SkinColor(LONG index) {
  const COLORREF fallback = GetSysColor(index == 9 ? COLOR_BTNFACE : COLOR_BTNSHADOW);
  IFlgInstancePtr instance = CHxInstance::GetInstance();
  if (!instance) return fallback;
  IFlgSkin* raw = nullptr;
  HRESULT hr = instance->QueryInterface(__uuidof(IFlgSkin), reinterpret_cast<void**>(&raw));
  if (hr == E_NOINTERFACE || (SUCCEEDED(hr) && !raw)) return fallback;
  if (FAILED(hr)) _com_issue_error(hr);
  IFlgSkinPtr skin(raw, false);
  COLORREF color = fallback;
  hr = skin->GetColor(index, &color);
  if (FAILED(hr)) _com_issue_error(hr);
  return color;
}

}  // namespace

CHxTabCtrlButton::~CHxTabCtrlButton() { StopThread(); }

CFont* CHxTabCtrlButton::GetFont() {
  if (!m_font.m_hObject) {
    LOGFONTW lf{};
    lf.lfHeight = 19;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    wcscpy(lf.lfFaceName, L"Trebuchet MS");
    m_font.CreateFontIndirect(&lf);
  }
  return &m_font;
}

CSize CHxTabCtrlButton::SizeOfContent() {
  CString text = m_text;
  if (m_hWnd) GetWindowText(text);
  CDC dc;
  if (!dc.CreateCompatibleDC(nullptr)) return CSize();
  CFont* font = GetFont();
  CObjectDC select(dc.m_hDC, font ? font->m_hObject : nullptr);
  CSize size = dc.GetTextExtent(text);
  if (text.IsEmpty()) {
    TEXTMETRICW tm{};
    dc.GetTextMetrics(&tm);
    size.cy = tm.tmHeight;
  }
  size.cx += 20 + (Selected2() ? 20 : 0);
  return size;
}

void CHxTabCtrlButton::HxDrawBkgnd(CDC& dc) {
  CRect r;
  GetClientRect(&r);
  dc.FillSolidRect(&r, SkinColor(9));
  if (!Selected2() || m_state == 0) hxDrawLine(dc.m_hDC, 0, r.Height() - 1, r.Width(), r.Height() - 1, SkinColor(10));
}

void CHxTabCtrlButton::HxDrawVarPart(CDC& dc) {
  CRect r;
  GetClientRect(&r);
  const int w = r.Width(), h = r.Height();
  const COLORREF sample = dc.GetPixel(r.right - 1, h / 2);
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  if (m_pushed) hxFillGradientRect(dc.m_hDC, &r, sample, window, GRADIENT_FILL_RECT_H);
  else if (Selected2() || m_state > 0) hxFillGradientRect(dc.m_hDC, &r, sample, window, GRADIENT_FILL_RECT_V);
  CPenDC pen(dc, m_lineColor);
  if (Selected2()) {
    dc.MoveTo(9, 0);
    dc.LineTo(w - 5, 0);
    dc.MoveTo(0, h - 1);
    dc.LineTo(4, h - 1);
    dc.MoveTo(4, 5);
    dc.LineTo(4, h);
    dc.MoveTo(w - 1, 5);
    dc.LineTo(w - 1, h);
    dc.Arc(4, 0, 14, 10, 9, 0, 4, 6);
    dc.Arc(w - 10, 0, w, 10, w, 6, w - 5, 0);
    const COLORREF paper = 0xF3EFEB;
    const COLORREF shade = hxBlendColor(paper, RGB(0, 0, 0), 20);
    RECT strip{0, 8, 4, h - 1};
    hxFillGradientRect(dc.m_hDC, &strip, paper, shade, GRADIENT_FILL_RECT_H);
    hxFillGradientTriangle(dc.m_hDC, CPoint(4, 0), CPoint(0, 8), CPoint(4, 8), paper, paper, shade);
  } else {
    dc.MoveTo(0, h - 1);
    dc.LineTo(w, h - 1);
  }
}

void CHxTabCtrlButton::HxDrawConstantPart(CDC& dc) {
  CRect r;
  GetClientRect(&r);
  int x = r.left + 2;
  BITMAP info{};
  if (GetBitmap(&info)) {
    DrawBitmap(dc, r.left + 2, r.top + (r.Height() - info.bmHeight) / 2);
    x = r.left + info.bmWidth + 2;
  }
  CRect text(x + 10, r.top, r.right, r.bottom);
  hxDrawText(dc, m_text, text, 10, DT_VCENTER, GetSysColor(COLOR_WINDOWTEXT), true, false, nullptr);
}
