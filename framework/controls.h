#pragma once
// The framework's own window classes, registered once per process (at load, and again by
// CHookSupp::InitCtrlsDll, which keeps the first registration):
// - "kd_nipedit", the tax-number edit: an edit that takes digits, Latin letters (a country
//   prefix), hyphens and blanks as typed characters and refuses others with a beep.
#include "platform/gui/windows.h"

inline constexpr wchar_t kFlgNipEditClass[] = L"kd_nipedit";

void ZphRegisterControls();
