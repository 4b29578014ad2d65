#include "host/item.h"

#include "host/host.h"

namespace host {
namespace {

_ConnectionPtr ConnectionOf(IFlgDataFactory* factory) {
  IDispatch* raw = nullptr;
  HRESULT hr = factory->GetDbConnection(&raw);
  IDispatchPtr dispatch(raw, false);
  if (FAILED(hr)) _com_issue_error(hr);
  if (!dispatch) _com_issue_error(E_POINTER);
  return _ConnectionPtr(dispatch);
}

}  // namespace

void InTransaction(const _ConnectionPtr& connection, const std::function<void()>& work) {
  connection->BeginTrans();
  try {
    work();
    connection->CommitTrans();
  } catch (const _com_error&) {
    try {
      connection->RollbackTrans();
    } catch (const _com_error&) {
    }
    throw;
  }
}

CHostItem::CHostItem(ItemClass cls) : m_class(std::move(cls)) { m_id.vt = VT_NULL; }

void* CHostItem::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgItem)) return static_cast<IFlgItem*>(this);
  if (iid == __uuidof(IFlgData) || iid == __uuidof(IFlgDataSet)) return static_cast<IFlgDataSet*>(this);
  if (iid == __uuidof(ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

STDMETHODIMP CHostItem::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == __uuidof(IFlgItem) ? S_OK : S_FALSE;
}

CString CHostItem::KeyWhere(LONG id) const {
  CString where;
  where.Format(L"%s = %ld", m_class.key.c_str(), id);
  return where;
}

HRESULT CHostItem::Open(IFlgDataFactory* factory, const wchar_t* where) {
  if (!factory) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    m_factory = factory;
    _ConnectionPtr connection = ConnectionOf(factory);
    m_connection = connection;
    CString sql;
    sql.Format(L"SELECT %s FROM %s WHERE %s", m_class.columns.c_str(), m_class.table.c_str(), where);
    _RecordsetPtr rs;
    HRESULT hr = OpenRS(rs, m_connection, sql, adOpenStatic, adLockBatchOptimistic);
    if (FAILED(hr)) return hr;
    m_rs = rs;
    return S_OK;
  });
}

STDMETHODIMP CHostItem::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = m_class.clsid;
  return S_OK;
}

STDMETHODIMP CHostItem::InitNew(IFlgDataFactory* factory, VARIANT) {
  HRESULT hr = Open(factory, L"1 = 0");
  if (FAILED(hr)) return hr;
  return platform::com::Boundary([&]() -> HRESULT {
    m_rs->AddNew();
    m_id.Clear();
    m_id.vt = VT_NULL;
    m_state = 1;
    return S_OK;
  });
}

STDMETHODIMP CHostItem::Load(IFlgDataFactory* factory, VARIANT id) {
  if (id.vt != VT_I4) return E_INVALIDARG;
  HRESULT hr = Open(factory, KeyWhere(id.lVal));
  if (FAILED(hr)) return hr;
  return platform::com::Boundary([&]() -> HRESULT {
    if (m_rs->GetadoEOF()) {
      m_state = 0;
      return zephra::KD_E_DB_UNSPECIFIED;
    }
    m_id = _variant_t(id.lVal);
    m_state = 3;
    return S_OK;
  });
}

STDMETHODIMP CHostItem::InitCopy(IFlgDataFactory*, VARIANT) { return E_NOTIMPL; }

STDMETHODIMP CHostItem::BeginEdit() {
  if (m_state == 2) return S_OK;
  if (m_state != 3) return S_FALSE;
  m_state = 2;
  return S_OK;
}

STDMETHODIMP CHostItem::EndEdit() {
  if (m_state == 2) m_state = 3;
  return S_OK;
}

STDMETHODIMP CHostItem::Check() {
  m_errors.clear();
  if (!m_rs) return E_UNEXPECTED;
  return platform::com::Boundary([&]() -> HRESULT {
    for (const std::wstring& column : m_class.required) {
      _variant_t value = m_rs->GetFields()->GetItem(_variant_t(column.c_str()))->GetValue();
      const bool empty = value.vt == VT_NULL || value.vt == VT_EMPTY ||
                         (value.vt == VT_BSTR && SysStringLen(value.bstrVal) == 0);
      if (empty) m_errors.push_back(L"Nie wypełniono pola " + column + L".");
    }
    return m_errors.empty() ? S_OK : E_INVALIDARG;
  });
}

STDMETHODIMP CHostItem::Save() {
  if (!m_rs || m_state == 0)
    return platform::com::ReportError(E_FAIL, L"Nie można zapisać obiektu, który nie został wczytany ani utworzony.",
                                      L"Vantor.Host", __uuidof(IFlgItem));
  const bool inserting = m_state == 1;
  return platform::com::Boundary([&]() -> HRESULT {
    try {
      InTransaction(m_connection, [&] {
        _variant_t key = m_id;
        if (inserting) {
          key = m_rs->GetFields()->GetItem(_variant_t(m_class.key.c_str()))->GetValue();
          if (key.vt != VT_I4) {
            key = _variant_t(ReserveKeys(m_connection, m_class.table.c_str(), 1, m_class.key.c_str()));
            m_rs->GetFields()->GetItem(_variant_t(m_class.key.c_str()))->PutValue(key);
          }
          m_id = key;
        }
        BeforeWrite(inserting);
        m_rs->UpdateBatch(adAffectAll);
        AfterWrite(inserting);
      });
    } catch (const _com_error&) {
      if (inserting) {
        m_id.Clear();
        m_id.vt = VT_NULL;
      }
      throw;
    }
    const LONG kind = inserting ? 1 : 2;
    m_state = 3;
    IFlgInstancePtr instance(m_factory);
    if (instance) instance->RefreshObjectType(m_class.clsid, kind, m_id);
    return S_OK;
  });
}

STDMETHODIMP CHostItem::Delete(IFlgDataFactory* factory, VARIANT id) {
  if (!factory || id.vt != VT_I4) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    _ConnectionPtr connection = ConnectionOf(factory);
    CString sql;
    sql.Format(L"DELETE FROM %s WHERE %s", m_class.table.c_str(), KeyWhere(id.lVal).GetString());
    // What the object writes beside its row goes in one transaction with the delete.
    InTransaction(connection, [&] {
      BeforeDelete(connection, id.lVal);
      connection->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
    });
    m_state = 0;
    IFlgInstancePtr instance(factory);
    if (instance) instance->RefreshObjectType(m_class.clsid, 3, id);
    return S_OK;
  });
}

STDMETHODIMP CHostItem::GetErrorCount(LONG* count) {
  if (!count) return E_INVALIDARG;
  *count = static_cast<LONG>(m_errors.size());
  return S_OK;
}

STDMETHODIMP CHostItem::GetErrorText(LONG index, BSTR* text) {
  if (!text) return E_INVALIDARG;
  *text = nullptr;
  if (m_errors.empty()) return S_FALSE;
  if (index < 0 || index >= static_cast<LONG>(m_errors.size())) return E_INVALIDARG;
  *text = SysAllocString(m_errors[static_cast<size_t>(index)].c_str());
  return S_OK;
}

STDMETHODIMP CHostItem::SetUseTransaction(LONG) { return S_OK; }
STDMETHODIMP CHostItem::SetLockOnEdit(LONG) { return S_OK; }
STDMETHODIMP CHostItem::SetCheckRights(LONG) { return S_OK; }
STDMETHODIMP CHostItem::SetCallbackValue(LONG value) {
  m_callback = value;
  return S_OK;
}
STDMETHODIMP CHostItem::GetCallbackValue(LONG* value) {
  if (!value) return E_INVALIDARG;
  *value = m_callback;
  return S_OK;
}

STDMETHODIMP CHostItem::GetId(VARIANT* id) {
  if (!id) return E_INVALIDARG;
  VariantInit(id);
  return VariantCopy(id, &m_id);
}

STDMETHODIMP CHostItem::GetState(VARIANT* state) {
  if (!state) return E_INVALIDARG;
  VariantInit(state);
  state->vt = VT_I4;
  state->lVal = m_state;
  return S_OK;
}

STDMETHODIMP CHostItem::GetFormat(LONG* format) {
  if (!format) return E_INVALIDARG;
  *format = 1;
  return S_OK;
}

STDMETHODIMP CHostItem::GetLocked(VARIANT_BOOL* locked) {
  if (!locked) return E_INVALIDARG;
  *locked = m_state == 2 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP CHostItem::GetDataSet(LONG index, IUnknown** recordset) {
  if (!recordset) return E_INVALIDARG;
  *recordset = nullptr;
  if (!m_rs) return E_FAIL;
  if (index != 0) return E_INVALIDARG;
  return m_rs->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(recordset));
}

STDMETHODIMP CHostItem::AddSubRow(LONG) { return E_FAIL; }
STDMETHODIMP CHostItem::AddSubRowKey(LONG, VARIANT*) { return E_FAIL; }
STDMETHODIMP CHostItem::AddRowChecked(LONG, VARIANT, VARIANT*) { return E_FAIL; }
STDMETHODIMP CHostItem::AddRow(LONG, VARIANT, VARIANT*) { return E_FAIL; }
STDMETHODIMP CHostItem::CompleteRow(LONG, VARIANT) { return E_FAIL; }
STDMETHODIMP CHostItem::DeleteRow(LONG, LONG) { return E_FAIL; }

CHostUser::CHostUser() : CHostItem(ItemClass{__uuidof(HxFrameworkUser), L"kd_User", L"us_Id", {L"us_Name"}}) {}

void* CHostUser::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IHxUserRights)) return static_cast<IHxUserRights*>(this);
  return CHostItem::FlgGetInterface(iid);
}

STDMETHODIMP CHostUser::GrantAccount(LONG account, LONG receive, LONG send, LONG comments, LONG) {
  if (account <= 0) return E_INVALIDARG;
  const LONG flags[] = {receive, send, comments};
  for (LONG n = 1; n <= 3; ++n)
    if (flags[n - 1] != 0) m_granted.push_back(AccountRightNumber(account, n));
  return S_OK;
}

STDMETHODIMP CHostUser::Save() {
  HRESULT hr = CHostItem::Save();
  if (FAILED(hr) || m_granted.empty()) return hr;
  return platform::com::Boundary([&]() -> HRESULT {
    _variant_t id;
    GetId(&id);
    if (id.vt != VT_I4) return E_UNEXPECTED;
    for (LONG right : m_granted) {
      CString remove, insert;
      remove.Format(L"DELETE FROM kd_UserRight WHERE ur_UserId = %ld AND ur_Right = %ld", id.lVal, right);
      insert.Format(L"INSERT INTO kd_UserRight (ur_UserId, ur_Right) VALUES (%ld, %ld)", id.lVal, right);
      Connection()->Execute(_bstr_t(remove), nullptr, kCmdTextNoRecords);
      Connection()->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
    }
    m_granted.clear();
    return S_OK;
  });
}

CFlgClassRegistration RegisterUserClass() {
  return CFlgClassRegistration(__uuidof(HxFrameworkUser), CFlgComClassFactory::For<CHostUser>());
}

FieldPtr CHostItem::Column(const wchar_t* name) const {
  if (!m_rs || m_rs->GetadoEOF()) _com_issue_error(static_cast<HRESULT>(0x800A0BCDu));
  return m_rs->GetFields()->GetItem(_variant_t(name));
}


HRESULT CHostItem::GetText(const wchar_t* column, BSTR* out) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  return platform::com::Boundary([&] {
    const _variant_t value = Column(column)->GetValue();
    _bstr_t text = IsNullValue(value) ? _bstr_t(L"") : _bstr_t(value);
    *out = SysAllocString(static_cast<const wchar_t*>(text) ? static_cast<const wchar_t*>(text) : L"");
    return S_OK;
  });
}

HRESULT CHostItem::GetBool(const wchar_t* column, VARIANT_BOOL* out) const {
  if (!out) return E_POINTER;
  return platform::com::Boundary([&] {
    const _variant_t value = Column(column)->GetValue();
    *out = !IsNullValue(value) && static_cast<bool>(value) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}

HRESULT CHostItem::GetLong(const wchar_t* column, LONG* out) const {
  if (!out) return E_POINTER;
  return platform::com::Boundary([&] {
    const _variant_t value = Column(column)->GetValue();
    *out = IsNullValue(value) ? 0 : static_cast<LONG>(value);
    return S_OK;
  });
}

HRESULT CHostItem::GetMoney(const wchar_t* column, CY* out) const {
  if (!out) return E_POINTER;
  return platform::com::Boundary([&] {
    const _variant_t value = Column(column)->GetValue();
    CY cy{};
    if (!IsNullValue(value)) {
      _variant_t converted;
      const HRESULT hr = VariantChangeType(&converted, &value, 0, VT_CY);
      if (FAILED(hr)) _com_issue_error(hr);
      cy = converted.cyVal;
    }
    *out = cy;
    return S_OK;
  });
}

HRESULT CHostItem::GetValue(const wchar_t* column, VARIANT* out) const {
  if (!out) return E_POINTER;
  VariantInit(out);
  return platform::com::Boundary([&] {
    _variant_t value = Column(column)->GetValue();
    if (value.vt == VT_EMPTY) value.vt = VT_NULL;
    *out = value.Detach();
    return S_OK;
  });
}

HRESULT CHostItem::PutValue(const wchar_t* column, const _variant_t& value) {
  return platform::com::Boundary([&] {
    Column(column)->PutValue(value);
    return S_OK;
  });
}

HRESULT CHostItem::PutBool(const wchar_t* column, bool value) {
  _variant_t v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return PutValue(column, v);
}

CHostMailAddress::CHostMailAddress()
    : CHostItem(ItemClass{__uuidof(HxMailAddress), L"kd_EmailAddress", L"em_Id", {L"em_Address"}}) {}

void* CHostMailAddress::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IHxMailAddress)) return static_cast<IHxMailAddress*>(this);
  return CHostItem::FlgGetInterface(iid);
}

STDMETHODIMP CHostMailAddress::GetAddress(BSTR* address) { return GetText(L"em_Address", address); }
STDMETHODIMP CHostMailAddress::GetAddressName(BSTR* name) { return GetText(L"em_Name", name); }
STDMETHODIMP CHostMailAddress::GetLocked(VARIANT_BOOL* locked) { return GetBool(L"em_Locked", locked); }
STDMETHODIMP CHostMailAddress::PutLocked(VARIANT_BOOL locked) { return PutBool(L"em_Locked", locked != VARIANT_FALSE); }

CFlgClassRegistration RegisterMailAddressClass() {
  return CFlgClassRegistration(__uuidof(HxMailAddress), CFlgComClassFactory::For<CHostMailAddress>());
}

CFlgClassRegistration RegisterItemClass(const ItemClass& cls) {
  return CFlgClassRegistration(cls.clsid, new CFlgComClassFactory([cls](REFIID iid, void** out) {
                                 return CFlgComObject<CHostItem>::Create(iid, out, cls);
                               }));
}

}  // namespace host
