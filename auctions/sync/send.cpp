// Sending an account's prepared auctions and comments through its site connector: all prepared
// ones (SendUserData) or those whose ids the host queued (SendAuctions, SendFeedbacks), read from
// the views vw_AuctionsPrepared and vw_CommentsPrepared; the results are written back through the
// business objects.
//
// The queues are the manager's, not a row's: each account-site row passes once over the ids queued
// when its part starts, in queries of ten, and puts back the ids its query did not return, for the
// row they belong to. What is still queued when the walk ends is named in one warning of the log.
#include <algorithm>
#include <set>

#include "auctions/sync/auctservmgr.h"
#include "auctions/sync/containers.h"
#include "auctions/sync/storetools.h"
#include "platform/strings/oledatetime.h"
#include "shared/objtools.h"

namespace lotrix {

using namespace stores;

namespace {

constexpr UINT kStrSendAccount = 178;
constexpr UINT kStrNoSendAuctionsRight = 179;
constexpr UINT kStrNoAccountAuctionsRight = 180;
constexpr UINT kStrSendingAuctions = 181;
constexpr UINT kStrSendingAuctionsDone = 182;
constexpr UINT kStrNoSendCommentsRight = 220;
constexpr UINT kStrNoAccountCommentsRight = 221;
constexpr UINT kStrSendingComments = 226;
constexpr UINT kStrSendingCommentsDone = 227;

constexpr LONG kRightSendAuctions = 182;
constexpr LONG kRightSendComments = 222;
constexpr int kBatchSize = 10;
// The provider's state of an auction the site has not taken yet.
constexpr LONG kStatePrepared = 1;

const wchar_t kLastOperationFailed[] = L"Ostatnia operacja nie powiodła się.\r\n%ls";

// The text of a failed send: the failure's text; else the code's own system message.
CString ErrorText(const _com_error& error) {
  CString text = FailureText(error, {});
  if (text.IsEmpty()) text = error.ErrorMessage();
  return text;
}

// "Ostatnia operacja ..." with the error's text, as an error line of `log` when it is started.
void LogFailure(CHxLog& log, const _com_error& error) {
  if (!log.Started()) return;
  CString line;
  line.Format(kLastOperationFailed, ErrorText(error).GetString());
  log.Error(line);
}

// A refused right: the part of the account it guards is abandoned.
struct PartAbandoned {};

// Raises a failed call of a site connector with the error information it set.
void CheckConnector(HRESULT hr, IAuctionSiteConnector* connector) {
  if (FAILED(hr)) _com_issue_errorex(hr, connector, __uuidof(IAuctionSiteConnector));
}

// The rows of a statement: a static, read-only client-side recordset on the product connection.
_RecordsetPtr OpenPrepared(const CString& sql) {
  CLookup lookup;
  return lookup.Open(sql);
}

// The ids as a text list: "5, 7, 9".
CString IdList(const std::vector<LONG>& ids) {
  CString text;
  for (LONG id : ids) {
    if (!text.IsEmpty()) text += L", ";
    CString one;
    one.Format(L"%ld", id);
    text += one;
  }
  return text;
}

// The CLSID of the auction object the ProgID names; an unknown or missing ProgID is raised.
CLSID AuctionClass(const CString& name) {
  CString text;
  if (name.IsEmpty()) {
    text = L"Serwis aukcji nie ma klasy obiektu aukcji (ss_AuctionProgId).";
  } else {
    CLSID clsid = GUID_NULL;
    const HRESULT hr = CLSIDFromProgID(name.GetString(), &clsid);
    if (SUCCEEDED(hr) && clsid != GUID_NULL) return clsid;
    text.Format(L"Nie jest zarejestrowana klasa obiektu aukcji \"%ls\".", name.GetString());
  }
  platform::com::Raise(REGDB_E_CLASSNOTREG, text, L"Lotrix", __uuidof(IAuctServMgr));
}

// Loads the record's object; its reads see one state of the database and lock it once.
HRESULT LoadRecord(const IFlgItemPtr& item, const _variant_t& id) {
  const CRecordReads reads;
  return item->Load(CHxInstance::GetDataFactory(), id);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The send step of one account-site row

void CCoAuctServMgr::SendAccountData(IAuctionSiteConnector* connector, _Recordset* accountSite) {
  _RecordsetPtr row(accountSite);
  EchoAll(Formatted(kStrSendAccount, TextOf(Value(row, L"reg_name")).GetString(),
                    TextOf(Value(row, L"site_name")).GetString()));
  const SendPartSpec auctions = {m_options.sendAllAuctions, m_auctionQueue, kRightSendAuctions,
                                 kStrNoSendAuctionsRight, CHxLog::jsSendAuctions, kAccountRightSendAuctions,
                                 kStrNoAccountAuctionsRight, kStrSendingAuctions, kStrSendingAuctionsDone,
                                 &CCoAuctServMgr::SendPreparedAuctions, &CCoAuctServMgr::SendQueuedAuctions};
  SendPart(connector, row, auctions);
  const SendPartSpec comments = {m_options.sendAllComments, m_commentQueue, kRightSendComments,
                                 kStrNoSendCommentsRight, CHxLog::jsSendComments, kAccountRightSendComments,
                                 kStrNoAccountCommentsRight, kStrSendingComments, kStrSendingCommentsDone,
                                 &CCoAuctServMgr::SendPreparedComments, &CCoAuctServMgr::SendQueuedComments};
  SendPart(connector, row, comments);
}

// One part of the row: the user's right, the account's right, then the prepared records and the
// queued ones. A refused right abandons the part; the other part still runs.
void CCoAuctServMgr::SendPart(IAuctionSiteConnector* connector, _Recordset* accountSite, const SendPartSpec& part) {
  if (!part.all && part.queue.IsEmpty()) return;
  _RecordsetPtr row(accountSite);
  try {
    if (hx::Instance()->CheckRight(part.right, 0) < 0) {
      CHxLog& log = m_logs.Log(part.log);
      if (log.Started()) log.Error(CHxResString(part.noRight));
      throw PartAbandoned();
    }
    if (!CheckAccountRight(row, part.accountRight, CHxResString(part.noAccountRight))) throw PartAbandoned();
    const bool echo = IsProgressEcho();
    if (echo) ShowStatus(CString(static_cast<const wchar_t*>(CHxResString(part.echoStart))));
    const LONG regId = LongOr(Value(row, L"reg_id"), 0);
    const LONG siteId = LongOr(Value(row, L"site_id"), 0);
    if (part.all) (this->*part.prepared)(connector, regId, siteId);
    if (!part.queue.IsEmpty()) (this->*part.queued)(connector, regId, siteId);
    if (echo) ShowStatus(CString(static_cast<const wchar_t*>(CHxResString(part.echoEnd))));
  } catch (const PartAbandoned&) {
  }
}

// ---------------------------------------------------------------------------------------------
// All prepared records of the row, and the queued ones

void CCoAuctServMgr::SendPreparedAuctions(IAuctionSiteConnector* connector, LONG regId, LONG siteId) {
  SendPrepared(connector, L"vw_AuctionsPrepared", regId, siteId, &CCoAuctServMgr::SendOneAuction,
               m_logs.Log(CHxLog::jsSendAuctions));
}

void CCoAuctServMgr::SendPreparedComments(IAuctionSiteConnector* connector, LONG regId, LONG siteId) {
  SendPrepared(connector, L"vw_CommentsPrepared", regId, siteId, &CCoAuctServMgr::SendOneComment,
               m_logs.Log(CHxLog::jsSendComments));
}

void CCoAuctServMgr::SendQueuedAuctions(IAuctionSiteConnector* connector, LONG regId, LONG siteId) {
  SendQueued(connector, m_auctionQueue, m_failedAuctionIds, L"vw_AuctionsPrepared", L"au_Id", regId, siteId,
             &CCoAuctServMgr::SendOneAuction, m_logs.Log(CHxLog::jsSendAuctions));
}

void CCoAuctServMgr::SendQueuedComments(IAuctionSiteConnector* connector, LONG regId, LONG siteId) {
  SendQueued(connector, m_commentQueue, m_failedCommentIds, L"vw_CommentsPrepared", L"tr_Id", regId, siteId,
             &CCoAuctServMgr::SendOneComment, m_logs.Log(CHxLog::jsSendComments));
}

void CCoAuctServMgr::SendPrepared(IAuctionSiteConnector* connector, const wchar_t* view, LONG regId, LONG siteId,
                                  RecordSender send, CHxLog& log) {
  if (IsTerminated()) return;
  try {
    CString sql;
    sql.Format(L"SELECT * FROM %ls WHERE au_RegId=%ld AND au_SiteId=%ld", view, regId, siteId);
    _RecordsetPtr rs = OpenPrepared(sql);
    if (!rs->GetadoEOF()) ForEachRecord(connector, rs, send, log);
  } catch (const _com_error& e) {
    LogFailure(log, e);
  }
}

void CCoAuctServMgr::SendQueued(IAuctionSiteConnector* connector, IdQueue& queue, std::vector<LONG>& failed,
                                const wchar_t* view, const wchar_t* key, LONG regId, LONG siteId, RecordSender send,
                                CHxLog& log) {
  // One pass over what is queued now; the ids put back go behind it.
  LONG left = queue.Count();
  while (left > 0 && !IsTerminated()) {
    CString sql;
    sql.Format(L"SELECT * FROM %ls WHERE au_RegId=%ld AND au_SiteId=%ld AND %ls IN (", view, regId, siteId, key);
    std::vector<LONG> batch;
    LONG id = 0;
    while (static_cast<int>(batch.size()) < kBatchSize && left > 0 && queue.TakeFirst(id)) {
      --left;
      CString item;
      item.Format(L"%ls%ld", batch.empty() ? L"" : L",", id);
      sql += item;
      batch.push_back(id);
    }
    if (batch.empty()) break;
    sql += L")";
    std::set<LONG> reached;
    try {
      _RecordsetPtr rs = OpenPrepared(sql);
      ForEachRecord(connector, rs, send, log, key, &reached);
    } catch (const _com_error& e) {
      // Not tried again in this run: named with what is left when the walk ends.
      LogFailure(log, e);
      failed.insert(failed.end(), batch.begin(), batch.end());
      continue;
    }
    // The ids of other rows, and those a cancel left, go back for their own row.
    for (LONG queued : batch)
      if (!reached.count(queued)) queue.Enqueue(_variant_t(queued));
  }
}

void CCoAuctServMgr::ForEachRecord(IAuctionSiteConnector* connector, _Recordset* records, RecordSender send,
                                   CHxLog& log, const wchar_t* key, std::set<LONG>* reached) {
  _RecordsetPtr rs(records);
  if (rs->GetadoEOF() && rs->GetBOF()) return;
  rs->MoveFirst();
  while (!rs->GetadoEOF() && !IsTerminated()) {
    if (key && reached) {
      if (const std::optional<LONG> id = AsLong(Value(rs, key))) reached->insert(*id);
    }
    try {
      (this->*send)(connector, rs);
    } catch (const _com_error& e) {
      LogFailure(log, e);
    }
    rs->MoveNext();
  }
}

// ---------------------------------------------------------------------------------------------
// One auction, one comment

void CCoAuctServMgr::SendOneAuction(IAuctionSiteConnector* connector, _Recordset* record) {
  _RecordsetPtr row(record);
  const _variant_t id = Converted(Value(row, L"au_Id"), VT_I4);
  IFlgItemPtr item = CreateAuctionItem(Value(row, L"ss_AuctionProgId"));
  // An auction that cannot be read or edited (another workstation edits it) stays prepared.
  if (FAILED(LoadRecord(item, id)) || FAILED(item->BeginEdit())) return;
  if (IsTerminated()) {
    item->EndEdit();
    return;
  }
  IAuctionObjectPreparePtr prepare = Face<IAuctionObjectPrepare>(item);
  Check(prepare->PutExtra(nullptr), prepare, __uuidof(IAuctionObjectPrepare));
  _RecordsetPtr extra;
  hx::Check(extra.CreateInstance(__uuidof(Recordset)));
  IHxAuctionPtr auction = Face<IAuctionObject>(item);

  CHxLog& log = m_logs.Log(CHxLog::jsSendAuctions);
  try {
    CHxRefreshLock refresh;
    _variant_t result;
    CheckConnector(connector->SendAuction(auction, extra, &result), connector);
    CheckAndSave(item);
    LONG state = kStatePrepared;
    Check(auction->GetState(&state), auction, __uuidof(IAuctionObject));
    if (state != kStatePrepared) ++m_sendCounts.auctions;
  } catch (const _com_error& e) {
    if (log.Started()) {
      CString line;
      line.Format(L"Wysyłanie aukcji '%ls' nie powiodło się.\r\n%ls", TextOf(Value(row, L"au_Title")).GetString(),
                  ErrorText(e).GetString());
      log.Error(line);
    }
  }
}

IFlgItemPtr CCoAuctServMgr::CreateAuctionItem(const _variant_t& progId) {
  const CString name = TextOf(progId);
  auto known = m_auctionClasses.find(name.GetString());
  if (known == m_auctionClasses.end())
    known = m_auctionClasses.emplace(name.GetString(), FlgClassObject(AuctionClass(name))).first;
  return CreateItem(known->second);
}

void CCoAuctServMgr::SendOneComment(IAuctionSiteConnector* connector, _Recordset* record) {
  _RecordsetPtr row(record);
  const _variant_t id = Converted(Value(row, L"tr_Id"), VT_I4);
  IFlgItemPtr item = CreateItem(__uuidof(HxTransactionComment));
  // A record that cannot be read or edited stays prepared.
  if (FAILED(LoadRecord(item, id)) || FAILED(item->BeginEdit())) return;
  _RecordsetPtr comment = DataSetOf(item, 1);
  if (comment->GetadoEOF() && comment->GetBOF()) {
    item->EndEdit();
    return;
  }
  comment->MoveFirst();

  _RecordsetPtr container = CreateCommentsContainer();
  container->AddNew();
  Put(container, L"auction_number", Value(row, L"au_Number"));
  Put(container, L"to_user_id", Value(row, L"cs_ExtServiceId"));
  Put(container, L"comment", Value(comment, L"tc_SentComment"));
  Put(container, L"score", Value(comment, L"tc_SentScore"));
  container->Update();

  CHxLog& log = m_logs.Log(CHxLog::jsSendComments);
  try {
    LONG siteId = 0;
    CheckConnector(connector->SendComments(container, &siteId), connector);
    if (siteId != 0) Put(comment, L"tc_ExternalId", _variant_t(siteId));
    _variant_t now;
    now.vt = VT_DATE;
    now.date = COleDateTime::GetCurrentTime().m_dt;
    Put(comment, L"tc_SentDate", now);
    CheckAndSave(item);
    ++m_sendCounts.comments;
    item->EndEdit();
  } catch (const _com_error& e) {
    item->EndEdit();
    if (log.Started()) {
      CString line;
      line.Format(L"Wysyłanie komentarza dla %ls do aukcji nr %ls nie powiodło się.\r\n%ls",
                  TextOf(Value(row, L"cs_Nick")).GetString(), TextOf(Value(row, L"au_Number")).GetString(),
                  ErrorText(e).GetString());
      log.Error(line);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The end of the walk

void CCoAuctServMgr::DropQueuedSends() {
  auto drop = [](IdQueue& queue, std::vector<LONG>& failed, CHxLog& log, const wchar_t* what) {
    std::vector<LONG> left = std::move(failed);
    failed.clear();
    for (LONG id : queue.Ids()) left.push_back(id);
    queue.Clear();
    if (left.empty() || !log.Started()) return;
    CString line;
    line.Format(L"Nie wysłano %ls o identyfikatorach: %ls. Nie są przygotowane do wysłania, ich konta lub serwisu "
                L"nie przetworzono albo ich wysyłanie nie powiodło się.",
                what, IdList(left).GetString());
    log.Warning(line);
  };
  drop(m_auctionQueue, m_failedAuctionIds, m_logs.Log(CHxLog::jsSendAuctions), L"aukcji");
  drop(m_commentQueue, m_failedCommentIds, m_logs.Log(CHxLog::jsSendComments), L"komentarzy do transakcji");
}

}  // namespace lotrix
