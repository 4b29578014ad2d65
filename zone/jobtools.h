#pragma once
// What the status manager's jobs share inside Vorlen: raising failed host calls with the
// interface's id, loading the host's business objects, reading variants.
#include <string>

#include "shared/objtools.h"
#include "platform/strings/oledatetime.h"

namespace vorlen::jobs {

// The smart pointer of interface I (as _COM_SMARTPTR_TYPEDEF declares it).
template <class I>
using Ptr = _com_ptr_t<_com_IIID<I, nullptr>>;

// Raises a failed call of `object`'s interface `iid` with the error information it set.
inline void Check(HRESULT hr, IUnknown* object, REFIID iid) {
  if (FAILED(hr)) _com_issue_errorex(hr, object, iid);
}

// The text of a BSTR out-argument (which it takes over); empty for null.
inline CString Take(BSTR text) {
  CString out(text ? text : L"");
  SysFreeString(text);
  return out;
}

// Calls a method of a host interface; a failure is raised with the interface's id.
template <class I, class M, class... Args>
void Call(const Ptr<I>& object, M method, Args&&... args) {
  I* raw = object.GetInterfacePtr();
  if (!raw) _com_issue_error(E_POINTER);
  Check((raw->*method)(std::forward<Args>(args)...), raw, __uuidof(I));
}

// The interface `I` of a business object; E_NOINTERFACE raised when it has none.
template <class I>
Ptr<I> Face(IUnknown* object) {
  if (!object) _com_issue_error(E_POINTER);
  I* raw = nullptr;
  const HRESULT hr = object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(&raw));
  if (FAILED(hr) || !raw) _com_issue_error(FAILED(hr) ? hr : E_NOINTERFACE);
  return Ptr<I>(raw, false);
}

// A business object of the host loaded by id (in edit for omEdit), as its interface `I`.
template <class I>
Ptr<I> Load(const GUID& type, LONG id, CHxObjTools::ObjMode mode) {
  IFlgItemPtr item = CHxObjTools::Fetch(type, id, mode);
  return Face<I>(item);
}

// The out-value of a host call whose out-argument comes last: Get<T>(object, &I::GetX, args...).
template <class T, class I, class M, class... Args>
T Get(const Ptr<I>& object, M method, Args&&... args) {
  T out{};
  Call(object, method, std::forward<Args>(args)..., &out);
  return out;
}

// The text a host call gives as its BSTR out-argument (last).
template <class I, class M, class... Args>
CString TextOf(const Ptr<I>& object, M method, Args&&... args) {
  BSTR text = nullptr;
  Call(object, method, std::forward<Args>(args)..., &text);
  return Take(text);
}

// A field's value of a recordset's current row.
inline _variant_t Field(const _RecordsetPtr& rs, const wchar_t* name) {
  return rs->GetFields()->GetItem(_variant_t(name))->GetValue();
}

// "YYYYMMDD" of the day 30 days back: a date compared with it compares with that day's midnight.
inline CString CutOffDay() {
  return (COleDateTime::GetCurrentTime() - COleDateTimeSpan(30, 0, 0, 0)).Format(L"%Y%m%d");
}

inline bool IsNull(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }

// A value as text; empty for NULL.
inline CString Text(const _variant_t& v) {
  if (IsNull(v)) return CString();
  return CString(static_cast<const wchar_t*>(_bstr_t(v)));
}

}  // namespace vorlen::jobs
