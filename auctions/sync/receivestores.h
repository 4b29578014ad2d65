#pragma once
// The stores of the records a site connector delivers during a receive: auctions, customers,
// transactions and comments become the host's and the service provider's business objects, and
// the connector's answers are written into the received rows. Every store catches its COM errors
// and writes them into the job log of its subtype, so one bad record never stops a download.
#include <map>

#include "shared/hxlog.h"

namespace lotrix {

// What the stores use of the synchronisation manager.
class CReceiveContext {
 public:
  virtual ~CReceiveContext() = default;
  // The host's cancel request.
  virtual bool IsTerminated() = 0;
  // The receive job log of a subtype (2 auctions, 3 customers, 4 transactions, 6 comments).
  virtual CHxLog& ReceiveLog(CHxLog::JobSubtype subtype) = 0;
  // Adds 1 to the receive count of the subtype's records (stored auctions, saved customers and
  // transactions, new comments).
  virtual void CountReceived(CHxLog::JobSubtype subtype) = 0;
  // The receive option for full auction data.
  virtual bool FullAuctionData() = 0;
  // The manager's error report: one error line of `prefix` and the error's text into `log`.
  virtual void ReportError(const _com_error& error, const CString& prefix, CHxLog& log) = 0;

  // The class of the provider's auction objects (GUID_NULL when its row names none or names an
  // unknown one). Every auction and purchase received asks it: a class found is kept until
  // ForgetAuctionClasses, which a receive job calls at its start and end.
  GUID AuctionClassOf(LONG serviceId);
  void ForgetAuctionClasses() { m_auctionClasses.clear(); }

 private:
  std::map<LONG, GUID> m_auctionClasses;
};

// Text helpers of the stores: the first `n` characters of a text (all of it when shorter), and
// a text written into a string column cut to the column's size (the length written; 0 and
// nothing written for a column that is no text).
CString CutText(const CString& text, LONG n);
LONG WriteTextCut(const FieldPtr& field, const CString& text);

// A received auction (auctions container row) with the download's images container (null when
// the download came without one): found by its number and account, written into the provider's
// auction object (new or loaded) and saved, unless `checkOnly`; the row gets the answers
// (auction_id, sold_sum, has_full_header, has_full_data, counted, errors, shop_item).
void StoreReceivedAuction(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& images,
                          const _RecordsetPtr& accountSite, LONG userId, bool checkOnly, bool noImages);
// The row's main fields, its sale type and options, and its type-3 images into the auction.
void WriteAuctionFields(const IHxAuctionPtr& auction, const _RecordsetPtr& row, bool skipDescription);
void WriteAuctionOptions(const IHxAuctionPtr& auction, const _RecordsetPtr& row);
void WriteAuctionImages(const IHxAuctionPtr& auction, const _RecordsetPtr& images);

// Received customers (customers container row) and transactions (transactions container row);
// the account-site row is the manager's current row (service_id, site_id).
void StoreReceivedCustomer(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& accountSite);
// Creates (id 0 or below) or updates a customer from the row; the saved customer's id, or 0 when
// an existing customer cannot be loaded or opened for editing.
LONG SaveCustomer(CReceiveContext& context, const _RecordsetPtr& row, LONG serviceId, LONG customerId);
void WriteCustomerFields(const IFlgItemPtr& customer, const _RecordsetPtr& row, LONG serviceId);
void StoreReceivedTransaction(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& accountSite);

// Received comments (comments container row), written into the transaction's comment record.
void StoreReceivedComment(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& accountSite);

}  // namespace lotrix
