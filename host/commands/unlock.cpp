// `vantor unlock`: removes the synchronisation locks (object type 726) that this workstation
// holds, which a receive or a send killed midway leaves behind, naming the workstation and user
// of each.
// `vantor unlock TYPE ID [EXTRA]`: removes one lock of any workstation (one that a program ended
// without releasing it left behind), after a question naming its holder.
#include <sstream>
#include <string>

#include "host/command.h"
#include "host/host.h"
#include "host/item.h"
#include "shared/sqltools.h"

namespace {

constexpr LONG kSyncLockType = 726;

int Refuse(const std::wstring& text) {
  host::Write(stderr, L"vantor: " + text + L"\nWięcej: vantor --help\n");
  return 2;
}

// This workstation's synchronisation locks.
int UnlockSync(host::CommandContext& context) {
  const std::wstring workstation = host::ThisWorkstation();
  _ConnectionPtr cn = context.host.Connection();
  CString where;
  where.Format(L"obtype = %ld AND workstation = '%ls'", kSyncLockType, hxSqlQuote(workstation.c_str()).GetString());
  std::wostringstream out;
  long count = 0;
  host::InTransaction(cn, [&] {
    _RecordsetPtr rs;
    host::Check(OpenRS(rs, cn, L"SELECT obid, obextra, workstation, username FROM kd_blokada WHERE " + where +
                                   L" ORDER BY obid, obextra"));
    for (; !rs->GetadoEOF(); rs->MoveNext(), ++count) {
      FieldsPtr f = rs->GetFields();
      out << L"Usunięto blokadę synchronizacji nr " << host::ValueText(f->GetItem(_variant_t(L"obid"))->GetValue())
          << L" (stanowisko " << host::ValueText(f->GetItem(_variant_t(L"workstation"))->GetValue()) << L", użytkownik "
          << host::ValueText(f->GetItem(_variant_t(L"username"))->GetValue()) << L").\n";
    }
    rs->Close();
    cn->Execute(_bstr_t(L"DELETE FROM kd_blokada WHERE " + where), nullptr, kCmdTextNoRecords);
  });
  if (count == 0) out << L"Stanowisko " << workstation << L" nie ma blokad synchronizacji.\n";
  host::Write(stdout, out.str());
  return 0;
}

// One lock by its key, after the question.
int UnlockOne(host::CommandContext& context, const host::LockKey& key, bool yes, bool no) {
  _ConnectionPtr cn = context.host.Connection();
  CString name;
  name.Format(L"typu %ld, nr %ld, dodatkowy %ld", key.type, key.id, key.extra);
  const std::optional<host::LockHolder> holder = host::FindLockHolder(cn, key);
  if (!holder) {
    host::Write(stderr, L"vantor: nie ma blokady obiektu " + std::wstring(name.GetString()) + L"\n");
    return 1;
  }
  const std::wstring held = L"stanowisko " + holder->workstation + L", użytkownik " + holder->user;
  if (!host::Ask(L"Blokadę obiektu " + std::wstring(name.GetString()) + L" trzyma " + held +
                     L".\nUsuń ją tylko wtedy, gdy program na tym stanowisku już nie działa. Usunąć blokadę?",
                 yes, no)) {
    host::Write(stdout, L"Bez zmian.\n");
    return 0;
  }
  // Only the row that the question named: a lock taken again meanwhile stays.
  CString sql;
  sql.Format(L"DELETE FROM kd_blokada WHERE obid = %ld AND obextra = %ld AND obtype = %ld AND workstation = '%ls' AND "
             L"username = '%ls'",
             key.id, key.extra, key.type, hxSqlQuote(holder->workstation.c_str()).GetString(),
             hxSqlQuote(holder->user.c_str()).GetString());
  _variant_t removed;
  cn->Execute(_bstr_t(sql.GetString()), &removed, kCmdTextNoRecords);
  if (static_cast<LONG>(removed) == 0) {
    host::Write(stderr, L"vantor: blokada obiektu " + std::wstring(name.GetString()) +
                            L" zmieniła się w międzyczasie i została bez zmian\n");
    return 1;
  }
  host::Write(stdout, L"Usunięto blokadę obiektu " + std::wstring(name.GetString()) + L" (" + held + L").\n");
  return 0;
}

int Unlock(host::CommandContext& context) {
  std::vector<std::string> words;
  bool yes = false, no = false;
  for (const std::string& word : context.args) {
    if (word == "--yes") yes = true;
    else if (word == "--no") no = true;
    else words.push_back(word);
  }
  if (yes && no) return Refuse(L"--yes i --no wykluczają się");
  if (words.empty()) {
    if (yes || no) return Refuse(L"--yes i --no odpowiadają na pytanie o jedną blokadę (vantor unlock TYP ID)");
    return UnlockSync(context);
  }
  long type = 0, id = 0, extra = 0;
  if (words.size() < 2 || !host::ParseNumber(words[0], type, 0) || !host::ParseNumber(words[1], id, 0) ||
      (words.size() == 3 && !host::ParseNumber(words[2], extra, 0)))
    return Refuse(L"polecenie unlock wymaga typu i numeru obiektu, a po nich numeru dodatkowego (liczb od 0), "
                  L"jak je podaje vantor locks");
  return UnlockOne(context, host::LockKey{static_cast<LONG>(type), static_cast<LONG>(id), static_cast<LONG>(extra)}, yes,
                   no);
}

const char* const kUnlockSwitches[] = {"--yes", "--no", nullptr};

}  // namespace

VANTOR_COMMAND(.name = "unlock",
               .usage = L"  unlock     usuwa blokady synchronizacji tego stanowiska (po przerwanym odbieraniu\n"
                        L"             lub wysyłaniu)\n"
                        L"  unlock TYP ID [DODATKOWY] [--yes|--no]\n"
                        L"             usuwa jedną blokadę obiektu dowolnego stanowiska (pozostałą po programie,\n"
                        L"             który przerwano), gdy potwierdzić (t/n) pytanie, kto ją trzyma\n",
               .order = 31, .run = Unlock, .readOnly = false, .maxArgs = 3, .switches = kUnlockSwitches);
