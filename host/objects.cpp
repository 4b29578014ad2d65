// The host's auction, package and connection-settings objects and the registration
// lookup.
#include "host/objects.h"

#include "host/host.h"

namespace host {
namespace {

template <class T>
CFlgClassRegistration Register(REFCLSID clsid) {
  return CFlgClassRegistration(clsid, CFlgComClassFactory::For<T>());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Comment record of a transaction

// Its own row is the transaction's key alone: the record reads and writes only the comment rows.
CHostTransactionComment::CHostTransactionComment()
    : CHostItem(ItemClass{__uuidof(HxTransactionComment), L"tr__Transaction", L"tr_Id", {}, L"tr_Id"}) {}

void* CHostTransactionComment::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(ITransactionComment)) return static_cast<ITransactionComment*>(this);
  return CHostItem::FlgGetInterface(iid);
}

// A comment record belongs to a stored transaction: it is loaded, never made new.
STDMETHODIMP CHostTransactionComment::InitNew(IFlgDataFactory*, VARIANT) { return E_NOTIMPL; }

STDMETHODIMP CHostTransactionComment::Load(IFlgDataFactory* factory, VARIANT id) {
  m_comments = nullptr;
  HRESULT hr = CHostItem::Load(factory, id);
  if (FAILED(hr)) return hr;
  return platform::com::Boundary([&] {
    CString sql;
    // The service's id of the comment given is the data set's tc_ExternalId.
    sql.Format(L"SELECT tc_Id, tc_TransId, tc_ReceivedComment, tc_ReceivedDate, tc_ReceivedScore, tc_SentComment, "
               L"tc_SentDate, tc_SentScore, tc_SentExternalId AS tc_ExternalId FROM tr_Comment WHERE tc_TransId = %ld",
               id.lVal);
    _RecordsetPtr rs;
    const HRESULT opened = OpenRS(rs, Connection(), sql, adOpenStatic, adLockBatchOptimistic);
    if (FAILED(opened)) return opened;
    m_comments = rs;
    return S_OK;
  });
}

STDMETHODIMP CHostTransactionComment::GetDataSet(LONG index, IUnknown** recordset) {
  if (index != 1) return CHostItem::GetDataSet(index, recordset);
  if (!recordset) return E_INVALIDARG;
  *recordset = nullptr;
  if (!m_comments) return E_FAIL;
  return m_comments->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(recordset));
}

HRESULT CHostTransactionComment::PutComment(const wchar_t* column, const _variant_t& value) {
  if (!m_comments) return E_UNEXPECTED;
  return platform::com::Boundary([&] {
    if (m_comments->GetRecordCount() == 0) {
      m_comments->AddNew();
      m_comments->GetFields()->GetItem(_variant_t(L"tc_TransId"))->PutValue(Key());
    } else if (m_comments->GetadoEOF() || m_comments->GetBOF()) {
      m_comments->MoveFirst();
    }
    m_comments->GetFields()->GetItem(_variant_t(column))->PutValue(value);
    return S_OK;
  });
}

namespace {
_variant_t Text(BSTR text) { return text ? _variant_t(text) : NullValue(); }
_variant_t Date(DATE date) {
  _variant_t v;
  v.vt = VT_DATE;
  v.date = date;
  return v;
}
}  // namespace

STDMETHODIMP CHostTransactionComment::PutReceivedComment(BSTR comment) {
  return PutComment(L"tc_ReceivedComment", Text(comment));
}
STDMETHODIMP CHostTransactionComment::PutReceivedDate(DATE date) { return PutComment(L"tc_ReceivedDate", Date(date)); }
STDMETHODIMP CHostTransactionComment::PutReceivedScore(LONG score) {
  return PutComment(L"tc_ReceivedScore", _variant_t(score));
}
STDMETHODIMP CHostTransactionComment::PutSentComment(BSTR comment) { return PutComment(L"tc_SentComment", Text(comment)); }
STDMETHODIMP CHostTransactionComment::PutSentDate(DATE date) { return PutComment(L"tc_SentDate", Date(date)); }
STDMETHODIMP CHostTransactionComment::PutSentScore(LONG score) { return PutComment(L"tc_SentScore", _variant_t(score)); }
STDMETHODIMP CHostTransactionComment::PutSentExternalId(VARIANT id) {
  _variant_t value(id);
  if (IsNullValue(value) || value.vt == VT_ERROR) return PutComment(L"tc_ExternalId", NullValue());
  const HRESULT hr = VariantChangeType(&value, &value, 0, VT_I4);
  if (FAILED(hr)) return hr;
  return PutComment(L"tc_ExternalId", value);
}

void CHostTransactionComment::AfterWrite(bool) {
  if (!m_comments || m_comments->GetRecordCount() == 0) return;
  m_comments->MoveFirst();
  FieldsPtr f = m_comments->GetFields();
  if (IsNullValue(f->GetItem(_variant_t(L"tc_Id"))->GetValue()))
    f->GetItem(_variant_t(L"tc_Id"))->PutValue(_variant_t(ReserveKeys(Connection(), L"tr_Comment", 1, L"tc_Id")));
  m_comments->UpdateBatch(adAffectAll);
}

// ---------------------------------------------------------------------------------------------
// Auction

CHostAuction::CHostAuction() : CHostItem(ItemClass{__uuidof(HxAuction), L"au__Auction", L"au_Id", {}}) {}

void* CHostAuction::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IHxAuction)) return static_cast<IHxAuction*>(this);
  return CHostItem::FlgGetInterface(iid);
}

STDMETHODIMP CHostAuction::GetNumber(BSTR* number) { return GetText(L"au_Number", number); }
STDMETHODIMP CHostAuction::GetServiceId(LONG* service) { return GetLong(L"au_SvcProvId", service); }

// ---------------------------------------------------------------------------------------------
// Package

CHostPackage::CHostPackage() : CHostItem(ItemClass{__uuidof(HxPackage), L"pc__Package", L"pc_Id", {}}) {}

void* CHostPackage::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IHxPackage)) return static_cast<IHxPackage*>(this);
  return CHostItem::FlgGetInterface(iid);
}

STDMETHODIMP CHostPackage::Load(IFlgDataFactory* factory, VARIANT id) {
  HRESULT hr = CHostItem::Load(factory, id);
  if (FAILED(hr)) return hr;
  return platform::com::Boundary([&] {
    CString sql;
    sql.Format(L"SELECT pi_Name, pi_Quantity, pi_Price FROM pc_PackageItem WHERE pi_PackageId = %ld "
               L"ORDER BY pi_Order, pi_Id",
               id.lVal);
    _RecordsetPtr rs;
    HRESULT opened = OpenRS(rs, Connection(), sql, adOpenStatic, adLockReadOnly);
    if (FAILED(opened)) return opened;
    m_items.clear();
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      FieldsPtr f = rs->GetFields();
      Item item;
      item.name = TextOf(f->GetItem(_variant_t(L"pi_Name"))->GetValue()).GetString();
      const _variant_t quantity = f->GetItem(_variant_t(L"pi_Quantity"))->GetValue();
      item.quantity = IsNullValue(quantity) ? 0 : static_cast<LONG>(quantity);
      const _variant_t price = f->GetItem(_variant_t(L"pi_Price"))->GetValue();
      if (!IsNullValue(price)) item.price = static_cast<CY>(price);
      m_items.push_back(item);
    }
    return S_OK;
  });
}

STDMETHODIMP CHostPackage::GetChargePresent(VARIANT_BOOL* present) {
  if (!present) return E_POINTER;
  return platform::com::Boundary([&] {
    *present = IsNullValue(Column(L"pc_Charge")->GetValue()) ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
  });
}

STDMETHODIMP CHostPackage::GetCharge(CY* charge) { return GetMoney(L"pc_Charge", charge); }

STDMETHODIMP CHostPackage::GetItemCount(LONG* count) {
  if (!count) return E_POINTER;
  *count = static_cast<LONG>(m_items.size());
  return S_OK;
}

STDMETHODIMP CHostPackage::GetItemName(LONG index, BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  if (index < 0 || index >= static_cast<LONG>(m_items.size())) return E_INVALIDARG;
  *name = SysAllocString(m_items[static_cast<size_t>(index)].name.c_str());
  return S_OK;
}

STDMETHODIMP CHostPackage::GetItemPrice(LONG index, CY* price) {
  if (!price) return E_POINTER;
  if (index < 0 || index >= static_cast<LONG>(m_items.size())) return E_INVALIDARG;
  *price = m_items[static_cast<size_t>(index)].price;
  return S_OK;
}

STDMETHODIMP CHostPackage::GetItemQuantity(LONG index, LONG* quantity) {
  if (!quantity) return E_POINTER;
  if (index < 0 || index >= static_cast<LONG>(m_items.size())) return E_INVALIDARG;
  *quantity = m_items[static_cast<size_t>(index)].quantity;
  return S_OK;
}

STDMETHODIMP CHostPackage::Recompute() {
  CY total{};
  for (const Item& item : m_items) total.int64 += item.price.int64 * item.quantity;
  _variant_t value;
  value.vt = VT_CY;
  value.cyVal = total;
  return PutValue(L"pc_Value", value);
}

STDMETHODIMP CHostPackage::GetSendDate(VARIANT* date) { return GetValue(L"pc_SendDate", date); }
STDMETHODIMP CHostPackage::GetSymbol(BSTR* symbol) { return GetText(L"pc_Symbol", symbol); }
STDMETHODIMP CHostPackage::GetChargeCurrency(BSTR* currency) { return GetText(L"pc_ChargeCurrency", currency); }
STDMETHODIMP CHostPackage::GetTrackingLink(BSTR* link) { return GetText(L"pc_TrackingLink", link); }
STDMETHODIMP CHostPackage::GetModified(VARIANT_BOOL* modified) { return GetBool(L"pc_StatusDataModified", modified); }
STDMETHODIMP CHostPackage::PutModified(LONG modified) { return PutBool(L"pc_StatusDataModified", modified != 0); }

// ---------------------------------------------------------------------------------------------
// Connection settings

CHostConnectionSettings::CHostConnectionSettings()
    : CHostItem(ItemClass{__uuidof(HxConnectionSettings), L"kd_ConnectionSettings", L"cn_Id", {}}) {}

void* CHostConnectionSettings::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IHxConnectionSettings)) return static_cast<IHxConnectionSettings*>(this);
  return CHostItem::FlgGetInterface(iid);
}

STDMETHODIMP CHostConnectionSettings::GetProxyHost(BSTR* host) { return GetText(L"cn_ProxyHost", host); }
STDMETHODIMP CHostConnectionSettings::GetProxyPort(LONG* port) { return GetLong(L"cn_ProxyPort", port); }
STDMETHODIMP CHostConnectionSettings::GetProxyUser(BSTR* user) { return GetText(L"cn_ProxyUser", user); }
STDMETHODIMP CHostConnectionSettings::GetProxyPassword(BSTR* password) { return GetText(L"cn_ProxyPassword", password); }
STDMETHODIMP CHostConnectionSettings::GetUseSystemSettings(VARIANT_BOOL* use) {
  if (!use) return E_POINTER;
  return platform::com::Boundary([&] {
    const _variant_t value = Column(L"cn_UseSystem")->GetValue();
    *use = IsNullValue(value) || static_cast<bool>(value) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}

// ---------------------------------------------------------------------------------------------
// Registration lookup

void* CHostRegistrationTable::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxRegistrationTable)) return static_cast<IHxRegistrationTable*>(this);
  return nullptr;
}

STDMETHODIMP CHostRegistrationTable::GetRecord(VARIANT account, IUnknown** fields) {
  if (!fields) return E_POINTER;
  *fields = nullptr;
  _variant_t id;
  if (FAILED(VariantChangeType(&id, &account, 0, VT_I4))) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    CString sql;
    sql.Format(L"SELECT reg_SvcUserId AS user_id, reg_SvcProvId AS service_id, sz_RegistrationId AS registration_id "
               L"FROM reg__Registration LEFT JOIN kd_SellerZoneAccount ON sz_RegId = reg_Id WHERE reg_Id = %ld",
               id.lVal);
    _RecordsetPtr rs;
    const HRESULT hr = OpenRS(rs, m_connection, sql, adOpenStatic, adLockReadOnly);
    if (FAILED(hr)) return hr;
    if (rs->GetadoEOF()) {
      CString text;
      text.Format(L"Nie ma konta nr %ld.", id.lVal);
      return platform::com::ReportError(E_INVALIDARG, text, L"Vantor.Host");
    }
    rs->PutRefActiveConnection(nullptr);
    m_record = rs;
    FieldsPtr record = rs->GetFields();
    return record->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(fields));
  });
}

std::vector<CFlgClassRegistration> RegisterBusinessObjectClasses() {
  std::vector<CFlgClassRegistration> classes;
  classes.push_back(Register<CHostTransaction>(__uuidof(HxTransaction)));
  classes.push_back(Register<CHostCustomer>(__uuidof(HxCustomer)));
  classes.push_back(Register<CHostTransactionComment>(__uuidof(HxTransactionComment)));
  classes.push_back(Register<CHostAuction>(__uuidof(HxAuction)));
  classes.push_back(Register<CHostPackage>(__uuidof(HxPackage)));
  classes.push_back(Register<CHostConnectionSettings>(__uuidof(HxConnectionSettings)));
  return classes;
}

}  // namespace host
