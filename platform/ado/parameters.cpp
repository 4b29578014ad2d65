// Parameter and Parameters: the values a command binds to its SQL text.
#include "platform/ado/objects_internal.h"

namespace platform::ado {

STDMETHODIMP ParameterImpl::get_Properties(::Properties** out) {
  if (!out) return E_POINTER;
  *out = NewProperties(std::make_shared<PropertyBag>());
  return S_OK;
}
STDMETHODIMP ParameterImpl::get_Name(BSTR* b) { return PutBstr(b, name); }
STDMETHODIMP ParameterImpl::put_Name(BSTR b) {
  name = BstrText(b);
  return S_OK;
}
STDMETHODIMP ParameterImpl::get_Value(VARIANT* v) { return v ? VariantCopy(v, &value) : E_POINTER; }
STDMETHODIMP ParameterImpl::put_Value(VARIANT v) {
  return AdoBoundary(__uuidof(::_Parameter), nullptr, [&]() -> HRESULT {
    version = NextVersion();
    HRESULT hr = VariantCopy(&value, &v);
    if (FAILED(hr)) _com_issue_error(hr);
    return S_OK;
  });
}
STDMETHODIMP ParameterImpl::get_Type(DataTypeEnum* t) { return PutOut(t, type); }
STDMETHODIMP ParameterImpl::put_Type(DataTypeEnum t) {
  type = t;
  version = NextVersion();
  return S_OK;
}
STDMETHODIMP ParameterImpl::put_Direction(ParameterDirectionEnum d) {
  direction = d;
  version = NextVersion();
  return S_OK;
}
STDMETHODIMP ParameterImpl::get_Direction(ParameterDirectionEnum* d) { return PutOut(d, direction); }
STDMETHODIMP ParameterImpl::put_Precision(BYTE b) {
  precision = b;
  return S_OK;
}
STDMETHODIMP ParameterImpl::get_Precision(BYTE* b) { return PutOut(b, precision); }
STDMETHODIMP ParameterImpl::put_NumericScale(BYTE b) {
  scale = b;
  return S_OK;
}
STDMETHODIMP ParameterImpl::get_NumericScale(BYTE* b) { return PutOut(b, scale); }
STDMETHODIMP ParameterImpl::put_Size(ADO_LONGPTR l) {
  size = l;
  version = NextVersion();
  return S_OK;
}
STDMETHODIMP ParameterImpl::get_Size(ADO_LONGPTR* l) { return PutOut(l, size); }
STDMETHODIMP ParameterImpl::raw_AppendChunk(VARIANT v) {
  return AdoBoundary(__uuidof(::_Parameter), nullptr, [&]() -> HRESULT {
    version = NextVersion();
    Cell add = FromVariant(v);
    Cell cur = FromVariant(value);
    if (add.kind == VKind::Bytes) {
      value = ToVariant(Cell::Blob((cur.kind == VKind::Bytes ? cur.Bytes() : std::string()) + add.Bytes()));
    } else {
      value = ToVariant(Cell::Text((cur.kind == VKind::Text ? cur.s : std::wstring()) + ValueText(add)));
    }
    return S_OK;
  });
}
STDMETHODIMP ParameterImpl::get_Attributes(LONG* a) { return PutOut(a, attributes); }
STDMETHODIMP ParameterImpl::put_Attributes(LONG a) {
  attributes = a;
  return S_OK;
}

STDMETHODIMP ParametersImpl::get_Count(LONG* c) { return PutOut(c, static_cast<LONG>(items.size())); }
STDMETHODIMP ParametersImpl::get_Item(VARIANT index, ::_Parameter** out) {
  return AdoBoundary(__uuidof(::Parameters), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    std::size_t i = ItemIndex(index, items.size(), [&](std::size_t k) { return Impl(k)->name; });
    *out = items[i].GetInterfacePtr();
    (*out)->AddRef();
    return S_OK;
  });
}
STDMETHODIMP ParametersImpl::raw_Refresh() { return S_OK; }  // parameters are always described by the caller
STDMETHODIMP ParametersImpl::raw_Append(IDispatch* object) {
  return AdoBoundary(__uuidof(::Parameters), nullptr, [&]() -> HRESULT {
    if (!object) return E_POINTER;
    _ParameterPtr p(object);
    if (!p)
      ThrowAdo(adErrInvalidArgument,
               L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
    items.push_back(p);
    return S_OK;
  });
}
STDMETHODIMP ParametersImpl::raw_Delete(VARIANT index) {
  return AdoBoundary(__uuidof(::Parameters), nullptr, [&]() -> HRESULT {
    std::size_t i = ItemIndex(index, items.size(), [&](std::size_t k) { return Impl(k)->name; });
    items.erase(items.begin() + static_cast<long>(i));
    return S_OK;
  });
}

IClassFactory* ParameterFactory() {
  static ClassFactory<ParameterImpl> factory;
  return &factory;
}

}  // namespace platform::ado
