#include "platform/strings/convert.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/base/utf8.h"

namespace platform {
namespace {

// windows-1250, bytes 0x80..0xFF. The five bytes the code page leaves undefined map to the C1
// control with the same value, as the system conversion does, so they round-trip.
constexpr char16_t kCp1250High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8
};

int Cp1250Byte(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  for (int i = 0; i < 128; ++i)
    if (kCp1250High[i] == c) return 0x80 + i;
  return -1;
}

bool IsUtf8Codepage(UINT cp) { return cp == CP_ACP || cp == CP_OEMCP || cp == CP_THREAD_ACP || cp == CP_UTF8; }

// Characters windows-1250 cannot hold become `fallback`; *used tells whether that happened.
std::string EncodeCp1250(std::wstring_view text, char fallback, bool* used) {
  std::string out;
  out.reserve(text.size());
  bool replaced = false;
  utf8::ForEachCodePoint(text, [&](char32_t c) {
    int b = Cp1250Byte(c);
    if (b < 0) replaced = true;
    out.push_back(b < 0 ? fallback : static_cast<char>(b));
  });
  if (used) *used = replaced;
  return out;
}

// Copies a conversion's result to the caller's buffer the Windows way: a size of 0 asks for the
// length needed, too small a buffer gets nothing and 0.
template <class C>
int CopyOut(const std::basic_string<C>& out, C* dst, int dstLen) {
  if (dstLen == 0) return static_cast<int>(out.size());
  if (dst == nullptr || out.size() > static_cast<size_t>(dstLen)) return 0;
  std::copy(out.begin(), out.end(), dst);
  return static_cast<int>(out.size());
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return utf8::ToWide(text); }
std::wstring Utf8ToWide(const char* text) { return text ? utf8::ToWide(text) : std::wstring(); }

std::string WideToUtf8(std::wstring_view text) { return utf8::FromWide(text); }
std::string WideToUtf8(const wchar_t* text) { return text ? WideToUtf8(std::wstring_view(text)) : std::string(); }

std::wstring Cp1250ToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (char ch : text) {
    auto b = static_cast<unsigned char>(ch);
    out.push_back(b < 0x80 ? static_cast<wchar_t>(b) : static_cast<wchar_t>(kCp1250High[b - 0x80]));
  }
  return out;
}

std::string WideToCp1250(std::wstring_view text, bool* usedDefault) {
  return EncodeCp1250(text, '?', usedDefault);
}

std::wstring Utf16ToWide(const std::uint16_t* units, size_t count) {
  std::wstring raw(count, L'\0');
  for (size_t i = 0; i < count; ++i) raw[i] = static_cast<wchar_t>(units[i]);
  std::wstring out;
  out.reserve(count);
  utf8::ForEachCodePoint(raw, [&](char32_t c) { out.push_back(static_cast<wchar_t>(c)); });
  return out;
}

std::u16string WideToUtf16(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  utf8::ForEachCodePoint(text, [&](char32_t c) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  });
  return out;
}

bool MultiByteToWide(UINT codePage, std::string_view text, std::wstring& out) {
  if (IsUtf8Codepage(codePage)) out = utf8::ToWide(text);
  else if (codePage == CP_1250) out = Cp1250ToWide(text);
  else return false;
  return true;
}

bool WideToMultiByte(UINT codePage, std::wstring_view text, std::string& out, bool* usedDefault) {
  if (usedDefault) *usedDefault = false;
  if (IsUtf8Codepage(codePage)) out = WideToUtf8(text);
  else if (codePage == CP_1250) out = WideToCp1250(text, usedDefault);
  else return false;
  return true;
}

}  // namespace platform

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen) {
  if (src == nullptr || srcLen == 0 || srcLen < -1 || dstLen < 0) return 0;
  size_t n = srcLen == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLen);
  std::wstring out;
  std::string_view text(src, n);
  if (platform::IsUtf8Codepage(codePage)) {
    bool bad = false;
    out = platform::utf8::ToWide(text, &bad);
    if (bad && (flags & MB_ERR_INVALID_CHARS)) return 0;
  } else if (!platform::MultiByteToWide(codePage, text, out)) {
    return 0;
  }
  return platform::CopyOut(out, dst, dstLen);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, BOOL* usedDefaultChar) {
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  if (src == nullptr || srcLen == 0 || srcLen < -1 || dstLen < 0) return 0;
  size_t n = srcLen == -1 ? std::wcslen(src) + 1 : static_cast<size_t>(srcLen);
  std::wstring_view text(src, n);
  std::string out;
  if (platform::IsUtf8Codepage(codePage)) {
    bool bad = false;
    out = platform::utf8::FromWide(text, &bad);
    if (bad && (flags & WC_ERR_INVALID_CHARS)) return 0;
  } else if (codePage == CP_1250) {
    char fallback = defaultChar && *defaultChar ? *defaultChar : '?';
    bool used = false;
    out = platform::EncodeCp1250(text, fallback, &used);
    if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
  } else {
    return 0;
  }
  return platform::CopyOut(out, dst, dstLen);
}

CW2A::CW2A(LPCWSTR text, UINT codePage) {
  if (text != nullptr && !platform::WideToMultiByte(codePage, text, m_text)) m_text = platform::WideToUtf8(text);
}

CA2W::CA2W(LPCSTR text, UINT codePage) {
  if (text != nullptr && !platform::MultiByteToWide(codePage, text, m_text)) m_text = platform::Utf8ToWide(text);
}
