// The data-object base: states, rights, the edit lock, saving and deleting in a transaction, the
// extensions, the view operations and the error list. The data sets, row operations, attributes,
// copies and history snapshots are in flgdatasets.cpp.
#include "auctions/flgobject.h"

#include <new>

#include "auctions/dberror.h"
#include "auctions/modulestate.h"
#include "platform/gui/afxwin.h"
#include "shared/hxcheck.h"

namespace {

constexpr HRESULT kNotConfirmed = static_cast<HRESULT>(0x80041355u);
const wchar_t kReadError[] = L"Błąd odczytu z bazy danych.";
const wchar_t kWriteError[] = L"Błąd zapisu do bazy danych.";
const wchar_t kDeleteError[] = L"Błąd usunięcia z bazy danych.";

// The kinds of object-list refresh the host is told of.
constexpr LONG kRefreshInserted = 1;
constexpr LONG kRefreshUpdated = 2;
constexpr LONG kRefreshDeleted = 3;

// The window handle of a window object (IFlgWnd); null for a null object or one without a window.
HWND WindowOf(IUnknown* window) {
  if (!window) return nullptr;
  IFlgWndPtr wnd(window);
  LONG hwnd = 0;
  if (!wnd || FAILED(wnd->GetWindow(&hwnd))) return nullptr;
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(hwnd));
}

}  // namespace

IUnknownPtr FlgCreateRunning(REFCLSID clsid) { return FlgCreateRunning(FlgClassObject(clsid)); }

IClassFactoryPtr FlgClassObject(REFCLSID clsid) {
  IClassFactory* raw = nullptr;
  hx::Check(CoGetClassObject(clsid, CLSCTX_ALL, nullptr, __uuidof(IClassFactory), reinterpret_cast<void**>(&raw)));
  return IClassFactoryPtr(raw, false);
}

IUnknownPtr FlgCreateRunning(IClassFactory* factory) {
  IUnknown* raw = nullptr;
  hx::Check(factory->CreateInstance(nullptr, __uuidof(IUnknown), reinterpret_cast<void**>(&raw)));
  IUnknownPtr created(raw, false);
  hx::Check(OleRun(created));
  return created;
}

CFlgFilterScope::CFlgFilterScope(_RecordsetPtr rs) : m_rs(std::move(rs)), m_filter(m_rs->GetFilter()) {}

CFlgFilterScope::~CFlgFilterScope() {
  try {
    m_rs->PutFilter(m_filter);
  } catch (const _com_error&) {
  }
}

// ---------------------------------------------------------------------------------------------
// CRtBase, CComFlgObject's life

CRtBase::CRtBase() : m_pModuleState(lotrix::ModuleState()) {}

CComFlgObject::CComFlgObject()
    : m_pErrors(&m_errors),
      m_lock(zephra::KD_E_OBJECT_LOCKED),
      m_errorInterfaces{__uuidof(IFlgItem), __uuidof(IFlgItemView)} {
  m_vId.vt = VT_NULL;
  m_vAttributeOwner.vt = VT_NULL;
  lotrix::LockModule();
}

CComFlgObject::~CComFlgObject() {
  AFX_MANAGE_STATE(m_pModuleState);
  m_sets.clear();
  m_setFields.clear();
  m_secondSets.clear();
  m_spParentWnd = nullptr;
  m_spInstance = nullptr;
  m_spFactory = nullptr;
  m_vId.Clear();
  m_vCopySource.Clear();
  m_vAttributeOwner.Clear();
  m_lock.Release();
  m_errors.RemoveAll();
  lotrix::UnlockModule();
}

void* CComFlgObject::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgItem)) return static_cast<IFlgItem*>(this);
  if (iid == __uuidof(IFlgData) || iid == __uuidof(IFlgDataSet)) return static_cast<IFlgDataSet*>(this);
  if (iid == __uuidof(IFlgDataSetup)) return static_cast<IFlgDataSetup*>(this);
  if (iid == __uuidof(IFlgDataCallback)) return static_cast<IFlgDataCallback*>(this);
  if (iid == __uuidof(IFlgItemView) || iid == __uuidof(IFlgWnd)) return static_cast<IFlgItemView*>(this);
  if (iid == __uuidof(IFlgText)) return static_cast<IFlgText*>(this);
  if (iid == __uuidof(ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

void CComFlgObject::SetDefinitions(const FlgDataSetDef* definitions, LONG count) {
  m_pDefinitions = definitions;
  m_lDefinitionCount = definitions && count > 0 ? count : 0;
}

void CComFlgObject::SetExtensions(const FlgObjectExtension* extensions, LONG count, bool enabled) {
  m_pExtensions = extensions;
  m_lExtensionCount = extensions && count > 0 ? count : 0;
  m_bExtensionsEnabled = enabled;
}

void CComFlgObject::SetFieldFlags(const FlgFieldFlags* table, LONG count, LONG mask) {
  m_pFieldFlags = table;
  m_lFieldFlagCount = table && count > 0 ? count : 0;
  m_lFieldFlagMask = mask;
}

HRESULT CComFlgObject::Failed(const wchar_t* insert) {
  // The failure's own information goes back to the thread: the mapping keeps it for the codes it
  // passes on as they are.
  const HRESULT hr = platform::com::AnswerCurrentException();
  if (!insert) return hr;
  if (!*insert) return MapDbError(GetObjectClsid(), __uuidof(IFlgItem), hr);
  return MapDbError(GetObjectClsid(), __uuidof(IFlgItem), hr, {insert});
}

void CComFlgObject::RaiseUndefinedError() {
  platform::com::RaiseWithThreadInfo(ReportErrorText(GetObjectClsid(), __uuidof(IFlgItem), E_FAIL, kFlgUndefinedError));
}

// ---------------------------------------------------------------------------------------------
// Default operations of a derived class

LONG CComFlgObject::CheckFieldFlags(const wchar_t* field, LONG* flags) {
  if (flags) *flags = 0;
  if (m_lFieldFlagMask == 0) return 0;
  for (LONG i = 0; i < m_lFieldFlagCount; ++i) {
    const FlgFieldFlags& entry = m_pFieldFlags[i];
    if (field && entry.name && _wcsicmp(entry.name, field) == 0) {
      if (flags) *flags = entry.flags;
      return entry.flags & m_lFieldFlagMask;
    }
  }
  _com_issue_error(E_UNEXPECTED);
}

CString CComFlgObject::GetDisplayName() { return CString(); }
INT_PTR CComFlgObject::ShowEditDialog(CWnd*) { return 0; }
void CComFlgObject::AfterEditDialog(INT_PTR, CWnd*) {}
HRESULT CComFlgObject::InitNewDefaults(const VARIANT&) { return S_OK; }
HRESULT CComFlgObject::OnLoad(const VARIANT&) { return S_OK; }
HRESULT CComFlgObject::OnCopied(const VARIANT&) { return S_OK; }
HRESULT CComFlgObject::OnBeginEdit() { return S_OK; }
HRESULT CComFlgObject::OnEndEdit() { return S_OK; }
HRESULT CComFlgObject::Validate() { return S_OK; }

int CComFlgObject::ConfirmDelete() {
  const CString name = GetDisplayName();
  CString question;
  if (name.IsEmpty()) question = L"Czy na pewno usunąć wybraną pozycję?";
  else question.Format(L"Czy na pewno usunąć %s?", name.GetString());
  return AfxMessageBox(question, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
}

// ---------------------------------------------------------------------------------------------
// Error list

void CComFlgObject::AddError(LONG fieldId, LONG kind, const wchar_t* text, HRESULT hr) {
  if (FAILED(hr) && SUCCEEDED(m_hrFirstError)) m_hrFirstError = hr;
  FLG_OBJECT_ERROR_INFO entry;
  entry.fieldId = fieldId;
  entry.kind = kind;
  entry.text = text ? text : L"";
  m_pErrors->AddUnique(entry);
}

STDMETHODIMP CComFlgObject::GetErrorCount(LONG* count) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!count) return E_INVALIDARG;
  *count = m_pErrors->GetSize();
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetErrorText(LONG index, BSTR* text) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!text) return E_INVALIDARG;
    *text = nullptr;
    if (m_pErrors->IsEmpty()) return S_FALSE;
    if (index < 0 || index >= m_pErrors->GetSize()) return E_INVALIDARG;
    *text = SysAllocString(m_pErrors->GetAt(index).text.GetString());
    return *text ? S_OK : E_OUTOFMEMORY;
  });
}

CString CComFlgObject::GetErrorInformation(HRESULT hr) {
  AFX_MANAGE_STATE(m_pModuleState);
  // The description the failing call left for the thread (kept there for others), else the
  // message library's text of the code.
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) == S_OK && raw) {
    IErrorInfoPtr info(raw, false);
    SetErrorInfo(0, info);
    BSTR description = nullptr;
    info->GetDescription(&description);
    _bstr_t owned(description, false);
    if (owned.length()) return CString(static_cast<const wchar_t*>(owned));
  }
  CKdSmartMessage messages;
  return messages.SystemMessage(hr, KdGetUserDefaultLangID());
}

STDMETHODIMP CComFlgObject::InterfaceSupportsErrorInfo(REFIID iid) {
  for (const GUID& g : m_errorInterfaces)
    if (g == iid) return S_OK;
  return S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// IFlgData

STDMETHODIMP CComFlgObject::GetId(VARIANT* id) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!id) return E_INVALIDARG;
  VariantInit(id);
  return VariantCopy(id, &m_vId);
}

STDMETHODIMP CComFlgObject::GetState(VARIANT* state) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!state) return E_INVALIDARG;
  VariantInit(state);
  state->vt = VT_I4;
  state->lVal = m_lState;
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetFormat(LONG* format) {
  if (!format) return E_INVALIDARG;
  *format = 1;
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetLocked(VARIANT_BOOL* locked) {
  if (!locked) return E_INVALIDARG;
  *locked = m_lock.IsHeld() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Rights

HRESULT CComFlgObject::CheckRight(IFlgInstance* instance, LONG right) {
  if (!m_bCheckRights || right == 0) return S_OK;
  IFlgInstancePtr asked(instance);
  if (!asked && m_spFactory) asked = IFlgInstancePtr(m_spFactory);
  if (!asked) return S_OK;  // nobody to ask
  BSTR raw = nullptr;
  const HRESULT hr = asked->CheckRightText(right, &raw);
  _bstr_t explanation(raw, false);
  if (SUCCEEDED(hr)) return S_OK;
  return ReportErrorText(GetObjectClsid(), __uuidof(IFlgItem), hr,
                         explanation.length() ? static_cast<const wchar_t*>(explanation) : L"");
}

// The factory an operation was given (null: E_INVALIDARG) is kept; then the operation's right.
HRESULT CComFlgObject::TakeFactory(IFlgDataFactory* factory, LONG right) {
  if (!factory) return E_INVALIDARG;
  m_spFactory = factory;
  return CheckRight(nullptr, right);
}

// ---------------------------------------------------------------------------------------------
// IFlgItem

STDMETHODIMP CComFlgObject::GetClassID(CLSID* clsid) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!clsid) return E_INVALIDARG;
  *clsid = GetObjectClsid();
  return S_OK;
}

STDMETHODIMP CComFlgObject::InitNew(IFlgDataFactory* factory, VARIANT init) {
  return FlgBoundary(kReadError, [&]() -> HRESULT {
    HRESULT hr = TakeFactory(factory, m_lRightNew);
    if (FAILED(hr)) return hr;
    m_sets.clear();
    m_setFields.clear();
    m_secondSets.clear();
    hx::Check(factory->AttachObject(static_cast<IFlgDataSetup*>(this)));
    m_lState = stNew;
    hr = InitNewDefaults(init);
    m_vId.Clear();
    m_vId.vt = VT_NULL;
    if (hr != S_OK) m_lState = stNone;
    return hr;
  });
}

STDMETHODIMP CComFlgObject::Load(IFlgDataFactory* factory, VARIANT id) {
  return FlgBoundary(kReadError, [&]() -> HRESULT {
    if (!factory) return E_INVALIDARG;
    hx::Check(VariantCopy(&m_vId, &id));
    m_lState = stRead;
    m_spFactory = factory;
    m_sets.clear();
    m_setFields.clear();
    m_secondSets.clear();
    HRESULT hr = factory->ReadObject(static_cast<IFlgDataSetup*>(this));
    if (FAILED(hr)) {
      // A missing or unreadable object leaves state 0, by which callers know it is not there.
      m_lState = stNone;
      return MapDbError(GetObjectClsid(), __uuidof(IFlgItem), hr, {kReadError});
    }
    hr = OnLoad(m_vId);
    if (FAILED(hr)) {
      m_lState = stNone;
      return MapDbError(GetObjectClsid(), __uuidof(IFlgItem), hr, {kReadError});
    }
    return hr;
  });
}

STDMETHODIMP CComFlgObject::InitCopy(IFlgDataFactory* factory, VARIANT id) {
  return FlgBoundary(kReadError, [&]() -> HRESULT {
    HRESULT hr = TakeFactory(factory, m_lRightNew);
    if (FAILED(hr)) return hr;
    // The source: a second object of this class, read.
    IFlgItemPtr source(FlgCreateRunning(GetObjectClsid()));
    if (!source) _com_issue_error(E_NOINTERFACE);
    hx::Check(source->Load(factory, id));
    m_sets.clear();
    m_setFields.clear();
    m_secondSets.clear();
    hx::Check(factory->AttachObject(static_cast<IFlgDataSetup*>(this)));
    m_lState = stNew;
    m_vId.Clear();
    m_vId.vt = VT_NULL;
    CFlgKeyMap keys;
    hr = CopyFrom(source, keys);
    if (FAILED(hr)) {
      m_lState = stNone;
      return MapDbError(GetObjectClsid(), __uuidof(IFlgItem), hr, {kReadError});
    }
    if (ExtensionsEnabled(factory)) {
      _variant_t sourceId;
      IFlgDataPtr data(source);
      if (data) data->GetId(&sourceId);
      m_vCopySource = sourceId;
    }
    return OnCopied(id);
  });
}

HRESULT CComFlgObject::EnterEdit() {
  HRESULT hr = CheckRight(nullptr, m_lRightEdit);
  if (FAILED(hr)) return hr;
  if (m_lock.IsHeld()) return S_OK;
  if (m_lState != stRead) return S_FALSE;
  if (m_lObjectType != -1 && m_bLockOnEdit) {
    const LONG id = m_vId.vt == VT_I4 ? m_vId.lVal : static_cast<LONG>(_variant_t(m_vId));
    hr = m_lock.Acquire(m_spFactory, m_lObjectType, id, 0);
    if (FAILED(hr)) {
      const CString message = m_lock.GetErrorMessage();
      return ReportErrorFormatted(GetObjectClsid(), __uuidof(IFlgItem), hr, {message.GetString()});
    }
  }
  m_lState = stEdited;
  hr = OnBeginEdit();
  if (FAILED(hr)) m_lState = stNone;
  return hr;
}

HRESULT CComFlgObject::LeaveEdit() {
  m_lState = stRead;
  HRESULT hr = m_lock.Release();
  if (FAILED(hr)) {
    m_lState = stNone;
    return hr;
  }
  hr = OnEndEdit();
  if (FAILED(hr)) m_lState = stNone;
  return hr;
}

STDMETHODIMP CComFlgObject::BeginEdit() {
  return FlgBoundary(L"", [&]() -> HRESULT {
    return EnterEdit();
  });
}

STDMETHODIMP CComFlgObject::EndEdit() {
  return FlgBoundary(L"", [&]() -> HRESULT {
    return LeaveEdit();
  });
}

STDMETHODIMP CComFlgObject::Check() {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    m_hrFirstError = S_OK;
    const HRESULT hr = Validate();
    if (FAILED(hr)) return hr;
    return FAILED(m_hrFirstError) ? m_hrFirstError : hr;
  });
}

_ConnectionPtr CComFlgObject::Connection(IFlgDataFactory* factory) const {
  if (!factory) _com_issue_error(E_POINTER);
  IDispatch* raw = nullptr;
  hx::Check(factory->GetDbConnection(&raw));
  IDispatchPtr dispatch(raw, false);
  _ConnectionPtr connection(dispatch);
  if (!connection) _com_issue_error(E_NOINTERFACE);
  return connection;
}

bool CComFlgObject::ExtensionsEnabled(IFlgDataFactory* factory) const {
  if (!m_bExtensionsEnabled || m_lExtensionCount == 0 || !factory) return false;
  IFlgNewKeySourcePtr keys(factory);
  return keys != nullptr;
}

// Operation 3 insert, 4 copy, 5 update, 6 delete (the extension interface's slots).
HRESULT CComFlgObject::RunExtensions(IFlgDataFactory* factory, LONG operation) {
  _variant_t key;
  if (operation == 6) {
    key = m_vId;
  } else {
    IFlgNewKeySourcePtr keys(factory);
    hx::Check(keys->GetNewKey(static_cast<IFlgDataSetup*>(this), &key));
  }
  for (LONG i = 0; i < m_lExtensionCount; ++i) {
    const FlgObjectExtension& entry = m_pExtensions[i];
    IFlgObjectExtensionPtr extension(FlgCreateRunning(entry.clsid));
    if (!extension) continue;
    switch (operation) {
      case 3: hx::Check(extension->OnInsert(factory, key, entry.param)); break;
      case 4: hx::Check(extension->OnCopy(factory, m_vCopySource, key, entry.param)); break;
      case 5: hx::Check(extension->OnUpdate(factory, key, entry.param)); break;
      default: hx::Check(extension->OnDelete(factory, key, entry.param)); break;
    }
  }
  return S_OK;
}

HRESULT CComFlgObject::InTransaction(IFlgDataFactory* factory, const wchar_t* insert,
                                     const std::function<void()>& work, const std::function<void()>& failed) {
  _ConnectionPtr connection;
  if (m_bUseTransaction) {
    try {
      connection = Connection(factory);
      connection->BeginTrans();
    } catch (const _com_error&) {
      return ReportErrorFormatted(GetObjectClsid(), __uuidof(IFlgItem), zephra::KD_E_TRANS_BEGIN, {insert});
    }
  }
  auto rollback = [&] {
    if (!connection) return;
    try {
      connection->RollbackTrans();
    } catch (const _com_error&) {
    }
  };
  try {
    work();
  } catch (const _com_error& e) {
    rollback();
    failed();
    return Failed(insert);
  }
  if (connection) {
    try {
      connection->CommitTrans();
    } catch (const _com_error&) {
      rollback();
      failed();
      return ReportErrorFormatted(GetObjectClsid(), __uuidof(IFlgItem), zephra::KD_E_TRANS_COMMIT, {insert});
    }
  }
  return S_OK;
}

STDMETHODIMP CComFlgObject::Save() {
  return FlgBoundary(kWriteError, [&]() -> HRESULT {
    if (!m_spFactory) return E_FAIL;
    if (m_lState != stNew && m_lState != stEdited) return E_FAIL;
    IFlgDataFactoryPtr factory = m_spFactory;
    const LONG saved = m_lState;
    const HRESULT hr = InTransaction(
        factory, kWriteError,
        [&] {
          hx::Check(saved == stNew ? factory->InsertObject(static_cast<IFlgDataSetup*>(this))
                                   : factory->UpdateObject(static_cast<IFlgDataSetup*>(this)));
          if (ExtensionsEnabled(factory)) {
            RunExtensions(factory, m_vCopySource.vt == VT_I4 ? 4 : saved == stNew ? 3 : 5);
            m_vCopySource.Clear();
          }
        },
        [&] { RunPendingNotification(); });
    if (FAILED(hr)) return hr;
    OnSaved();
    if (saved == stNew) m_lState = stRead;
    IFlgInstancePtr instance(factory);
    if (instance) instance->RefreshObjectType(GetObjectClsid(), saved == stNew ? kRefreshInserted : kRefreshUpdated, m_vId);
    return S_OK;
  });
}

STDMETHODIMP CComFlgObject::Delete(IFlgDataFactory* factory, VARIANT id) {
  return FlgBoundary(kDeleteError, [&]() -> HRESULT {
    HRESULT hr = TakeFactory(factory, m_lRightDelete);
    if (FAILED(hr)) return hr;
    hx::Check(VariantCopy(&m_vId, &id));
    bool entered = false;
    if (!m_lock.IsHeld()) {
      hr = EnterEdit();
      if (FAILED(hr)) return hr;
      entered = m_lState == stEdited;
    }
    hr = InTransaction(
        factory, kDeleteError,
        [&] {
          if (ExtensionsEnabled(factory)) RunExtensions(factory, 6);
          hx::Check(factory->DeleteObject(static_cast<IFlgDataSetup*>(this)));
        },
        [] {});
    // The lock is left only now that the transaction has ended: a lock row deleted inside a delete
    // that is rolled back would come back while the object counts it released.
    if (entered) LeaveEdit();
    if (FAILED(hr)) return hr;
    IFlgInstancePtr instance(factory);
    if (instance) instance->RefreshObjectType(GetObjectClsid(), kRefreshDeleted, m_vId);
    return S_OK;
  });
}

STDMETHODIMP CComFlgObject::SetUseTransaction(LONG use) {
  m_bUseTransaction = use;
  return S_OK;
}
STDMETHODIMP CComFlgObject::SetLockOnEdit(LONG lock) {
  m_bLockOnEdit = lock;
  return S_OK;
}
STDMETHODIMP CComFlgObject::SetCheckRights(LONG check) {
  m_bCheckRights = check;
  return S_OK;
}
STDMETHODIMP CComFlgObject::SetCallbackValue(LONG value) {
  m_lCallbackValue = value;
  return S_OK;
}
STDMETHODIMP CComFlgObject::GetCallbackValue(LONG* value) {
  if (!value) return E_INVALIDARG;
  *value = m_lCallbackValue;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// IFlgDataCallback

STDMETHODIMP CComFlgObject::RunPendingNotification() {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!m_lPendingNotification) return S_OK;
  m_lPendingNotification = 0;
  if (!m_spFactory) return S_OK;
  return m_spFactory->NotifyObject(static_cast<IFlgDataSetup*>(this));
}

// ---------------------------------------------------------------------------------------------
// IFlgItemView

STDMETHODIMP CComFlgObject::GetWindow(LONG* hwnd) {
  if (!hwnd) return E_INVALIDARG;
  *hwnd = m_lHwnd;
  return S_OK;
}

STDMETHODIMP CComFlgObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

IFlgInstancePtr CComFlgObject::GetFlgInstance() {
  if (m_spInstance) return m_spInstance;
  return m_spFactory ? IFlgInstancePtr(m_spFactory) : IFlgInstancePtr();
}

// The dialog's result as the view operations answer it: OK, not confirmed (0 or Cancel), the
// framework's "not confirmed" code for 4, E_FAIL when the dialog could not be shown.
static HRESULT DialogResult(INT_PTR result) {
  switch (result) {
    case 1: return S_OK;
    case 4: return kNotConfirmed;
    case -1: return E_FAIL;
    default: return S_FALSE;
  }
}

HRESULT CComFlgObject::ShowDialog(IUnknown* window, IFlgInstance* instance, bool readOnly) {
  m_spParentWnd = window;
  m_spInstance = instance;
  bool entered = false;
  if (!readOnly && m_lState == stRead && !m_lock.IsHeld()) {
    const HRESULT hr = EnterEdit();
    if (FAILED(hr)) return hr;
    entered = m_lState == stEdited;
  }
  // The class library's wrapper of the window object's window (none without a window object).
  CWnd* parent = CWnd::FromHandle(WindowOf(window));
  INT_PTR result = 0;
  try {
    result = ShowEditDialog(parent);
    AfterEditDialog(result, parent);
  } catch (...) {
    if (entered) LeaveEdit();
    throw;
  }
  if (entered) {
    const HRESULT hr = LeaveEdit();
    if (FAILED(hr)) return hr;
  }
  return DialogResult(result);
}

STDMETHODIMP CComFlgObject::ShowReadOnly(IUnknown* window, IFlgInstance* instance) {
  return FlgBoundary(L"", [&]() -> HRESULT {
    if (!instance) return E_INVALIDARG;
    m_spParentWnd = window;
    const HRESULT hr = CheckRight(instance, m_lRightView);
    if (FAILED(hr)) return hr;
    return ShowDialog(window, instance, true);
  });
}

STDMETHODIMP CComFlgObject::Show(IUnknown* window, IFlgInstance* instance) {
  return FlgBoundary(L"", [&]() -> HRESULT {
    if (!instance) return E_INVALIDARG;
    return ShowDialog(window, instance, false);
  });
}

STDMETHODIMP CComFlgObject::ShowDelete(IUnknown* window, IFlgInstance* instance) {
  return FlgBoundary(kDeleteError, [&]() -> HRESULT {
    if (!instance) return E_INVALIDARG;
    m_spParentWnd = window;
    m_spInstance = instance;
    const HRESULT hr = CheckRight(instance, m_lRightDelete);
    if (FAILED(hr)) return hr;
    if (ConfirmDelete() != IDYES) return S_FALSE;
    IFlgDataFactoryPtr factory = m_spFactory ? m_spFactory : IFlgDataFactoryPtr(instance);
    if (!factory) return E_FAIL;
    return Delete(factory, m_vId);
  });
}

STDMETHODIMP CComFlgObject::ShowExtra(IUnknown* window, IFlgInstance* instance) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!instance) return E_INVALIDARG;
    m_spParentWnd = window;
    m_spInstance = instance;
    const HRESULT hr = CheckRight(instance, m_lRightExtra);
    if (FAILED(hr)) return hr;
    return E_NOTIMPL;
  });
}

// ---------------------------------------------------------------------------------------------
// IFlgText

STDMETHODIMP CComFlgObject::GetSql(VARIANT, VARIANT, VARIANT, VARIANT, BSTR* sql) {
  if (!sql) return E_INVALIDARG;
  *sql = nullptr;
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetLong(VARIANT a, VARIANT b, VARIANT c, VARIANT d, IFlgDataFactory* factory,
                                    LONG* value) {
  return FlgBoundary(kReadError, [&]() -> HRESULT {
    if (!factory || !value) return E_INVALIDARG;
    *value = 0;
    BSTR raw = nullptr;
    HRESULT hr = GetSql(a, b, c, d, &raw);
    _bstr_t sql(raw, false);
    if (FAILED(hr)) return hr;
    if (!sql.length()) return S_OK;
    _RecordsetPtr rs = Connection(factory)->Execute(sql, nullptr, adCmdText);
    if (!rs || rs->GetState() == adStateClosed || rs->GetadoEOF()) return S_OK;
    *value = static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
    return S_OK;
  });
}
