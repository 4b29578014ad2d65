// `vantor round`: one synchronisation round, the job a seller runs every morning. On a database
// without accounts it first makes the demonstration (demo's accounts of the reference site and the
// seller-zone demonstration account with its transactions); then it receives from every active
// account, sends what is prepared and runs the seller-zone synchronisation. The job logs show as
// they are written; a short summary ends the round: what its jobs received, sent, closed, opened
// and updated, and what the main tables hold. The exit status follows the jobs (job_status.h); a
// step that failed does not keep the next ones from running, a stop (Ctrl+C) ends the round.
#include <map>
#include <string>
#include <vector>

#include "host/command.h"
#include "host/commands/demo.h"
#include "host/commands/job_status.h"
#include "host/commands/sync.h"
#include "host/commands/zone.h"
#include "host/host.h"
#include "shared/hxlog.h"

namespace {

const char* const kRoundOptions[] = {"--host", nullptr};

// A count of a job of the round, or of a table: a word before it and its noun in the three
// forms host::Count takes.
struct Counted {
  LONG subtype;        // the job's (CHxLog::JobSubtype); 0 for a table
  const wchar_t* sql;  // the table's count
  const wchar_t* before;
  const wchar_t* one;
  const wchar_t* few;
  const wchar_t* many;
};

// The summary's lines: a lead and what it counts (the jobs' counts as the objects of its verb).
struct SummaryLine {
  const wchar_t* lead;
  std::vector<Counted> counts;
};

const SummaryLine kSummary[] = {
    {L"odebrano",
     {{CHxLog::jsReceiveAuctions, nullptr, L"", L"aukcję", L"aukcje", L"aukcji"},
      {CHxLog::jsReceiveTransactions, nullptr, L"", L"transakcję", L"transakcje", L"transakcji"},
      {CHxLog::jsReceiveCustomers, nullptr, L"", L"klienta", L"klientów", L"klientów"},
      {CHxLog::jsReceiveComments, nullptr, L"", L"komentarz", L"komentarze", L"komentarzy"}}},
    {L"wysłano",
     {{CHxLog::jsSendAuctions, nullptr, L"", L"aukcję", L"aukcje", L"aukcji"},
      {CHxLog::jsSendComments, nullptr, L"", L"komentarz", L"komentarze", L"komentarzy"}}},
    {L"Strefa Vantor:",
     {{CHxLog::jsClosePages, nullptr, L"zamknięto ", L"stronę", L"strony", L"stron"},
      {CHxLog::jsOpenPages, nullptr, L"otwarto ", L"stronę", L"strony", L"stron"},
      {CHxLog::jsSendPageData, nullptr, L"uaktualniono ", L"stronę", L"strony", L"stron"},
      {CHxLog::jsReceivePageData, nullptr, L"wpisano dane kupujących do ", L"transakcji", L"transakcji",
       L"transakcji"}}},
    {L"w bazie:",
     {{0, L"SELECT COUNT(*) FROM reg__Registration", L"", L"konto", L"konta", L"kont"},
      {0, L"SELECT COUNT(*) FROM au__Auction WHERE au_Template = 0", L"", L"aukcja", L"aukcje", L"aukcji"},
      {0, L"SELECT COUNT(*) FROM cs__Customer", L"", L"klient", L"klientów", L"klientów"},
      {0, L"SELECT COUNT(*) FROM tr__Transaction", L"", L"transakcja", L"transakcje", L"transakcji"}}},
};

// The summary of the round whose job logs came after `lastJob`.
std::wstring Summary(const _ConnectionPtr& cn, LONG lastJob) {
  std::map<LONG, LONG> jobs;
  const std::wstring sql = L"SELECT jl_Subtype, SUM(jl_Count) FROM kd_JobLog WHERE jl_Id > " +
                           std::to_wstring(lastJob) + L" GROUP BY jl_Subtype";
  _RecordsetPtr rs;
  host::Check(OpenRS(rs, cn, sql.c_str()));
  for (; !rs->GetadoEOF(); rs->MoveNext()) {
    FieldsPtr fields = rs->GetFields();
    const _variant_t count = fields->GetItem(_variant_t(LONG{1}))->GetValue();
    jobs[static_cast<LONG>(fields->GetItem(_variant_t(LONG{0}))->GetValue())] =
        count.vt == VT_NULL ? 0 : static_cast<LONG>(count);
  }
  std::wstring out = L"Podsumowanie:\n";
  for (const SummaryLine& line : kSummary) {
    std::wstring text;
    for (const Counted& counted : line.counts) {
      const LONG n = counted.subtype ? jobs[counted.subtype] : host::zone::Long(cn, counted.sql);
      text += std::wstring(text.empty() ? L" " : L", ") + counted.before +
              host::Count(static_cast<unsigned long long>(n), counted.one, counted.few, counted.many);
    }
    out += L"  " + std::wstring(line.lead) + text + L"\n";
  }
  return out + L"Runda synchronizacji zakończona.";
}

int Round(host::CommandContext& context) {
  std::wstring serviceHost;
  for (size_t i = 0; i < context.args.size(); ++i) {
    if (context.args[i] == "--host" && i + 1 < context.args.size()) {
      serviceHost = host::Widen(context.args[++i]);
      continue;
    }
    host::Write(stderr, L"vantor: nadmiarowe argumenty polecenia round: " + host::Widen(context.args[i]) +
                            L"\nWięcej: vantor --help\n");
    return 2;
  }
  if (!serviceHost.empty() && !host::zone::SetServiceHost(serviceHost))
    return host::zone::Failed(L"nie można zapisać adresu Strefy Vantor w ustawieniach", E_FAIL);

  const _ConnectionPtr& cn = context.host.Connection();
  if (host::AccountCount(cn) == 0) {
    host::Write(stdout, L"Baza danych nie ma kont serwisów aukcyjnych: najpierw powstaje demonstracja.\n");
    if (const int status = host::MakeDemonstration(context)) return status;
    const LONG account = host::zone::DemoAccount(cn);
    host::Write(stdout, L"Dodano konto demonstracyjne Strefy Vantor " + std::to_wstring(account) + L" (" +
                            host::zone::kDemoLogin + L").\n");
    host::zone::SeedDemoTransactions(context, account);
  }

  const LONG lastJob = host::zone::Long(cn, L"SELECT MAX(jl_Id) FROM kd_JobLog");
  const host::JobRunStatus run(context.host);
  bool failed = false;
  for (host::RequestEnd (*step)(host::CommandContext&) :
       {+[](host::CommandContext& c) { return host::ReceiveFromAccounts(c); },
        +[](host::CommandContext& c) { return host::SendPrepared(c); }, &host::zone::Synchronize}) {
    const host::RequestEnd end = step(context);
    if (end == host::RequestEnd::Cancelled) return 1;
    failed = failed || end == host::RequestEnd::Failed;
  }
  const int status = run.Finish(Summary(cn, lastJob));
  return failed ? 1 : status;
}

}  // namespace

VANTOR_COMMAND(.name = "round",
               .usage = L"  round [--host HOST[:PORT]]\n"
                        L"             runda synchronizacji: odbiera dane z kont serwisów aukcyjnych, wysyła\n"
                        L"             przygotowane aukcje i komentarze, synchronizuje Strefę Vantor i podsumowuje;\n"
                        L"             baza bez kont dostaje najpierw demonstrację (jak demo i zone sync);\n"
                        L"             --host zapisuje adres Strefy Vantor (Ctrl+C przerywa)\n",
               .order = 30, .run = Round, .options = kRoundOptions);
