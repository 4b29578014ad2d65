#pragma once
// The send-page-data and receive-buyer-data jobs' operations: the fillers that gather a
// transaction's data into the exchange containers for its status page, the package helpers of
// the send job, and the steps of the receive job.
//
// Fillers append rows (and write detail lines into the current job's log) and return 0,
// E_INVALIDARG for a missing container or object, or the HRESULT of the host or recordset call
// that failed, which ends the filler (the rows appended until then stay).
#include <set>
#include <vector>

#include "auctions/lotrix.h"
#include "zone/statusmgr.h"

namespace vorlen {

// --- Fillers of the send job.

// One BuyerDataInfo row: the notes, the delivery address and, when `UseDocumentAddress`, the
// billing (document) address, each marked trusted.
HRESULT FillBuyerData(_Recordset* container, CCoStatusMgr& manager, IHxTransaction* transaction,
                      IHxCustomer* customer);
// Whether the billing address goes to the page: the ERP is there, the address is not marked as
// not to be sent, and the transaction's ERP document is of kind 4 or 5. False when a call fails.
bool UseDocumentAddress(CCoStatusMgr& manager, IHxTransaction* transaction);
// A PackageInfo row per listed package (numbered 0, 1, ... in `id` and `sort_order`) with its
// items in `items`; the ids of packages not marked modified leave `packageIds`.
HRESULT FillPackages(CCoStatusMgr& manager, _Recordset* packages, _Recordset* items, std::vector<LONG>& packageIds);
// An ItemInfo row per item of the package, each carrying the package's number `index` in `id`.
HRESULT FillPackageItems(CCoStatusMgr& manager, _Recordset* items, IHxPackage* package, LONG index);
// One PageDataInfo row: remittance date when paid, sent-all mark, currencies, payment, buy date.
HRESULT FillPageData(CCoStatusMgr& manager, _Recordset* container, IHxTransaction* transaction);
// An ItemInfo row per item position; E_FAIL (the container empty) without positions.
HRESULT FillItems(CCoStatusMgr& manager, _Recordset* container, IHxTransaction* transaction);
// As FillItems, raising what fails: false when the transaction has no positions.
bool FillItemRows(CCoStatusMgr& manager, _Recordset* container, IHxTransaction* transaction);
// What the buyer may still enter: nothing once the transaction is finished or wholly locked;
// else addresses unless locked (the billing address not once an ERP document exists), and notes
// while an address may be entered.
HRESULT FillEntryConstraints(IHxTransaction* transaction, EntryConstraints& record);

// --- The send job's package helpers.

// The ids of the transaction's packages in row order (a failed query leaves the list as read).
void LoadPackageIds(std::vector<LONG>& packageIds, LONG transactionId);
// Clears the data-modified mark of each listed package (ids above 0) and saves it; the first
// failure ends the walk with its HRESULT.
HRESULT ClearModifiedPackages(const std::vector<LONG>& packageIds);

// --- The receive job's steps.

// Asks the service which of the selected transactions' pages changed after `cutOff`
// (PageIds of the transactions' pages); `changes` stays null when nothing was asked.
HRESULT CollectChangedPages(class CTransactionList& list, CCoStatusMgr& manager, DATE cutOff, _RecordsetPtr& changes);
// The pages of `changes` whose transactions do not carry the page's latest entry date; raises
// the manager's latest-entry date to the newest date met. `pages` holds what was selected before
// a failure.
HRESULT SelectPagesToUpdate(CCoStatusMgr& manager, _Recordset* changes, _RecordsetPtr& pages);
// Writes each bid's buyer data into its transaction, stamps it with its page's entry date and
// saves it; `count` is the number saved and `savedPages` (when given) their pages. Only
// transactions of the pages in `requested` (when given) are written.
HRESULT ApplyReceivedBuyerData(CCoStatusMgr& manager, _Recordset* changes, _Recordset* bidInfo, _Recordset* buyerData,
                               LONG& count, std::set<LONG>* savedPages = nullptr,
                               const std::set<LONG>* requested = nullptr);
// The transaction of a bid: of the service (1 stands for 1 and 4), whose buyer is `buyerId` and
// whose auction's number is `auctionNumber` (compared literally); for a member of a group, the
// group. Of several (a buyer who bought more than once in the auction), the first whose page is
// among `requested` (when given), else the first. E_FAIL without one; else the failure of the
// query.
HRESULT FindBidTransaction(LONG serviceId, CCoStatusMgr& manager, LONGLONG buyerId, const wchar_t* auctionNumber,
                           LONG& transactionId, const std::set<LONG>* requested = nullptr);
// Writes the entry date of the transaction's page (from `changes`, left filtered to that page).
HRESULT SetBuyerEntryDate(IHxTransaction* transaction, _Recordset* changes);
// Saves the manager's latest-entry date as the account's ST_LastSynch (in edit, checked).
HRESULT StoreLastSynch(CCoStatusMgr& manager, IRegistration* registration);

// A text for `LIKE '...'` that matches itself only: quotes doubled, %, _ and [ bracketed.
CString LikeLiteral(const wchar_t* text);

}  // namespace vorlen
