#pragma once
// Text helpers of the database layer: UTF-8 <-> wide conversion at the database edge,
// case folding that knows the Latin, Polish, Greek and Cyrillic letters, the collation key
// used by the case-insensitive collation, and the stored form of dates.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace platform::ado {

std::string ToUtf8(std::wstring_view text);
// The same into `out` (replacing its text), reusing its buffer.
void ToUtf8(std::wstring_view text, std::string& out);
std::wstring FromUtf8(std::string_view text);
void FromUtf8(std::string_view text, std::wstring& out);  // into `out`, reusing its buffer

wchar_t FoldUpper(wchar_t c);
wchar_t FoldLower(wchar_t c);
std::wstring ToUpper(std::wstring_view text);
std::wstring ToLower(std::wstring_view text);

// Sort weight of one character under the case-insensitive collation: letters compare
// without case, Polish letters sort right after their base letter (a < ą < b).
std::uint32_t CollationWeight(wchar_t c);
// Case-insensitive comparison that also ignores trailing blanks, as the server's usual
// collation does. Returns <0, 0, >0.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
// Whether two names of the same length are equal by CompareNoCase (field lookups by name).
bool SameNameNoCase(std::wstring_view a, std::wstring_view b);
int CompareNoCaseUtf8(std::string_view a, std::string_view b);

// Dates. An OLE date is days since 1899-12-30 with the time as the fraction. The database
// stores dates as text "YYYY-MM-DD HH:MM:SS" with ".fff" added when the milliseconds are
// not zero: the text sorts and compares in time order and SQLite's date functions read it.
struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, millisecond = 0;
};
std::optional<double> OleDateFromParts(const DateParts& p);
std::optional<DateParts> PartsFromOleDate(double date);
// Reads "YYYY-MM-DD[ HH:MM[:SS[.fff]]]", the same with 'T', "YYYYMMDD[ HH:MM...]", and
// "DD.MM.YYYY[ ...]".
std::optional<DateParts> ParseDateText(std::string_view text);
std::string FormatDateText(const DateParts& p);
std::optional<double> OleDateFromText(std::string_view text);
std::string DateTextFromOle(double date);
void DateTextFromOle(double date, std::string& out);  // into `out`, reusing its buffer
// "Now" of the SQL date functions (GETDATE, GETUTCDATE): the system's time, or what the source
// set here gives (the object model sets the platform clock's time of day, platform/threads/clock.h).
using NowSource = timespec (*)();
void SetNowSource(NowSource source);
DateParts LocalNow();
DateParts UtcNow();

}  // namespace platform::ado
