#pragma once
// The one UTF-8 <-> wide (UTF-32 wchar_t) codec of the platform libraries. The rules:
//  - decoding: each ill-formed subsequence (the maximal subpart of a would-be character:
//    overlong forms, encoded surrogates, values above U+10FFFF, truncated sequences, stray
//    continuation bytes) becomes one U+FFFD; nothing is dropped;
//  - encoding: a UTF-16 surrogate pair held in two consecutive wchar_t (text that came through
//    UTF-16) is joined into one character; a lone surrogate or a value above U+10FFFF becomes
//    U+FFFD.
// Header-only, so the libraries below the string layer use the same rules.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Appends the UTF-8 form of a code point (which must be at most U+10FFFF).
inline void Append(std::string& out, char32_t c) {
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

// Walks wide text calling f(char32_t) once per code point, with the encoding rules above.
// *bad (when given) is set when a replacement was made.
template <class F>
void ForEachCodePoint(std::wstring_view text, F&& f, bool* bad = nullptr) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<char32_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      auto d = static_cast<char32_t>(text[i + 1]);
      if (d >= 0xDC00 && d <= 0xDFFF) {
        f(static_cast<char32_t>(0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00)));
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

// UTF-8 bytes to wide text. *bad (when given) is set when a replacement was made.
inline std::wstring ToWide(std::string_view text, bool* bad = nullptr) {
  std::wstring out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char b = s[i];
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    int need = 0;
    char32_t c = 0;
    // The allowed range of the first continuation byte shuts out overlong forms, encoded
    // surrogates and values above U+10FFFF at the earliest byte.
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
    }
    std::size_t j = i + 1;
    bool ok = need > 0;
    for (int k = 0; ok && k < need; ++k, ++j) {
      if (j >= n || s[j] < (k == 0 ? lo : 0x80) || s[j] > (k == 0 ? hi : 0xBF)) {
        ok = false;
        break;
      }
      c = (c << 6) | (s[j] & 0x3F);
    }
    if (ok) {
      out.push_back(static_cast<wchar_t>(c));
    } else {
      out.push_back(static_cast<wchar_t>(kReplacement));
      if (bad) *bad = true;
    }
    i = j;
  }
  return out;
}

// Wide text to UTF-8. *bad (when given) is set when a replacement was made.
inline std::string FromWide(std::wstring_view text, bool* bad = nullptr) {
  std::string out;
  out.reserve(text.size());
  ForEachCodePoint(text, [&out](char32_t c) { Append(out, c); }, bad);
  return out;
}

}  // namespace platform::utf8
