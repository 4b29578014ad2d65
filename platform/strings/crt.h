#pragma once
// The wide-character C runtime helpers the code calls that glibc does not have, with the
// Windows CRT's behaviour (LONG results are 32-bit; case folding uses the fixed table). The
// printf-family ones format through the platform's formatter, never through swprintf.
#include <cstdarg>
#include <cstddef>
#include <cwchar>

#include "platform/base/wintypes.h"
#include "platform/strings/format.h"

using errno_t = int;

#ifndef _TRUNCATE
#define _TRUNCATE ((size_t)-1)
#endif
#ifndef STRUNCATE
#define STRUNCATE 80
#endif

#ifndef _T
#define _T(x) L##x
#endif
#ifndef _TEXT
#define _TEXT(x) L##x
#endif
#ifndef TEXT
#define TEXT(x) L##x
#endif

int _wcsicmp(const wchar_t* a, const wchar_t* b);
int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t n);
int _stricmp(const char* a, const char* b);  // ASCII folding
int _strnicmp(const char* a, const char* b, size_t n);
int _wcsicoll(const wchar_t* a, const wchar_t* b);

// Number parsing: leading blanks, optional sign, digits; stops at the first other character.
// Out-of-range values saturate as the CRT's do.
int _wtoi(const wchar_t* s);
LONG _wtol(const wchar_t* s);
LONGLONG _wtoi64(const wchar_t* s);
LONGLONG _wcstoi64(const wchar_t* s, wchar_t** end, int base);
ULONGLONG _wcstoui64(const wchar_t* s, wchar_t** end, int base);
double _wtof(const wchar_t* s);  // '.' is the decimal separator whatever the locale
LONGLONG _atoi64(const char* s);

wchar_t* _itow(int value, wchar_t* buf, int radix);
wchar_t* _ltow(LONG value, wchar_t* buf, int radix);
wchar_t* _ultow(ULONG value, wchar_t* buf, int radix);
wchar_t* _i64tow(LONGLONG value, wchar_t* buf, int radix);
wchar_t* _ui64tow(ULONGLONG value, wchar_t* buf, int radix);
char* _itoa(int value, char* buf, int radix);
char* _ltoa(LONG value, char* buf, int radix);
char* _i64toa(LONGLONG value, char* buf, int radix);
errno_t _itow_s(int value, wchar_t* buf, size_t size, int radix);
errno_t _ltow_s(LONG value, wchar_t* buf, size_t size, int radix);
errno_t _i64tow_s(LONGLONG value, wchar_t* buf, size_t size, int radix);

wchar_t* _wcsupr(wchar_t* s);
wchar_t* _wcslwr(wchar_t* s);
errno_t _wcsupr_s(wchar_t* s, size_t size);
errno_t _wcslwr_s(wchar_t* s, size_t size);
wchar_t* _wcsrev(wchar_t* s);
wchar_t* _wcsdup(const wchar_t* s);  // free() it

// Safe copies: on a too-small buffer the destination becomes empty and ERANGE / EINVAL is
// returned (never overrun), except with _TRUNCATE, which truncates and returns STRUNCATE.
errno_t wcscpy_s(wchar_t* dst, size_t size, const wchar_t* src);
errno_t wcsncpy_s(wchar_t* dst, size_t size, const wchar_t* src, size_t count);
errno_t wcscat_s(wchar_t* dst, size_t size, const wchar_t* src);
errno_t wcsncat_s(wchar_t* dst, size_t size, const wchar_t* src, size_t count);
errno_t strcpy_s(char* dst, size_t size, const char* src);
errno_t strncpy_s(char* dst, size_t size, const char* src, size_t count);
errno_t strcat_s(char* dst, size_t size, const char* src);
errno_t wmemcpy_s(wchar_t* dst, size_t size, const wchar_t* src, size_t count);
errno_t memcpy_s(void* dst, size_t size, const void* src, size_t count);

template <size_t N>
errno_t wcscpy_s(wchar_t (&dst)[N], const wchar_t* src) { return wcscpy_s(dst, N, src); }
template <size_t N>
errno_t wcsncpy_s(wchar_t (&dst)[N], const wchar_t* src, size_t count) { return wcsncpy_s(dst, N, src, count); }
template <size_t N>
errno_t wcscat_s(wchar_t (&dst)[N], const wchar_t* src) { return wcscat_s(dst, N, src); }
template <size_t N>
errno_t strcpy_s(char (&dst)[N], const char* src) { return strcpy_s(dst, N, src); }

// Formatting into a buffer with the Windows rules. The variadic forms are templates over the
// va_list ones, taking what platform::FormatArgument allows (a CString's text is passed with
// GetString()).
// vswprintf_s: returns the length written, or -1 (and an empty buffer) when it does not fit.
int vswprintf_s(wchar_t* buf, size_t size, const wchar_t* format, va_list args);
// _vsnwprintf: writes at most `count` units; returns the length, or -1 when truncated (then the
// buffer is not terminated, as on Windows).
int _vsnwprintf(wchar_t* buf, size_t count, const wchar_t* format, va_list args);
// _vsnwprintf_s: at most min(size-1, count) units, always terminated; -1 when truncated.
int _vsnwprintf_s(wchar_t* buf, size_t size, size_t count, const wchar_t* format, va_list args);
int _vscwprintf(const wchar_t* format, va_list args);
int vsprintf_s(char* buf, size_t size, const char* format, va_list args);
int _vsnprintf_s(char* buf, size_t size, size_t count, const char* format, va_list args);

namespace platform::detail {
struct BufferCall {
  void* buf;
  size_t size;
  size_t count;
  const void* format;
};
template <platform::FormatArgument... Args>
int CallBuffered(VaFormatter fn, void* buf, size_t size, size_t count, const void* format, const Args&... args) {
  BufferCall call{buf, size, count, format};
  return CallWithVaList(fn, &call, VarArg(args)...);
}
}  // namespace platform::detail

template <platform::FormatArgument... Args>
int swprintf_s(wchar_t* buf, size_t size, const wchar_t* format, const Args&... args) {
  return platform::detail::CallBuffered(
      [](void* c, va_list ap) {
        auto* b = static_cast<platform::detail::BufferCall*>(c);
        return vswprintf_s(static_cast<wchar_t*>(b->buf), b->size, static_cast<const wchar_t*>(b->format), ap);
      },
      buf, size, 0, format, args...);
}
template <size_t N, platform::FormatArgument... Args>
int swprintf_s(wchar_t (&buf)[N], const wchar_t* format, const Args&... args) {
  return swprintf_s(static_cast<wchar_t*>(buf), N, format, args...);
}
template <platform::FormatArgument... Args>
int _snwprintf(wchar_t* buf, size_t count, const wchar_t* format, const Args&... args) {
  return platform::detail::CallBuffered(
      [](void* c, va_list ap) {
        auto* b = static_cast<platform::detail::BufferCall*>(c);
        return _vsnwprintf(static_cast<wchar_t*>(b->buf), b->count, static_cast<const wchar_t*>(b->format), ap);
      },
      buf, 0, count, format, args...);
}
template <platform::FormatArgument... Args>
int _snwprintf_s(wchar_t* buf, size_t size, size_t count, const wchar_t* format, const Args&... args) {
  return platform::detail::CallBuffered(
      [](void* c, va_list ap) {
        auto* b = static_cast<platform::detail::BufferCall*>(c);
        return _vsnwprintf_s(static_cast<wchar_t*>(b->buf), b->size, b->count, static_cast<const wchar_t*>(b->format), ap);
      },
      buf, size, count, format, args...);
}
template <platform::FormatArgument... Args>
int _scwprintf(const wchar_t* format, const Args&... args) {
  return platform::detail::CallBuffered(
      [](void* c, va_list ap) {
        return _vscwprintf(static_cast<const wchar_t*>(static_cast<platform::detail::BufferCall*>(c)->format), ap);
      },
      nullptr, 0, 0, format, args...);
}
template <platform::FormatArgument... Args>
int sprintf_s(char* buf, size_t size, const char* format, const Args&... args) {
  return platform::detail::CallBuffered(
      [](void* c, va_list ap) {
        auto* b = static_cast<platform::detail::BufferCall*>(c);
        return vsprintf_s(static_cast<char*>(b->buf), b->size, static_cast<const char*>(b->format), ap);
      },
      buf, size, 0, format, args...);
}
template <platform::FormatArgument... Args>
int _snprintf_s(char* buf, size_t size, size_t count, const char* format, const Args&... args) {
  return platform::detail::CallBuffered(
      [](void* c, va_list ap) {
        auto* b = static_cast<platform::detail::BufferCall*>(c);
        return _vsnprintf_s(static_cast<char*>(b->buf), b->size, b->count, static_cast<const char*>(b->format), ap);
      },
      buf, size, count, format, args...);
}

// Generic-text names (TCHAR is wchar_t).
#define _tcslen wcslen
#define _tcscpy wcscpy
#define _tcscpy_s wcscpy_s
#define _tcsncpy wcsncpy
#define _tcsncpy_s wcsncpy_s
#define _tcscat wcscat
#define _tcscat_s wcscat_s
#define _tcscmp wcscmp
#define _tcsncmp wcsncmp
#define _tcsicmp _wcsicmp
#define _tcsnicmp _wcsnicmp
#define _tcschr wcschr
#define _tcsrchr wcsrchr
#define _tcsstr wcsstr
#define _tcsdup _wcsdup
#define _tcsupr _wcsupr
#define _tcslwr _wcslwr
#define _tcstol wcstol
#define _tcstoul wcstoul
#define _tcstod wcstod
#define _tstoi _wtoi
#define _ttoi _wtoi
#define _ttol _wtol
#define _tstol _wtol
#define _ttoi64 _wtoi64
#define _tstoi64 _wtoi64
#define _tstof _wtof
#define _ttof _wtof
#define _itot _itow
#define _ltot _ltow
#define _i64tot _i64tow
#define _stprintf_s swprintf_s
#define _sntprintf _snwprintf
#define _sntprintf_s _snwprintf_s
#define _vsntprintf _vsnwprintf

// --- Windows string calls (user32 / kernel32 / strsafe) over the same fixed tables.
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
#define NORM_IGNORECASE 0x00000001
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_INVARIANT 0x007F
#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007A)
#define STRSAFE_E_INVALID_PARAMETER ((HRESULT)0x80070057)

int lstrlenW(LPCWSTR s);  // null counts as 0
int lstrcmpW(LPCWSTR a, LPCWSTR b);   // dictionary order, as CString::Collate
int lstrcmpiW(LPCWSTR a, LPCWSTR b);  // dictionary order ignoring case
LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int size);  // at most size-1 characters, terminated
// Dictionary comparison of two counted strings (-1 = null-terminated): CSTR_* or 0 on bad input.
int CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int lengthA, LPCWSTR b, int lengthB);
// With a pointer whose high bits are zero the single character in its low word is converted.
LPWSTR CharUpperW(LPWSTR s);
LPWSTR CharLowerW(LPWSTR s);
DWORD CharUpperBuffW(LPWSTR s, DWORD length);
DWORD CharLowerBuffW(LPWSTR s, DWORD length);
BOOL IsCharAlphaW(WCHAR c);
BOOL IsCharAlphaNumericW(WCHAR c);
BOOL IsCharUpperW(WCHAR c);
BOOL IsCharLowerW(WCHAR c);
// wsprintfW writes at most 1024 characters, as the system call does.
int wvsprintfW(LPWSTR buf, LPCWSTR format, va_list args);
template <platform::FormatArgument... Args>
int wsprintfW(LPWSTR buf, LPCWSTR format, const Args&... args) {
  return platform::detail::CallBuffered(
      [](void* c, va_list ap) {
        auto* b = static_cast<platform::detail::BufferCall*>(c);
        return wvsprintfW(static_cast<wchar_t*>(b->buf), static_cast<const wchar_t*>(b->format), ap);
      },
      buf, 0, 0, format, args...);
}
HRESULT StringCchCopyW(LPWSTR dst, size_t size, LPCWSTR src);
HRESULT StringCchCatW(LPWSTR dst, size_t size, LPCWSTR src);
HRESULT StringCchLengthW(LPCWSTR s, size_t max, size_t* length);
HRESULT StringCchVPrintfW(LPWSTR dst, size_t size, LPCWSTR format, va_list args);
template <platform::FormatArgument... Args>
HRESULT StringCchPrintfW(LPWSTR dst, size_t size, LPCWSTR format, const Args&... args) {
  return platform::detail::CallBuffered(
      [](void* c, va_list ap) {
        auto* b = static_cast<platform::detail::BufferCall*>(c);
        return StringCchVPrintfW(static_cast<wchar_t*>(b->buf), b->size, static_cast<const wchar_t*>(b->format), ap);
      },
      dst, size, 0, format, args...);
}
#define lstrlen lstrlenW
#define lstrcmp lstrcmpW
#define lstrcmpi lstrcmpiW
#define lstrcpyn lstrcpynW
#define CompareString CompareStringW
#define CharUpper CharUpperW
#define CharLower CharLowerW
#define wsprintf wsprintfW
#define StringCchCopy StringCchCopyW
#define StringCchCat StringCchCatW
#define StringCchPrintf StringCchPrintfW
