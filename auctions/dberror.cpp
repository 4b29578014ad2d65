#include "auctions/dberror.h"

#include "framework/messages.h"

namespace {

struct Mapping {
  HRESULT from;
  HRESULT to;
};

#define DB_CODE(x) static_cast<HRESULT>(x##u)
const Mapping kMappings[] = {
    {DB_CODE(0x80040E09), DB_CODE(0x80040F1D)},  // permission denied
    {DB_CODE(0x80040E14), DB_CODE(0x80040F34)},  // the command contained errors
    {DB_CODE(0x80040E21), DB_CODE(0x80040F1B)},  // multiple-step operation errors
    {DB_CODE(0x80040E2F), DB_CODE(0x80040F1C)},  // integrity violation
    {DB_CODE(0x80040E31), DB_CODE(0x80040F1E)},  // time-out
    {DB_CODE(0x80040E38), DB_CODE(0x80040F1A)},  // the row was changed or deleted meanwhile
    {DB_CODE(0x80040E97), DB_CODE(0x80040F1F)},  // the value does not fit the column
    {DB_CODE(0x800A0BCD), DB_CODE(0x80040F2F)},  // either BOF or EOF is true
};
#undef DB_CODE

constexpr HRESULT kAdoFamily = static_cast<HRESULT>(0x800A0000u);

std::wstring SourceOf(REFCLSID clsid) {
  LPOLESTR progId = nullptr;
  if (FAILED(ProgIDFromCLSID(clsid, &progId)) || !progId) return std::wstring();
  std::wstring text = progId;
  CoTaskMemFree(progId);
  return text;
}

}  // namespace

HRESULT ReportErrorText(REFCLSID clsid, REFIID iid, HRESULT code, const wchar_t* text) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
    create->SetGUID(iid);
    const std::wstring source = SourceOf(clsid);
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
    create->SetDescription(const_cast<LPOLESTR>(text ? text : L""));
    create->SetHelpFile(nullptr);
    create->SetHelpContext(0);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(__uuidof(IErrorInfo), reinterpret_cast<void**>(&info))) && info) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return code == S_OK ? DISP_E_EXCEPTION : code;
}

HRESULT ReportErrorFormatted(REFCLSID clsid, REFIID iid, HRESULT code, std::initializer_list<const wchar_t*> inserts) {
  CKdSmartMessage messages;
  const LANGID language = KdGetUserDefaultLangID();
  CString text = messages.FormatMessage(code, language, inserts);
  if (!messages.HasMessage(code)) text = messages.SystemMessage(code, language);
  text.TrimRight();  // an empty insert at the end of a text leaves a blank
  return ReportErrorText(clsid, iid, code, text.GetString());
}

HRESULT MapDbError(REFCLSID clsid, REFIID iid, HRESULT hr, std::initializer_list<const wchar_t*> inserts) {
  if (hr >= 0) return hr;
  for (const Mapping& m : kMappings)
    if (m.from == hr) return ReportErrorFormatted(clsid, iid, m.to, inserts);
  if (hr == E_ACCESSDENIED) return hr;
  if (zephra::IsKdError(hr)) return ReportErrorFormatted(clsid, iid, hr, inserts);
  if ((hr & kAdoFamily) == kAdoFamily) return hr;
  return ReportErrorFormatted(clsid, iid, zephra::KD_E_DB_UNSPECIFIED, inserts);
}
