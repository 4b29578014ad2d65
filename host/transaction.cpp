// The host's transaction object, its addresses, its ERP document link and its item positions.
#include <vector>

#include "host/host.h"
#include "host/objects.h"
#include "shared/sqltools.h"

namespace host {
namespace {

constexpr wchar_t kAddressColumns[] = L"ta_Id, ta_TransId, ta_Kind, ta_Name, ta_FirstLine, ta_SecondLine, ta_ZipCode, "
                                      L"ta_City, ta_Country, ta_Company, ta_TaxNumber, ta_SkipBilling";


_variant_t NowDate() {
  _variant_t v;
  v.vt = VT_DATE;
  v.date = KdNow();
  return v;
}

// A setting that is on: "1", "tak" or "true" (any case).
bool IsOn(const _variant_t& value) {
  if (IsNullValue(value)) return false;
  CString text(static_cast<const wchar_t*>(_bstr_t(value)));
  text.Trim();
  return text == L"1" || text.CompareNoCase(L"tak") == 0 || text.CompareNoCase(L"true") == 0;
}

// A VARIANT argument as the column takes it: empty and NULL store NULL.
_variant_t Stored(const VARIANT& value) {
  if (value.vt == VT_EMPTY || value.vt == VT_NULL || value.vt == VT_ERROR) return NullValue();
  return _variant_t(value);
}

// One address (kind 3 billing/document, 2 delivery) of a transaction: a row of its tr_Address
// rows, added when a part is first written.
class CHostTransactionAddress : public IHxAddress {
 public:
  CHostTransactionAddress(CHostTransaction* owner, LONG kind)
      : m_owner(static_cast<IFlgItem*>(owner)), m_transaction(owner), m_kind(kind) {}
  virtual ~CHostTransactionAddress() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxAddress)) return static_cast<IHxAddress*>(this);
    return nullptr;
  }

  STDMETHOD(GetSkipBilling)(VARIANT_BOOL* skip) override {
    if (!skip) return E_POINTER;
    return platform::com::Boundary([&] {
      _RecordsetPtr rs = Row(false);
      *skip = rs && static_cast<bool>(NotNull(rs->GetFields()->GetItem(_variant_t(L"ta_SkipBilling"))->GetValue()))
                  ? VARIANT_TRUE
                  : VARIANT_FALSE;
      return S_OK;
    });
  }
  STDMETHOD(GetName)(BSTR* v) override { return Get(L"ta_Name", v); }
  STDMETHOD(PutName)(BSTR v) override { return Put(L"ta_Name", v); }
  STDMETHOD(GetFirstLine)(BSTR* v) override { return Get(L"ta_FirstLine", v); }
  STDMETHOD(PutFirstLine)(BSTR v) override { return Put(L"ta_FirstLine", v); }
  STDMETHOD(GetSecondLine)(BSTR* v) override { return Get(L"ta_SecondLine", v); }
  STDMETHOD(PutSecondLine)(BSTR v) override { return Put(L"ta_SecondLine", v); }
  STDMETHOD(GetZipCode)(BSTR* v) override { return Get(L"ta_ZipCode", v); }
  STDMETHOD(PutZipCode)(BSTR v) override { return Put(L"ta_ZipCode", v); }
  STDMETHOD(GetCity)(BSTR* v) override { return Get(L"ta_City", v); }
  STDMETHOD(PutCity)(BSTR v) override { return Put(L"ta_City", v); }
  STDMETHOD(GetCountry)(BSTR* v) override { return Get(L"ta_Country", v); }
  STDMETHOD(PutCountry)(BSTR v) override { return Put(L"ta_Country", v); }
  STDMETHOD(GetCompany)(BSTR* v) override { return Get(L"ta_Company", v); }
  STDMETHOD(PutCompany)(BSTR v) override { return Put(L"ta_Company", v); }
  STDMETHOD(GetTaxNumber)(BSTR* v) override { return Get(L"ta_TaxNumber", v); }
  STDMETHOD(PutTaxNumber)(BSTR v) override { return Put(L"ta_TaxNumber", v); }

 private:
  static _variant_t NotNull(const _variant_t& v) { return IsNullValue(v) ? _variant_t(false) : v; }

  // The recordset positioned on this address's row; null (or a new row when `add`) without one.
  _RecordsetPtr Row(bool add) {
    _RecordsetPtr rs = m_transaction->Addresses();
    if (rs->GetRecordCount() > 0) {
      for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
        const _variant_t kind = rs->GetFields()->GetItem(_variant_t(L"ta_Kind"))->GetValue();
        if (!IsNullValue(kind) && static_cast<LONG>(kind) == m_kind) return rs;
      }
    }
    if (!add) return nullptr;
    rs->AddNew();
    rs->GetFields()->GetItem(_variant_t(L"ta_Kind"))->PutValue(_variant_t(m_kind));
    rs->GetFields()->GetItem(_variant_t(L"ta_SkipBilling"))->PutValue(_variant_t(false));
    return rs;
  }
  HRESULT Get(const wchar_t* column, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return platform::com::Boundary([&] {
      _RecordsetPtr rs = Row(false);
      const _variant_t value = rs ? rs->GetFields()->GetItem(_variant_t(column))->GetValue() : NullValue();
      *out = SysAllocString(IsNullValue(value) ? L"" : static_cast<const wchar_t*>(_bstr_t(value)));
      return S_OK;
    });
  }
  HRESULT Put(const wchar_t* column, BSTR value) {
    return platform::com::Boundary([&] {
      Row(true)->GetFields()->GetItem(_variant_t(column))->PutValue(_variant_t(value ? value : L""));
      return S_OK;
    });
  }

  IFlgItemPtr m_owner;  // keeps the transaction (and its rows) alive
  CHostTransaction* m_transaction;
  LONG m_kind;
};

// The ERP document of a transaction as it stood when asked for.
class CHostDocumentLink : public IHxDocumentLink {
 public:
  CHostDocumentLink(_variant_t id, _variant_t kind) : m_id(std::move(id)), m_kind(std::move(kind)) {}
  virtual ~CHostDocumentLink() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxDocumentLink)) return static_cast<IHxDocumentLink*>(this);
    return nullptr;
  }
  STDMETHOD(GetDocumentId)(VARIANT* id) override { return Copy(m_id, id); }
  STDMETHOD(GetDocumentKind)(VARIANT* kind) override { return Copy(m_kind, kind); }

 private:
  static HRESULT Copy(const _variant_t& from, VARIANT* to) {
    if (!to) return E_POINTER;
    VariantInit(to);
    return VariantCopy(to, &from);
  }
  _variant_t m_id, m_kind;
};

// The keys of a transaction's item positions, in their order.
class CHostPositionCursor : public IHxPositionCursor {
 public:
  explicit CHostPositionCursor(std::vector<LONG> keys) : m_keys(std::move(keys)) {}
  virtual ~CHostPositionCursor() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxPositionCursor)) return static_cast<IHxPositionCursor*>(this);
    return nullptr;
  }
  STDMETHOD(MoveFirst)() override {
    m_at = 0;
    return S_OK;
  }
  STDMETHOD(IsEOF)(VARIANT_BOOL* eof) override {
    if (!eof) return E_POINTER;
    *eof = m_at >= m_keys.size() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHOD(MoveNext)() override {
    if (m_at < m_keys.size()) ++m_at;
    return S_OK;
  }
  STDMETHOD(GetKey)(VARIANT* key) override {
    if (!key) return E_POINTER;
    VariantInit(key);
    if (m_at >= m_keys.size()) return static_cast<HRESULT>(0x800A0BCDu);  // no current position
    key->vt = VT_I4;
    key->lVal = m_keys[m_at];
    return S_OK;
  }

 private:
  std::vector<LONG> m_keys;
  size_t m_at = 0;
};

template <class T, class... Args>
HRESULT NewObject(IUnknown** out, Args&&... args) {
  return CFlgComObject<T>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(out), std::forward<Args>(args)...);
}

_RecordsetPtr OpenRows(const _ConnectionPtr& connection, const CString& sql, LockTypeEnum lock) {
  _RecordsetPtr rs;
  const HRESULT hr = OpenRS(rs, connection, sql, adOpenStatic, lock);
  if (FAILED(hr)) _com_issue_error(hr);
  return rs;
}

}  // namespace

CHostTransaction::CHostTransaction()
    : CHostItem(ItemClass{__uuidof(HxTransaction), L"tr__Transaction", L"tr_Id", {L"tr_RegId"}}) {}

void* CHostTransaction::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IHxTransaction)) return static_cast<IHxTransaction*>(this);
  return CHostItem::FlgGetInterface(iid);
}

_RecordsetPtr CHostTransaction::Addresses() {
  if (!m_addresses) {
    const _variant_t& key = Key();
    CString sql;
    if (key.vt == VT_I4)
      sql.Format(L"SELECT %s FROM tr_Address WHERE ta_TransId = %ld ORDER BY ta_Kind", kAddressColumns, key.lVal);
    else
      sql.Format(L"SELECT %s FROM tr_Address WHERE 1 = 0", kAddressColumns);
    m_addresses = OpenRows(Connection(), sql, adLockBatchOptimistic);
  }
  return m_addresses;
}

STDMETHODIMP CHostTransaction::Check() {
  HRESULT hr = CHostItem::Check();
  if (FAILED(hr)) return hr;
  return platform::com::Boundary([&] {
    if (IsNullValue(Column(L"tr_DeliveryMethod")->GetValue())) return S_OK;
    // A method other than collection in person needs the buyer's address.
    const _variant_t customer = Column(L"tr_CustomerId")->GetValue();
    bool hasAddress = false;
    if (!IsNullValue(customer)) {
      CString sql;
      sql.Format(L"SELECT cs_Street, cs_Postcode, cs_City FROM cs__Customer WHERE cs_Id = %ld", static_cast<LONG>(customer));
      _RecordsetPtr rs = OpenRows(Connection(), sql, adLockReadOnly);
      if (!rs->GetadoEOF()) {
        hasAddress = true;
        for (const wchar_t* column : {L"cs_Street", L"cs_Postcode", L"cs_City"}) {
          hasAddress = hasAddress && !TextOf(rs->GetFields()->GetItem(_variant_t(column))->GetValue()).IsEmpty();
        }
      }
    }
    if (hasAddress) return S_OK;
    AddError(L"Wybrany sposób dostawy wymaga adresu, którego kupujący nie podał.");
    return HX_E_DELIVERY_NEEDS_ADDRESS;
  });
}

void CHostTransaction::BeforeWrite(bool inserting) {
  if (inserting && IsNullValue(Column(L"tr_CreationDate")->GetValue())) Column(L"tr_CreationDate")->PutValue(NowDate());
  Column(L"tr_LastModified")->PutValue(NowDate());
}

void CHostTransaction::AfterWrite(bool inserting) {
  const LONG id = Key().lVal;
  if (m_addresses && m_addresses->GetRecordCount() > 0) {
    for (m_addresses->MoveFirst(); !m_addresses->GetadoEOF(); m_addresses->MoveNext()) {
      FieldsPtr f = m_addresses->GetFields();
      if (IsNullValue(f->GetItem(_variant_t(L"ta_Id"))->GetValue()))
        f->GetItem(_variant_t(L"ta_Id"))->PutValue(_variant_t(ReserveKeys(Connection(), L"tr_Address", 1, L"ta_Id")));
      f->GetItem(_variant_t(L"ta_TransId"))->PutValue(_variant_t(id));
    }
    m_addresses->UpdateBatch(adAffectAll);
  }
  if (!m_positions.empty()) {
    // A transaction just inserted has no positions yet; one stored before goes on after its last.
    LONG order = 0;
    if (!inserting) {
      CString sql;
      sql.Format(L"SELECT ISNULL(MAX(tp_Order), 0) FROM tr_Position WHERE tp_TransId = %ld", id);
      _RecordsetPtr last = OpenRows(Connection(), sql, adLockReadOnly);
      order = static_cast<LONG>(last->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
    }
    const _variant_t name = Column(L"tr_Name")->GetValue();
    _RecordsetPtr rows = OpenRows(Connection(), L"SELECT * FROM tr_Position WHERE 1 = 0", adLockBatchOptimistic);
    LONG key = ReserveKeys(Connection(), L"tr_Position", static_cast<LONG>(m_positions.size()), L"tp_Id");
    for (const NewPosition& position : m_positions) {
      rows->AddNew();
      FieldsPtr f = rows->GetFields();
      f->GetItem(_variant_t(L"tp_Id"))->PutValue(_variant_t(key++));
      f->GetItem(_variant_t(L"tp_TransId"))->PutValue(_variant_t(id));
      f->GetItem(_variant_t(L"tp_Order"))->PutValue(_variant_t(++order));
      f->GetItem(_variant_t(L"tp_ProductId"))->PutValue(position.product);
      // A product's position is named as the transaction is.
      f->GetItem(_variant_t(L"tp_Name"))->PutValue(position.product.vt == VT_I4 ? name : _variant_t(position.name.c_str()));
      _variant_t quantity;
      quantity.vt = VT_CY;
      quantity.cyVal.int64 = static_cast<LONGLONG>(position.quantity) * 10000;
      f->GetItem(_variant_t(L"tp_Quantity"))->PutValue(quantity);
      _variant_t price;
      price.vt = VT_CY;
      price.cyVal = position.price;
      f->GetItem(_variant_t(L"tp_Price"))->PutValue(price);
    }
    rows->UpdateBatch(adAffectAll);
    m_positions.clear();
  }
}

void CHostTransaction::BeforeDelete(const _ConnectionPtr& connection, LONG id) {
  // A deleted transaction's status page is still to be closed: it stays known by its page, its
  // account and the transaction it belonged to.
  CString sql;
  sql.Format(L"SELECT tr_StatusPageId, tr_RegId FROM tr__Transaction WHERE tr_Id = %ld", id);
  _RecordsetPtr rs = OpenRows(connection, sql, adLockReadOnly);
  if (rs->GetadoEOF()) return;
  const _variant_t page = rs->GetFields()->GetItem(_variant_t(L"tr_StatusPageId"))->GetValue();
  const _variant_t account = rs->GetFields()->GetItem(_variant_t(L"tr_RegId"))->GetValue();
  if (IsNullValue(page)) return;
  CString accountText(L"NULL");
  if (!IsNullValue(account)) accountText.Format(L"%ld", static_cast<LONG>(account));
  CString insert;
  insert.Format(L"INSERT INTO tr_TransStatus (ts_Id, ts_TransId, ts_TransRegId, ts_PageId, ts_ClosePage) "
                L"VALUES (%ld, %ld, %s, %ld, 1)",
                ReserveKeys(connection, L"tr_TransStatus", 1, L"ts_Id"), id, accountText.GetString(),
                static_cast<LONG>(page));
  connection->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
}

STDMETHODIMP CHostTransaction::GetIsGroup(VARIANT_BOOL* group) { return GetBool(L"tr_Group", group); }
STDMETHODIMP CHostTransaction::GetPayment(CY* amount) { return GetMoney(L"tr_Payment", amount); }
STDMETHODIMP CHostTransaction::GetCustomerId(LONG* customer) { return GetLong(L"tr_CustomerId", customer); }
STDMETHODIMP CHostTransaction::GetAddressLocked(VARIANT_BOOL* locked) { return GetBool(L"tr_AddressLocked", locked); }
STDMETHODIMP CHostTransaction::GetAllLocked(VARIANT_BOOL* locked) { return GetBool(L"tr_AllLocked", locked); }
STDMETHODIMP CHostTransaction::GetRemittanceDate(VARIANT* date) { return GetValue(L"tr_RemittanceDate", date); }
STDMETHODIMP CHostTransaction::GetPaid(VARIANT_BOOL* paid) { return GetBool(L"tr_Paid", paid); }
STDMETHODIMP CHostTransaction::GetSentAll(VARIANT_BOOL* sent) { return GetBool(L"tr_SentAll", sent); }
STDMETHODIMP CHostTransaction::GetItemsSent(VARIANT_BOOL* sent) { return GetBool(L"tr_ItemsSent", sent); }
STDMETHODIMP CHostTransaction::GetCompletionState(LONG* state) { return GetLong(L"tr_Complete", state); }
STDMETHODIMP CHostTransaction::GetBaseCurrency(BSTR* currency) { return GetText(L"tr_Currency", currency); }
STDMETHODIMP CHostTransaction::GetPaymentCurrency(BSTR* currency) { return GetText(L"tr_ValueCurrency", currency); }
STDMETHODIMP CHostTransaction::GetAccountId(LONG* account) { return GetLong(L"tr_RegId", account); }

STDMETHODIMP CHostTransaction::GetAddress(LONG kind, IUnknown** address) {
  if (!address) return E_POINTER;
  *address = nullptr;
  if (kind != 2 && kind != 3) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    Addresses();
    return NewObject<CHostTransactionAddress>(address, this, kind);
  });
}

STDMETHODIMP CHostTransaction::GetDocumentLink(IUnknown** link) {
  if (!link) return E_POINTER;
  *link = nullptr;
  return platform::com::Boundary([&] {
    _variant_t id = Column(L"tr_ErpDocumentId")->GetValue();
    _variant_t kind = Column(L"tr_ErpDocumentKind")->GetValue();
    if (id.vt == VT_EMPTY) id = NullValue();
    if (kind.vt == VT_EMPTY) kind = NullValue();
    return NewObject<CHostDocumentLink>(link, id, kind);
  });
}

STDMETHODIMP CHostTransaction::GetPositions(IUnknown** positions) {
  if (!positions) return E_POINTER;
  *positions = nullptr;
  return platform::com::Boundary([&] {
    std::vector<LONG> keys;
    if (Key().vt == VT_I4) {
      CString sql;
      sql.Format(L"SELECT tp_Id FROM tr_Position WHERE tp_TransId = %ld ORDER BY tp_Order, tp_Id", Key().lVal);
      _RecordsetPtr rs = OpenRows(Connection(), sql, adLockReadOnly);
      for (; !rs->GetadoEOF(); rs->MoveNext()) keys.push_back(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
    }
    return NewObject<CHostPositionCursor>(positions, std::move(keys));
  });
}

STDMETHODIMP CHostTransaction::GetPositionData(VARIANT key, LONG, BSTR* name, VARIANT* extra1, VARIANT* extra2,
                                               CY* quantity, CY* price) {
  if (name) *name = nullptr;
  if (extra1) VariantInit(extra1);
  if (extra2) VariantInit(extra2);
  if (key.vt != VT_I4 || Key().vt != VT_I4) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    CString sql;
    sql.Format(L"SELECT tp_Name, tp_ProductId, tp_Quantity, tp_Price FROM tr_Position WHERE tp_Id = %ld AND tp_TransId = %ld",
               key.lVal, Key().lVal);
    _RecordsetPtr rs = OpenRows(Connection(), sql, adLockReadOnly);
    if (rs->GetadoEOF()) return static_cast<HRESULT>(0x800A0BCDu);  // not a position of this transaction
    FieldsPtr f = rs->GetFields();
    auto money = [&](const wchar_t* column) {
      const _variant_t v = f->GetItem(_variant_t(column))->GetValue();
      CY cy{};
      if (!IsNullValue(v)) cy = static_cast<CY>(v);
      return cy;
    };
    const _variant_t text = f->GetItem(_variant_t(L"tp_Name"))->GetValue();
    if (name) *name = SysAllocString(IsNullValue(text) ? L"" : static_cast<const wchar_t*>(_bstr_t(text)));
    if (extra1) *extra1 = _variant_t(f->GetItem(_variant_t(L"tp_ProductId"))->GetValue()).Detach();
    if (extra2) extra2->vt = VT_NULL;
    if (quantity) *quantity = money(L"tp_Quantity");
    if (price) *price = money(L"tp_Price");
    return S_OK;
  });
}

STDMETHODIMP CHostTransaction::GetDisplayText(BSTR* text) {
  if (!text) return E_POINTER;
  *text = nullptr;
  return platform::com::Boundary([&] {
    const _variant_t name = Column(L"tr_Name")->GetValue();
    CString shown = IsNullValue(name) ? CString() : CString(static_cast<const wchar_t*>(_bstr_t(name)));
    shown.Trim();
    if (shown.IsEmpty()) shown.Format(L"Transakcja nr %ld", Key().vt == VT_I4 ? Key().lVal : LONG{0});
    *text = SysAllocString(shown);
    return S_OK;
  });
}

STDMETHODIMP CHostTransaction::GetBuyDate(DATE* date) {
  if (!date) return E_POINTER;
  *date = 0;
  return platform::com::Boundary([&] {
    for (const wchar_t* column : {L"tr_Date", L"tr_CreationDate"}) {
      const _variant_t value = Column(column)->GetValue();
      if (IsNullValue(value)) continue;
      *date = static_cast<DATE>(value);
      if (*date != 0) return S_OK;
    }
    return static_cast<HRESULT>(0x80040F27u);  // no date to give: a required value is missing
  });
}

STDMETHODIMP CHostTransaction::GetAuctionLink(VARIANT* auction) { return GetValue(L"tr_AuctionId", auction); }
STDMETHODIMP CHostTransaction::GetStatusPageAddress(BSTR* address) { return GetText(L"tr_StatusPageAddress", address); }
STDMETHODIMP CHostTransaction::PutStatusPageAddress(BSTR address) {
  return PutValue(L"tr_StatusPageAddress", address ? _variant_t(address) : NullValue());
}

STDMETHODIMP CHostTransaction::GetAddressText(BSTR* text) {
  if (!text) return E_POINTER;
  *text = nullptr;
  return platform::com::Boundary([&] {
    IUnknown* raw = nullptr;
    HRESULT hr = GetAddress(2, &raw);
    IHxAddressPtr address(raw);
    if (raw) raw->Release();
    if (FAILED(hr)) return hr;
    CString line;
    auto add = [&](HRESULT (IHxAddress::*get)(BSTR*), const wchar_t* separator) {
      BSTR part = nullptr;
      if (SUCCEEDED((address.GetInterfacePtr()->*get)(&part)) && part && *part) {
        if (!line.IsEmpty()) line += separator;
        line += part;
      }
      SysFreeString(part);
    };
    add(&IHxAddress::GetName, L", ");
    add(&IHxAddress::GetFirstLine, L", ");
    add(&IHxAddress::GetSecondLine, L", ");
    add(&IHxAddress::GetZipCode, L", ");
    add(&IHxAddress::GetCity, L" ");
    add(&IHxAddress::GetCountry, L", ");
    *text = SysAllocString(line);
    return S_OK;
  });
}

STDMETHODIMP CHostTransaction::GetStatusDataModified(VARIANT_BOOL* modified) {
  return GetBool(L"tr_StatusDataModified", modified);
}
STDMETHODIMP CHostTransaction::PutStatusDataModified(VARIANT_BOOL modified) {
  return PutBool(L"tr_StatusDataModified", modified != VARIANT_FALSE);
}

STDMETHODIMP CHostTransaction::GetStatusPageId(VARIANT* page) { return GetValue(L"tr_StatusPageId", page); }
STDMETHODIMP CHostTransaction::PutStatusPageId(VARIANT page) {
  _variant_t value = Stored(page);
  if (value.vt != VT_NULL && value.vt != VT_I4) {
    const HRESULT hr = VariantChangeType(&value, &value, 0, VT_I4);
    if (FAILED(hr)) return hr;
  }
  return PutValue(L"tr_StatusPageId", value);
}

STDMETHODIMP CHostTransaction::GetBuyerDataTrusted(VARIANT* trusted) {
  return GetValue(L"tr_StatusBuyerDataTrusted", trusted);
}
STDMETHODIMP CHostTransaction::PutBuyerDataTrusted(VARIANT trusted) {
  return PutValue(L"tr_StatusBuyerDataTrusted", Stored(trusted));
}
STDMETHODIMP CHostTransaction::GetBuyerDataAcknowledged(VARIANT* acknowledged) {
  return GetValue(L"tr_StatusBuyerDataAcknowledged", acknowledged);
}
STDMETHODIMP CHostTransaction::PutBuyerDataAcknowledged(VARIANT acknowledged) {
  return PutValue(L"tr_StatusBuyerDataAcknowledged", Stored(acknowledged));
}
STDMETHODIMP CHostTransaction::GetBuyerEntryDate(VARIANT* date) { return GetValue(L"tr_StatusBuyerEntryDate", date); }
STDMETHODIMP CHostTransaction::PutBuyerEntryDate(VARIANT date) {
  _variant_t value = Stored(date);
  if (value.vt != VT_NULL && value.vt != VT_DATE) {
    const HRESULT hr = VariantChangeType(&value, &value, 0, VT_DATE);
    if (FAILED(hr)) return hr;
  }
  return PutValue(L"tr_StatusBuyerEntryDate", value);
}
STDMETHODIMP CHostTransaction::GetNotes(VARIANT* notes) { return GetValue(L"tr_StatusNotes", notes); }
STDMETHODIMP CHostTransaction::PutNotes(VARIANT notes) { return PutValue(L"tr_StatusNotes", Stored(notes)); }
STDMETHODIMP CHostTransaction::GetStatusReceiveState(LONG* state) { return GetLong(L"tr_StatusReceiveState", state); }
STDMETHODIMP CHostTransaction::PutStatusReceiveState(LONG state) {
  return PutValue(L"tr_StatusReceiveState", _variant_t(state));
}
STDMETHODIMP CHostTransaction::CreateBuyerMessage() {
  return platform::com::Boundary([&] {
    CString setting;
    setting.Format(L"SELECT st_Value FROM kd_Setting WHERE st_Section = '%s' AND st_Key = '%s'", kMailSettingSection,
                   kAutomaticMessagesKey);
    _RecordsetPtr rs = OpenRows(Connection(), setting, adLockReadOnly);
    const bool on = !rs->GetadoEOF() && IsOn(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
    if (!on) return S_FALSE;
    if (Key().vt != VT_I4) return E_UNEXPECTED;  // a message is about a stored transaction
    const _variant_t customer = Column(L"tr_CustomerId")->GetValue();
    const _variant_t page = Column(L"tr_StatusPageAddress")->GetValue();
    CString customerText(L"NULL");
    if (!IsNullValue(customer)) customerText.Format(L"%ld", static_cast<LONG>(customer));
    CString pageText(L"NULL");
    if (!IsNullValue(page)) {
      pageText.Format(L"'%s'", hxSqlQuote(static_cast<const wchar_t*>(_bstr_t(page))).GetString());
    }
    CString insert;
    insert.Format(L"INSERT INTO kd_MessageOutbox (mo_Id, mo_CustomerId, mo_TransId, mo_PageAddress, mo_Created) "
                  L"VALUES (%ld, %s, %ld, %s, GETDATE())",
                  ReserveKeys(Connection(), L"kd_MessageOutbox", 1, L"mo_Id"), customerText.GetString(), Key().lVal,
                  pageText.GetString());
    Connection()->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
    return S_OK;
  });
}

STDMETHODIMP CHostTransaction::ClearStatusPageInfo() {
  for (const wchar_t* column : {L"tr_StatusPageId", L"tr_StatusPageAddress", L"tr_StatusBuyerEntryDate"}) {
    const HRESULT hr = PutValue(column, NullValue());
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

STDMETHODIMP CHostTransaction::GetStatusSendState(LONG* state) { return GetLong(L"tr_StatusSendState", state); }
STDMETHODIMP CHostTransaction::PutStatusSendState(LONG state) {
  return PutValue(L"tr_StatusSendState", _variant_t(state));
}

// --- what a received purchase is written with

HRESULT CHostTransaction::PutText(const wchar_t* column, BSTR text) {
  return PutValue(column, text ? _variant_t(text) : NullValue());
}

STDMETHODIMP CHostTransaction::PutName(BSTR name) { return PutText(L"tr_Name", name); }

STDMETHODIMP CHostTransaction::PutDeliveryOptions(IUnknown* options) {
  if (!options) return S_OK;
  IHxDeliveryOptions* raw = nullptr;
  if (FAILED(options->QueryInterface(__uuidof(IHxDeliveryOptions), reinterpret_cast<void**>(&raw)))) return S_OK;
  IHxDeliveryOptionsPtr delivery(raw, false);
  _variant_t method;
  HRESULT hr = delivery->GetDeliveryMethod(&method);
  if (FAILED(hr)) return hr;
  return PutDeliveryMethod(method);
}

STDMETHODIMP CHostTransaction::PutCustomerId(LONG customer) { return PutValue(L"tr_CustomerId", _variant_t(customer)); }
STDMETHODIMP CHostTransaction::PutAuctionId(LONG auction) { return PutValue(L"tr_AuctionId", _variant_t(auction)); }
STDMETHODIMP CHostTransaction::PutRegId(LONG account) { return PutValue(L"tr_RegId", _variant_t(account)); }
STDMETHODIMP CHostTransaction::PutRegSiteId(LONG accountSite) {
  return PutValue(L"tr_RegSiteId", _variant_t(accountSite));
}

STDMETHODIMP CHostTransaction::PutDate(VARIANT date) {
  _variant_t value = Stored(date);
  if (value.vt != VT_NULL && value.vt != VT_DATE) {
    const HRESULT hr = VariantChangeType(&value, &value, 0, VT_DATE);
    if (FAILED(hr)) return hr;
  }
  return PutValue(L"tr_Date", value);
}

STDMETHODIMP CHostTransaction::PutCurrency(BSTR currency) { return PutText(L"tr_Currency", currency); }
STDMETHODIMP CHostTransaction::PutValueCurrency(BSTR currency) { return PutText(L"tr_ValueCurrency", currency); }

STDMETHODIMP CHostTransaction::AddProductPosition(LONG product, LONG quantity, CY price) {
  if (product <= 0) return E_INVALIDARG;
  NewPosition position;
  position.product = _variant_t(product);
  position.quantity = quantity;
  position.price = price;
  m_positions.push_back(std::move(position));
  return S_OK;
}

STDMETHODIMP CHostTransaction::AddNamedPosition(BSTR name, LONG quantity, CY price) {
  NewPosition position;
  position.product = NullValue();
  position.name = name ? name : L"";
  position.quantity = quantity;
  position.price = price;
  m_positions.push_back(std::move(position));
  return S_OK;
}

STDMETHODIMP CHostTransaction::PutOriginal(LONG original) { return PutValue(L"tr_Original", _variant_t(original)); }
STDMETHODIMP CHostTransaction::PutOrigQuantity(LONG quantity) {
  return PutValue(L"tr_OrigQuantity", _variant_t(quantity));
}

STDMETHODIMP CHostTransaction::PutKind(LONG kind, LONG detail) {
  HRESULT hr = PutValue(L"tr_Kind", _variant_t(kind));
  if (SUCCEEDED(hr)) hr = PutValue(L"tr_KindDetail", _variant_t(detail));
  return hr;
}

STDMETHODIMP CHostTransaction::PutDeliveryMethod(VARIANT method) {
  _variant_t value = Stored(method);
  if (value.vt != VT_NULL && value.vt != VT_I4) {
    const HRESULT hr = VariantChangeType(&value, &value, 0, VT_I4);
    if (FAILED(hr)) return hr;
  }
  return PutValue(L"tr_DeliveryMethod", value);
}

STDMETHODIMP CHostTransaction::PutAuctionOwnerId(LONG user) {
  return PutValue(L"tr_AuctionOwnerId", _variant_t(user));
}
STDMETHODIMP CHostTransaction::PutRemainder(VARIANT_BOOL remainder) {
  return PutBool(L"tr_Remainder", remainder != VARIANT_FALSE);
}

}  // namespace host
