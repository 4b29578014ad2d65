#pragma once
// What the receive step of the synchronisation manager decides apart from the manager: the
// request flags of an auction download and the process-wide category progress.
#include "auctions/sync/syncoptions.h"

namespace lotrix {

// The request flags of an auction download (0x100 running, 0x1000 sold, 0x2000 unsold, 0xC full
// data). Sold auctions come with the transactions when those are received, unless full auction
// data is wanted.
LONG AuctionRequestFlags(const AuctSyncOptions& options);

// The category progress reported last (one for the process); Reset goes back to 0.
LONG LastCategoriesProgress();
void ResetCategoriesProgress();

}  // namespace lotrix
