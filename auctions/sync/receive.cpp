// Receiving an account's data from its site connector, and the connector's callbacks.
#include "auctions/sync/auctservmgr.h"

namespace lotrix {

void CCoAuctServMgr::ReceiveAccountData(IAuctionSiteConnector* /*connector*/, _Recordset* /*accountSite*/) {}

STDMETHODIMP CCoAuctServMgr::IsTerminated(VARIANT_BOOL* terminated) {
  if (!terminated) return E_POINTER;
  AFX_MANAGE_STATE(m_pModuleState);
  *terminated = IsTerminated() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP CCoAuctServMgr::AuctionReceived(_Recordset* /*auction*/, _Recordset* /*images*/,
                                             VARIANT_BOOL /*checkOnly*/) {
  return S_OK;
}

STDMETHODIMP CCoAuctServMgr::TransactionReceived(_Recordset* /*transaction*/) { return S_OK; }

STDMETHODIMP CCoAuctServMgr::CustomerReceived(_Recordset* /*customer*/) { return S_OK; }

STDMETHODIMP CCoAuctServMgr::CommentReceived(_Recordset* /*comment*/) { return S_OK; }

STDMETHODIMP CCoAuctServMgr::CategoriesProgress(LONG /*percent*/) { return S_OK; }

}  // namespace lotrix
