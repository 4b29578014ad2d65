// _variant_t and vtMissing.
#include <cwchar>

#include "platform/com/com.h"

_variant_t vtMissing(static_cast<int>(DISP_E_PARAMNOTFOUND), VT_ERROR);

namespace {
void Check(HRESULT hr) {
  if (FAILED(hr)) _com_issue_error(hr);
}
VARIANT* Self(_variant_t* v) { return static_cast<VARIANT*>(v); }
}  // namespace

_variant_t::_variant_t(const VARIANT& varSrc) {
  VariantInit(this);
  Check(VariantCopy(this, &varSrc));
}

_variant_t::_variant_t(const VARIANT* pSrc) {
  VariantInit(this);
  if (!pSrc) _com_issue_error(E_POINTER);
  Check(VariantCopy(this, pSrc));
}

_variant_t::_variant_t(const _variant_t& varSrc) : tagVARIANT() {
  VariantInit(this);
  Check(VariantCopy(this, &varSrc));
}

_variant_t::_variant_t(_variant_t&& varSrc) noexcept : tagVARIANT(varSrc) { VariantInit(&varSrc); }

_variant_t::_variant_t(VARIANT& varSrc, bool fCopy) {
  VariantInit(this);
  if (fCopy) {
    Check(VariantCopy(this, &varSrc));
  } else {
    *Self(this) = varSrc;
    VariantInit(&varSrc);
  }
}

_variant_t::_variant_t(short sSrc, VARTYPE vtSrc) {
  VariantInit(this);
  if (vtSrc == VT_BOOL) {
    vt = VT_BOOL;
    boolVal = sSrc ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (vtSrc == VT_I2) {
    vt = VT_I2;
    iVal = sSrc;
  } else {
    _com_issue_error(E_INVALIDARG);
  }
}

_variant_t::_variant_t(int lSrc, VARTYPE vtSrc) {
  VariantInit(this);
  switch (vtSrc) {
    case VT_I4: case VT_INT: vt = vtSrc; lVal = lSrc; break;
    case VT_ERROR: vt = VT_ERROR; scode = lSrc; break;
    case VT_BOOL: vt = VT_BOOL; boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE; break;
    default: _com_issue_error(E_INVALIDARG);
  }
}

_variant_t::_variant_t(long lSrc) noexcept {
  VariantInit(this);
  if (lSrc >= INT32_MIN && lSrc <= INT32_MAX) {
    vt = VT_I4;
    lVal = static_cast<LONG>(lSrc);
  } else {
    vt = VT_I8;  // never truncated
    llVal = lSrc;
  }
}

_variant_t::_variant_t(long long lSrc) noexcept {
  VariantInit(this);
  vt = VT_I8;
  llVal = lSrc;
}

_variant_t::_variant_t(float fltSrc) noexcept {
  VariantInit(this);
  vt = VT_R4;
  fltVal = fltSrc;
}

_variant_t::_variant_t(double dblSrc, VARTYPE vtSrc) {
  VariantInit(this);
  if (vtSrc != VT_R8 && vtSrc != VT_DATE) _com_issue_error(E_INVALIDARG);
  vt = vtSrc;
  dblVal = dblSrc;
}

_variant_t::_variant_t(const CY& cySrc) noexcept {
  VariantInit(this);
  vt = VT_CY;
  cyVal = cySrc;
}

_variant_t::_variant_t(const _bstr_t& bstrSrc) {
  VariantInit(this);
  BSTR copy = bstrSrc.copy();
  vt = VT_BSTR;
  bstrVal = copy;
}

_variant_t::_variant_t(const wchar_t* pSrc) {
  VariantInit(this);
  BSTR copy = SysAllocString(pSrc);
  if (pSrc && !copy) _com_issue_error(E_OUTOFMEMORY);
  vt = VT_BSTR;
  bstrVal = copy;
}

_variant_t::_variant_t(const char* pSrc) {
  VariantInit(this);
  _bstr_t text(pSrc);
  vt = VT_BSTR;
  bstrVal = text.Detach();
}

_variant_t::_variant_t(IDispatch* pSrc, bool fAddRef) noexcept {
  VariantInit(this);
  vt = VT_DISPATCH;
  pdispVal = pSrc;
  if (pSrc && fAddRef) pSrc->AddRef();
}

_variant_t::_variant_t(bool boolSrc) noexcept {
  VariantInit(this);
  vt = VT_BOOL;
  boolVal = boolSrc ? VARIANT_TRUE : VARIANT_FALSE;
}

_variant_t::_variant_t(IUnknown* pSrc, bool fAddRef) noexcept {
  VariantInit(this);
  vt = VT_UNKNOWN;
  punkVal = pSrc;
  if (pSrc && fAddRef) pSrc->AddRef();
}

_variant_t::_variant_t(const DECIMAL& decSrc) noexcept {
  VariantInit(this);
  decVal = decSrc;
  vt = VT_DECIMAL;
}

_variant_t::_variant_t(BYTE bSrc) noexcept {
  VariantInit(this);
  vt = VT_UI1;
  bVal = bSrc;
}

_variant_t::_variant_t(char cSrc) noexcept {
  VariantInit(this);
  vt = VT_I1;
  cVal = cSrc;
}

_variant_t::_variant_t(signed char cSrc) noexcept {
  VariantInit(this);
  vt = VT_I1;
  cVal = static_cast<CHAR>(cSrc);
}

_variant_t::_variant_t(unsigned short usSrc) noexcept {
  VariantInit(this);
  vt = VT_UI2;
  uiVal = usSrc;
}

_variant_t::_variant_t(unsigned int ulSrc) noexcept {
  VariantInit(this);
  vt = VT_UI4;
  ulVal = ulSrc;
}

_variant_t::_variant_t(unsigned long ullSrc) noexcept {
  VariantInit(this);
  if (ullSrc <= UINT32_MAX) {
    vt = VT_UI4;
    ulVal = static_cast<ULONG>(ullSrc);
  } else {
    vt = VT_UI8;
    ullVal = ullSrc;
  }
}

_variant_t::_variant_t(unsigned long long ullSrc) noexcept {
  VariantInit(this);
  vt = VT_UI8;
  ullVal = ullSrc;
}

// ---- extractors ----

template <class T>
T _variant_t::Extract(VARTYPE target) const {
  _variant_t converted;
  Check(VariantChangeType(&converted, this, 0, target));
  if constexpr (std::is_same_v<T, DECIMAL>) {
    return converted.decVal;
  } else {
    T out{};
    std::memcpy(&out, &converted.llVal, sizeof(T));
    return out;
  }
}

_variant_t::operator short() const { return vt == VT_I2 ? iVal : Extract<short>(VT_I2); }
_variant_t::operator int() const { return vt == VT_I4 ? lVal : Extract<int>(VT_I4); }
_variant_t::operator long() const {
  if (vt == VT_I4) return lVal;
  if (vt == VT_I8) return static_cast<long>(llVal);
  return Extract<LONG>(VT_I4);
}
_variant_t::operator long long() const { return vt == VT_I8 ? llVal : Extract<long long>(VT_I8); }
_variant_t::operator float() const { return vt == VT_R4 ? fltVal : Extract<float>(VT_R4); }
_variant_t::operator double() const { return vt == VT_R8 ? dblVal : Extract<double>(VT_R8); }
_variant_t::operator CY() const { return vt == VT_CY ? cyVal : Extract<CY>(VT_CY); }
_variant_t::operator bool() const {
  if (vt == VT_BOOL) return boolVal != 0;
  return Extract<VARIANT_BOOL>(VT_BOOL) != 0;
}
_variant_t::operator DECIMAL() const { return vt == VT_DECIMAL ? decVal : Extract<DECIMAL>(VT_DECIMAL); }
_variant_t::operator BYTE() const { return vt == VT_UI1 ? bVal : Extract<BYTE>(VT_UI1); }
_variant_t::operator char() const { return vt == VT_I1 ? cVal : Extract<char>(VT_I1); }
_variant_t::operator unsigned short() const { return vt == VT_UI2 ? uiVal : Extract<unsigned short>(VT_UI2); }
_variant_t::operator unsigned int() const { return vt == VT_UI4 ? ulVal : Extract<unsigned int>(VT_UI4); }
_variant_t::operator unsigned long() const {
  if (vt == VT_UI4) return ulVal;
  if (vt == VT_UI8) return static_cast<unsigned long>(ullVal);
  return Extract<ULONG>(VT_UI4);
}
_variant_t::operator unsigned long long() const {
  return vt == VT_UI8 ? ullVal : Extract<unsigned long long>(VT_UI8);
}

_variant_t::operator _bstr_t() const {
  if (vt == VT_BSTR) return _bstr_t(bstrVal, true);
  _variant_t converted;
  Check(VariantChangeType(&converted, this, 0, VT_BSTR));
  BSTR owned = converted.bstrVal;
  converted.vt = VT_EMPTY;
  return _bstr_t(owned, false);
}

_variant_t::operator IDispatch*() const {
  IDispatch* out;
  if (vt == VT_DISPATCH) {
    out = pdispVal;
  } else {
    _variant_t converted;
    Check(VariantChangeType(&converted, this, 0, VT_DISPATCH));
    out = converted.pdispVal;
    converted.vt = VT_EMPTY;  // the reference goes to the caller below
    if (out) out->Release();
    // The caller receives an AddRef'd pointer in both cases.
  }
  if (out) out->AddRef();
  return out;
}

_variant_t::operator IUnknown*() const {
  IUnknown* out;
  if (vt == VT_UNKNOWN) {
    out = punkVal;
  } else {
    _variant_t converted;
    Check(VariantChangeType(&converted, this, 0, VT_UNKNOWN));
    out = converted.punkVal;
    converted.vt = VT_EMPTY;
    if (out) out->Release();
  }
  if (out) out->AddRef();
  return out;
}

// ---- assignment ----

_variant_t& _variant_t::operator=(const VARIANT& varSrc) {
  Check(VariantCopy(this, &varSrc));
  return *this;
}

_variant_t& _variant_t::operator=(const VARIANT* pSrc) {
  if (!pSrc) _com_issue_error(E_POINTER);
  Check(VariantCopy(this, pSrc));
  return *this;
}

_variant_t& _variant_t::operator=(const _variant_t& varSrc) {
  Check(VariantCopy(this, &varSrc));
  return *this;
}

_variant_t& _variant_t::operator=(_variant_t&& varSrc) noexcept {
  if (this != &varSrc) {
    VariantClear(this);
    *Self(this) = static_cast<VARIANT&>(varSrc);
    VariantInit(&varSrc);
  }
  return *this;
}

_variant_t& _variant_t::operator=(short sSrc) {
  if (vt == VT_BOOL) {
    boolVal = sSrc ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    Clear();
    vt = VT_I2;
    iVal = sSrc;
  }
  return *this;
}

_variant_t& _variant_t::operator=(int lSrc) {
  if (vt == VT_ERROR) {
    scode = lSrc;
  } else if (vt == VT_BOOL) {
    boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (vt == VT_INT) {
    intVal = lSrc;
  } else {
    Clear();
    vt = VT_I4;
    lVal = lSrc;
  }
  return *this;
}

_variant_t& _variant_t::operator=(double dblSrc) {
  if (vt == VT_DATE) {
    date = dblSrc;
  } else {
    Clear();
    vt = VT_R8;
    dblVal = dblSrc;
  }
  return *this;
}

_variant_t& _variant_t::operator=(long lSrc) {
  if (lSrc >= INT32_MIN && lSrc <= INT32_MAX) return *this = static_cast<int>(lSrc);
  return *this = _variant_t(lSrc);
}
_variant_t& _variant_t::operator=(long long lSrc) { return *this = _variant_t(lSrc); }
_variant_t& _variant_t::operator=(float fltSrc) { return *this = _variant_t(fltSrc); }
_variant_t& _variant_t::operator=(const CY& cySrc) { return *this = _variant_t(cySrc); }
_variant_t& _variant_t::operator=(const _bstr_t& bstrSrc) { return *this = _variant_t(bstrSrc); }
_variant_t& _variant_t::operator=(const wchar_t* pSrc) { return *this = _variant_t(pSrc); }
_variant_t& _variant_t::operator=(const char* pSrc) { return *this = _variant_t(pSrc); }
_variant_t& _variant_t::operator=(IDispatch* pSrc) { return *this = _variant_t(pSrc, true); }
_variant_t& _variant_t::operator=(bool boolSrc) { return *this = _variant_t(boolSrc); }
_variant_t& _variant_t::operator=(IUnknown* pSrc) { return *this = _variant_t(pSrc, true); }
_variant_t& _variant_t::operator=(const DECIMAL& decSrc) { return *this = _variant_t(decSrc); }
_variant_t& _variant_t::operator=(BYTE bSrc) { return *this = _variant_t(bSrc); }
_variant_t& _variant_t::operator=(char cSrc) { return *this = _variant_t(cSrc); }
_variant_t& _variant_t::operator=(unsigned short usSrc) { return *this = _variant_t(usSrc); }
_variant_t& _variant_t::operator=(unsigned int ulSrc) { return *this = _variant_t(ulSrc); }
_variant_t& _variant_t::operator=(unsigned long ullSrc) { return *this = _variant_t(ullSrc); }
_variant_t& _variant_t::operator=(unsigned long long ullSrc) { return *this = _variant_t(ullSrc); }

// ---- comparison ----

bool _variant_t::operator==(const VARIANT* pSrc) const {
  if (!pSrc) return false;
  if (pSrc == this) return true;
  if (vt != pSrc->vt) return false;
  switch (vt) {
    case VT_EMPTY: case VT_NULL: return true;
    case VT_BOOL: return (boolVal != 0) == (pSrc->boolVal != 0);
    case VT_I1: case VT_UI1: return bVal == pSrc->bVal;
    case VT_I2: case VT_UI2: return iVal == pSrc->iVal;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: return lVal == pSrc->lVal;
    case VT_I8: case VT_UI8: case VT_CY: return llVal == pSrc->llVal;
    case VT_R4: return fltVal == pSrc->fltVal;
    case VT_R8: case VT_DATE: return dblVal == pSrc->dblVal;
    case VT_DECIMAL: return VarDecCmp(&decVal, &pSrc->decVal) == VARCMP_EQ;
    case VT_BSTR: {
      UINT a = SysStringByteLen(bstrVal), b = SysStringByteLen(pSrc->bstrVal);
      return a == b && (a == 0 || std::memcmp(bstrVal, pSrc->bstrVal, a) == 0);
    }
    case VT_DISPATCH: case VT_UNKNOWN: return punkVal == pSrc->punkVal;
    default: _com_issue_error(E_INVALIDARG);
  }
}

bool _variant_t::operator==(const VARIANT& varSrc) const { return *this == &varSrc; }

// ---- misc ----

void _variant_t::Clear() { Check(VariantClear(this)); }

void _variant_t::Attach(VARIANT& varSrc) {
  Clear();
  *Self(this) = varSrc;
  VariantInit(&varSrc);
}

VARIANT _variant_t::Detach() noexcept {
  VARIANT out = *Self(this);
  VariantInit(this);
  return out;
}

void _variant_t::ChangeType(VARTYPE vartype, const _variant_t* pSrc) {
  if (!pSrc) pSrc = this;
  if (pSrc != this || vartype != vt) Check(VariantChangeType(this, pSrc, 0, vartype));
}

void _variant_t::SetString(const char* pSrc) { *this = _variant_t(pSrc); }
