// The program's job logs and locks: log, locks and unlock, and what a run tells of a lock held
// elsewhere or left behind.
#include "host/tests/program_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "platform/resources/resources.h"
#include "shared/hxlog.h"
#include "shared/objlock.h"

namespace program_test {
namespace {

TEST_F(Program, ListsJobLogs) {
  // Reading commands never create the database.
  Result none = RunProgram("--db " + db + " log");
  EXPECT_EQ(none.status, 1) << none.out;
  EXPECT_NE(none.out.find("vantor: nie ma bazy danych " + db), std::string::npos) << none.out;
  EXPECT_FALSE(Exists(db));
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  Result empty = RunProgram("--db " + db + " log");
  EXPECT_EQ(empty.status, 0) << empty.out;
  EXPECT_NE(empty.out.find("Brak zapisanych zadań."), std::string::npos) << empty.out;
  Result missing = RunProgram("--db " + db + " log 7");
  EXPECT_EQ(missing.status, 1);
  Result bad = RunProgram("--db " + db + " log x7");
  EXPECT_EQ(bad.status, 2);
  Result extra = RunProgram("--db " + db + " log 1 2");
  EXPECT_EQ(extra.status, 2);
  EXPECT_NE(extra.out.find("vantor: nadmiarowe argumenty polecenia log: 2"), std::string::npos) << extra.out;
  EXPECT_EQ(RunProgram("--db " + db + " log --quick").status, 2);  // an unknown option
}

TEST_F(Program, ShowsTheLinesOfAStoredJob) {
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    CHxInstance::SetInstance(h.Instance());
    CHxLog log(CHxLog::jsReceiveComments);
    log.StartJob();
    log.Echo(L"Odebrano komentarz od O'Briena");
    log.Error(L"Błąd zapisu");
    log.EndJobAutoResult(1);
    CHxInstance::SetInstance(nullptr);
  }
  CoUninitialize();
  Result list = RunProgram("--db " + db + " log");
  EXPECT_EQ(list.status, 0) << list.out;
  EXPECT_NE(list.out.find("odbieranie komentarzy"), std::string::npos) << list.out;
  Result lines = RunProgram("--db " + db + " log 1");
  EXPECT_EQ(lines.status, 0) << lines.out;
  EXPECT_NE(lines.out.find("info\tOdebrano komentarz od O'Briena"), std::string::npos) << lines.out;
  EXPECT_NE(lines.out.find("błąd\tBłąd zapisu"), std::string::npos) << lines.out;
}

TEST_F(Program, ListsTheObjectLocksHeld) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  Result none = RunProgram("--db " + db + " locks");
  EXPECT_EQ(none.status, 0) << none.out;
  EXPECT_NE(none.out.find("Brak blokad obiektów."), std::string::npos) << none.out;
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    CHxObjectLock sync(static_cast<HRESULT>(0x80040F19u)), item(static_cast<HRESULT>(0x80040F19u));
    ASSERT_EQ(sync.LockRow(h.Connection(), L"KASA1", L"Szef", 726, 11, 0), S_OK);
    ASSERT_EQ(item.LockRow(h.Connection(), L"BIURO", L"O'Brien", 5, 42, 3), S_OK);
    Result held = RunProgram("--db " + db + " locks");
    EXPECT_EQ(held.status, 0) << held.out;
    EXPECT_NE(held.out.find("Blokady obiektów (2):"), std::string::npos) << held.out;
    const size_t first = held.out.find("5           42          3           BIURO             O'Brien");
    const size_t second = held.out.find("726         11          0           KASA1             Szef");
    EXPECT_NE(first, std::string::npos) << held.out;
    EXPECT_NE(second, std::string::npos) << held.out;
    EXPECT_LT(first, second);  // by object type
    EXPECT_EQ(RunProgram("--db " + db + " locks extra").status, 2);
  }
  CoUninitialize();
}

TEST_F(Program, UnlockRemovesOnlyThisWorkstationsSynchronisationLocks) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(computer, &size));
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    CHxObjectLock receive(static_cast<HRESULT>(0x80040F19u)), params(static_cast<HRESULT>(0x80040F19u)),
        other(static_cast<HRESULT>(0x80040F19u)), item(static_cast<HRESULT>(0x80040F19u));
    ASSERT_EQ(receive.LockRow(h.Connection(), computer, L"O'Brien", 726, 11, 0), S_OK);
    ASSERT_EQ(params.LockRow(h.Connection(), computer, L"Szef", 726, 10, 0), S_OK);
    ASSERT_EQ(other.LockRow(h.Connection(), L"KASA1", L"Szef", 726, 1, 0), S_OK);
    ASSERT_EQ(item.LockRow(h.Connection(), computer, L"Szef", 5, 42, 0), S_OK);
    Result removed = RunProgram("--db " + db + " unlock");
    EXPECT_EQ(removed.status, 0) << removed.out;
    const std::string name = static_cast<const char*>(_bstr_t(computer));
    EXPECT_NE(removed.out.find("Usunięto blokadę synchronizacji nr 10 (stanowisko " + name + ", użytkownik Szef)."),
              std::string::npos)
        << removed.out;
    EXPECT_NE(removed.out.find("Usunięto blokadę synchronizacji nr 11 (stanowisko " + name + ", użytkownik O'Brien)."),
              std::string::npos)
        << removed.out;
    // Another workstation's synchronisation and this one's edit locks stay.
    Result held = RunProgram("--db " + db + " locks");
    EXPECT_NE(held.out.find("Blokady obiektów (2):"), std::string::npos) << held.out;
    EXPECT_NE(held.out.find("KASA1"), std::string::npos) << held.out;
    Result again = RunProgram("--db " + db + " unlock");
    EXPECT_NE(again.out.find("nie ma blokad synchronizacji."), std::string::npos) << again.out;
  }
  CoUninitialize();
}

// A synchronisation while another workstation runs one: its logs say so, and the program names
// the holder of the lock and how a lock left behind is removed.
TEST_F(Program, ASynchronisationWhileAnotherWorkstationRunsOneTellsWhoAndEndsItsJobs) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  struct Case {
    const char* command;
    const wchar_t* lock;
    int status;
    const char* told;  // what the logs or the failure say
    const char* unlock;
  };
  const Case cases[] = {
      {"receive", L"11", 0, "== Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej.",
       "vantor unlock 726 11\n"},
      {"params", L"10", 0, "Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej.",
       "vantor unlock 726 10\n"},
      {"zone sync", L"1", 1, "vantor: synchronizacja ze Strefą Vantor nie powiodła się (błąd 0x80040F19)",
       "vantor unlock 726 1\n"},
  };
  for (const Case& c : cases) {
    const std::wstring row = std::wstring(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (") +
                             c.lock + L", 0, 726, 'KASA1', 'O''Brien')";
    RunSql(db, {row.c_str()});
    Result busy = RunProgram("--db " + db + " " + c.command);
    EXPECT_EQ(busy.status, c.status) << busy.out;
    EXPECT_NE(busy.out.find(c.told), std::string::npos) << busy.out;
    EXPECT_NE(busy.out.find("Szczegóły:"), std::string::npos) << busy.out;
    EXPECT_NE(busy.out.find("Blokadę trzyma stanowisko KASA1, użytkownik O'Brien.\nJeśli program na tym stanowisku "
                            "już nie działa (blokada została po jego przerwaniu), usuwa ją: " +
                            std::string(c.unlock)),
              std::string::npos)
        << busy.out;
    RunSql(db, {L"DELETE FROM kd_blokada"});
  }
  Result busy = RunProgram("--db " + db + " receive");
  EXPECT_EQ(busy.out.find("Blokadę trzyma"), std::string::npos) << busy.out;  // a free lock names nobody
  RunSql(db, {L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (11, 0, 726, 'KASA1', 'Szef')"});
  busy = RunProgram("--db " + db + " receive");
  EXPECT_NE(busy.out.find("Zakończono: odbieranie aukcji"), std::string::npos) << busy.out;
  // Sending takes no lock.
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.out.find("innej stacji roboczej"), std::string::npos) << sent.out;
}

// A program killed while it holds an account open for editing leaves the account's lock: another
// program that changes the account is refused with the holder named, and `unlock 701 ID` removes
// the lock after its question.
TEST_F(Program, AnAccountLockLeftByAKilledProgramIsNamedAndRemovedAfterTheQuestion) {
  ASSERT_EQ(RunProgram("--db " + db + " account add 1 --login jan --password tajne --site 1:Pierwsza").status, 0);
  // A seller-zone service that takes the connection and never answers keeps the program in the
  // account's settings dialog, with the account locked.
  std::promise<void> reached;
  std::once_flag once;
  testing_net::Server silent([&](testing_net::Peer& peer) {
    std::call_once(once, [&] { reached.set_value(); });
    peer.Hang();
  });
  const std::string program = VANTOR_PROGRAM, registry = RegistryFile(),
                    host = "127.0.0.1:" + std::to_string(silent.Port());
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execl(program.c_str(), program.c_str(), "--registry", registry.c_str(), "--db", db.c_str(), "account", "zone", "1",
          "--host", host.c_str(), "--set", "www=https://sklep.example/", static_cast<char*>(nullptr));
    _exit(127);
  }
  const bool held = reached.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  kill(holder, SIGKILL);
  int status = 0;
  waitpid(holder, &status, 0);
  silent.Stop();
  ASSERT_TRUE(held) << "the program never reached the service";
  const std::string workstation = static_cast<const char*>(_bstr_t(host::ThisWorkstation().c_str()));

  Result refused = RunProgram("--db " + db + " account deactivate 1 --yes");
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_NE(refused.out.find("vantor: nie dezaktywowano konta 1 (błąd 0x80040F19)\nSzczegóły: "), std::string::npos)
      << refused.out;
  EXPECT_NE(refused.out.find("Blokadę trzyma stanowisko " + workstation + ", użytkownik Szef.\n"), std::string::npos)
      << refused.out;
  EXPECT_NE(refused.out.find("usuwa ją: vantor unlock 701 1\n"), std::string::npos) << refused.out;
  Result locks = RunProgram("--db " + db + " locks");
  EXPECT_NE(locks.out.find("To stanowisko: " + workstation + "."), std::string::npos) << locks.out;

  // The question on the terminal names the holder; "n" keeps the lock.
  Result kept = RunAs("echo n | ", RegistryFile(), "--db " + db + " unlock 701 1");
  EXPECT_EQ(kept.status, 0) << kept.out;
  EXPECT_NE(kept.out.find("Blokadę obiektu typu 701, nr 1, dodatkowy 0 trzyma stanowisko " + workstation +
                          ", użytkownik Szef.\n"),
            std::string::npos)
      << kept.out;
  EXPECT_NE(kept.out.find("Usunąć blokadę? [t/n] Bez zmian."), std::string::npos) << kept.out;
  EXPECT_EQ(RunProgram("--db " + db + " unlock 701 1 --no").status, 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada WHERE obtype = 701 AND obid = 1"), 1);
  Result removed = RunProgram("--db " + db + " unlock 701 1 --yes");
  EXPECT_EQ(removed.status, 0) << removed.out;
  EXPECT_NE(removed.out.find("Usunięto blokadę obiektu typu 701, nr 1, dodatkowy 0 (stanowisko " + workstation +
                             ", użytkownik Szef)."),
            std::string::npos)
      << removed.out;
  Result deactivated = RunProgram("--db " + db + " account deactivate 1 --yes");
  EXPECT_EQ(deactivated.status, 0) << deactivated.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada"), 0);

  Result none = RunProgram("--db " + db + " unlock 701 1 --yes");
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find("vantor: nie ma blokady obiektu typu 701, nr 1, dodatkowy 0"), std::string::npos) << none.out;
  for (const char* bad : {" unlock 701", " unlock x 1", " unlock 701 1 2 3", " unlock --yes", " unlock 701 1 --yes --no",
                          " unlock 701 -1"})
    EXPECT_EQ(RunProgram("--db " + db + bad).status, 2) << bad;
}

}  // namespace
}  // namespace program_test
