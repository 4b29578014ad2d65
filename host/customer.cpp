// The host's customer object: its row with the address, e-mail and main phone, and its further
// phone numbers.
#include "host/host.h"
#include "host/objects.h"
#include "shared/sqltools.h"

namespace host {
namespace {


std::wstring Trimmed(const wchar_t* text) {
  CString value(text ? text : L"");
  value.Trim();
  return value.GetString();
}

// The customer's address: the cs_ address columns of its row.
class CHostCustomerAddress : public IHxAddress {
 public:
  explicit CHostCustomerAddress(CHostCustomer* owner) : m_owner(static_cast<IFlgItem*>(owner)), m_customer(owner) {}
  virtual ~CHostCustomerAddress() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxAddress)) return static_cast<IHxAddress*>(this);
    return nullptr;
  }

  STDMETHOD(GetSkipBilling)(VARIANT_BOOL* skip) override {
    if (!skip) return E_POINTER;
    *skip = VARIANT_FALSE;
    return S_OK;
  }
  STDMETHOD(GetName)(BSTR* v) override { return m_customer->AddressText(L"cs_AddressName", v); }
  STDMETHOD(PutName)(BSTR v) override { return m_customer->PutAddressText(L"cs_AddressName", v); }
  STDMETHOD(GetFirstLine)(BSTR* v) override { return m_customer->AddressText(L"cs_Street", v); }
  STDMETHOD(PutFirstLine)(BSTR v) override { return m_customer->PutAddressText(L"cs_Street", v); }
  STDMETHOD(GetSecondLine)(BSTR* v) override { return m_customer->AddressText(L"cs_Street2", v); }
  STDMETHOD(PutSecondLine)(BSTR v) override { return m_customer->PutAddressText(L"cs_Street2", v); }
  STDMETHOD(GetZipCode)(BSTR* v) override { return m_customer->AddressText(L"cs_Postcode", v); }
  STDMETHOD(PutZipCode)(BSTR v) override { return m_customer->PutAddressText(L"cs_Postcode", v); }
  STDMETHOD(GetCity)(BSTR* v) override { return m_customer->AddressText(L"cs_City", v); }
  STDMETHOD(PutCity)(BSTR v) override { return m_customer->PutAddressText(L"cs_City", v); }
  STDMETHOD(GetCountry)(BSTR* v) override { return m_customer->AddressText(L"cs_CountryName", v); }
  STDMETHOD(PutCountry)(BSTR v) override { return m_customer->PutAddressText(L"cs_CountryName", v); }
  STDMETHOD(GetCompany)(BSTR* v) override { return m_customer->AddressText(L"cs_Company", v); }
  STDMETHOD(PutCompany)(BSTR v) override { return m_customer->PutAddressText(L"cs_Company", v); }
  STDMETHOD(GetTaxNumber)(BSTR* v) override { return m_customer->AddressText(L"cs_TaxNumber", v); }
  STDMETHOD(PutTaxNumber)(BSTR v) override { return m_customer->PutAddressText(L"cs_TaxNumber", v); }

 private:
  IFlgItemPtr m_owner;  // keeps the customer (and its row) alive
  CHostCustomer* m_customer;
};

// The customer's phone numbers as a list of texts: the main phone and the further ones.
class CHostPhoneList : public IAuctionImages {
 public:
  explicit CHostPhoneList(CHostCustomer* owner) : m_owner(static_cast<IFlgItem*>(owner)), m_customer(owner) {}
  virtual ~CHostPhoneList() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IAuctionImages)) return static_cast<IAuctionImages*>(this);
    return nullptr;
  }
  STDMETHOD(Contains)(VARIANT phone, VARIANT_BOOL* contains) override {
    if (!contains) return E_POINTER;
    *contains = VARIANT_FALSE;
    std::wstring text;
    if (!Text(phone, text)) return E_INVALIDARG;
    return platform::com::Boundary([&] {
      *contains = m_customer->HasPhone(text) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  STDMETHOD(Add)(VARIANT phone) override {
    std::wstring text;
    if (!Text(phone, text)) return E_INVALIDARG;
    return platform::com::Boundary([&] {
      m_customer->AddPhone(text);
      return S_OK;
    });
  }
  // The stored phones stay: the list only grows.
  STDMETHOD(Clear)() override { return E_NOTIMPL; }

 private:
  static bool Text(const VARIANT& value, std::wstring& text) {
    if (value.vt != VT_BSTR) return false;
    text = value.bstrVal ? value.bstrVal : L"";
    return true;
  }
  IFlgItemPtr m_owner;  // keeps the customer alive
  CHostCustomer* m_customer;
};

}  // namespace

CHostCustomer::CHostCustomer() : CHostItem(ItemClass{__uuidof(HxCustomer), L"cs__Customer", L"cs_Id", {}}) {}

void* CHostCustomer::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IHxCustomer)) return static_cast<IHxCustomer*>(this);
  return CHostItem::FlgGetInterface(iid);
}

STDMETHODIMP CHostCustomer::Load(IFlgDataFactory* factory, VARIANT id) {
  m_phones.clear();
  m_storedPhones = 0;
  m_phonesRead = false;
  return CHostItem::Load(factory, id);
}

STDMETHODIMP CHostCustomer::Check() {
  HRESULT hr = CHostItem::Check();
  if (hr != S_OK && hr != E_INVALIDARG) return hr;
  return platform::com::Boundary([&] {
    if (TextOf(Column(L"cs_Name")->GetValue()).IsEmpty() && TextOf(Column(L"cs_Surname")->GetValue()).IsEmpty() &&
        TextOf(Column(L"cs_Nick")->GetValue()).IsEmpty())
      AddError(L"Nie podano nazwy ani nicku klienta.");
    for (const std::wstring& phone : m_phones)
      if (phone.size() > 50) AddError(L"Numer telefonu " + phone + L" jest dłuższy niż 50 znaków.");
    return ErrorCount() == 0 ? S_OK : E_INVALIDARG;
  });
}

HRESULT CHostCustomer::PutAddressText(const wchar_t* column, BSTR value) {
  return PutValue(column, _variant_t(value ? value : L""));
}

void CHostCustomer::ReadPhones() {
  if (m_phonesRead) return;
  m_phonesRead = true;
  if (Key().vt != VT_I4) return;
  CString sql;
  sql.Format(L"SELECT cp_Number FROM cs_CustomerPhone WHERE cp_CustomerId = %ld ORDER BY cp_Id", Key().lVal);
  _RecordsetPtr rs;
  const HRESULT hr = OpenRS(rs, Connection(), sql, adOpenStatic, adLockReadOnly);
  if (FAILED(hr)) _com_issue_error(hr);
  std::vector<std::wstring> stored;
  for (; !rs->GetadoEOF(); rs->MoveNext())
    stored.push_back(TextOf(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()).GetString());
  m_storedPhones = stored.size();
  m_phones.insert(m_phones.begin(), stored.begin(), stored.end());
}

bool CHostCustomer::HasPhone(const std::wstring& phone) {
  const std::wstring wanted = Trimmed(phone.c_str());
  if (wanted.empty()) return false;
  if (TextOf(Column(L"cs_Phone")->GetValue()).GetString() == wanted) return true;
  ReadPhones();
  for (const std::wstring& known : m_phones)
    if (known == wanted) return true;
  return false;
}

void CHostCustomer::AddPhone(const std::wstring& phone) {
  const std::wstring number = Trimmed(phone.c_str());
  if (number.empty() || HasPhone(number)) return;
  m_phones.push_back(number);
}

void CHostCustomer::BeforeWrite(bool) {
  // Without a surname the customer keeps the empty text, never NULL: SQL that joins the name and
  // the surname (cs_Name + ' ' + cs_Surname) then gives the name.
  FieldPtr surname = Column(L"cs_Surname");
  const _variant_t value = surname->GetValue();
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) surname->PutValue(_variant_t(L""));
}

void CHostCustomer::AfterWrite(bool inserting) {
  // A customer just inserted has no stored phones (a new one is never read for them either).
  if (inserting) m_phonesRead = true;
  ReadPhones();
  if (m_storedPhones >= m_phones.size()) return;
  const LONG customer = Key().lVal;
  const LONG first =
      ReserveKeys(Connection(), L"cs_CustomerPhone", static_cast<LONG>(m_phones.size() - m_storedPhones), L"cp_Id");
  for (size_t i = m_storedPhones; i < m_phones.size(); ++i) {
    CString insert;
    insert.Format(L"INSERT INTO cs_CustomerPhone (cp_Id, cp_CustomerId, cp_Number) VALUES (%ld, %ld, N'%s')",
                  first + static_cast<LONG>(i - m_storedPhones), customer, hxSqlQuote(m_phones[i].c_str()).GetString());
    Connection()->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
  }
  m_storedPhones = m_phones.size();
}

STDMETHODIMP CHostCustomer::GetAddress(IUnknown** address) {
  if (!address) return E_POINTER;
  *address = nullptr;
  return platform::com::Boundary([&] {
    Column(L"cs_Id");  // a customer without its row has no address
    return CFlgComObject<CHostCustomerAddress>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(address), this);
  });
}

STDMETHODIMP CHostCustomer::GetPhones(IUnknown** phones) {
  if (!phones) return E_POINTER;
  *phones = nullptr;
  return platform::com::Boundary([&] {
    Column(L"cs_Id");  // a customer without its row has no phones
    return CFlgComObject<CHostPhoneList>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(phones), this);
  });
}

STDMETHODIMP CHostCustomer::PutEmail(BSTR email, LONG) {
  const std::wstring text = Trimmed(email);
  return PutValue(L"cs_Email", text.empty() ? NullValue() : _variant_t(text.c_str()));
}

STDMETHODIMP CHostCustomer::PutPhone(BSTR phone, LONG flags) {
  return platform::com::Boundary([&] {
    const std::wstring text = Trimmed(phone);
    const std::wstring earlier = TextOf(Column(L"cs_Phone")->GetValue()).GetString();
    if (flags != 0 && !earlier.empty() && earlier != text) {
      ReadPhones();
      bool listed = false;
      for (const std::wstring& known : m_phones) listed = listed || known == earlier;
      if (!listed) m_phones.push_back(earlier);
    }
    Column(L"cs_Phone")->PutValue(text.empty() ? NullValue() : _variant_t(text.c_str()));
    return S_OK;
  });
}

STDMETHODIMP CHostCustomer::GetDisplayName(BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  return platform::com::Boundary([&] {
    CString shown = TextOf(Column(L"cs_Name")->GetValue());
    const CString surname = TextOf(Column(L"cs_Surname")->GetValue());
    if (!surname.IsEmpty()) shown += (shown.IsEmpty() ? L"" : L" ") + surname;
    if (shown.IsEmpty()) shown = TextOf(Column(L"cs_Nick")->GetValue());
    if (shown.IsEmpty()) shown.Format(L"Klient nr %ld", Key().vt == VT_I4 ? Key().lVal : LONG{0});
    *name = SysAllocString(shown);
    return S_OK;
  });
}

STDMETHODIMP CHostCustomer::GetServiceUserId(VARIANT* id) {
  if (!id) return E_POINTER;
  VariantInit(id);
  return platform::com::Boundary([&] {
    const _variant_t value = Column(L"cs_ExtServiceId")->GetValue();
    if (IsNullValue(value)) {
      id->vt = VT_NULL;
      return S_OK;
    }
    _variant_t wide;
    HRESULT hr = VariantChangeType(&wide, &value, 0, VT_I8);
    if (FAILED(hr)) return hr;
    if (wide.llVal >= INT32_MIN && wide.llVal <= INT32_MAX) {
      id->vt = VT_I4;
      id->lVal = static_cast<LONG>(wide.llVal);
    } else {
      id->vt = VT_I8;
      id->llVal = wide.llVal;
    }
    return S_OK;
  });
}

}  // namespace host
