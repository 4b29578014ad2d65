#include "platform/strings/crt.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/strings/casemap.h"
#include "platform/strings/convert.h"
#include "platform/strings/cstring.h"
#include "platform/strings/format.h"

namespace {

template <class Ch>
int FoldCompare(const Ch* a, const Ch* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    std::uint32_t x, y;
    if constexpr (sizeof(Ch) == 1) {
      auto ua = static_cast<unsigned char>(a[i]), ub = static_cast<unsigned char>(b[i]);
      x = (ua >= 'A' && ua <= 'Z') ? ua + 0x20u : ua;
      y = (ub >= 'A' && ub <= 'Z') ? ub + 0x20u : ub;
    } else {
      x = static_cast<std::uint32_t>(platform::ToLowerChar(a[i]));
      y = static_cast<std::uint32_t>(platform::ToLowerChar(b[i]));
    }
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

bool IsBlank(wchar_t c) { return c == L' ' || (c >= 9 && c <= 13); }

// Parses like the CRT's strtoi64 family: returns the value, saturated, and where it stopped.
template <class Ch>
unsigned long long ParseInteger(const Ch* s, const Ch** end, int base, bool& negative, bool& overflow) {
  negative = false;
  overflow = false;
  const Ch* p = s;
  while (IsBlank(static_cast<wchar_t>(*p))) ++p;
  if (*p == Ch('+') || *p == Ch('-')) negative = *p++ == Ch('-');
  if ((base == 0 || base == 16) && p[0] == Ch('0') && (p[1] == Ch('x') || p[1] == Ch('X'))) {
    p += 2;
    base = 16;
  } else if (base == 0) {
    base = p[0] == Ch('0') ? 8 : 10;
  }
  unsigned long long v = 0;
  const Ch* digitsStart = p;
  for (;; ++p) {
    int d;
    if (*p >= Ch('0') && *p <= Ch('9')) d = *p - Ch('0');
    else if (*p >= Ch('a') && *p <= Ch('z')) d = *p - Ch('a') + 10;
    else if (*p >= Ch('A') && *p <= Ch('Z')) d = *p - Ch('A') + 10;
    else break;
    if (d >= base) break;
    if (v > (ULLONG_MAX - static_cast<unsigned>(d)) / static_cast<unsigned>(base)) overflow = true;
    else v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
  }
  if (end) *end = p == digitsStart ? s : p;
  return v;
}

template <class Ch>
long long ParseSigned(const Ch* s, const Ch** end, int base, long long min, long long max) {
  if (s == nullptr) return 0;
  bool negative, overflow;
  unsigned long long v = ParseInteger(s, end, base, negative, overflow);
  if (negative) {
    if (overflow || v > static_cast<unsigned long long>(max) + 1ULL) return min;
    return v == static_cast<unsigned long long>(max) + 1ULL ? min : -static_cast<long long>(v);
  }
  if (overflow || v > static_cast<unsigned long long>(max)) return max;
  return static_cast<long long>(v);
}

template <class Ch>
Ch* ToText(unsigned long long magnitude, bool negative, Ch* buf, int radix) {
  if (buf == nullptr) return buf;
  if (radix < 2 || radix > 36) radix = 10;
  Ch tmp[72];
  int n = 0;
  do {
    unsigned d = static_cast<unsigned>(magnitude % static_cast<unsigned>(radix));
    tmp[n++] = static_cast<Ch>(d < 10 ? '0' + d : 'a' + d - 10);
    magnitude /= static_cast<unsigned>(radix);
  } while (magnitude != 0);
  Ch* p = buf;
  if (negative) *p++ = Ch('-');
  while (n > 0) *p++ = tmp[--n];
  *p = 0;
  return buf;
}

// Signed values print with a minus sign only in radix 10, as the CRT does.
template <class Ch>
Ch* SignedToText(long long value, Ch* buf, int radix, unsigned long long mask) {
  if (radix == 10 && value < 0) return ToText(0ULL - static_cast<unsigned long long>(value), true, buf, radix);
  return ToText(static_cast<unsigned long long>(value) & mask, false, buf, radix);
}

template <class Ch>
errno_t SafeToText(long long value, Ch* buf, size_t size, int radix, unsigned long long mask) {
  if (buf == nullptr || size == 0) return EINVAL;
  Ch tmp[72];
  SignedToText(value, tmp, radix, mask);
  size_t n = std::char_traits<Ch>::length(tmp);
  if (n + 1 > size) {
    buf[0] = 0;
    return ERANGE;
  }
  std::char_traits<Ch>::copy(buf, tmp, n + 1);
  return 0;
}

template <class Ch>
errno_t CopyS(Ch* dst, size_t size, const Ch* src, size_t count) {
  if (dst == nullptr || size == 0) return EINVAL;
  if (src == nullptr) {
    dst[0] = 0;
    return EINVAL;
  }
  size_t n = 0;
  bool truncate = count == _TRUNCATE;
  size_t limit = truncate ? size - 1 : count;
  while (n < limit && src[n] != 0) {
    if (n + 1 >= size) {
      if (truncate) break;
      dst[0] = 0;
      return ERANGE;
    }
    dst[n] = src[n];
    ++n;
  }
  dst[n] = 0;
  if (truncate && src[n] != 0) return STRUNCATE;
  return 0;
}

template <class Ch>
errno_t CatS(Ch* dst, size_t size, const Ch* src, size_t count) {
  if (dst == nullptr || size == 0) return EINVAL;
  size_t len = 0;
  while (len < size && dst[len] != 0) ++len;
  if (len == size) {
    dst[0] = 0;
    return EINVAL;
  }
  errno_t r = CopyS(dst + len, size - len, src, count);
  if (r != 0 && r != STRUNCATE) dst[0] = 0;
  return r;
}

}  // namespace

int _wcsicmp(const wchar_t* a, const wchar_t* b) { return FoldCompare(a, b, SIZE_MAX); }
int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t n) { return FoldCompare(a, b, n); }
int _stricmp(const char* a, const char* b) { return FoldCompare(a, b, SIZE_MAX); }
int _strnicmp(const char* a, const char* b, size_t n) { return FoldCompare(a, b, n); }
int _wcsicoll(const wchar_t* a, const wchar_t* b) { return platform::CollateCompare(a, b, true); }

int _wtoi(const wchar_t* s) { return static_cast<int>(ParseSigned<wchar_t>(s, nullptr, 10, INT_MIN, INT_MAX)); }
LONG _wtol(const wchar_t* s) { return static_cast<LONG>(ParseSigned<wchar_t>(s, nullptr, 10, INT32_MIN, INT32_MAX)); }
LONGLONG _wtoi64(const wchar_t* s) { return ParseSigned<wchar_t>(s, nullptr, 10, LLONG_MIN, LLONG_MAX); }
LONGLONG _atoi64(const char* s) { return ParseSigned<char>(s, nullptr, 10, LLONG_MIN, LLONG_MAX); }

LONGLONG _wcstoi64(const wchar_t* s, wchar_t** end, int base) {
  const wchar_t* e = s;
  LONGLONG v = ParseSigned<wchar_t>(s, &e, base, LLONG_MIN, LLONG_MAX);
  if (end) *end = const_cast<wchar_t*>(e);
  return v;
}

ULONGLONG _wcstoui64(const wchar_t* s, wchar_t** end, int base) {
  if (s == nullptr) return 0;
  bool negative, overflow;
  const wchar_t* e = s;
  unsigned long long v = ParseInteger<wchar_t>(s, &e, base, negative, overflow);
  if (end) *end = const_cast<wchar_t*>(e);
  if (overflow) return ULLONG_MAX;
  return negative ? 0ULL - v : v;
}

double _wtof(const wchar_t* s) {
  if (s == nullptr) return 0.0;
  // Only the characters a number can have are copied, then parsed in the "C" locale's form.
  std::string ascii;
  const wchar_t* p = s;
  while (IsBlank(*p)) ++p;
  for (; *p; ++p) {
    wchar_t c = *p;
    if ((c >= L'0' && c <= L'9') || c == L'.' || c == L'+' || c == L'-' || c == L'e' || c == L'E' ||
        c == L'x' || c == L'X' || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F') || c == L'n' ||
        c == L'N' || c == L'i' || c == L'I' || c == L't' || c == L'T' || c == L'y' || c == L'Y' || c == L'p' || c == L'P')
      ascii.push_back(static_cast<char>(c));
    else
      break;
  }
  const char* start = ascii.c_str();
  char* end = nullptr;
  // strtod honours the locale's decimal point; the process runs in the "C" locale, and the
  // decimal separator here is always '.'.
  double v = std::strtod(start, &end);
  return end == start ? 0.0 : v;
}

wchar_t* _itow(int value, wchar_t* buf, int radix) { return SignedToText<wchar_t>(value, buf, radix, 0xFFFFFFFFULL); }
wchar_t* _ltow(LONG value, wchar_t* buf, int radix) { return SignedToText<wchar_t>(value, buf, radix, 0xFFFFFFFFULL); }
wchar_t* _ultow(ULONG value, wchar_t* buf, int radix) { return ToText<wchar_t>(value, false, buf, radix); }
wchar_t* _i64tow(LONGLONG value, wchar_t* buf, int radix) { return SignedToText<wchar_t>(value, buf, radix, ~0ULL); }
wchar_t* _ui64tow(ULONGLONG value, wchar_t* buf, int radix) { return ToText<wchar_t>(value, false, buf, radix); }
char* _itoa(int value, char* buf, int radix) { return SignedToText<char>(value, buf, radix, 0xFFFFFFFFULL); }
char* _ltoa(LONG value, char* buf, int radix) { return SignedToText<char>(value, buf, radix, 0xFFFFFFFFULL); }
char* _i64toa(LONGLONG value, char* buf, int radix) { return SignedToText<char>(value, buf, radix, ~0ULL); }
errno_t _itow_s(int value, wchar_t* buf, size_t size, int radix) { return SafeToText<wchar_t>(value, buf, size, radix, 0xFFFFFFFFULL); }
errno_t _ltow_s(LONG value, wchar_t* buf, size_t size, int radix) { return SafeToText<wchar_t>(value, buf, size, radix, 0xFFFFFFFFULL); }
errno_t _i64tow_s(LONGLONG value, wchar_t* buf, size_t size, int radix) { return SafeToText<wchar_t>(value, buf, size, radix, ~0ULL); }

wchar_t* _wcsupr(wchar_t* s) {
  for (wchar_t* p = s; p && *p; ++p) *p = platform::ToUpperChar(*p);
  return s;
}
wchar_t* _wcslwr(wchar_t* s) {
  for (wchar_t* p = s; p && *p; ++p) *p = platform::ToLowerChar(*p);
  return s;
}
errno_t _wcsupr_s(wchar_t* s, size_t size) {
  if (s == nullptr || size == 0 || wcsnlen(s, size) == size) return EINVAL;
  _wcsupr(s);
  return 0;
}
errno_t _wcslwr_s(wchar_t* s, size_t size) {
  if (s == nullptr || size == 0 || wcsnlen(s, size) == size) return EINVAL;
  _wcslwr(s);
  return 0;
}
wchar_t* _wcsrev(wchar_t* s) {
  if (s == nullptr) return s;
  size_t n = std::wcslen(s);
  for (size_t i = 0; i < n / 2; ++i) std::swap(s[i], s[n - 1 - i]);
  return s;
}
wchar_t* _wcsdup(const wchar_t* s) {
  if (s == nullptr) return nullptr;
  size_t n = std::wcslen(s) + 1;
  auto* p = static_cast<wchar_t*>(std::malloc(n * sizeof(wchar_t)));
  if (p) std::wmemcpy(p, s, n);
  return p;
}

errno_t wcscpy_s(wchar_t* dst, size_t size, const wchar_t* src) { return CopyS(dst, size, src, SIZE_MAX - 1); }
errno_t wcsncpy_s(wchar_t* dst, size_t size, const wchar_t* src, size_t count) { return CopyS(dst, size, src, count); }
errno_t wcscat_s(wchar_t* dst, size_t size, const wchar_t* src) { return CatS(dst, size, src, SIZE_MAX - 1); }
errno_t wcsncat_s(wchar_t* dst, size_t size, const wchar_t* src, size_t count) { return CatS(dst, size, src, count); }
errno_t strcpy_s(char* dst, size_t size, const char* src) { return CopyS(dst, size, src, SIZE_MAX - 1); }
errno_t strncpy_s(char* dst, size_t size, const char* src, size_t count) { return CopyS(dst, size, src, count); }
errno_t strcat_s(char* dst, size_t size, const char* src) { return CatS(dst, size, src, SIZE_MAX - 1); }

errno_t wmemcpy_s(wchar_t* dst, size_t size, const wchar_t* src, size_t count) {
  return memcpy_s(dst, size * sizeof(wchar_t), src, count * sizeof(wchar_t));
}
errno_t memcpy_s(void* dst, size_t size, const void* src, size_t count) {
  if (count == 0) return 0;
  if (dst == nullptr) return EINVAL;
  if (src == nullptr || count > size) {
    std::memset(dst, 0, size);
    return src == nullptr ? EINVAL : ERANGE;
  }
  std::memmove(dst, src, count);
  return 0;
}

namespace {

std::wstring Formatted(const wchar_t* format, va_list args) { return platform::FormatW(format, args); }
std::string Formatted(const char* format, va_list args) { return platform::FormatA(format, args); }

// The checked forms: text that does not fit the buffer leaves it empty and gives -1.
template <class Ch>
int CheckedPrint(Ch* buf, size_t size, const Ch* format, va_list args) {
  if (buf == nullptr || size == 0) return -1;
  std::basic_string<Ch> s = Formatted(format, args);
  if (s.size() + 1 > size) {
    buf[0] = 0;
    return -1;
  }
  std::copy(s.c_str(), s.c_str() + s.size() + 1, buf);
  return static_cast<int>(s.size());
}

// The counted checked forms: at most `count` characters (or as many as fit with _TRUNCATE);
// text cut short by count or _TRUNCATE is kept terminated and gives -1, text the buffer cannot
// hold within count leaves it empty and gives -1.
template <class Ch>
int CheckedPrintCounted(Ch* buf, size_t size, size_t count, const Ch* format, va_list args) {
  if (buf == nullptr || size == 0) return -1;
  std::basic_string<Ch> s = Formatted(format, args);
  size_t limit = size - 1;
  if (count != _TRUNCATE && count < limit) limit = count;
  if (s.size() > limit) {
    if (count == _TRUNCATE || count < size - 1) {
      std::copy(s.data(), s.data() + limit, buf);
      buf[limit] = 0;
    } else {
      buf[0] = 0;
    }
    return -1;
  }
  std::copy(s.c_str(), s.c_str() + s.size() + 1, buf);
  return static_cast<int>(s.size());
}

}  // namespace

int vswprintf_s(wchar_t* buf, size_t size, const wchar_t* format, va_list args) {
  return CheckedPrint(buf, size, format, args);
}

int _vsnwprintf(wchar_t* buf, size_t count, const wchar_t* format, va_list args) {
  std::wstring s = platform::FormatW(format, args);
  if (buf == nullptr) return count == 0 ? static_cast<int>(s.size()) : -1;
  if (s.size() > count) {
    std::wmemcpy(buf, s.data(), count);
    return -1;
  }
  std::wmemcpy(buf, s.data(), s.size());
  if (s.size() < count) buf[s.size()] = 0;
  return static_cast<int>(s.size());
}

int _vsnwprintf_s(wchar_t* buf, size_t size, size_t count, const wchar_t* format, va_list args) {
  return CheckedPrintCounted(buf, size, count, format, args);
}

int _vscwprintf(const wchar_t* format, va_list args) { return static_cast<int>(platform::FormatW(format, args).size()); }

int vsprintf_s(char* buf, size_t size, const char* format, va_list args) { return CheckedPrint(buf, size, format, args); }

int _vsnprintf_s(char* buf, size_t size, size_t count, const char* format, va_list args) {
  return CheckedPrintCounted(buf, size, count, format, args);
}

// --- Windows string calls

namespace {

bool IsLetter(wchar_t c) {
  return platform::ToUpperChar(c) != platform::ToLowerChar(c) || c == 0xDF || c == 0x138 || c == 0x149 || c == 0xAA ||
         c == 0xBA;
}

// Truncating copy for the strsafe family: always terminated, reports truncation.
HRESULT CopyTruncating(LPWSTR dst, size_t size, std::wstring_view text) {
  if (dst == nullptr || size == 0) return STRSAFE_E_INVALID_PARAMETER;
  size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::wmemcpy(dst, text.data(), n);
  dst[n] = 0;
  return n < text.size() ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

}  // namespace

int lstrlenW(LPCWSTR s) { return s ? static_cast<int>(std::wcslen(s)) : 0; }
int lstrcmpW(LPCWSTR a, LPCWSTR b) { return platform::CollateCompare(a ? a : L"", b ? b : L"", false); }
int lstrcmpiW(LPCWSTR a, LPCWSTR b) { return platform::CollateCompare(a ? a : L"", b ? b : L"", true); }

LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int size) {
  if (dst == nullptr || size <= 0) return nullptr;
  CopyTruncating(dst, static_cast<size_t>(size), src ? src : L"");
  return dst;
}

int CompareStringW(LCID, DWORD flags, LPCWSTR a, int lengthA, LPCWSTR b, int lengthB) {
  if (a == nullptr || b == nullptr || lengthA < -1 || lengthB < -1) return 0;
  std::wstring_view x = lengthA == -1 ? std::wstring_view(a) : std::wstring_view(a, static_cast<size_t>(lengthA));
  std::wstring_view y = lengthB == -1 ? std::wstring_view(b) : std::wstring_view(b, static_cast<size_t>(lengthB));
  int r = platform::CollateCompare(x, y, (flags & NORM_IGNORECASE) != 0);
  return r < 0 ? CSTR_LESS_THAN : (r == 0 ? CSTR_EQUAL : CSTR_GREATER_THAN);
}

LPWSTR CharUpperW(LPWSTR s) {
  if (IS_INTRESOURCE(s)) {
    auto c = static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(s));
    return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(platform::ToUpperChar(c)));
  }
  return _wcsupr(s);
}

LPWSTR CharLowerW(LPWSTR s) {
  if (IS_INTRESOURCE(s)) {
    auto c = static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(s));
    return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(platform::ToLowerChar(c)));
  }
  return _wcslwr(s);
}

DWORD CharUpperBuffW(LPWSTR s, DWORD length) {
  for (DWORD i = 0; s && i < length; ++i) s[i] = platform::ToUpperChar(s[i]);
  return s ? length : 0;
}

DWORD CharLowerBuffW(LPWSTR s, DWORD length) {
  for (DWORD i = 0; s && i < length; ++i) s[i] = platform::ToLowerChar(s[i]);
  return s ? length : 0;
}

BOOL IsCharAlphaW(WCHAR c) { return IsLetter(c) ? TRUE : FALSE; }
BOOL IsCharAlphaNumericW(WCHAR c) { return IsLetter(c) || (c >= L'0' && c <= L'9') ? TRUE : FALSE; }
BOOL IsCharUpperW(WCHAR c) { return platform::ToLowerChar(c) != c ? TRUE : FALSE; }
BOOL IsCharLowerW(WCHAR c) { return platform::ToUpperChar(c) != c ? TRUE : FALSE; }

int wvsprintfW(LPWSTR buf, LPCWSTR format, va_list args) {
  if (buf == nullptr) return 0;
  std::wstring s = platform::FormatW(format, args);
  if (s.size() > 1024) s.resize(1024);
  std::wmemcpy(buf, s.c_str(), s.size() + 1);
  return static_cast<int>(s.size());
}

HRESULT StringCchCopyW(LPWSTR dst, size_t size, LPCWSTR src) { return CopyTruncating(dst, size, src ? src : L""); }

HRESULT StringCchCatW(LPWSTR dst, size_t size, LPCWSTR src) {
  if (dst == nullptr || size == 0) return STRSAFE_E_INVALID_PARAMETER;
  size_t len = wcsnlen(dst, size);
  if (len == size) return STRSAFE_E_INVALID_PARAMETER;
  return CopyTruncating(dst + len, size - len, src ? src : L"");
}

HRESULT StringCchLengthW(LPCWSTR s, size_t max, size_t* length) {
  if (s == nullptr) {
    if (length) *length = 0;
    return STRSAFE_E_INVALID_PARAMETER;
  }
  size_t n = wcsnlen(s, max);
  if (length) *length = n == max ? 0 : n;
  return n == max ? STRSAFE_E_INVALID_PARAMETER : S_OK;
}

HRESULT StringCchVPrintfW(LPWSTR dst, size_t size, LPCWSTR format, va_list args) {
  if (dst == nullptr || size == 0) return STRSAFE_E_INVALID_PARAMETER;
  return CopyTruncating(dst, size, platform::FormatW(format, args));
}

