#pragma once
// The reference session's sends (slots 30 and 33): what the manager sends lands in the reference
// site's document, so that a following receive brings it back.
//
// SendAuction (slot 33) reads the provider's auction object through IReferenceAuctionData, lists
// it on the session's site under the site's next auction number (one above the highest numeric
// number of "auctions" and "auctions_sent", from 100001 on), gives the object that number and the
// running state (3), appends the listing to "auctions" (the auctions container's field names,
// "site", "state": "running", "seller" the account's login) and a line of it to "auctions_sent".
// A listing the site refuses (no site chosen, no title, a negative quantity) fails with the site's
// reason and leaves the object as it was.
//
// SendComments (slot 30) reads the container's first row (auction_number, to_user_id, comment,
// score), appends it to "comments" as a comment given to the buyer (type 1, dated now, with the
// site's id) and to "comment_sent", and answers the site's id: one above the highest "id" of both
// sections, or 0 when the document's member "comment_ids" is false (a site that gives none). A
// comment without its auction number, buyer or text is refused.
//
// "kill_after_sends": N in the document ends the process at once (SIGKILL) after the N-th send of
// the process reached the site, as a send killed midway (the manager has not written it back);
// "stop_after_sends": N stops it there (SIGSTOP) until it is let go on (SIGCONT), as a send
// overtaken by another workstation's.
#include <string>

#include "auctions/lotrix.h"
#include "testing/site_connector/sitedata.h"

namespace reference {

// The session's account and site as the sends see them.
struct SendTarget {
  LONG site;              // the site's number at the service (SetRegSite); 0 none
  std::wstring seller;    // the account's login
};

HRESULT SendAuction(const SendTarget& target, IHxAuction* auction);
HRESULT SendComments(const SendTarget& target, _Recordset* comments, LONG* id);

}  // namespace reference
