#include "zone/statusmgr.h"

#include <new>
#include <unordered_set>

#include "auctions/lotrix.h"
#include "framework/comobject.h"
#include "platform/resources/resources.h"
#include "shared/hxinstance.h"
#include "shared/objlock.h"
#include "shared/satools.h"
#include "zone/jobtools.h"
#include "zone/translist.h"

namespace vorlen {

using jobs::Call;
using jobs::Check;

namespace {

// The host's status window; a missing one is E_POINTER at its first use.
IHxStatusWindowPtr StatusWindow() {
  IHxStatusWindowPtr window;
  if (IFlgInstancePtr instance = CHxInstance::GetInstance()) window = instance;
  if (!window) _com_issue_error(E_POINTER);
  return window;
}

// The framework instance's interface I; E_POINTER raised when it has none.
template <class I>
jobs::Ptr<I> HostFace() {
  IFlgInstancePtr instance = CHxInstance::GetInstance();
  if (!instance) _com_issue_error(E_POINTER);
  jobs::Ptr<I> face(instance);
  if (!face) _com_issue_error(E_POINTER);
  return face;
}

// Runs `work` and swallows what it raises (the steps that end a run that already failed).
template <class F>
void Quietly(F work) {
  try {
    work();
  } catch (const _com_error&) {
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CLog

const LONG CCoStatusMgr::CLog::kJobs[4] = {sjClosePages, sjOpenPages, sjReceiveBuyerData, sjSendData};

CCoStatusMgr::CLog::CLog()
    : m_logs{CHxLog(CHxLog::jsClosePages), CHxLog(CHxLog::jsOpenPages), CHxLog(CHxLog::jsReceivePageData),
             CHxLog(CHxLog::jsSendPageData)} {
  try {
    IFlgInstancePtr instance = CHxInstance::GetInstance();
    if (!instance) return;
    _variant_t level(LONG{0});
    if (FAILED(instance->GetSetting(_bstr_t(kLogLevelSection), _bstr_t(kLogLevelKey), &level))) return;
    if (level.vt == VT_I4 && (level.lVal == 1 || level.lVal == 2)) m_logLevel = level.lVal;
  } catch (const _com_error&) {
  }
}

int CCoStatusMgr::CLog::Index(LONG job) {
  for (int i = 0; i < 4; ++i)
    if (kJobs[i] == job) return i;
  return -1;
}

CHxLog* CCoStatusMgr::CLog::Log(LONG job) {
  const int i = Index(job);
  return i < 0 ? nullptr : &m_logs[i];
}

LONG CCoStatusMgr::CLog::Counter(LONG job) const {
  const int i = Index(job);
  return i < 0 ? 0 : m_counters[i];
}

void CCoStatusMgr::CLog::StartJobs(LONG flags) {
  m_flags = flags;
  m_currentJob = 0;
  m_terminated = false;
  for (int i = 0; i < 4; ++i) {
    // A run starts from fresh logs: no count and no worst status of an earlier run (a log an
    // earlier run left open ends as failed first).
    if (m_logs[i].Started()) m_logs[i].EndJob(0, CHxLog::jrError);
    m_logs[i] = CHxLog(m_logs[i].Subtype());
    m_counters[i] = 0;
  }
  for (int i = 0; i < 4; ++i) {
    if (!(flags & kJobs[i])) continue;
    m_logs[i].StartJob();
    m_logs[i].ShowStartMsg();
    if (m_currentJob == 0) m_currentJob = kJobs[i];
  }
}

void CCoStatusMgr::CLog::EndJobs() {
  for (int i = 0; i < 4; ++i) {
    if (!(m_flags & kJobs[i])) continue;
    m_logs[i].ShowEndMsg();
    m_logs[i].EndJobAutoResult(m_counters[i]);
  }
}

void CCoStatusMgr::CLog::TerminateJobs() {
  m_terminated = true;
  for (int i = 0; i < 4; ++i)
    if (m_flags & kJobs[i]) m_logs[i].EndJobTerminated(0);
}

void CCoStatusMgr::CLog::FailJobs() {
  for (int i = 0; i < 4; ++i)
    if (m_flags & kJobs[i]) m_logs[i].EndJob(0, CHxLog::jrError);
}

void CCoStatusMgr::CLog::LogMessage(LONG level, const wchar_t* text) {
  CHxLog* log = Log(m_currentJob);
  if (!log) return;
  if (level <= m_logLevel) {
    log->Echo(text);
  } else if (level == 1) {
    IHxStatusWindowPtr window = StatusWindow();
    Call(window, &IHxStatusWindow::ShowLine, _bstr_t(text ? text : L"").GetBSTR());
  }
}

void CCoStatusMgr::CLog::LogError(const wchar_t* text) {
  CHxLog* log = Log(m_currentJob);
  if (!log) return;
  // A failure's text may end in the message library's line end (it separates the library's text
  // from the message after it, which may be empty): the line ends there without an empty line.
  CString line(text ? text : L"");
  line.TrimRight(L"\r\n");
  log->Error(line);
}

void CCoStatusMgr::CLog::LogErrorCode(HRESULT hr) {
  if (CHxLog* log = Log(m_currentJob)) log->Error(static_cast<LONG>(hr));
}

void CCoStatusMgr::CLog::LogWarning(const wchar_t* text) {
  if (CHxLog* log = Log(m_currentJob)) log->Warning(text);
}

void CCoStatusMgr::CLog::ShowStatusText(const wchar_t* text) {
  IHxStatusWindowPtr window = StatusWindow();
  Call(window, &IHxStatusWindow::ShowSummary, _bstr_t(text ? text : L"").GetBSTR());
}

void CCoStatusMgr::CLog::CountItem() {
  const int i = Index(m_currentJob);
  if (i >= 0) ++m_counters[i];
}

void CCoStatusMgr::CLog::EchoAll(const wchar_t* text) {
  for (int i = 0; i < 4; ++i)
    if (m_flags & kJobs[i]) m_logs[i].Echo(text);
}

void CCoStatusMgr::CLog::WarningAll(const wchar_t* text) {
  for (int i = 0; i < 4; ++i)
    if (m_flags & kJobs[i]) m_logs[i].Warning(text);
}

// ---------------------------------------------------------------------------------------------
// The manager

CCoStatusMgr::CCoStatusMgr() : m_latestEntryDate(2000, 1, 1, 0, 0, 0) {
  platform::com::g_thisModuleLocks.Lock();
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  // The connector, through COM as any caller creates it; without one every connector call of
  // the jobs fails.
  IUnknown* raw = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_CoVorlenConnector, nullptr, CLSCTX_ALL, __uuidof(IUnknown),
                                 reinterpret_cast<void**>(&raw))) &&
      raw) {
    IUnknownPtr object(raw, false);
    if (SUCCEEDED(OleRun(object))) {
      IVorlenConnector* connector = nullptr;
      if (SUCCEEDED(object->QueryInterface(__uuidof(IVorlenConnector), reinterpret_cast<void**>(&connector))) &&
          connector)
        m_connector.Attach(connector);
    }
  }
  m_bErpAvailable = CEPTools::EPAvaiable();
}

CCoStatusMgr::~CCoStatusMgr() {
  {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    m_connector = nullptr;
  }
  platform::com::g_thisModuleLocks.Unlock();
}

void* CCoStatusMgr::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IStatusMgr)) return static_cast<IStatusMgr*>(this);
  return nullptr;
}

void CCoStatusMgr::SetHostState(LONG state) {
  jobs::Ptr<IHxAppServices> services = HostFace<IHxAppServices>();
  Call(services, &IHxAppServices::SetRefreshState, state);
}

bool CCoStatusMgr::CheckCancel() {
  IHxStatusWindowPtr window = StatusWindow();
  VARIANT_BOOL cancel = VARIANT_FALSE;
  Call(window, &IHxStatusWindow::IsCancelRequested, &cancel);
  if (cancel == VARIANT_FALSE) return false;
  m_log.TerminateJobs();
  SetHostState(1);
  return true;
}

CString CCoStatusMgr::FailureText(const _com_error& e) {
  const _bstr_t description = e.Description();
  const wchar_t* text = static_cast<const wchar_t*>(description);
  if (text && *text) return CString(text);
  return CString(platform::com::SystemMessageText(e.Error()).c_str());
}

void CCoStatusMgr::LogFailure(const _com_error& e) {
  const CString text = FailureText(e);
  if (text.IsEmpty())
    m_log.LogErrorCode(e.Error());
  else
    m_log.LogError(text);
}

HRESULT CCoStatusMgr::JobFailed(const _com_error& e) {
  Quietly([&] { SetHostState(1); });
  Quietly([&] { LogFailure(e); });
  return e.Error();
}

IVorlenConnector* CCoStatusMgr::Connector() {
  if (!m_connector) _com_issue_error(E_POINTER);
  return m_connector.GetInterfacePtr();
}

void CCoStatusMgr::CheckConnector(HRESULT hr) { Check(hr, m_connector.GetInterfacePtr(), __uuidof(IVorlenConnector)); }

bool CCoStatusMgr::StatusesServiceActive(LONG regId) {
  try {
    jobs::Ptr<IRegistration> account = jobs::Load<IRegistration>(CLSID_CoRegistration, regId, CHxObjTools::omReadOnly);
    BOOL active = FALSE;
    Check(account->GetST_StatusesServiceActive(&active), account, __uuidof(IRegistration));
    return active != FALSE;
  } catch (const _com_error&) {
    return false;
  }
}

void CCoStatusMgr::RunJob(LONG job) {
  m_log.SetCurrentJob(job);
  // A job's result is its own: the run goes on with the next job.
  switch (job) {
    case sjClosePages: ClosePages(); break;
    case sjOpenPages: OpenPages(); break;
    case sjSendData: SendDataJob(); break;
    case sjReceiveBuyerData: ReceiveBuyerDataJob(); break;
    default: break;
  }
}

STDMETHODIMP CCoStatusMgr::Synchronize(LONG flags) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return platform::com::Boundary([&] { return RunSynchronize(flags); });
}

HRESULT CCoStatusMgr::RunSynchronize(LONG flags) {
  m_log.StartJobs(flags);

  CHxObjectLock lock(kLockRefused);
  HRESULT hr;
  try {
    hr = lock.Acquire(CHxInstance::GetDataFactory(), kSyncLockType, kSyncLockObject, 0);
  } catch (const _com_error& e) {
    hr = e.Error();
  }
  if (hr != S_OK) {
    // Another workstation synchronises (or the lock could not be taken): every flagged log says
    // so, and no account is touched.
    if (SUCCEEDED(hr)) hr = E_FAIL;
    CString details;
    details.Format(L"%ls\r\nSzczegóły: %ls", kSyncElsewhere, lock.GetErrorMessage().GetString());
    Quietly([&] { m_log.ShowStatusText(kSyncElsewhere); });
    m_log.WarningAll(details);
    m_log.EndJobs();
    return hr;
  }

  SetHostState(0);
  try {
    IFlgInstancePtr instance = CHxInstance::GetInstance();
    jobs::Ptr<IHxStartCheck> startCheck = HostFace<IHxStartCheck>();
    BSTR reason = SysAllocString(L"");
    hr = startCheck->CheckReady(&reason);
    const CString reasonText = jobs::Take(reason);
    if (FAILED(hr)) {
      // The host is not ready: the reason into the current log, and the run ends there with its
      // logs ended as failed and the host state back at 1.
      if (reasonText.IsEmpty())
        m_log.LogErrorCode(hr);
      else
        m_log.LogError(reasonText);
      m_log.FailJobs();
      Quietly([&] { SetHostState(1); });
      lock.Release();
      return hr;
    }
    if (CheckCancel()) {
      lock.Release();
      return kCancelled;
    }

    IUnknown* rawAccounts = nullptr;
    Call(startCheck, &IHxStartCheck::GetAccountSites, &rawAccounts);
    IUnknownPtr accountsObject(rawAccounts, false);
    _RecordsetPtr accounts(accountsObject);
    if (!accounts) _com_issue_error(E_POINTER);
    std::unordered_set<LONG> walked;
    if (accounts->GetRecordCount() != 0) {
      accounts->MoveFirst();
      while (!accounts->GetadoEOF()) {
        if (CheckCancel()) {
          lock.Release();
          return kCancelled;
        }
        // The host lists an account once per site (an account without a site once, its site
        // empty); its jobs run once per run.
        m_lCurrentRegId = static_cast<LONG>(jobs::Field(accounts, L"reg_id"));
        if (walked.insert(m_lCurrentRegId).second && StatusesServiceActive(m_lCurrentRegId)) {
          CString line;
          line.Format(L"Konto: %ls na %ls", jobs::Text(jobs::Field(accounts, L"reg_name")).GetString(),
                      jobs::Text(jobs::Field(accounts, L"site_name")).GetString());
          m_log.EchoAll(line);
          for (LONG job : {sjClosePages, sjOpenPages, sjSendData, sjReceiveBuyerData}) {
            if (flags & job) RunJob(job);
            if (m_log.Terminated()) break;
          }
        }
        // A job that saw a cancel ended the run's logs: the run ends there.
        if (m_log.Terminated()) {
          lock.Release();
          return kCancelled;
        }
        accounts->MoveNext();
      }
    }
    // A cancel asked during the last account's jobs ends the run as cancelled too.
    if (m_log.Terminated() || CheckCancel()) {
      lock.Release();
      return kCancelled;
    }

    m_log.EndJobs();
    SetHostState(1);
    if (instance) Check(instance->RefreshObjectType(GUID_NULL, 0, vtMissing), instance, __uuidof(IFlgInstance));
    lock.Release();
    return S_OK;
  } catch (const _com_error& e) {
    Quietly([&] { SetHostState(1); });
    Quietly([&] { LogFailure(e); });
    m_log.FailJobs();
    lock.Release();
    return e.Error();
  }
}

STDMETHODIMP CCoStatusMgr::ForceSendAll(LONG lRegId, LONG* lForcedCount) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (!lForcedCount) return E_POINTER;
  *lForcedCount = -1;
  if (!StatusesServiceActive(lRegId)) return S_FALSE;
  jobs::Ptr<IHxProgress> progress;
  bool opened = false;
  // The end of every path after the host state went to 0.
  auto end = [&] {
    Quietly([&] { SetHostState(1); });
    if (opened) {
      Quietly([&] { Call(progress, &IHxProgress::Stop); });
      Quietly([&] { Call(progress, &IHxProgress::Hide); });
    }
  };
  try {
    SetHostState(0);
    progress = HostFace<IHxProgress>();
    CTransactionList list;
    SelectTransactionsToSend(list, lRegId, false);
    if (list.IsEmpty()) {
      *lForcedCount = 0;
      end();
      return S_OK;
    }
    Call(progress, &IHxProgress::Open);
    opened = true;
    Call(progress, &IHxProgress::SetText, _bstr_t(L"Aktualizowanie transakcji").GetBSTR(), LONG{0});
    Call(progress, &IHxProgress::SetMode, _variant_t(L""), LONG{0}, static_cast<LONG>(list.GetCount()));
    // The count is of the transactions marked.
    *lForcedCount = 0;
    for (LONG id : list) {
      try {
        IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), id, CHxObjTools::omEdit);
        jobs::Ptr<IHxTransaction> transaction = jobs::Face<IHxTransaction>(item);
        Call(transaction, &IHxTransaction::PutStatusDataModified, static_cast<VARIANT_BOOL>(VARIANT_TRUE));
        Call(transaction, &IHxTransaction::PutStatusSendState, LONG{0});
        CHxObjTools::Save(item);
        Call(progress, &IHxProgress::Step, LONG{-1});
        ++*lForcedCount;
      } catch (const _com_error&) {
        // That transaction stays as it was; the others go on.
      }
    }
    end();
    return S_OK;
  } catch (...) {
    end();
    return platform::com::AnswerCurrentException();
  }
}

HRESULT CreateStatusMgr(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  try {
    return CFlgComObject<CCoStatusMgr>::Create(riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace vorlen
