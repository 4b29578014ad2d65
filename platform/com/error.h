#pragma once
// _com_error: the exception that carries an HRESULT and, when there is one, its error information.
#include <type_traits>

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

// Raises hr as a _com_error carrying new error information (description, source, interface),
// set on the thread first: how code under a COM method fails with an explanation.
[[noreturn]] void Raise(HRESULT hr, const wchar_t* description, const wchar_t* source = nullptr,
                        REFGUID iid = GUID_NULL);
// Raises hr with the thread's error information (none when there is none), which stays on the
// thread as well: how a failed call's explanation, left on the thread by the callee, travels on
// with the exception to the boundary and to callers that read it from the thread.
[[noreturn]] void RaiseWithThreadInfo(HRESULT hr);

// The source and interface named by the error information the boundary makes itself (for a
// standard exception's text).
struct ErrorOrigin {
  const wchar_t* source = nullptr;
  GUID iid = GUID_NULL;
};

// Answers the exception being handled as a COM method's result; call it only inside a catch
// block. The thread's error information afterwards belongs to this failure alone:
//   _com_error            -> its code, with its error information (none when it carries none);
//   std::bad_alloc        -> E_OUTOFMEMORY, without error information;
//   other std::exception  -> E_FAIL, its text as the description (source and interface: origin);
//   anything else         -> E_UNEXPECTED, without error information.
// Error information left by an earlier failure never survives into the answer.
HRESULT AnswerCurrentException(const ErrorOrigin& origin = {}) noexcept;

// The error boundary of every COM method and callback: runs `work` and answers what it raises
// (AnswerCurrentException), so that nothing leaves the method as an exception. `work` answers
// the method's HRESULT, or returns nothing for S_OK. A method that needs its module's state
// enters it before the boundary:
//   AFX_MANAGE_STATE(m_pModuleState);
//   return platform::com::Boundary([&] { ...; return S_OK; });
// A module with failures of its own kind turns them into _com_error (Raise) inside `work`.
template <class F>
HRESULT Boundary(F&& work, const ErrorOrigin& origin = {}) noexcept {
  try {
    if constexpr (std::is_void_v<decltype(work())>) {
      work();
      return S_OK;
    } else {
      return work();
    }
  } catch (...) {
    return AnswerCurrentException(origin);
  }
}
}  // namespace platform::com
