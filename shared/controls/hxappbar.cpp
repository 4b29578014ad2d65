#include "shared/controls/hxappbar.h"

#include <algorithm>

#include "framework/kdtools.h"
#include "shared/controls/hxdrawplus.h"
#include "shared/hxhelpers.h"

// ---------------------------------------------------------------------------------------------
// CHxTransparentBkgnd

void CHxTransparentBkgnd::Fill(CWnd* window) {
  CWnd* parent = window->GetParent();
  if (!parent || !parent->m_hWnd) return;
  CRect mine, theirs, area;
  window->GetClientRect(&mine);
  window->MapWindowPoints(parent, &mine);
  parent->GetClientRect(&theirs);
  m_cache.DeleteObject();
  m_cached = true;
  if (!area.IntersectRect(&mine, &theirs)) return;   // nothing of the parent under it: nothing kept
  CDC whole, part;
  CBitmap wholeBitmap;
  if (!whole.CreateCompatibleDC(nullptr) || !part.CreateCompatibleDC(nullptr) ||
      !wholeBitmap.CreateCompatibleBitmap(&whole, area.right, area.bottom) ||
      !m_cache.CreateCompatibleBitmap(&part, area.Width(), area.Height())) {
    m_cache.DeleteObject();
    m_cached = false;
    return;
  }
  {
    CObjectDC selectWhole(whole, wholeBitmap);
    CRect all(0, 0, area.right, area.bottom);
    m_parent->DrawBkgnd(&whole, parent, &all);
    CObjectDC selectPart(part, m_cache);
    part.BitBlt(0, 0, area.Width(), area.Height(), &whole, area.left, area.top, SRCCOPY);
  }
}

void CHxTransparentBkgnd::DrawBkgnd(CDC* dc, CWnd* window, CRect* rect) {
  if (!dc || !dc->m_hDC) return;
  CRect area;
  if (!(m_cached && rect)) {
    if (!window || !IsWindow(window->m_hWnd)) return;
    if (rect) area = *rect;
    else window->GetClientRect(&area);
    if (!m_cached && m_parent) Fill(window);
  } else {
    area = *rect;
  }
  if (!m_cached || !m_cache.m_hObject) return;
  BITMAP info{};
  m_cache.GetBitmap(&info);
  CDC source;
  if (!source.CreateCompatibleDC(dc)) return;
  CObjectDC select(source.m_hDC, m_cache.m_hObject);
  dc->BitBlt(0, 0, std::min<int>(area.Width(), info.bmWidth), std::min<int>(area.Height(), info.bmHeight), &source, 0,
             0, SRCCOPY);
}

// ---------------------------------------------------------------------------------------------
// CHxResImageList

CHxResImageList::CHxResImageList(HINSTANCE module, const wchar_t* resType)
    : m_instance(module), m_resType(resType ? resType : L"") {}

CHxResImageList::~CHxResImageList() = default;

Gdiplus::Image* CHxResImageList::Entry::Get() {
  if (image) return image->GetLastStatus() == Gdiplus::Ok ? image.get() : nullptr;
  IStreamPtr stream = hxStreamFromResource(owner->m_instance, name, owner->m_resType);
  if (!stream) return nullptr;
  image = std::make_unique<Gdiplus::Image>(stream);
  return image->GetLastStatus() == Gdiplus::Ok ? image.get() : nullptr;
}

Gdiplus::Image* CHxResImageList::GetImage(const wchar_t* name) {
  if (!name) return nullptr;
  for (auto& entry : m_entries)
    if (entry->name == name) return entry->Get();
  auto entry = std::make_unique<Entry>();
  entry->owner = this;
  entry->name = name;
  m_entries.push_back(std::move(entry));
  return m_entries.back()->Get();
}

// ---------------------------------------------------------------------------------------------
// CHxAppBarItem

void CHxAppBarItem::DrawRoundRect(CWnd* window, CDC& dc) {
  if (!window || !IsWindow(window->m_hWnd)) return;
  CRect r;
  window->GetClientRect(&r);
  Gdiplus::Graphics graphics(dc.m_hDC);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  if (m_roundTop) hxDrawRoundRect(graphics, 0xFFFFFF, r.left, r.top, r.Width() - 1, r.Height() - 1, 5, 64);
  else hxDrawDownRoundRect(graphics, 0xFFFFFF, r.left, r.top, r.Width() - 1, r.Height() - 1, 5, 64);
}

void CHxAppBarItem::DrawFace(CWnd* window, CDC& dc) {
  if (!window || !IsWindow(window->m_hWnd)) return;
  CRect r;
  window->GetClientRect(&r);
  r.OffsetRect(m_leftMargin, 0);
  CString text;
  window->GetWindowText(text);
  Gdiplus::Image* image = !m_image.IsEmpty() && m_imageList ? m_imageList->GetImage(m_image) : nullptr;
  int imageWidth = 0;
  if (image) {
    imageWidth = static_cast<int>(image->GetWidth());
    const int height = static_cast<int>(image->GetHeight());
    const int x = text.IsEmpty() ? r.left + (r.Width() - imageWidth) / 2 : r.left + 4;
    Gdiplus::Graphics graphics(dc.m_hDC);
    graphics.DrawImage(image, x, r.top + (r.Height() - height) / 2);
  }
  if (text.IsEmpty()) return;
  CRect t = r;
  if (m_horzAlignment == 0) {
    t.left += 4;
    if (image) t.left += imageWidth + 4;
  } else if (m_horzAlignment == 2) {
    t.right -= 4;
  }
  hxDrawText(dc, text, t, m_fontHeight, static_cast<UINT>(m_horzAlignment) | DT_VCENTER, m_textColor, m_bold, false,
             nullptr);
}

// ---------------------------------------------------------------------------------------------
// CHxAppBarButton and CHxAppBarStatic

CHxAppBarButton::~CHxAppBarButton() { StopThread(); }

void CHxAppBarButton::HxDrawBkgnd(CDC& dc) {
  m_bkgnd.DrawBkgnd(&dc, this, nullptr);
  if (m_item.GetDrawRoundRect()) m_item.DrawRoundRect(this, dc);
}

void CHxAppBarButton::HxDrawVarPart(CDC& dc) { m_item.DrawRoundRect(this, dc); }

void CHxAppBarButton::HxDrawConstantPart(CDC& dc) { m_item.DrawFace(this, dc); }

BOOL CHxAppBarButton::HxOnEraseBkgnd(CDC& dc) {
  HxOnDraw(dc);
  return TRUE;
}

BOOL CHxAppBarButton::HxOnSetCursor(CWnd*, UINT, UINT) {
  SetCursor(CKdStock::GetKdCursor(0));
  return TRUE;
}

void CHxAppBarStatic::OnPaint() {
  CPaintDC dc(this);
  CRect r;
  GetClientRect(&r);
  if (r.IsRectEmpty()) return;
  CDC memory;
  CBitmap picture;
  if (!memory.CreateCompatibleDC(&dc) || !picture.CreateCompatibleBitmap(&dc, r.Width(), r.Height())) return;
  CObjectDC select(memory, picture);
  try {
    m_bkgnd.DrawBkgnd(&memory, this, nullptr);
    if (m_item.GetDrawRoundRect()) m_item.DrawRoundRect(this, memory);
    m_item.DrawFace(this, memory);
  } catch (const _com_error&) {
  }
  dc.BitBlt(0, 0, r.Width(), r.Height(), &memory, 0, 0, SRCCOPY);
}
