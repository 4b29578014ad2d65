// SQL Server's scalar functions, its LIKE and its usual case-insensitive collation, as SQLite
// functions on every connection the layer opens.
#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "platform/ado/database.h"
#include "platform/ado/text.h"

namespace platform::ado {
namespace {

std::wstring ArgText(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? FromUtf8(std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)))) : std::wstring();
}

void ResultText(sqlite3_context* c, std::wstring_view t) {
  std::string u = ToUtf8(t);
  sqlite3_result_text(c, u.data(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  return false;
}

// A text operand of `+` against a number: SQL Server converts the text to the number's type.
bool NumericText(sqlite3_value* v, double& out, bool& integral, sqlite3_int64& iv) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  if (!p) return false;
  std::string s(p);
  std::size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  if (b == std::string::npos) {  // an empty text converts to 0
    integral = true;
    iv = 0;
    out = 0;
    return true;
  }
  s = s.substr(b, e - b + 1);
  char* end = nullptr;
  long long ll = std::strtoll(s.c_str(), &end, 10);
  if (end && *end == '\0') {
    integral = true;
    iv = ll;
    out = static_cast<double>(ll);
    return true;
  }
  double d = std::strtod(s.c_str(), &end);
  if (!end || *end != '\0' || !std::isfinite(d)) return false;
  integral = false;
  out = d;
  return true;
}

// Reads a date argument: stored date text, or an OLE date number.
bool ArgDate(sqlite3_value* v, double& out);
void ResultDate(sqlite3_context* c, double d);

// `a + b` and `a - b` with SQL Server's rules: two texts concatenate (+ only), a text against a
// number becomes a number (or fails), a date and a number of days give a date, NULL gives NULL.
void Arithmetic(sqlite3_context* c, sqlite3_value** argv, bool add) {
  if (AnyNull(2, argv)) return sqlite3_result_null(c);
  int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
  bool textA = ta == SQLITE_TEXT || ta == SQLITE_BLOB, textB = tb == SQLITE_TEXT || tb == SQLITE_BLOB;
  if (add && textA && textB) {
    std::string s(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    s += reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    return;
  }
  double x[2];
  sqlite3_int64 xi[2];
  bool integral[2], numeric[2];
  for (int k = 0; k < 2; ++k) {
    int t = sqlite3_value_type(argv[k]);
    numeric[k] = true;
    if (t == SQLITE_INTEGER) {
      integral[k] = true;
      xi[k] = sqlite3_value_int64(argv[k]);
      x[k] = static_cast<double>(xi[k]);
    } else if (t == SQLITE_FLOAT) {
      integral[k] = false;
      x[k] = sqlite3_value_double(argv[k]);
    } else {
      numeric[k] = NumericText(argv[k], x[k], integral[k], xi[k]);
    }
  }
  if (!numeric[0] || !numeric[1]) {
    // A date and a number of days: date + n, n + date, date - n.
    double date = 0;
    int dateArg = !numeric[0] ? 0 : 1;
    int other = 1 - dateArg;
    if (numeric[other] && (add || dateArg == 0) && ArgDate(argv[dateArg], date)) {
      double days = x[other];
      return ResultDate(c, add || dateArg == 1 ? date + days : date - days);
    }
    std::string msg = "Conversion failed when converting the varchar value '";
    msg += reinterpret_cast<const char*>(sqlite3_value_text(argv[!numeric[0] ? 0 : 1]));
    msg += "' to a number.";
    sqlite3_result_error(c, msg.c_str(), -1);
    return;
  }
  if (integral[0] && integral[1]) {
    sqlite3_int64 r;
    bool overflow = add ? __builtin_add_overflow(xi[0], xi[1], &r) : __builtin_sub_overflow(xi[0], xi[1], &r);
    if (!overflow) return sqlite3_result_int64(c, r);
  }
  sqlite3_result_double(c, add ? x[0] + x[1] : x[0] - x[1]);
}

void AddFn(sqlite3_context* c, int, sqlite3_value** argv) { Arithmetic(c, argv, true); }
void SubFn(sqlite3_context* c, int, sqlite3_value** argv) { Arithmetic(c, argv, false); }

void LenFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  std::wstring s = ArgText(argv[0]);
  while (!s.empty() && s.back() == L' ') s.pop_back();
  sqlite3_result_int(c, static_cast<int>(s.size()));
}

void DataLengthFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT)  // national text: two bytes a character
    sqlite3_result_int(c, static_cast<int>(ArgText(argv[0]).size() * 2));
  else
    sqlite3_result_int(c, sqlite3_value_bytes(argv[0]));
}

void CharIndexFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  std::wstring needle = ToUpper(ArgText(argv[0])), hay = ToUpper(ArgText(argv[1]));
  long long start = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
  if (start < 1) start = 1;
  if (needle.empty()) return sqlite3_result_int(c, 0);
  std::size_t pos = hay.find(needle, static_cast<std::size_t>(start - 1));
  sqlite3_result_int64(c, pos == std::wstring::npos ? 0 : static_cast<sqlite3_int64>(pos + 1));
}

void UpperFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  ResultText(c, ToUpper(ArgText(argv[0])));
}
void LowerFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  ResultText(c, ToLower(ArgText(argv[0])));
}

void LeftFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  std::wstring s = ArgText(argv[0]);
  long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_error(c, "Invalid length parameter passed to the LEFT function.", -1);
  ResultText(c, std::wstring_view(s).substr(0, static_cast<std::size_t>(n)));
}
void RightFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  std::wstring s = ArgText(argv[0]);
  long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_error(c, "Invalid length parameter passed to the RIGHT function.", -1);
  std::size_t k = std::min<std::size_t>(s.size(), static_cast<std::size_t>(n));
  ResultText(c, std::wstring_view(s).substr(s.size() - k));
}

void SpaceFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  long long n = sqlite3_value_int64(argv[0]);
  if (n < 0 || n > 8000) return sqlite3_result_null(c);
  ResultText(c, std::wstring(static_cast<std::size_t>(n), L' '));
}
void ReplicateFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  std::wstring s = ArgText(argv[0]), out;
  long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_null(c);
  if (static_cast<double>(n) * static_cast<double>(s.size()) > 1e7) return sqlite3_result_error_toobig(c);
  for (long long i = 0; i < n; ++i) out += s;
  ResultText(c, out);
}

void FloorFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  if (sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_int64(c, sqlite3_value_int64(argv[0]));
  sqlite3_result_double(c, std::floor(sqlite3_value_double(argv[0])));
}
void CeilingFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  if (sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_int64(c, sqlite3_value_int64(argv[0]));
  sqlite3_result_double(c, std::ceil(sqlite3_value_double(argv[0])));
}

void NewIdFn(sqlite3_context* c, int, sqlite3_value**) {
  static thread_local std::mt19937_64 gen{std::random_device{}()};
  unsigned char b[16];
  for (int i = 0; i < 16; i += 8) {
    auto r = gen();
    std::memcpy(b + i, &r, 8);
  }
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
  char out[40];
  std::snprintf(out, sizeof out, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  sqlite3_result_text(c, out, -1, SQLITE_TRANSIENT);
}

// ---- dates ----

// Reads a date argument: stored date text, or an OLE date number.
bool ArgDate(sqlite3_value* v, double& out) {
  int t = sqlite3_value_type(v);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
    out = sqlite3_value_double(v);
    return PartsFromOleDate(out).has_value();
  }
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  if (!p) return false;
  auto d = OleDateFromText(p);
  if (!d) return false;
  out = *d;
  return true;
}

void ResultDate(sqlite3_context* c, double d) {
  std::string t = DateTextFromOle(d);
  if (t.empty()) return sqlite3_result_error(c, "Adding a value to a 'datetime' column caused an overflow.", -1);
  sqlite3_result_text(c, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

const char* kBadDate = "Conversion failed when converting date and/or time from character string.";

enum class Part { Year, Quarter, Month, DayOfYear, Day, Week, Weekday, Hour, Minute, Second, Millisecond, Bad };

Part PartOf(sqlite3_value* v) {
  std::wstring p = ToLower(ArgText(v));
  if (p == L"year" || p == L"yy" || p == L"yyyy") return Part::Year;
  if (p == L"quarter" || p == L"qq" || p == L"q") return Part::Quarter;
  if (p == L"month" || p == L"mm" || p == L"m") return Part::Month;
  if (p == L"dayofyear" || p == L"dy" || p == L"y") return Part::DayOfYear;
  if (p == L"day" || p == L"dd" || p == L"d") return Part::Day;
  if (p == L"week" || p == L"wk" || p == L"ww") return Part::Week;
  if (p == L"weekday" || p == L"dw" || p == L"w") return Part::Weekday;
  if (p == L"hour" || p == L"hh") return Part::Hour;
  if (p == L"minute" || p == L"mi" || p == L"n") return Part::Minute;
  if (p == L"second" || p == L"ss" || p == L"s") return Part::Second;
  if (p == L"millisecond" || p == L"ms") return Part::Millisecond;
  return Part::Bad;
}

// Whole days and milliseconds of the day of an OLE date (pre-epoch dates keep a positive time).
void Split(double d, long long& days, long long& ms) {
  auto p = PartsFromOleDate(d);
  DateParts midnight = *p;
  midnight.hour = midnight.minute = midnight.second = midnight.millisecond = 0;
  days = static_cast<long long>(std::llround(*OleDateFromParts(midnight)));
  ms = ((p->hour * 60LL + p->minute) * 60 + p->second) * 1000 + p->millisecond;
}
double Join(long long days, long long ms) {
  days += ms / 86400000;
  ms %= 86400000;
  if (ms < 0) {
    ms += 86400000;
    --days;
  }
  double frac = static_cast<double>(ms) / 86400000.0;
  return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

void DateAddFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  Part part = PartOf(argv[0]);
  long long n = sqlite3_value_int64(argv[1]);
  double d = 0;
  if (!ArgDate(argv[2], d)) return sqlite3_result_error(c, kBadDate, -1);
  if (part == Part::Year || part == Part::Quarter || part == Part::Month) {
    auto p = *PartsFromOleDate(d);
    long long months = part == Part::Year ? n * 12 : part == Part::Quarter ? n * 3 : n;
    long long total = p.year * 12LL + (p.month - 1) + months;
    if (total < 100 * 12 || total > 9999 * 12 + 11) return ResultDate(c, -1e9);
    p.year = static_cast<int>(total / 12);
    p.month = static_cast<int>(total % 12) + 1;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int last = kDays[p.month - 1];
    if (p.month == 2 && ((p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0)) last = 29;
    if (p.day > last) p.day = last;
    return ResultDate(c, *OleDateFromParts(p));
  }
  long long days = 0, ms = 0;
  Split(d, days, ms);
  switch (part) {
    case Part::DayOfYear:
    case Part::Day:
    case Part::Weekday: days += n; break;
    case Part::Week: days += n * 7; break;
    case Part::Hour: ms += n * 3600000LL; break;
    case Part::Minute: ms += n * 60000LL; break;
    case Part::Second: ms += n * 1000LL; break;
    case Part::Millisecond: ms += n; break;
    default: return sqlite3_result_error(c, "Invalid parameter 1 specified for dateadd.", -1);
  }
  ResultDate(c, Join(days, ms));
}

void DateDiffFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  Part part = PartOf(argv[0]);
  double a = 0, b = 0;
  if (!ArgDate(argv[1], a) || !ArgDate(argv[2], b)) return sqlite3_result_error(c, kBadDate, -1);
  auto pa = *PartsFromOleDate(a), pb = *PartsFromOleDate(b);
  long long da, ma, db, mb;
  Split(a, da, ma);
  Split(b, db, mb);
  long long r = 0;
  switch (part) {
    case Part::Year: r = pb.year - pa.year; break;
    case Part::Quarter: r = (pb.year * 4LL + (pb.month - 1) / 3) - (pa.year * 4LL + (pa.month - 1) / 3); break;
    case Part::Month: r = (pb.year * 12LL + pb.month) - (pa.year * 12LL + pa.month); break;
    case Part::DayOfYear:
    case Part::Day:
    case Part::Weekday: r = db - da; break;
    case Part::Week: {  // week boundaries fall on Sundays; day 0 (1899-12-30) is a Saturday
      auto week = [](long long d) { return (d + 6 >= 0) ? (d + 6) / 7 : -((-(d + 6) + 6) / 7); };
      r = week(db) - week(da);
      break;
    }
    case Part::Hour: r = (db * 24 + mb / 3600000) - (da * 24 + ma / 3600000); break;
    case Part::Minute: r = (db * 1440 + mb / 60000) - (da * 1440 + ma / 60000); break;
    case Part::Second: r = (db * 86400 + mb / 1000) - (da * 86400 + ma / 1000); break;
    case Part::Millisecond: r = (db * 86400000 + mb) - (da * 86400000 + ma); break;
    default: return sqlite3_result_error(c, "Invalid parameter 1 specified for datediff.", -1);
  }
  sqlite3_result_int64(c, r);
}

int DatePart(Part part, double d, bool& ok) {
  ok = true;
  auto p = *PartsFromOleDate(d);
  long long days, ms;
  Split(d, days, ms);
  DateParts jan1 = p;
  jan1.month = 1;
  jan1.day = 1;
  jan1.hour = jan1.minute = jan1.second = jan1.millisecond = 0;
  long long dJan1 = static_cast<long long>(std::llround(*OleDateFromParts(jan1)));
  // Monday is the first day of the week, as with the Polish language setting.
  auto weekday = [](long long dd) { return static_cast<int>(((dd + 5) % 7 + 7) % 7) + 1; };
  switch (part) {
    case Part::Year: return p.year;
    case Part::Quarter: return (p.month - 1) / 3 + 1;
    case Part::Month: return p.month;
    case Part::DayOfYear: return static_cast<int>(days - dJan1 + 1);
    case Part::Day: return p.day;
    case Part::Week: return static_cast<int>((days - dJan1 + (weekday(dJan1) - 1)) / 7 + 1);
    case Part::Weekday: return weekday(days);
    case Part::Hour: return p.hour;
    case Part::Minute: return p.minute;
    case Part::Second: return p.second;
    case Part::Millisecond: return p.millisecond;
    default: ok = false; return 0;
  }
}

void DatePartFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  double d = 0;
  if (!ArgDate(argv[1], d)) return sqlite3_result_error(c, kBadDate, -1);
  bool ok = false;
  int r = DatePart(PartOf(argv[0]), d, ok);
  if (!ok) return sqlite3_result_error(c, "Invalid parameter 1 specified for datepart.", -1);
  sqlite3_result_int(c, r);
}

template <Part P>
void PartFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  double d = 0;
  if (!ArgDate(argv[0], d)) return sqlite3_result_error(c, kBadDate, -1);
  bool ok = false;
  sqlite3_result_int(c, DatePart(P, d, ok));
}

void GetDateFn(sqlite3_context* c, int, sqlite3_value**) {
  std::string t = FormatDateText(LocalNow());
  sqlite3_result_text(c, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}
void GetUtcDateFn(sqlite3_context* c, int, sqlite3_value**) {
  std::string t = FormatDateText(UtcNow());
  sqlite3_result_text(c, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

void DateTimeFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  double d = 0;
  if (!ArgDate(argv[0], d)) return sqlite3_result_error(c, kBadDate, -1);
  ResultDate(c, d);
}

// CONVERT(text type(n), value, style): a date in the style asked for (-1: as stored), anything
// else as text; then cut to n characters (-1: no limit).
void ConvertFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  long long style = sqlite3_value_int64(argv[1]);
  long long length = argc > 2 ? sqlite3_value_int64(argv[2]) : -1;
  double d = 0;
  std::string out;
  if (style >= 0 && sqlite3_value_type(argv[0]) == SQLITE_TEXT && ArgDate(argv[0], d)) {
    auto p = *PartsFromOleDate(d);
    char buf[40];
    switch (style) {
      case 102: std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", p.year, p.month, p.day); break;
      case 103: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", p.day, p.month, p.year); break;
      case 104: std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", p.day, p.month, p.year); break;
      case 108: std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second); break;
      case 112: std::snprintf(buf, sizeof buf, "%04d%02d%02d", p.year, p.month, p.day); break;
      case 23: std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day); break;
      case 120:
      case 20:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                      p.second);
        break;
      default:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour,
                      p.minute, p.second, p.millisecond);
        break;
    }
    out = buf;
  } else {
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    out.assign(t ? t : "", static_cast<std::size_t>(sqlite3_value_bytes(argv[0])));
  }
  if (length >= 0) {
    std::wstring w = FromUtf8(out);
    if (w.size() > static_cast<std::size_t>(length)) return ResultText(c, std::wstring_view(w).substr(0, static_cast<std::size_t>(length)));
  }
  sqlite3_result_text(c, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void LikeFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  // like(pattern, text[, escape]) as SQLite calls it for `text LIKE pattern`.
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  wchar_t esc = 0;
  if (argc > 2) {
    std::wstring e = ArgText(argv[2]);
    if (e.size() != 1) return sqlite3_result_error(c, "ESCAPE expression must be a single character", -1);
    esc = e[0];
  }
  sqlite3_result_int(c, LikeMatch(ArgText(argv[0]), ArgText(argv[1]), esc) ? 1 : 0);
}

// Dates stored as text in any of the forms the server reads ("2024-01-05", "2024-01-05 10:00:00.000",
// "2024-01-05T10:00") compare by the time they name; other texts compare byte by byte after them.
int DateCollation(void*, int la, const void* a, int lb, const void* b) {
  std::string_view x(static_cast<const char*>(a), static_cast<std::size_t>(la));
  std::string_view y(static_cast<const char*>(b), static_cast<std::size_t>(lb));
  auto dx = ParseDateText(x), dy = ParseDateText(y);
  if (dx && dy) {
    const int kx[] = {dx->year, dx->month, dx->day, dx->hour, dx->minute, dx->second, dx->millisecond};
    const int ky[] = {dy->year, dy->month, dy->day, dy->hour, dy->minute, dy->second, dy->millisecond};
    for (int k = 0; k < 7; ++k)
      if (kx[k] != ky[k]) return kx[k] < ky[k] ? -1 : 1;
    return 0;
  }
  if (dx.has_value() != dy.has_value()) return dx ? -1 : 1;
  int r = x.compare(y);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int NoCaseCollation(void*, int la, const void* a, int lb, const void* b) {
  return CompareNoCaseUtf8(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(la)),
                           std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lb)));
}

}  // namespace

bool LikeMatch(std::wstring_view pattern, std::wstring_view text, wchar_t escape, bool adoWildcards) {
  // Iterative matcher with backtracking to the last '%'.
  std::size_t p = 0, t = 0, starP = std::wstring_view::npos, starT = 0;
  auto classMatch = [&](std::size_t& pp, wchar_t ch, bool& ok) {
    // pattern[pp] == '['; on return pp is past ']'. `ok` false when the class is unclosed.
    std::size_t q = pp + 1;
    bool negate = false;
    if (q < pattern.size() && pattern[q] == L'^') {
      negate = true;
      ++q;
    }
    bool hit = false;
    wchar_t uc = FoldUpper(ch);
    std::size_t first = q;
    while (q < pattern.size() && (pattern[q] != L']' || q == first)) {
      wchar_t lo = FoldUpper(pattern[q]);
      if (q + 2 < pattern.size() && pattern[q + 1] == L'-' && pattern[q + 2] != L']') {
        wchar_t hi = FoldUpper(pattern[q + 2]);
        if (CollationWeight(uc) >= CollationWeight(lo) && CollationWeight(uc) <= CollationWeight(hi)) hit = true;
        q += 3;
      } else {
        if (lo == uc) hit = true;
        ++q;
      }
    }
    if (q >= pattern.size()) {
      ok = false;
      return false;
    }
    ok = true;
    pp = q + 1;
    return hit != negate;
  };
  while (t < text.size()) {
    if (p < pattern.size()) {
      wchar_t pc = pattern[p];
      if (escape && pc == escape && p + 1 < pattern.size()) {
        if (FoldUpper(pattern[p + 1]) == FoldUpper(text[t])) {
          p += 2;
          ++t;
          continue;
        }
      } else if (pc == L'%' || (adoWildcards && pc == L'*')) {
        starP = ++p;
        starT = t;
        continue;
      } else if (pc == L'_' || (adoWildcards && pc == L'?')) {
        ++p;
        ++t;
        continue;
      } else if (pc == L'[' && !adoWildcards) {
        std::size_t pp = p;
        bool ok = false;
        bool hit = classMatch(pp, text[t], ok);
        if (!ok) {  // an unclosed '[' is a plain character
          if (text[t] == L'[') {
            ++p;
            ++t;
            continue;
          }
        } else if (hit) {
          p = pp;
          ++t;
          continue;
        }
      } else if (FoldUpper(pc) == FoldUpper(text[t])) {
        ++p;
        ++t;
        continue;
      }
    }
    if (starP == std::wstring_view::npos) return false;
    p = starP;
    t = ++starT;
  }
  while (p < pattern.size() && (pattern[p] == L'%' || (adoWildcards && pattern[p] == L'*'))) ++p;
  return p == pattern.size();
}

void RegisterFunctions(sqlite3* db) {
  struct Fn {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
  };
  static const Fn kFns[] = {
      {"VX_ADD", 2, AddFn, true},
      {"VX_SUB", 2, SubFn, true},
      {"LEN", 1, LenFn, true},
      {"DATALENGTH", 1, DataLengthFn, true},
      {"CHARINDEX", 2, CharIndexFn, true},
      {"CHARINDEX", 3, CharIndexFn, true},
      {"UPPER", 1, UpperFn, true},
      {"LOWER", 1, LowerFn, true},
      {"VX_LEFT", 2, LeftFn, true},
      {"VX_RIGHT", 2, RightFn, true},
      {"SPACE", 1, SpaceFn, true},
      {"REPLICATE", 2, ReplicateFn, true},
      {"FLOOR", 1, FloorFn, true},
      {"CEILING", 1, CeilingFn, true},
      {"NEWID", 0, NewIdFn, false},
      {"DATEADD", 3, DateAddFn, true},
      {"DATEDIFF", 3, DateDiffFn, true},
      {"DATEPART", 2, DatePartFn, true},
      {"YEAR", 1, PartFn<Part::Year>, true},
      {"MONTH", 1, PartFn<Part::Month>, true},
      {"DAY", 1, PartFn<Part::Day>, true},
      {"GETDATE", 0, GetDateFn, false},
      {"GETUTCDATE", 0, GetUtcDateFn, false},
      {"VX_DATETIME", 1, DateTimeFn, true},
      {"VX_CONVERT", 3, ConvertFn, true},
      {"LIKE", 2, LikeFn, true},
      {"LIKE", 3, LikeFn, true},
  };
  for (const auto& f : kFns) {
    int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr, nullptr);
  }
  sqlite3_create_collation_v2(db, kNoCaseCollation, SQLITE_UTF8, nullptr, NoCaseCollation, nullptr);
  sqlite3_create_collation_v2(db, kDateCollation, SQLITE_UTF8, nullptr, DateCollation, nullptr);
}

}  // namespace platform::ado
