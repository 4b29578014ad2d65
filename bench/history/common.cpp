// The clock of the timings and the baselines' frame.
#include <sqlite3.h>

#include <chrono>
#include <ctime>

#include "bench/history/history.h"
#include "bench/support/sqlite_statement.h"

namespace history {

namespace {
bool g_threadTime = false;
}

void UseThreadTime(bool on) { g_threadTime = on; }

double Now() {
  if (g_threadTime) {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
double Since(double start) { return Now() - start; }

double EachInATransaction(sqlite3* db, long records, const std::function<void(long k)>& record) {
  benchsupport::Statement begin(db, "BEGIN IMMEDIATE"), commit(db, "COMMIT");
  const double start = Now();
  for (long k = 0; k < records; ++k) {
    begin.Reset().Run();
    record(k);
    commit.Reset().Run();
  }
  return Since(start);
}

}  // namespace history
