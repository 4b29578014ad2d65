#pragma once
// Simple case folding for comparisons that ignore case: ASCII, Latin-1 and Latin Extended-A
// (which holds the Polish letters Ą Ć Ę Ł Ń Ś Ź Ż). Locale-independent.
namespace platform::casefold {

inline wchar_t Fold(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 32);
  // Latin Extended-A pairs: upper case is the even code point in 0x100..0x137 and
  // 0x14A..0x177, the odd one in 0x139..0x148 and 0x179..0x17E.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return static_cast<wchar_t>(c | 1);
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? static_cast<wchar_t>(c + 1) : c;
  return c;
}

}  // namespace platform::casefold
