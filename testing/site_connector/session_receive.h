#pragma once
// The reference session's downloads (slots 40 to 42): the reference site's auctions with their
// images, buyers, purchases and comments from the site's data file, handed to the manager one
// record at a time through LotrixSync, each in its container positioned on it. Between records
// the session asks IsTerminated and stops when the job is to end; the stores' answers written
// into the rows are read back and recorded, and an auction the manager counted once goes out
// marked counted in the session's later downloads.
//
// Sections of the data file (each a list of objects whose keys are the container's field names;
// integers, numbers, texts, booleans and null as JSON has them, dates as "YYYY-MM-DDTHH:MM:SS",
// image bytes in base64):
//   "auctions":     auctions rows, with "state" ("running", "sold" or "unsold") and "images"
//                   (auction-images rows without the auction's number);
//   "customers":    customers rows (the buyers);
//   "transactions": transactions rows, with "journal" (the purchase's position in the site's
//                   history, counted up);
//   "comments":     comments rows, "type" 0 received from a buyer, 1 given to one.
// "site" on an auction restricts it (and its purchases and comments) to the site of that number.
// "kill_after": the process ends at once (SIGKILL) after that many records were handed over, as a
// receive killed midway.
// "pause_after" with "pause_pipe": after that many records the session tells a test so (a byte
// into the FIFO "<pause_pipe>.paused") and goes on when the test answers (a byte from the FIFO
// "<pause_pipe>.go"), or after a minute without an answer: a receive held midway, between records.
// It is held once: the test's FIFO goes when it was told, so the later sessions of the run go on.
#include <functional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "auctions/lotrix.h"

namespace reference {

// The name under which the journal position is kept in the account's custom data.
inline constexpr const wchar_t kJournalPositionName[] = L"JournalPosition";

// What one download works with.
struct Delivery {
  const nlohmann::json& data;                           // the site's data file
  LotrixSync* sync;                                     // the manager's callback (null: not set)
  LONG site;                                            // the session's site (SetRegSite), 0 none
  std::function<void(const std::wstring&)> record;      // records one line of what happened
  std::set<std::string>& counted;                       // the session's auctions the manager counted
  std::string seller;                                   // the account's login (UTF-8), empty none
};

// Slot 40: the purchases (mode 1 all, mode 2 those after the journal position in `customData`,
// all when it is null), each purchase's auction before it, each buyer before the first of their
// purchases; the new journal position is left in `customData`: after the last purchase handed
// over, but never past one whose buyer was not handed over or came back without a customer_id
// (the manager refuses such a purchase), so that the next receive brings it again.
HRESULT ReceiveTransactions(const Delivery& delivery, _Recordset* customers, _Recordset* transactions,
                            _Recordset* auctions, LONG mode, LotrixRegCustData* customData);
// Slot 41: the auctions of the kinds the flags ask for (`lotrixAuctionRequest`); with full data
// with their descriptions and images, else without either.
HRESULT ReceiveAuctions(const Delivery& delivery, _Recordset* auctions, _Recordset* images, LONG flags);
// Slot 42: the comments of the kind (0 received, 1 given), the last `count` of them (0 all).
HRESULT ReceiveComments(const Delivery& delivery, _Recordset* auctions, LONG kind, _Recordset* comments, LONG count);

// The bytes of a base64 text; false for a text that is not base64.
bool DecodeBase64(const std::string& text, std::string& bytes);

}  // namespace reference
