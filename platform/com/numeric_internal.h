#pragma once
// Internal number forms shared by the conversion and arithmetic code of platform_com.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/com/variant.h"

namespace platform::com::detail {

using u128 = unsigned __int128;

// An exact decimal: mantissa below 2^96, scale 0..28.
struct Dec {
  bool neg = false;
  u128 mant = 0;
  int scale = 0;
};

Dec FromDECIMAL(const DECIMAL& d);
DECIMAL ToDECIMAL(const Dec& d);
// A number of any size: normalises (rounding half to even, dropping scale) until it fits.
// Returns false on overflow.
bool NormalizeWide(bool neg, const std::uint64_t (&wide)[4], int scale, bool sticky, Dec* out);
std::optional<Dec> DecFromDouble(double v);
double DecToDouble(const Dec& d);
// Rounds to `decimals` places (half to even); never overflows.
Dec DecRound(const Dec& d, int decimals);
// Integer part, rounded half to even; false when it does not fit 64 bits signed.
bool DecToInt64(const Dec& d, std::int64_t* out);
bool DecToUInt64(const Dec& d, std::uint64_t* out);
std::wstring DecToText(const Dec& d);
int DecCompare(const Dec& a, const Dec& b);

// A parsed number text: the exact decimal when it fits one, and the nearest double.
struct ParsedNumber {
  std::optional<Dec> dec;
  double real = 0;
};
// Locale-neutral: spaces, optional sign, digits, optional '.', digits, optional exponent;
// also &H (hex) and &O (octal) integers. Nothing else.
std::optional<ParsedNumber> ParseNumber(const wchar_t* text);

std::wstring FormatDouble(double v, int significant);
std::wstring FormatCy(std::int64_t cy);

// Dates.
bool ParseDate(const wchar_t* text, DATE* out);
std::wstring FormatDate(DATE d, ULONG flags);
constexpr double kMinDate = -657434.0;       // 1 January 100
constexpr double kMaxDateExclusive = 2958466.0;  // 1 January 10000

}  // namespace platform::com::detail
