// `vantor receive`, `vantor send` and `vantor params`: the host's requests to the auction services
// manager, as its menu runs them with the stored options (no dialog). The job logs show as they
// are written; Ctrl+C asks the run to stop at its next check. `--account N` (an option of the
// program) makes N the host's selected account, which the "current account only" options use.
// A request whose job logs ended with an error status exits 1 (job_status.h).
#include <string>
#include <vector>

#include "auctions/lotrix.h"
#include "host/command.h"
#include "host/commands/job_status.h"
#include "host/commands/reference_site.h"
#include "host/commands/sync.h"
#include "host/host.h"

namespace {

const char* const kParamsSwitches[] = {"--check", "--force", nullptr};
const char* const kSendOptions[] = {"--auction", nullptr};

// Runs one request, which takes the synchronisation lock `lock`, on a new manager; `done` is
// printed when it ran. A failure (`failed`) or a stop (`stopped`) is told on the error stream.
template <class F>
host::RequestEnd Request(host::CommandContext& context, const host::LockKey& lock, const wchar_t* done,
                         const wchar_t* stopped, const wchar_t* failed, F call) {
  // The reference connector's sessions work on the reference site's working copy.
  host::LoadReferenceSite(context.databasePath);
  CLSID clsid = GUID_NULL;
  HRESULT hr = CLSIDFromProgID(L"Vantor.AuctServMgr", &clsid);
  IUnknownPtr object;
  if (SUCCEEDED(hr)) {
    IUnknown* raw = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&raw));
    object.Attach(raw);
  }
  if (SUCCEEDED(hr)) hr = OleRun(object);
  IAuctServMgrPtr manager;
  if (SUCCEEDED(hr)) hr = object->QueryInterface(__uuidof(IAuctServMgr), reinterpret_cast<void**>(&manager));
  if (FAILED(hr)) {
    host::ReportFailure(L"nie można utworzyć menedżera serwisów aukcyjnych", hr);
    return host::RequestEnd::Failed;
  }
  object = nullptr;
  // A lock held before and after the request by the same holder refused it (the job logs told so
  // with the database's explanation): the program names the holder.
  const std::optional<host::LockHolder> heldBefore = host::FindLockHolder(context.host.Connection(), lock);
  hr = call(manager);
  manager = nullptr;
  const bool refused = heldBefore && host::FindLockHolder(context.host.Connection(), lock) == heldBefore;
  if (refused) host::TellLockHolder(lock, heldBefore);
  if (FAILED(hr)) {
    host::ReportFailure(failed, hr, refused ? nullptr : &lock);
    return host::RequestEnd::Failed;
  }
  VARIANT_BOOL cancel = VARIANT_FALSE;
  IHxStatusWindowPtr window(context.host.Instance());
  if (window && SUCCEEDED(window->IsCancelRequested(&cancel)) && cancel != VARIANT_FALSE) {
    host::Write(stderr, std::wstring(L"vantor: ") + stopped + L"\n");
    return host::RequestEnd::Cancelled;
  }
  host::Write(stdout, std::wstring(done) + L"\n");
  return host::RequestEnd::Ran;
}

}  // namespace

namespace host {

RequestEnd ReceiveFromAccounts(CommandContext& context) {
  return Request(context, kReceiveLock, L"Odbieranie danych z serwisów aukcyjnych zakończone.",
                 L"odbieranie danych z serwisów aukcyjnych przerwano",
                 L"odbieranie danych z serwisów aukcyjnych nie powiodło się",
                 [](IAuctServMgr* manager) { return manager->ReceiveUserData(TRUE); });
}

RequestEnd SendPrepared(CommandContext& context, const std::vector<LONG>& auctions) {
  return Request(context, kSendLock, L"Wysyłanie danych na serwisy aukcyjne zakończone.",
                 L"wysyłanie danych na serwisy aukcyjne przerwano",
                 L"wysyłanie danych na serwisy aukcyjne nie powiodło się", [&](IAuctServMgr* manager) {
                   if (auctions.empty()) return manager->SendUserData(TRUE);
                   SAFEARRAYBOUND bound{static_cast<ULONG>(auctions.size()), 0};
                   _variant_t ids;
                   ids.vt = VT_ARRAY | VT_I4;
                   ids.parray = SafeArrayCreate(VT_I4, 1, &bound);
                   if (!ids.parray) return E_OUTOFMEMORY;
                   for (LONG index = 0; index < static_cast<LONG>(auctions.size()); ++index) {
                     LONG id = auctions[static_cast<std::size_t>(index)];
                     SafeArrayPutElement(ids.parray, &index, &id);
                   }
                   return manager->SendAuctions(ids);
                 });
}

}  // namespace host

namespace {

int Receive(host::CommandContext& context) {
  const host::JobRunStatus run(context.host);
  return run.Finish(host::ReceiveFromAccounts(context));
}

// `send`: every prepared auction and comment; with `--auction N` (repeatable) only those auctions,
// as the host's list asks for them.
int Send(host::CommandContext& context) {
  std::vector<LONG> auctions;
  for (std::size_t i = 0; i < context.args.size(); ++i) {
    long id = 0;
    if (context.args[i] == "--auction" && i + 1 < context.args.size() && host::ParsePositive(context.args[i + 1], id)) {
      auctions.push_back(static_cast<LONG>(id));
      ++i;
      continue;
    }
    host::Write(stderr, L"vantor: --auction wymaga numeru aukcji (liczby od 1): " + host::Widen(context.args[i]) +
                            L"\nWięcej: vantor --help\n");
    return 2;
  }
  const host::JobRunStatus run(context.host);
  return run.Finish(host::SendPrepared(context, auctions));
}

int Params(host::CommandContext& context) {
  bool check = false;
  bool force = false;
  for (const std::string& word : context.args) {
    if (word == "--check") check = true;
    else if (word == "--force") force = true;
    else {
      host::Write(stderr, L"vantor: nadmiarowe argumenty polecenia params: " + host::Widen(word) +
                              L"\nWięcej: vantor --help\n");
      return 2;
    }
  }
  if (force && !check) {
    host::Write(stderr, L"vantor: --force działa tylko z --check\nWięcej: vantor --help\n");
    return 2;
  }
  const host::JobRunStatus run(context.host);
  return run.Finish(Request(context, host::kParamsLock, L"Aktualizacja parametrów serwisów aukcyjnych zakończona.",
                            L"aktualizację parametrów serwisów aukcyjnych przerwano",
                            L"aktualizacja parametrów serwisów aukcyjnych nie powiodła się",
                            [check, force](IAuctServMgr* manager) { return manager->ReceiveParams(check, force); }));
}

}  // namespace

VANTOR_COMMAND(.name = "receive",
               .usage = L"  receive    odbiera dane z kont serwisów aukcyjnych (aukcje, transakcje, klientów,\n"
                        L"             komentarze) według zapisanych opcji programu (Ctrl+C przerywa)\n",
               .order = 32, .run = Receive, .maxArgs = 0);
VANTOR_COMMAND(.name = "send",
               .usage = L"  send [--auction N]...\n"
                        L"             wysyła przygotowane aukcje i komentarze na konta serwisów aukcyjnych;\n"
                        L"             --auction N tylko te aukcje (można powtarzać)\n",
               .order = 33, .run = Send, .maxArgs = 0, .options = kSendOptions);
VANTOR_COMMAND(.name = "params",
               .usage = L"  params [--check [--force]]\n"
                        L"             uaktualnia parametry serwisów aukcyjnych (kategorie, pola, słowniki), które\n"
                        L"             się zmieniły; --check tylko sprawdza ich wersje i oznacza serwisy do\n"
                        L"             aktualizacji, --force także serwisy sprawdzone dziś\n",
               .order = 34, .run = Params, .maxArgs = 0, .switches = kParamsSwitches);
