// The update of the sites' parameters (categories, form fields, dictionaries) by version.
#include "auctions/sync/auctservmgr.h"

namespace lotrix {

HRESULT CCoAuctServMgr::UpdateSiteParams() { return S_OK; }

}  // namespace lotrix
