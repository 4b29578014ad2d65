#pragma once
// The framework's own window classes, registered once per process (at load, and again by
// CHookSupp::InitCtrlsDll, which keeps the first registration):
// - "kd_nipedit", the tax-number edit: an edit that takes digits, Latin letters (a country
//   prefix), hyphens and blanks as typed characters and refuses others with a beep.
// - "kd_wwwedit", the web-address edit: an edit (text limit, selection, modified state).
// - "kd_hyperlink", the link: its window text drawn in the link colour (grey when disabled). A
//   click notifies the parent by WM_NOTIFY with code kFlgLinkClicked (0xEC31); a link given a
//   pop-up menu (message kFlgLinkSetMenu, 0x8001, wParam the menu; null takes it away) opens that
//   menu below itself instead, and the chosen command reaches the parent as WM_COMMAND.
// - "kd_amountedit", the amount edit: an edit holding an amount, with its unit drawn at its right
//   end. Message kFlgAmountSetUnit (32771) gives the unit as lParam (a wide text; null: none):
//   wParam 2 a currency symbol (the amount has 2 decimals), 4 a plain unit (4 decimals, as a
//   rate). Amounts are shown and read by the user's locale (DSX_Currency in flgdialog.h).
#include "platform/gui/olecurrency.h"
#include "platform/gui/windows.h"

inline constexpr wchar_t kFlgNipEditClass[] = L"kd_nipedit";
inline constexpr wchar_t kFlgWwwEditClass[] = L"kd_wwwedit";
inline constexpr wchar_t kFlgHyperlinkClass[] = L"kd_hyperlink";
inline constexpr UINT kFlgLinkClicked = 0xEC31;
inline constexpr UINT kFlgLinkSetMenu = 0x8001;
inline constexpr wchar_t kFlgAmountEditClass[] = L"kd_amountedit";
inline constexpr UINT kFlgAmountSetUnit = 32771;
inline constexpr WPARAM kFlgAmountCurrency = 2;
inline constexpr WPARAM kFlgAmountPlain = 4;

// The unit an amount edit shows and the decimals of its amounts (2 unless told 4).
CString FlgAmountUnit(HWND control);
int FlgAmountDecimals(HWND control);

// An amount as the user's locale writes it with `decimals` places (grouped thousands, the
// locale's separators); empty for a null or invalid value.
CString FlgFormatAmount(const COleCurrency& value, int decimals);
// Reads an amount written by the user's locale ("." is taken as the decimal separator too, blanks
// and the thousands separator are skipped). False for a text that is no number; an empty text
// gives true and the null value.
bool FlgParseAmount(const wchar_t* text, COleCurrency& value);

void ZphRegisterControls();
