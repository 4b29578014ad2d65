#pragma once
// The demonstration of the synchronisation that `demo` and `round` make on a database without
// accounts (demo.cpp).
#include "host/command.h"

namespace host {

// How many accounts the database holds (reg__Registration).
LONG AccountCount(const _ConnectionPtr& cn);
// Makes the demonstration on a database without accounts: the reference site's working copy
// beside the database, two accounts of the reference service on its site, a prepared auction on
// each and a comment to give to a purchase the site holds; says what it made. 0, or 1 when it
// could not be made (told on the error stream).
int MakeDemonstration(CommandContext& context);

}  // namespace host
