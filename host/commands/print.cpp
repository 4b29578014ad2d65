// `vantor print PAGE.html`: prints an HTML page through the print dialog of the shared services
// (at once, without the print dialog) and tells where the spooled job was written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "host/command.h"
#include "platform/base/utf8.h"
#include "platform/gui/headless.h"
#include "platform/gui/webbrowser.h"
#include "shared/browser.h"

namespace {

constexpr size_t kMaxPage = 64u * 1024 * 1024;

enum class PageRead { Ok, Unreadable, TooLarge };

PageRead ReadPage(const std::string& path, std::string& out) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return PageRead::Unreadable;
  struct stat st {};
  PageRead result = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? PageRead::Ok : PageRead::Unreadable;
  if (result == PageRead::Ok && static_cast<size_t>(st.st_size) > kMaxPage) result = PageRead::TooLarge;
  char buffer[65536];
  while (result == PageRead::Ok) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) result = PageRead::Unreadable;
    else if (out.size() + static_cast<size_t>(n) > kMaxPage) result = PageRead::TooLarge;
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return result;
}

int Print(host::CommandContext& context) {
  if (context.args.size() != 1) {
    host::Write(stderr, L"vantor: użycie: vantor print STRONA.html\n");
    return 2;
  }
  const std::wstring file = host::Widen(context.args[0]);
  std::string bytes;
  switch (ReadPage(context.args[0], bytes)) {
    case PageRead::Ok: break;
    case PageRead::Unreadable: host::Write(stderr, L"vantor: nie można odczytać pliku " + file + L"\n"); return 2;
    case PageRead::TooLarge:
      host::Write(stderr, L"vantor: strona " + file + L" jest za duża do wydruku (najwyżej " +
                              host::Count(kMaxPage, L"bajt", L"bajty", L"bajtów") + L")\n");
      return 2;
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  const std::wstring html = platform::utf8::ToWide(bytes);
  platform::gui::SetEcho(false);
  const size_t before = platform::gui::PrintJobs().size();
  CDrukowanie print(html.c_str(), nullptr);
  const int printed = print.Print(0, 1);
  const std::vector<platform::gui::PrintJob> jobs = platform::gui::PrintJobs();
  if (printed != 1 || jobs.size() <= before || jobs.back().file.empty()) {
    CString reason;
    if (jobs.size() > before) reason.Format(L" (błąd 0x%08X)", static_cast<unsigned>(jobs.back().result));
    host::Write(stderr, L"vantor: nie wydrukowano pliku " + file + reason.GetString() + L"\n");
    return 1;
  }
  host::Write(stdout, L"Wydrukowano " + file + L": " + jobs.back().file + L"\n");
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "print",
               .usage = L"  print STRONA.html  drukuje stronę HTML (bez okna wydruku) do kolejki wydruków\n"
                        L"                     obok bazy danych i wypisuje plik zadania\n",
               .order = 45, .run = Print, .maxArgs = 1);
