#pragma once
// The class library's date-time value: an automation DATE (days since 30 December 1899, the
// fraction the time of day) with a status (valid, invalid, null), and the span between two such
// values. "Now" is the local time of the platform clock (platform/threads/clock.h). Arithmetic and
// comparison work on the time line (also for dates before 1899, whose fraction counts forward
// within their day); an operation on an invalid value, or a result outside 1 January 100 ..
// 31 December 9999, gives an invalid value.
#include "platform/com/com.h"
#include "platform/strings/cstring.h"

class COleDateTimeSpan {
 public:
  enum DateTimeSpanStatus { valid = 0, invalid = 1, null = 2 };

  COleDateTimeSpan() = default;
  explicit COleDateTimeSpan(double days) : m_span(days) {}
  COleDateTimeSpan(LONG days, int hours, int minutes, int seconds);

  DateTimeSpanStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeSpanStatus status) { m_status = status; }
  double GetTotalDays() const { return m_span; }
  double GetTotalSeconds() const { return m_span * 86400.0; }

  COleDateTimeSpan operator-() const;
  bool operator==(const COleDateTimeSpan& o) const { return m_status == o.m_status && m_span == o.m_span; }

  double m_span = 0.0;
  DateTimeSpanStatus m_status = valid;
};

class COleDateTime {
 public:
  enum DateTimeStatus { valid = 0, invalid = 1, null = 2, error = -1 };

  // 30 December 1899, midnight.
  COleDateTime() = default;
  COleDateTime(DATE date);  // NOLINT(google-explicit-constructor)
  COleDateTime(const VARIANT& value) { *this = value; }  // NOLINT(google-explicit-constructor)
  COleDateTime(int year, int month, int day, int hour, int minute, int second) {
    SetDateTime(year, month, day, hour, minute, second);
  }
  COleDateTime(const SYSTEMTIME& time) { *this = time; }  // NOLINT(google-explicit-constructor)

  // The local time now, to the second.
  static COleDateTime GetCurrentTime();

  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }

  // 0 when the fields make a date and time (valid), 1 otherwise (invalid).
  int SetDateTime(int year, int month, int day, int hour, int minute, int second);
  int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }
  // A VARIANT converted to VT_DATE; VT_NULL gives the null status, a failed conversion invalid.
  COleDateTime& operator=(const VARIANT& value);
  COleDateTime& operator=(DATE date);
  COleDateTime& operator=(const SYSTEMTIME& time);
  // False for a value that is not valid.
  bool GetAsSystemTime(SYSTEMTIME& time) const;

  // The parts of a valid value; -1 for an invalid or null one.
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;

  operator DATE() const { return m_dt; }  // NOLINT(google-explicit-constructor)

  COleDateTime operator+(const COleDateTimeSpan& span) const;
  COleDateTime operator-(const COleDateTimeSpan& span) const;
  COleDateTime& operator+=(const COleDateTimeSpan& span) { return *this = *this + span; }
  COleDateTime& operator-=(const COleDateTimeSpan& span) { return *this = *this - span; }
  COleDateTimeSpan operator-(const COleDateTime& other) const;

  // Comparisons on the time line (the status is not compared, but equality wants it equal).
  bool operator==(const COleDateTime& o) const { return m_status == o.m_status && m_dt == o.m_dt; }
  bool operator!=(const COleDateTime& o) const { return !(*this == o); }
  bool operator<(const COleDateTime& o) const;
  bool operator>(const COleDateTime& o) const { return o < *this; }
  bool operator<=(const COleDateTime& o) const { return !(o < *this); }
  bool operator>=(const COleDateTime& o) const { return !(*this < o); }

  // The value by a format: %Y (four digits), %m, %d, %H, %M, %S (two digits) and %%; any other
  // character stands as it is. Empty for a null value, "Invalid DateTime" for an invalid one.
  CString Format(const wchar_t* format) const;
  // The neutral text ("2024-03-05 14:07:00"; VAR_DATEVALUEONLY and VAR_TIMEVALUEONLY honoured), as
  // the VARIANT conversions give it; empty for a null value, "Invalid DateTime" for an invalid one.
  CString Format(DWORD flags, LCID locale) const;
  // Reads the neutral form; false (and the invalid status) when the text is not a date.
  bool ParseDateTime(const wchar_t* text, DWORD flags = 0, LCID locale = LOCALE_USER_DEFAULT);

  DATE m_dt = 0.0;
  DateTimeStatus m_status = valid;
};
