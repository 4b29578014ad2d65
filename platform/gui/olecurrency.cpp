#include "platform/gui/olecurrency.h"

namespace {

COleCurrency Result(HRESULT hr, CY value, COleCurrency::CurrencyStatus a, COleCurrency::CurrencyStatus b) {
  COleCurrency out;
  if (a != COleCurrency::valid || b != COleCurrency::valid) {
    out.m_status = (a == COleCurrency::null || b == COleCurrency::null) && a != COleCurrency::invalid &&
                           b != COleCurrency::invalid
                       ? COleCurrency::null
                       : COleCurrency::invalid;
    return out;
  }
  if (FAILED(hr)) {
    out.m_status = COleCurrency::invalid;
    return out;
  }
  out.m_cur = value;
  return out;
}

}  // namespace

COleCurrency& COleCurrency::operator=(const VARIANT& value) {
  if (value.vt == VT_NULL) {
    m_cur.int64 = 0;
    m_status = null;
    return *this;
  }
  VARIANT converted;
  VariantInit(&converted);
  if (SUCCEEDED(VariantChangeType(&converted, &value, 0, VT_CY))) {
    m_cur = converted.cyVal;
    m_status = valid;
  } else {
    m_cur.int64 = 0;
    m_status = invalid;
  }
  VariantClear(&converted);
  return *this;
}

void COleCurrency::SetCurrency(LONG units, LONG fractionalUnits) {
  const __int128 v = static_cast<__int128>(units) * 10000 + fractionalUnits;
  if (v > INT64_MAX || v < INT64_MIN) {
    m_status = invalid;
    return;
  }
  m_cur.int64 = static_cast<LONGLONG>(v);
  m_status = valid;
}

COleCurrency COleCurrency::operator+(const COleCurrency& o) const {
  CY r{};
  return Result(VarCyAdd(m_cur, o.m_cur, &r), r, m_status, o.m_status);
}
COleCurrency COleCurrency::operator-(const COleCurrency& o) const {
  CY r{};
  return Result(VarCySub(m_cur, o.m_cur, &r), r, m_status, o.m_status);
}
COleCurrency COleCurrency::operator-() const {
  CY r{};
  return Result(VarCyNeg(m_cur, &r), r, m_status, valid);
}
COleCurrency COleCurrency::operator*(LONG factor) const {
  CY r{};
  return Result(VarCyMulI4(m_cur, factor, &r), r, m_status, valid);
}
COleCurrency COleCurrency::operator/(LONG divisor) const {
  CY r{};
  HRESULT hr = divisor == 0 ? DISP_E_DIVBYZERO : S_OK;
  if (SUCCEEDED(hr)) r.int64 = m_cur.int64 / divisor;
  return Result(hr, r, m_status, valid);
}

CString COleCurrency::Format(DWORD flags, LCID locale) const {
  if (m_status == null) return CString();
  if (m_status == invalid) return CString(L"Invalid currency");
  BSTR text = nullptr;
  if (FAILED(VarBstrFromCy(m_cur, locale, flags, &text))) return CString();
  CString out(text ? text : L"");
  SysFreeString(text);
  return out;
}

bool COleCurrency::ParseCurrency(const wchar_t* text, DWORD flags, LCID locale) {
  CY value{};
  if (!text || FAILED(VarCyFromStr(text, locale, flags, &value))) {
    m_cur.int64 = 0;
    m_status = invalid;
    return false;
  }
  m_cur = value;
  m_status = valid;
  return true;
}
