#include "platform/strings/oledatetime.h"

#include <cmath>

namespace {

constexpr double kMinDate = -657434.0;           // 1 January 100
constexpr double kMaxDateExclusive = 2958466.0;  // 1 January 10000

// A DATE on the time line: a date before 30 December 1899 holds its time of day as a positive
// fraction of a negative day number, so -1.25 (29 December 1899, 06:00) is -0.75 on the line.
double ToLine(DATE date) {
  if (date >= 0) return date;
  const double day = std::trunc(date);
  return day + (day - date);
}

DATE FromLine(double line) {
  if (line >= 0) return line;
  const double day = std::floor(line);
  const double fraction = line - day;
  return fraction == 0 ? day : day - fraction;
}

bool InRange(DATE date) { return std::isfinite(date) && date >= kMinDate && date < kMaxDateExclusive; }

// Whole seconds, so that arithmetic on the line never leaves a value a hair off its second.
double RoundToSecond(double line) { return std::round(line * 86400.0) / 86400.0; }

void AppendNumber(CString& out, int value, int digits) {
  wchar_t text[8];
  int n = 0;
  for (int i = 0; i < digits; ++i) {
    text[digits - 1 - i] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
    ++n;
  }
  text[n] = 0;
  out += text;
}

}  // namespace

COleDateTimeSpan::COleDateTimeSpan(LONG days, int hours, int minutes, int seconds)
    : m_span(days + (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0) {}

COleDateTimeSpan COleDateTimeSpan::operator-() const {
  COleDateTimeSpan out(-m_span);
  out.m_status = m_status;
  return out;
}

COleDateTime::COleDateTime(DATE date) { *this = date; }

COleDateTime COleDateTime::GetCurrentTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  COleDateTime now;
  DATE date = 0;
  if (!SystemTimeToVariantTime(&st, &date)) {
    now.m_status = invalid;
    return now;
  }
  now.m_dt = date;
  return now;
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st{};
  const bool fits = year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 &&
                    hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
  st.wYear = static_cast<WORD>(fits ? year : 0);
  st.wMonth = static_cast<WORD>(fits ? month : 0);
  st.wDay = static_cast<WORD>(fits ? day : 0);
  st.wHour = static_cast<WORD>(fits ? hour : 0);
  st.wMinute = static_cast<WORD>(fits ? minute : 0);
  st.wSecond = static_cast<WORD>(fits ? second : 0);
  DATE date = 0;
  if (!fits || !SystemTimeToVariantTime(&st, &date)) {
    m_dt = 0;
    m_status = invalid;
    return 1;
  }
  m_dt = date;
  m_status = valid;
  return 0;
}

COleDateTime& COleDateTime::operator=(const VARIANT& value) {
  if (value.vt == VT_NULL) {
    m_dt = 0;
    m_status = null;
    return *this;
  }
  VARIANT converted;
  VariantInit(&converted);
  if (SUCCEEDED(VariantChangeType(&converted, &value, 0, VT_DATE))) {
    *this = converted.date;
  } else {
    m_dt = 0;
    m_status = invalid;
  }
  VariantClear(&converted);
  return *this;
}

COleDateTime& COleDateTime::operator=(DATE date) {
  m_dt = date;
  m_status = InRange(date) ? valid : invalid;
  return *this;
}

namespace {
bool Parts(const COleDateTime& value, SYSTEMTIME& st) {
  return value.m_status == COleDateTime::valid && VariantTimeToSystemTime(value.m_dt, &st);
}
}  // namespace

int COleDateTime::GetYear() const {
  SYSTEMTIME st;
  return Parts(*this, st) ? st.wYear : -1;
}
int COleDateTime::GetMonth() const {
  SYSTEMTIME st;
  return Parts(*this, st) ? st.wMonth : -1;
}
int COleDateTime::GetDay() const {
  SYSTEMTIME st;
  return Parts(*this, st) ? st.wDay : -1;
}
int COleDateTime::GetHour() const {
  SYSTEMTIME st;
  return Parts(*this, st) ? st.wHour : -1;
}
int COleDateTime::GetMinute() const {
  SYSTEMTIME st;
  return Parts(*this, st) ? st.wMinute : -1;
}
int COleDateTime::GetSecond() const {
  SYSTEMTIME st;
  return Parts(*this, st) ? st.wSecond : -1;
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& span) const {
  COleDateTime out;
  if (m_status != valid || span.m_status != COleDateTimeSpan::valid) {
    out.m_status = m_status == null && span.m_status != COleDateTimeSpan::invalid ? null : invalid;
    return out;
  }
  out = FromLine(RoundToSecond(ToLine(m_dt) + span.m_span));
  return out;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& span) const { return *this + -span; }

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& other) const {
  COleDateTimeSpan out;
  if (m_status != valid || other.m_status != valid) {
    out.m_status = COleDateTimeSpan::invalid;
    return out;
  }
  out.m_span = ToLine(m_dt) - ToLine(other.m_dt);
  return out;
}

bool COleDateTime::operator<(const COleDateTime& o) const { return ToLine(m_dt) < ToLine(o.m_dt); }

CString COleDateTime::Format(const wchar_t* format) const {
  if (m_status == null) return CString();
  SYSTEMTIME st;
  if (!Parts(*this, st)) return CString(L"Invalid DateTime");
  CString out;
  for (const wchar_t* p = format ? format : L""; *p; ++p) {
    if (*p != L'%' || !p[1]) {
      out += *p;
      continue;
    }
    switch (*++p) {
      case L'Y': AppendNumber(out, st.wYear, 4); break;
      case L'm': AppendNumber(out, st.wMonth, 2); break;
      case L'd': AppendNumber(out, st.wDay, 2); break;
      case L'H': AppendNumber(out, st.wHour, 2); break;
      case L'M': AppendNumber(out, st.wMinute, 2); break;
      case L'S': AppendNumber(out, st.wSecond, 2); break;
      case L'%': out += L'%'; break;
      default:
        out += L'%';
        out += *p;
    }
  }
  return out;
}

COleDateTime& COleDateTime::operator=(const SYSTEMTIME& time) {
  DATE date = 0;
  SYSTEMTIME copy = time;
  if (SystemTimeToVariantTime(&copy, &date) && InRange(date)) {
    m_dt = date;
    m_status = valid;
  } else {
    m_dt = 0;
    m_status = invalid;
  }
  return *this;
}

bool COleDateTime::GetAsSystemTime(SYSTEMTIME& time) const { return Parts(*this, time); }

CString COleDateTime::Format(DWORD flags, LCID locale) const {
  if (m_status == null) return CString();
  if (m_status != valid) return CString(L"Invalid DateTime");
  BSTR text = nullptr;
  if (FAILED(VarBstrFromDate(m_dt, locale, flags, &text))) return CString(L"Invalid DateTime");
  CString out(text ? text : L"");
  SysFreeString(text);
  return out;
}

bool COleDateTime::ParseDateTime(const wchar_t* text, DWORD flags, LCID locale) {
  DATE date = 0;
  if (!text || FAILED(VarDateFromStr(text, locale, flags, &date))) {
    m_dt = 0;
    m_status = invalid;
    return false;
  }
  *this = date;
  return m_status == valid;
}
