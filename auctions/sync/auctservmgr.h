#pragma once
// The auction services manager CoAuctServMgr (Vantor.AuctServMgr): what the host calls to
// exchange data with the auction sites. It keeps the job logs of the auction-service jobs, the
// options of a run, the queues of ids to send, and walks the seller's accounts and sites, creating
// each account's site connector and running one receive or send step per account-site row. The
// connector calls back through LotrixSync; the receive stores reach it as their CReceiveContext.
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <set>
#include <vector>

#include "auctions/flgobject.h"
#include "auctions/lotrix.h"
#include "auctions/sync/paramstore.h"
#include "auctions/sync/receivestores.h"
#include "auctions/sync/syncoptions.h"
#include "platform/com/server.h"
#include "shared/hxlog.h"

namespace lotrix {

// The synchronisation locks between workstations (kd_blokada, object type 726, extra id 0): the
// receive, the parameter update, and the send, which two workstations must not run at once
// either (the site would list a record twice).
inline constexpr LONG kSyncLockType = 726;
inline constexpr LONG kSyncLockReceive = 11;
inline constexpr LONG kSyncLockParams = 10;
inline constexpr LONG kSyncLockSend = 12;

// The rights of the jobs: receiving auctions, and an account's own rights (the account id in the
// high 16 bits, the kind in the low ones).
inline constexpr LONG kRightReceiveAuctions = 184;
inline constexpr LONG kAccountRightReceive = 1;
inline constexpr LONG kAccountRightSendAuctions = 2;
inline constexpr LONG kAccountRightSendComments = 3;
LONG AccountRight(LONG accountId, LONG kind);

// A queue of ids to send, under its own lock.
class IdQueue {
 public:
  // A VT_I4 is queued as it is (1); a one-dimensional VT_ARRAY|VT_I4 has each element above 0
  // queued in array order (the number queued); anything else queues nothing (0). A failure while
  // reading the array ends the copy: the number queued so far is answered.
  LONG Enqueue(const VARIANT& ids);
  LONG Count() const;
  bool IsEmpty() const { return Count() == 0; }
  // Takes the first id out; false when the queue is empty.
  bool TakeFirst(LONG& id);
  // Takes every id out; the number taken.
  LONG Clear();
  // The ids queued, first first.
  std::vector<LONG> Ids() const;

 private:
  mutable std::mutex m_lock;
  std::vector<LONG> m_ids;
};

// What a parameter update is asked to do; cleared before each request.
struct ReceiveParamsFlags {
  bool plain = false;
  bool versionCheck = false;
  bool force = false;
  void Clear() { *this = ReceiveParamsFlags(); }
};

// The counts of a job: receive (auctions, transactions, customers, comments, parameters) and send
// (auctions sent in the first, comments sent in the fourth).
struct JobCounts {
  LONG auctions = 0;
  LONG transactions = 0;
  LONG customers = 0;
  LONG comments = 0;
  LONG params = 0;
  void Clear() { *this = JobCounts(); }
};

// The job logs of the auction-service jobs, in this order: receive auctions, transactions,
// customers, comments, parameters, send auctions, send comments.
class JobLogSet {
 public:
  static constexpr int kCount = 7;
  JobLogSet();

  // Starts (with its start message) each receive log that the options select and the send logs
  // of sendAllAuctions and sendAllComments.
  void StartForOptions(const AuctSyncOptions& options);
  // Starts the receive-parameters log when the plain or the version-check flag is set.
  void StartParamsLog(const ReceiveParamsFlags& flags);
  // Starts one log with its start message.
  void Start(CHxLog::JobSubtype subtype);
  // Ends every started log: terminated with its count, else the end message and the job's own
  // result. Receive logs count their own long; send auctions the first, send comments the fourth.
  void EndAll(const JobCounts& counts, bool terminated);
  // One text into every started log.
  void EchoAll(const CString& text);
  void WarningAll(const CString& text);
  void ErrorAll(const CString& text);

  CHxLog& Log(CHxLog::JobSubtype subtype);
  bool Started(CHxLog::JobSubtype subtype) { return Log(subtype).Started(); }
  CHxLog& At(int index) { return m_logs[index]; }

  static LONG CountOf(CHxLog::JobSubtype subtype, const JobCounts& counts);

 private:
  std::vector<CHxLog> m_logs;
};

// The text of a failure: its description; else the message library's text of its code (the
// framework's unspecified database error with "Nieokreślony błąd.", other codes with `inserts`);
// empty when neither has one.
CString FailureText(const _com_error& error, std::initializer_list<const wchar_t*> inserts);

class CCoAuctServMgr : public CRtBase,
                       public platform::com::DispatchFace<IAuctServMgr>,
                       public platform::com::DispatchFace<LotrixSync>,
                       public ISupportErrorInfo,
                       public CReceiveContext {
 public:
  CCoAuctServMgr();
  ~CCoAuctServMgr() override;
  CCoAuctServMgr(const CCoAuctServMgr&) = delete;
  CCoAuctServMgr& operator=(const CCoAuctServMgr&) = delete;

  void* FlgGetInterface(REFIID iid);

  // --- IAuctServMgr
  STDMETHOD(ReceiveUserData)(BOOL useDefaults) override;
  STDMETHOD(ReceiveParams)(BOOL checkVersions, BOOL force) override;
  STDMETHOD(SendUserData)(BOOL useDefaults) override;
  STDMETHOD(SendAuctions)(VARIANT ids) override;
  STDMETHOD(SendAuctionsNotes)(VARIANT ids) override;
  STDMETHOD(SendFeedbacks)(VARIANT transactionIds) override;

  // --- LotrixSync (the connector's callbacks)
  STDMETHOD(IsTerminated)(VARIANT_BOOL* terminated) override;
  STDMETHOD(AuctionReceived)(_Recordset* auction, _Recordset* images, VARIANT_BOOL checkOnly) override;
  STDMETHOD(TransactionReceived)(_Recordset* transaction) override;
  STDMETHOD(CustomerReceived)(_Recordset* customer) override;
  STDMETHOD(CommentReceived)(_Recordset* comment) override;
  STDMETHOD(CategoriesProgress)(LONG percent) override;

  // --- ISupportErrorInfo
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override;

  // --- CReceiveContext
  bool IsTerminated() override;
  CHxLog& ReceiveLog(CHxLog::JobSubtype subtype) override;
  void CountReceived(CHxLog::JobSubtype subtype) override;
  bool FullAuctionData() override;
  void ReportError(const _com_error& error, const CString& prefix, CHxLog& log) override;

  // --- the jobs
  void RunReceiveJob();
  void RunSendJob();
  // Takes the synchronisation lock of `objectId` (11 receive, 10 parameters, 12 send); false when
  // another workstation holds it (then told to the status window and every started log, and the
  // logs ended with `counts`, cleared). The lock is held until ReleaseSync or the manager's end.
  bool LockSync(LONG objectId, JobCounts& counts);
  void ReleaseSync();
  // The walk over the account-site rows: mode 1 receive, 2 send.
  enum WalkMode { kWalkReceive = 1, kWalkSend = 2 };
  void WalkAccounts(WalkMode mode);
  // The account's right `n` (1 receive, 2 send auctions, 3 send comments); on denial `message`
  // (%1 the account, %2 the site) goes into every started log when given.
  bool CheckAccountRight(_Recordset* accountSite, LONG n, const wchar_t* message);
  bool CheckReceiveRight(_Recordset* accountSite, WalkMode mode);
  // The text of a failed step: `prefix`, a line break and the error's text with its error
  // records; written into `log` as an error when given.
  CString ReportStepError(const _com_error& error, const CString& prefix, CHxLog* log);
  // Whether the steps show their progress in the status window (host setting Test/AuctSyncProgress).
  bool IsProgressEcho();
  void EchoAll(const CString& text) { m_logs.EchoAll(text); }
  void WarningAll(const CString& text) { m_logs.WarningAll(text); }
  void ErrorAll(const CString& text) { m_logs.ErrorAll(text); }
  // The summary line of the host's status window.
  void ShowStatus(const CString& text);

  // --- the steps, each in its own file
  // Receives the account-site row's data (receive.cpp).
  void ReceiveAccountData(IAuctionSiteConnector* connector, _Recordset* accountSite);
  // Sends the account-site row's prepared data (send.cpp).
  void SendAccountData(IAuctionSiteConnector* connector, _Recordset* accountSite);
  // The update of site parameters by the flags (paramsupdate.cpp).
  HRESULT UpdateSiteParams();

  // --- the parameter update (paramsupdate.cpp)
  // The account-specific data of the site's accounts: each active account fixed by the connector
  // (unless `onlyShops`) and given its shop categories; raises only when the accounts cannot be
  // listed (after logging it).
  void UpdateAccountParams(IFlgItem* site, IAuctionSiteAccount* connector, bool onlyShops);
  // The shop categories of account `regId` into the site's categories; `noShop` when the
  // connector reports that the account has no shop any more. Never raises (errors are logged).
  void UpdateAccountCategories(IFlgItem* site, IAuctionSiteConnector* session, LONG regId, bool& noShop);
  CHxLog& ParamsLog() { return m_logs.Log(CHxLog::jsReceiveParams); }
  class ParamsJob;

  // --- state (the data model)
  IdQueue m_auctionQueue;
  IdQueue m_notesQueue;
  IdQueue m_commentQueue;
  AuctSyncOptions m_options;
  ReceiveParamsFlags m_paramsFlags;
  JobCounts m_receiveCounts;
  JobCounts m_sendCounts;
  JobLogSet m_logs;
  _RecordsetPtr m_accountSites;
  LotrixRegistrationPtr m_registration;
  LONG m_progressEcho = -1;
  // The category progress of the running parameter job (its site name is the prefix of the lines
  // the connector's progress callback shows).
  CategoryProgress m_categoryProgress;

  // --- the send step (send.cpp)
  // Sends one record of a prepared view (the connector, the view's recordset on its row).
  using RecordSender = void (CCoAuctServMgr::*)(IAuctionSiteConnector* connector, _Recordset* record);
  void SendPreparedAuctions(IAuctionSiteConnector* connector, LONG regId, LONG siteId);
  void SendQueuedAuctions(IAuctionSiteConnector* connector, LONG regId, LONG siteId);
  void SendPreparedComments(IAuctionSiteConnector* connector, LONG regId, LONG siteId);
  void SendQueuedComments(IAuctionSiteConnector* connector, LONG regId, LONG siteId);
  // Runs `send` on every record until the end or a cancel; a record's failure is an error line of
  // `log`. With `key`, the keys of the records reached are gathered into `reached`.
  void ForEachRecord(IAuctionSiteConnector* connector, _Recordset* records, RecordSender send, CHxLog& log,
                     const wchar_t* key = nullptr, std::set<LONG>* reached = nullptr);
  void SendOneAuction(IAuctionSiteConnector* connector, _Recordset* record);
  void SendOneComment(IAuctionSiteConnector* connector, _Recordset* record);
  // At the end of the walk: the ids still queued (and those of failed batches) are taken out and
  // named in one warning of their log.
  void DropQueuedSends();

 private:
  // What one part of the send step (auctions or comments) works with.
  struct SendPartSpec {
    bool all;
    IdQueue& queue;
    LONG right;
    UINT noRight;
    CHxLog::JobSubtype log;
    LONG accountRight;
    UINT noAccountRight;
    UINT echoStart;
    UINT echoEnd;
    void (CCoAuctServMgr::*prepared)(IAuctionSiteConnector*, LONG, LONG);
    void (CCoAuctServMgr::*queued)(IAuctionSiteConnector*, LONG, LONG);
  };
  void SendPart(IAuctionSiteConnector* connector, _Recordset* accountSite, const SendPartSpec& part);
  void SendPrepared(IAuctionSiteConnector* connector, const wchar_t* view, LONG regId, LONG siteId,
                    RecordSender send, CHxLog& log);
  void SendQueued(IAuctionSiteConnector* connector, IdQueue& queue, std::vector<LONG>& failed, const wchar_t* view,
                  const wchar_t* key, LONG regId, LONG siteId, RecordSender send, CHxLog& log);
  // The ids of batches whose query failed in this walk.
  std::vector<LONG> m_failedAuctionIds;
  std::vector<LONG> m_failedCommentIds;
  // A new auction object of the class the provider's ProgID names; raises an unknown or missing
  // ProgID. Each ProgID is looked up, and its class object taken, once in a send job.
  IFlgItemPtr CreateAuctionItem(const _variant_t& progId);
  // The class objects of the auction objects of the running send job, by ProgID; emptied when
  // the walk ends.
  std::map<std::wstring, IClassFactoryPtr> m_auctionClasses;

  // Offers a dialog when `offer` or the Ctrl key is down; false on Cancel.
  bool OfferReceiveDialog();
  bool OfferSendDialog();
  // Resets the options and queues the ids; when any was queued, starts the log (with its start
  // message, or `startText`) and runs the send job.
  void QueueAndSend(IdQueue& queue, const VARIANT& ids, CHxLog::JobSubtype subtype, const wchar_t* startText);
  void ProcessAccountSite(WalkMode mode, IAuctionSiteConnector* connector, _Recordset* accountSite);
  // The notes queue is read by no send step: its ids are taken out with a warning.
  void DropQueuedNotes();

  CHxObjectLock m_syncLock;
};

}  // namespace lotrix

using lotrix::CCoAuctServMgr;
