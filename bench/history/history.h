#pragma once
// The seller-history benchmark: a product database holding years of a seller's trading, made by
// a generator, and every job of the system beside a hand-written program doing the same work
// (indexed lookups through prepared statements, one transaction per record).
#include <functional>
#include <string>
#include <vector>

#include "host/host.h"

struct sqlite3;

namespace history {

// The seller whose history it is: account 1 of provider 1 (the reference provider) on site row 1
// (the site's number 1), with the seller zone on.
inline constexpr LONG kAccount = 1, kProvider = 1, kSiteRow = 1, kSiteNumber = 1, kRegSite = 1;

// What a history of `transactions` holds: a quarter as many auctions, half as many buyers, a
// twentieth as many categories; each transaction with a position, a delivery address and both
// comments.
struct Sizes {
  long transactions = 0, auctions = 0, customers = 0, categories = 0;
};
Sizes SizesOf(long transactions);

// Writes the history into the (new, empty) product database behind the host's connection, at
// once through SQLite (not through the receive path), and moves the key table past it.
void Generate(host::Host& host, long transactions);

// One job's run at one size.
struct Result {
  long records = 0;        // what each side did
  double system = 0;       // seconds of the system's path
  double baseline = 0;     // seconds of the hand-written program
  std::string failure;     // empty when both did all their records
};

// What a job is given: the host over the database, its connection and SQLite handle, how many
// records to do, a number of its own for the names of new records and one shared by the jobs at
// one size (the receive jobs' purchases are of the auctions and buyers received before them).
struct Context {
  host::Host* host = nullptr;
  _ConnectionPtr connection;
  sqlite3* db = nullptr;
  long records = 0;
  long serial = 0;
  long batch = 0;
  std::string folder;  // for files a job makes
};

struct Job {
  const char* name;
  std::function<Result(Context&)> run;
};

// The jobs, in the order they run.
std::vector<Job> ReceiveJobs();
std::vector<Job> SendJobs();
std::vector<Job> ParameterJobs();
std::vector<Job> ZoneJobs();
std::vector<Job> ListJobs();

// "<prefix><n>".
inline std::string Named(const std::string& prefix, long long n) {
  std::string text = prefix;
  text += std::to_string(n);
  return text;
}
inline std::wstring Named(const std::wstring& prefix, long long n) {
  std::wstring text = prefix;
  text += std::to_wstring(n);
  return text;
}

// The baselines' frame: record(k) for k from 0 to records - 1, each inside a transaction of its own
// (taking the write lock at its start, as the system's saves do); the seconds it took.
double EachInATransaction(sqlite3* db, long records, const std::function<void(long k)>& record);

// The clock of the timings, in seconds: the wall clock, or with UseThreadTime the calling thread's
// CPU time (steadier on a busy machine: what the job computes and asks of the system, not the
// waits for a processor).
void UseThreadTime(bool on);
double Now();
double Since(double start);

}  // namespace history
