#pragma once
// The class library's window, dialog and drawing classes over the headless window layer.
//
// Message routing: a CWnd attached to a window by subclassing (SubclassWindow, SubclassDlgItem,
// Create, CDialog) gets every message in WindowProc; OnWndMsg calls the virtual handler of the
// message (OnCommand, OnNotify, OnPaint, OnCtlColor, OnContextMenu, ...), whose default passes it
// on to the window's previous procedure (Default). Derived classes override the handlers they
// need instead of declaring message maps; commands reach OnCmdMsg(id, code, ...), where a class
// handles its ids and otherwise calls its base. Notifications from a child are first offered to
// the child's OnChildNotify (reflection). An exception escaping a handler is reported in a
// message box and the message answers 0.
#include <memory>
#include <string>
#include <utility>

#include "platform/gui/dialogs.h"
#include "platform/gui/windows.h"
#include "platform/resources/resources.h"
#include "platform/strings/strings.h"

class CWnd;
class CDC;
class CMenu;
class CFont;
class CDataExchange;

// --- exceptions of the class library
class CException {
 public:
  virtual ~CException() = default;
  virtual void Delete() { delete this; }
};
class CUserException : public CException {};
[[noreturn]] void AfxThrowUserException();

// --- points, sizes and rectangles
class CSize : public SIZE {
 public:
  CSize() : SIZE{0, 0} {}
  CSize(int cx, int cy) : SIZE{cx, cy} {}
  CSize(SIZE s) : SIZE(s) {}  // NOLINT(google-explicit-constructor)
  bool operator==(SIZE o) const { return cx == o.cx && cy == o.cy; }
  bool operator!=(SIZE o) const { return !(*this == o); }
};

class CPoint : public POINT {
 public:
  CPoint() : POINT{0, 0} {}
  CPoint(int x, int y) : POINT{x, y} {}
  CPoint(POINT p) : POINT(p) {}  // NOLINT(google-explicit-constructor)
  explicit CPoint(LPARAM packed) : POINT{static_cast<SHORT>(LOWORD(packed)), static_cast<SHORT>(HIWORD(packed))} {}
  void Offset(int dx, int dy) { x += dx, y += dy; }
  bool operator==(POINT o) const { return x == o.x && y == o.y; }
  bool operator!=(POINT o) const { return !(*this == o); }
  CPoint operator+(SIZE s) const { return CPoint(x + s.cx, y + s.cy); }
  CPoint operator-(SIZE s) const { return CPoint(x - s.cx, y - s.cy); }
  CSize operator-(POINT p) const { return CSize(x - p.x, y - p.y); }
  operator LPPOINT() { return this; }  // NOLINT(google-explicit-constructor)
};

class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}  // NOLINT(google-explicit-constructor)
  CRect(LPCRECT r) : RECT(r ? *r : RECT{}) {}  // NOLINT(google-explicit-constructor)
  CRect(POINT p, SIZE s) : RECT{p.x, p.y, p.x + s.cx, p.y + s.cy} {}
  CRect(POINT a, POINT b) : RECT{a.x, a.y, b.x, b.y} {}
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint& TopLeft() { return *reinterpret_cast<CPoint*>(&left); }
  CPoint& BottomRight() { return *reinterpret_cast<CPoint*>(&right); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  BOOL IsRectEmpty() const { return ::IsRectEmpty(this); }
  BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  BOOL PtInRect(POINT p) const { return ::PtInRect(this, p); }
  void SetRect(int l, int t, int r, int b) { left = l, top = t, right = r, bottom = b; }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void CopyRect(LPCRECT r) { ::CopyRect(this, r); }
  BOOL EqualRect(LPCRECT r) const { return ::EqualRect(this, r); }
  void InflateRect(int dx, int dy) { ::InflateRect(this, dx, dy); }
  void InflateRect(int l, int t, int r, int b) { left -= l, top -= t, right += r, bottom += b; }
  void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
  void DeflateRect(int l, int t, int r, int b) { left += l, top += t, right -= r, bottom -= b; }
  void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
  void OffsetRect(POINT p) { ::OffsetRect(this, p.x, p.y); }
  void MoveToY(int y) { bottom = Height() + y, top = y; }
  void MoveToX(int x) { right = Width() + x, left = x; }
  void MoveToXY(int x, int y) { MoveToX(x), MoveToY(y); }
  void NormalizeRect() {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
  }
  BOOL IntersectRect(LPCRECT a, LPCRECT b) { return ::IntersectRect(this, a, b); }
  BOOL UnionRect(LPCRECT a, LPCRECT b) { return ::UnionRect(this, a, b); }
  operator LPRECT() { return this; }              // NOLINT(google-explicit-constructor)
  operator LPCRECT() const { return this; }       // NOLINT(google-explicit-constructor)
  bool operator==(const RECT& r) const { return ::EqualRect(this, &r) != 0; }
  bool operator!=(const RECT& r) const { return !(*this == r); }
};

// --- GDI objects. An object made by a Create call is deleted with its wrapper; FromHandle gives
// a temporary wrapper that never deletes.
class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }  // NOLINT(google-explicit-constructor)
  int GetObject(int size, LPVOID buffer) const { return ::GetObjectW(m_hObject, size, buffer); }
  static CGdiObject* FromHandle(HGDIOBJ object);
  HGDIOBJ m_hObject = nullptr;

 protected:
  bool m_temporary = false;
  template <class T>
  friend T* TemporaryGdiObject(HGDIOBJ object);
};

class CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
  BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
  operator HPEN() const { return static_cast<HPEN>(m_hObject); }  // NOLINT(google-explicit-constructor)
  static CPen* FromHandle(HPEN pen);
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
  BOOL CreateSysColorBrush(int index) { return Attach(::CreateSolidBrush(GetSysColor(index))); }
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }  // NOLINT(google-explicit-constructor)
  static CBrush* FromHandle(HBRUSH brush);
};

class CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONTW* font) { return Attach(::CreateFontIndirectW(font)); }
  // Height in tenths of a point at 96 pixels per inch.
  BOOL CreatePointFont(int tenths, LPCWSTR face, CDC* dc = nullptr);
  int GetLogFont(LOGFONTW* font) const { return ::GetObjectW(m_hObject, sizeof(LOGFONTW), font); }
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }  // NOLINT(google-explicit-constructor)
  static CFont* FromHandle(HFONT font);
};

class CBitmap : public CGdiObject {
 public:
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bits, const void* data) {
    return Attach(::CreateBitmap(width, height, planes, bits, data));
  }
  int GetBitmap(BITMAP* bitmap) const { return ::GetObjectW(m_hObject, sizeof(BITMAP), bitmap); }
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }  // NOLINT(google-explicit-constructor)
  static CBitmap* FromHandle(HBITMAP bitmap);
};

class CRgn : public CGdiObject {
 public:
  BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
  BOOL CreateRectRgnIndirect(LPCRECT r) { return Attach(::CreateRectRgnIndirect(r)); }
  void SetRectRgn(int l, int t, int r, int b) { ::SetRectRgn(static_cast<HRGN>(m_hObject), l, t, r, b); }
  void SetRectRgn(LPCRECT r) { ::SetRectRgn(static_cast<HRGN>(m_hObject), r->left, r->top, r->right, r->bottom); }
  int OffsetRgn(int dx, int dy) { return ::OffsetRgn(static_cast<HRGN>(m_hObject), dx, dy); }
  int GetRgnBox(LPRECT r) const { return ::GetRgnBox(static_cast<HRGN>(m_hObject), r); }
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }  // NOLINT(google-explicit-constructor)
};

// --- device contexts
class CDC {
 public:
  CDC() = default;
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  BOOL Attach(HDC dc);
  HDC Detach();
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }  // NOLINT(google-explicit-constructor)
  static CDC* FromHandle(HDC dc);

  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();
  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
  CWnd* GetWindow() const;

  CPen* SelectObject(CPen* pen);
  CBrush* SelectObject(CBrush* brush);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
  CGdiObject* SelectStockObject(int index);
  CFont* GetCurrentFont() const { return CFont::FromHandle(static_cast<HFONT>(::GetCurrentObject(m_hDC, OBJ_FONT))); }

  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  int GetBkMode() const { return ::GetBkMode(m_hDC); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
  UINT SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
  CPoint SetViewportOrg(int x, int y) {
    POINT p{};
    ::SetViewportOrgEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint GetViewportOrg() const {
    POINT p{};
    ::GetViewportOrgEx(m_hDC, &p);
    return p;
  }
  int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
  int IntersectClipRect(LPCRECT r) { return ::IntersectClipRect(m_hDC, r->left, r->top, r->right, r->bottom); }
  int GetClipBox(LPRECT r) const { return ::GetClipBox(m_hDC, r); }
  // A null region takes the clip away.
  int SelectClipRgn(CRgn* region) { return ::SelectClipRgn(m_hDC, region ? static_cast<HRGN>(*region) : nullptr); }

  CPoint MoveTo(int x, int y) {
    POINT p{};
    ::MoveToEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
  COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }
  COLORREF SetPixel(POINT p, COLORREF c) { return ::SetPixel(m_hDC, p.x, p.y, c); }
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
  BOOL Rectangle(LPCRECT r) { return ::Rectangle(m_hDC, r->left, r->top, r->right, r->bottom); }
  BOOL Ellipse(int l, int t, int r, int b) { return ::Ellipse(m_hDC, l, t, r, b); }
  BOOL Ellipse(LPCRECT r) { return ::Ellipse(m_hDC, r->left, r->top, r->right, r->bottom); }
  BOOL RoundRect(LPCRECT r, POINT p) { return ::RoundRect(m_hDC, r->left, r->top, r->right, r->bottom, p.x, p.y); }
  BOOL Polygon(const POINT* points, int count) { return ::Polygon(m_hDC, points, count); }
  BOOL Arc(int l, int t, int r, int b, int xs, int ys, int xe, int ye) { return ::Arc(m_hDC, l, t, r, b, xs, ys, xe, ye); }
  BOOL Arc(LPCRECT r, POINT start, POINT end) {
    return ::Arc(m_hDC, r->left, r->top, r->right, r->bottom, start.x, start.y, end.x, end.y);
  }
  BOOL AlphaBlend(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, BLENDFUNCTION blend) {
    return ::AlphaBlend(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, blend);
  }
  BOOL TransparentBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, UINT transparent) {
    return ::TransparentBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, transparent);
  }
  void FillRect(LPCRECT r, CBrush* brush) { ::FillRect(m_hDC, r, brush ? static_cast<HBRUSH>(*brush) : nullptr); }
  void FrameRect(LPCRECT r, CBrush* brush) { ::FrameRect(m_hDC, r, brush ? static_cast<HBRUSH>(*brush) : nullptr); }
  void FillSolidRect(LPCRECT r, COLORREF c);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF c);
  void Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  BOOL DrawEdge(LPRECT r, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, r, edge, flags); }
  void DrawFocusRect(LPCRECT r) { ::DrawFocusRect(m_hDC, r); }
  BOOL BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, rop);
  }
  BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, rop);
  }
  BOOL PatBlt(int x, int y, int w, int h, DWORD rop) { return ::PatBlt(m_hDC, x, y, w, h, rop); }
  BOOL GradientFill(TRIVERTEX* v, ULONG nv, void* mesh, ULONG nm, DWORD mode) {
    return ::GradientFill(m_hDC, v, nv, mesh, nm, mode);
  }

  BOOL TextOut(int x, int y, const CString& text) { return ::TextOutW(m_hDC, x, y, text, text.GetLength()); }
  BOOL TextOut(int x, int y, LPCWSTR text, int length) { return ::TextOutW(m_hDC, x, y, text, length); }
  int DrawText(const CString& text, LPRECT r, UINT format) { return ::DrawTextW(m_hDC, text, text.GetLength(), r, format); }
  int DrawText(LPCWSTR text, int length, LPRECT r, UINT format) { return ::DrawTextW(m_hDC, text, length, r, format); }
  CSize GetTextExtent(const CString& text) const {
    SIZE s{};
    ::GetTextExtentPoint32W(m_hDC, text, text.GetLength(), &s);
    return s;
  }
  CSize GetTextExtent(LPCWSTR text, int length) const {
    SIZE s{};
    ::GetTextExtentPoint32W(m_hDC, text, length, &s);
    return s;
  }
  BOOL GetTextMetrics(LPTEXTMETRICW tm) const { return ::GetTextMetricsW(m_hDC, tm); }

  HDC m_hDC = nullptr;

 protected:
  bool m_owned = false;   // made by CreateCompatibleDC: deleted with the wrapper
};

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps{};

 protected:
  HWND m_hWnd = nullptr;
};

class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* window);
  ~CClientDC() override;

 protected:
  HWND m_hWnd = nullptr;
};

class CWindowDC : public CDC {
 public:
  explicit CWindowDC(CWnd* window);
  ~CWindowDC() override;

 protected:
  HWND m_hWnd = nullptr;
};

// --- menus
class CMenu {
 public:
  CMenu() = default;
  virtual ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;
  BOOL CreateMenu() { return Attach(::CreateMenu()); }
  BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
  BOOL DestroyMenu();
  BOOL Attach(HMENU menu);
  HMENU Detach();
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }  // NOLINT(google-explicit-constructor)
  static CMenu* FromHandle(HMENU menu);

  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) { return ::AppendMenuW(m_hMenu, flags, id, text); }
  BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) {
    return ::InsertMenuW(m_hMenu, position, flags, id, text);
  }
  BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) {
    return ::ModifyMenuW(m_hMenu, position, flags, id, text);
  }
  BOOL DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
  BOOL RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
  UINT GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
  UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
  UINT GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }
  int GetMenuString(UINT item, CString& text, UINT flags) const;
  UINT EnableMenuItem(UINT item, UINT flags) { return ::EnableMenuItem(m_hMenu, item, flags); }
  UINT CheckMenuItem(UINT item, UINT flags) { return ::CheckMenuItem(m_hMenu, item, flags); }
  CMenu* GetSubMenu(int position) const { return FromHandle(::GetSubMenu(m_hMenu, position)); }
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr);

  HMENU m_hMenu = nullptr;

 private:
  bool m_temporary = false;
  friend CMenu* TemporaryMenu(HMENU);
};

// --- command targets and windows
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI (static_cast<int>(-1))
#define CTLCOLOR_MSGBOX 0
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_LISTBOX 2
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_SCROLLBAR 5
#define CTLCOLOR_STATIC 6

class CCmdTarget;
class CScrollBar;
struct AFX_CMDHANDLERINFO {
  CCmdTarget* pTarget;
};
struct AFX_NOTIFY {
  LRESULT* pResult;
  NMHDR* pNMHDR;
};

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  // A command (code CN_COMMAND or a control's notification code; a WM_NOTIFY arrives as
  // MAKELONG(code, WM_NOTIFY) with an AFX_NOTIFY). TRUE when handled.
  virtual BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) { return FALSE; }
};

LRESULT AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  operator HWND() const { return m_hWnd; }  // NOLINT(google-explicit-constructor)
  HWND GetSafeHwnd() const { return m_hWnd; }
  // The CWnd attached to the window, else a temporary wrapper (which lives as long as the window).
  static CWnd* FromHandle(HWND window);
  static CWnd* FromHandlePermanent(HWND window);
  BOOL Attach(HWND window);
  HWND Detach();
  BOOL SubclassWindow(HWND window);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();

  // A null class name is the class library's plain window class.
  virtual BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                      void* context = nullptr);
  virtual BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id, LPVOID param = nullptr);
  virtual BOOL DestroyWindow();
  // OLE controls (platform/gui/webbrowser.h): a child window hosting the control of `clsid`
  // (control containment must be enabled); its object lives as long as the window.
  BOOL CreateControl(REFCLSID clsid, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  IUnknown* GetControlUnknown() const;

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
  }
  LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendDlgItemMessageW(m_hWnd, id, message, wParam, lParam);
  }

  void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
  void GetWindowText(CString& text) const;
  int GetWindowText(LPWSTR text, int size) const { return ::GetWindowTextW(m_hWnd, text, size); }
  int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  int SetDlgCtrlID(int id) { return static_cast<int>(::SetWindowLongW(m_hWnd, GWL_ID, id)); }
  CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
  CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
  CWnd* GetOwner() const { return FromHandle(::GetWindow(m_hWnd, GW_OWNER)); }
  CWnd* SetParent(CWnd* parent) { return FromHandle(::SetParent(m_hWnd, parent ? parent->m_hWnd : nullptr)); }
  CWnd* GetWindow(UINT relation) const { return FromHandle(::GetWindow(m_hWnd, relation)); }
  CWnd* GetNextWindow(UINT relation = GW_HWNDNEXT) const { return FromHandle(::GetWindow(m_hWnd, relation)); }
  CWnd* GetTopWindow() const { return FromHandle(::GetWindow(m_hWnd, GW_CHILD)); }
  BOOL IsChild(const CWnd* window) const { return window && ::IsChild(m_hWnd, window->m_hWnd); }

  void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
  void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
  void ScreenToClient(LPPOINT p) const { ::ScreenToClient(m_hWnd, p); }
  void ScreenToClient(LPRECT r) const;
  void ClientToScreen(LPPOINT p) const { ::ClientToScreen(m_hWnd, p); }
  void ClientToScreen(LPRECT r) const;
  void MapWindowPoints(CWnd* to, LPRECT r) const {
    ::MapWindowPoints(m_hWnd, to ? to->m_hWnd : nullptr, reinterpret_cast<LPPOINT>(r), 2);
  }
  void MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE) { ::MoveWindow(m_hWnd, x, y, w, h, repaint); }
  void MoveWindow(LPCRECT r, BOOL repaint = TRUE) {
    ::MoveWindow(m_hWnd, r->left, r->top, r->right - r->left, r->bottom - r->top, repaint);
  }
  BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, after ? after->m_hWnd : nullptr, x, y, cx, cy, flags);
  }
  void CenterWindow(CWnd* alternateOwner = nullptr);
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
  static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void InvalidateRect(LPCRECT rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
  BOOL RedrawWindow(LPCRECT rect = nullptr, HRGN region = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
    return ::RedrawWindow(m_hWnd, rect, region, flags);
  }

  void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
  UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
  void SetDlgItemText(int id, LPCWSTR text) { ::SetDlgItemTextW(m_hWnd, id, text); }
  int GetDlgItemText(int id, CString& text) const;
  void SetDlgItemInt(int id, UINT value, BOOL signedValue = TRUE) { ::SetDlgItemInt(m_hWnd, id, value, signedValue); }
  UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL signedValue = TRUE) const {
    return ::GetDlgItemInt(m_hWnd, id, translated, signedValue);
  }
  CMenu* GetMenu() const { return CMenu::FromHandle(::GetMenu(m_hWnd)); }
  BOOL SetMenu(CMenu* menu) { return ::SetMenu(m_hWnd, menu ? menu->m_hMenu : nullptr); }
  void DrawMenuBar() { ::DrawMenuBar(m_hWnd); }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }
  HICON GetIcon(BOOL big) const { return reinterpret_cast<HICON>(SendMessage(WM_GETICON, big ? ICON_BIG : ICON_SMALL, 0)); }
  // Scroll bars (SB_HORZ, SB_VERT) of the window.
  BOOL SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw = TRUE) {
    ::SetScrollInfo(m_hWnd, bar, info, redraw);
    return TRUE;
  }
  BOOL GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask = SIF_ALL) const {
    if (!info) return FALSE;
    info->fMask = mask;
    return ::GetScrollInfo(m_hWnd, bar, info);
  }
  int GetScrollPos(int bar) const { return ::GetScrollPos(m_hWnd, bar); }
  int SetScrollPos(int bar, int position, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, bar, position, redraw); }
  void SetScrollRange(int bar, int min, int max, BOOL redraw = TRUE) { ::SetScrollRange(m_hWnd, bar, min, max, redraw); }
  void GetScrollRange(int bar, LPINT min, LPINT max) const { ::GetScrollRange(m_hWnd, bar, min, max); }
  // The largest position the bar takes (max - (page - 1)).
  int GetScrollLimit(int bar) const;
  void ShowScrollBar(UINT bar, BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, static_cast<int>(bar), show); }
  BOOL EnableScrollBar(int bar, UINT arrows = ESB_ENABLE_BOTH) { return ::EnableScrollBar(m_hWnd, static_cast<UINT>(bar), arrows); }
  void EnableScrollBarCtrl(int bar, BOOL enable = TRUE) {
    ::EnableScrollBar(m_hWnd, static_cast<UINT>(bar), enable ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
  }
  void ScrollWindow(int dx, int dy, LPCRECT rect = nullptr, LPCRECT clip = nullptr) {
    ::ScrollWindow(m_hWnd, dx, dy, rect, clip);
  }

  CDC* GetDC();
  CDC* GetWindowDC();
  int ReleaseDC(CDC* dc);
  int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK) {
    return ::MessageBoxW(m_hWnd, text, caption, type);
  }

  // Moves data between the controls and the object (save: from the controls) through
  // DoDataExchange; FALSE when an exchange failed.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* dx) {}

  // --- routing
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL PreTranslateMessage(MSG* msg) { return FALSE; }
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) { return FALSE; }
  virtual void PreSubclassWindow() {}
  virtual void PostNcDestroy() {}

  // --- handlers; each default passes the message on
  virtual int OnCreate(LPCREATESTRUCTW cs) { return static_cast<int>(Default()); }
  virtual void OnDestroy() { Default(); }
  virtual void OnNcDestroy();
  virtual void OnPaint() { Default(); }
  virtual BOOL OnEraseBkgnd(CDC* dc) { return static_cast<BOOL>(Default()); }
  virtual HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) { return reinterpret_cast<HBRUSH>(Default()); }
  virtual void OnContextMenu(CWnd* window, CPoint point) { Default(); }
  virtual void OnSize(UINT type, int cx, int cy) { Default(); }
  virtual void OnDrawItem(int id, LPDRAWITEMSTRUCT item) { Default(); }
  virtual void OnSetFocus(CWnd* old) { Default(); }
  virtual void OnKillFocus(CWnd* next) { Default(); }
  virtual void OnShowWindow(BOOL show, UINT status) { Default(); }
  virtual void OnMouseMove(UINT flags, CPoint point) { Default(); }
  virtual void OnMouseLeave() { Default(); }
  virtual void OnLButtonDown(UINT flags, CPoint point) { Default(); }
  virtual void OnLButtonUp(UINT flags, CPoint point) { Default(); }
  virtual void OnLButtonDblClk(UINT flags, CPoint point) { Default(); }
  // The wheel's delta (WHEEL_DELTA a notch, negative towards the user); TRUE when scrolled.
  virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint point) { return static_cast<BOOL>(Default()); }
  virtual void OnKeyDown(UINT key, UINT repeat, UINT flags) { Default(); }
  // The scroll code (SB_*), the thumb's position for SB_THUMBPOSITION and SB_THUMBTRACK, and
  // the scroll-bar control (null for the window's own bars).
  virtual void OnHScroll(UINT code, UINT position, CScrollBar* bar) { Default(); }
  virtual void OnVScroll(UINT code, UINT position, CScrollBar* bar) { Default(); }
  // What keys the control wants of its dialog (DLGC_*).
  virtual UINT OnGetDlgCode() { return static_cast<UINT>(Default()); }
  // TRUE when the cursor was set.
  virtual BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message) { return static_cast<BOOL>(Default()); }
  virtual void OnTimer(UINT_PTR id) { Default(); }
  // The message being handled, passed on to the previous procedure.
  LRESULT Default();

  HWND m_hWnd = nullptr;
  WNDPROC m_pfnSuper = nullptr;   // the window's procedure before this object subclassed it

 protected:
  const MSG* m_currentMessage = nullptr;
  bool m_temporary = false;
  friend CWnd* TemporaryWindow(HWND);
};

// --- dialogs
class CDialog : public CWnd {
 public:
  CDialog() = default;
  explicit CDialog(LPCWSTR templateName, CWnd* parent = nullptr);
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Modeless: the template is found in the current resources and their chain.
  virtual BOOL Create(LPCWSTR templateName, CWnd* parent = nullptr);
  BOOL Create(UINT templateId, CWnd* parent = nullptr) { return Create(MAKEINTRESOURCEW(templateId), parent); }
  BOOL CreateIndirect(const platform::gui::DialogTemplate& dialog, CWnd* parent = nullptr);
  // Modal, answered by the headless script (platform/gui/headless.h). -1 when it cannot be made.
  virtual INT_PTR DoModal();
  // Modal over a template in memory, known to the scripts by `name`.
  INT_PTR DoModalIndirect(const platform::gui::DialogTemplate& dialog, const std::wstring& name);
  void EndDialog(int result) { ::EndDialog(m_hWnd, result); }

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;

  void GotoDlgCtrl(CWnd* control);
  void NextDlgCtrl() const;
  void SetDefID(UINT id) { SendMessage(DM_SETDEFID, id, 0); }
  DWORD GetDefID() const { return static_cast<DWORD>(SendMessage(DM_GETDEFID, 0, 0)); }
  // The template's name ("#108" for a numbered one).
  std::wstring TemplateName() const;
  LPCWSTR TemplateResource() const;

  CWnd* m_pParentWnd = nullptr;
  UINT m_nIDHelp = 0;

 protected:
  void SetTemplate(LPCWSTR templateName);

 private:
  std::wstring m_templateText;
  UINT m_templateId = 0;
};

// --- the class library's data exchange
class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
  // The control of that id; a missing one fails the exchange.
  HWND PrepareCtrl(int id);
  HWND PrepareEditCtrl(int id) { return PrepareCtrl(id); }
  [[noreturn]] void Fail();
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  HWND m_idLastControl = nullptr;
};
void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_LBIndex(CDataExchange* dx, int id, int& index);
void DDX_CBString(CDataExchange* dx, int id, CString& value);
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

// --- controls
class CStatic : public CWnd {
 public:
  HICON SetIcon(HICON icon) { return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon), 0)); }
  HBITMAP SetBitmap(HBITMAP bitmap) {
    return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, 0, reinterpret_cast<LPARAM>(bitmap)));
  }
};

class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  void SetState(BOOL pushed) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(pushed)); }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
};

class CEdit : public CWnd {
 public:
  void LimitText(int chars = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(chars)); }
  void SetLimitText(UINT chars) { SendMessage(EM_LIMITTEXT, chars); }
  UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, static_cast<WPARAM>(readOnly))); }
  void SetSel(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
  void ReplaceSel(LPCWSTR text, BOOL canUndo = FALSE) {
    SendMessage(EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
  }
  BOOL GetModify() const { return static_cast<BOOL>(SendMessage(EM_GETMODIFY)); }
  void SetModify(BOOL modified = TRUE) { SendMessage(EM_SETMODIFY, static_cast<WPARAM>(modified)); }
};

class CComboBox : public CWnd {
 public:
  int AddString(LPCWSTR text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
  int InsertString(int index, LPCWSTR text) {
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
  }
  int DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
  int GetLBTextLen(int index) const { return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index))); }
  void GetLBText(int index, CString& text) const;
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index))); }
  int SetItemData(int index, DWORD_PTR data) {
    return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  int FindString(int start, LPCWSTR text) const {
    return static_cast<int>(SendMessage(CB_FINDSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
  }
  int FindStringExact(int start, LPCWSTR text) const {
    return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
  }
  int SelectString(int start, LPCWSTR text) {
    return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
  }
  BOOL LimitText(int chars) { return static_cast<BOOL>(SendMessage(CB_LIMITTEXT, static_cast<WPARAM>(chars))); }
  void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, static_cast<WPARAM>(show)); }
};

class CListBox : public CWnd {
 public:
  int AddString(LPCWSTR text) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
  int InsertString(int index, LPCWSTR text) {
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
  }
  int DeleteString(UINT index) { return static_cast<int>(SendMessage(LB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
  int GetSel(int index) const { return static_cast<int>(SendMessage(LB_GETSEL, static_cast<WPARAM>(index))); }
  int SetSel(int index, BOOL select = TRUE) { return static_cast<int>(SendMessage(LB_SETSEL, static_cast<WPARAM>(select), index)); }
  int GetSelCount() const { return static_cast<int>(SendMessage(LB_GETSELCOUNT)); }
  int GetSelItems(int max, int* items) const {
    return static_cast<int>(SendMessage(LB_GETSELITEMS, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(items)));
  }
  void GetText(int index, CString& text) const;
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index))); }
  int SetItemData(int index, DWORD_PTR data) {
    return static_cast<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  int FindString(int start, LPCWSTR text) const {
    return static_cast<int>(SendMessage(LB_FINDSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
  }
  int FindStringExact(int start, LPCWSTR text) const {
    return static_cast<int>(SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
  }
};

// A scroll-bar control (the bars of a window are the window's own, reached through CWnd).
class CScrollBar : public CWnd {};

// --- the wait cursor: set for the object's life, the previous cursor restored after
class CWaitCursor {
 public:
  CWaitCursor() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~CWaitCursor() { SetCursor(m_previous); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  void Restore() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }

 private:
  HCURSOR m_previous;
};

// AfxMessageBox (platform/resources) with a text of the string table.
int AfxMessageBox(UINT textId, UINT type = MB_OK, UINT helpId = 0);
// A window class of the class library with that background (DefWindowProc as its procedure).
LPCWSTR AfxRegisterWndClass(UINT style, HCURSOR cursor = nullptr, HBRUSH background = nullptr, HICON icon = nullptr);
