// Several workstations on one database, each a process of its own (--workstation): receives,
// accounts open for editing, a workstation killed midway, and the demonstration round counted on
// the server as on a file.
#include "host/tests/program_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <regex>
#include <sstream>

#include "auctions/lotrix.h"
#include "platform/base/utf8.h"
#include "platform/registry/registry.h"
#include "platform/resources/resources.h"
#include "shared/hxinstance.h"
#include "shared/objtools.h"
#include "testing/processes/processes.h"

namespace program_test {

namespace {

class Workstations : public ProgramReceive {
 protected:
  // The reference site's working copy with more settings before its data.
  void SetSite(const std::string& settings) {
    const std::string data = ReadFile(VANTOR_REFERENCE_SITE_DATA);
    ASSERT_EQ(data.rfind("{", 0), 0u);
    WriteFile(site, "{" + settings + "," + data.substr(1));
  }
};

// Waits for a byte on `fd` (a minute at most, a bound against a hang); false without one.
bool Awaited(int fd) {
  pollfd wait{fd, POLLIN, 0};
  char byte = 0;
  for (int waited = 0; waited < 600; ++waited) {
    if (read(fd, &byte, 1) == 1) return true;
    poll(&wait, 1, 100);
  }
  return false;
}

// Of two workstations receiving at once, one receives and the other is refused with texts 265
// and 266 and the lock's explanation; what the first stored is stored once.
TEST_F(Workstations, OfTwoReceivesOneRunsTheOtherIsRefusedAndNothingIsStoredTwice) {
  // KASA1's receive is held after its third record; the test is told through a FIFO.
  const std::string pipe = folder + "/pause";
  ASSERT_EQ(mkfifo((pipe + ".paused").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((pipe + ".go").c_str(), 0600), 0);
  const int paused = open((pipe + ".paused").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(paused, 0);
  SetSite("\"pause_after\": 3, \"pause_pipe\": \"" + pipe + "\"");
  auto first = std::async(std::launch::async, [&] { return RunProgram("--db " + db + " --workstation KASA1 receive"); });
  const bool held = Awaited(paused);
  close(paused);
  ASSERT_TRUE(held) << "the first receive was not held";
  EXPECT_EQ(QueryText(db, L"SELECT workstation FROM kd_blokada WHERE obtype = 726 AND obid = 11"), L"KASA1");

  Result second = RunProgram("--db " + db + " --workstation KASA2 receive");
  EXPECT_EQ(second.status, 0) << second.out;
  for (const char* line : {"== Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej.", "Szczegóły:",
                           "Zakończono: odbieranie aukcji"})
    EXPECT_NE(second.out.find(line), std::string::npos) << line << "\n" << second.out;
  EXPECT_EQ(second.out.find("Pobieranie danych z konta"), std::string::npos) << second.out;

  const int go = open((pipe + ".go").c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(go, 0);
  EXPECT_EQ(write(go, "g", 1), 1);
  close(go);
  Result done = first.get();
  EXPECT_EQ(done.status, 0) << done.out;
  EXPECT_NE(done.out.find("== Odebrano transakcji: 4"), std::string::npos) << done.out;
  EXPECT_EQ(ReceivedRows(db), (std::vector<LONG>{6, 5, 3, 3, 4, 3}));
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

// An account open for editing on one workstation cannot be changed from another: the object
// lock refuses it with 0x80040F19, naming the workstation and user that hold it.
TEST_F(Workstations, AnAccountEditedOnOneIsRefusedToAnother) {
  const std::string database = db, registry = RegistryFile();
  testproc::Holder editing([database, registry] {
    platform::registry::SetStoreFile(registry);
    platform::SetComputerName(L"KASA1");
    CoInitialize(nullptr);
    auto h = std::make_shared<host::Host>(platform::utf8::ToWide(database));
    CHxInstance::SetInstance(h->Instance());
    IFlgItemPtr account = CHxObjTools::Fetch(CLSID_CoRegistration, 1, CHxObjTools::omEdit);
    return std::function<void()>([h, account]() mutable {
      account = nullptr;
      CHxInstance::SetInstance(nullptr);
      h.reset();
      CoUninitialize();
    });
  });
  EXPECT_EQ(QueryText(db, L"SELECT workstation FROM kd_blokada WHERE obtype = 701 AND obid = 1"), L"KASA1");
  Result refused = RunProgram("--db " + db + " --workstation KASA2 account deactivate 1 --yes");
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_NE(refused.out.find("vantor: nie dezaktywowano konta 1 (błąd 0x80040F19)\nSzczegóły: "), std::string::npos)
      << refused.out;
  EXPECT_NE(refused.out.find("Blokadę trzyma stanowisko KASA1, użytkownik Szef.\n"), std::string::npos) << refused.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM reg__Registration WHERE reg_Id = 1 AND reg_Active = 1"), 1);
  ASSERT_TRUE(editing.Release());
  // Let go, the account is the other workstation's to change.
  Result changed = RunProgram("--db " + db + " --workstation KASA2 account deactivate 1 --yes");
  EXPECT_EQ(changed.status, 0) << changed.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM reg__Registration WHERE reg_Id = 1 AND reg_Active = 0"), 1);
}

// A workstation killed midway through a receive: the database keeps what it committed (the open
// transaction rolled back), its lock row stays until that workstation's `vantor unlock`, and the
// others go on meanwhile.
TEST_F(Workstations, AWorkstationKilledMidwayLeavesItsLockAndTheOthersGoOn) {
  SetSite("\"kill_after\": 6");
  Result killed = RunProgram("--db " + db + " --workstation KASA1 receive");
  EXPECT_EQ(killed.status, 128 + SIGKILL) << killed.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction WHERE NOT EXISTS (SELECT 1 FROM tr_Position WHERE "
                          L"tp_TransId = tr_Id)"),
            0);
  ExpectSoundDatabase(db);

  // KASA2 is refused the receive, its own unlock leaves KASA1's lock, and it sends meanwhile.
  Result refused = RunProgram("--db " + db + " --workstation KASA2 receive");
  EXPECT_NE(refused.out.find("na innej stacji roboczej"), std::string::npos) << refused.out;
  Result listed = RunProgram("--db " + db + " --workstation KASA2 locks");
  EXPECT_NE(listed.out.find("KASA1"), std::string::npos) << listed.out;
  Result notHers = RunProgram("--db " + db + " --workstation KASA2 unlock");
  EXPECT_NE(notHers.out.find("Stanowisko KASA2 nie ma blokad synchronizacji."), std::string::npos) << notHers.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada WHERE workstation = 'KASA1'"), 1);
  Result sent = RunProgram("--db " + db + " --workstation KASA2 send");
  EXPECT_EQ(sent.status, 0) << sent.out;

  // KASA1's unlock takes its lock away; the next receive stores what was missing, once.
  Result unlocked = RunProgram("--db " + db + " --workstation KASA1 unlock");
  EXPECT_NE(unlocked.out.find("Usunięto blokadę synchronizacji nr 11 (stanowisko KASA1"), std::string::npos)
      << unlocked.out;
  WriteFile(site, ReadFile(VANTOR_REFERENCE_SITE_DATA));
  Result rerun = RunProgram("--db " + db + " --workstation KASA2 receive");
  EXPECT_EQ(rerun.status, 0) << rerun.out;
  EXPECT_EQ(ReceivedRows(db), (std::vector<LONG>{6, 5, 3, 3, 4, 3}));
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

// The lines of a command's output that count something: the summaries ("== ...") and the lines
// ending with a number or "N z M".
std::vector<std::string> Counts(const std::string& out) {
  static const std::regex counted("^(== .*|.*: [0-9]+( z [0-9]+)?)\\r?$");
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (std::regex_match(line, counted)) lines.push_back(line);
  return lines;
}

// The demonstration's round (demo, receive, send, params, zone sync) counts on a database on the
// server what it counts on a database file, command by command, and leaves the same rows.
TEST_F(ProgramFiles, TheDemonstrationRoundCountsOnAServerWhatItCountsOnAFile) {
  if (!testdb::OnPostgres()) GTEST_SKIP() << "compares a database on the server with a file";
  testing_net::Certificates certificates;
  std::vector<std::vector<std::string>> rounds;
  for (const std::string& database : {folder + "/plik.db", db}) {
    ZoneService service(certificates, ZONE_DEMO_ACCOUNTS, certificates.Dir() + "/" + std::to_string(rounds.size()));
    ASSERT_GT(service.Port(), 0);
    std::vector<std::string> counts;
    for (const std::string& command :
         {std::string("demo"), std::string("receive"), std::string("send"), std::string("params --check"),
          std::string("params"),
          "--ca " + certificates.CaFile() + " zone sync --host 127.0.0.1:" + std::to_string(service.Port()),
          std::string("")}) {
      Result run = RunProgram("--db " + database + " " + command);
      EXPECT_EQ(run.status, 0) << command << "\n" << run.out;
      counts.push_back("-- " + std::string(command.find("zone sync") != std::string::npos ? "zone sync" : command));
      for (std::string& line : Counts(run.out)) counts.push_back(std::move(line));
    }
    rounds.push_back(std::move(counts));
  }
  EXPECT_GT(rounds[0].size(), 40u);  // the round counted
  ASSERT_EQ(rounds[1].size(), rounds[0].size());
  for (size_t i = 0; i < rounds[0].size(); ++i) EXPECT_EQ(rounds[1][i], rounds[0][i]) << i;
}

// A workstation's name is cut to the lock table's 15 characters, as a computer's name is.
TEST_F(Workstations, AWorkstationsNameIsCutToFifteenCharacters) {
  RunSql(db, {L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (11, 0, 726, "
              L"'STANOWISKO-DLUG', 'Szef')"});
  Result unlocked = RunProgram("--db " + db + " --workstation STANOWISKO-DLUGIE-BIURO unlock");
  EXPECT_NE(unlocked.out.find("(stanowisko STANOWISKO-DLUG,"), std::string::npos) << unlocked.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada"), 0);
  EXPECT_EQ(RunProgram("--db " + db + " --workstation").status, 2);
}

}  // namespace

}  // namespace program_test
