#include "platform/strings/casemap.h"

#include <cstdint>

#include "platform/base/casefold.h"

namespace platform {

wchar_t ToUpperChar(wchar_t c) { return casefold::ToUpper(c); }
wchar_t ToLowerChar(wchar_t c) { return casefold::ToLower(c); }

bool IsSpaceChar(wchar_t c) {
  auto u = static_cast<std::uint32_t>(c);
  return (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0x85 || u == 0xA0 || u == 0x1680 ||
         (u >= 0x2000 && u <= 0x200A) || u == 0x2028 || u == 0x2029 || u == 0x202F || u == 0x205F || u == 0x3000;
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<std::uint32_t>(casefold::Fold(a[i]));
    auto y = static_cast<std::uint32_t>(casefold::Fold(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

namespace {

// Base letters of U+00E0..U+00FF and U+0100..U+017F (lower-case forms); '.' is not a letter.
constexpr char kLatin1Base[] = "aaaaaaaceeeeiiiidnooooo.ouuuuyty";
constexpr char kExtABase[] =
    "aaaaaaccccccccdd"
    "ddeeeeeeeeeegggg"
    "gggghhhhiiiiiiii"
    "iiiijjkkklllllll"
    "lllnnnnnnnnnoooo"
    "oooorrrrrrssssss"
    "ssttttttuuuuuuuu"
    "uuuuwwyyyzzzzzzs";

// Letters of the Polish alphabet that sort as letters of their own after the base letter.
int PolishRank(std::uint32_t lower) {
  switch (lower) {
    case 0x105:  // ą
    case 0x107:  // ć
    case 0x119:  // ę
    case 0x142:  // ł
    case 0x144:  // ń
    case 0xF3:   // ó
    case 0x15B:  // ś
    case 0x17A:  // ź
      return 1;
    case 0x17C:  // ż
      return 2;
    default:
      return 0;
  }
}

struct Weights {
  std::uint32_t primary;
  std::uint32_t secondary;
  std::uint32_t tertiary;
};

Weights WeightsOf(wchar_t c, bool ignoreCase) {
  wchar_t lowerChar = ToLowerChar(c);
  auto lower = static_cast<std::uint32_t>(lowerChar);
  std::uint32_t tertiary = (!ignoreCase && lowerChar != c) ? 1 : 0;
  char base = 0;
  if (lower >= 'a' && lower <= 'z') base = static_cast<char>(lower);
  else if (lower == 0xDF) base = 's';
  else if (lower >= 0xE0 && lower <= 0xFF) base = kLatin1Base[lower - 0xE0];
  else if (lower >= 0x100 && lower <= 0x17F) base = kExtABase[lower - 0x100];
  if (base == '.') base = 0;
  if (base != 0) {
    std::uint32_t primary = 0x20000 + static_cast<std::uint32_t>(base - 'a') * 4 + static_cast<std::uint32_t>(PolishRank(lower));
    return {primary, lower, tertiary};
  }
  if (lower >= '0' && lower <= '9') return {0x10000 + lower, lower, tertiary};
  if (lower < 0x100) return {lower, lower, tertiary};  // punctuation and spaces sort first
  return {0x30000 + lower, lower, tertiary};
}

}  // namespace

int CollateCompare(std::wstring_view a, std::wstring_view b, bool ignoreCase) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  int secondary = 0, tertiary = 0;
  for (size_t i = 0; i < n; ++i) {
    Weights x = WeightsOf(a[i], ignoreCase), y = WeightsOf(b[i], ignoreCase);
    if (x.primary != y.primary) return x.primary < y.primary ? -1 : 1;
    if (secondary == 0 && x.secondary != y.secondary) secondary = x.secondary < y.secondary ? -1 : 1;
    if (tertiary == 0 && x.tertiary != y.tertiary) tertiary = x.tertiary < y.tertiary ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return secondary != 0 ? secondary : tertiary;
}

}  // namespace platform
