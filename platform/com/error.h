#pragma once
// _com_error: the exception that carries an HRESULT and, when there is one, its error information.
#include "platform/com/bstr.h"

class _com_error {
 public:
  // Takes perrinfo's reference unless fAddRef asks for a new one.
  explicit _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false) noexcept;
  _com_error(const _com_error& that) noexcept;
  _com_error& operator=(const _com_error& that) noexcept;
  virtual ~_com_error();

  HRESULT Error() const noexcept { return hr_; }
  WORD WCode() const noexcept { return HRESULTToWCode(hr_); }
  // The error information with a new reference (null when there is none).
  IErrorInfo* ErrorInfo() const noexcept;

  _bstr_t Description() const;
  _bstr_t Source() const;
  _bstr_t HelpFile() const;
  DWORD HelpContext() const noexcept;
  ::GUID GUID() const noexcept;

  // The system's message text for the code ("IDispatch error #n" for dispatch codes,
  // "Unknown error 0x%08X" otherwise when no text is known). Owned by this object.
  const wchar_t* ErrorMessage() const noexcept;

  static HRESULT WCodeToHRESULT(WORD wCode) noexcept { return wCode >= 0xFE00 ? WCODE_HRESULT_LAST : WCODE_HRESULT_FIRST + wCode; }
  static WORD HRESULTToWCode(HRESULT hr) noexcept {
    return (hr >= WCODE_HRESULT_FIRST && hr <= WCODE_HRESULT_LAST) ? static_cast<WORD>(hr - WCODE_HRESULT_FIRST) : 0;
  }

 private:
  static constexpr HRESULT WCODE_HRESULT_FIRST = static_cast<HRESULT>(0x80040200u);
  static constexpr HRESULT WCODE_HRESULT_LAST = static_cast<HRESULT>(0x8004FFFFu);
  HRESULT hr_;
  IErrorInfo* info_;
  mutable wchar_t* message_ = nullptr;
};

// Raises _com_error(hr, perrinfo) (taking perrinfo's reference).
[[noreturn]] void _com_raise_error(HRESULT hr, IErrorInfo* perrinfo = nullptr);
// Raises hr with the thread's error information when punk says (ISupportErrorInfo) that riid
// sets it; otherwise without.
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid);

namespace platform::com {
// The system message text of an HRESULT, or an empty text when none is known.
std::wstring SystemMessageText(HRESULT hr);
// Sets the thread's error information (source, description, interface) and returns hr; used by
// COM methods that fail.
HRESULT ReportError(HRESULT hr, const wchar_t* description, const wchar_t* source = nullptr,
                    REFGUID iid = GUID_NULL);
// Puts a caught error's information (when it carries one) back on the thread and returns its
// HRESULT: how a COM method answers a failure it caught as an exception.
HRESULT AnswerComError(const _com_error& e);
}  // namespace platform::com
