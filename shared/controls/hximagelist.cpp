#include "shared/controls/hximagelist.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "shared/controls/hxpictureview.h"
#include "shared/hxcheck.h"

namespace {

// The list's window class: double clicks, the arrow cursor, no background of its own.
LPCWSTR ListClass() {
  static LPCWSTR name = AfxRegisterWndClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW));
  return name;
}

// What of `area` lies outside `cut`, as up to four rectangles.
void Subtract(const CRect& area, const CRect& cut, std::vector<CRect>& out) {
  CRect overlap;
  if (!overlap.IntersectRect(&area, &cut)) {
    out.push_back(area);
    return;
  }
  if (area.top < overlap.top) out.emplace_back(area.left, area.top, area.right, overlap.top);
  if (overlap.bottom < area.bottom) out.emplace_back(area.left, overlap.bottom, area.right, area.bottom);
  if (area.left < overlap.left) out.emplace_back(area.left, overlap.top, overlap.left, overlap.bottom);
  if (overlap.right < area.right) out.emplace_back(overlap.right, overlap.top, area.right, overlap.bottom);
}

}  // namespace

CImageListCtrl::~CImageListCtrl() {
  if (m_hWnd) DestroyWindow();
  DeleteImages();
}

BOOL CImageListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, ListClass(), L"", style | WS_CHILD, rect, parent, id);
}

void CImageListCtrl::DeleteImages() {
  std::list<CHxImageAbstr*> images;
  images.swap(m_images);
  m_selected.clear();
  for (CHxImageAbstr* image : images) delete image;
}

// --- the list

void CImageListCtrl::AddImage(CHxImageAbstr* image) {
  if (!image || ImageIndex(image) >= 0) return;
  m_images.push_back(image);
  UpdateScrollBars();
}

void CImageListCtrl::RemoveImage(CHxImageAbstr* image) {
  auto it = std::find(m_images.begin(), m_images.end(), image);
  if (it == m_images.end()) return;
  m_images.erase(it);
  m_selected.remove(image);
  delete image;
  UpdateScrollBars();
}

void CImageListCtrl::RemoveAll() {
  DeleteImages();
  UpdateScrollBars();
}

void CImageListCtrl::Init() {
  UpdateScrollBars();
  m_selected.clear();
}

void CImageListCtrl::SetMode(ListMode mode) {
  m_horizontal = mode == lmHorizontal;
  m_wrapping = mode == lmWrapping;
  UpdateScrollBars();
}

CHxImageAbstr* CImageListCtrl::GetCurSel() const { return m_selected.empty() ? nullptr : m_selected.front(); }

// --- cells

void CImageListCtrl::GetNextRect(CRect& cell, CHxImageAbstr* image) {
  const int side = image ? image->Width() : 0;
  int left = cell.right, top = cell.top;
  if (m_wrapping) {
    CRect client;
    if (m_hWnd) GetClientRect(&client);
    if (client.Width() < cell.right + side) left = 0, top = cell.bottom;
  } else if (!m_horizontal) {
    left = cell.left, top = cell.bottom;
  }
  cell.SetRect(left, top, left + side, top + side);
}

CPoint CImageListCtrl::GetOrigin(CHxImageAbstr* image) {
  CRect cell;
  for (CHxImageAbstr* each : m_images) {
    GetNextRect(cell, each);
    if (each == image) return cell.TopLeft();
  }
  return CPoint(0, 0);
}

CHxImageAbstr* CImageListCtrl::ImageFromPoint(CPoint point) {
  if (m_hWnd) point.Offset(GetScrollPos(SB_HORZ), GetScrollPos(SB_VERT));
  CRect cell;
  for (CHxImageAbstr* each : m_images) {
    GetNextRect(cell, each);
    if (cell.PtInRect(point)) return each;
  }
  return nullptr;
}

int CImageListCtrl::ImageIndex(CHxImageAbstr* image) const {
  int index = 0;
  for (CHxImageAbstr* each : m_images) {
    if (each == image) return index;
    ++index;
  }
  return -1;
}

void CImageListCtrl::MakeImageVisible(CHxImageAbstr* image) {
  if (!image || !m_hWnd || ImageIndex(image) < 0) return;
  const CPoint origin = GetOrigin(image);
  SetScrollPos(SB_HORZ, origin.x);
  SetScrollPos(SB_VERT, origin.y);
  Invalidate();
}

CSize CImageListCtrl::Extent() {
  CSize extent;
  CRect cell;
  for (CHxImageAbstr* each : m_images) {
    GetNextRect(cell, each);
    extent.cx = std::max(extent.cx, cell.right);
    extent.cy = std::max(extent.cy, cell.bottom);
  }
  return extent;
}

int CImageListCtrl::CalcWidth() { return static_cast<int>(Extent().cx); }
int CImageListCtrl::CalcHeight() { return static_cast<int>(Extent().cy); }

// --- selection

void CImageListCtrl::Select(CHxImageAbstr* image) {
  if (image && !Selected(image)) m_selected.push_back(image);
}

void CImageListCtrl::ToggleSelection(CHxImageAbstr* image) {
  if (!image) return;
  if (Selected(image)) m_selected.remove(image);
  else m_selected.push_back(image);
}

void CImageListCtrl::SelectAll() {
  for (CHxImageAbstr* each : m_images) Select(each);
}

void CImageListCtrl::DeselectAll() { m_selected.clear(); }

bool CImageListCtrl::Selected(CHxImageAbstr* image) const {
  return std::find(m_selected.begin(), m_selected.end(), image) != m_selected.end();
}

void CImageListCtrl::SelectHead() {
  if (!m_images.empty()) Select(m_images.front());
}

void CImageListCtrl::SelectTail() {
  if (!m_images.empty()) Select(m_images.back());
}

void CImageListCtrl::SelectPrior() {
  CHxImageAbstr* current = GetCurSel();
  if (!current) {
    SelectTail();
  } else {
    auto it = std::find(m_images.begin(), m_images.end(), current);
    CHxImageAbstr* prior = it == m_images.end() || it == m_images.begin() ? m_images.back() : *std::prev(it);
    m_selected.clear();
    Select(prior);
  }
  MakeImageVisible(GetCurSel());
}

void CImageListCtrl::SelectNext() {
  CHxImageAbstr* current = GetCurSel();
  if (!current) {
    SelectHead();
  } else {
    auto it = std::find(m_images.begin(), m_images.end(), current);
    CHxImageAbstr* next = it == m_images.end() || std::next(it) == m_images.end() ? m_images.front() : *std::next(it);
    m_selected.clear();
    Select(next);
  }
  MakeImageVisible(GetCurSel());
}

void CImageListCtrl::NotifyParent(UINT code) {
  if (!m_hWnd) return;
  CWnd* parent = GetParent();
  if (!parent) return;
  NMHDR header{m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID()), code};
  parent->SendMessage(WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()), reinterpret_cast<LPARAM>(&header));
}

// --- scroll bars

void CImageListCtrl::UpdateScrollBars() {
  if (!m_hWnd || m_updatingBars) return;
  m_updatingBars = true;
  const int barWidth = GetSystemMetrics(SM_CXVSCROLL), barHeight = GetSystemMetrics(SM_CYHSCROLL);
  // Showing or hiding a bar changes the client area and so, when rows wrap, the content: the
  // bars are worked out again until they no longer change it.
  for (int round = 0; round < 4; ++round) {
    CRect client;
    GetClientRect(&client);
    const CRect before = client;
    const DWORD style = GetStyle();
    if (style & WS_VSCROLL) client.right += barWidth;
    if (style & WS_HSCROLL) client.bottom += barHeight;
    const CSize extent = Extent();
    const int width = static_cast<int>(extent.cx), height = static_cast<int>(extent.cy);
    bool horizontal = width > client.Width();
    if (horizontal) client.bottom -= barHeight;
    const bool vertical = height > client.Height();
    if (vertical) {
      client.right -= barWidth;
      if (!horizontal && width > client.Width()) {
        horizontal = true;
        client.bottom -= barHeight;
      }
    }
    // Every bar gets the content's range and the client's page; a bar that is not needed is
    // thereby held at 0.
    SCROLLINFO h{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, width - 1, static_cast<UINT>(std::max(0, client.Width())),
                 0, 0};
    SetScrollInfo(SB_HORZ, &h, FALSE);
    SCROLLINFO v{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, height - 1,
                 static_cast<UINT>(std::max(0, client.Height())), 0, 0};
    SetScrollInfo(SB_VERT, &v, FALSE);
    if (horizontal) EnableScrollBarCtrl(SB_HORZ, TRUE);
    if (vertical) EnableScrollBarCtrl(SB_VERT, TRUE);
    ShowScrollBar(SB_HORZ, horizontal);
    ShowScrollBar(SB_VERT, vertical);
    CRect after;
    GetClientRect(&after);
    if (after == before) break;
  }
  m_updatingBars = false;
  Invalidate();
}

void CImageListCtrl::OnSize(UINT, int, int) { UpdateScrollBars(); }

void CImageListCtrl::Scroll(int bar, UINT code, int position) {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(bar, &info);
  const int page = static_cast<int>(info.nPage), line = page / 10;
  int target = 0;
  switch (code) {
    case SB_LINEUP: target = info.nPos - line; break;
    case SB_LINEDOWN: target = info.nPos + line; break;
    case SB_PAGEUP: target = info.nPos - page; break;
    case SB_PAGEDOWN: target = info.nPos + page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: target = position; break;
    case SB_BOTTOM: target = info.nMax; break;
    case SB_ENDSCROLL: target = info.nPos; break;
    default: target = 0; break;
  }
  SetScrollPos(bar, target);
  const int moved = info.nPos - GetScrollPos(bar);
  if (moved == 0) return;
  if (bar == SB_HORZ) ScrollWindow(moved, 0);
  else ScrollWindow(0, moved);
  UpdateWindow();
}

void CImageListCtrl::OnHScroll(UINT code, UINT position, CScrollBar*) {
  Scroll(SB_HORZ, code, static_cast<int>(position));
}

void CImageListCtrl::OnVScroll(UINT code, UINT position, CScrollBar*) {
  Scroll(SB_VERT, code, static_cast<int>(position));
}

BOOL CImageListCtrl::OnMouseWheel(UINT, short delta, CPoint) {
  Scroll(SB_VERT, delta < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
  return TRUE;
}

// --- painting

void CImageListCtrl::OnPaint() {
  CPaintDC dc(this);
  try {
    CRect client;
    GetClientRect(&client);
    const int dx = GetScrollPos(SB_HORZ), dy = GetScrollPos(SB_VERT);
    std::vector<CRect> uncovered{client};
    CRect cell;
    for (CHxImageAbstr* image : m_images) {
      GetNextRect(cell, image);
      CRect shown = cell;
      shown.OffsetRect(-dx, -dy);
      std::vector<CRect> rest;
      for (const CRect& r : uncovered) Subtract(r, shown, rest);
      uncovered.swap(rest);
      CRect visible;
      if (!visible.IntersectRect(&shown, &client)) continue;
      CRgn region;
      region.CreateRectRgnIndirect(&shown);
      dc.SelectClipRgn(&region);
      dc.SetViewportOrg(shown.left, shown.top);
      image->Draw(dc, CRect(0, 0, cell.Width(), cell.Height()), Selected(image));
    }
    dc.SetViewportOrg(0, 0);
    dc.SelectClipRgn(nullptr);
    for (const CRect& r : uncovered) dc.FillSolidRect(&r, GetSysColor(COLOR_WINDOW));
  } catch (const _com_error&) {
  }
}

// --- keys and the mouse

void CImageListCtrl::OnKeyDown(UINT key, UINT, UINT) {
  switch (key) {
    case VK_PRIOR:
    case VK_LEFT:
    case VK_UP: SelectPrior(); break;
    case VK_NEXT:
    case VK_RIGHT:
    case VK_DOWN: SelectNext(); break;
    case VK_END:
      SelectTail();
      Invalidate();
      break;
    case VK_HOME:
      SelectHead();
      Invalidate();
      break;
    case VK_INSERT: NotifyParent(kNotifyInsert); break;
    case VK_DELETE: NotifyParent(kNotifyDelete); break;
    default: break;
  }
}

void CImageListCtrl::OnLButtonDown(UINT, CPoint point) {
  SetFocus();
  DeselectAll();
  if (CHxImageAbstr* image = ImageFromPoint(point)) {
    Select(image);
    m_dragging = true;
    SetCapture(m_hWnd);
  }
  Invalidate();
}

void CImageListCtrl::OnMouseMove(UINT, CPoint point) {
  if (!m_dragging) return;
  auto* target = dynamic_cast<CHxImageWithId*>(ImageFromPoint(point));
  if (!target) return;
  SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
  CHxImageAbstr* moving = GetCurSel();
  if (!moving || moving == target) return;
  const bool before = ImageIndex(moving) < ImageIndex(target);
  m_images.remove(moving);
  auto at = std::find(m_images.begin(), m_images.end(), static_cast<CHxImageAbstr*>(target));
  if (before) ++at;
  m_images.insert(at, moving);
  Invalidate();
}

void CImageListCtrl::OnLButtonUp(UINT, CPoint) {
  if (m_dragging && GetCapture() == m_hWnd) ReleaseCapture();
  m_dragging = false;
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void CImageListCtrl::OnLButtonDblClk(UINT, CPoint) {
  if (auto* image = dynamic_cast<CHxImageWithId*>(GetCurSel())) ShowPreview(*image);
}

void CImageListCtrl::ShowPreview(CHxImageWithId& image) {
  try {
    IHxImageRepositoryPtr repository = hx::ImageRepository();
    if (!repository) return;
    hx::Check(repository->EndTransaction(0));
    BSTR rawName = nullptr;
    IUnknown* rawStream = nullptr;
    LONG width = 0, height = 0, size = 0;
    VARIANT_BOOL found = VARIANT_FALSE;
    const HRESULT hr = repository->GetPicture(static_cast<LONG>(image), &rawName, &rawStream, &width, &height, &size, &found);
    _bstr_t name(rawName, false);
    IUnknownPtr streamObject(rawStream, false);
    hx::Check(hr);
    if (!found) return;
    IStreamPtr stream(streamObject);
    if (!stream) return;
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(static_cast<IStream*>(stream));
    CString title;
    const wchar_t* text = static_cast<const wchar_t*>(name);
    title.Format(L"%ls - %ld x %ld (%.1f KB)", text ? text : L"", width, height, size / 1024.0);
    CHxGdiplusPictureViewDlg preview(bitmap.get(), title, this);
    preview.DoModal();
  } catch (const _com_error&) {
  }
}

void CImageListCtrl::OnDestroy() {
  DeleteImages();
  Default();
}
