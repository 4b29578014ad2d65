// Conversions between VARIANTs and the engine's values, and the raising of database failures.
#include <cstring>
#include <new>

#include "platform/ado/com_object.h"
#include "platform/ado/objects.h"
#include "platform/com/object.h"

namespace platform::ado {

std::wstring BstrText(BSTR b) { return b ? std::wstring(b) : std::wstring(); }

bool IsMissing(const VARIANT& v) {
  return v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

_variant_t ToVariant(const Cell& v) {
  _variant_t out;
  ToVariant(v, &out);
  return out;
}

// Into an empty VARIANT (nothing there is released).
void ToVariant(const Cell& v, VARIANT* target) {
  VARIANT& out = *target;
  switch (v.kind) {
    case VKind::Empty: break;
    case VKind::Null: out.vt = VT_NULL; break;
    case VKind::Bool:
      out.vt = VT_BOOL;
      out.boolVal = v.i ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VKind::UI1:
      out.vt = VT_UI1;
      out.bVal = static_cast<BYTE>(v.i);
      break;
    case VKind::I2:
      out.vt = VT_I2;
      out.iVal = static_cast<SHORT>(v.i);
      break;
    case VKind::I4:
      out.vt = VT_I4;
      out.lVal = static_cast<LONG>(v.i);
      break;
    case VKind::I8:
      out.vt = VT_I8;
      out.llVal = v.i;
      break;
    case VKind::R4:
      out.vt = VT_R4;
      out.fltVal = static_cast<float>(v.d);
      break;
    case VKind::R8:
      out.vt = VT_R8;
      out.dblVal = v.d;
      break;
    case VKind::Cy:
      out.vt = VT_CY;
      out.cyVal.int64 = v.i;
      break;
    case VKind::Date:
      out.vt = VT_DATE;
      out.date = v.d;
      break;
    case VKind::Text:
      out.vt = VT_BSTR;
      out.bstrVal = SysAllocStringLen(v.s.data(), static_cast<UINT>(v.s.size()));
      if (!out.bstrVal) throw std::bad_alloc();
      break;
    case VKind::Bytes: {
      std::string bytes = v.Bytes();
      SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
      if (!sa) throw std::bad_alloc();
      void* data = nullptr;
      SafeArrayAccessData(sa, &data);
      if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
      SafeArrayUnaccessData(sa);
      out.vt = VT_ARRAY | VT_UI1;
      out.parray = sa;
      break;
    }
  }
}

namespace {
// The value of a VARIANT that holds no reference.
inline Cell FromDirectVariant(const VARIANT* v) {
  switch (v->vt) {
    case VT_EMPTY: return Cell();
    case VT_ERROR: return v->scode == DISP_E_PARAMNOTFOUND ? Cell() : Cell::Int(VKind::I4, v->scode);
    case VT_NULL: return Cell::Null();
    case VT_BOOL: return Cell::Int(VKind::Bool, v->boolVal ? 1 : 0);
    case VT_UI1: return Cell::Int(VKind::UI1, v->bVal);
    case VT_I1: return Cell::Int(VKind::I2, v->cVal);
    case VT_I2: return Cell::Int(VKind::I2, v->iVal);
    case VT_UI2: return Cell::Int(VKind::I4, v->uiVal);
    case VT_I4: return Cell::Int(VKind::I4, v->lVal);
    case VT_INT: return Cell::Int(VKind::I4, v->intVal);
    case VT_UI4: return Cell::Int(VKind::I8, v->ulVal);
    case VT_UINT: return Cell::Int(VKind::I8, v->uintVal);
    case VT_I8: return Cell::Int(VKind::I8, v->llVal);
    case VT_UI8: return Cell::Int(VKind::I8, static_cast<std::int64_t>(v->ullVal));
    case VT_R4: return Cell::Real(VKind::R4, v->fltVal);
    case VT_R8: return Cell::Real(VKind::R8, v->dblVal);
    case VT_CY: return Cell::Int(VKind::Cy, v->cyVal.int64);
    case VT_DATE: return Cell::Real(VKind::Date, v->date);
    case VT_BSTR: {
      Cell text;  // made in place, the characters copied once
      text.kind = VKind::Text;
      if (v->bstrVal) text.s.assign(v->bstrVal);
      return text;
    }
    case VT_DECIMAL: {
      _variant_t d;
      if (FAILED(VariantChangeType(&d, v, 0, VT_R8))) ThrowAdo(DISP_E_TYPEMISMATCH, L"Type mismatch.");
      return Cell::Real(VKind::R8, d.dblVal);
    }
    case VT_ARRAY | VT_UI1: {
      SAFEARRAY* sa = v->parray;
      if (!sa) return Cell::Blob({});
      LONG lo = 0, hi = -1;
      SafeArrayGetLBound(sa, 1, &lo);
      SafeArrayGetUBound(sa, 1, &hi);
      void* data = nullptr;
      SafeArrayAccessData(sa, &data);
      std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(hi - lo + 1));
      SafeArrayUnaccessData(sa);
      return Cell::Blob(std::move(bytes));
    }
    default:
      ThrowAdo(DISP_E_TYPEMISMATCH, L"Type mismatch: this value cannot be stored in a field.");
  }
}
}  // namespace

Cell FromVariant(const VARIANT& in) {
  if (!(in.vt & VT_BYREF)) return FromDirectVariant(&in);
  _variant_t holder;
  if (FAILED(VariantCopyInd(&holder, &in))) ThrowAdo(DISP_E_TYPEMISMATCH, L"Type mismatch.");
  return FromDirectVariant(&holder);
}

void RaiseDbError(const DbError& error, REFIID iid, ConnectionImpl* conn) {
  if (!IsProviderSource(error.source))
    platform::com::Raise(error.hr, error.description.c_str(), error.source.c_str(), iid);
  if (conn) conn->AddError(error);
  platform::com::RaiseWithThreadInfo(ReportProviderError({error}, iid));
}

}  // namespace platform::ado
