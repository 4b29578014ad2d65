// `vantor log` and `vantor log N`: the stored job logs.
#include <sstream>
#include <string>

#include "host/command.h"
#include "host/host.h"
#include "host/joblog.h"
#include "shared/hxlog.h"

namespace {

int Log(host::CommandContext& context) {
  if (context.args.empty()) {
    std::wostringstream out;
    host::ListJobs(context.host.Connection(), out, [](LONG subtype) {
      return std::wstring(CHxLog::Descr(static_cast<CHxLog::JobSubtype>(subtype)).GetString());
    });
    host::Write(stdout, out.str());
    return 0;
  }
  long job = 0;
  if (!host::ParsePositive(context.args[0], job)) {
    host::Write(stderr, L"vantor: numer zadania musi być liczbą dodatnią\n");
    return 2;
  }
  std::wostringstream out;
  if (!host::ShowJob(context.host.Connection(), static_cast<LONG>(job), out)) {
    host::Write(stderr, L"vantor: nie ma zadania nr " + std::to_wstring(job) + L"\n");
    return 1;
  }
  host::Write(stdout, out.str());
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "log",
               .usage = L"  log        lista zapisanych zadań dziennika\n  log N      wiersze zadania o numerze N\n",
               .order = 10, .run = Log, .readOnly = true, .maxArgs = 1);
