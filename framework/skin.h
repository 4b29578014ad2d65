#pragma once
// The framework's stock colours and fonts (what its skin answers), and its rounding arithmetic.
#include "platform/gui/afxwin.h"
#include "platform/gui/olecurrency.h"

namespace zephra {
// Stock colours by index.
constexpr int kColorDialogFace = 0;     // dialog background
constexpr int kColorBand = 1;           // the window-colour band of dialogs
constexpr int kColorCaptionText = 2;
constexpr int kColorLink = 3;           // hyperlinks
constexpr int kColorError = 4;          // fields in error
constexpr int kColorLineEnd = 17;       // where the caption gradient of dialog lines ends
constexpr int kStockColorCount = 32;
// Stock fonts by index.
constexpr int kFontDialog = 0;          // "MS Shell Dlg" 8 points
constexpr int kFontBold = 1;
constexpr int kFontTitle = 2;           // 10 points bold
constexpr int kFontUnderline = 3;
constexpr int kFontItalic = 4;
constexpr int kStockFontCount = 5;
}  // namespace zephra

// The stock colour of that index; black outside the table.
COLORREF FlgGetStockColor(int index);
// The stock font of that index (owned by the framework, never deleted by callers); null outside.
HFONT FlgGetStockFont(int index);

// The exact product of two currency values rounded half away from zero to `decimals` places
// (0 to 4). A null factor gives a null result; an invalid one or an overflow an invalid result.
COleCurrency FlgMulRound(const COleCurrency& a, const COleCurrency& b, int decimals);
// The exact quotient a / b rounded half away from zero to `decimals` places (0 to 4). A null
// operand gives a null result; an invalid one, a zero divisor or an overflow an invalid result.
COleCurrency KdDivRound64C(const COleCurrency& a, const COleCurrency& b, int decimals);
