// VARIANT life cycle and the conversion rules of VariantChangeType.
#include <cfloat>
#include <cmath>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/base/casefold.h"
#include "platform/com/numeric_internal.h"

using namespace platform::com::detail;

void VariantInit(VARIANT* v) {
  if (v) platform::com::EmptyVariant(*v);
}

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_INVALIDARG;
  if (platform::com::VariantHoldsResource(*v)) {
    if (v->vt & VT_ARRAY) {
      if (v->parray) {
        HRESULT hr = SafeArrayDestroy(v->parray);
        if (FAILED(hr)) return hr;
      }
    } else if (v->vt == VT_BSTR) {
      SysFreeString(v->bstrVal);
    } else if (v->punkVal) {  // VT_DISPATCH, VT_UNKNOWN
      v->punkVal->Release();
    }
  }
  platform::com::EmptyVariant(*v);
  return S_OK;
}

namespace {

bool IsScalarType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE:
    case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN: case VT_DECIMAL: case VT_I1:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

// A shallow copy of the value a VT_BYREF variant points at.
bool Deref(const VARIANT& src, VARIANT* out) {
  VariantInit(out);
  if (!(src.vt & VT_BYREF)) {
    *out = src;
    return true;
  }
  VARTYPE base = src.vt & ~VT_BYREF;
  if (!src.byref) return false;
  if (base & VT_ARRAY) {
    out->parray = *src.pparray;
  } else {
    switch (base) {
      case VT_VARIANT:
        if (src.pvarVal->vt & VT_BYREF) return false;
        *out = *src.pvarVal;
        return true;
      case VT_DECIMAL:
        out->decVal = *src.pdecVal;
        break;
      case VT_I1: case VT_UI1: out->bVal = *src.pbVal; break;
      case VT_I2: case VT_UI2: case VT_BOOL: out->iVal = *src.piVal; break;
      case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: case VT_R4: out->lVal = *src.plVal; break;
      case VT_I8: case VT_UI8: case VT_R8: case VT_DATE: case VT_CY: out->llVal = *src.pllVal; break;
      case VT_BSTR: out->bstrVal = *src.pbstrVal; break;
      case VT_DISPATCH: case VT_UNKNOWN: out->punkVal = *src.ppunkVal; break;
      default: return false;
    }
  }
  out->vt = base;
  return true;
}

HRESULT CopyValue(VARIANT* dest, const VARIANT& src) {
  VARIANT tmp = src;
  if (!(src.vt & VT_BYREF)) {
    if (src.vt & VT_ARRAY) {
      tmp.parray = nullptr;
      if (src.parray) {
        HRESULT hr = SafeArrayCopy(src.parray, &tmp.parray);
        if (FAILED(hr)) return hr;
      }
    } else if (src.vt == VT_BSTR) {
      if (src.bstrVal) {
        tmp.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src.bstrVal), SysStringByteLen(src.bstrVal));
        if (!tmp.bstrVal) return E_OUTOFMEMORY;
      }
    } else if (src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) {
      if (src.punkVal) src.punkVal->AddRef();
    } else if (!IsScalarType(src.vt) && src.vt != VT_RECORD) {
      return DISP_E_BADVARTYPE;
    }
  }
  *dest = tmp;
  return S_OK;
}

// ---- numbers ----

struct Num {
  enum Kind { Int, UInt, Real, Decimal } kind = Int;
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double r = 0;
  Dec d;
  bool exactReal = false;  // r holds the correctly rounded value of a decimal text
};

HRESULT ToNum(const VARIANT& v, Num* n) {
  switch (v.vt) {
    case VT_EMPTY: n->kind = Num::Int; n->i = 0; return S_OK;
    case VT_I1: n->kind = Num::Int; n->i = static_cast<signed char>(v.cVal); return S_OK;
    case VT_I2: n->kind = Num::Int; n->i = v.iVal; return S_OK;
    case VT_BOOL: n->kind = Num::Int; n->i = v.boolVal; return S_OK;
    case VT_I4: case VT_INT: n->kind = Num::Int; n->i = v.lVal; return S_OK;
    case VT_I8: n->kind = Num::Int; n->i = v.llVal; return S_OK;
    case VT_UI1: n->kind = Num::UInt; n->u = v.bVal; return S_OK;
    case VT_UI2: n->kind = Num::UInt; n->u = v.uiVal; return S_OK;
    case VT_UI4: case VT_UINT: n->kind = Num::UInt; n->u = v.ulVal; return S_OK;
    case VT_UI8: n->kind = Num::UInt; n->u = v.ullVal; return S_OK;
    case VT_R4: n->kind = Num::Real; n->r = v.fltVal; return S_OK;
    case VT_R8: case VT_DATE: n->kind = Num::Real; n->r = v.dblVal; return S_OK;
    case VT_CY:
      n->kind = Num::Decimal;
      n->d.neg = v.cyVal.int64 < 0;
      n->d.mant = v.cyVal.int64 < 0 ? static_cast<u128>(-static_cast<__int128>(v.cyVal.int64)) : static_cast<u128>(v.cyVal.int64);
      n->d.scale = 4;
      return S_OK;
    case VT_DECIMAL: n->kind = Num::Decimal; n->d = FromDECIMAL(v.decVal); return S_OK;
    case VT_BSTR: {
      auto parsed = ParseNumber(v.bstrVal ? v.bstrVal : L"");
      if (!parsed) return DISP_E_TYPEMISMATCH;
      n->r = parsed->real;
      n->exactReal = true;
      if (parsed->dec) {
        n->kind = Num::Decimal;
        n->d = *parsed->dec;
      } else {
        n->kind = Num::Real;
      }
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

double NumToDouble(const Num& n) {
  switch (n.kind) {
    case Num::Int: return static_cast<double>(n.i);
    case Num::UInt: return static_cast<double>(n.u);
    case Num::Real: return n.r;
    case Num::Decimal: return n.exactReal ? n.r : DecToDouble(n.d);
  }
  return 0;
}

// The value rounded half to even as a 128-bit integer; false when far out of range.
bool NumToInteger(const Num& n, __int128* out) {
  switch (n.kind) {
    case Num::Int: *out = n.i; return true;
    case Num::UInt: *out = n.u; return true;
    case Num::Real: {
      if (!std::isfinite(n.r)) return false;
      double rr = std::nearbyint(n.r);
      if (rr < -1.8446744073709552e19 || rr >= 1.8446744073709552e19) return false;
      *out = static_cast<__int128>(rr);
      return true;
    }
    case Num::Decimal: {
      Dec r = DecRound(n.d, 0);
      *out = r.neg ? -static_cast<__int128>(r.mant) : static_cast<__int128>(r.mant);
      return true;
    }
  }
  return false;
}

HRESULT NumToTarget(const Num& n, VARTYPE vt, VARIANT* out) {
  auto integral = [&](__int128 lo, __int128 hi) -> HRESULT {
    __int128 v;
    if (!NumToInteger(n, &v) || v < lo || v > hi) return DISP_E_OVERFLOW;
    out->llVal = 0;
    switch (vt) {
      case VT_I1: out->cVal = static_cast<CHAR>(v); break;
      case VT_UI1: out->bVal = static_cast<BYTE>(v); break;
      case VT_I2: out->iVal = static_cast<SHORT>(v); break;
      case VT_UI2: out->uiVal = static_cast<USHORT>(v); break;
      case VT_I4: case VT_INT: out->lVal = static_cast<LONG>(v); break;
      case VT_UI4: case VT_UINT: out->ulVal = static_cast<ULONG>(v); break;
      case VT_I8: out->llVal = static_cast<LONGLONG>(v); break;
      case VT_UI8: out->ullVal = static_cast<ULONGLONG>(v); break;
      default: break;
    }
    out->vt = vt;
    return S_OK;
  };
  switch (vt) {
    case VT_I1: return integral(-128, 127);
    case VT_UI1: return integral(0, 255);
    case VT_I2: return integral(-32768, 32767);
    case VT_UI2: return integral(0, 65535);
    case VT_I4: case VT_INT: return integral(INT32_MIN, INT32_MAX);
    case VT_UI4: case VT_UINT: return integral(0, UINT32_MAX);
    case VT_I8: return integral(INT64_MIN, INT64_MAX);
    case VT_UI8: return integral(0, static_cast<__int128>(UINT64_MAX));
    case VT_BOOL: {
      bool nonzero = n.kind == Num::Int ? n.i != 0
                     : n.kind == Num::UInt ? n.u != 0
                     : n.kind == Num::Real ? n.r != 0
                                           : n.d.mant != 0;
      out->boolVal = nonzero ? VARIANT_TRUE : VARIANT_FALSE;
      out->vt = VT_BOOL;
      return S_OK;
    }
    case VT_R8: case VT_R4: case VT_DATE: {
      double d = NumToDouble(n);
      if (!std::isfinite(d)) return DISP_E_OVERFLOW;
      if (vt == VT_R4) {
        if (std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
        out->fltVal = static_cast<float>(d);
      } else if (vt == VT_DATE) {
        HRESULT hr = VarDateFromR8(d, &out->date);
        if (FAILED(hr)) return hr;
      } else {
        out->dblVal = d;
      }
      out->vt = vt;
      return S_OK;
    }
    case VT_CY: {
      HRESULT hr;
      if (n.kind == Num::Real) {
        hr = VarCyFromR8(n.r, &out->cyVal);
      } else if (n.kind == Num::Decimal) {
        DECIMAL dec = ToDECIMAL(n.d);
        hr = VarCyFromDec(&dec, &out->cyVal);
      } else {
        __int128 v = n.kind == Num::Int ? n.i : n.u;
        if (v > INT64_MAX / 10000 || v < INT64_MIN / 10000) return DISP_E_OVERFLOW;
        out->cyVal.int64 = static_cast<LONGLONG>(v * 10000);
        hr = S_OK;
      }
      if (SUCCEEDED(hr)) out->vt = VT_CY;
      return hr;
    }
    case VT_DECIMAL: {
      Dec d;
      if (n.kind == Num::Decimal) {
        d = n.d;
      } else if (n.kind == Num::Real) {
        auto fromReal = DecFromDouble(n.r);
        if (!fromReal) return DISP_E_OVERFLOW;
        d = *fromReal;
      } else if (n.kind == Num::Int) {
        d.neg = n.i < 0;
        d.mant = n.i < 0 ? static_cast<u128>(-static_cast<__int128>(n.i)) : static_cast<u128>(n.i);
      } else {
        d.mant = n.u;
      }
      out->decVal = ToDECIMAL(d);
      out->vt = VT_DECIMAL;
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT MakeBstr(const std::wstring& text, VARIANT* out) {
  out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!out->bstrVal) return E_OUTOFMEMORY;
  out->vt = VT_BSTR;
  return S_OK;
}

HRESULT ToText(const VARIANT& v, USHORT flags, VARIANT* out) {
  switch (v.vt) {
    case VT_EMPTY: return MakeBstr(L"", out);
    case VT_I1: return MakeBstr(std::to_wstring(static_cast<signed char>(v.cVal)), out);
    case VT_I2: return MakeBstr(std::to_wstring(v.iVal), out);
    case VT_I4: case VT_INT: return MakeBstr(std::to_wstring(v.lVal), out);
    case VT_I8: return MakeBstr(std::to_wstring(v.llVal), out);
    case VT_UI1: return MakeBstr(std::to_wstring(v.bVal), out);
    case VT_UI2: return MakeBstr(std::to_wstring(v.uiVal), out);
    case VT_UI4: case VT_UINT: return MakeBstr(std::to_wstring(v.ulVal), out);
    case VT_UI8: return MakeBstr(std::to_wstring(v.ullVal), out);
    case VT_R4: return MakeBstr(FormatDouble(v.fltVal, 7), out);
    case VT_R8: return MakeBstr(FormatDouble(v.dblVal, 15), out);
    case VT_CY: return MakeBstr(FormatCy(v.cyVal.int64), out);
    case VT_DECIMAL: return MakeBstr(DecToText(FromDECIMAL(v.decVal)), out);
    case VT_DATE: {
      std::wstring text = FormatDate(v.date, 0);
      if (text.empty()) return DISP_E_OVERFLOW;
      return MakeBstr(text, out);
    }
    case VT_BOOL:
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) return MakeBstr(v.boolVal ? L"True" : L"False", out);
      return MakeBstr(v.boolVal ? L"-1" : L"0", out);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
  }
  return *a == *b;
}

HRESULT TextToBool(const wchar_t* text, VARIANT* out) {
  std::wstring t = text ? text : L"";
  while (!t.empty() && (t.back() == L' ' || t.back() == L'\t')) t.pop_back();
  std::size_t lead = t.find_first_not_of(L" \t");
  t = lead == std::wstring::npos ? std::wstring() : t.substr(lead);
  if (EqualsNoCase(t.c_str(), L"True") || EqualsNoCase(t.c_str(), L"#TRUE#")) {
    out->boolVal = VARIANT_TRUE;
  } else if (EqualsNoCase(t.c_str(), L"False") || EqualsNoCase(t.c_str(), L"#FALSE#")) {
    out->boolVal = VARIANT_FALSE;
  } else {
    auto parsed = ParseNumber(t.c_str());
    if (!parsed) return DISP_E_TYPEMISMATCH;
    out->boolVal = parsed->real != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  }
  out->vt = VT_BOOL;
  return S_OK;
}

HRESULT Coerce(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out, int depth);

HRESULT ArrayCoerce(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out) {
  VARTYPE elem = vt & ~VT_ARRAY;
  if (src.vt == VT_BSTR && elem == VT_UI1) {
    UINT bytes = SysStringByteLen(src.bstrVal);
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, bytes);
    if (!sa) return E_OUTOFMEMORY;
    if (bytes) std::memcpy(sa->pvData, src.bstrVal, bytes);
    out->parray = sa;
    out->vt = vt;
    return S_OK;
  }
  if (!(src.vt & VT_ARRAY) || !src.parray) return DISP_E_TYPEMISMATCH;
  VARTYPE from = src.vt & ~VT_ARRAY;
  SAFEARRAY* in = src.parray;
  UINT dims = SafeArrayGetDim(in);
  std::vector<SAFEARRAYBOUND> bounds(dims);
  for (UINT i = 0; i < dims; ++i) bounds[i] = in->rgsabound[dims - 1 - i];
  SAFEARRAY* sa = SafeArrayCreate(elem, dims, bounds.data());
  if (!sa) return E_OUTOFMEMORY;
  ULONG total = 1;
  for (auto& b : bounds) total *= b.cElements;
  for (ULONG k = 0; k < total; ++k) {
    VARIANT item, converted;
    VariantInit(&item);
    VariantInit(&converted);
    const BYTE* cell = static_cast<const BYTE*>(in->pvData) + static_cast<std::size_t>(k) * in->cbElements;
    if (from == VT_VARIANT) {
      item = *reinterpret_cast<const VARIANT*>(cell);
    } else if (from == VT_DECIMAL) {
      std::memcpy(&item.decVal, cell, sizeof(DECIMAL));
      item.vt = VT_DECIMAL;
    } else {
      std::memcpy(&item.llVal, cell, in->cbElements);
      item.vt = from;
    }
    HRESULT hr = elem == VT_VARIANT ? CopyValue(&converted, item) : Coerce(item, flags, elem, &converted, 1);
    if (FAILED(hr)) {
      SafeArrayDestroy(sa);
      return hr;
    }
    BYTE* target = static_cast<BYTE*>(sa->pvData) + static_cast<std::size_t>(k) * sa->cbElements;
    if (elem == VT_VARIANT) {
      *reinterpret_cast<VARIANT*>(target) = converted;
    } else if (elem == VT_DECIMAL) {
      std::memcpy(target, &converted.decVal, sizeof(DECIMAL));
    } else {
      std::memcpy(target, &converted.llVal, sa->cbElements);
    }
  }
  out->parray = sa;
  out->vt = vt;
  return S_OK;
}

HRESULT Coerce(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
  if (vt & VT_ARRAY) {
    VARTYPE elem = vt & ~VT_ARRAY;
    if (!IsScalarType(elem) && elem != VT_VARIANT) return DISP_E_BADVARTYPE;
    if (src.vt == vt) return CopyValue(out, src);
    return ArrayCoerce(src, flags, vt, out);
  }
  if (!IsScalarType(vt)) return DISP_E_BADVARTYPE;
  if (src.vt == vt) return CopyValue(out, src);
  if (vt == VT_EMPTY) return S_OK;
  if (src.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (vt == VT_NULL) {
    if (src.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
    out->vt = VT_NULL;
    return S_OK;
  }
  if (src.vt == VT_DISPATCH && vt != VT_UNKNOWN) {
    // The object's default value.
    if ((flags & VARIANT_NOVALUEPROP) || !src.pdispVal || depth > 0) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = src.pdispVal->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                                      nullptr, nullptr);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    hr = Coerce(value, flags, vt, out, depth + 1);
    VariantClear(&value);
    return hr;
  }
  if (vt == VT_DISPATCH) {
    if (src.vt == VT_EMPTY) {
      out->pdispVal = nullptr;
    } else if (src.vt == VT_UNKNOWN) {
      out->pdispVal = nullptr;
      if (src.punkVal &&
          FAILED(src.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&out->pdispVal)))) {
        return DISP_E_TYPEMISMATCH;
      }
    } else {
      return DISP_E_TYPEMISMATCH;
    }
    out->vt = VT_DISPATCH;
    return S_OK;
  }
  if (vt == VT_UNKNOWN) {
    if (src.vt == VT_EMPTY) {
      out->punkVal = nullptr;
    } else if (src.vt == VT_DISPATCH) {
      out->punkVal = src.pdispVal;
      if (out->punkVal) out->punkVal->AddRef();
    } else {
      return DISP_E_TYPEMISMATCH;
    }
    out->vt = VT_UNKNOWN;
    return S_OK;
  }
  if (vt == VT_ERROR || src.vt == VT_ERROR || src.vt == VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
  if (src.vt & VT_ARRAY) {
    if (vt == VT_BSTR && src.vt == (VT_ARRAY | VT_UI1) && src.parray && SafeArrayGetDim(src.parray) == 1) {
      out->bstrVal = SysAllocStringByteLen(static_cast<LPCSTR>(src.parray->pvData), src.parray->rgsabound[0].cElements);
      if (!out->bstrVal) return E_OUTOFMEMORY;
      out->vt = VT_BSTR;
      return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
  }
  if (!IsScalarType(src.vt)) return DISP_E_BADVARTYPE;
  if (vt == VT_BSTR) return ToText(src, flags, out);
  if (src.vt == VT_BSTR && vt == VT_DATE) {
    DATE d;
    if (!ParseDate(src.bstrVal ? src.bstrVal : L"", &d)) return DISP_E_TYPEMISMATCH;
    out->date = d;
    out->vt = VT_DATE;
    return S_OK;
  }
  if (src.vt == VT_BSTR && vt == VT_BOOL) return TextToBool(src.bstrVal, out);
  if (src.vt == VT_BOOL && (vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UINT || vt == VT_UI8)) {
    // True (-1) keeps its bits in unsigned types: 0xFF, 0xFFFF, ...
    out->ullVal = src.boolVal ? ~0ULL : 0;
    if (vt == VT_UI1) out->ullVal &= 0xFF;
    if (vt == VT_UI2) out->ullVal &= 0xFFFF;
    if (vt == VT_UI4 || vt == VT_UINT) out->ullVal &= 0xFFFFFFFF;
    out->vt = vt;
    return S_OK;
  }
  Num n;
  HRESULT hr = ToNum(src, &n);
  if (FAILED(hr)) return hr;
  return NumToTarget(n, vt, out);
}

}  // namespace

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  VARIANT tmp;
  VariantInit(&tmp);
  HRESULT hr = CopyValue(&tmp, *src);
  if (FAILED(hr)) return hr;
  VariantClear(dest);
  *dest = tmp;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  VARIANT value;
  if (!Deref(*src, &value)) return E_INVALIDARG;
  VARIANT tmp;
  VariantInit(&tmp);
  HRESULT hr = CopyValue(&tmp, value);
  if (FAILED(hr)) return hr;
  VariantClear(dest);
  *dest = tmp;
  return S_OK;
}

HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID, USHORT flags, VARTYPE vt) {
  if (!dest || !src) return E_INVALIDARG;
  VARIANT value;
  if (!Deref(*src, &value)) return DISP_E_BADVARTYPE;
  VARIANT tmp;
  VariantInit(&tmp);
  HRESULT hr = Coerce(value, flags, vt, &tmp, 0);
  if (FAILED(hr)) {
    VariantClear(&tmp);
    return hr;
  }
  VariantClear(dest);
  *dest = tmp;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) {
  return VariantChangeTypeEx(dest, src, LOCALE_USER_DEFAULT, flags, vt);
}

// ---- single conversions ----

namespace {
template <class T>
HRESULT FromString(LPCOLESTR text, ULONG flags, VARTYPE vt, T* out, T VARIANT::*member) {
  if (!out) return E_INVALIDARG;
  VARIANT src, dst;
  VariantInit(&src);
  VariantInit(&dst);
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocString(text ? text : L"");
  HRESULT hr = Coerce(src, static_cast<USHORT>(flags), vt, &dst, 0);
  SysFreeString(src.bstrVal);
  if (SUCCEEDED(hr)) *out = dst.*member;
  return hr;
}

HRESULT ToString(VARIANT& src, ULONG flags, BSTR* out) {
  if (!out) return E_INVALIDARG;
  VARIANT dst;
  VariantInit(&dst);
  HRESULT hr = Coerce(src, static_cast<USHORT>(flags), VT_BSTR, &dst, 0);
  if (SUCCEEDED(hr)) *out = dst.bstrVal;
  return hr;
}

template <class T>
HRESULT FromValue(VARTYPE vt, T VARIANT::*member, T value, ULONG flags, BSTR* out) {
  VARIANT src;
  VariantInit(&src);
  src.vt = vt;
  src.*member = value;
  return ToString(src, flags, out);
}
}  // namespace

HRESULT VarI2FromStr(LPCOLESTR s, LCID, ULONG f, SHORT* o) { return FromString(s, f, VT_I2, o, &VARIANT::iVal); }
HRESULT VarI4FromStr(LPCOLESTR s, LCID, ULONG f, LONG* o) { return FromString(s, f, VT_I4, o, &VARIANT::lVal); }
HRESULT VarI8FromStr(LPCOLESTR s, LCID, ULONG f, LONG64* o) {
  if (!o) return E_INVALIDARG;
  LONGLONG v = 0;
  HRESULT hr = FromString(s, f, VT_I8, &v, &VARIANT::llVal);
  if (SUCCEEDED(hr)) *o = v;
  return hr;
}
HRESULT VarR4FromStr(LPCOLESTR s, LCID, ULONG f, FLOAT* o) { return FromString(s, f, VT_R4, o, &VARIANT::fltVal); }
HRESULT VarR8FromStr(LPCOLESTR s, LCID, ULONG f, DOUBLE* o) { return FromString(s, f, VT_R8, o, &VARIANT::dblVal); }
HRESULT VarCyFromStr(LPCOLESTR s, LCID, ULONG f, CY* o) { return FromString(s, f, VT_CY, o, &VARIANT::cyVal); }
HRESULT VarDecFromStr(LPCOLESTR s, LCID, ULONG f, DECIMAL* o) {
  return FromString(s, f, VT_DECIMAL, o, &VARIANT::decVal);
}
HRESULT VarDateFromStr(LPCOLESTR s, LCID, ULONG f, DATE* o) { return FromString(s, f, VT_DATE, o, &VARIANT::date); }
HRESULT VarBoolFromStr(LPCOLESTR s, LCID, ULONG f, VARIANT_BOOL* o) {
  return FromString(s, f, VT_BOOL, o, &VARIANT::boolVal);
}

HRESULT VarBstrFromI2(SHORT v, LCID, ULONG f, BSTR* o) { return FromValue(VT_I2, &VARIANT::iVal, v, f, o); }
HRESULT VarBstrFromI4(LONG v, LCID, ULONG f, BSTR* o) { return FromValue(VT_I4, &VARIANT::lVal, v, f, o); }
HRESULT VarBstrFromI8(LONG64 v, LCID, ULONG f, BSTR* o) {
  return FromValue<LONGLONG>(VT_I8, &VARIANT::llVal, v, f, o);
}
HRESULT VarBstrFromR4(FLOAT v, LCID, ULONG f, BSTR* o) { return FromValue(VT_R4, &VARIANT::fltVal, v, f, o); }
HRESULT VarBstrFromR8(DOUBLE v, LCID, ULONG f, BSTR* o) { return FromValue(VT_R8, &VARIANT::dblVal, v, f, o); }
HRESULT VarBstrFromCy(CY v, LCID, ULONG f, BSTR* o) { return FromValue(VT_CY, &VARIANT::cyVal, v, f, o); }
HRESULT VarBstrFromDec(const DECIMAL* v, LCID, ULONG f, BSTR* o) {
  if (!v) return E_INVALIDARG;
  VARIANT src;
  VariantInit(&src);
  src.decVal = *v;
  src.vt = VT_DECIMAL;
  return ToString(src, f, o);
}
HRESULT VarBstrFromDate(DATE v, LCID, ULONG flags, BSTR* o) {
  if (!o) return E_INVALIDARG;
  std::wstring text = FormatDate(v, flags);
  if (text.empty()) return DISP_E_OVERFLOW;
  *o = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *o ? S_OK : E_OUTOFMEMORY;
}
HRESULT VarBstrFromBool(VARIANT_BOOL v, LCID, ULONG, BSTR* o) {
  return FromValue(VT_BOOL, &VARIANT::boolVal, v, VARIANT_ALPHABOOL, o);
}
HRESULT VarI4FromR8(DOUBLE v, LONG* o) {
  if (!o) return E_INVALIDARG;
  VARIANT src, dst;
  VariantInit(&src);
  VariantInit(&dst);
  src.vt = VT_R8;
  src.dblVal = v;
  HRESULT hr = Coerce(src, 0, VT_I4, &dst, 0);
  if (SUCCEEDED(hr)) *o = dst.lVal;
  return hr;
}
HRESULT VarR8FromI4(LONG v, DOUBLE* o) {
  if (!o) return E_INVALIDARG;
  *o = v;
  return S_OK;
}

// ---- comparisons ----

HRESULT VarBstrCmp(BSTR left, BSTR right, LCID, ULONG flags) {
  UINT a = SysStringLen(left), b = SysStringLen(right);
  UINT n = a < b ? a : b;
  for (UINT i = 0; i < n; ++i) {
    wchar_t x = left[i], y = right[i];
    if (flags & NORM_IGNORECASE) {
      x = platform::casefold::Fold(x);
      y = platform::casefold::Fold(y);
    }
    if (x != y) return x < y ? VARCMP_LT : VARCMP_GT;
  }
  return a == b ? VARCMP_EQ : (a < b ? VARCMP_LT : VARCMP_GT);
}

HRESULT VarBstrCat(BSTR left, BSTR right, BSTR* result) {
  if (!result) return E_INVALIDARG;
  UINT a = SysStringLen(left), b = SysStringLen(right);
  BSTR joined = SysAllocStringLen(nullptr, a + b);
  if (!joined) return E_OUTOFMEMORY;
  if (a) std::wmemcpy(joined, left, a);
  if (b) std::wmemcpy(joined + a, right, b);
  *result = joined;
  return S_OK;
}

HRESULT VarCmp(VARIANT* pl, VARIANT* pr, LCID lcid, ULONG flags) {
  if (!pl || !pr) return E_INVALIDARG;
  VARIANT l, r;
  if (!Deref(*pl, &l) || !Deref(*pr, &r)) return DISP_E_BADVARTYPE;
  if (l.vt == VT_NULL || r.vt == VT_NULL) return VARCMP_NULL;
  bool lText = l.vt == VT_BSTR, rText = r.vt == VT_BSTR;
  if (lText && rText) return VarBstrCmp(l.bstrVal, r.bstrVal, lcid, flags);
  if (lText || rText) {
    // A number sorts before any text; an empty value counts as "".
    VARIANT& other = lText ? r : l;
    if (other.vt == VT_EMPTY) {
      return VarBstrCmp(lText ? l.bstrVal : nullptr, rText ? r.bstrVal : nullptr, lcid, flags);
    }
    Num probe;
    if (FAILED(ToNum(other, &probe))) return DISP_E_TYPEMISMATCH;
    return lText ? VARCMP_GT : VARCMP_LT;
  }
  Num a, b;
  if (FAILED(ToNum(l, &a)) || FAILED(ToNum(r, &b))) return DISP_E_TYPEMISMATCH;
  if (a.kind == Num::Real || b.kind == Num::Real) {
    double x = NumToDouble(a), y = NumToDouble(b);
    return x < y ? VARCMP_LT : x > y ? VARCMP_GT : VARCMP_EQ;
  }
  auto exact = [](const Num& n) {
    if (n.kind == Num::Decimal) return n.d;
    Dec d;
    if (n.kind == Num::Int) {
      d.neg = n.i < 0;
      d.mant = n.i < 0 ? static_cast<u128>(-static_cast<__int128>(n.i)) : static_cast<u128>(n.i);
    } else {
      d.mant = n.u;
    }
    return d;
  };
  int c = DecCompare(exact(a), exact(b));
  return c < 0 ? VARCMP_LT : c > 0 ? VARCMP_GT : VARCMP_EQ;
}
