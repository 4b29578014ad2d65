#pragma once
// Text conversions between wide strings (UTF-32 wchar_t), UTF-8 and windows-1250, with the
// Windows API names the code calls. The ANSI code page (CP_ACP) is UTF-8 on this platform.
// Invalid UTF-8 becomes U+FFFD; unpaired surrogates become U+FFFD; nothing here throws on bad
// input.
#include <string>
#include <string_view>

#include "platform/base/wintypes.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_1250 1250
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define WC_ERR_INVALID_CHARS 0x00000080

namespace platform {

std::wstring Utf8ToWide(std::string_view text);
std::wstring Utf8ToWide(const char* text);  // null gives an empty string
std::string WideToUtf8(std::wstring_view text);
std::string WideToUtf8(const wchar_t* text);  // null gives an empty string

std::wstring Cp1250ToWide(std::string_view text);
// Characters windows-1250 cannot hold become '?' (and *usedDefault is set when given).
std::string WideToCp1250(std::wstring_view text, bool* usedDefault = nullptr);

// UTF-16 code units (as stored in resources and sent over the wire) <-> wide strings.
std::wstring Utf16ToWide(const std::uint16_t* units, size_t count);
std::u16string WideToUtf16(std::wstring_view text);

// Any supported code page (CP_ACP, CP_OEMCP, CP_THREAD_ACP and CP_UTF8 are UTF-8; 1250).
// Returns false for an unknown code page.
bool MultiByteToWide(UINT codePage, std::string_view text, std::wstring& out);
bool WideToMultiByte(UINT codePage, std::wstring_view text, std::string& out, bool* usedDefault = nullptr);

}  // namespace platform

// The Windows calls. A source length of -1 means "null-terminated, terminator included"; a
// destination size of 0 asks for the size needed. They return the number of units written (or
// needed), 0 on failure (unknown code page, too small a buffer, invalid characters with the
// ERR flag).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);

// Conversion helper classes: a temporary converted copy that lives until the end of the full
// expression or of the named object, e.g. `CW2A utf8(name); fopen(utf8, "rb")`.
class CW2A {
 public:
  explicit CW2A(LPCWSTR text, UINT codePage = CP_ACP);
  operator LPSTR() const { return const_cast<LPSTR>(m_text.c_str()); }
  LPCSTR c_str() const { return m_text.c_str(); }
  size_t length() const { return m_text.size(); }

 private:
  std::string m_text;
};

class CA2W {
 public:
  explicit CA2W(LPCSTR text, UINT codePage = CP_ACP);
  operator LPWSTR() const { return const_cast<LPWSTR>(m_text.c_str()); }
  LPCWSTR c_str() const { return m_text.c_str(); }
  size_t length() const { return m_text.size(); }

 private:
  std::wstring m_text;
};

// Wide-to-wide: TCHAR is wchar_t, so these only copy.
class CW2W {
 public:
  explicit CW2W(LPCWSTR text, UINT = CP_ACP) : m_text(text ? text : L"") {}
  operator LPWSTR() const { return const_cast<LPWSTR>(m_text.c_str()); }
  LPCWSTR c_str() const { return m_text.c_str(); }

 private:
  std::wstring m_text;
};

using CW2CA = CW2A;
using CA2CW = CA2W;
using CT2A = CW2A;
using CT2CA = CW2A;
using CA2T = CA2W;
using CA2CT = CA2W;
using CW2T = CW2W;
using CW2CT = CW2W;
using CT2W = CW2W;
using CT2CW = CW2W;
using CT2OLE = CW2W;
using COLE2T = CW2W;
using COLE2CT = CW2W;
using CT2COLE = CW2W;
using CA2OLE = CA2W;
using COLE2A = CW2A;

// The older macro forms; the converted text lives until the end of the full expression.
#define USES_CONVERSION ((void)0)
#define W2A(s) ((LPSTR)CW2A(s))
#define A2W(s) ((LPWSTR)CA2W(s))
#define T2A(s) ((LPSTR)CW2A(s))
#define A2T(s) ((LPWSTR)CA2W(s))
#define W2T(s) ((LPWSTR)(s))
#define T2W(s) ((LPWSTR)(s))
#define OLE2T(s) ((LPWSTR)(s))
#define T2OLE(s) ((LPOLESTR)(s))
#define W2CA(s) ((LPCSTR)CW2A(s))
#define A2CW(s) ((LPCWSTR)CA2W(s))
#define T2CA(s) ((LPCSTR)CW2A(s))
#define A2CT(s) ((LPCWSTR)CA2W(s))
