#pragma once
// Small helpers of the shared services: raising failed host calls, reaching the instance, the
// thread's current COM error description.
#include <optional>

#include "shared/hxinstance.h"

namespace hx {

// Raises a failed HRESULT as a COM error with the error information the failing call left on
// the thread (which stays there too).
inline void Check(HRESULT hr) {
  if (FAILED(hr)) platform::com::RaiseWithThreadInfo(hr);
}

// The framework instance; raises E_POINTER when the host has not set it.
inline IFlgInstancePtr Instance() {
  IFlgInstancePtr instance = CHxInstance::GetInstance();
  if (!instance) _com_issue_error(E_POINTER);
  return instance;
}

// Takes the thread's COM error information and gives its description; none without information.
inline std::optional<CString> TakeErrorDescription() {
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) != S_OK || !raw) return std::nullopt;
  IErrorInfoPtr info(raw, false);
  BSTR description = nullptr;
  info->GetDescription(&description);
  _bstr_t owned(description, false);
  const wchar_t* text = static_cast<const wchar_t*>(owned);
  return CString(text ? text : L"");
}

}  // namespace hx
