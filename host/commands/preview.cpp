// `vantor preview OBJECT RECORD [FILE.html]`: the HTML preview of one record through the data
// definition and stylesheet stored for its object type.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/command.h"
#include "host/host.h"
#include "shared/db2html.h"

namespace {

bool ParseLong(const std::string& text, LONG& value) {
  errno = 0;
  char* end = nullptr;
  const long long n = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || !end || *end || errno || n < -0x7fffffffLL - 1 || n > 0x7fffffffLL) return false;
  value = static_cast<LONG>(n);
  return true;
}

int Preview(host::CommandContext& context) {
  LONG object = 0, record = 0;
  if (context.args.size() < 2 || !ParseLong(context.args[0], object) ||
      !ParseLong(context.args[1], record)) {
    host::Write(stderr, L"vantor: użycie: vantor preview OBIEKT REKORD [PLIK.html] (numery całkowite)\n");
    return 2;
  }
  CDB2html preview;
  const CString html = preview.Transform2Html(object, record, false);
  if (html.IsEmpty()) {
    CString text;
    text.Format(L"vantor: podgląd obiektu %ld, rekordu %ld jest pusty (brak definicji, arkusza stylów lub danych)\n",
                object, record);
    host::Write(stderr, text.GetString());
    return 1;
  }
  if (context.args.size() < 3) {
    host::Write(stdout, html.GetString());
    return 0;
  }
  const std::string path = context.args[2];
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    host::Write(stderr, L"vantor: nie można zapisać pliku " + host::Widen(path) + L"\n");
    return 1;
  }
  host::Write(file, html.GetString());
  const bool ok = std::fclose(file) == 0;
  if (!ok) {
    host::Write(stderr, L"vantor: nie można zapisać pliku " + host::Widen(path) + L"\n");
    return 1;
  }
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "preview",
               .usage = L"  preview OBIEKT REKORD [PLIK.html]\n"
                        L"             podgląd HTML rekordu według definicji danych typu obiektu\n"
                        L"             (1: użytkownik, 2: zadanie dziennika)\n",
               .order = 40, .run = Preview, .readOnly = true, .maxArgs = 3);
