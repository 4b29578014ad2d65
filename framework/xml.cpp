// The framework's loading of XML held in a recordset field.
#include "framework/zephra.h"

HRESULT XMLFromRs(IXMLDOMDocument2Ptr document, FieldPtr field) {
  if (!document || !field) return E_POINTER;
  try {
    _variant_t value = field->GetValue();
    CString name(static_cast<const wchar_t*>(field->GetName()));
    if (value.vt != VT_BSTR) {
      CString text;
      text.Format(L"Pole %s nie zawiera tekstu XML.", name.GetString());
      return platform::com::ReportError(E_FAIL, text.GetString());
    }
    document->Putasync(VARIANT_FALSE);
    if (document->loadXML(value.bstrVal) == VARIANT_TRUE) return S_OK;
    CString text;
    text.Format(L"Tekst XML z pola %s jest niepoprawny: %s", name.GetString(),
                static_cast<const wchar_t*>(document->GetparseError()->Getreason()));
    return platform::com::ReportError(E_FAIL, text.GetString());
  } catch (const _com_error& e) {
    return e.Error();
  }
}
