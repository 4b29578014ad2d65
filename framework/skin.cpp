#include "framework/skin.h"

#include <cwchar>

namespace {

const COLORREF kStockColors[zephra::kStockColorCount] = {
    RGB(212, 208, 200),  // 0 dialog face
    RGB(255, 255, 255),  // 1 band
    RGB(255, 255, 255),  // 2 caption text
    RGB(0, 0, 204),      // 3 link
    RGB(255, 224, 224),  // 4 field in error
    RGB(236, 233, 216),  // 5 panel
    RGB(49, 106, 197),   // 6 selection
    RGB(255, 255, 255),  // 7 selection text
    RGB(128, 128, 128),  // 8 disabled text
    RGB(0, 0, 0),        // 9 text
    RGB(10, 36, 106),    // 10 title
    RGB(166, 202, 240),  // 11 title gradient
    RGB(255, 255, 225),  // 12 hint
    RGB(0, 128, 0),      // 13 positive
    RGB(192, 0, 0),      // 14 negative
    RGB(255, 153, 0),    // 15 warning
    RGB(245, 245, 245),  // 16 grid band
    RGB(122, 150, 223),  // 17 line gradient end
    RGB(214, 223, 247),  // 18
    RGB(198, 211, 247),  // 19
    RGB(33, 93, 198),    // 20
    RGB(255, 255, 255),  // 21
    RGB(240, 240, 240),  // 22
    RGB(160, 160, 160),  // 23
    RGB(96, 96, 96),     // 24
    RGB(0, 60, 116),     // 25
    RGB(127, 157, 185),  // 26
    RGB(255, 240, 200),  // 27
    RGB(220, 235, 255),  // 28
    RGB(180, 200, 230),  // 29
    RGB(64, 64, 64),     // 30
    RGB(32, 32, 32),     // 31
};

HFONT MakeFont(int index) {
  LOGFONTW lf{};
  lf.lfHeight = index == zephra::kFontTitle ? -13 : -11;
  lf.lfWeight = (index == zephra::kFontBold || index == zephra::kFontTitle) ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = index == zephra::kFontUnderline ? 1 : 0;
  lf.lfItalic = index == zephra::kFontItalic ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::wcscpy(lf.lfFaceName, L"MS Shell Dlg");
  return CreateFontIndirectW(&lf);
}

}  // namespace

COLORREF FlgGetStockColor(int index) {
  return index >= 0 && index < zephra::kStockColorCount ? kStockColors[index] : RGB(0, 0, 0);
}

HFONT FlgGetStockFont(int index) {
  static HFONT fonts[zephra::kStockFontCount] = {};
  if (index < 0 || index >= zephra::kStockFontCount) return nullptr;
  // Made again when the window layer was reset meanwhile.
  if (!fonts[index] || GetObjectType(fonts[index]) != OBJ_FONT) fonts[index] = MakeFont(index);
  return fonts[index];
}

namespace {

// The status a rounding operation on a and b gives: invalid for an invalid operand or a place
// count outside 0 to 4, null for a null operand; valid otherwise.
COleCurrency::CurrencyStatus OperandStatus(const COleCurrency& a, const COleCurrency& b, int decimals) {
  if (a.GetStatus() == COleCurrency::invalid || b.GetStatus() == COleCurrency::invalid || decimals < 0 || decimals > 4)
    return COleCurrency::invalid;
  if (a.GetStatus() == COleCurrency::null || b.GetStatus() == COleCurrency::null) return COleCurrency::null;
  return COleCurrency::valid;
}

COleCurrency WithStatus(COleCurrency::CurrencyStatus status) {
  COleCurrency out;
  out.SetStatus(status);
  return out;
}

// A value counted in units of 10^-decimals as a currency (invalid when it does not fit).
COleCurrency FromPlaces(__int128 rounded, int decimals) {
  __int128 scale = 1;
  for (int i = decimals; i < 4; ++i) scale *= 10;
  const __int128 value = rounded * scale;
  if (value > INT64_MAX || value < INT64_MIN) return WithStatus(COleCurrency::invalid);
  CY cy;
  cy.int64 = static_cast<LONGLONG>(value);
  return COleCurrency(cy);
}

}  // namespace

COleCurrency FlgMulRound(const COleCurrency& a, const COleCurrency& b, int decimals) {
  const COleCurrency::CurrencyStatus status = OperandStatus(a, b, decimals);
  if (status != COleCurrency::valid) return WithStatus(status);
  // Both are scaled by 10^4: the product by 10^8; keep `decimals` places, then scale back to 10^4.
  const __int128 product = static_cast<__int128>(a.m_cur.int64) * b.m_cur.int64;
  __int128 unit = 1;
  for (int i = 0; i < 8 - decimals; ++i) unit *= 10;
  const __int128 magnitude = product < 0 ? -product : product;
  __int128 rounded = (magnitude + unit / 2) / unit;
  if (product < 0) rounded = -rounded;
  return FromPlaces(rounded, decimals);
}

COleCurrency KdDivRound64C(const COleCurrency& a, const COleCurrency& b, int decimals) {
  const COleCurrency::CurrencyStatus status = OperandStatus(a, b, decimals);
  if (status != COleCurrency::valid) return WithStatus(status);
  if (b.m_cur.int64 == 0) return WithStatus(COleCurrency::invalid);
  // a / b in units of 10^-decimals: a * 10^decimals / b (both carry the same 10^4 scale).
  __int128 numerator = a.m_cur.int64;
  for (int i = 0; i < decimals; ++i) numerator *= 10;
  __int128 divisor = b.m_cur.int64;
  const bool negative = (numerator < 0) != (divisor < 0);
  if (numerator < 0) numerator = -numerator;
  if (divisor < 0) divisor = -divisor;
  __int128 rounded = (2 * numerator + divisor) / (2 * divisor);
  if (negative) rounded = -rounded;
  return FromPlaces(rounded, decimals);
}
