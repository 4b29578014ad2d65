#include "platform/ado/text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <ctime>
#include <sys/time.h>

#include "platform/base/casefold.h"
#include "platform/base/utf8.h"

namespace platform::ado {

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  ToUtf8(text, out);
  return out;
}

void ToUtf8(std::wstring_view text, std::string& out) {
  std::size_t ascii = 0;
  while (ascii < text.size() && static_cast<std::uint32_t>(text[ascii]) < 0x80) ++ascii;
  out.resize(ascii);
  for (std::size_t k = 0; k < ascii; ++k) out[k] = static_cast<char>(text[k]);
  if (ascii == text.size()) return;
  out.reserve(text.size() + 8);
  utf8::ForEachCodePoint(text.substr(ascii), [&out](char32_t c) { utf8::Append(out, c); });
}

std::wstring FromUtf8(std::string_view text) {
  std::wstring out;
  FromUtf8(text, out);
  return out;
}

void FromUtf8(std::string_view text, std::wstring& out) {
  // ASCII (the usual text) is widened in one pass; from the first other byte on, the codec.
  const std::size_t n = text.size();
  out.resize(n);
  wchar_t* w = out.data();
  std::size_t i = 0;
  for (; i < n; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) break;
    w[i] = static_cast<wchar_t>(c);
  }
  if (i == n) return;
  out.resize(i);
  out += utf8::ToWide(text.substr(i));
}

wchar_t FoldUpper(wchar_t wc) { return casefold::ToUpper(wc); }

wchar_t FoldLower(wchar_t wc) { return casefold::ToLower(wc); }

std::wstring ToUpper(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = FoldUpper(c);
  return out;
}

std::wstring ToLower(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = FoldLower(c);
  return out;
}

std::uint32_t CollationWeight(wchar_t wc) {
  wchar_t u = FoldUpper(wc);
  auto c = static_cast<std::uint32_t>(u);
  if (c >= 'A' && c <= 'Z') return 0x1000 + (c - 'A') * 4;
  switch (c) {
    case 0x104: return 0x1000 + ('A' - 'A') * 4 + 1;  // Ą
    case 0x106: return 0x1000 + ('C' - 'A') * 4 + 1;  // Ć
    case 0x118: return 0x1000 + ('E' - 'A') * 4 + 1;  // Ę
    case 0x141: return 0x1000 + ('L' - 'A') * 4 + 1;  // Ł
    case 0x143: return 0x1000 + ('N' - 'A') * 4 + 1;  // Ń
    case 0xD3: return 0x1000 + ('O' - 'A') * 4 + 1;   // Ó
    case 0x15A: return 0x1000 + ('S' - 'A') * 4 + 1;  // Ś
    case 0x179: return 0x1000 + ('Z' - 'A') * 4 + 1;  // Ź
    case 0x17B: return 0x1000 + ('Z' - 'A') * 4 + 2;  // Ż
    default: break;
  }
  if (c < 0x1000) return c;  // digits, punctuation and blanks sort before letters
  return c + 0x2000;
}

namespace {
template <class NextA, class NextB>
int CompareWith(NextA nextA, NextB nextB) {
  // nextX(out) yields the next character, false at the end. Trailing blanks are ignored:
  // a run of blanks only counts when something other than a blank follows it.
  for (;;) {
    wchar_t ca = 0, cb = 0;
    bool ha = nextA(ca), hb = nextB(cb);
    if (!ha && !hb) return 0;
    // The callers strip trailing blanks, so a blank left in the longer text has something after
    // it: "Kubek" comes before "Kubek 1".
    if (!ha) return -1;
    if (!hb) return 1;
    std::uint32_t wa = CollationWeight(ca), wb = CollationWeight(cb);
    if (wa != wb) return wa < wb ? -1 : 1;
  }
}
}  // namespace

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
  while (!a.empty() && a.back() == L' ') a.remove_suffix(1);
  while (!b.empty() && b.back() == L' ') b.remove_suffix(1);
  std::size_t ia = 0, ib = 0;
  return CompareWith(
      [&](wchar_t& c) {
        if (ia >= a.size()) return false;
        c = a[ia++];
        return true;
      },
      [&](wchar_t& c) {
        if (ib >= b.size()) return false;
        c = b[ib++];
        return true;
      });
}

bool SameNameNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const wchar_t x = a[k], y = b[k];
    if (x == y) continue;
    if (x < 128 && y < 128) {  // ASCII: only a letter's two cases are equal
      const wchar_t folded = x | 0x20;
      if (folded != (y | 0x20) || folded < L'a' || folded > L'z') return false;
      continue;
    }
    if (CollationWeight(x) != CollationWeight(y)) return false;
  }
  return true;
}

namespace {
bool NextUtf8(std::string_view s, std::size_t& i, wchar_t& out) {
  if (i >= s.size()) return false;
  auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x80) {
    out = static_cast<wchar_t>(b);
    ++i;
    return true;
  }
  int len = (b >= 0xF0) ? 4 : (b >= 0xE0) ? 3 : (b >= 0xC0) ? 2 : 1;
  std::uint32_t c = len == 4 ? (b & 0x07) : len == 3 ? (b & 0x0F) : len == 2 ? (b & 0x1F) : b;
  std::size_t k = 1;
  for (; k < static_cast<std::size_t>(len) && i + k < s.size(); ++k)
    c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += k;
  out = static_cast<wchar_t>(c);
  return true;
}
}  // namespace

namespace {
// The collation weights of the ASCII characters, by code.
const std::array<std::uint32_t, 128>& AsciiWeights() {
  static const std::array<std::uint32_t, 128> weights = [] {
    std::array<std::uint32_t, 128> w{};
    for (wchar_t c = 0; c < 128; ++c) w[static_cast<std::size_t>(c)] = CollationWeight(c);
    return w;
  }();
  return weights;
}
}  // namespace

int CompareNoCaseUtf8(std::string_view a, std::string_view b) {
  while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
  while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
  // As CompareWith, with two ASCII characters compared by their weights in place (by table),
  // without decoding, wherever they are in the texts; the others decoded.
  const std::array<std::uint32_t, 128>& ascii = AsciiWeights();
  std::size_t ia = 0, ib = 0;
  // A common ASCII start (keys of one kind often share one) is passed eight bytes at a time.
  while (ia + 8 <= a.size() && ia + 8 <= b.size()) {
    std::uint64_t u, v;
    std::memcpy(&u, a.data() + ia, 8);
    std::memcpy(&v, b.data() + ia, 8);
    if (u != v || (u & 0x8080808080808080ull) != 0) break;
    ia += 8;
  }
  ib = ia;
  for (;;) {
    const bool ha = ia < a.size(), hb = ib < b.size();
    if (!ha && !hb) return 0;
    if (!ha) return -1;
    if (!hb) return 1;
    const auto x = static_cast<unsigned char>(a[ia]), y = static_cast<unsigned char>(b[ib]);
    std::uint32_t wa, wb;
    if ((x | y) < 0x80) {
      ++ia;
      ++ib;
      if (x == y) continue;
      wa = ascii[x];
      wb = ascii[y];
    } else {
      wchar_t ca = 0, cb = 0;
      NextUtf8(a, ia, ca);
      NextUtf8(b, ib, cb);
      wa = CollationWeight(ca);
      wb = CollationWeight(cb);
    }
    if (wa != wb) return wa < wb ? -1 : 1;
  }
}

// ---- dates --------------------------------------------------------------------------------

namespace {
// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}
void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}
constexpr long long kOleEpochDays = -25569;  // 1899-12-30 counted from 1970-01-01

bool ValidParts(const DateParts& p) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1) return false;
  if (p.day > kDays[p.month - 1]) return false;
  if (p.month == 2 && p.day == 29) {
    bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
    if (!leap) return false;
  }
  return p.hour >= 0 && p.hour < 24 && p.minute >= 0 && p.minute < 60 && p.second >= 0 &&
         p.second < 60 && p.millisecond >= 0 && p.millisecond < 1000;
}
}  // namespace

std::optional<double> OleDateFromParts(const DateParts& p) {
  if (!ValidParts(p)) return std::nullopt;
  long long days = DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) - kOleEpochDays;
  double frac = (p.hour * 3600000.0 + p.minute * 60000.0 + p.second * 1000.0 + p.millisecond) / 86400000.0;
  // OLE dates before the epoch keep the time as a positive fraction after a negative day.
  return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

std::optional<DateParts> PartsFromOleDate(double date) {
  if (!std::isfinite(date) || date < -657435.0 || date >= 2958466.0) return std::nullopt;
  double dayPart = std::trunc(date);
  double frac = std::fabs(date - dayPart);
  long long ms = std::llround(frac * 86400000.0);
  long long days = static_cast<long long>(dayPart);
  if (ms >= 86400000) {
    ms -= 86400000;
    days += date >= 0 ? 1 : -1;
  }
  DateParts p;
  CivilFromDays(days + kOleEpochDays, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

namespace {
bool Digits(std::string_view s, std::size_t pos, std::size_t count, int& out) {
  if (pos + count > s.size()) return false;
  int v = 0;
  for (std::size_t i = 0; i < count; ++i) {
    char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}
}  // namespace

std::optional<DateParts> ParseDateText(std::string_view s) {
  // The stored form "YYYY-MM-DD HH:MM:SS" is read first without the general scan.
  if (s.size() == 19 && s[4] == '-' && s[7] == '-' && s[10] == ' ' && s[13] == ':' && s[16] == ':') {
    DateParts p;
    if (Digits(s, 0, 4, p.year) && Digits(s, 5, 2, p.month) && Digits(s, 8, 2, p.day) && Digits(s, 11, 2, p.hour) &&
        Digits(s, 14, 2, p.minute) && Digits(s, 17, 2, p.second)) {
      if (!ValidParts(p)) return std::nullopt;
      return p;
    }
  }
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  DateParts p;
  std::size_t i = 0;
  if (Digits(s, 0, 4, p.year) && s.size() > 4 && (s[4] == '-' || s[4] == '/')) {
    if (!Digits(s, 5, 2, p.month) || s.size() < 10 || s[7] != s[4] || !Digits(s, 8, 2, p.day)) return std::nullopt;
    i = 10;
  } else if (Digits(s, 0, 4, p.year) && Digits(s, 4, 2, p.month) && Digits(s, 6, 2, p.day) &&
             (s.size() == 8 || s[8] == ' ' || s[8] == 'T')) {
    i = 8;
  } else if (Digits(s, 0, 2, p.day) && s.size() >= 10 && s[2] == '.' && Digits(s, 3, 2, p.month) && s[5] == '.' &&
             Digits(s, 6, 4, p.year)) {
    i = 10;
  } else {
    return std::nullopt;
  }
  if (i < s.size()) {
    if (s[i] != ' ' && s[i] != 'T') return std::nullopt;
    ++i;
    if (!Digits(s, i, 2, p.hour) || i + 2 >= s.size() || s[i + 2] != ':' || !Digits(s, i + 3, 2, p.minute))
      return std::nullopt;
    i += 5;
    if (i < s.size() && s[i] == ':') {
      if (!Digits(s, i + 1, 2, p.second)) return std::nullopt;
      i += 3;
      if (i < s.size() && s[i] == '.') {
        ++i;
        int scale = 100;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
          p.millisecond += (s[i] - '0') * scale;
          scale /= 10;
          ++i;
        }
      }
    }
    if (i != s.size()) return std::nullopt;
  }
  if (!ValidParts(p)) return std::nullopt;
  return p;
}

namespace {
// Writes the stored form of a date into `buf`; returns its length (19, or 23 with milliseconds).
std::size_t WriteDateText(const DateParts& p, char (&buf)[24]) {
  // Written by hand: this runs for every date bound to a statement.
  auto put = [&](int at, int value, int digits) {
    for (int k = digits - 1; k >= 0; --k) {
      buf[at + k] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, p.year, 4);
  buf[4] = '-';
  put(5, p.month, 2);
  buf[7] = '-';
  put(8, p.day, 2);
  buf[10] = ' ';
  put(11, p.hour, 2);
  buf[13] = ':';
  put(14, p.minute, 2);
  buf[16] = ':';
  put(17, p.second, 2);
  if (p.millisecond == 0) return 19;
  buf[19] = '.';
  put(20, p.millisecond, 3);
  return 23;
}
}  // namespace

std::string FormatDateText(const DateParts& p) {
  char buf[24];
  return std::string(buf, WriteDateText(p, buf));
}

std::optional<double> OleDateFromText(std::string_view text) {
  // The stored form "YYYY-MM-DD HH:MM:SS" straight to the date: every cell of a date column
  // read from the database comes this way.
  if (text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':' && text[16] == ':') {
    DateParts p;
    if (Digits(text, 0, 4, p.year) && Digits(text, 5, 2, p.month) && Digits(text, 8, 2, p.day) &&
        Digits(text, 11, 2, p.hour) && Digits(text, 14, 2, p.minute) && Digits(text, 17, 2, p.second))
      return OleDateFromParts(p);
  }
  auto p = ParseDateText(text);
  if (!p) return std::nullopt;
  return OleDateFromParts(*p);
}

std::string DateTextFromOle(double date) {
  auto p = PartsFromOleDate(date);
  return p ? FormatDateText(*p) : std::string();
}

void DateTextFromOle(double date, std::string& out) {
  auto p = PartsFromOleDate(date);
  if (!p) {
    out.clear();
    return;
  }
  char buf[24];
  out.assign(buf, WriteDateText(*p, buf));
}

namespace {
std::atomic<NowSource> g_nowSource{nullptr};

DateParts Now(bool local) {
  timespec ts{};
  if (NowSource source = g_nowSource.load())
    ts = source();
  else
    clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  time_t secs = ts.tv_sec;
  if (local) localtime_r(&secs, &tm);
  else gmtime_r(&secs, &tm);
  DateParts p;
  p.year = tm.tm_year + 1900;
  p.month = tm.tm_mon + 1;
  p.day = tm.tm_mday;
  p.hour = tm.tm_hour;
  p.minute = tm.tm_min;
  p.second = tm.tm_sec;
  p.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return p;
}
}  // namespace

void SetNowSource(NowSource source) { g_nowSource.store(source); }
DateParts LocalNow() { return Now(true); }
DateParts UtcNow() { return Now(false); }

}  // namespace platform::ado
