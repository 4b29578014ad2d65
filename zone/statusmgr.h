#pragma once
// CoStatusMgr: the seller-zone synchronisation. Under the database lock of the synchronisation
// (one workstation at a time) it walks the host's accounts and, for each account whose seller
// zone is on, runs the jobs of the run's flags in the order close pages, open pages, send page
// data, receive buyer data. Each job writes into a job log of its own; the jobs share the
// manager's current account, its connector, its ERP flag and its latest buyer-entry date.
//
// The manager creates its connector through COM when it is made and keeps it for its life; a
// manager whose connector could not be made fails every connector call with E_POINTER.
#include <functional>
#include <vector>

#include "framework/zephra.h"
#include "platform/com/server.h"
#include "platform/strings/oledatetime.h"
#include "shared/hxlog.h"
#include "zone/vorlen.h"

struct IRegistration;

namespace vorlen {

// The framework setting of the jobs' log detail (0 summaries, 1 progress, 2 detail).
inline constexpr wchar_t kLogLevelSection[] = L"Test";
inline constexpr wchar_t kLogLevelKey[] = L"StrefaVantorLogLevel";

// The lock of the seller-zone synchronisation: object type 726, object 1, extra 0.
inline constexpr LONG kSyncLockType = 726;
inline constexpr LONG kSyncLockObject = 1;
// The code of a refused object lock and of a cancel by the user.
inline constexpr HRESULT kLockRefused = static_cast<HRESULT>(0x80040F19u);
inline constexpr HRESULT kCancelled = static_cast<HRESULT>(0x800445A1u);
// What every flagged log is told when another workstation holds the lock.
inline constexpr wchar_t kSyncElsewhere[] = L"Aktualnie trwa synchronizacja ze Strefą Vantor na innej stacji roboczej.";

class CCoStatusMgr : public IStatusMgr {
 public:
  // The job logs of a run: one per job bit (subtypes 15 to 18 for bits 1, 2, 4 and 8), the run's
  // flags, the job whose log receives messages, the items each job completed and the log level.
  // Every operation acts on the run's flags or on the current job's log; a current job other
  // than 1, 2, 4 or 8 writes nothing.
  class CLog {
   public:
    // Reads the log level once (Test/StrefaVantorLogLevel; only 1 and 2 are taken).
    CLog();
    virtual ~CLog() = default;
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Starts and announces the log of every bit set, in the order 1, 2, 4, 8; the current job
    // becomes the lowest bit set. Each run starts from fresh logs and counters.
    void StartJobs(LONG flags);
    // Announces the end of every flagged log and ends it with its counter and its worst status.
    void EndJobs();
    // Ends every flagged log as terminated by the user.
    void TerminateJobs();
    // Whether the run's logs were ended as terminated (a job or the run saw a cancel).
    bool Terminated() const { return m_terminated; }
    // Ends every flagged log still open as failed (count 0), as a log left open would end.
    void FailJobs();

    // Level 0 summary, 1 progress, 2 detail: a level up to the log level goes into the current
    // job's log; above it, progress goes to the host's status line only and detail nowhere.
    void LogMessage(LONG level, const wchar_t* text);
    void LogError(const wchar_t* text);
    void LogErrorCode(HRESULT hr);
    void LogWarning(const wchar_t* text);
    // The host status window's summary line; not logged.
    void ShowStatusText(const wchar_t* text);
    // One more item completed by the current job.
    void CountItem();

    // Into the log of every flagged job.
    void EchoAll(const wchar_t* text);
    void WarningAll(const wchar_t* text);

    void SetCurrentJob(LONG job) { m_currentJob = job; }
    LONG CurrentJob() const { return m_currentJob; }
    LONG Flags() const { return m_flags; }
    LONG LogLevel() const { return m_logLevel; }
    // The items a job (1, 2, 4 or 8) completed in the run; 0 for any other value.
    LONG Counter(LONG job) const;

   private:
    // The log of a job bit, or null.
    CHxLog* Log(LONG job);
    static int Index(LONG job);
    static const LONG kJobs[4];

    CHxLog m_logs[4];
    LONG m_flags = 0;
    LONG m_currentJob = 0;
    LONG m_counters[4] = {0, 0, 0, 0};
    LONG m_logLevel = 0;
    bool m_terminated = false;
  };

  CCoStatusMgr();
  virtual ~CCoStatusMgr();
  CCoStatusMgr(const CCoStatusMgr&) = delete;
  CCoStatusMgr& operator=(const CCoStatusMgr&) = delete;
  void* FlgGetInterface(REFIID iid);

  // --- IStatusMgr
  STDMETHOD(Synchronize)(LONG flags) override;
  STDMETHOD(ForceSendAll)(LONG lRegId, LONG* lForcedCount) override;

  // --- What the jobs share.
  // The reg_Id of the account being processed.
  LONG m_lCurrentRegId = 0;
  // Whether the host's ERP connector is available (taken once, at construction).
  bool m_bErpAvailable = false;
  // The newest buyer-entry date met (2000-01-01 at first; the receive job raises it).
  COleDateTime m_latestEntryDate;
  // The manager's connector; null when it could not be made.
  IVorlenConnectorPtr m_connector;
  CLog m_log;

  // --- The patterns every job follows.
  // The host state (IHxAppServices slot 14): 0 when a job starts, 1 when it ends.
  void SetHostState(LONG state);
  // Asks the host's status window whether the user asked to cancel. On a cancel the job logs
  // end as terminated and the host state becomes 1, and the answer is true.
  bool CheckCancel();
  // The text of a failure: its description, else the system's message text of its code (empty
  // when neither exists).
  static CString FailureText(const _com_error& e);
  // Logs a failure as an error line: its text, or the code when it has none.
  void LogFailure(const _com_error& e);
  // A failure that ends a whole job: host state 1, the failure logged; its HRESULT.
  HRESULT JobFailed(const _com_error& e);
  // The connector, or E_POINTER raised when there is none.
  IVorlenConnector* Connector();
  // Raises a failed connector call with the connector's error information.
  void CheckConnector(HRESULT hr);
  // A container made by the connector's `method` (a null answer: E_POINTER raised).
  template <class M>
  _RecordsetPtr MakeContainer(M method) {
    _Recordset* raw = nullptr;
    const HRESULT hr = (Connector()->*method)(&raw);
    _RecordsetPtr rs(raw, false);
    CheckConnector(hr);
    if (!rs) _com_issue_error(E_POINTER);
    return rs;
  }

  // Executes a job's selection; when it fails or selects nothing, logs `noneText` and is false.
  bool Selected(class CTransactionList& list, const wchar_t* noneText);

  // --- The jobs (each returns 0, 0x800445A1 on a cancel, or a whole-job failure's HRESULT).
  HRESULT ClosePages();
  HRESULT OpenPages();
  HRESULT SendDataJob();
  HRESULT ReceiveBuyerDataJob();

  // --- The send job's five steps for one transaction, in this order. Each sets `sent` when its
  // data went out; a failure is logged and answered as its HRESULT.
  HRESULT SendBuyerData(IHxTransaction* transaction, bool& sent);
  HRESULT SendPackages(IHxTransaction* transaction, bool& sent, std::vector<LONG>& packageIds);
  HRESULT SendPageInfo(IHxTransaction* transaction, bool& sent);
  HRESULT SendItems(IHxTransaction* transaction, bool& sent);
  HRESULT SendEntryConstraints(IHxTransaction* transaction, bool& sent);

 private:
  HRESULT RunSynchronize(LONG flags);
  // Whether the account's seller zone is on; false when the account cannot be read.
  static bool StatusesServiceActive(LONG regId);
  void RunJob(LONG job);
  // Close-pages phases.
  HRESULT CloseDeletedTransactionPages();
  HRESULT CloseUnusedPages();
  HRESULT CloseOldPages();
  // Phases 2 and 3: closes the pages of the listed transactions and clears them there.
  HRESULT ClosePagesOfTransactions(const class CTransactionList& list, const wchar_t* savedLine,
                                   const wchar_t* summaryFormat);
  // One ClosePage call: true when the page is closed (or was already); a failure other than an
  // already closed page is a warning and false.
  bool ClosePage(LONG pageId, bool& alreadyClosed);
  // The send job's work on one transaction: true when all its data went out and its markers
  // were cleared.
  bool SendTransactionData(LONG id);
  // Where a send step was when it failed: preparing (a failure of the job's own calls), filling
  // its containers or sending them.
  enum class SendPhase { Prepare, Fill, Send };
  struct SendStepTexts;
  // The shape of every send step: header line, `work` (false: nothing to send), "-- dane
  // wysłano", and the step's failure line. `work` keeps the customer it loaded in its argument.
  HRESULT SendStep(IHxTransaction* transaction, bool& sent, const SendStepTexts& texts,
                   const std::function<bool(SendPhase&, IUnknownPtr&)>& work);
  // The receive job's work once the changed pages are known (0 or a failure's HRESULT).
  HRESULT ReceiveChangedPages(const _RecordsetPtr& changes, IRegistration* account);
  // One transaction of the open-pages job (`number` counts the pages tried, of `total`).
  void OpenPageOfTransaction(LONG id, LONG& number, LONG total, LONG& pages, LONG& buyerData);
};

// The class's creation function (object map): a new manager; an outer object is refused.
HRESULT CreateStatusMgr(IUnknown* outer, REFIID riid, void** ppv);

// --- The open-pages job's operations that other jobs use.

// Appends to `bidInfo` (AuctionBidInfo) the one bid by which the service knows the transaction's
// buyer: for a single transaction its own auction and the given customer, for a group the first
// member of the group's account that is linked to an auction. 0 when a row was appended, E_FAIL
// when none could be, E_INVALIDARG for a missing argument, else a failure's HRESULT.
HRESULT FillBidInfo(CCoStatusMgr& manager, IHxTransaction* transaction, IHxCustomer* customer, _Recordset* bidInfo);
// As FillBidInfo, raising what fails (E_INVALIDARG for a missing argument): false when no bid
// could be appended (no auction to point to).
bool AppendTransactionBid(CCoStatusMgr& manager, IHxTransaction* transaction, IHxCustomer* customer,
                          _Recordset* bidInfo);
// Appends one bid row (buyer_id, auction_id, service_id); E_INVALIDARG without a container.
HRESULT AddBidInfoRow(_Recordset* bidInfo, CCoStatusMgr& manager, LONG buyerId, const wchar_t* auctionNumber,
                      LONG serviceId);
// Writes the page's address part and id (StatusPageInfo) into the transaction. 0; E_INVALIDARG
// for a missing transaction or container or one without a row; else a failure's HRESULT.
HRESULT WritePageInfo(CCoStatusMgr& manager, IHxTransaction* transaction, _Recordset* pageInfo);
// Writes the buyer data (BuyerDataInfo) of the row `keyId` (-1: the first row) into the
// transaction: the trusted addresses and notes, and the trusted and acknowledged marks. 0;
// E_FAIL without a row; E_INVALIDARG for a missing argument; else a failure's HRESULT.
HRESULT WriteBuyerData(LONG keyId, _Recordset* buyerData, CCoStatusMgr& manager, IHxTransaction* transaction);

}  // namespace vorlen
