#pragma once
// Locale-independent character classification, case mapping and collation over a fixed table
// (ASCII, Latin-1, Latin Extended-A, basic Greek and Cyrillic). The process locale is never
// consulted, so results are the same on every machine.
#include <string_view>

namespace platform {

wchar_t ToUpperChar(wchar_t c);
wchar_t ToLowerChar(wchar_t c);
bool IsSpaceChar(wchar_t c);  // what CString's Trim treats as white space

// Ordinal comparison after folding both sides to lower case: <0, 0, >0.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
// Dictionary order: letters with diacritics sort right after their base letter (a < ą < b,
// l < ł < m, z < ź < ż), case only breaks ties (lower before upper).
int CollateCompare(std::wstring_view a, std::wstring_view b, bool ignoreCase = false);

}  // namespace platform
