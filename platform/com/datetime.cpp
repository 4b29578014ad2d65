// Automation dates (days since 30 December 1899), SYSTEMTIME and FILETIME.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <cwchar>

#include "platform/threads/clock.h"
#include "platform/com/numeric_internal.h"

namespace {

// Days since 1 January 1970 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int* y, unsigned* m, unsigned* d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int>(yy + (*m <= 2));
}

// 30 December 1899 in days since 1970.
const std::int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
unsigned DaysInMonth(int y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool MakeDate(int y, unsigned m, unsigned d, unsigned h, unsigned mi, unsigned s, DATE* out) {
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m) || h > 23 || mi > 59 || s > 59) {
    return false;
  }
  double days = static_cast<double>(DaysFromCivil(y, m, d) - kEpochOffset);
  double time = (h * 3600.0 + mi * 60.0 + s) / 86400.0;
  *out = days >= 0 ? days + time : days - time;
  return true;
}

void FillFromFields(SYSTEMTIME* st, int y, unsigned m, unsigned d, unsigned h, unsigned mi, unsigned s, unsigned ms) {
  st->wYear = static_cast<WORD>(y);
  st->wMonth = static_cast<WORD>(m);
  st->wDay = static_cast<WORD>(d);
  st->wHour = static_cast<WORD>(h);
  st->wMinute = static_cast<WORD>(mi);
  st->wSecond = static_cast<WORD>(s);
  st->wMilliseconds = static_cast<WORD>(ms);
  std::int64_t days = DaysFromCivil(y, m, d);
  st->wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7);  // 1 January 1970 was a Thursday
}

// Reads 1..maxDigits digits.
bool ReadNumber(const wchar_t*& p, int maxDigits, int* out, int* digits) {
  int v = 0, n = 0;
  while (*p >= L'0' && *p <= L'9' && n < maxDigits) {
    v = v * 10 + (*p - L'0');
    ++p;
    ++n;
  }
  if (n == 0) return false;
  *out = v;
  if (digits) *digits = n;
  return true;
}

bool ParseTime(const wchar_t*& p, int* h, int* mi, int* s) {
  if (!ReadNumber(p, 2, h, nullptr) || *p != L':') return false;
  ++p;
  if (!ReadNumber(p, 2, mi, nullptr)) return false;
  *s = 0;
  if (*p == L':') {
    ++p;
    if (!ReadNumber(p, 2, s, nullptr)) return false;
    if (*p == L'.') {  // fractions of a second are ignored
      ++p;
      while (*p >= L'0' && *p <= L'9') ++p;
    }
  }
  while (*p == L' ') ++p;
  if ((p[0] == L'A' || p[0] == L'a' || p[0] == L'P' || p[0] == L'p') && (p[1] == L'M' || p[1] == L'm')) {
    if (*h < 1 || *h > 12) return false;
    bool pm = p[0] == L'P' || p[0] == L'p';
    *h = (*h % 12) + (pm ? 12 : 0);
    p += 2;
  }
  return true;
}

int FullYear(int y, int digits) {
  if (digits > 2) return y;
  return y < 30 ? 2000 + y : 1900 + y;
}

// Y-M-D, Y/M/D, D.M.Y, M/D/Y.
bool ParseDatePart(const wchar_t*& p, int* y, int* m, int* d) {
  const wchar_t* start = p;
  int a, b, c, da, dc;
  if (!ReadNumber(p, 4, &a, &da)) return false;
  wchar_t sep = *p;
  if (sep != L'-' && sep != L'/' && sep != L'.') {
    p = start;
    return false;
  }
  ++p;
  if (!ReadNumber(p, 2, &b, nullptr) || *p != sep) {
    p = start;
    return false;
  }
  ++p;
  if (!ReadNumber(p, 4, &c, &dc)) {
    p = start;
    return false;
  }
  if (da > 2) {
    *y = a;
    *m = b;
    *d = c;
  } else if (sep == L'.' || sep == L'-') {
    *d = a;
    *m = b;
    *y = FullYear(c, dc);
  } else {
    *m = a;
    *d = b;
    *y = FullYear(c, dc);
  }
  return true;
}

}  // namespace

namespace platform::com::detail {

bool ParseDate(const wchar_t* text, DATE* out) {
  if (!text) return false;
  const wchar_t* p = text;
  while (*p == L' ' || *p == L'\t') ++p;
  int y = 1899, m = 12, d = 30, h = 0, mi = 0, s = 0;
  bool haveDate = ParseDatePart(p, &y, &m, &d);
  bool haveTime = false;
  if (haveDate) {
    if (*p == L'T' || *p == L' ') {
      const wchar_t* save = p;
      ++p;
      while (*p == L' ') ++p;
      if (*p) {
        if (!ParseTime(p, &h, &mi, &s)) return false;
        haveTime = true;
      } else {
        p = save;
      }
    }
  } else {
    if (!ParseTime(p, &h, &mi, &s)) return false;
    haveTime = true;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  if (*p || (!haveDate && !haveTime)) return false;
  if (!haveDate) {
    if (h > 23 || mi > 59 || s > 59) return false;
    *out = (h * 3600.0 + mi * 60.0 + s) / 86400.0;
    return true;
  }
  return MakeDate(y, static_cast<unsigned>(m), static_cast<unsigned>(d), static_cast<unsigned>(h),
                  static_cast<unsigned>(mi), static_cast<unsigned>(s), out);
}

std::wstring FormatDate(DATE date, ULONG flags) {
  SYSTEMTIME st;
  if (!VariantTimeToSystemTime(date, &st)) return std::wstring();
  wchar_t buf[48];
  bool hasTime = st.wHour || st.wMinute || st.wSecond;
  bool hasDate = std::trunc(date) != 0;
  bool dateOnly = (flags & VAR_DATEVALUEONLY) || (!(flags & VAR_TIMEVALUEONLY) && hasDate && !hasTime);
  bool timeOnly = (flags & VAR_TIMEVALUEONLY) || (!dateOnly && !hasDate);
  if (dateOnly) {
    std::swprintf(buf, 48, L"%04u-%02u-%02u", st.wYear, st.wMonth, st.wDay);
  } else if (timeOnly) {
    std::swprintf(buf, 48, L"%02u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
  } else {
    std::swprintf(buf, 48, L"%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                  st.wSecond);
  }
  return buf;
}

}  // namespace platform::com::detail

INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME st) {
  using platform::com::detail::kMaxDateExclusive;
  using platform::com::detail::kMinDate;
  if (!st || !std::isfinite(vtime) || vtime < kMinDate || vtime >= kMaxDateExclusive) return FALSE;
  double datePart = std::trunc(vtime);
  double frac = std::fabs(vtime - datePart);
  auto secs = static_cast<std::int64_t>(std::llround(frac * 86400.0));
  std::int64_t days = static_cast<std::int64_t>(datePart) + kEpochOffset;
  if (secs >= 86400) {
    secs -= 86400;
    days += 1;
  }
  int y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  if (y > 9999) return FALSE;
  FillFromFields(st, y, m, d, static_cast<unsigned>(secs / 3600), static_cast<unsigned>((secs / 60) % 60),
                 static_cast<unsigned>(secs % 60), 0);
  return TRUE;
}

INT SystemTimeToVariantTime(LPSYSTEMTIME st, DOUBLE* pvtime) {
  if (!st || !pvtime) return FALSE;
  DATE d;
  if (!MakeDate(st->wYear, st->wMonth, st->wDay, st->wHour, st->wMinute, st->wSecond, &d)) return FALSE;
  *pvtime = d;
  return TRUE;
}

namespace {
void FromTimespec(const timespec& ts, bool local, SYSTEMTIME* st) {
  std::tm tm{};
  time_t t = ts.tv_sec;
  if (local) {
    localtime_r(&t, &tm);
  } else {
    gmtime_r(&t, &tm);
  }
  FillFromFields(st, tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday),
                 static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
                 static_cast<unsigned>(tm.tm_sec > 59 ? 59 : tm.tm_sec), static_cast<unsigned>(ts.tv_nsec / 1000000));
}
constexpr std::int64_t kFileTimeTo1970 = 116444736000000000LL;  // 100-ns units 1601..1970
}  // namespace


void GetLocalTime(LPSYSTEMTIME st) {
  if (!st) return;
  FromTimespec(platform::clock::Now(), true, st);
}

void GetSystemTime(LPSYSTEMTIME st) {
  if (!st) return;
  FromTimespec(platform::clock::Now(), false, st);
}

void GetSystemTimeAsFileTime(FILETIME* ft) {
  if (!ft) return;
  const timespec ts = platform::clock::Now();
  auto v = static_cast<std::uint64_t>(ts.tv_sec * 10000000LL + ts.tv_nsec / 100 + kFileTimeTo1970);
  ft->dwLowDateTime = static_cast<DWORD>(v);
  ft->dwHighDateTime = static_cast<DWORD>(v >> 32);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  if (!st || !ft || st->wYear < 1601 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
      st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 ||
      st->wMilliseconds > 999) {
    return FALSE;
  }
  std::int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay);
  std::int64_t secs = days * 86400 + st->wHour * 3600 + st->wMinute * 60 + st->wSecond;
  auto v = static_cast<std::uint64_t>(secs * 10000000LL + st->wMilliseconds * 10000LL + kFileTimeTo1970);
  ft->dwLowDateTime = static_cast<DWORD>(v);
  ft->dwHighDateTime = static_cast<DWORD>(v >> 32);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, LPSYSTEMTIME st) {
  if (!ft || !st) return FALSE;
  std::uint64_t v = (static_cast<std::uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime;
  if (v >= 0x8000000000000000ULL) return FALSE;
  std::int64_t rel = static_cast<std::int64_t>(v) - kFileTimeTo1970;
  std::int64_t secs = rel >= 0 ? rel / 10000000 : -((-rel + 9999999) / 10000000);
  std::int64_t rest = rel - secs * 10000000;
  std::int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
  std::int64_t sod = secs - days * 86400;
  int y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  FillFromFields(st, y, m, d, static_cast<unsigned>(sod / 3600), static_cast<unsigned>((sod / 60) % 60),
                 static_cast<unsigned>(sod % 60), static_cast<unsigned>(rest / 10000));
  return TRUE;
}

HRESULT VarDateFromR8(DOUBLE v, DATE* out) {
  if (!out) return E_INVALIDARG;
  if (!std::isfinite(v) || v < platform::com::detail::kMinDate || v >= platform::com::detail::kMaxDateExclusive) {
    return DISP_E_OVERFLOW;
  }
  *out = v;
  return S_OK;
}
