#include "shared/controls/hxpictureview.h"

#include <algorithm>

#include "framework/kdtools.h"
#include "shared/hxcheck.h"

const wchar_t kIddBmpView[] = L"IDD_BMP_VIEW";

// --- CHxGdiplusPictureViewDlg

CHxGdiplusPictureViewDlg::CHxGdiplusPictureViewDlg(Gdiplus::Bitmap* bitmap, const wchar_t* title, CWnd* parent)
    : CFlgDialog(kIddBmpView, parent), m_bitmap(bitmap), m_title(title ? title : L"") {}

bool CHxGdiplusPictureViewDlg::Showable() const {
  return m_bitmap && m_bitmap->GetLastStatus() == Gdiplus::Ok && m_bitmap->GetWidth() > 0 && m_bitmap->GetHeight() > 0;
}

INT_PTR CHxGdiplusPictureViewDlg::DoModal() {
  if (!Showable()) return IDCANCEL;
  return CFlgDialog::DoModal();
}

BOOL CHxGdiplusPictureViewDlg::OnInitDialog() {
  CFlgDialog::OnInitDialog();
  // The picture's size, narrowed to the work area's width and then lowered to its height, each
  // time keeping the proportion; a side never comes below one pixel.
  long long width = Showable() ? m_bitmap->GetWidth() : 1, height = Showable() ? m_bitmap->GetHeight() : 1;
  RECT area{0, 0, 1024, 740};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const long long areaWidth = std::max<long long>(1, area.right - area.left);
  const long long areaHeight = std::max<long long>(1, area.bottom - area.top);
  if (areaWidth < width) {
    height = height * areaWidth / width;
    width = areaWidth;
  }
  height = std::max<long long>(1, height);
  if (height > areaHeight) {
    width = width * areaHeight / height;
    height = areaHeight;
  }
  width = std::max<long long>(1, width);
  m_displayWidth = static_cast<int>(width);
  m_displayHeight = static_cast<int>(height);
  // The client area: the display size, doubled until it is at least 100 wide (the picture keeps
  // the display size).
  long long clientWidth = width, clientHeight = height;
  while (clientWidth < 100) clientWidth *= 2, clientHeight *= 2;
  // A very tall picture would double into a window many screens high: the doubled height stops
  // at the work area's.
  clientHeight = std::min(clientHeight, std::max(height, areaHeight));
  CRect frame(0, 0, static_cast<int>(clientWidth), static_cast<int>(clientHeight));
  AdjustWindowRectEx(&frame, GetStyle(), FALSE, GetExStyle());
  SetWindowPos(nullptr, 0, 0, frame.Width(), frame.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterWindow(CWnd::FromHandle(::GetDesktopWindow()));
  SetWindowText(m_title);
  return TRUE;
}

void CHxGdiplusPictureViewDlg::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  dc.FillSolidRect(&client, RGB(0, 0, 0));
  if (!Showable() || m_displayWidth <= 0 || m_displayHeight <= 0) return;
  Gdiplus::Graphics graphics(dc.m_hDC);
  graphics.DrawImage(m_bitmap, (client.Width() - m_displayWidth) / 2, (client.Height() - m_displayHeight) / 2,
                     m_displayWidth, m_displayHeight);
}

// --- CStatePicture

namespace {

LPCWSTR StateClass() {
  static LPCWSTR name = AfxRegisterWndClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW));
  return name;
}

}  // namespace

CStatePicture::~CStatePicture() {
  if (m_hWnd) DestroyWindow();
  DeleteStrip();
}

BOOL CStatePicture::Create(const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, StateClass(), L"", WS_CHILD | WS_VISIBLE, rect, parent, id);
}

void CStatePicture::DeleteStrip() {
  if (m_strip) ::DeleteObject(m_strip);
  m_strip = nullptr;
}

void CStatePicture::SetBitmap(DWORD skinImage, int frames) {
  DeleteStrip();
  m_frameCount = std::max(0, frames);
  m_currentFrame = 0;
  m_frameWidth = m_frameHeight = 0;
  if (frames < 1) return;
  try {
    IFlgSkinPtr skin(hx::Instance());
    if (!skin) return;
    HBITMAP strip = nullptr;
    hx::Check(skin->LoadBitmap(static_cast<LONG>(skinImage), -1, &strip));
    m_strip = strip;
    BITMAP info{};
    if (!m_strip || !::GetObjectW(m_strip, sizeof info, &info)) return;
    m_frameWidth = info.bmWidth / frames;
    m_frameHeight = info.bmHeight;
  } catch (const _com_error&) {
  }
}

void CStatePicture::SetCurrBitmap(int frame, const wchar_t* tooltip) {
  if (frame >= 0 && frame < m_frameCount) m_currentFrame = frame;
  if (m_hWnd) {
    HWND root = ::GetAncestor(m_hWnd, GA_ROOT);
    if (HWND tip = CKdTooltip::CreateToolTip(root)) {
      CString text(tooltip ? tooltip : L"");
      TOOLINFOW info{sizeof(TOOLINFOW), TTF_IDISHWND | TTF_SUBCLASS, ::GetParent(m_hWnd),
                     reinterpret_cast<UINT_PTR>(m_hWnd), {}, nullptr, const_cast<LPWSTR>(text.GetString()), 0};
      ::SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
      CKdTooltip::MakeTopmost(tip);
    }
    Invalidate();
  }
}

void CStatePicture::SizeToContent() {
  if (m_hWnd) SetWindowPos(nullptr, 0, 0, m_frameWidth, m_frameHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CStatePicture::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  {
    CPen pen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
    CBrush brush(GetSysColor(COLOR_WINDOW));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    dc.Rectangle(&client);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
  }
  if (!m_strip || m_frameWidth <= 0 || m_frameHeight <= 0) return;
  DrawTransparent(&dc, (client.Width() - m_frameWidth) / 2, (client.Height() - m_frameHeight) / 2, m_strip,
                  m_frameWidth * m_currentFrame, 0, m_frameWidth, m_frameHeight);
}

BOOL CStatePicture::OnEraseBkgnd(CDC* dc) {
  CRect client;
  GetClientRect(&client);
  dc->FillSolidRect(&client, GetSysColor(COLOR_WINDOW));
  return TRUE;
}
