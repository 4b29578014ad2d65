#include "platform/com/com.h"

#include "platform/base/utf8.h"

#include <cstdlib>
#include <cwchar>
#include <new>

// Layout of an allocation: 4 bytes of padding, 4 bytes holding the length in bytes, then the
// characters and a terminating character (plus one spare byte-pair for odd byte lengths).
namespace {
constexpr std::size_t kHeader = 8;

BSTR AllocBytes(const void* src, std::size_t bytes) {
  if (bytes > 0xFFFFFFF0u) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(kHeader + bytes + sizeof(OLECHAR) + 2));
  if (!block) return nullptr;
  auto len = static_cast<std::uint32_t>(bytes);
  std::memcpy(block + 4, &len, 4);
  unsigned char* chars = block + kHeader;
  if (src) std::memcpy(chars, src, bytes);  // without one the content is left for the caller, as documented
  std::memset(chars + bytes, 0, sizeof(OLECHAR) + 2);
  return reinterpret_cast<BSTR>(chars);
}

unsigned char* BlockOf(BSTR s) { return reinterpret_cast<unsigned char*>(s) - kHeader; }
}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return AllocBytes(psz, std::wcslen(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
  if (cch > 0x3FFFFFF0u) return nullptr;
  return AllocBytes(pch, static_cast<std::size_t>(cch) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return AllocBytes(psz, len); }

void SysFreeString(BSTR bstr) {
  if (bstr) std::free(BlockOf(bstr));
}

UINT SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  std::uint32_t len;
  std::memcpy(&len, BlockOf(bstr) + 4, 4);
  return len;
}

UINT SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocStringLen(psz, len);
  if (!fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocString(psz);
  if (!fresh && psz) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

namespace platform::com {
std::wstring Utf8ToWide(std::string_view text) { return platform::utf8::ToWide(text); }
std::string WideToUtf8(std::wstring_view text) { return platform::utf8::FromWide(text); }
}  // namespace platform::com

// ---- _bstr_t ----

void _bstr_t::Own(BSTR s) {
  Release();
  data_ = new Data;
  data_->wstr = s;
}

void _bstr_t::Release() noexcept {
  if (data_ && data_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    SysFreeString(data_->wstr);
    delete[] data_->str;
    delete data_;
  }
  data_ = nullptr;
}

_bstr_t::_bstr_t(const _bstr_t& s) noexcept : data_(s.data_) {
  if (data_) data_->refs.fetch_add(1, std::memory_order_relaxed);
}

_bstr_t::_bstr_t(const char* s) {
  if (!s) return;
  std::wstring w = platform::com::Utf8ToWide(s);
  BSTR b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  if (!b) _com_issue_error(E_OUTOFMEMORY);
  Own(b);
}

_bstr_t::_bstr_t(const wchar_t* s) {
  if (!s) return;
  BSTR b = SysAllocString(s);
  if (!b) _com_issue_error(E_OUTOFMEMORY);
  Own(b);
}

_bstr_t::_bstr_t(BSTR bstr, bool fCopy) {
  if (fCopy && bstr) {
    BSTR b = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(bstr), SysStringByteLen(bstr));
    if (!b) _com_issue_error(E_OUTOFMEMORY);
    Own(b);
  } else {
    Own(bstr);
  }
}

_bstr_t& _bstr_t::operator=(const _bstr_t& s) noexcept {
  if (data_ != s.data_) {
    Release();
    data_ = s.data_;
    if (data_) data_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  return *this;
}

_bstr_t& _bstr_t::operator=(_bstr_t&& s) noexcept {
  if (this != &s) {
    Release();
    data_ = s.data_;
    s.data_ = nullptr;
  }
  return *this;
}

_bstr_t& _bstr_t::operator=(const char* s) { return *this = _bstr_t(s); }
_bstr_t& _bstr_t::operator=(const wchar_t* s) { return *this = _bstr_t(s); }
_bstr_t& _bstr_t::operator=(const _variant_t& var) { return *this = static_cast<_bstr_t>(var); }

_bstr_t _bstr_t::operator+(const _bstr_t& s) const {
  UINT a = length(), b = s.length();
  BSTR joined = SysAllocStringLen(nullptr, a + b);
  if (!joined) _com_issue_error(E_OUTOFMEMORY);
  if (a) std::wmemcpy(joined, data_->wstr, a);
  if (b) std::wmemcpy(joined + a, s.data_->wstr, b);
  return _bstr_t(joined, false);
}

_bstr_t& _bstr_t::operator+=(const _bstr_t& s) { return *this = *this + s; }
_bstr_t operator+(const char* s1, const _bstr_t& s2) { return _bstr_t(s1) + s2; }
_bstr_t operator+(const wchar_t* s1, const _bstr_t& s2) { return _bstr_t(s1) + s2; }

_bstr_t::operator const char*() const {
  if (!data_) return nullptr;
  if (!data_->str) {
    std::string narrow = platform::com::WideToUtf8(std::wstring_view(data_->wstr ? data_->wstr : L"", length()));
    char* copy = new char[narrow.size() + 1];
    std::memcpy(copy, narrow.c_str(), narrow.size() + 1);
    data_->str = copy;
  }
  return data_->str;
}

_bstr_t::operator char*() const { return const_cast<char*>(static_cast<const char*>(*this)); }

int _bstr_t::Compare(const _bstr_t& s) const noexcept {
  UINT a = length(), b = s.length();
  UINT n = a < b ? a : b;
  for (UINT i = 0; i < n; ++i) {
    wchar_t x = data_->wstr[i], y = s.data_->wstr[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return a == b ? 0 : (a < b ? -1 : 1);
}

BSTR _bstr_t::copy(bool fCopy) const {
  if (!data_) return nullptr;
  if (!fCopy) return data_->wstr;
  if (!data_->wstr) return nullptr;
  BSTR b = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(data_->wstr), SysStringByteLen(data_->wstr));
  if (!b) _com_issue_error(E_OUTOFMEMORY);
  return b;
}

void _bstr_t::Assign(BSTR s) { *this = _bstr_t(s, true); }

BSTR& _bstr_t::GetBSTR() {
  if (!data_) Own(nullptr);
  return data_->wstr;
}

BSTR* _bstr_t::GetAddress() {
  Own(nullptr);
  return &data_->wstr;
}

void _bstr_t::Attach(BSTR s) { Own(s); }

BSTR _bstr_t::Detach() noexcept {
  if (!data_) return nullptr;
  if (data_->refs.load(std::memory_order_acquire) == 1) {
    BSTR s = data_->wstr;
    data_->wstr = nullptr;
    Release();
    return s;
  }
  // Shared: hand out a copy so the other holders keep theirs.
  BSTR s = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(data_->wstr), SysStringByteLen(data_->wstr));
  Release();
  return s;
}
