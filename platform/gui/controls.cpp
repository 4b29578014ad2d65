// The system's control classes: static, button, edit, combo box and list box.
#include <algorithm>
#include <cwctype>

#include "platform/gui/internal.h"
#include "platform/gui/progress.h"
#include "platform/strings/strings.h"

namespace platform::gui::detail {
namespace {

constexpr int kComboHeight = 21;
constexpr int kCheckBox = 13;

struct PaintScope {
  explicit PaintScope(HWND h) : window(h) { dc = BeginPaint(h, &ps); }
  ~PaintScope() { EndPaint(window, &ps); }
  HWND window;
  PAINTSTRUCT ps{};
  HDC dc = nullptr;
};

void Notify(HWND h, WORD code) {
  Window* w = FindWindow(h);
  if (!w || !(w->style & WS_CHILD) || !w->parent) return;
  Deliver(w->parent, WM_COMMAND, MAKELONG(static_cast<WORD>(w->id), code), reinterpret_cast<LPARAM>(h));
}

// The brush and DC colours the parent chooses for a control.
HBRUSH CtlColor(HWND h, HDC dc, UINT message) {
  HWND parent = GetParent(h);
  HBRUSH brush = nullptr;
  if (parent) brush = reinterpret_cast<HBRUSH>(Deliver(parent, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h)));
  if (!brush) brush = reinterpret_cast<HBRUSH>(DefWindowProcW(h, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h)));
  return brush;
}

RECT Client(HWND h) {
  RECT r{};
  GetClientRect(h, &r);
  return r;
}

void SelectFont(HWND h, HDC dc) {
  Window* w = FindWindow(h);
  if (w && w->font) SelectObject(dc, w->font);
}

int LineHeight(HDC dc) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  return tm.tmHeight;
}

void FillColor(HDC dc, const RECT& r, int sysColor) { FillRect(dc, &r, GetSysColorBrush(sysColor)); }

void DrawRaised(HDC dc, RECT r) {
  DrawEdge3d(dc, r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_3DDKSHADOW));
  InflateRect(&r, -1, -1);
  DrawEdge3d(dc, r, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_BTNSHADOW));
}

void DrawSunken(HDC dc, RECT r) {
  DrawEdge3d(dc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
  InflateRect(&r, -1, -1);
  DrawEdge3d(dc, r, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
}

void DrawLabel(HDC dc, Window* w, RECT r, UINT format) {
  if (w->style & WS_DISABLED) {
    RECT shifted = r;
    OffsetRect(&shifted, 1, 1);
    const COLORREF old = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    const int mode = SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, w->text.c_str(), -1, &shifted, format);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, w->text.c_str(), -1, &r, format);
    SetTextColor(dc, old);
    SetBkMode(dc, mode);
    return;
  }
  DrawTextW(dc, w->text.c_str(), -1, &r, format);
}

void OwnerDraw(HWND h, HDC dc, UINT type) {
  Window* w = FindWindow(h);
  if (!w || !w->parent) return;
  DRAWITEMSTRUCT di{type, static_cast<UINT>(w->id), 0, ODA_DRAWENTIRE, 0, h, dc, Client(h), 0};
  if (w->style & WS_DISABLED) di.itemState |= ODS_DISABLED;
  if (w->pushed) di.itemState |= ODS_SELECTED;
  if (GetFocus() == h) di.itemState |= ODS_FOCUS;
  Deliver(w->parent, WM_DRAWITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&di));
}

// --- static

void PaintStatic(HWND h) {
  PaintScope paint(h);
  Window* w = FindWindow(h);
  if (!w || !paint.dc) return;
  HDC dc = paint.dc;
  SelectFont(h, dc);
  RECT r = Client(h);
  const DWORD type = w->style & SS_TYPEMASK;
  switch (type) {
    case SS_BLACKRECT: FillColor(dc, r, COLOR_WINDOWFRAME); return;
    case SS_GRAYRECT: FillColor(dc, r, COLOR_BTNSHADOW); return;
    case SS_WHITERECT: FillColor(dc, r, COLOR_WINDOW); return;
    case SS_BLACKFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME)); return;
    case SS_GRAYFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW)); return;
    case SS_WHITEFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOW)); return;
    case SS_ETCHEDHORZ: DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP); return;
    case SS_ETCHEDVERT: DrawEdge(dc, &r, EDGE_ETCHED, BF_LEFT); return;
    case SS_ETCHEDFRAME: DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT); return;
    case SS_OWNERDRAW: OwnerDraw(h, dc, ODT_STATIC); return;
    default: break;
  }
  HBRUSH brush = CtlColor(h, dc, WM_CTLCOLORSTATIC);
  w = FindWindow(h);
  if (!w) return;
  FillRect(dc, &r, brush);
  if (type == SS_ICON) {
    if (w->image) DrawIcon(dc, 0, 0, static_cast<HICON>(w->image));
    return;
  }
  if (type == SS_BITMAP) {
    if (Bitmap* b = FindBitmap(w->image)) {
      HDC memory = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(memory, w->image);
      BitBlt(dc, 0, 0, b->surface->width, b->surface->height, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
    }
    return;
  }
  UINT format = DT_WORDBREAK;
  if (type == SS_CENTER) format |= DT_CENTER;
  if (type == SS_RIGHT) format |= DT_RIGHT;
  if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) format = DT_SINGLELINE;
  if (w->style & SS_CENTERIMAGE) format = (format & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_VCENTER;
  if (w->style & SS_NOPREFIX) format |= DT_NOPREFIX;
  if (w->style & SS_ENDELLIPSIS) format |= DT_END_ELLIPSIS;
  if (w->style & WS_DISABLED) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(dc, w->text.c_str(), -1, &r, format);
}

// --- button

DWORD ButtonType(const Window* w) { return w->style & BS_TYPEMASK; }

bool IsCheckType(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
         type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool IsDefault(HWND h, const Window* w) {
  if (ButtonType(w) == BS_DEFPUSHBUTTON) return true;
  return false;
}

void UncheckGroup(HWND h) {
  // The other automatic radio buttons of the group: siblings between WS_GROUP marks.
  HWND parent = GetParent(h);
  Window* p = FindWindow(parent);
  if (!p) return;
  const auto& list = p->children;
  auto at = std::find(list.begin(), list.end(), h);
  if (at == list.end()) return;
  auto first = at;
  while (first != list.begin()) {
    Window* fw = FindWindow(*first);
    if (fw && (fw->style & WS_GROUP)) break;
    --first;
  }
  for (auto it = first; it != list.end(); ++it) {
    Window* o = FindWindow(*it);
    if (!o) continue;
    if (it != first && (o->style & WS_GROUP)) break;
    if (*it != h && ButtonType(o) == BS_AUTORADIOBUTTON && o->check != BST_UNCHECKED) {
      o->check = BST_UNCHECKED;
      o->needsPaint = true;
    }
  }
}

void Click(HWND h) {
  Window* w = FindWindow(h);
  if (!w || (w->style & WS_DISABLED)) return;
  switch (ButtonType(w)) {
    case BS_AUTOCHECKBOX: w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED; break;
    case BS_AUTO3STATE: w->check = (w->check + 1) % 3; break;
    case BS_AUTORADIOBUTTON:
      w->check = BST_CHECKED;
      UncheckGroup(h);
      break;
    default: break;
  }
  w->needsPaint = true;
  Notify(h, BN_CLICKED);
}

void PaintCheckMark(HDC dc, int x, int y, COLORREF color) {
  // Seven columns: down from (x, y + 2) to (x + 2, y + 4), then up to (x + 6, y), three rows thick.
  static const int offsets[7] = {2, 3, 4, 3, 2, 1, 0};
  for (int i = 0; i < 7; ++i)
    for (int k = 0; k < 3; ++k) SetPixel(dc, x + i, y + offsets[i] + k, color);
}

void PaintButton(HWND h) {
  PaintScope paint(h);
  Window* w = FindWindow(h);
  if (!w || !paint.dc) return;
  HDC dc = paint.dc;
  SelectFont(h, dc);
  RECT r = Client(h);
  const DWORD type = ButtonType(w);
  if (type == BS_OWNERDRAW) {
    OwnerDraw(h, dc, ODT_BUTTON);
    return;
  }
  if (IsCheckType(type) && !(w->style & BS_PUSHLIKE)) {
    HBRUSH brush = CtlColor(h, dc, WM_CTLCOLORSTATIC);
    w = FindWindow(h);
    if (!w) return;
    FillRect(dc, &r, brush);
    const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    const bool right = (w->style & BS_LEFTTEXT) != 0;
    const int boxX = right ? r.right - kCheckBox : 0;
    const int boxY = (r.bottom - kCheckBox) / 2;
    RECT box{boxX, boxY, boxX + kCheckBox, boxY + kCheckBox};
    const bool disabled = (w->style & WS_DISABLED) != 0;
    const COLORREF mark = disabled ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_WINDOWTEXT);
    if (radio) {
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
      HBRUSH face = CreateSolidBrush(GetSysColor(disabled ? COLOR_BTNFACE : COLOR_WINDOW));
      HGDIOBJ oldBrush = SelectObject(dc, face);
      Ellipse(dc, box.left, box.top, box.right, box.bottom);
      SelectObject(dc, oldBrush);
      DeleteObject(face);
      HPEN rim = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
      SelectObject(dc, rim);
      SelectObject(dc, GetStockObject(NULL_BRUSH));
      Ellipse(dc, box.left, box.top, box.right, box.bottom);
      SelectObject(dc, oldPen);
      DeleteObject(rim);
      if (w->check == BST_CHECKED) {
        HBRUSH dot = CreateSolidBrush(mark);
        RECT d{box.left + 4, box.top + 4, box.left + 8, box.top + 8};
        FillRect(dc, &d, dot);
        DeleteObject(dot);
      }
    } else {
      RECT inside = box;
      InflateRect(&inside, -2, -2);
      FillColor(dc, inside, disabled || w->check == BST_INDETERMINATE ? COLOR_BTNFACE : COLOR_WINDOW);
      DrawSunken(dc, box);
      if (w->check != BST_UNCHECKED)
        PaintCheckMark(dc, box.left + 3, box.top + 3, w->check == BST_INDETERMINATE ? GetSysColor(COLOR_BTNSHADOW) : mark);
    }
    RECT text = r;
    if (right) text.right = boxX - 4;
    else text.left = kCheckBox + 4;
    UINT format = (w->style & BS_MULTILINE) ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
    if ((w->style & BS_CENTER) == BS_CENTER) format |= DT_CENTER;
    else if (w->style & BS_RIGHT) format |= DT_RIGHT;
    DrawLabel(dc, w, text, format);
    return;
  }
  if (type == BS_GROUPBOX) {
    HBRUSH brush = CtlColor(h, dc, WM_CTLCOLORSTATIC);
    w = FindWindow(h);
    if (!w) return;
    const int line = LineHeight(dc);
    RECT frame{r.left, r.top + line / 2, r.right, r.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!w->text.empty()) {
      SIZE size{};
      GetTextExtentPoint32W(dc, w->text.c_str(), static_cast<int>(w->text.size()), &size);
      RECT label{8, 0, 8 + size.cx + 4, line};
      FillRect(dc, &label, brush);
      label.left += 2;
      DrawLabel(dc, w, label, DT_SINGLELINE | DT_LEFT);
    }
    return;
  }
  // Push buttons.
  CtlColor(h, dc, WM_CTLCOLORBTN);
  w = FindWindow(h);
  if (!w) return;
  FillColor(dc, r, COLOR_BTNFACE);
  RECT edge = r;
  if (IsDefault(h, w)) {
    FrameRect(dc, &edge, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&edge, -1, -1);
  }
  if (w->pushed || (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && w->check == BST_CHECKED)) {
    FrameRect(dc, &edge, GetSysColorBrush(COLOR_BTNSHADOW));
    OffsetRect(&r, 1, 1);
  } else {
    DrawRaised(dc, edge);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  UINT format = (w->style & BS_MULTILINE) ? (DT_WORDBREAK | DT_CENTER) : (DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  DrawLabel(dc, w, r, format);
}

// --- edit

std::wstring CaseOf(const Window* w, std::wstring text) {
  if (w->style & ES_UPPERCASE) {
    for (wchar_t& c : text) c = platform::ToUpperChar(c);
  } else if (w->style & ES_LOWERCASE) {
    for (wchar_t& c : text) c = platform::ToLowerChar(c);
  }
  return text;
}

void EditChanged(HWND h) {
  Notify(h, EN_UPDATE);
  Notify(h, EN_CHANGE);
}

LRESULT ReplaceSelection(HWND h, std::wstring text) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  text = CaseOf(w, text);
  if (!(w->style & ES_MULTILINE)) {
    // A single line keeps what stands before the first line break.
    const size_t brk = text.find_first_of(L"\r\n");
    if (brk != std::wstring::npos) text.resize(brk);
  }
  const size_t length = w->text.size();
  size_t a = std::min<size_t>(w->selStart, length), b = std::min<size_t>(w->selEnd, length);
  if (a > b) std::swap(a, b);
  const size_t room = w->limit > length - (b - a) ? w->limit - (length - (b - a)) : 0;
  bool cut = false;
  if (text.size() > room) {
    text.resize(room);
    cut = true;
  }
  w->text.replace(a, b - a, text);
  w->selStart = w->selEnd = static_cast<DWORD>(a + text.size());
  w->modified = true;
  w->needsPaint = true;
  if (cut) Notify(h, EN_MAXTEXT);
  EditChanged(h);
  return 0;
}

void PaintEdit(HWND h) {
  PaintScope paint(h);
  Window* w = FindWindow(h);
  if (!w || !paint.dc) return;
  HDC dc = paint.dc;
  SelectFont(h, dc);
  const bool editable = !(w->style & (WS_DISABLED | ES_READONLY));
  HBRUSH brush = CtlColor(h, dc, editable ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC);
  w = FindWindow(h);
  if (!w) return;
  RECT r = Client(h);
  FillRect(dc, &r, brush);
  InflateRect(&r, -1, -1);
  r.left += 1;
  std::wstring text = w->text;
  if (w->style & ES_PASSWORD) text.assign(text.size(), L'\u25CF');
  UINT format = DT_NOPREFIX | DT_EDITCONTROL;
  format |= (w->style & ES_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
  if (w->style & ES_CENTER) format |= DT_CENTER;
  else if (w->style & ES_RIGHT) format |= DT_RIGHT;
  if (w->style & WS_DISABLED) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(dc, text.c_str(), -1, &r, format);
}

// --- combo and list boxes

bool Sorted(const Window* w, bool combo) { return (w->style & (combo ? CBS_SORT : LBS_SORT)) != 0; }

LRESULT AddItem(Window* w, const std::wstring& text, bool combo, LRESULT err) {
  if (w->items.size() >= 100000) return combo ? CB_ERRSPACE : LB_ERRSPACE;
  size_t at = w->items.size();
  if (Sorted(w, combo)) {
    at = 0;
    while (at < w->items.size() && lstrcmpiW(w->items[at].text.c_str(), text.c_str()) <= 0) ++at;
  }
  w->items.insert(w->items.begin() + static_cast<ptrdiff_t>(at), ListItem{text, 0, false});
  if (w->current >= static_cast<int>(at)) ++w->current;
  w->needsPaint = true;
  (void)err;
  return static_cast<LRESULT>(at);
}

LRESULT InsertItem(Window* w, WPARAM index, const std::wstring& text, LRESULT err) {
  const int i = static_cast<int>(static_cast<INT_PTR>(index));
  if (i < -1 || i > static_cast<int>(w->items.size())) return err;
  const size_t at = i == -1 ? w->items.size() : static_cast<size_t>(i);
  w->items.insert(w->items.begin() + static_cast<ptrdiff_t>(at), ListItem{text, 0, false});
  if (w->current >= static_cast<int>(at)) ++w->current;
  w->needsPaint = true;
  return static_cast<LRESULT>(at);
}

LRESULT DeleteItem(Window* w, WPARAM index, LRESULT err) {
  const INT_PTR i = static_cast<INT_PTR>(index);
  if (i < 0 || i >= static_cast<INT_PTR>(w->items.size())) return err;
  w->items.erase(w->items.begin() + i);
  if (w->current == i) w->current = -1;
  else if (w->current > i) --w->current;
  w->needsPaint = true;
  return static_cast<LRESULT>(w->items.size());
}

bool Prefix(const std::wstring& item, const std::wstring& text) {
  if (text.size() > item.size()) return false;
  return platform::CompareNoCase(item.substr(0, text.size()), text) == 0;
}

LRESULT FindItem(const Window* w, WPARAM start, LPCWSTR text, bool exact, LRESULT err) {
  if (!text || w->items.empty()) return err;
  const std::wstring wanted(text);
  const INT_PTR n = static_cast<INT_PTR>(w->items.size());
  INT_PTR s = static_cast<INT_PTR>(start);
  if (s < -1 || s >= n) s = -1;
  for (INT_PTR k = 1; k <= n; ++k) {
    const INT_PTR i = (s + k) % n;
    const std::wstring& item = w->items[static_cast<size_t>(i)].text;
    if (exact ? platform::CompareNoCase(item, wanted) == 0 : Prefix(item, wanted)) return i;
  }
  return err;
}

LRESULT CopyItemText(const Window* w, WPARAM index, LPARAM buffer, LRESULT err) {
  const INT_PTR i = static_cast<INT_PTR>(index);
  if (i < 0 || i >= static_cast<INT_PTR>(w->items.size())) return err;
  const std::wstring& t = w->items[static_cast<size_t>(i)].text;
  if (auto* out = reinterpret_cast<LPWSTR>(buffer)) {
    std::wmemcpy(out, t.c_str(), t.size() + 1);
  }
  return static_cast<LRESULT>(t.size());
}

// An item by index; null outside the list.
ListItem* ItemAt(Window* w, WPARAM index) {
  const INT_PTR i = static_cast<INT_PTR>(index);
  return i >= 0 && i < static_cast<INT_PTR>(w->items.size()) ? &w->items[static_cast<size_t>(i)] : nullptr;
}

// The messages combo and list boxes share: item text length, item data, searches.
bool ItemMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam, bool combo, LRESULT& result) {
  const LRESULT err = combo ? CB_ERR : LB_ERR;
  ListItem* item = ItemAt(w, wParam);
  if (message == (combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN)) {
    result = item ? static_cast<LRESULT>(item->text.size()) : err;
  } else if (message == (combo ? CB_GETLBTEXT : LB_GETTEXT)) {
    result = CopyItemText(w, wParam, lParam, err);
  } else if (message == (combo ? CB_GETITEMDATA : LB_GETITEMDATA)) {
    result = item ? item->data : err;
  } else if (message == (combo ? CB_SETITEMDATA : LB_SETITEMDATA)) {
    if (item) item->data = lParam;
    result = item ? 0 : err;
  } else if (message == (combo ? CB_FINDSTRING : LB_FINDSTRING)) {
    result = FindItem(w, wParam, reinterpret_cast<LPCWSTR>(lParam), false, err);
  } else if (message == (combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT)) {
    result = FindItem(w, wParam, reinterpret_cast<LPCWSTR>(lParam), true, err);
  } else if (message == (combo ? CB_ADDSTRING : LB_ADDSTRING)) {
    result = AddItem(w, lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"", combo, err);
  } else if (message == (combo ? CB_INSERTSTRING : LB_INSERTSTRING)) {
    result = InsertItem(w, wParam, lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"", err);
  } else if (message == (combo ? CB_DELETESTRING : LB_DELETESTRING)) {
    result = DeleteItem(w, wParam, err);
  } else if (message == (combo ? CB_GETCOUNT : LB_GETCOUNT)) {
    result = static_cast<LRESULT>(w->items.size());
  } else if (message == (combo ? CB_GETCURSEL : LB_GETCURSEL)) {
    result = w->current;
  } else {
    return false;
  }
  return true;
}

void PaintDropButton(HDC dc, RECT b, bool disabled) {
  FillColor(dc, b, COLOR_BTNFACE);
  DrawRaised(dc, b);
  const int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
  const COLORREF c = GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
  for (int row = 0; row < 4; ++row)
    for (int x = cx - 3 + row; x <= cx + 3 - row; ++x) SetPixel(dc, x, cy - 1 + row, c);
}

void PaintCombo(HWND h) {
  PaintScope paint(h);
  Window* w = FindWindow(h);
  if (!w || !paint.dc) return;
  HDC dc = paint.dc;
  SelectFont(h, dc);
  const bool disabled = (w->style & WS_DISABLED) != 0;
  HBRUSH brush = CtlColor(h, dc, (w->style & 0x3) == CBS_DROPDOWNLIST ? WM_CTLCOLORLISTBOX : WM_CTLCOLOREDIT);
  w = FindWindow(h);
  if (!w) return;
  RECT r = Client(h);
  if ((w->style & 0x3) != CBS_SIMPLE) r.bottom = std::min<LONG>(r.bottom, kComboHeight);
  FillRect(dc, &r, brush);
  if (disabled) FillColor(dc, RECT{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}, COLOR_BTNFACE);
  DrawSunken(dc, r);
  const int button = GetSystemMetrics(SM_CXVSCROLL);
  RECT b{r.right - 2 - button, r.top + 2, r.right - 2, r.bottom - 2};
  if ((w->style & 0x3) != CBS_SIMPLE) PaintDropButton(dc, b, disabled);
  std::wstring text = w->text;
  if ((w->style & 0x3) == CBS_DROPDOWNLIST)
    text = w->current >= 0 && w->current < static_cast<int>(w->items.size()) ? w->items[static_cast<size_t>(w->current)].text : L"";
  RECT t{r.left + 4, r.top + 2, b.left - 1, r.bottom - 2};
  if (disabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void PaintList(HWND h) {
  PaintScope paint(h);
  Window* w = FindWindow(h);
  if (!w || !paint.dc) return;
  HDC dc = paint.dc;
  SelectFont(h, dc);
  HBRUSH brush = CtlColor(h, dc, WM_CTLCOLORLISTBOX);
  w = FindWindow(h);
  if (!w) return;
  RECT r = Client(h);
  FillRect(dc, &r, brush);
  const int line = LineHeight(dc);
  const bool multi = (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
  int y = 0;
  for (size_t i = static_cast<size_t>(std::max(0, w->top)); i < w->items.size() && y < r.bottom; ++i, y += line) {
    RECT row{0, y, r.right, y + line};
    const bool selected = multi ? w->items[i].selected : static_cast<int>(i) == w->current;
    if (selected) {
      FillColor(dc, row, COLOR_HIGHLIGHT);
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
      SetTextColor(dc, GetSysColor((w->style & WS_DISABLED) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    }
    SetBkMode(dc, TRANSPARENT);
    row.left += 2;
    DrawTextW(dc, w->items[i].text.c_str(), -1, &row, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
  }
}

}  // namespace

LRESULT StaticProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  switch (message) {
    case WM_PAINT: PaintStatic(h); return 0;
    case WM_ERASEBKGND: return 1;
    case STM_SETIMAGE:
    case STM_SETICON: {
      HANDLE old = w->image;
      w->image = reinterpret_cast<HANDLE>(message == STM_SETICON ? wParam : lParam);
      w->needsPaint = true;
      return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
    case STM_GETICON: return reinterpret_cast<LRESULT>(w->image);
    case WM_LBUTTONUP:
      if (w->style & SS_NOTIFY) Notify(h, STN_CLICKED);
      return 0;
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

LRESULT ButtonProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  switch (message) {
    case WM_PAINT: PaintButton(h); return 0;
    case WM_ERASEBKGND: return 1;
    case BM_GETCHECK: return IsCheckType(ButtonType(w)) ? w->check : BST_UNCHECKED;
    case BM_SETCHECK:
      if (IsCheckType(ButtonType(w)) || (w->style & BS_PUSHLIKE)) {
        w->check = static_cast<UINT>(wParam) & 0x3;
        if (w->check == BST_INDETERMINATE && ButtonType(w) != BS_3STATE && ButtonType(w) != BS_AUTO3STATE)
          w->check = BST_CHECKED;
        w->needsPaint = true;
      }
      return 0;
    case BM_GETSTATE:
      return w->check | (w->pushed ? BST_PUSHED : 0) | (GetFocus() == h ? BST_FOCUS : 0);
    case BM_SETSTATE:
      w->pushed = wParam != 0;
      w->needsPaint = true;
      return 0;
    case BM_SETSTYLE:
      w->style = (w->style & ~static_cast<DWORD>(0xFFFF)) | (static_cast<DWORD>(wParam) & 0xFFFF);
      w->needsPaint = true;
      return 0;
    case BM_CLICK: Click(h); return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) Click(h);
      return 0;
    case WM_LBUTTONUP: Click(h); return 0;
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

LRESULT EditProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  switch (message) {
    case WM_PAINT: PaintEdit(h); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SETTEXT: {
      DefWindowProcW(h, message, wParam, lParam);
      w = FindWindow(h);
      if (!w) return TRUE;
      w->text = CaseOf(w, w->text);
      w->selStart = w->selEnd = 0;
      w->modified = false;
      EditChanged(h);
      return TRUE;
    }
    case EM_LIMITTEXT: w->limit = wParam ? static_cast<UINT>(wParam) : 0x7FFFFFFEu; return 0;
    case EM_GETLIMITTEXT: return w->limit;
    case EM_SETREADONLY:
      if (wParam) w->style |= ES_READONLY;
      else w->style &= ~static_cast<DWORD>(ES_READONLY);
      w->needsPaint = true;
      return TRUE;
    case EM_SETSEL: {
      const INT_PTR a = static_cast<INT_PTR>(wParam), b = static_cast<INT_PTR>(lParam);
      const DWORD length = static_cast<DWORD>(w->text.size());
      if (a == -1) {
        w->selStart = w->selEnd = std::min<DWORD>(w->selEnd, length);
        return 0;
      }
      w->selStart = static_cast<DWORD>(std::min<INT_PTR>(std::max<INT_PTR>(a, 0), length));
      w->selEnd = b < 0 ? length : static_cast<DWORD>(std::min<INT_PTR>(b, length));
      return 0;
    }
    case EM_GETSEL:
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = w->selStart;
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = w->selEnd;
      return MAKELONG(w->selStart, w->selEnd);
    case EM_REPLACESEL: return ReplaceSelection(h, lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"");
    case EM_GETMODIFY: return w->modified;
    case EM_SETMODIFY: w->modified = wParam != 0; return 0;
    case EM_GETLINECOUNT: return 1 + static_cast<LRESULT>(std::count(w->text.begin(), w->text.end(), L'\n'));
    case WM_CHAR: {
      if (w->style & (ES_READONLY | WS_DISABLED)) return 0;
      const wchar_t c = static_cast<wchar_t>(wParam);
      if (c == L'\b') {
        if (w->selStart == w->selEnd && w->selStart > 0) --w->selStart;
        return ReplaceSelection(h, L"");
      }
      if (c == L'\r' && !(w->style & ES_MULTILINE)) return 0;
      if ((w->style & ES_NUMBER) && !(c >= L'0' && c <= L'9')) return 0;
      return ReplaceSelection(h, c == L'\r' ? std::wstring(L"\r\n") : std::wstring(1, c));
    }
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

LRESULT ComboBoxProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  const bool list = (w->style & 0x3) == CBS_DROPDOWNLIST;
  if (LRESULT shared = 0; ItemMessage(w, message, wParam, lParam, true, shared)) return shared;
  switch (message) {
    case WM_NCCREATE:
      if ((w->style & 0x3) != CBS_SIMPLE) w->rect.bottom = w->rect.top + kComboHeight;
      return TRUE;
    case WM_PAINT: PaintCombo(h); return 0;
    case WM_ERASEBKGND: return 1;
    case CB_RESETCONTENT:
      w->items.clear();
      w->current = -1;
      if (list) w->text.clear();
      w->needsPaint = true;
      return CB_OKAY;
    case CB_SETCURSEL: {
      const INT_PTR i = static_cast<INT_PTR>(wParam);
      w->needsPaint = true;
      if (i < 0 || i >= static_cast<INT_PTR>(w->items.size())) {
        w->current = -1;
        if (!list) w->text.clear();
        return CB_ERR;
      }
      w->current = static_cast<int>(i);
      w->text = w->items[static_cast<size_t>(i)].text;
      return i;
    }
    case CB_SELECTSTRING: {
      const LRESULT i = FindItem(w, wParam, reinterpret_cast<LPCWSTR>(lParam), false, CB_ERR);
      if (i != CB_ERR) ComboBoxProc(h, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return i;
    }
    case CB_LIMITTEXT: w->limit = wParam ? static_cast<UINT>(wParam) : 0x7FFFFFFEu; return TRUE;
    case CB_SHOWDROPDOWN: w->dropped = wParam != 0; return TRUE;
    case CB_GETDROPPEDSTATE: return w->dropped;
    case WM_SETTEXT: {
      if (list) {
        const LRESULT i = FindItem(w, static_cast<WPARAM>(-1), reinterpret_cast<LPCWSTR>(lParam), true, CB_ERR);
        if (i == CB_ERR) return CB_ERR;
        ComboBoxProc(h, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        return TRUE;
      }
      return DefWindowProcW(h, message, wParam, lParam);
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      if (list) {
        const std::wstring saved = w->text;
        w->text = w->current >= 0 && w->current < static_cast<int>(w->items.size()) ? w->items[static_cast<size_t>(w->current)].text : L"";
        const LRESULT r = DefWindowProcW(h, message, wParam, lParam);
        if (Window* again = FindWindow(h)) again->text = saved;
        return r;
      }
      return DefWindowProcW(h, message, wParam, lParam);
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

LRESULT ListBoxProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  const bool multi = (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
  const INT_PTR count = static_cast<INT_PTR>(w->items.size());
  auto valid = [&](WPARAM i) { return static_cast<INT_PTR>(i) >= 0 && static_cast<INT_PTR>(i) < count; };
  if (LRESULT shared = 0; ItemMessage(w, message, wParam, lParam, false, shared)) return shared;
  switch (message) {
    case WM_PAINT: PaintList(h); return 0;
    case WM_ERASEBKGND: return 1;
    case LB_RESETCONTENT:
      w->items.clear();
      w->current = -1;
      w->top = 0;
      w->needsPaint = true;
      return 0;
    case LB_SETCURSEL:
      if (multi) return LB_ERR;
      w->needsPaint = true;
      if (!valid(wParam)) {
        w->current = -1;
        return LB_ERR;
      }
      w->current = static_cast<int>(wParam);
      return static_cast<LRESULT>(wParam);
    case LB_GETSEL:
      if (!valid(wParam)) return LB_ERR;
      return multi ? w->items[wParam].selected : static_cast<INT_PTR>(wParam) == w->current;
    case LB_SETSEL: {
      if (!multi) return LB_ERR;
      const INT_PTR i = static_cast<INT_PTR>(lParam);
      if (i == -1) {
        for (ListItem& item : w->items) item.selected = wParam != 0;
      } else if (i >= 0 && i < count) {
        w->items[static_cast<size_t>(i)].selected = wParam != 0;
        w->current = static_cast<int>(i);
      } else {
        return LB_ERR;
      }
      w->needsPaint = true;
      return 0;
    }
    case LB_GETSELCOUNT: {
      if (!multi) return LB_ERR;
      return std::count_if(w->items.begin(), w->items.end(), [](const ListItem& i) { return i.selected; });
    }
    case LB_GETSELITEMS: {
      if (!multi) return LB_ERR;
      auto* out = reinterpret_cast<int*>(lParam);
      LRESULT n = 0;
      for (INT_PTR i = 0; i < count && n < static_cast<LRESULT>(wParam); ++i)
        if (w->items[static_cast<size_t>(i)].selected) {
          if (out) out[n] = static_cast<int>(i);
          ++n;
        }
      return n;
    }
    case LB_SELECTSTRING: {
      if (multi) return LB_ERR;
      const LRESULT i = FindItem(w, wParam, reinterpret_cast<LPCWSTR>(lParam), false, LB_ERR);
      if (i != LB_ERR) w->current = static_cast<int>(i), w->needsPaint = true;
      return i;
    }
    case LB_GETTOPINDEX: return w->top;
    case LB_SETTOPINDEX:
      if (!valid(wParam) && wParam != 0) return LB_ERR;
      w->top = static_cast<int>(wParam);
      w->needsPaint = true;
      return 0;
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

void RegisterSystemClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterClassDirect(L"Static", StaticProc, nullptr);
  RegisterClassDirect(L"Button", ButtonProc, nullptr);
  RegisterClassDirect(L"Edit", EditProc, nullptr);
  RegisterClassDirect(L"RichEdit20W", EditProc, nullptr);
  RegisterClassDirect(L"RichEdit20A", EditProc, nullptr);
  RegisterClassDirect(L"ComboBox", ComboBoxProc, nullptr);
  RegisterClassDirect(L"ListBox", ListBoxProc, nullptr);
  RegisterClassDirect(L"#32770", DefDlgProcW, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  RegisterClassDirect(L"AfxWnd", DefWindowProcW, nullptr);
  RegisterClassDirect(TOOLTIPS_CLASSW, TooltipProc, nullptr);
  RegisterTreeViewClass();
  RegisterProgressClass();
}

}  // namespace platform::gui::detail
