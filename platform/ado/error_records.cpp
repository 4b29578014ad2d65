// The provider's error information: the failure's source and description (IErrorInfo) and its
// error records (IErrorRecords), one per database error.
#include <new>
#include <utility>
#include <vector>

#include "platform/ado/com_object.h"
#include "platform/ado/database.h"
#include "platform/com/object.h"

namespace platform::ado {
namespace {

HRESULT CopyText(const std::wstring& text, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The error information of one record: its own source and description, the failing interface.
class RecordInfo final : public com::ComObject<IErrorInfo> {
 public:
  RecordInfo(DbError record, const GUID& iid) : record_(std::move(record)), iid_(iid) {}
  STDMETHODIMP GetGUID(GUID* out) override {
    if (!out) return E_INVALIDARG;
    *out = iid_;
    return S_OK;
  }
  STDMETHODIMP GetSource(BSTR* out) override { return CopyText(record_.source, out); }
  STDMETHODIMP GetDescription(BSTR* out) override { return CopyText(record_.description, out); }
  STDMETHODIMP GetHelpFile(BSTR* out) override { return CopyText(std::wstring(), out); }
  STDMETHODIMP GetHelpContext(DWORD* out) override {
    if (!out) return E_INVALIDARG;
    *out = 0;
    return S_OK;
  }

 private:
  DbError record_;
  GUID iid_;
};

// The failure as a whole (the first record's source and description) with all its records.
class ProviderErrorInfo final : public com::ComObject<IErrorInfo, IErrorRecords> {
 public:
  ProviderErrorInfo(std::vector<DbError> records, const GUID& iid) : records_(std::move(records)), iid_(iid) {}

  STDMETHODIMP GetGUID(GUID* out) override {
    if (!out) return E_INVALIDARG;
    *out = iid_;
    return S_OK;
  }
  STDMETHODIMP GetSource(BSTR* out) override { return CopyText(records_.front().source, out); }
  STDMETHODIMP GetDescription(BSTR* out) override { return CopyText(records_.front().description, out); }
  STDMETHODIMP GetHelpFile(BSTR* out) override { return CopyText(std::wstring(), out); }
  STDMETHODIMP GetHelpContext(DWORD* out) override {
    if (!out) return E_INVALIDARG;
    *out = 0;
    return S_OK;
  }

  // Records are the provider's: a consumer only reads them.
  STDMETHODIMP AddErrorRecord(ERRORINFO*, DWORD, DISPPARAMS*, IUnknown*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetBasicErrorInfo(ULONG n, ERRORINFO* out) override {
    if (!out) return E_INVALIDARG;
    if (n >= records_.size()) return DB_E_BADRECORDNUM;
    out->hrError = records_[n].hr;
    out->dwMinor = static_cast<DWORD>(records_[n].native);
    out->clsid = GUID_NULL;
    out->iid = iid_;
    out->dispid = 0;
    return S_OK;
  }
  STDMETHODIMP GetCustomErrorObject(ULONG n, REFIID, IUnknown** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    return n < records_.size() ? S_OK : DB_E_BADRECORDNUM;
  }
  STDMETHODIMP GetErrorInfo(ULONG n, LCID, IErrorInfo** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (n >= records_.size()) return DB_E_BADRECORDNUM;
    *out = new (std::nothrow) RecordInfo(records_[n], iid_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetErrorParameters(ULONG n, DISPPARAMS* out) override {
    if (!out) return E_INVALIDARG;
    if (n >= records_.size()) return DB_E_BADRECORDNUM;
    *out = DISPPARAMS{};
    return S_OK;
  }
  STDMETHODIMP GetRecordCount(ULONG* out) override {
    if (!out) return E_INVALIDARG;
    *out = static_cast<ULONG>(records_.size());
    return S_OK;
  }

 private:
  std::vector<DbError> records_;
  GUID iid_;
};

}  // namespace

HRESULT ReportProviderError(const std::vector<DbError>& records, REFIID iid) {
  if (records.empty()) return E_FAIL;
  IErrorInfo* info = new (std::nothrow) ProviderErrorInfo(records, iid);
  if (!info) return records.front().hr;
  SetErrorInfo(0, info);
  info->Release();
  return records.front().hr;
}

}  // namespace platform::ado
