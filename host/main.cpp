// vantor: the host program. Opens (or creates) the product database through the host stand-in
// and reports what it holds; `vantor log` lists the stored job logs, `vantor log N` shows one.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/joblog.h"
#include "host/schema.h"
#include "shared/hxinstance.h"
#include "shared/hxlog.h"

namespace {

void Write(FILE* stream, const std::wstring& text) {
  std::fputs(static_cast<const char*>(_bstr_t(text.c_str())), stream);
}

const wchar_t kUsage[] =
    L"Użycie: vantor [--db PLIK] [polecenie]\n"
    L"\n"
    L"Bez polecenia otwiera bazę danych programu (tworzy ją, gdy jej nie ma, i uaktualnia jej\n"
    L"schemat) i wypisuje jej tabele z liczbą wierszy.\n"
    L"\n"
    L"Polecenia:\n"
    L"  log        lista zapisanych zadań dziennika\n"
    L"  log N      wiersze zadania o numerze N\n"
    L"\n"
    L"Opcje:\n"
    L"  --db PLIK  plik bazy danych (domyślnie ~/.local/share/vantor/vantor.db)\n"
    L"  --help     ten opis\n";

void Report(host::Host& h, const std::wstring& path) {
  _ConnectionPtr cn = h.Connection();
  std::wostringstream out;
  out << L"Baza danych: " << path << L"\n";
  out << L"Wersja schematu: " << host::StoredSchemaVersion(cn) << L"\n";
  _RecordsetPtr tables;
  HRESULT hr = OpenRS(tables, cn, L"SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
  if (FAILED(hr)) _com_issue_error(hr);
  std::vector<std::wstring> names;
  for (; !tables->GetadoEOF(); tables->MoveNext())
    names.emplace_back(static_cast<const wchar_t*>(_bstr_t(tables->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue())));
  out << L"Tabele (" << names.size() << L"):\n";
  for (const std::wstring& name : names) {
    std::wstring sql = L"SELECT COUNT(*) FROM [" + name + L"]";
    _RecordsetPtr count;
    LONG rows = -1;
    if (SUCCEEDED(OpenRS(count, cn, sql.c_str())) && !count->GetadoEOF())
      rows = static_cast<LONG>(count->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
    out << L"  " << name << L": " << rows << L"\n";
  }
  Write(stdout, out.str());
}

int Run(int argc, char** argv) {
  std::wstring path;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Write(stdout, kUsage);
      return 0;
    }
    if (arg == "--db") {
      if (i + 1 >= argc) {
        Write(stderr, L"vantor: --db wymaga nazwy pliku\n");
        return 2;
      }
      path = CString(argv[++i]).GetString();
      continue;
    }
    args.push_back(arg);
  }
  if (path.empty()) path = host::DefaultDatabasePath();

  if (!args.empty() && args[0] != "log") {
    Write(stderr, L"vantor: nieznane polecenie: " + std::wstring(CString(args[0].c_str()).GetString()) + L"\n");
    Write(stderr, kUsage);
    return 2;
  }

  CoInitialize(nullptr);
  int status = 0;
  {
    host::Host h(path);
    h.Object().SetOutput([](const std::wstring& line) { Write(stdout, line + L"\n"); });
    host::CHostInstance::CancelOnInterrupt();
    CHxInstance::SetInstance(h.Instance());
    if (args.empty()) {
      Report(h, path);
    } else if (args.size() == 1) {
      std::wostringstream out;
      host::ListJobs(h.Connection(), out, [](LONG subtype) {
        return std::wstring(CHxLog::Descr(static_cast<CHxLog::JobSubtype>(subtype)).GetString());
      });
      Write(stdout, out.str());
    } else {
      char* end = nullptr;
      const long job = std::strtol(args[1].c_str(), &end, 10);
      if (!end || *end || job <= 0 || job > 0x7fffffff) {
        Write(stderr, L"vantor: numer zadania musi być liczbą dodatnią\n");
        status = 2;
      } else {
        std::wostringstream out;
        if (host::ShowJob(h.Connection(), static_cast<LONG>(job), out)) {
          Write(stdout, out.str());
        } else {
          Write(stderr, L"vantor: nie ma zadania nr " + std::to_wstring(job) + L"\n");
          status = 1;
        }
      }
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
    Write(stderr, L"vantor: błąd " + std::wstring(code.GetString()) + (text.empty() ? L"" : L": " + text) + L"\n");
    return 1;
  }
}
