// vantor: the host program. Registers the system's server libraries of this build when the
// registry does not name them, opens (or creates) the product database through the host
// stand-in and runs one command on it (host/commands/); without a command it reports what the
// database holds. The program's own messages are Polish; a failure's text from the database
// follows on a line of its own after "Szczegóły:".
#include <cstdio>
#include <exception>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "auctions/lotrix.h"
#include "zone/vorlen.h"
#include "host/command.h"
#include "host/host.h"
#include "host/servers.h"
#include "platform/base/utf8.h"
#include "platform/http/wininet.h"
#include "platform/registry/registry.h"
#include "shared/hxinstance.h"
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
#include "testing/site_connector/reference_connector.h"
#endif

namespace {

// Registers a server library that this build made unless the registry names it already.
void RegisterServer(const char* path, std::initializer_list<CLSID> classes) {
  const std::wstring library = platform::utf8::ToWide(path);
  const HRESULT hr = host::RegisterServerUnlessNamed(library, classes);
  if (FAILED(hr)) {
    CString code;
    code.Format(L"0x%08X", static_cast<unsigned>(hr));
    host::Write(stderr, L"vantor: nie można zarejestrować biblioteki " + library + L" (błąd " +
                            std::wstring(code.GetString()) + L")\n");
  }
}

// The system's server libraries of this build (Lotrix and Vorlen), and the outside components it
// works with here: the access-key converter and the reference site connector.
void RegisterServers() {
#ifdef VANTOR_LOTRIX_LIBRARY
  RegisterServer(VANTOR_LOTRIX_LIBRARY, {CLSID_CoRegistration, CLSID_CoSite, CLSID_CoConnectorInfo, CLSID_CoRegManager,
                                         CLSID_CoRegistrationExampleData, CLSID_CoAuctServMgr});
#endif
#ifdef VANTOR_VORLEN_LIBRARY
  RegisterServer(VANTOR_VORLEN_LIBRARY, {CLSID_CoVorlenConnector, CLSID_CoStatusMgr});
#endif
#ifdef VANTOR_ACCESS_KEY_LIBRARY
  RegisterServer(VANTOR_ACCESS_KEY_LIBRARY, {CLSID_AccessKeyConverter});
#endif
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
  RegisterServer(VANTOR_REFERENCE_CONNECTOR_LIBRARY, {CLSID_ReferenceConnector, CLSID_ReferenceAuction});
#endif
}

// The reference site connector's service provider, where the database has no provider 1.
void AddReferenceProvider(host::Host& h) {
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
  CString sql;
  sql.Format(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_ProgId, ss_AuctionProgId) SELECT %ld, N'%ls', N'%ls', "
             L"N'%ls' WHERE NOT EXISTS (SELECT ss_Id FROM sl_ServiceProvider WHERE ss_Id = %ld)",
             kReferenceProviderId, kReferenceProviderName, kReferenceConnectorProgId, kReferenceAuctionProgId,
             kReferenceProviderId);
  h.Connection()->Execute(_bstr_t(sql.GetString()), nullptr, kCmdTextNoRecords);
  // A provider added before the auction object was known gets it.
  sql.Format(L"UPDATE sl_ServiceProvider SET ss_AuctionProgId = N'%ls' WHERE ss_Id = %ld AND ss_ProgId = N'%ls' "
             L"AND ss_AuctionProgId IS NULL",
             kReferenceAuctionProgId, kReferenceProviderId, kReferenceConnectorProgId);
  h.Connection()->Execute(_bstr_t(sql.GetString()), nullptr, kCmdTextNoRecords);
#else
  (void)h;
#endif
}

std::wstring Usage() {
  std::wstring text =
      L"Użycie: vantor [--db PLIK] [polecenie]\n"
      L"\n"
      L"Bez polecenia otwiera bazę danych programu (tworzy ją, gdy jej nie ma, i uaktualnia jej\n"
      L"schemat) i wypisuje jej tabele z liczbą wierszy.\n"
      L"\n"
      L"Polecenia:\n";
  for (const host::Command& command : host::Commands()) text += command.usage;
  text +=
      L"\n"
      L"Opcje:\n"
      L"  --db PLIK        plik bazy danych (domyślnie ~/.local/share/vantor/vantor.db); nowy plik\n"
      L"                   powstaje tylko w istniejącym folderze\n"
      L"  --registry PLIK  plik rejestru (domyślnie ~/.config/vantor/registry)\n"
      L"  --account N      konto serwisu aukcyjnego wybrane w programie (opcje \"tylko dane z\n"
      L"                   bieżącego konta\" odbierania i wysyłania)\n"
      L"  --ca PLIK        certyfikaty urzędów (PEM), którym ufają połączenia HTTPS (domyślnie\n"
      L"                   systemowe)\n"
      L"  --help           ten opis\n"
      L"\n"
      L"Kod wyjścia: 0, gdy polecenie się udało; 1, gdy się nie powiodło; 2 przy błędnych argumentach.\n"
      L"Polecenia receive, send, params, zone sync i round kończą się kodem 1 także wtedy, gdy je\n"
      L"przerwano albo gdy któreś z ich zadań zakończyło się błędem (dziennik zadań: vantor log);\n"
      L"ostrzeżenia i odmowa, bo to samo robi inne stanowisko, dają 0.\n";
  return text;
}

int Refuse(const std::wstring& text) {
  host::Write(stderr, L"vantor: " + text + L"\nWięcej: vantor --help\n");
  return 2;
}

// What the user is told of a failure: what failed, in the program's words, then the details.
int Failure(const std::wstring& what, const _com_error& e) {
  const _bstr_t description = e.Description();
  return host::ReportFailure(what, e.Error(),
                             static_cast<const wchar_t*>(description) ? static_cast<const wchar_t*>(description) : L"");
}

// What the command line asks for: the database file (empty: the default), the authority to
// trust, the account to select (0: none), the command with its arguments (its options first) and
// whether it only reads the database.
struct Invocation {
  std::wstring path;
  std::string caFile;
  long account = 0;
  const host::Command* command = nullptr;
  std::vector<std::string> args;
  bool readOnly = false;
};

// An exit status that ends the program before the command runs (help, a refused argument), or
// none when it goes on.
using Early = std::optional<int>;

// Reads the program's own options into `call`, and the words and the command's options (each
// with its value) into `words` and `options`.
Early ReadArguments(int argc, char** argv, Invocation& call, std::vector<std::string>& words,
                    std::vector<std::string>& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      host::Write(stdout, Usage());
      return 0;
    }
    if (arg == "--db") {
      if (i + 1 >= argc || !*argv[i + 1]) return Refuse(L"--db wymaga nazwy pliku");
      call.path = host::Widen(argv[++i]);
      continue;
    }
    if (arg == "--registry") {
      if (i + 1 >= argc || !*argv[i + 1]) return Refuse(L"--registry wymaga nazwy pliku");
      platform::registry::SetStoreFile(argv[++i]);
      continue;
    }
    if (arg == "--account") {
      if (i + 1 >= argc || !host::ParsePositive(argv[i + 1], call.account))
        return Refuse(L"--account wymaga numeru konta (liczby od 1)");
      ++i;
      continue;
    }
    if (arg == "--ca") {
      if (i + 1 >= argc || !*argv[i + 1]) return Refuse(L"--ca wymaga nazwy pliku");
      call.caFile = argv[++i];
      if (!std::ifstream(call.caFile)) return Refuse(L"nie można odczytać pliku " + host::Widen(call.caFile));
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      // An option of the command named before it, with its value.
      const host::Command* named = words.empty() ? nullptr : host::FindCommand(words.front());
      bool own = false;
      for (const char* const* o = named ? named->options : nullptr; o && *o && !own; ++o) own = arg == *o;
      bool isSwitch = false;
      for (const char* const* o = named ? named->switches : nullptr; o && *o && !isSwitch; ++o) isSwitch = arg == *o;
      if (isSwitch) {
        options.push_back(arg);
        continue;
      }
      if (!own) return Refuse(L"nieznana opcja: " + host::Widen(arg));
      if (i + 1 >= argc) return Refuse(host::Widen(arg) + L" wymaga wartości");
      options.push_back(arg);
      options.push_back(argv[++i]);
      continue;
    }
    words.push_back(arg);
  }
  return std::nullopt;
}

// The command the first word names (none: the table report), within its count of arguments;
// its arguments are the options, then the words after its name.
Early ChooseCommand(std::vector<std::string> words, const std::vector<std::string>& options, Invocation& call) {
  const std::string name = words.empty() ? std::string() : words.front();
  const host::Command* command = host::FindCommand(name);
  if (!command) return Refuse(L"nieznane polecenie: " + host::Widen(name));
  if (!words.empty()) words.erase(words.begin());
  if (command->maxArgs >= 0 && static_cast<int>(words.size()) > command->maxArgs) {
    std::wstring extra;
    for (size_t i = command->maxArgs; i < words.size(); ++i) extra += (extra.empty() ? L"" : L" ") + host::Widen(words[i]);
    return Refuse(std::wstring(L"nadmiarowe argumenty") + (*command->name ? L" polecenia " + host::Widen(command->name) : L"") +
                  L": " + extra);
  }
  call.command = command;
  call.readOnly = command->readOnly && !(command->writes && command->writes(words));
  words.insert(words.begin(), options.begin(), options.end());
  call.args = std::move(words);
  return std::nullopt;
}

// The database file: the default one (its folder made for a command that writes) unless named;
// a file that cannot be used for the command is told (exit 1).
Early ChooseDatabaseFile(Invocation& call) {
  if (call.path.empty()) {
    call.path = host::DefaultDatabasePath();
    if (!call.readOnly) host::CreateDefaultDataFolder();
  }
  const std::wstring unusable = host::CheckDatabaseFile(call.path, call.readOnly);
  if (unusable.empty()) return std::nullopt;
  host::Write(stderr, L"vantor: " + unusable + L"\n");
  return 1;
}

// COM for the program's run, up to the end of the scope.
struct ComScope {
  ComScope() { CoInitialize(nullptr); }
  ~ComScope() { CoUninitialize(); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
};

// The host on the database: opened (or created), the reference provider added for a command that
// writes, the schema upgrade's report told, the job logs' lines going to the standard output.
Early OpenHost(const Invocation& call, std::unique_ptr<host::Host>& h) {
  try {
    h = std::make_unique<host::Host>(call.path, 1, call.readOnly);
  } catch (const _com_error& e) {
    return Failure(L"nie można otworzyć bazy danych " + call.path, e);
  }
  if (!call.readOnly) {
    try {
      AddReferenceProvider(*h);
    } catch (const _com_error& e) {
      return Failure(L"nie można dopisać serwisu wzorcowego do bazy danych " + call.path, e);
    }
  }
  // What the schema's upgrade kept and tells (rows that break a key it added).
  for (const std::wstring& line : h->UpgradeReport()) host::Write(stderr, L"vantor: " + line + L"\n");
  h->Object().SetOutput([](const std::wstring& line) { host::Write(stdout, line + L"\n"); });
  return std::nullopt;
}

// Selects the account `--account` names in the host, as its list would; an account the database
// does not hold is refused (exit 2).
Early SelectAccount(host::Host& h, long account) {
  if (account <= 0) return std::nullopt;
  CString sql;
  sql.Format(L"SELECT reg_Id FROM reg__Registration WHERE reg_Id = %ld", static_cast<LONG>(account));
  bool known = false;
  try {
    _RecordsetPtr rs = h.Connection()->Execute(_bstr_t(sql.GetString()), nullptr, adCmdText);
    known = !rs->GetadoEOF();
  } catch (const _com_error&) {
  }
  if (!known) {
    host::Write(stderr, L"vantor: nie ma konta serwisu aukcyjnego o numerze " + std::to_wstring(account) + L"\n");
    return 2;
  }
  h.Object().SetSelection(static_cast<LONG>(account), 0, 0);
  return std::nullopt;
}

// Runs the command on the host, Ctrl+C asking its jobs to stop; its exit status.
int RunCommand(const Invocation& call, host::Host& h) {
  host::CHostInstance::CancelOnInterrupt();
  CHxInstance::SetInstance(h.Instance());
  host::CommandContext context{h, call.path, call.args};
  int status = 0;
  try {
    status = call.command->run(context);
  } catch (const _com_error& e) {
    status = Failure(*call.command->name ? L"polecenie " + host::Widen(call.command->name) + L" nie powiodło się"
                                         : std::wstring(L"odczyt bazy danych nie powiódł się"),
                     e);
  }
  CHxInstance::SetInstance(nullptr);
  return status;
}

// The program: the command line read, the database file chosen, the servers registered and the
// command run on the host over the database.
int Run(int argc, char** argv) {
  Invocation call;
  std::vector<std::string> words, options;
  if (Early status = ReadArguments(argc, argv, call, words, options)) return *status;
  if (Early status = ChooseCommand(std::move(words), options, call)) return *status;
  if (Early status = ChooseDatabaseFile(call)) return *status;

  if (!call.caFile.empty()) InternetSetTrustedCertificates(call.caFile.c_str());
  const ComScope com;
  RegisterServers();
  std::unique_ptr<host::Host> h;
  if (Early status = OpenHost(call, h)) return *status;
  if (Early status = SelectAccount(*h, call.account)) return *status;
  return RunCommand(call, *h);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const _com_error& e) {
    return Failure(L"nieoczekiwany błąd", e);
  } catch (const std::exception& e) {
    host::Write(stderr, L"vantor: nieoczekiwany błąd: " + host::Widen(e.what()) + L"\n");
    return 1;
  }
}
