#pragma once
// What the receive step of the synchronisation manager decides apart from the manager: the
// request flags of an auction download.
#include "auctions/sync/syncoptions.h"

namespace lotrix {

// The request flags of an auction download (`lotrixAuctionRequest`) for the options. Sold
// auctions come with the transactions when those are received, unless full auction data is
// wanted.
LONG AuctionRequestFlags(const AuctSyncOptions& options);

}  // namespace lotrix
