// vantor: the host program. Registers the system's server libraries of this build when the
// registry does not name them, opens (or creates) the product database through the host
// stand-in and runs one command on it (host/commands/); without a command it reports what the
// database holds.
#include <cstdio>
#include <string>
#include <vector>

#include "auctions/lotrix.h"
#include "host/command.h"
#include "host/host.h"
#include "host/servers.h"
#include "platform/base/utf8.h"
#include "platform/registry/registry.h"
#include "shared/hxinstance.h"

namespace {

// Registers the Lotrix library that this build made unless the registry names it already.
void RegisterLotrix() {
#ifdef VANTOR_LOTRIX_LIBRARY
  const std::wstring library = platform::utf8::ToWide(VANTOR_LOTRIX_LIBRARY);
  const HRESULT hr = host::RegisterServerUnlessNamed(
      library, {CLSID_CoRegistration, CLSID_CoSite, CLSID_CoConnectorInfo, CLSID_CoRegManager,
                CLSID_CoRegistrationExampleData, CLSID_CoAuctServMgr});
  if (FAILED(hr)) {
    CString code;
    code.Format(L"0x%08X", static_cast<unsigned>(hr));
    host::Write(stderr, L"vantor: nie można zarejestrować biblioteki " + library + L" (błąd " +
                            std::wstring(code.GetString()) + L")\n");
  }
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
      L"  --db PLIK        plik bazy danych (domyślnie ~/.local/share/vantor/vantor.db)\n"
      L"  --registry PLIK  plik rejestru (domyślnie ~/.config/vantor/registry)\n"
      L"  --help           ten opis\n";
  return text;
}

int Run(int argc, char** argv) {
  std::wstring path;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      host::Write(stdout, Usage());
      return 0;
    }
    if (arg == "--db") {
      if (i + 1 >= argc) {
        host::Write(stderr, L"vantor: --db wymaga nazwy pliku\n");
        return 2;
      }
      path = host::Widen(argv[++i]);
      continue;
    }
    if (arg == "--registry") {
      if (i + 1 >= argc) {
        host::Write(stderr, L"vantor: --registry wymaga nazwy pliku\n");
        return 2;
      }
      platform::registry::SetStoreFile(argv[++i]);
      continue;
    }
    args.push_back(arg);
  }
  if (path.empty()) path = host::DefaultDatabasePath();

  std::string name = args.empty() ? std::string() : args.front();
  const host::Command* command = host::FindCommand(name);
  if (!command) {
    host::Write(stderr, L"vantor: nieznane polecenie: " + host::Widen(name) + L"\n");
    host::Write(stderr, Usage());
    return 2;
  }
  if (!args.empty()) args.erase(args.begin());

  CoInitialize(nullptr);
  RegisterLotrix();
  int status = 0;
  {
    host::Host h(path);
    h.Object().SetOutput([](const std::wstring& line) { host::Write(stdout, line + L"\n"); });
    host::CHostInstance::CancelOnInterrupt();
    CHxInstance::SetInstance(h.Instance());
    host::CommandContext context{h, path, args};
    try {
      status = command->run(context);
    } catch (...) {
      CHxInstance::SetInstance(nullptr);
      throw;
    }
    CHxInstance::SetInstance(nullptr);
  }
  CoUninitialize();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const _com_error& e) {
    _bstr_t description = e.Description();
    std::wstring text = static_cast<const wchar_t*>(description) ? static_cast<const wchar_t*>(description) : L"";
    CString code;
    code.Format(L"0x%08X", static_cast<unsigned>(e.Error()));
    host::Write(stderr, L"vantor: błąd " + std::wstring(code.GetString()) + (text.empty() ? L"" : L": " + text) + L"\n");
    return 1;
  }
}
