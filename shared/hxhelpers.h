#pragma once
// Small helpers of the product's look and dialogs: device-context scopes, gradients, bars,
// round corners and blended colours; the standard questions and texts; check-box-guarded
// exchange between dialogs and data; streams over resources and HTML bodies.
// All run on the user-interface thread and keep no state between calls.
#include "framework/flgdialog.h"
#include "platform/ado/ado.h"
#include "platform/com/com.h"
#include "platform/gui/afxwin.h"
#include "platform/gui/olecurrency.h"
#include "platform/resources/resources.h"

// --- device-context scopes: each restores what it changed when detached or destroyed

// Selects an object (when its handle is not null) and reselects what it replaced.
class CObjectDC {
 public:
  CObjectDC(HDC dc, HGDIOBJ object);
  CObjectDC(CDC& dc, CGdiObject& object) : CObjectDC(dc.m_hDC, object.m_hObject) {}
  ~CObjectDC() { Detach(); }
  CObjectDC(const CObjectDC&) = delete;
  CObjectDC& operator=(const CObjectDC&) = delete;
  void Detach();

 private:
  HGDIOBJ m_previous = nullptr;
  HDC m_dc;
};

class CBkModeDC {
 public:
  CBkModeDC(HDC dc, int mode) : m_previous(SetBkMode(dc, mode)), m_dc(dc) {}
  ~CBkModeDC() { Detach(); }
  CBkModeDC(const CBkModeDC&) = delete;
  CBkModeDC& operator=(const CBkModeDC&) = delete;
  void Detach();

 private:
  int m_previous;
  HDC m_dc;
};

class CTextColorDC {
 public:
  CTextColorDC(HDC dc, COLORREF color) : m_previous(SetTextColor(dc, color)), m_dc(dc) {}
  // Only remembers the colour, for code that changes it afterwards.
  explicit CTextColorDC(HDC dc) : m_previous(GetTextColor(dc)), m_dc(dc) {}
  ~CTextColorDC() { Detach(); }
  CTextColorDC(const CTextColorDC&) = delete;
  CTextColorDC& operator=(const CTextColorDC&) = delete;
  void Detach();

 private:
  COLORREF m_previous;
  HDC m_dc;
};

// --- drawing (colours are COLORREF, red in the low byte)

// One two-vertex gradient from the top-left corner in `from` to the bottom-right in `to`;
// mode 0 horizontal, 1 vertical.
void hxFillGradientRect(HDC dc, RECT* rect, COLORREF from, COLORREF to, DWORD mode);
// Split at the vertical middle: the upper half from `from` to `to`, the lower back (vertical).
void hxFillGradientRectHorz(HDC dc, const CRect& rect, COLORREF from, COLORREF to);
// Split at the horizontal middle: the left half from `from` to `to`, the right back (horizontal).
void hxFillGradientRectVert(HDC dc, const CRect& rect, COLORREF from, COLORREF to);
void hxFillGradientTriangle(HDC dc, CPoint a, CPoint b, CPoint c, COLORREF ca, COLORREF cb, COLORREF cc);
// A one-pixel solid line from the first point up to (not including) the second.
void hxDrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color);
// Grey of the colour: (green × 59 + blue × 11 + red × 30) / 100 in every channel.
COLORREF hxLuminance(COLORREF color);
// Per channel red, green and blue: (a × (100 − percentB) + b × percentB) / 100 in integers.
COLORREF hxBlendColor(COLORREF a, COLORREF b, int percentB);
// The product's bar, drawn at the device context's origin with the rectangle's size.
void hxDrawBar(HDC dc, RECT* rect, bool grey, COLORREF c1, COLORREF c2, COLORREF c3, COLORREF c4, COLORREF c5,
               COLORREF c6, COLORREF c7, COLORREF c8, COLORREF c9);
// The 25 pixels of a round corner in `color` over the window colour, from (x, y) in steps dx, dy.
void fxDrawRoundCorner(CDC& dc, COLORREF color, int x, int y, int dx, int dy);
// The anti-aliased quarter of an ellipse filling the rectangle: the quarter at the right when
// `right`, at the bottom when `bottom`.
void hxFillArc(CDC& dc, const CRect& rect, COLORREF color, bool right, bool bottom);

// --- questions and texts

// "Czy na pewno usunąć wybraną pozycję?" with Yes and No (No the default); true for Yes.
bool hxNaPewnoUsunac();
// "Czy na pewno %s?" with Yes and No (No the default); true for Yes.
bool hxNaPewno(const wchar_t* what);
// A box with OK showing the format filled with the number.
int hxIntMessageBox(const wchar_t* format, int value);
CString hxMessageWithLong(const wchar_t* format, LONG value);
// "%d B" below 1 KB, "%d KB" below 1 MB, then megabytes in the user's number format and " MB".
CString hxFileSizeString(UINT bytes);

// --- check-box-guarded data exchange

bool hxChecked(CFlgDataExchange& dx, UINT checkId);
// The item data of the selected entry of a combo or list box (0x80000000 when none), in either
// direction of the exchange.
LONG hxDSX_CBIdent(CFlgDataExchange& dx, UINT id);
LONG hxDSX_LBIdent(CFlgDataExchange& dx, UINT id);
// Checks the box exactly when the value is of `type`, and only then loads it into the edit.
void hxLoadIfChecked(CFlgDataExchange& dx, UINT checkId, UINT editId, const _variant_t& value, VARTYPE type);
// With the box checked the edit's text goes into `value`, converted to the value's type (text
// when the value was NULL or empty; a text that does not convert is a field error on the edit
// and the value stays); with the box clear the value becomes NULL.
void hxSaveIfChecked(CFlgDataExchange& dx, UINT checkId, UINT editId, _variant_t& value);
// The same into an ADO field, converted to `type`.
void hxSaveIfChecked(CFlgDataExchange& dx, UINT checkId, UINT editId, const FieldPtr& field, VARTYPE type);
// Enables the edit exactly when the box is checked.
void hxEnableIfChecked(CFlgDataExchange& dx, UINT checkId, UINT editId);
// Both values as currency, multiplied with the framework's rounding to 2 decimal places.
COleCurrency hxCompValue(const _variant_t& a, const _variant_t& b);

// --- streams and HTML

// The bytes of the named resource of that type in the module, as a stream that frees its memory
// when released; null when the resource or the memory is missing.
IStreamPtr hxStreamFromResource(HINSTANCE module, const wchar_t* name, const wchar_t* type);
// A stream over an empty movable block; null on failure.
IStreamPtr GetEmptyStream();
// The text between "<body>" and "</body>" (found without regard to case, the first before the
// second); otherwise the whole text.
_bstr_t GetBodyFromHTML(const _bstr_t& html);
