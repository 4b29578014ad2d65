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
#include "platform/gui/windows.h"

inline constexpr wchar_t kFlgNipEditClass[] = L"kd_nipedit";
inline constexpr wchar_t kFlgWwwEditClass[] = L"kd_wwwedit";
inline constexpr wchar_t kFlgHyperlinkClass[] = L"kd_hyperlink";
inline constexpr UINT kFlgLinkClicked = 0xEC31;
inline constexpr UINT kFlgLinkSetMenu = 0x8001;

void ZphRegisterControls();
