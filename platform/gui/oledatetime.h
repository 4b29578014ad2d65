#pragma once
// The class library's date and time value: an automation DATE with a status (valid, invalid,
// null). Valid dates lie between 1 January 100 and 31 December 9999; text forms are
// locale-neutral ("2024-03-05 14:07:00"), as the VARIANT conversions are.
#include "platform/com/com.h"
#include "platform/strings/strings.h"

class COleDateTime {
 public:
  enum DateTimeStatus { valid = 0, invalid = 1, null = 2, error = -1 };

  COleDateTime() = default;
  COleDateTime(DATE value) { *this = value; }  // NOLINT(google-explicit-constructor)
  COleDateTime(const VARIANT& value) { *this = value; }  // NOLINT(google-explicit-constructor)
  COleDateTime(int year, int month, int day, int hour, int minute, int second) {
    SetDateTime(year, month, day, hour, minute, second);
  }
  COleDateTime(const SYSTEMTIME& time) { *this = time; }  // NOLINT(google-explicit-constructor)

  static COleDateTime GetCurrentTime();

  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }
  // 0 when the date and time are valid, 1 otherwise (the status becomes invalid).
  int SetDateTime(int year, int month, int day, int hour, int minute, int second);
  int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }

  // A date outside the valid range gives the invalid status.
  COleDateTime& operator=(DATE value);
  // VT_DATE, or a value converted to a date; VT_NULL gives the null status, a failed
  // conversion invalid.
  COleDateTime& operator=(const VARIANT& value);
  COleDateTime& operator=(const SYSTEMTIME& time);
  operator DATE() const { return m_dt; }  // NOLINT(google-explicit-constructor)

  bool GetAsSystemTime(SYSTEMTIME& time) const;
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;

  bool operator==(const COleDateTime& o) const { return m_status == o.m_status && m_dt == o.m_dt; }
  bool operator!=(const COleDateTime& o) const { return !(*this == o); }
  bool operator<(const COleDateTime& o) const { return m_dt < o.m_dt; }

  // The neutral text (VAR_DATEVALUEONLY and VAR_TIMEVALUEONLY honoured); empty for a null
  // value, "Invalid DateTime" for an invalid one.
  CString Format(DWORD flags = 0, LCID locale = LOCALE_USER_DEFAULT) const;
  // Reads the neutral form; false (and the invalid status) when the text is not a date.
  bool ParseDateTime(const wchar_t* text, DWORD flags = 0, LCID locale = LOCALE_USER_DEFAULT);

  DATE m_dt = 0;
  DateTimeStatus m_status = valid;
};
