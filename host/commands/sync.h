#pragma once
// The auction synchronisation's requests to the auction services manager, as the host's menu runs
// them with the stored options (no dialog): `receive`, `send` and `round` run them. The job logs
// show as they are written; each request prints its closing line when it ran.
#include <vector>

#include "host/command.h"
#include "host/commands/job_status.h"

namespace host {

// Receives from every active account and site.
RequestEnd ReceiveFromAccounts(CommandContext& context);
// Sends the prepared auctions and comments; with `auctions`, only those auctions.
RequestEnd SendPrepared(CommandContext& context, const std::vector<LONG>& auctions = {});

}  // namespace host
