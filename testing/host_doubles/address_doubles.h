#pragma once
// Doubles for address records: a host address object that records the properties read and
// written, and a data object whose data sets hold addresses of several types side by side.
#include <map>
#include <string>
#include <vector>

#include "framework/comobject.h"
#include "framework/zephra.h"

namespace doubles {

// The host's address object: each property is kept as given; every call is listed in `calls`
// as "GetName" / "PutName" ... in the order made.
class FakeAddress : public IHxAddress {
 public:
  virtual ~FakeAddress() = default;
  void* FlgGetInterface(REFIID iid);
  // A new one held by `holder`.
  static FakeAddress* New(IHxAddressPtr& holder);

  std::map<std::wstring, std::wstring> values;
  std::vector<std::wstring> calls;
  std::wstring failOn;   // a call ("PutCity") that answers E_FAIL

  STDMETHOD(GetSkipBilling)(VARIANT_BOOL* skip) override;
  STDMETHOD(GetName)(BSTR* v) override { return Get(L"Name", v); }
  STDMETHOD(PutName)(BSTR v) override { return Put(L"Name", v); }
  STDMETHOD(GetFirstLine)(BSTR* v) override { return Get(L"FirstLine", v); }
  STDMETHOD(PutFirstLine)(BSTR v) override { return Put(L"FirstLine", v); }
  STDMETHOD(GetSecondLine)(BSTR* v) override { return Get(L"SecondLine", v); }
  STDMETHOD(PutSecondLine)(BSTR v) override { return Put(L"SecondLine", v); }
  STDMETHOD(GetZipCode)(BSTR* v) override { return Get(L"ZipCode", v); }
  STDMETHOD(PutZipCode)(BSTR v) override { return Put(L"ZipCode", v); }
  STDMETHOD(GetCity)(BSTR* v) override { return Get(L"City", v); }
  STDMETHOD(PutCity)(BSTR v) override { return Put(L"City", v); }
  STDMETHOD(GetCountry)(BSTR* v) override { return Get(L"Country", v); }
  STDMETHOD(PutCountry)(BSTR v) override { return Put(L"Country", v); }
  STDMETHOD(GetCompany)(BSTR* v) override { return Get(L"Company", v); }
  STDMETHOD(PutCompany)(BSTR v) override { return Put(L"Company", v); }
  STDMETHOD(GetTaxNumber)(BSTR* v) override { return Get(L"TaxNumber", v); }
  STDMETHOD(PutTaxNumber)(BSTR v) override { return Put(L"TaxNumber", v); }

 private:
  HRESULT Get(const std::wstring& name, BSTR* out);
  HRESULT Put(const std::wstring& name, BSTR value);
};

// An empty client recordset with adr_Id, adr_Type and the eight address columns (texts 50 wide).
_RecordsetPtr AddressRecordset();
// Appends an address row: type and the eight texts in column order (name, line 1, line 2, zip,
// city, country, company, NIP).
void AppendAddress(const _RecordsetPtr& rs, LONG type, const std::vector<std::wstring>& texts);

// A data object whose data sets (by index) are address recordsets. AddSubRow adds a row to the
// data set (the row becomes current, with the next adr_Id) unless `addFailure` is set.
class FakeAddressBook : public IFlgDataSet {
 public:
  virtual ~FakeAddressBook() = default;
  void* FlgGetInterface(REFIID iid);
  static FakeAddressBook* New(IFlgDataSetPtr& holder);

  std::map<LONG, _RecordsetPtr> dataSets;
  HRESULT addFailure = S_OK;
  std::vector<LONG> added;   // the data sets rows were added to

  STDMETHOD(GetId)(VARIANT* id) override;
  STDMETHOD(GetState)(VARIANT* state) override;
  STDMETHOD(GetFormat)(LONG* format) override;
  STDMETHOD(GetLocked)(VARIANT_BOOL* locked) override;
  STDMETHOD(GetDataSet)(LONG index, IUnknown** recordset) override;
  STDMETHOD(AddSubRow)(LONG index) override;
  STDMETHOD(AddSubRowKey)(LONG index, VARIANT* key) override;
  STDMETHOD(AddRowChecked)(LONG index, VARIANT link, VARIANT* key) override;
  STDMETHOD(AddRow)(LONG index, VARIANT link, VARIANT* key) override;
  STDMETHOD(CompleteRow)(LONG index, VARIANT link) override;
  STDMETHOD(DeleteRow)(LONG index, LONG key) override;

 private:
  LONG m_nextId = 100;
};

}  // namespace doubles
