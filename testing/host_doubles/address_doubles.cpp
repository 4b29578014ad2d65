#include "testing/host_doubles/address_doubles.h"

namespace doubles {

void* FakeAddress::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxAddress)) return static_cast<IHxAddress*>(this);
  return nullptr;
}

FakeAddress* FakeAddress::New(IHxAddressPtr& holder) {
  auto* address = new CFlgComObject<FakeAddress>();
  holder = static_cast<IHxAddress*>(address);
  return address;
}

STDMETHODIMP FakeAddress::GetSkipBilling(VARIANT_BOOL* skip) {
  if (!skip) return E_POINTER;
  *skip = VARIANT_FALSE;
  return S_OK;
}

HRESULT FakeAddress::Get(const std::wstring& name, BSTR* out) {
  calls.push_back(L"Get" + name);
  if (!out) return E_POINTER;
  *out = nullptr;
  if (failOn == L"Get" + name) return E_FAIL;
  auto it = values.find(name);
  *out = SysAllocString(it == values.end() ? L"" : it->second.c_str());
  return S_OK;
}

HRESULT FakeAddress::Put(const std::wstring& name, BSTR value) {
  calls.push_back(L"Put" + name);
  if (failOn == L"Put" + name) return E_FAIL;
  values[name] = value ? std::wstring(value, SysStringLen(value)) : std::wstring();
  return S_OK;
}

namespace {
const wchar_t* const kTexts[] = {L"adr_Name", L"adr_Address1", L"adr_Address2", L"adr_ZipCode",
                                 L"adr_City", L"adr_Country",  L"adr_Company",  L"adr_NIP"};
}  // namespace

_RecordsetPtr AddressRecordset() {
  _RecordsetPtr rs;
  if (FAILED(rs.CreateInstance(__uuidof(Recordset)))) return nullptr;
  rs->Fields->Append(L"adr_Id", adInteger, 4, adFldIsNullable);
  rs->Fields->Append(L"adr_Type", adInteger, 4, adFldIsNullable);
  for (const wchar_t* column : kTexts) rs->Fields->Append(column, adVarWChar, 50, adFldIsNullable);
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  return rs;
}

void AppendAddress(const _RecordsetPtr& rs, LONG type, const std::vector<std::wstring>& texts) {
  rs->AddNew();
  static LONG id = 1;
  rs->Fields->Item[L"adr_Id"]->Value = _variant_t(id++);
  rs->Fields->Item[L"adr_Type"]->Value = _variant_t(type);
  for (size_t i = 0; i < 8 && i < texts.size(); ++i) rs->Fields->Item[kTexts[i]]->Value = _variant_t(texts[i].c_str());
  rs->Update();
}

void* FakeAddressBook::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgData) || iid == __uuidof(IFlgDataSet))
    return static_cast<IFlgDataSet*>(this);
  return nullptr;
}

FakeAddressBook* FakeAddressBook::New(IFlgDataSetPtr& holder) {
  auto* book = new CFlgComObject<FakeAddressBook>();
  holder = static_cast<IFlgDataSet*>(book);
  return book;
}

STDMETHODIMP FakeAddressBook::GetId(VARIANT* id) {
  if (!id) return E_POINTER;
  VariantInit(id);
  id->vt = VT_I4;
  id->lVal = 1;
  return S_OK;
}
STDMETHODIMP FakeAddressBook::GetState(VARIANT* state) {
  if (!state) return E_POINTER;
  VariantInit(state);
  state->vt = VT_I4;
  state->lVal = 2;
  return S_OK;
}
STDMETHODIMP FakeAddressBook::GetFormat(LONG* format) {
  if (!format) return E_POINTER;
  *format = 1;
  return S_OK;
}
STDMETHODIMP FakeAddressBook::GetLocked(VARIANT_BOOL* locked) {
  if (!locked) return E_POINTER;
  *locked = VARIANT_TRUE;
  return S_OK;
}

STDMETHODIMP FakeAddressBook::GetDataSet(LONG index, IUnknown** recordset) {
  if (!recordset) return E_POINTER;
  *recordset = nullptr;
  auto it = dataSets.find(index);
  if (it == dataSets.end()) return E_INVALIDARG;
  return it->second->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(recordset));
}

STDMETHODIMP FakeAddressBook::AddSubRow(LONG index) {
  if (FAILED(addFailure)) return addFailure;
  auto it = dataSets.find(index);
  if (it == dataSets.end()) return E_INVALIDARG;
  try {
    it->second->AddNew();
    it->second->Fields->Item[L"adr_Id"]->Value = _variant_t(m_nextId++);
    added.push_back(index);
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

STDMETHODIMP FakeAddressBook::AddSubRowKey(LONG, VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP FakeAddressBook::AddRowChecked(LONG, VARIANT, VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP FakeAddressBook::AddRow(LONG, VARIANT, VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP FakeAddressBook::CompleteRow(LONG, VARIANT) { return E_NOTIMPL; }
STDMETHODIMP FakeAddressBook::DeleteRow(LONG, LONG) { return E_NOTIMPL; }

}  // namespace doubles
