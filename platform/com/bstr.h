#pragma once
// Automation strings (BSTR) and the _bstr_t wrapper.
//
// A BSTR points at wide characters preceded by their length in bytes and followed by a
// terminator; a null BSTR is the empty string. The narrow form of a _bstr_t is UTF-8 (the
// user's code page on this platform).
#include <atomic>
#include <string>
#include <string_view>

#include "platform/com/core.h"

class _variant_t;

BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
// Allocates len bytes (copied from psz when not null) plus a terminator.
BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);
// Replaces *pbstr with a copy of psz; FALSE when out of memory.
INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);

// Raises a _com_error for the HRESULT (no error information).
[[noreturn]] void _com_issue_error(HRESULT hr);

namespace platform::com {
// UTF-8 <-> wide conversions used at the edges; invalid UTF-8 bytes become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
}  // namespace platform::com

class _bstr_t {
 public:
  _bstr_t() noexcept = default;
  _bstr_t(const _bstr_t& s) noexcept;
  _bstr_t(_bstr_t&& s) noexcept : data_(s.data_) { s.data_ = nullptr; }
  _bstr_t(const char* s);
  _bstr_t(const wchar_t* s);
  // fCopy false takes ownership of bstr.
  _bstr_t(BSTR bstr, bool fCopy);
  ~_bstr_t() { Release(); }

  _bstr_t& operator=(const _bstr_t& s) noexcept;
  _bstr_t& operator=(_bstr_t&& s) noexcept;
  _bstr_t& operator=(const char* s);
  _bstr_t& operator=(const wchar_t* s);
  _bstr_t& operator=(const _variant_t& var);

  _bstr_t& operator+=(const _bstr_t& s);
  _bstr_t operator+(const _bstr_t& s) const;
  friend _bstr_t operator+(const char* s1, const _bstr_t& s2);
  friend _bstr_t operator+(const wchar_t* s1, const _bstr_t& s2);

  operator const wchar_t*() const noexcept { return data_ ? data_->wstr : nullptr; }
  operator wchar_t*() const noexcept { return data_ ? data_->wstr : nullptr; }
  operator const char*() const;
  operator char*() const;

  bool operator!() const noexcept { return data_ == nullptr || data_->wstr == nullptr; }
  bool operator==(const _bstr_t& s) const noexcept { return Compare(s) == 0; }
  bool operator!=(const _bstr_t& s) const noexcept { return Compare(s) != 0; }
  bool operator<(const _bstr_t& s) const noexcept { return Compare(s) < 0; }
  bool operator>(const _bstr_t& s) const noexcept { return Compare(s) > 0; }
  bool operator<=(const _bstr_t& s) const noexcept { return Compare(s) <= 0; }
  bool operator>=(const _bstr_t& s) const noexcept { return Compare(s) >= 0; }

  // A new BSTR copy (fCopy) or the held BSTR itself.
  BSTR copy(bool fCopy = true) const;
  unsigned int length() const noexcept { return data_ ? SysStringLen(data_->wstr) : 0; }
  // Takes ownership of s (any previous content is released).
  void Assign(BSTR s);
  BSTR& GetBSTR();
  // Frees the content and returns the address of the (now null) BSTR, for [out] parameters.
  BSTR* GetAddress();
  void Attach(BSTR s);
  BSTR Detach() noexcept;

 private:
  struct Data {
    BSTR wstr = nullptr;
    mutable char* str = nullptr;
    std::atomic<unsigned long> refs{1};
  };
  int Compare(const _bstr_t& s) const noexcept;
  void Release() noexcept;
  void Own(BSTR s);
  Data* data_ = nullptr;
};

inline bool operator==(const _bstr_t& a, const wchar_t* b) { return a == _bstr_t(b); }
inline bool operator!=(const _bstr_t& a, const wchar_t* b) { return !(a == b); }
inline bool operator==(const _bstr_t& a, const char* b) { return a == _bstr_t(b); }
inline bool operator!=(const _bstr_t& a, const char* b) { return !(a == b); }
