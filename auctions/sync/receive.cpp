// The receive step of the synchronisation manager: one account-site row's transactions with their
// customers, its auctions and its comments, asked of the account's site connector as the options
// select; and the connector's callbacks during those downloads, which hand every record to its
// store (receivestores.h) and answer whether the job is to stop.
#include "auctions/sync/receive.h"

#include <new>

#include "auctions/sync/auctservmgr.h"
#include "auctions/sync/containers.h"
#include "auctions/sync/receivestores.h"
#include "auctions/sync/storetools.h"

namespace lotrix {

using stores::Formatted;
using stores::TextOf;
using stores::Value;

namespace {

constexpr UINT kStrLastOperationFailed = 125;
constexpr UINT kStrReceivingAccount = 126;
constexpr UINT kStrReceivingTransactions = 127;
constexpr UINT kStrTransactionsReceived = 128;
constexpr UINT kStrAuctionReceived = 129;
constexpr UINT kStrTransactionReceived = 134;
constexpr UINT kStrCustomerReceived = 140;
constexpr UINT kStrCommentReceived = 143;
constexpr UINT kStrReceivingAuctions = 222;
constexpr UINT kStrAuctionsReceived = 223;
constexpr UINT kStrReceivingComments = 224;
constexpr UINT kStrCommentsReceived = 225;

constexpr LONG kModeAll = 1;
constexpr LONG kModeJournal = 2;
constexpr LONG kCommentsReceivedKind = 0;
constexpr LONG kCommentsGivenKind = 1;

// Raises a failed call of the site connector with the error information it set.
void CheckConnector(HRESULT hr, IAuctionSiteConnector* connector) {
  if (FAILED(hr)) _com_issue_errorex(hr, connector, __uuidof(IAuctionSiteConnector));
}

// A string of Lotrix's table in the status window, when the manager shows its progress there.
void Progress(CCoAuctServMgr& manager, UINT id) {
  if (manager.IsProgressEcho()) manager.ShowStatus(CHxResString(id).Text());
}

// Runs one receive step: nothing once the job is to stop; a COM error is written into the
// step's job log and the account's next step follows.
template <class F>
void RunStep(CCoAuctServMgr& manager, CHxLog::JobSubtype subtype, F work) {
  if (manager.IsTerminated()) return;
  try {
    work();
  } catch (const _com_error& e) {
    manager.ReportStepError(e, CHxResString(kStrLastOperationFailed).Text(), &manager.ReceiveLog(subtype));
  }
}

void ReceiveTransactionsStep(CCoAuctServMgr& manager, IAuctionSiteConnector* connector) {
  // The account stays in edit mode only for this download: the walk loads the next account into
  // the same object, which must not find the edit lock still held.
  IFlgItemPtr account;
  bool editing = false;
  RunStep(manager, CHxLog::jsReceiveTransactions, [&] {
    _RecordsetPtr customers = CreateCustomersContainer();
    _RecordsetPtr transactions = CreateTransactionsContainer();
    _RecordsetPtr auctions = CreateAuctionsContainer();
    LONG mode = kModeAll;
    LotrixRegCustDataPtr customData;
    if (manager.m_options.useJournal) {
      mode = kModeJournal;
      if (manager.m_registration) {
        account = stores::Face<IFlgItem>(manager.m_registration);
        if (SUCCEEDED(account->BeginEdit())) {
          editing = true;
          customData = stores::Face<LotrixRegCustData>(manager.m_registration);
        }
      }
    }
    CheckConnector(connector->ReceiveTransactions(customers, transactions, auctions, mode, customData), connector);
    if (customData) {
      IFlgDataPtr data = stores::Face<IFlgData>(account);
      VARIANT_BOOL locked = VARIANT_FALSE;
      stores::Check(data->GetLocked(&locked), data, __uuidof(IFlgData));
      if (locked != VARIANT_FALSE) stores::Check(account->Save(), account, __uuidof(IFlgItem));
    }
  });
  if (editing) account->EndEdit();
}

void ReceiveAuctionsStep(CCoAuctServMgr& manager, IAuctionSiteConnector* connector, LONG flags) {
  RunStep(manager, CHxLog::jsReceiveAuctions, [&] {
    _RecordsetPtr auctions = CreateAuctionsContainer();
    _RecordsetPtr images = CreateAuctionImagesContainer();
    CheckConnector(connector->ReceiveAuctions(auctions, images, flags, 0.0), connector);
  });
}

void ReceiveCommentsStep(CCoAuctServMgr& manager, IAuctionSiteConnector* connector) {
  RunStep(manager, CHxLog::jsReceiveComments, [&] {
    const LONG count = manager.m_options.commentsMax;
    _RecordsetPtr auctions = CreateAuctionsContainer();
    _RecordsetPtr received = CreateCommentsContainer();
    CheckConnector(connector->ReceiveComments(auctions, kCommentsReceivedKind, received, count), connector);
    _RecordsetPtr given = CreateCommentsContainer();
    CheckConnector(connector->ReceiveComments(auctions, kCommentsGivenKind, given, count), connector);
  });
}

// Whether a received row is on a record (a container at its end or start holds none to store).
bool OnRecord(const _RecordsetPtr& row) { return !row->GetadoEOF() && !row->GetBOF(); }

}  // namespace

LONG AuctionRequestFlags(const AuctSyncOptions& options) {
  LONG flags = 0;
  if (options.runningAuctions) flags |= lotrixAuctionRunning;
  if (options.soldAuctions && (!options.transactions || options.fullAuctionData)) flags |= lotrixAuctionSold;
  if (options.unsoldAuctions) flags |= lotrixAuctionUnsold;
  if (options.fullAuctionData) flags |= lotrixAuctionFullData;
  return flags;
}

void CCoAuctServMgr::ReceiveAccountData(IAuctionSiteConnector* connector, _Recordset* accountSite) {
  if (!connector || !accountSite) _com_issue_error(E_POINTER);
  _RecordsetPtr row(accountSite);
  EchoAll(Formatted(kStrReceivingAccount, TextOf(Value(row, L"reg_name")).GetString(),
                    TextOf(Value(row, L"site_name")).GetString()));
  if (m_options.transactions) {
    Progress(*this, kStrReceivingTransactions);
    ReceiveTransactionsStep(*this, connector);
    Progress(*this, kStrTransactionsReceived);
  }
  if (m_options.runningAuctions || m_options.soldAuctions || m_options.unsoldAuctions) {
    const LONG flags = AuctionRequestFlags(m_options);
    Progress(*this, kStrReceivingAuctions);
    ReceiveAuctionsStep(*this, connector, flags);
    Progress(*this, kStrAuctionsReceived);
  }
  if (m_options.comments) {
    Progress(*this, kStrReceivingComments);
    ReceiveCommentsStep(*this, connector);
    Progress(*this, kStrCommentsReceived);
  }
}

// ---------------------------------------------------------------------------------------------
// LotrixSync

// The account-site row of the running receive; a record delivered outside one has no account
// to be stored for.
static _RecordsetPtr CurrentAccountSite(const _RecordsetPtr& accountSites) {
  if (!accountSites || !OnRecord(accountSites)) {
    platform::com::Raise(E_UNEXPECTED, L"Rekord odebrany poza odbieraniem danych z serwisu aukcyjnego.", L"Lotrix",
                         __uuidof(LotrixSync));
  }
  return accountSites;
}

STDMETHODIMP CCoAuctServMgr::IsTerminated(VARIANT_BOOL* terminated) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&] {
    if (!terminated) return E_POINTER;
    *terminated = IsTerminated() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}

// One received record: none in a row at its container's end or start; else shown (with the
// progress echo on) and handed to its store with the walk's account-site row.
template <class Shown, class Store>
static HRESULT Received(CCoAuctServMgr& manager, _Recordset* record, Shown shown, Store store) {
  if (!record) return E_INVALIDARG;
  _RecordsetPtr row(record);
  if (!OnRecord(row)) return S_OK;
  _RecordsetPtr accountSite = CurrentAccountSite(manager.m_accountSites);
  if (manager.IsProgressEcho()) manager.ShowStatus(shown(row));
  store(row, accountSite);
  return S_OK;
}

STDMETHODIMP CCoAuctServMgr::AuctionReceived(_Recordset* auction, _Recordset* images, VARIANT_BOOL checkOnly) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&] {
    return Received(
        *this, auction,
        [](const _RecordsetPtr& row) { return Formatted(kStrAuctionReceived, TextOf(Value(row, L"number")).GetString()); },
        [&](const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
          StoreReceivedAuction(*this, row, _RecordsetPtr(images), accountSite, CHxInstance::UserId(),
                               checkOnly != VARIANT_FALSE, images == nullptr);
        });
  });
}

STDMETHODIMP CCoAuctServMgr::TransactionReceived(_Recordset* transaction) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&] {
    return Received(
        *this, transaction,
        [](const _RecordsetPtr& row) {
          return Formatted(kStrTransactionReceived, TextOf(Value(row, L"user_name")).GetString(),
                           TextOf(Value(row, L"item_number")).GetString());
        },
        [&](const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
          StoreReceivedTransaction(*this, row, accountSite);
        });
  });
}

STDMETHODIMP CCoAuctServMgr::CustomerReceived(_Recordset* customer) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&] {
    return Received(
        *this, customer,
        [](const _RecordsetPtr& row) {
          return Formatted(kStrCustomerReceived, TextOf(Value(row, L"user_name")).GetString(),
                           stores::LongOr(Value(row, L"user_id"), 0));
        },
        [&](const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
          StoreReceivedCustomer(*this, row, accountSite);
        });
  });
}

STDMETHODIMP CCoAuctServMgr::CommentReceived(_Recordset* comment) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&] {
    return Received(
        *this, comment,
        [](const _RecordsetPtr& row) {
          return Formatted(kStrCommentReceived, TextOf(Value(row, L"user_name")).GetString(),
                           TextOf(Value(row, L"auction_number")).GetString());
        },
        [&](const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
          StoreReceivedComment(*this, row, accountSite);
        });
  });
}

STDMETHODIMP CCoAuctServMgr::CategoriesProgress(LONG percent) {
  AFX_MANAGE_STATE(m_pModuleState);
  return platform::com::Boundary([&] {
    if (!m_categoryProgress.Due(percent)) return S_OK;
    CString text;
    text.Format(L"%ls - pobieranie kategorii %d%%", m_categoryProgress.siteName.GetString(), static_cast<int>(percent));
    ShowStatus(text);
    return S_OK;
  });
}

}  // namespace lotrix
