#pragma once
// What the receive stores share: reading the received rows, the lookups on the product database,
// creating business objects and raising their failures with the object's error information.
#include <functional>
#include <optional>

#include "auctions/lotrix.h"
#include "shared/hxcheck.h"
#include "shared/hxinstance.h"
#include "shared/resstrings.h"

namespace lotrix::stores {

// A field's value of a recordset's current row.
inline _variant_t Value(const _RecordsetPtr& rs, const wchar_t* name) {
  return rs->GetFields()->GetItem(_variant_t(name))->GetValue();
}
inline void Put(const _RecordsetPtr& rs, const wchar_t* name, const _variant_t& value) {
  rs->GetFields()->GetItem(_variant_t(name))->PutValue(value);
}

inline bool IsNull(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }
// A text (VT_BSTR); `nonEmpty`: of at least one character.
inline bool IsText(const _variant_t& v, bool nonEmpty = false) {
  return v.vt == VT_BSTR && (!nonEmpty || SysStringLen(v.bstrVal) > 0);
}
// The value as a 32-bit integer when it is one (an integer type within range).
inline std::optional<LONG> AsLong(const _variant_t& v) {
  switch (v.vt) {
    case VT_I4: return v.lVal;
    case VT_I2: return v.iVal;
    case VT_UI1: return v.bVal;
    case VT_I8:
      if (v.llVal >= INT32_MIN && v.llVal <= INT32_MAX) return static_cast<LONG>(v.llVal);
      return std::nullopt;
    default: return std::nullopt;
  }
}
inline LONG LongOr(const _variant_t& v, LONG fallback) { return AsLong(v).value_or(fallback); }
// The value converted to a 32-bit integer, when it converts.
inline std::optional<LONG> ToLong(const _variant_t& v) {
  if (IsNull(v)) return std::nullopt;
  _variant_t converted;
  if (FAILED(VariantChangeType(&converted, &v, 0, VT_I4))) return std::nullopt;
  return converted.lVal;
}
// The value as text; NULL (and a value that has no text form) reads as the empty text.
inline CString TextOf(const _variant_t& v) {
  if (IsNull(v)) return CString();
  if (v.vt == VT_BSTR) return CString(v.bstrVal ? v.bstrVal : L"");
  _variant_t converted;
  if (FAILED(VariantChangeType(&converted, &v, 0, VT_BSTR))) return CString();
  return CString(converted.bstrVal ? converted.bstrVal : L"");
}
// The value converted to the type; a failure is raised.
inline _variant_t Converted(const _variant_t& v, VARTYPE type) {
  _variant_t out;
  hx::Check(VariantChangeType(&out, &v, 0, type));
  return out;
}

// A resource string of Lotrix's table formatted with the arguments.
template <class... Args>
CString Formatted(UINT id, const Args&... args) {
  CString text;
  text.Format(CHxResString(id).Text().GetString(), args...);
  return text;
}

// The step a store is at, which a failure is reported with. Its text is made only when a report
// asks for it: the arguments are kept (texts as copies) and formatted then.
class CStoreStep {
 public:
  template <class... Args>
  void Set(UINT id, const Args&... args) {
    m_text = [id, args...] { return Formatted(id, Plain(args)...); };
  }
  CString Text() const { return m_text ? m_text() : CString(); }

 private:
  template <class T>
  static const T& Plain(const T& value) { return value; }
  static const wchar_t* Plain(const CString& text) { return text.GetString(); }

  std::function<CString()> m_text;
};

// The reads of one received record on the product connection, from its lookups to its save,
// made together (platform::ado::ReadGroup): they see one state of the database, and the save's
// transaction takes the write lock when it would without them.
class CRecordReads {
 public:
  CRecordReads() : m_group(CHxInstance::GetConnection()) {}

 private:
  platform::ado::ReadGroup m_group;
};

// The lookup recordset of a store's call: client-side, static and read-only on the product
// connection; opening closes what it held before.
class CLookup {
 public:
  CLookup() {
    hx::Check(m_rs.CreateInstance(__uuidof(Recordset)));
    m_rs->PutCursorLocation(adUseClient);
  }
  _RecordsetPtr& Open(const CString& sql) {
    if (m_rs->GetState() != adStateClosed) m_rs->Close();
    _ConnectionPtr connection = CHxInstance::GetConnection();
    if (!connection) _com_issue_error(E_POINTER);
    m_rs->Open(_variant_t(sql.GetString()), _variant_t(static_cast<IDispatch*>(connection.GetInterfacePtr())),
               adOpenStatic, adLockReadOnly, adCmdText);
    return m_rs;
  }
  bool Empty() const { return m_rs->GetadoEOF() && m_rs->GetBOF(); }
  _RecordsetPtr& Rows() { return m_rs; }

 private:
  _RecordsetPtr m_rs;
};

// Raises a failed call of `object`'s interface `iid` with the error information it set.
inline void Check(HRESULT hr, IUnknown* object, REFIID iid) {
  if (FAILED(hr)) _com_issue_errorex(hr, object, iid);
}

// A business object's validation messages after a refused check, each followed by a line break
// (the empty text when it has none).
CString ValidationMessages(const IFlgItemPtr& item);
// Raises a refused check of a business object: its validation messages are the error's
// description (the object's own error information when it has none).
void RaiseCheckFailure(HRESULT hr, const IFlgItemPtr& item);
// Checks, then saves the object; failures are raised.
void CheckAndSave(const IFlgItemPtr& item);
// A business object created by class id in process and run, as IFlgItem.
IFlgItemPtr CreateItem(REFCLSID clsid);
// The same made by the class object of its class (FlgClassObject).
IFlgItemPtr CreateItem(IClassFactory* factory);
// The recordset of a business object's data set `index`; failures are raised.
_RecordsetPtr DataSetOf(const IFlgItemPtr& item, LONG index);
// The interface I of an object; E_NOINTERFACE raised when it has none.
template <class I>
_com_ptr_t<_com_IIID<I, nullptr>> Face(IUnknown* object) {
  if (!object) _com_issue_error(E_POINTER);
  I* raw = nullptr;
  const HRESULT hr = object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(&raw));
  if (FAILED(hr) || !raw) _com_issue_error(FAILED(hr) ? hr : E_NOINTERFACE);
  return _com_ptr_t<_com_IIID<I, nullptr>>(raw, false);
}

}  // namespace lotrix::stores
