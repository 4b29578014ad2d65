#include "platform/strings/convert.h"

#include <cwchar>

namespace platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

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

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Walks wide text yielding code points: surrogate pairs stored in consecutive wchar_t (as text
// that came through UTF-16 may hold) are joined, lone surrogates and values beyond U+10FFFF become
// U+FFFD. `bad` is set when a replacement was made.
template <class F>
void ForEachCodePoint(std::wstring_view text, F f, bool* bad = nullptr) {
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      char32_t d = static_cast<char32_t>(text[i + 1]);
      if (d >= 0xDC00 && d <= 0xDFFF) {
        f(0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00));
        ++i;
        continue;
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      if (bad) *bad = true;
      c = kReplacement;
    }
    f(c);
  }
}

// UTF-8 decoding with the "maximal subpart" rule: each ill-formed subsequence gives one U+FFFD.
std::wstring DecodeUtf8(std::string_view text, bool* bad) {
  std::wstring out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    unsigned char b = s[i];
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    int need;
    char32_t c;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      c = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      c = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      out.push_back(kReplacement);
      if (bad) *bad = true;
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < need; ++k, ++j) {
      if (j >= n) {
        ok = false;
        break;
      }
      unsigned char t = s[j];
      unsigned char l = k == 0 ? lo : 0x80, h = k == 0 ? hi : 0xBF;
      if (t < l || t > h) {
        ok = false;
        break;
      }
      c = (c << 6) | (t & 0x3F);
    }
    if (!ok) {
      out.push_back(kReplacement);
      if (bad) *bad = true;
      i = j;
      continue;
    }
    out.push_back(static_cast<wchar_t>(c));
    i = j;
  }
  return out;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return DecodeUtf8(text, nullptr); }
std::wstring Utf8ToWide(const char* text) { return text ? DecodeUtf8(text, nullptr) : std::wstring(); }

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachCodePoint(text, [&](char32_t c) { AppendUtf8(out, c); });
  return out;
}
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
  std::string out;
  out.reserve(text.size());
  if (usedDefault) *usedDefault = false;
  ForEachCodePoint(text, [&](char32_t c) {
    int b = Cp1250Byte(c);
    if (b < 0) {
      out.push_back('?');
      if (usedDefault) *usedDefault = true;
    } else {
      out.push_back(static_cast<char>(b));
    }
  });
  return out;
}

std::wstring Utf16ToWide(const std::uint16_t* units, size_t count) {
  std::wstring raw(count, L'\0');
  for (size_t i = 0; i < count; ++i) raw[i] = static_cast<wchar_t>(units[i]);
  std::wstring out;
  out.reserve(count);
  ForEachCodePoint(raw, [&](char32_t c) { out.push_back(static_cast<wchar_t>(c)); });
  return out;
}

std::u16string WideToUtf16(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  ForEachCodePoint(text, [&](char32_t c) {
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
  if (IsUtf8Codepage(codePage)) out = DecodeUtf8(text, nullptr);
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
    out = platform::DecodeUtf8(text, &bad);
    if (bad && (flags & MB_ERR_INVALID_CHARS)) return 0;
  } else if (!platform::MultiByteToWide(codePage, text, out)) {
    return 0;
  }
  if (dstLen == 0) return static_cast<int>(out.size());
  if (dst == nullptr || out.size() > static_cast<size_t>(dstLen)) return 0;
  std::wmemcpy(dst, out.data(), out.size());
  return static_cast<int>(out.size());
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
    platform::ForEachCodePoint(text, [&](char32_t c) { platform::AppendUtf8(out, c); }, &bad);
    if (bad && (flags & WC_ERR_INVALID_CHARS)) return 0;
  } else if (codePage == CP_1250) {
    char fallback = defaultChar && *defaultChar ? *defaultChar : '?';
    bool used = false;
    platform::ForEachCodePoint(text, [&](char32_t c) {
      int b = platform::Cp1250Byte(c);
      if (b < 0) {
        out.push_back(fallback);
        used = true;
      } else {
        out.push_back(static_cast<char>(b));
      }
    });
    if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
  } else {
    return 0;
  }
  if (dstLen == 0) return static_cast<int>(out.size());
  if (dst == nullptr || out.size() > static_cast<size_t>(dstLen)) return 0;
  std::memcpy(dst, out.data(), out.size());
  return static_cast<int>(out.size());
}

CW2A::CW2A(LPCWSTR text, UINT codePage) {
  if (text != nullptr && !platform::WideToMultiByte(codePage, text, m_text)) m_text = platform::WideToUtf8(text);
}

CA2W::CA2W(LPCSTR text, UINT codePage) {
  if (text != nullptr && !platform::MultiByteToWide(codePage, text, m_text)) m_text = platform::Utf8ToWide(text);
}
