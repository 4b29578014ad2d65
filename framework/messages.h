#pragma once
// The framework's message library (texts of the framework's and the system's HRESULTs) and its
// tip message box.
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/strings/strings.h"

// ---------------------------------------------------------------------------------------------
// Message library.

// Codes of the framework and of the system, with texts in the message library.
namespace zephra {
constexpr HRESULT KD_E_OBJECT_LOCKED = static_cast<HRESULT>(0x80040F19u);
constexpr HRESULT KD_E_DB_UNSPECIFIED = static_cast<HRESULT>(0x80040F20u);
constexpr HRESULT KD_E_TRANS_BEGIN = static_cast<HRESULT>(0x80040F41u);
constexpr HRESULT KD_E_TRANS_COMMIT = static_cast<HRESULT>(0x80040F42u);
constexpr HRESULT VX_E_SOAP_BASE = static_cast<HRESULT>(0x80044502u);
constexpr HRESULT VX_E_SYNC_CANCELLED = static_cast<HRESULT>(0x800445A1u);

// Whether `code` is one of the framework's own codes (kept as they are by the error mapping).
bool IsKdError(HRESULT code);
}  // namespace zephra

// The framework's message formatter over the message library. Texts are in Polish (language
// 1045, also given for the neutral and the user's default language); %1 to %9 take the inserts.
class CKdSmartMessage {
 public:
  CKdSmartMessage();
  // A named message library ("Error.dll"): every name reads the product's one library.
  explicit CKdSmartMessage(const wchar_t* library);

  // The text of `code` in `language` with the inserts; an empty text when the library has none.
  CString FormatMessage(HRESULT code, LANGID language, std::initializer_list<const wchar_t*> inserts = {}) const;
  // Whether the library holds a text for `code`.
  bool HasMessage(HRESULT code) const;
  // The library's text when it has one, else the system's text of the code ("Błąd 0x%08X").
  CString SystemMessage(HRESULT code, LANGID language) const;
};

// The user's default language for messages.
LANGID KdGetUserDefaultLangID();

// The current local time as an automation date.
DATE KdNow();

// ---------------------------------------------------------------------------------------------
// Tip message box. Headless: every box is recorded and printed to the standard error stream.

constexpr UINT KD_TIP_ICONERROR = 0x10;
constexpr UINT KD_TIP_ICONINFORMATION = 0x40;

int TipMsgBox(HWND owner, const wchar_t* caption, const wchar_t* text, UINT flags);

namespace zephra {
struct TipRecord {
  std::wstring caption;
  std::wstring text;
  UINT flags;
};
// The boxes shown since the last ClearTips, oldest first.
std::vector<TipRecord> RecordedTips();
void ClearTips();
// Whether boxes are also printed (on by default; tests turn it off).
void SetTipsPrinted(bool printed);
}  // namespace zephra
