#pragma once
// The class library's currency value: a CY with a status (valid, invalid, null). Arithmetic that
// overflows, or any operation on an invalid value, gives an invalid result; text forms are
// locale-neutral, as the VARIANT conversions are.
#include "platform/com/com.h"
#include "platform/strings/strings.h"

class COleCurrency {
 public:
  enum CurrencyStatus { valid = 0, invalid = 1, null = 2 };

  COleCurrency() { m_cur.int64 = 0; }
  COleCurrency(CURRENCY value) : m_cur(value) {}  // NOLINT(google-explicit-constructor)
  COleCurrency(const VARIANT& value) { *this = value; }  // NOLINT(google-explicit-constructor)
  // Whole units and ten-thousandths (both may be negative; -1, -5000 is -1.5).
  COleCurrency(LONG units, LONG fractionalUnits) { SetCurrency(units, fractionalUnits); }

  CurrencyStatus GetStatus() const { return m_status; }
  void SetStatus(CurrencyStatus status) { m_status = status; }

  // A VARIANT converted to VT_CY; VT_NULL gives the null status, a failed conversion invalid.
  COleCurrency& operator=(const VARIANT& value);
  COleCurrency& operator=(CURRENCY value) {
    m_cur = value;
    m_status = valid;
    return *this;
  }
  void SetCurrency(LONG units, LONG fractionalUnits);

  operator CURRENCY() const { return m_cur; }  // NOLINT(google-explicit-constructor)

  bool operator==(const COleCurrency& o) const { return m_status == o.m_status && m_cur.int64 == o.m_cur.int64; }
  bool operator!=(const COleCurrency& o) const { return !(*this == o); }
  bool operator<(const COleCurrency& o) const { return m_cur.int64 < o.m_cur.int64; }
  bool operator>(const COleCurrency& o) const { return m_cur.int64 > o.m_cur.int64; }
  bool operator<=(const COleCurrency& o) const { return m_cur.int64 <= o.m_cur.int64; }
  bool operator>=(const COleCurrency& o) const { return m_cur.int64 >= o.m_cur.int64; }

  COleCurrency operator+(const COleCurrency& o) const;
  COleCurrency operator-(const COleCurrency& o) const;
  COleCurrency operator-() const;
  COleCurrency operator*(LONG factor) const;
  COleCurrency operator/(LONG divisor) const;
  COleCurrency& operator+=(const COleCurrency& o) { return *this = *this + o; }
  COleCurrency& operator-=(const COleCurrency& o) { return *this = *this - o; }
  COleCurrency& operator*=(LONG f) { return *this = *this * f; }
  COleCurrency& operator/=(LONG d) { return *this = *this / d; }

  // "1234.5" in the neutral form; empty for a null value, "Invalid currency" for an invalid one.
  CString Format(DWORD flags = 0, LCID locale = 0) const;
  // Reads the neutral form; false (and the invalid status) when the text is not a number.
  bool ParseCurrency(const wchar_t* text, DWORD flags = 0, LCID locale = 0);

  CURRENCY m_cur;
  CurrencyStatus m_status = valid;
};
