// `vantor md5 FILE`: the MD5 digest of a file, as md5sum prints it.
#include <string>

#include "host/command.h"
#include "shared/filetools.h"

namespace {

int Md5(host::CommandContext& context) {
  if (context.args.size() != 1) {
    host::Write(stderr, L"vantor: użycie: vantor md5 PLIK\n");
    return 2;
  }
  const std::wstring file = host::Widen(context.args[0]);
  CString digest;
  if (!CMD5::GetMD5(file.c_str(), digest)) {
    host::Write(stderr, L"vantor: nie można odczytać pliku " + file + L"\n");
    return 1;
  }
  host::Write(stdout, std::wstring(digest.GetString()) + L"  " + file + L"\n");
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "md5", .usage = L"  md5 PLIK           skrót MD5 pliku (jak md5sum)\n", .order = 50, .run = Md5,
               .maxArgs = 1);
