// The auction services manager: the host's requests, the job logs, the queues of ids to send, the
// synchronisation lock and the walk over the accounts and their sites.
#include "auctions/sync/auctservmgr.h"

#include <functional>
#include <new>

#include "auctions/modulestate.h"
#include "auctions/sync/syncparamsdlg.h"
#include "framework/messages.h"
#include "platform/gui/afxwin.h"
#include "shared/hxcheck.h"
#include "shared/objtools.h"
#include "shared/resstrings.h"

namespace lotrix {

namespace {

// Texts of the manager (Lotrix's string table).
constexpr UINT kUnspecifiedError = 123;
constexpr UINT kErrorCode = 124;
constexpr UINT kLastOperationFailed = 125;
constexpr UINT kDemoSkipped = 173;
constexpr UINT kNoSiteInfo = 174;
constexpr UINT kAccountNotLoaded = 175;
constexpr UINT kAccountKindNotLoaded = 176;
constexpr UINT kConnectorNotCreated = 177;
constexpr UINT kNoReceiveRight = 218;
constexpr UINT kNoAccountReceiveRight = 219;
constexpr UINT kSyncElsewhere = 265;
constexpr UINT kDetails = 266;

constexpr HRESULT kLockRefused = static_cast<HRESULT>(0x80040F19);
constexpr HRESULT kDbUnspecified = static_cast<HRESULT>(0x80040F20);

// The login of the demonstration account, whose data is never processed.
constexpr wchar_t kDemoLogin[] = L"kd_demo";

_variant_t Column(_Recordset* rs, const wchar_t* name) {
  return rs->GetFields()->GetItem(_variant_t(name))->GetValue();
}

bool IsNull(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }

CString TextOf(const _variant_t& v) {
  if (IsNull(v)) return CString();
  if (v.vt == VT_BSTR) return CString(v.bstrVal ? v.bstrVal : L"");
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &v, 0, VT_BSTR))) return CString();
  return CString(text.bstrVal ? text.bstrVal : L"");
}

// A text of the string table with the row's account and site names.
CString RowText(UINT id, _Recordset* rs) {
  CString text;
  const CString name = TextOf(Column(rs, L"reg_name"));
  const CString site = TextOf(Column(rs, L"site_name"));
  text.Format(CHxResString(id), name.GetString(), site.GetString());
  return text;
}

IHxStatusWindowPtr StatusWindow() {
  IHxStatusWindowPtr window;
  if (IFlgInstancePtr instance = CHxInstance::GetInstance()) window = instance;
  return window;
}

// Whether the Control key is down (one of the four highest bits of its state).
bool ControlKeyDown() { return (static_cast<USHORT>(GetAsyncKeyState(VK_CONTROL)) & 0xF000) != 0; }


// The OLE DB error records an error carries: for each, a line break, "(source) " when it has a
// source, and its description.
CString ErrorRecordsText(const _com_error& error) {
  CString text;
  IErrorInfoPtr info(error.ErrorInfo(), false);
  IErrorRecordsPtr records;
  if (info) records = info;
  ULONG count = 0;
  if (!records || FAILED(records->GetRecordCount(&count))) return text;
  for (ULONG i = 0; i < count; ++i) {
    IErrorInfo* raw = nullptr;
    if (FAILED(records->GetErrorInfo(i, 0, &raw)) || !raw) continue;
    IErrorInfoPtr record(raw, false);
    BSTR source = nullptr;
    BSTR description = nullptr;
    record->GetSource(&source);
    record->GetDescription(&description);
    const _bstr_t heldSource(source, false);
    const _bstr_t heldDescription(description, false);
    text += L"\r\n";
    if (heldSource.length() > 0) {
      text += L"(";
      text += static_cast<const wchar_t*>(heldSource);
      text += L") ";
    }
    if (heldDescription.length() > 0) text += static_cast<const wchar_t*>(heldDescription);
  }
  return text;
}

}  // namespace

LONG AccountRight(LONG accountId, LONG kind) {
  return static_cast<LONG>((static_cast<ULONG>(accountId) << 16) | (static_cast<ULONG>(kind) & 0xFFFFu));
}

// ---------------------------------------------------------------------------------------------
// IdQueue

LONG IdQueue::Enqueue(const VARIANT& ids) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (ids.vt == VT_I4) {
    m_ids.push_back(ids.lVal);
    return 1;
  }
  if (ids.vt != (VT_ARRAY | VT_I4) || !ids.parray || SafeArrayGetDim(ids.parray) != 1) return 0;
  LONG lower = 0;
  LONG upper = -1;
  if (FAILED(SafeArrayGetLBound(ids.parray, 1, &lower)) || FAILED(SafeArrayGetUBound(ids.parray, 1, &upper))) return 0;
  LONG count = 0;
  for (LONG i = lower; i <= upper; ++i) {
    LONG id = 0;
    if (FAILED(SafeArrayGetElement(ids.parray, &i, &id))) break;
    if (id <= 0) continue;
    m_ids.push_back(id);
    ++count;
  }
  return count;
}

LONG IdQueue::Count() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return static_cast<LONG>(m_ids.size());
}

bool IdQueue::TakeFirst(LONG& id) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_ids.empty()) return false;
  id = m_ids.front();
  m_ids.erase(m_ids.begin());
  return true;
}

LONG IdQueue::Clear() {
  std::lock_guard<std::mutex> guard(m_lock);
  const LONG count = static_cast<LONG>(m_ids.size());
  m_ids.clear();
  return count;
}

std::vector<LONG> IdQueue::Ids() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_ids;
}

// ---------------------------------------------------------------------------------------------
// JobLogSet

JobLogSet::JobLogSet()
    : m_logs{CHxLog(CHxLog::jsReceiveAuctions),    CHxLog(CHxLog::jsReceiveTransactions),
             CHxLog(CHxLog::jsReceiveCustomers),   CHxLog(CHxLog::jsReceiveComments),
             CHxLog(CHxLog::jsReceiveParams),      CHxLog(CHxLog::jsSendAuctions),
             CHxLog(CHxLog::jsSendComments)} {}

CHxLog& JobLogSet::Log(CHxLog::JobSubtype subtype) {
  for (CHxLog& log : m_logs)
    if (log.Subtype() == subtype) return log;
  return m_logs.front();
}

void JobLogSet::Start(CHxLog::JobSubtype subtype) {
  CHxLog& log = Log(subtype);
  log.StartJob();
  log.ShowStartMsg();
}

void JobLogSet::StartForOptions(const AuctSyncOptions& options) {
  if (options.ReceivesAuctions()) Start(CHxLog::jsReceiveAuctions);
  if (options.transactions) {
    Start(CHxLog::jsReceiveTransactions);
    Start(CHxLog::jsReceiveCustomers);
  }
  if (options.comments) Start(CHxLog::jsReceiveComments);
  if (options.sendAllAuctions) Start(CHxLog::jsSendAuctions);
  if (options.sendAllComments) Start(CHxLog::jsSendComments);
}

void JobLogSet::StartParamsLog(const ReceiveParamsFlags& flags) {
  if (flags.plain || flags.versionCheck) Start(CHxLog::jsReceiveParams);
}

LONG JobLogSet::CountOf(CHxLog::JobSubtype subtype, const JobCounts& counts) {
  switch (subtype) {
    case CHxLog::jsReceiveAuctions: return counts.auctions;
    case CHxLog::jsReceiveTransactions: return counts.transactions;
    case CHxLog::jsReceiveCustomers: return counts.customers;
    case CHxLog::jsReceiveComments: return counts.comments;
    case CHxLog::jsReceiveParams: return counts.params;
    case CHxLog::jsSendAuctions: return counts.auctions;
    case CHxLog::jsSendComments: return counts.comments;
    default: return 0;
  }
}

void JobLogSet::EndAll(const JobCounts& counts, bool terminated) {
  for (CHxLog& log : m_logs) {
    if (!log.Started()) continue;
    const LONG count = CountOf(log.Subtype(), counts);
    if (terminated) {
      log.EndJobTerminated(count);
    } else {
      log.ShowEndMsg();
      log.EndJobAutoResult(count);
    }
  }
}

void JobLogSet::EchoAll(const CString& text) {
  for (CHxLog& log : m_logs)
    if (log.Started()) log.Echo(text);
}

void JobLogSet::WarningAll(const CString& text) {
  for (CHxLog& log : m_logs)
    if (log.Started()) log.Warning(text);
}

void JobLogSet::ErrorAll(const CString& text) {
  for (CHxLog& log : m_logs)
    if (log.Started()) log.Error(text);
}

// ---------------------------------------------------------------------------------------------
// CCoAuctServMgr

CCoAuctServMgr::CCoAuctServMgr() : m_syncLock(kLockRefused) { lotrix::LockModule(); }

CCoAuctServMgr::~CCoAuctServMgr() {
  {
    AFX_MANAGE_STATE(m_pModuleState);
    try {
      m_logs.EndAll(JobCounts(), false);
      m_syncLock.Release();
    } catch (...) {
    }
    m_accountSites = nullptr;
    m_registration = nullptr;
  }
  lotrix::UnlockModule();
}

void* CCoAuctServMgr::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAuctServMgr))
    return static_cast<IAuctServMgr*>(this);
  if (iid == __uuidof(LotrixSync)) return static_cast<LotrixSync*>(this);
  if (iid == __uuidof(ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

STDMETHODIMP CCoAuctServMgr::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == __uuidof(IAuctServMgr) || iid == __uuidof(LotrixSync) ? S_OK : S_FALSE;
}

// The error boundary of the manager's methods, in Lotrix's module state; a class-library exception (thrown as a pointer) is
// deleted and answered E_FAIL.
template <class F>
HRESULT ManagerBoundary(AFX_MODULE_STATE* state, F&& work) {
  AFX_MANAGE_STATE(state);
  return platform::com::Boundary([&]() -> HRESULT {
    try {
      return work();
    } catch (CException* e) {
      e->Delete();
      _com_issue_error(E_FAIL);
  }
  });
}

STDMETHODIMP CCoAuctServMgr::ReceiveUserData(BOOL useDefaults) {
  return ManagerBoundary(m_pModuleState, [&]() -> HRESULT {
    m_options.Load();
    if (!useDefaults && (m_options.receiveDialog || ControlKeyDown()) && !OfferReceiveDialog()) return S_FALSE;
    RunReceiveJob();
    return S_OK;
  });
}

STDMETHODIMP CCoAuctServMgr::ReceiveParams(BOOL checkVersions, BOOL force) {
  return ManagerBoundary(m_pModuleState, [&]() -> HRESULT {
    m_paramsFlags.Clear();
    if (checkVersions) {
      m_paramsFlags.versionCheck = true;
      m_paramsFlags.force = force != 0;
    } else {
      m_paramsFlags.plain = true;
    }
    return UpdateSiteParams();
  });
}

STDMETHODIMP CCoAuctServMgr::SendUserData(BOOL useDefaults) {
  return ManagerBoundary(m_pModuleState, [&]() -> HRESULT {
    m_options.Load();
    m_options.sendAllAuctions = true;
    m_options.sendAllComments = true;
    if (!useDefaults && (m_options.sendDialog || ControlKeyDown()) && !OfferSendDialog()) return S_FALSE;
    RunSendJob();
    return S_OK;
  });
}

STDMETHODIMP CCoAuctServMgr::SendAuctions(VARIANT ids) {
  return ManagerBoundary(m_pModuleState, [&]() -> HRESULT {
    QueueAndSend(m_auctionQueue, ids, CHxLog::jsSendAuctions, nullptr);
    return S_OK;
  });
}

STDMETHODIMP CCoAuctServMgr::SendAuctionsNotes(VARIANT ids) {
  return ManagerBoundary(m_pModuleState, [&]() -> HRESULT {
    QueueAndSend(m_notesQueue, ids, CHxLog::jsSendAuctions, L"Wysyłanie notatek do opisów aukcji");
    return S_OK;
  });
}

STDMETHODIMP CCoAuctServMgr::SendFeedbacks(VARIANT transactionIds) {
  return ManagerBoundary(m_pModuleState, [&]() -> HRESULT {
    QueueAndSend(m_commentQueue, transactionIds, CHxLog::jsSendComments, nullptr);
    return S_OK;
  });
}

void CCoAuctServMgr::QueueAndSend(IdQueue& queue, const VARIANT& ids, CHxLog::JobSubtype subtype,
                                  const wchar_t* startText) {
  m_options.Reset();
  if (queue.Enqueue(ids) == 0) return;
  CHxLog& log = m_logs.Log(subtype);
  log.StartJob();
  if (startText)
    log.Echo(startText);
  else
    log.ShowStartMsg();
  RunSendJob();
}

bool CCoAuctServMgr::OfferReceiveDialog() {
  CAuctServReceiveParamsDlg dialog;
  dialog.SetOptions(m_options);
  if (dialog.DoModal() != IDOK) return false;
  dialog.GetOptions(m_options);
  return true;
}

bool CCoAuctServMgr::OfferSendDialog() {
  CAuctServSendParamsDlg dialog;
  dialog.SetOptions(m_options);
  if (dialog.DoModal() != IDOK) return false;
  dialog.GetOptions(m_options);
  return true;
}

// --- CReceiveContext

bool CCoAuctServMgr::IsTerminated() {
  IHxStatusWindowPtr window = StatusWindow();
  if (!window) return false;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  if (FAILED(window->IsCancelRequested(&cancel))) return false;
  return cancel != VARIANT_FALSE;
}

CHxLog& CCoAuctServMgr::ReceiveLog(CHxLog::JobSubtype subtype) { return m_logs.Log(subtype); }

void CCoAuctServMgr::CountReceived(CHxLog::JobSubtype subtype) {
  switch (subtype) {
    case CHxLog::jsReceiveAuctions: ++m_receiveCounts.auctions; break;
    case CHxLog::jsReceiveTransactions: ++m_receiveCounts.transactions; break;
    case CHxLog::jsReceiveCustomers: ++m_receiveCounts.customers; break;
    case CHxLog::jsReceiveComments: ++m_receiveCounts.comments; break;
    case CHxLog::jsReceiveParams: ++m_receiveCounts.params; break;
    default: break;
  }
}

bool CCoAuctServMgr::FullAuctionData() { return m_options.fullAuctionData; }

void CCoAuctServMgr::ReportError(const _com_error& error, const CString& prefix, CHxLog& log) {
  ReportStepError(error, prefix, &log);
}

// --- the jobs

namespace {

// Releases the manager's synchronisation lock at the end of a scope.
class SyncLockScope {
 public:
  explicit SyncLockScope(CCoAuctServMgr& manager) : m_manager(manager) {}
  ~SyncLockScope() {
    try {
      m_manager.ReleaseSync();
    } catch (...) {
    }
  }
  SyncLockScope(const SyncLockScope&) = delete;
  SyncLockScope& operator=(const SyncLockScope&) = delete;

 private:
  CCoAuctServMgr& m_manager;
};

// A job's auction classes, forgotten when the job's walk begins and again when it ends: classes
// are looked up afresh by every job, and the class objects (and the libraries they keep loaded)
// are let go with the walk.
class AuctionClassesScope {
 public:
  explicit AuctionClassesScope(std::function<void()> forget) : m_forget(std::move(forget)) { m_forget(); }
  ~AuctionClassesScope() { m_forget(); }
  AuctionClassesScope(const AuctionClassesScope&) = delete;
  AuctionClassesScope& operator=(const AuctionClassesScope&) = delete;

 private:
  std::function<void()> m_forget;
};

void RefreshAllLists() {
  IFlgInstancePtr instance = hx::Instance();
  hx::Check(instance->RefreshObjectType(GUID_NULL, 0, _variant_t()));
}

}  // namespace

void CCoAuctServMgr::RunReceiveJob() {
  m_receiveCounts.Clear();
  if (IsTerminated()) return;
  m_logs.StartForOptions(m_options);
  IFlgInstancePtr instance = hx::Instance();
  if (instance->CheckRight(kRightReceiveAuctions, 0) < 0) {
    CHxLog& log = m_logs.Log(CHxLog::jsReceiveAuctions);
    if (log.Started()) log.Error(CHxResString(kNoReceiveRight));
  } else {
    if (!LockSync(kSyncLockReceive, m_receiveCounts)) return;
    SyncLockScope release(*this);
    {
      CHxRefreshLock refresh;
      AuctionClassesScope classes([this] { ForgetAuctionClasses(); });
      WalkAccounts(kWalkReceive);
    }
    RefreshAllLists();
  }
  m_logs.EndAll(m_receiveCounts, IsTerminated());
}

void CCoAuctServMgr::RunSendJob() {
  m_sendCounts.Clear();
  if (IsTerminated()) return;
  if (m_options.sendAllAuctions) m_logs.Start(CHxLog::jsSendAuctions);
  if (m_options.sendAllComments) m_logs.Start(CHxLog::jsSendComments);
  if (!LockSync(kSyncLockSend, m_sendCounts)) {
    // Nothing of this request was sent: its ids do not wait for a later one.
    m_auctionQueue.Clear();
    m_commentQueue.Clear();
    m_notesQueue.Clear();
    return;
  }
  {
    SyncLockScope release(*this);
    {
      CHxRefreshLock refresh;
      AuctionClassesScope classes([this] { m_auctionClasses.clear(); });
      WalkAccounts(kWalkSend);
    }
    DropQueuedNotes();
    DropQueuedSends();
    RefreshAllLists();
  }
  m_logs.EndAll(m_sendCounts, IsTerminated());
}

void CCoAuctServMgr::DropQueuedNotes() {
  const LONG dropped = m_notesQueue.Clear();
  if (dropped == 0) return;
  CHxLog& log = m_logs.Log(CHxLog::jsSendAuctions);
  if (!log.Started()) return;
  CString text;
  text.Format(L"Notatki do opisów aukcji (%ld) nie zostały wysłane: wysyłanie notatek nie jest obsługiwane.",
              dropped);
  log.Warning(text);
}

bool CCoAuctServMgr::LockSync(LONG objectId, JobCounts& counts) {
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  if (!factory) _com_issue_error(E_POINTER);
  hx::Check(m_syncLock.Release());
  const HRESULT hr = m_syncLock.Acquire(factory, kSyncLockType, objectId, 0);
  if (hr == S_OK) return true;
  if (hr != kLockRefused) _com_issue_error(hr);
  const CHxResString busy(kSyncElsewhere);
  const CHxResString details(kDetails);
  const CString reason = m_syncLock.GetErrorMessage();
  CString text;
  text.Format(L"%s\r\n%s\r\n%ls", static_cast<const wchar_t*>(busy), static_cast<const wchar_t*>(details),
              reason.GetString());
  ShowStatus(busy.Text());
  WarningAll(text);
  counts.Clear();
  m_logs.EndAll(counts, false);
  return false;
}

void CCoAuctServMgr::ReleaseSync() { hx::Check(m_syncLock.Release()); }

void CCoAuctServMgr::ShowStatus(const CString& text) {
  IHxStatusWindowPtr window = StatusWindow();
  if (window) window->ShowSummary(_bstr_t(text.GetString()));
}

bool CCoAuctServMgr::CheckAccountRight(_Recordset* accountSite, LONG n, const wchar_t* message) {
  const LONG accountId = static_cast<LONG>(Column(accountSite, L"reg_id"));
  IFlgInstancePtr instance = hx::Instance();
  if (instance->CheckRight(AccountRight(accountId, n), 0) >= 0) return true;
  if (message) {
    const CString name = TextOf(Column(accountSite, L"reg_name"));
    const CString site = TextOf(Column(accountSite, L"site_name"));
    CString text;
    text.FormatMessage(message, name.GetString(), site.GetString());
    ErrorAll(text);
  }
  return false;
}

bool CCoAuctServMgr::CheckReceiveRight(_Recordset* accountSite, WalkMode mode) {
  if (mode != kWalkReceive) return true;
  const CHxResString message(kNoAccountReceiveRight);
  return CheckAccountRight(accountSite, kAccountRightReceive, message);
}

CString FailureText(const _com_error& error, std::initializer_list<const wchar_t*> inserts) {
  const HRESULT hr = error.Error();
  CString text;
  {
    const _bstr_t description = error.Description();
    const wchar_t* held = static_cast<const wchar_t*>(description);
    if (held) text = held;
  }
  if (text.IsEmpty()) {
    CKdSmartMessage messages;
    if (hr == kDbUnspecified) {
      const CHxResString unspecified(kUnspecifiedError);
      text = messages.FormatMessage(hr, KdGetUserDefaultLangID(), {static_cast<const wchar_t*>(unspecified)});
    } else {
      text = messages.FormatMessage(hr, KdGetUserDefaultLangID(), inserts);
    }
  }
  return text;
}

CString CCoAuctServMgr::ReportStepError(const _com_error& error, const CString& prefix, CHxLog* log) {
  const HRESULT hr = error.Error();
  CString text = FailureText(error, {L"?", L"??", L"???"});
  if (text.IsEmpty()) text.Format(CHxResString(kErrorCode), static_cast<LONG>(hr), static_cast<ULONG>(hr));
  text += ErrorRecordsText(error);
  CString result;
  result.Format(L"%ls\r\n%ls", prefix.GetString(), text.GetString());
  if (log) log->Error(result);
  return result;
}

bool CCoAuctServMgr::IsProgressEcho() {
  if (m_progressEcho >= 0) return m_progressEcho > 0;
  try {
    if (IFlgInstancePtr instance = CHxInstance::GetInstance()) {
      _variant_t value(LONG{0});
      if (SUCCEEDED(instance->GetSetting(_bstr_t(L"Test"), _bstr_t(L"AuctSyncProgress"), &value)) &&
          value.vt == VT_I4 && value.lVal == 1)
        m_progressEcho = 1;
    }
  } catch (const _com_error&) {
  }
  return m_progressEcho > 0;
}

void CCoAuctServMgr::ProcessAccountSite(WalkMode mode, IAuctionSiteConnector* connector, _Recordset* accountSite) {
  if (mode == kWalkReceive)
    ReceiveAccountData(connector, accountSite);
  else
    SendAccountData(connector, accountSite);
}

void CCoAuctServMgr::WalkAccounts(WalkMode mode) {
  try {
    IHxStartCheckPtr check(hx::Instance());
    if (!check) _com_issue_error(E_NOINTERFACE);
    IUnknown* raw = nullptr;
    hx::Check(check->GetAccountSites(&raw));
    IUnknownPtr rows(raw, false);
    _RecordsetPtr rs(rows);
    if (!rs) _com_issue_error(E_NOINTERFACE);
    if (rs->GetBOF() && rs->GetadoEOF()) return;
    rs->MoveFirst();

    IUnknownPtr account = FlgCreateRunning(CLSID_CoRegistration);
    IFlgItemPtr item(account);
    IRegistrationPtr registration(account);
    LotrixRegistrationPtr lotrixRegistration(account);
    if (!item || !registration || !lotrixRegistration) _com_issue_error(E_NOINTERFACE);
    IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
    bool havePrevious = false;
    LONG previousAccount = 0;
    GUID previousClsid = GUID_NULL;
    IAuctionSiteAccountPtr provider;
    IAuctionSiteConnectorPtr connector;
    m_accountSites = rs;

    if ((mode == kWalkSend && m_options.sendCurrentAccount) || (mode == kWalkReceive && m_options.receiveCurrentAccount)) {
      LONG selected = 0;
      hx::Check(check->GetSelectedAccount(&selected));
      if (selected >= 1) {
        CString filter;
        filter.Format(L"reg_id=%ld", selected);
        rs->PutFilter(_variant_t(filter.GetString()));
      }
    }

    for (; !rs->GetadoEOF() && !IsTerminated(); rs->MoveNext()) {
      const CString name = TextOf(Column(rs, L"reg_name"));
      if (name.CompareNoCase(kDemoLogin) == 0) {
        EchoAll(CHxResString(kDemoSkipped).Text());
        continue;
      }
      const LONG accountId = static_cast<LONG>(Column(rs, L"reg_id"));
      if (!CheckReceiveRight(rs, mode)) continue;
      const _variant_t subsite = Column(rs, L"subsite_id");
      if (IsNull(subsite)) {
        ErrorAll(RowText(kNoSiteInfo, rs));
        continue;
      }
      const bool newAccount = !havePrevious || accountId != previousAccount;
      if (newAccount) {
        if (FAILED(item->Load(factory, _variant_t(accountId)))) {
          ErrorAll(RowText(kAccountNotLoaded, rs));
          continue;
        }
        m_registration = lotrixRegistration;
      }
      GUID clsid = GUID_NULL;
      if (FAILED(registration->GetConnectorClsid(&clsid))) {
        ErrorAll(RowText(kAccountKindNotLoaded, rs));
        continue;
      }
      if (clsid != previousClsid) {
        IAuctionSiteAccountPtr created;
        try {
          created = FlgCreateRunning(clsid);
        } catch (const _com_error&) {
        }
        if (!created) {
          ErrorAll(RowText(kConnectorNotCreated, rs));
          continue;
        }
        provider = created;
        previousClsid = clsid;
      }
      if (newAccount) {
        IAuctionSiteConnector* session = nullptr;
        HRESULT hr = provider->OpenSession(lotrixRegistration, &session);
        if (FAILED(hr)) _com_issue_errorex(hr, provider, __uuidof(IAuctionSiteAccount));
        connector = IAuctionSiteConnectorPtr(session, false);
        if (!connector) _com_issue_error(E_POINTER);
        hr = connector->SetSync(static_cast<LotrixSync*>(this));
        if (FAILED(hr)) _com_issue_errorex(hr, connector, __uuidof(IAuctionSiteConnector));
        previousAccount = accountId;
        havePrevious = true;
      }
      _variant_t site(static_cast<LONG>(subsite));
      const HRESULT hr = connector->SetRegSite(site);
      if (FAILED(hr)) _com_issue_errorex(hr, connector, __uuidof(IAuctionSiteConnector));
      ProcessAccountSite(mode, connector, rs);
    }
  } catch (const _com_error& e) {
    ErrorAll(ReportStepError(e, CHxResString(kLastOperationFailed).Text(), nullptr));
  }
  m_accountSites = nullptr;
}

}  // namespace lotrix
