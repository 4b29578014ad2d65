// Years of a seller's history and every job of the system over it, at three sizes of the history:
// none, 40,000 and 400,000 transactions (with a quarter as many auctions, half as many buyers and
// a twentieth as many categories), each made by the generator. Every job runs its records at each
// size beside a hand-written program doing the same work (indexed lookups through prepared
// statements, one transaction per record); the table gives the time per record of both, their
// ratio, and the growth of the job's time per record from no history to the largest.
//
//   bench_history            the full sizes (a few minutes on 8 cores)
//   bench_history --quick    a tenth of them and fewer records (what CI runs)
//   options: --sizes 0,40000,400000  --records N  --repeat R (each job R times at each size, on
//            records of its own each time, the fastest time per record of each side counting)
//            --folder DIR  --only TEXT (the jobs whose names contain TEXT)
//            --cpu: the calling thread's CPU time instead of the wall clock (on a busy machine)
// Aims: every job's time per record at the largest size within 1.5 times its time on the empty
// database, and within 2 times its baseline at every size. Exit status 1 when a job failed.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/history/history.h"
#include "platform/base/utf8.h"
#include "platform/com/com.h"
#include "platform/gui/headless.h"
#include "platform/registry/registry.h"
#include "platform/strings/convert.h"
#include "shared/hxinstance.h"
#include "testing/plans/plans.h"

namespace {

using history::Job;
using history::Result;

std::vector<long> ParseSizes(const char* text) {
  std::vector<long> sizes;
  for (const char* p = text; *p;) {
    char* end = nullptr;
    sizes.push_back(std::strtol(p, &end, 10));
    p = *end == ',' ? end + 1 : end;
    if (end == p && *p) break;
  }
  return sizes;
}

void Register(const char* library) {
  if (FAILED(platform::com::RegisterServerLibrary(platform::utf8::ToWide(library)))) {
    std::fprintf(stderr, "bench_history: cannot register %s\n", library);
    std::exit(1);
  }
}

std::string Micro(double seconds) {
  char text[32];
  const double us = seconds * 1e6;
  std::snprintf(text, sizeof text, us < 10 ? "%.2f" : "%.0f", us);  // a listing's record takes about a microsecond
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes = {0, 40000, 400000};
  long records = 1000;
  int repeats = 2;
  std::string parent = "/tmp";
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) {
      sizes = {0, 4000, 40000};
      records = 200;
    } else if (!std::strcmp(argv[i], "--sizes") && i + 1 < argc) {
      sizes = ParseSizes(argv[++i]);
    } else if (!std::strcmp(argv[i], "--records") && i + 1 < argc) {
      records = std::atol(argv[++i]);
    } else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
      repeats = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--cpu")) {
      history::UseThreadTime(true);
    } else if (!std::strcmp(argv[i], "--folder") && i + 1 < argc) {
      parent = argv[++i];
    } else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) {
      only = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bench_history [--quick] [--cpu] [--sizes 0,40000,400000] [--records N] [--repeat R] "
                   "[--folder DIR] [--only TEXT]\n");
      return 2;
    }
  }
  if (sizes.empty() || records < 1 || repeats < 1) return 2;
  CoInitialize(nullptr);
  platform::registry::UseMemoryStore();
  platform::gui::SetEcho(false);
  Register(VANTOR_LOTRIX_LIBRARY);
  Register(VANTOR_REFERENCE_CONNECTOR_LIBRARY);
  Register(VANTOR_VORLEN_LIBRARY);
  Register(VANTOR_ACCESS_KEY_LIBRARY);

  std::vector<Job> jobs;
  for (auto part : {history::ReceiveJobs, history::SendJobs, history::ParameterJobs, history::ZoneJobs,
                    history::ListJobs})
    for (Job& job : part())
      if (std::strstr(job.name, only.c_str())) jobs.push_back(std::move(job));
  if (jobs.empty()) {
    std::fprintf(stderr, "bench_history: no job's name contains %s\n", only.c_str());
    return 2;
  }
  // results[job][size]
  std::vector<std::vector<Result>> results(jobs.size(), std::vector<Result>(sizes.size()));
  long serial = 1;
  int status = 0;
  for (size_t s = 0; s < sizes.size(); ++s) {
    std::string pattern = parent + "/vantor-bench-history-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::fprintf(stderr, "bench_history: cannot make a folder in %s\n", parent.c_str());
      return 1;
    }
    const std::string folder = pattern;
    {
      host::Host host(platform::utf8::ToWide(folder + "/history.db"));
      CHxInstance::SetInstance(host.Instance());
      const double start = history::Now();
      history::Generate(host, sizes[s]);
      const history::Sizes made = history::SizesOf(sizes[s]);
      std::printf("history of %ld transactions (%ld auctions, %ld buyers, %ld categories) made in %.1f s\n",
                  made.transactions, made.auctions, made.customers, made.categories, history::Since(start));
      std::fflush(stdout);
      for (int repeat = 0; repeat < repeats; ++repeat)
        for (size_t j = 0; j < jobs.size(); ++j) {
          history::Context context;
          context.host = &host;
          context.connection = host.Connection();
          context.db = testplans::DatabaseHandle(context.connection);
          context.records = records;
          context.serial = serial++;
          context.batch = static_cast<long>(s) * 10 + repeat + 1;
          context.folder = folder;
          Result r;
          try {
            r = jobs[j].run(context);
          } catch (const _com_error& e) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.Error()));
            const _bstr_t description = e.Description();
            r.failure = std::string("COM error ") + code + " " +
                        platform::WideToUtf8(description.length() ? static_cast<const wchar_t*>(description) : L"");
          }
          if (!r.failure.empty()) {
            std::fprintf(stderr, "%s at %ld: %s\n", jobs[j].name, sizes[s], r.failure.c_str());
            status = 1;
          }
          // The fastest run of each side (a job's runs do the same number of records).
          Result& best = results[j][s];
          best.records = r.records;
          best.system = repeat == 0 ? r.system : std::min(best.system, r.system);
          best.baseline = repeat == 0 ? r.baseline : std::min(best.baseline, r.baseline);
        }
      CHxInstance::SetInstance(nullptr);
    }
    std::filesystem::remove_all(folder);
  }

  // The table: microseconds per record of the system and of the baseline, their ratio, at each
  // size; then the growth of the system's time per record from the first size to the last.
  std::printf("\nmicroseconds per record: system / baseline = ratio, at %zu sizes of the history", sizes.size());
  std::printf(" (%ld records a job, the best of %d runs)\n%-28s", records, repeats, "job");
  for (long size : sizes) std::printf("  %-24ld", size);
  std::printf("  growth\n");
  bool aimsMet = true;
  for (size_t j = 0; j < jobs.size(); ++j) {
    std::printf("%-28s", jobs[j].name);
    double worstRatio = 0;
    for (size_t s = 0; s < sizes.size(); ++s) {
      const Result& r = results[j][s];
      const double n = r.records > 0 ? static_cast<double>(r.records) : 1.0;
      const double ratio = r.baseline > 0 ? r.system / r.baseline : 0;
      worstRatio = std::max(worstRatio, ratio);
      std::printf("  %8s / %-6s = %4.2f ", Micro(r.system / n).c_str(), Micro(r.baseline / n).c_str(), ratio);
    }
    const Result& first = results[j].front();
    const Result& last = results[j].back();
    const double growth = first.system > 0 && first.records > 0 && last.records > 0
                              ? (last.system / last.records) / (first.system / first.records)
                              : 0;
    const bool met = growth <= 1.5 && worstRatio <= 2.0;
    aimsMet = aimsMet && met;
    std::printf("  %5.2f%s\n", growth, met ? "" : "  (aim not met)");
  }
  std::printf("aims: growth at most 1.5, ratio at most 2 at every size: %s\n", aimsMet ? "met" : "not met by every job");
  CoUninitialize();
  return status;
}
