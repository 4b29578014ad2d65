#pragma once
// What the object files share inside the library: the raw methods' small helpers, the property
// bag, the parameter classes a command binds, and the constructors of the objects one file makes
// for another.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/com_object.h"
#include "platform/ado/objects.h"
#include "platform/ado/text.h"

namespace platform::ado {

// ---- helpers ------------------------------------------------------------------------------

inline HRESULT PutBstr(BSTR* out, std::wstring_view s) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  return *out || s.empty() ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT PutOut(T* out, T value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

// Finds an item of a collection by index (number) or case-insensitive name.
template <class NameOf>
std::size_t ItemIndex(const VARIANT& index, std::size_t count, NameOf nameOf) {
  Cell v = FromVariant(index);
  if (v.kind == VKind::Text) {
    for (std::size_t i = 0; i < count; ++i)
      if (CompareNoCase(nameOf(i), v.s) == 0 && nameOf(i).size() == v.s.size()) return i;
  } else if (v.IsNumeric()) {
    double d = v.AsDouble();
    if (d >= 0 && d < static_cast<double>(count)) return static_cast<std::size_t>(d);
  }
  ThrowAdo(adErrItemNotFound,
           L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

// ---- Errors (errors.cpp) ------------------------------------------------------------------

// A collection over a connection's error list (shared, so it sees later failures).
::Errors* NewErrors(std::shared_ptr<std::vector<DbError>> list);

// ---- Properties (properties.cpp) ----------------------------------------------------------

struct PropertyBag {
  struct Entry {
    std::wstring name;
    _variant_t value;
    DataTypeEnum type;
  };
  std::vector<Entry> entries;
  std::function<void(const std::wstring&, const _variant_t&)> onPut;
};

::Properties* NewProperties(std::shared_ptr<PropertyBag> bag);

// ---- Parameter / Parameters (parameters.cpp) ----------------------------------------------

class ParameterImpl final : public ComObject<::_Parameter> {
 public:
  std::wstring name;
  _variant_t value;
  DataTypeEnum type = adEmpty;
  ParameterDirectionEnum direction = adParamInput;
  ADO_LONGPTR size = 0;
  BYTE precision = 0, scale = 0;
  LONG attributes = adParamNullable;
  // Marks each change of what the parameter binds (value, type, size, direction) with a number
  // no other change in the process has, so that a command converts only what changed since its
  // last run.
  std::uint64_t version = NextVersion();
  static std::uint64_t NextVersion() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
  }

  STDMETHODIMP get_Properties(::Properties** out) override;
  STDMETHODIMP get_Name(BSTR* b) override;
  STDMETHODIMP put_Name(BSTR b) override;
  STDMETHODIMP get_Value(VARIANT* v) override;
  STDMETHODIMP put_Value(VARIANT v) override;
  STDMETHODIMP get_Type(DataTypeEnum* t) override;
  STDMETHODIMP put_Type(DataTypeEnum t) override;
  STDMETHODIMP put_Direction(ParameterDirectionEnum d) override;
  STDMETHODIMP get_Direction(ParameterDirectionEnum* d) override;
  STDMETHODIMP put_Precision(BYTE b) override;
  STDMETHODIMP get_Precision(BYTE* b) override;
  STDMETHODIMP put_NumericScale(BYTE b) override;
  STDMETHODIMP get_NumericScale(BYTE* b) override;
  STDMETHODIMP put_Size(ADO_LONGPTR l) override;
  STDMETHODIMP get_Size(ADO_LONGPTR* l) override;
  STDMETHODIMP raw_AppendChunk(VARIANT v) override;
  STDMETHODIMP get_Attributes(LONG* a) override;
  STDMETHODIMP put_Attributes(LONG a) override;
};

class ParametersImpl final : public ComObject<::Parameters> {
 public:
  std::vector<_ParameterPtr> items;
  STDMETHODIMP get_Count(LONG* c) override;
  STDMETHODIMP get_Item(VARIANT index, ::_Parameter** out) override;
  STDMETHODIMP raw_Refresh() override;
  STDMETHODIMP raw_Append(IDispatch* object) override;
  STDMETHODIMP raw_Delete(VARIANT index) override;
  ParameterImpl* Impl(std::size_t k) const { return static_cast<ParameterImpl*>(items[k].GetInterfacePtr()); }
};

// ---- Command (command.cpp) ----------------------------------------------------------------

// The connection and the text of a command object of this library.
::_Connection* CommandConnection(::_Command* command);
const std::wstring& CommandText(::_Command* command);

// ---- Fields (fields.cpp) ------------------------------------------------------------------

::Fields* NewFields(std::shared_ptr<RecordsetCore> core);
::Field* NewField(std::shared_ptr<RecordsetCore> core, int index);

// ---- class objects ------------------------------------------------------------------------

IClassFactory* CommandFactory();
IClassFactory* ParameterFactory();
IClassFactory* StreamFactory();

}  // namespace platform::ado
