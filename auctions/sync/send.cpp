// Sending an account's prepared auctions and comments through its site connector.
#include "auctions/sync/auctservmgr.h"

namespace lotrix {

void CCoAuctServMgr::SendAccountData(IAuctionSiteConnector* /*connector*/, _Recordset* /*accountSite*/) {}

}  // namespace lotrix
