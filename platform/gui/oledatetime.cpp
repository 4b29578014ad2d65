#include "platform/gui/oledatetime.h"

#include <cmath>

namespace {
// 1 January 100 and 31 December 9999, 23:59:59.
constexpr DATE kMinDate = -657434.0;
constexpr DATE kMaxDate = 2958465.99999;
bool InRange(DATE d) { return std::isfinite(d) && d >= kMinDate && d <= kMaxDate; }
}  // namespace

COleDateTime COleDateTime::GetCurrentTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return COleDateTime(now);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st{};
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59) {
    m_dt = 0;
    m_status = invalid;
    return 1;
  }
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  *this = st;
  return m_status == valid ? 0 : 1;
}

COleDateTime& COleDateTime::operator=(DATE value) {
  m_dt = value;
  m_status = InRange(value) ? valid : invalid;
  return *this;
}

COleDateTime& COleDateTime::operator=(const VARIANT& value) {
  if (value.vt == VT_NULL) {
    m_dt = 0;
    m_status = null;
    return *this;
  }
  if (value.vt == VT_DATE) return *this = value.date;
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

COleDateTime& COleDateTime::operator=(const SYSTEMTIME& time) {
  DOUBLE d = 0;
  SYSTEMTIME copy = time;
  if (SystemTimeToVariantTime(&copy, &d) && InRange(d)) {
    m_dt = d;
    m_status = valid;
  } else {
    m_dt = 0;
    m_status = invalid;
  }
  return *this;
}

bool COleDateTime::GetAsSystemTime(SYSTEMTIME& time) const {
  return m_status == valid && VariantTimeToSystemTime(m_dt, &time) != 0;
}

namespace {
int Part(const COleDateTime& d, WORD SYSTEMTIME::*field) {
  SYSTEMTIME st{};
  return d.GetAsSystemTime(st) ? st.*field : -1;
}
}  // namespace

int COleDateTime::GetYear() const { return Part(*this, &SYSTEMTIME::wYear); }
int COleDateTime::GetMonth() const { return Part(*this, &SYSTEMTIME::wMonth); }
int COleDateTime::GetDay() const { return Part(*this, &SYSTEMTIME::wDay); }
int COleDateTime::GetHour() const { return Part(*this, &SYSTEMTIME::wHour); }
int COleDateTime::GetMinute() const { return Part(*this, &SYSTEMTIME::wMinute); }
int COleDateTime::GetSecond() const { return Part(*this, &SYSTEMTIME::wSecond); }

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
  DATE d = 0;
  if (!text || FAILED(VarDateFromStr(text, locale, flags, &d))) {
    m_dt = 0;
    m_status = invalid;
    return false;
  }
  *this = d;
  return m_status == valid;
}
