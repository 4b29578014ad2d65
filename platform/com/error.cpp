// GUID text, task memory, per-thread error information and _com_error.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <exception>
#include <new>
#include <random>
#include <string>

#include "platform/com/com.h"

// ---- GUID text ----

int StringFromGUID2(REFGUID g, LPOLESTR lpsz, int cchMax) {
  if (!lpsz || cchMax < 39) return 0;
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper-case hex digits.
  static constexpr char kDigits[] = "0123456789ABCDEF";
  OLECHAR* p = lpsz;
  auto hex = [&p](unsigned long long value, int digits) {
    for (int k = digits - 1; k >= 0; --k) p[k] = static_cast<OLECHAR>(kDigits[(value >> (4 * (digits - 1 - k))) & 0xF]);
    p += digits;
  };
  *p++ = L'{';
  hex(g.Data1, 8);
  *p++ = L'-';
  hex(g.Data2, 4);
  *p++ = L'-';
  hex(g.Data3, 4);
  *p++ = L'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) *p++ = L'-';
    hex(g.Data4[i], 2);
  }
  *p++ = L'}';
  *p = 0;
  return 39;
}

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  if (!lplpsz) return E_INVALIDARG;
  *lplpsz = static_cast<LPOLESTR>(CoTaskMemAlloc(39 * sizeof(OLECHAR)));
  if (!*lplpsz) return E_OUTOFMEMORY;
  StringFromGUID2(rclsid, *lplpsz, 39);
  return S_OK;
}

HRESULT StringFromIID(REFIID riid, LPOLESTR* lplpsz) { return StringFromCLSID(riid, lplpsz); }

namespace {
int HexValue(OLECHAR c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Exactly "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
bool ParseBracedGuid(LPCOLESTR s, GUID* out) {
  static const char kPattern[] = "{........-....-....-....-............}";
  if (std::wcslen(s) != 38) return false;
  for (int i = 0; i < 38; ++i) {
    char p = kPattern[i];
    if (p == '.') {
      if (HexValue(s[i]) < 0) return false;
    } else if (s[i] != static_cast<OLECHAR>(p)) {
      return false;
    }
  }
  auto hex = [&](int from, int digits) {
    unsigned long long v = 0;
    for (int i = 0; i < digits; ++i) v = v * 16 + static_cast<unsigned>(HexValue(s[from + i]));
    return v;
  };
  out->Data1 = static_cast<DWORD>(hex(1, 8));
  out->Data2 = static_cast<WORD>(hex(10, 4));
  out->Data3 = static_cast<WORD>(hex(15, 4));
  out->Data4[0] = static_cast<BYTE>(hex(20, 2));
  out->Data4[1] = static_cast<BYTE>(hex(22, 2));
  for (int k = 0; k < 6; ++k) out->Data4[2 + k] = static_cast<BYTE>(hex(25 + 2 * k, 2));
  return true;
}
}  // namespace

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) {
  if (!lpiid) return E_INVALIDARG;
  if (!lpsz) {
    *lpiid = GUID_NULL;
    return S_OK;
  }
  GUID g;
  if (!ParseBracedGuid(lpsz, &g)) return CO_E_CLASSSTRING;
  *lpiid = g;
  return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
  if (!pclsid) return E_INVALIDARG;
  if (!lpsz) {
    *pclsid = GUID_NULL;
    return S_OK;
  }
  if (lpsz[0] == L'{') return IIDFromString(lpsz, pclsid);
  CLSID c;
  if (FAILED(CLSIDFromProgID(lpsz, &c))) return CO_E_CLASSSTRING;
  *pclsid = c;
  return S_OK;
}

HRESULT CoCreateGuid(GUID* pguid) {
  if (!pguid) return E_INVALIDARG;
  static thread_local std::mt19937_64 gen{std::random_device{}()};
  std::uint64_t a = gen(), b = gen();
  std::memcpy(pguid, &a, 8);
  std::memcpy(reinterpret_cast<BYTE*>(pguid) + 8, &b, 8);
  pguid->Data3 = static_cast<WORD>((pguid->Data3 & 0x0FFF) | 0x4000);  // version 4
  pguid->Data4[0] = static_cast<BYTE>((pguid->Data4[0] & 0x3F) | 0x80);
  return S_OK;
}

// ---- task memory ----

LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb ? cb : 1); }
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) { return std::realloc(pv, cb ? cb : 1); }
void CoTaskMemFree(LPVOID pv) { std::free(pv); }

// ---- error information ----

namespace {

class ErrorInfo final : public platform::com::ComObject<IErrorInfo, ICreateErrorInfo> {
 public:
  ~ErrorInfo() override {
    SysFreeString(source_);
    SysFreeString(description_);
    SysFreeString(helpFile_);
  }
  STDMETHODIMP GetGUID(GUID* pguid) override {
    if (!pguid) return E_INVALIDARG;
    *pguid = guid_;
    return S_OK;
  }
  STDMETHODIMP GetSource(BSTR* out) override { return CopyOut(source_, out); }
  STDMETHODIMP GetDescription(BSTR* out) override { return CopyOut(description_, out); }
  STDMETHODIMP GetHelpFile(BSTR* out) override { return CopyOut(helpFile_, out); }
  STDMETHODIMP GetHelpContext(DWORD* out) override {
    if (!out) return E_INVALIDARG;
    *out = helpContext_;
    return S_OK;
  }
  STDMETHODIMP SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  STDMETHODIMP SetSource(LPOLESTR s) override { return Store(source_, s); }
  STDMETHODIMP SetDescription(LPOLESTR s) override { return Store(description_, s); }
  STDMETHODIMP SetHelpFile(LPOLESTR s) override { return Store(helpFile_, s); }
  STDMETHODIMP SetHelpContext(DWORD c) override {
    helpContext_ = c;
    return S_OK;
  }

 private:
  static HRESULT CopyOut(BSTR held, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = held ? SysAllocStringLen(held, SysStringLen(held)) : nullptr;
    return held && !*out ? E_OUTOFMEMORY : S_OK;
  }
  static HRESULT Store(BSTR& slot, LPOLESTR s) { return SysReAllocString(&slot, s) ? S_OK : E_OUTOFMEMORY; }

  GUID guid_ = GUID_NULL;
  BSTR source_ = nullptr;
  BSTR description_ = nullptr;
  BSTR helpFile_ = nullptr;
  DWORD helpContext_ = 0;
};

// The thread's error-information slot; its reference is dropped when the thread ends.
struct ErrorSlot {
  IErrorInfo* info = nullptr;
  ~ErrorSlot() {
    if (info) info->Release();
  }
};
thread_local ErrorSlot t_errorSlot;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = new (std::nothrow) ErrorInfo;
  return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo) {
  if (perrinfo) perrinfo->AddRef();
  IErrorInfo* old = t_errorSlot.info;
  t_errorSlot.info = perrinfo;
  if (old) old->Release();
  return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = t_errorSlot.info;
  t_errorSlot.info = nullptr;
  return *pperrinfo ? S_OK : S_FALSE;
}

// ---- _com_error ----

_com_error::_com_error(HRESULT hr, IErrorInfo* perrinfo, bool fAddRef) noexcept : hr_(hr), info_(perrinfo) {
  if (info_ && fAddRef) info_->AddRef();
}

_com_error::_com_error(const _com_error& that) noexcept : hr_(that.hr_), info_(that.info_) {
  if (info_) info_->AddRef();
}

_com_error& _com_error::operator=(const _com_error& that) noexcept {
  if (this != &that) {
    if (that.info_) that.info_->AddRef();
    if (info_) info_->Release();
    info_ = that.info_;
    hr_ = that.hr_;
    delete[] message_;
    message_ = nullptr;
  }
  return *this;
}

_com_error::~_com_error() {
  if (info_) info_->Release();
  delete[] message_;
}

IErrorInfo* _com_error::ErrorInfo() const noexcept {
  if (info_) info_->AddRef();
  return info_;
}

namespace {
template <class Getter>
_bstr_t InfoText(IErrorInfo* info, Getter get) {
  if (!info) return _bstr_t();
  BSTR text = nullptr;
  if (FAILED(get(info, &text))) return _bstr_t();
  return _bstr_t(text, false);
}
}  // namespace

_bstr_t _com_error::Description() const {
  return InfoText(info_, [](IErrorInfo* i, BSTR* b) { return i->GetDescription(b); });
}
_bstr_t _com_error::Source() const {
  return InfoText(info_, [](IErrorInfo* i, BSTR* b) { return i->GetSource(b); });
}
_bstr_t _com_error::HelpFile() const {
  return InfoText(info_, [](IErrorInfo* i, BSTR* b) { return i->GetHelpFile(b); });
}
DWORD _com_error::HelpContext() const noexcept {
  DWORD c = 0;
  if (info_) info_->GetHelpContext(&c);
  return c;
}
::GUID _com_error::GUID() const noexcept {
  ::GUID g = GUID_NULL;
  if (info_) info_->GetGUID(&g);
  return g;
}

const wchar_t* _com_error::ErrorMessage() const noexcept {
  if (message_) return message_;
  std::wstring text;
  try {
    text = platform::com::SystemMessageText(hr_);
    if (text.empty()) {
      wchar_t buf[64];
      if (WORD w = WCode()) {
        std::swprintf(buf, 64, L"IDispatch error #%u", static_cast<unsigned>(w));
      } else {
        std::swprintf(buf, 64, L"Unknown error 0x%08X", static_cast<unsigned>(hr_));
      }
      text = buf;
    }
    message_ = new wchar_t[text.size() + 1];
    std::wmemcpy(message_, text.c_str(), text.size() + 1);
  } catch (...) {
    return L"";
  }
  return message_;
}

void _com_raise_error(HRESULT hr, IErrorInfo* perrinfo) { throw _com_error(hr, perrinfo); }

void _com_issue_error(HRESULT hr) { _com_raise_error(hr, nullptr); }

void _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid) {
  IErrorInfo* info = nullptr;
  if (punk) {
    ISupportErrorInfo* support = nullptr;
    if (SUCCEEDED(punk->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)))) {
      HRESULT answer = support->InterfaceSupportsErrorInfo(riid);
      support->Release();
      if (answer == S_OK && GetErrorInfo(0, &info) != S_OK) info = nullptr;
    }
  }
  _com_raise_error(hr, info);
}

namespace platform::com {

std::wstring SystemMessageText(HRESULT hr) {
  struct Entry {
    HRESULT hr;
    const wchar_t* text;
  };
  static const Entry kTexts[] = {
      {S_OK, L"The operation completed successfully."},
      {S_FALSE, L"Incorrect function."},
      {E_UNEXPECTED, L"Catastrophic failure"},
      {E_NOTIMPL, L"Not implemented"},
      {E_OUTOFMEMORY, L"Not enough memory resources are available to complete this operation."},
      {E_INVALIDARG, L"The parameter is incorrect."},
      {E_NOINTERFACE, L"No such interface supported"},
      {E_POINTER, L"Invalid pointer"},
      {E_HANDLE, L"The handle is invalid."},
      {E_ABORT, L"Operation aborted"},
      {E_FAIL, L"Unspecified error"},
      {E_ACCESSDENIED, L"Access is denied."},
      {E_PENDING, L"The data necessary to complete this operation is not yet available."},
      {CLASS_E_NOAGGREGATION, L"Class does not support aggregation (or class object is remote)"},
      {CLASS_E_CLASSNOTAVAILABLE, L"ClassFactory cannot supply requested class"},
      {REGDB_E_CLASSNOTREG, L"Class not registered"},
      {REGDB_E_READREGDB, L"Could not read key from registry"},
      {REGDB_E_WRITEREGDB, L"Could not write key to registry"},
      {CO_E_CLASSSTRING, L"Invalid class string"},
      {CO_E_NOTINITIALIZED, L"CoInitialize has not been called."},
      {CO_E_DLLNOTFOUND, L"DLL for class not found"},
      {CO_E_ERRORINDLL, L"Error in the DLL"},
      {DISP_E_UNKNOWNINTERFACE, L"Unknown interface."},
      {DISP_E_MEMBERNOTFOUND, L"Member not found."},
      {DISP_E_PARAMNOTFOUND, L"Parameter not found."},
      {DISP_E_TYPEMISMATCH, L"Type mismatch."},
      {DISP_E_UNKNOWNNAME, L"Unknown name."},
      {DISP_E_BADVARTYPE, L"Bad variable type."},
      {DISP_E_EXCEPTION, L"Exception occurred."},
      {DISP_E_OVERFLOW, L"Out of present range."},
      {DISP_E_BADINDEX, L"Invalid index."},
      {DISP_E_ARRAYISLOCKED, L"Memory is locked."},
      {DISP_E_BADPARAMCOUNT, L"Invalid number of parameters."},
      {DISP_E_DIVBYZERO, L"Division by zero."},
      {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"The system cannot find the file specified."},
  };
  for (const Entry& e : kTexts) {
    if (e.hr == hr) return e.text;
  }
  return std::wstring();
}

HRESULT ReportError(HRESULT hr, const wchar_t* description, const wchar_t* source, REFGUID iid) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return hr;
  create->SetGUID(iid);
  if (source) create->SetSource(const_cast<LPOLESTR>(source));
  if (description) create->SetDescription(const_cast<LPOLESTR>(description));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  return hr;
}

void Raise(HRESULT hr, const wchar_t* description, const wchar_t* source, REFGUID iid) {
  ReportError(hr, description, source, iid);
  RaiseWithThreadInfo(hr);
}

void RaiseWithThreadInfo(HRESULT hr) {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
  SetErrorInfo(0, info);
  _com_raise_error(hr, info);
}

HRESULT AnswerCurrentException(const ErrorOrigin& origin) noexcept {
  try {
    throw;
  } catch (const _com_error& e) {
    IErrorInfo* info = e.ErrorInfo();
    SetErrorInfo(0, info);
    if (info) info->Release();
    return e.Error();
  } catch (const std::bad_alloc&) {
    SetErrorInfo(0, nullptr);
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    SetErrorInfo(0, nullptr);
    try {
      return ReportError(E_FAIL, Utf8ToWide(e.what()).c_str(), origin.source, origin.iid);
    } catch (...) {
      return E_FAIL;
    }
  } catch (...) {
    SetErrorInfo(0, nullptr);
    return E_UNEXPECTED;
  }
}

}  // namespace platform::com
