#pragma once
// Simple (one character to one character) case mapping over a fixed table: ASCII, Latin-1,
// Latin Extended-A (which holds the Polish letters Ą Ć Ę Ł Ń Ś Ź Ż), basic Greek and Cyrillic.
// Locale-independent: the process locale is never consulted. Header-only, so the libraries below
// the string layer compare names ignoring case by the same rules as CString.
#include <cstdint>

namespace platform::casefold {

inline wchar_t ToUpper(wchar_t c) {
  auto u = static_cast<std::uint32_t>(c);
  if (u < 0x80) return (u >= 'a' && u <= 'z') ? static_cast<wchar_t>(u - 0x20) : c;
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<wchar_t>(u - 0x20);
  if (u == 0xFF) return static_cast<wchar_t>(0x178);
  if (u == 0x131) return L'I';
  if (u == 0x17F) return L'S';
  // Latin Extended-A pairs: upper case is the even code point in 0x100..0x137 and
  // 0x14A..0x177, the odd one in 0x139..0x148 and 0x179..0x17E.
  if (u >= 0x100 && u <= 0x137) return (u & 1) ? static_cast<wchar_t>(u - 1) : c;
  if (u >= 0x139 && u <= 0x148) return (u & 1) ? c : static_cast<wchar_t>(u - 1);
  if (u >= 0x14A && u <= 0x177) return (u & 1) ? static_cast<wchar_t>(u - 1) : c;
  if (u >= 0x17A && u <= 0x17E) return (u & 1) ? c : static_cast<wchar_t>(u - 1);
  if (u == 0x3C2) return static_cast<wchar_t>(0x3A3);
  if (u >= 0x3B1 && u <= 0x3C9) return static_cast<wchar_t>(u - 0x20);
  if (u >= 0x430 && u <= 0x44F) return static_cast<wchar_t>(u - 0x20);
  if (u >= 0x450 && u <= 0x45F) return static_cast<wchar_t>(u - 0x50);
  return c;
}

inline wchar_t ToLower(wchar_t c) {
  auto u = static_cast<std::uint32_t>(c);
  if (u < 0x80) return (u >= 'A' && u <= 'Z') ? static_cast<wchar_t>(u + 0x20) : c;
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<wchar_t>(u + 0x20);
  if (u == 0x178) return static_cast<wchar_t>(0xFF);
  if (u == 0x130) return L'i';
  if (u >= 0x100 && u <= 0x137) return (u & 1) ? c : static_cast<wchar_t>(u + 1);
  if (u >= 0x139 && u <= 0x148) return (u & 1) ? static_cast<wchar_t>(u + 1) : c;
  if (u >= 0x14A && u <= 0x177) return (u & 1) ? c : static_cast<wchar_t>(u + 1);
  if (u >= 0x179 && u <= 0x17D) return (u & 1) ? static_cast<wchar_t>(u + 1) : c;
  if (u >= 0x391 && u <= 0x3A9 && u != 0x3A2) return static_cast<wchar_t>(u + 0x20);
  if (u >= 0x410 && u <= 0x42F) return static_cast<wchar_t>(u + 0x20);
  if (u >= 0x400 && u <= 0x40F) return static_cast<wchar_t>(u + 0x50);
  return c;
}

// What comparisons that ignore case compare: the lower-case form.
inline wchar_t Fold(wchar_t c) { return ToLower(c); }

}  // namespace platform::casefold
