// The account manager: the list of accounts, adding one through its service's connector and
// granting it to the administrator, editing, deleting, activating with the account's e-mail
// address, and the seller-zone settings.
#include "auctions/regmanager.h"

#include <array>
#include <iterator>
#include <optional>

#include "auctions/modulestate.h"
#include "auctions/regmanagerdlg.h"
#include "framework/messages.h"
#include "platform/gui/afxwin.h"
#include "shared/hxcheck.h"
#include "shared/hxlog.h"
#include "shared/objtools.h"
#include "shared/resstrings.h"

namespace {

// Texts of the manager (Lotrix's string table).
constexpr UINT kDeactivateAddressQuestion = 116;
constexpr UINT kActivateAddressQuestion = 117;
constexpr UINT kAddCaption = 209;
constexpr UINT kConnectFailed = 210;
constexpr UINT kGrantingNotice = 211;
constexpr UINT kGrantFailed = 212;

// The sizes of the account list's text fields: the columns' own widths.
constexpr LONG kUsernameSize = 100;
constexpr LONG kServiceNameSize = 100;

// A column of the account list: its name as the BSTR that appends the field and as the VARIANT
// that finds it, its type and size.
struct ListColumn {
  _bstr_t name;
  _variant_t key;
  DataTypeEnum type;
  LONG size;
};
constexpr std::size_t kListColumns = 7;

// The list's columns, their names made once for every list (never destroyed: a list may be made
// while the process ends).
const std::array<ListColumn, kListColumns>& ListColumns() {
  static const auto* columns = [] {
    const struct {
      const wchar_t* name;
      DataTypeEnum type;
      LONG size;
    } spec[kListColumns] = {
        {L"reg_Id", adInteger, 4},          {L"reg_Username", adVarChar, kUsernameSize},
        {L"ss_Name", adVarWChar, kServiceNameSize}, {L"reg_Active", adBoolean, 1},
        {L"reg_HasShop", adBoolean, 1},     {L"reg_SvcUserId", adBigInt, 8},
        {L"reg_SvcProvId", adInteger, 4},
    };
    auto* made = new std::array<ListColumn, kListColumns>;
    for (std::size_t k = 0; k < kListColumns; ++k)
      (*made)[k] = ListColumn{_bstr_t(spec[k].name), _variant_t(spec[k].name), spec[k].type, spec[k].size};
    return made;
  }();
  return *columns;
}

IFlgDataFactoryPtr Factory() {
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  if (!factory) _com_issue_error(E_POINTER);
  return factory;
}

// A new account object, running.
IUnknownPtr NewAccount() { return FlgCreateRunning(CLSID_CoRegistration); }

template <class I>
_com_ptr_t<_com_IIID<I, nullptr>> Face(const IUnknownPtr& object) {
  _com_ptr_t<_com_IIID<I, nullptr>> face(object);
  if (!face) _com_issue_error(E_NOINTERFACE);
  return face;
}

// The account of that id, read.
IUnknownPtr LoadAccount(LONG id) {
  IUnknownPtr account = NewAccount();
  const HRESULT hr = Face<IFlgItem>(account)->Load(Factory(), _variant_t(id));
  if (FAILED(hr)) _com_issue_error(hr);
  return account;
}

// The host's selection of an account: cleared when it names `id`.
void ClearSelectionOf(LONG id) {
  IHxStartCheckPtr check(CHxInstance::GetInstance());
  if (!check) return;
  LONG selected = 0;
  hx::Check(check->GetSelectedAccount(&selected));
  if (selected == id) hx::Check(check->SetSelection(0, 0));
}

bool IsNullValue(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }

// The host's progress notice while the new account's rights are granted; its errors are ignored.
class ProgressNotice {
 public:
  ProgressNotice() {
    try {
      m_notice = IHxProgressPtr(CHxInstance::GetInstance());
      if (!m_notice) return;
      m_notice->Open();
      const CHxResString text(kGrantingNotice);
      m_notice->SetText(_bstr_t(static_cast<const wchar_t*>(text)), 0);
      m_notice->SetMode(_variant_t(), 0, 4);
    } catch (const _com_error&) {
    }
  }
  ~ProgressNotice() { Close(); }
  ProgressNotice(const ProgressNotice&) = delete;
  ProgressNotice& operator=(const ProgressNotice&) = delete;
  void Close() {
    if (!m_notice) return;
    m_notice->Stop();
    m_notice->Hide();
    m_notice = nullptr;
  }

 private:
  IHxProgressPtr m_notice;
};

}  // namespace

CCoRegManager::CCoRegManager() { lotrix::LockModule(); }

CCoRegManager::~CCoRegManager() { lotrix::UnlockModule(); }

void* CCoRegManager::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IRegManager))
    return static_cast<IRegManager*>(this);
  if (iid == __uuidof(ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

STDMETHODIMP CCoRegManager::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == __uuidof(IRegManager) ? S_OK : S_FALSE;
}

STDMETHODIMP CCoRegManager::Show(LONG hwndParent) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&]() -> HRESULT {
    IFlgInstancePtr instance = hx::Instance();
    const HRESULT right = instance->CheckRight(kRightAccountManager, 0);
    if (FAILED(right)) {
      instance->ShowRightRefused(kRightAccountManager, hwndParent);
      return right;
    }
    // Owned by the window the caller named, else the host's main window.
    HWND owner = HwndFromLong(hwndParent);
    if (!IsWindow(owner)) {
      owner = nullptr;
      IUnknown* raw = nullptr;
      if (SUCCEEDED(instance->GetMainWindow(&raw)) && raw) {
        IUnknownPtr object(raw, false);
        IFlgWndPtr main(object);
        LONG hwnd = 0;
        if (main && SUCCEEDED(main->GetWindow(&hwnd))) owner = HwndFromLong(hwnd);
      }
    }
    CRegManagerDlg dialog(this, CWnd::FromHandle(owner));
    dialog.DoModal();
    return S_OK;
  });
}

STDMETHODIMP CCoRegManager::RegAdd(LONG hwndParent, LONG lServiceId, LONG* pOut) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&]() -> HRESULT {
    if (!pOut) return E_POINTER;
    *pOut = 0;
    return AddAccount(HwndFromLong(hwndParent), lServiceId, pOut);
  });
}

namespace {

// A new account of a service, initialised, with the interfaces the addition uses.
struct NewAccountOf {
  IUnknownPtr account;
  IFlgItemPtr item;
  IFlgItemViewPtr view;
  IRegistrationPtr registration;
};

// A new account of the service; nothing when it cannot be made or initialised (nothing stored).
std::optional<NewAccountOf> InitNewAccount(LONG service) {
  try {
    NewAccountOf made;
    made.account = NewAccount();
    made.registration = Face<IRegistration>(made.account);
    made.item = Face<IFlgItem>(made.account);
    made.view = Face<IFlgItemView>(made.account);
    hx::Check(made.item->InitNew(Factory(), _variant_t()));
    hx::Check(made.registration->InitNew(service));
    return made;
  } catch (const _com_error&) {
    return std::nullopt;
  }
}

// The service's connector connects the new account; a connector that cannot be made or
// connected is told to the user the same way. Whether it connected.
bool ConnectNewAccount(HWND parent, const NewAccountOf& made) {
  HRESULT hr = S_OK;
  IAuctionSiteAccountPtr connector;
  try {
    GUID clsid = GUID_NULL;
    hr = made.registration->GetConnectorClsid(&clsid);
    if (SUCCEEDED(hr)) {
      connector = FlgCreateRunning(clsid);
      if (!connector) hr = E_NOINTERFACE;
    }
  } catch (const _com_error& e) {
    hr = e.Error();
  }
  if (SUCCEEDED(hr)) {
    LotrixRegistrationPtr face(made.account);
    hr = face ? connector->ConnectAccount(face) : E_NOINTERFACE;
  }
  if (SUCCEEDED(hr)) return true;
  const CString reason = hxFormatError(hr);
  CString text = CHxResString(kConnectFailed).Text();
  if (!reason.IsEmpty()) text += L"\n" + reason;
  TipMsgBox(parent, CHxResString(kAddCaption), text, MB_ICONERROR);
  MessageBeep(MB_ICONERROR);
  return false;
}

// The administrator gets the new account's rights; a failure is told to the user and raised.
void GrantAdministrator(const IFlgInstancePtr& instance, HWND parent, LONG id) {
  HRESULT granted = S_OK;
  try {
    IUnknownPtr user = FlgCreateRunning(__uuidof(HxFrameworkUser));
    IFlgItemPtr userItem = Face<IFlgItem>(user);
    IHxUserRightsPtr rights = Face<IHxUserRights>(user);
    hx::Check(userItem->Load(Factory(), CHxObjTools::GetUserAdminId()));
    hx::Check(userItem->BeginEdit());
    hx::Check(rights->GrantAccount(id, -1, -1, -1, -1));
    hx::Check(userItem->Save());
  } catch (const _com_error& e) {
    granted = e.Error();
  }
  if (SUCCEEDED(granted)) return;
  const CHxResString caption(kAddCaption);
  const CHxResString text(kGrantFailed);
  instance->ShowMessage(_bstr_t(static_cast<const wchar_t*>(caption)), _bstr_t(static_cast<const wchar_t*>(text)),
                        LongFromHwnd(parent));
  _com_issue_error(granted);
}

// The host takes notice of the new account's sites, then gets its selection back.
void SelectNewAccountSites(const IFlgInstancePtr& instance, const IUnknownPtr& account, LONG id) {
  IHxStartCheckPtr check(instance);
  if (!check) return;
  LONG selectedAccount = 0;
  LONG selectedSite = 0;
  hx::Check(check->GetSelectedAccount(&selectedAccount));
  hx::Check(check->GetSelectedSite(&selectedSite));
  IUnknown* raw = nullptr;
  hx::Check(Face<IFlgDataSet>(account)->GetDataSet(2, &raw));
  _RecordsetPtr sites(raw);
  if (raw) raw->Release();
  if (sites && !(sites->GetBOF() && sites->GetadoEOF())) {
    for (sites->MoveFirst(); !sites->GetadoEOF(); sites->MoveNext()) {
      const _variant_t site = sites->GetFields()->GetItem(_variant_t(L"rs_Id"))->GetValue();
      hx::Check(check->SetSelection(id, IsNullValue(site) ? 0 : static_cast<LONG>(site)));
    }
  }
  hx::Check(check->SetSelection(selectedAccount, selectedSite));
}

}  // namespace

HRESULT CCoRegManager::AddAccount(HWND parent, LONG service, LONG* out) {
  IFlgInstancePtr instance = hx::Instance();
  const std::optional<NewAccountOf> made = InitNewAccount(service);
  if (!made || !ConnectNewAccount(parent, *made)) return S_OK;

  // The connector's account dialog stores the account when the user accepts it.
  try {
    if (made->view->Show(nullptr, instance) != S_OK) return S_OK;
  } catch (const _com_error&) {
    return S_OK;
  }
  _variant_t id;
  IFlgDataPtr data(made->account);
  if (!data || FAILED(data->GetId(&id)) || id.vt != VT_I4 || id.lVal <= 0) return S_OK;
  *out = id.lVal;

  ProgressNotice notice;
  try {
    GrantAdministrator(instance, parent, id.lVal);
    SelectNewAccountSites(instance, made->account, id.lVal);
  } catch (const _com_error&) {
    notice.Close();
    // The account goes again; when it cannot, it stays without the rights and keeps its id.
    if (SUCCEEDED(made->item->Delete(Factory(), id))) *out = 0;
    return E_FAIL;
  }
  notice.Close();
  return S_OK;
}

STDMETHODIMP CCoRegManager::RegEdit(LONG, LONG lRegId) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&]() -> HRESULT {
    if (lRegId == 0) return E_INVALIDARG;
    IUnknownPtr account = LoadAccount(lRegId);
    IFlgInstancePtr instance = hx::Instance();
    IUnknown* raw = nullptr;
    hx::Check(instance->GetMainWindow(&raw));
    IUnknownPtr main(raw, false);
    BOOL active = FALSE;
    hx::Check(Face<LotrixRegistration>(account)->GetActive(&active));
    IFlgItemViewPtr view = Face<IFlgItemView>(account);
    const HRESULT hr = active ? view->Show(main, instance) : view->ShowReadOnly(main, instance);
    return FAILED(hr) ? hr : S_OK;
  });
}

STDMETHODIMP CCoRegManager::RegDelete(LONG, LONG lRegId) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&]() -> HRESULT {
    if (lRegId <= 0) return S_OK;
    IUnknownPtr account = LoadAccount(lRegId);
    IFlgItemPtr item = Face<IFlgItem>(account);
    hx::Check(item->BeginEdit());
    hx::Check(item->Delete(Factory(), _variant_t(lRegId)));
    ClearSelectionOf(lRegId);
    return S_OK;
  });
}

STDMETHODIMP CCoRegManager::GetRegList(_Recordset** pVal) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&]() -> HRESULT {
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    _ConnectionPtr connection = CHxInstance::GetConnection();
    if (!connection) return E_POINTER;
    _RecordsetPtr view;
    hx::Check(view.CreateInstance(__uuidof(Recordset)));
    view->PutCursorLocation(adUseClient);
    view->Open(_variant_t(L"SELECT * FROM vw_RegManager"), _variant_t(static_cast<IDispatch*>(connection)),
               adOpenStatic, adLockReadOnly, adCmdText);
    view->PutRefActiveConnection(nullptr);

    _RecordsetPtr list;
    hx::Check(list.CreateInstance(__uuidof(Recordset)));
    const std::array<ListColumn, kListColumns>& columns = ListColumns();
    FieldsPtr listFields = list->GetFields();
    for (const ListColumn& c : columns) listFields->Append(c.name, c.type, c.size, adFldUpdatable);
    list->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
    if (!(view->GetBOF() && view->GetadoEOF())) {
      // Each column's field in both, found once (by name in the view, by its place in the list,
      // which has the columns in order): a field reads and writes the current row.
      constexpr size_t kColumns = kListColumns;
      FieldPtr from[kColumns], to[kColumns];
      FieldsPtr viewFields = view->GetFields();
      for (size_t k = 0; k < kColumns; ++k) {
        from[k] = viewFields->GetItem(columns[k].key);
        to[k] = listFields->GetItem(_variant_t(static_cast<LONG>(k)));
      }
      // A row's values are all read (each into its place) before the new row takes them.
      _variant_t values[kColumns];
      for (view->MoveFirst(); !view->GetadoEOF(); view->MoveNext()) {
        for (size_t k = 0; k < kColumns; ++k) {
          const HRESULT hr = from[k]->get_Value(values[k].GetAddress());
          if (FAILED(hr)) _com_issue_errorex(hr, from[k], __uuidof(Field));
        }
        list->AddNew();
        for (size_t k = 0; k < kColumns; ++k)
          if (!IsNullValue(values[k])) to[k]->PutValue(values[k]);  // a NULL in the view leaves the field empty
        list->Update();
      }
      list->MoveFirst();
    }
    *pVal = list.Detach();
    return S_OK;
  });
}

STDMETHODIMP CCoRegManager::RegActivate(LONG lRegId, VARIANT_BOOL bActive) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&]() -> HRESULT {
    return Activate(lRegId, bActive != VARIANT_FALSE);
  });
}

HRESULT CCoRegManager::Activate(LONG id, bool activate) {
  _ConnectionPtr connection;
  {
    IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
    if (!factory) return E_POINTER;
    IDispatch* raw = nullptr;
    const HRESULT hr = factory->GetDbConnection(&raw);
    IDispatchPtr owned(raw, false);
    if (FAILED(hr)) return hr;
    connection = owned;
    if (!connection) return E_POINTER;
  }
  if (id < 1) return S_OK;
  bool begun = false;
  try {
    IUnknownPtr account = LoadAccount(id);
    IFlgItemPtr item = Face<IFlgItem>(account);
    LotrixRegistrationPtr registration = Face<LotrixRegistration>(account);
    hx::Check(item->BeginEdit());
    LONG address = 0;
    if (FAILED(registration->GetEmailId(&address))) address = 0;

    bool look = address > 0;
    if (look && !activate) {
      CString sql;
      sql.Format(L"SELECT COUNT(reg_EmailId) FROM vw_Registration WHERE reg_id!=%ld AND reg_EmailId=%ld", id, address);
      _RecordsetPtr rs;
      hx::Check(OpenRS(rs, connection, sql, adOpenStatic, adLockReadOnly, adCmdText));
      look = !rs->GetadoEOF() && static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()) == 0;
    }
    if (look) {
      IUnknownPtr mail = FlgCreateRunning(__uuidof(HxMailAddress));
      IFlgItemPtr mailItem = Face<IFlgItem>(mail);
      IHxMailAddressPtr mailAddress = Face<IHxMailAddress>(mail);
      hx::Check(mailItem->Load(Factory(), _variant_t(address)));
      VARIANT_BOOL locked = VARIANT_FALSE;
      hx::Check(mailAddress->GetLocked(&locked));
      if (activate == (locked != VARIANT_FALSE)) {
        BSTR rawAddress = nullptr;
        BSTR rawName = nullptr;
        hx::Check(mailAddress->GetAddress(&rawAddress));
        _bstr_t text(rawAddress, false);
        hx::Check(mailAddress->GetAddressName(&rawName));
        _bstr_t name(rawName, false);
        CString question;
        question.Format(CHxResString(activate ? kActivateAddressQuestion : kDeactivateAddressQuestion),
                        static_cast<const wchar_t*>(text) ? static_cast<const wchar_t*>(text) : L"",
                        static_cast<const wchar_t*>(name) ? static_cast<const wchar_t*>(name) : L"");
        if (AfxMessageBox(question, MB_YESNO) == IDYES) {
          hx::Check(mailItem->BeginEdit());
          hx::Check(mailItem->SetUseTransaction(0));
          connection->BeginTrans();
          begun = true;
          hx::Check(item->SetUseTransaction(0));
          hx::Check(mailAddress->PutLocked(activate ? VARIANT_FALSE : VARIANT_TRUE));
          hx::Check(mailItem->Check());
          hx::Check(mailItem->Save());
        }
      }
    }
    hx::Check(registration->PutActive(activate ? TRUE : FALSE));
    hx::Check(item->Save());
    if (begun) {
      connection->CommitTrans();
      begun = false;
    }
    if (!activate) ClearSelectionOf(id);
  } catch (const _com_error& e) {
    if (begun) {
      // The rollback keeps the failure's error information.
      IErrorInfo* info = nullptr;
      GetErrorInfo(0, &info);
      try {
        connection->RollbackTrans();
      } catch (const _com_error&) {
      }
      SetErrorInfo(0, info);
      if (info) info->Release();
    }
    return e.Error();
  }
  return S_OK;
}

STDMETHODIMP CCoRegManager::RegEditStatuses(LONG, LONG lRegId) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&]() -> HRESULT {
    IUnknownPtr account = LoadAccount(lRegId);
    IRegistrationPtr registration = Face<IRegistration>(account);
    // No window goes on as none.
    return registration->StatusesOptionsEdit(nullptr, hx::Instance());
  });
}
