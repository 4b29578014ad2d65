// The `vantor` program as a person runs it.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <array>
#include <chrono>
#include <future>
#include <mutex>
#include <initializer_list>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "auctions/lotrix.h"
#include "host/host.h"
#include "host/schema.h"
#include "platform/base/utf8.h"
#include "platform/registry/registry.h"
#include "platform/resources/resources.h"
#include "shared/hxlog.h"
#include "shared/objlock.h"
#include "shared/objtools.h"
#include "testing/net/net.h"
#include "testing/pictures/pictures.h"
#include "testing/processes/processes.h"
#include "testing/support/temp_folder.h"
#include "testing/support/test_database.h"

namespace {

struct Result {
  int status;
  std::string out;
};

// The folder of the running test, made afresh for it and removed after it: its database, its
// registry and the reference site's working copy beside the database, so that tests running at
// once (or a file left by a test that was killed) share nothing.
std::string& TestFolder() {
  static std::string folder;
  return folder;
}

// The registry file of the running test: the program registers the system's servers at start,
// never into the user's own registry.
std::string RegistryFile() { return TestFolder() + "/registry"; }

// Runs a shell command; its exit status and its output with its errors.
Result RunCommand(const std::string& line) {
  const std::string command = line + " 2>&1";
  Result result{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Runs the program behind `prefix` (another user, say) with its own registry file.
Result RunAs(const std::string& prefix, const std::string& registry, const std::string& args) {
  return RunCommand(prefix + std::string(VANTOR_PROGRAM) + " --registry " + registry + " " + args);
}

Result RunProgram(const std::string& args) { return RunAs("", RegistryFile(), args); }

// The program running as a child of the test, its output read as it comes: for what happens while
// it runs. Every wait has a deadline; a program still running at the end is killed.
class RunningProgram {
 public:
  explicit RunningProgram(const std::string& args) {
    int out[2];
    if (pipe(out) != 0) return;
    const std::string line = "exec " + std::string(VANTOR_PROGRAM) + " --registry " + RegistryFile() + " " + args + " 2>&1";
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    fd_ = out[0];
  }
  ~RunningProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) close(fd_);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // Reads the output until it holds `text`; false when the output ended first or the deadline
  // passed.
  bool WaitFor(const std::string& text, int seconds = 60) {
    while (out_.find(text) == std::string::npos)
      if (!ReadSome(seconds)) return false;
    return true;
  }
  // Waits until the program stopped (SIGSTOP); false when it ended or the deadline passed.
  bool WaitStopped(int seconds = 60) {
    int status = 0;
    if (!WaitChild(WUNTRACED, status, seconds)) return false;
    if (WIFSTOPPED(status)) return true;
    pid_ = -1;  // it ended
    return false;
  }
  void Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
  }
  // Reads the rest of the output and waits for the end: the exit status (-1 when the program did
  // not end in time or was killed) and the whole output.
  Result Finish(int seconds = 120) {
    while (ReadSome(seconds)) {
    }
    int status = 0;
    Result result{-1, out_};
    if (pid_ > 0 && WaitChild(0, status, seconds)) {
      pid_ = -1;
      if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    }
    return result;
  }

 private:
  static void OnAlarm(int) {}
  // waitpid with a deadline (an alarm interrupts it).
  bool WaitChild(int options, int& status, int seconds) {
    if (pid_ <= 0) return false;
    struct sigaction action {}, old {};
    action.sa_handler = OnAlarm;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, &old);
    alarm(static_cast<unsigned>(seconds));
    const pid_t got = waitpid(pid_, &status, options);
    alarm(0);
    sigaction(SIGALRM, &old, nullptr);
    return got == pid_;
  }
  // One read of the output; false at its end or after the deadline.
  bool ReadSome(int seconds) {
    if (fd_ < 0) return false;
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, seconds * 1000) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got <= 0) {
      close(fd_);
      fd_ = -1;
      return false;
    }
    out_.append(buffer, static_cast<size_t>(got));
    return true;
  }

  pid_t pid_ = -1;
  int fd_ = -1;
  std::string out_;
};

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// What the program keeps beside a database (host::DatabaseFilesBase): on PostgreSQL in the user's
// data folder, which the test clears of them.
std::string FilesBase(const std::string& db) {
  return platform::utf8::FromWide(host::DatabaseFilesBase(platform::utf8::ToWide(db)));
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    temp = std::make_unique<testtemp::TempFolder>("vantor-program-test");
    folder = TestFolder() = temp->Path();
    db = Database("vantor.db");
    site = FilesBase(db) + ".reference-site.json";
    spool = FilesBase(db).substr(0, FilesBase(db).rfind('/')) + "/spool";
  }
  void TearDown() override {
    for (const std::string& database : databases)
      if (testdb::OnPostgres()) std::filesystem::remove_all(std::filesystem::path(FilesBase(database)).parent_path());
    temp.reset();
    TestFolder().clear();
  }
  // A database of the test's own (its folder's file "name", or one on the server).
  std::string Database(const std::string& name) {
    databases.push_back(temp->Database(name));
    return databases.back();
  }
  std::unique_ptr<testtemp::TempFolder> temp;
  std::vector<std::string> databases;
  std::string folder;
  std::string db;
  std::string site;   // the reference site's working copy beside the database
  std::string spool;  // where printed jobs go
};



TEST_F(Program, CreatesTheDatabaseAndReportsItsTables) {
  Result first = RunProgram("--db " + db);
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_NE(first.out.find("kd_JobLog: 0"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("kd_User: 1"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("Wersja schematu: "), std::string::npos);
  Result again = RunProgram("--db " + db);
  EXPECT_EQ(again.status, 0);
  EXPECT_NE(again.out.find("kd_User: 1"), std::string::npos);
}

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

TEST_F(Program, ADamagedFileGetsAClearErrorAndIsLeftAsItWas) {
  const std::string garbage = "to nie jest baza danych\n";
  FILE* file = std::fopen(db.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(garbage.data(), 1, garbage.size(), file);
  std::fclose(file);
  Result damaged = RunProgram("--db " + db);
  EXPECT_EQ(damaged.status, 1);
  // The program's words first, the database's own on a line of their own.
  EXPECT_EQ(damaged.out.rfind("vantor: nie można otworzyć bazy danych " + db + " (błąd 0x", 0), 0u) << damaged.out;
  EXPECT_NE(damaged.out.find(")\nSzczegóły: file is not a database\n"), std::string::npos) << damaged.out;
  file = std::fopen(db.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::string kept(64, '\0');
  kept.resize(std::fread(kept.data(), 1, kept.size(), file));
  std::fclose(file);
  EXPECT_EQ(kept, garbage);
}

TEST_F(Program, ANewDatabaseIsCreatedOnlyInAnExistingFolder) {
  const std::string nowhere = db + "-nowhere";
  Result typo = RunProgram("--db " + nowhere + "/sub/x.db");
  EXPECT_EQ(typo.status, 1);
  EXPECT_NE(typo.out.find("vantor: nie ma folderu " + nowhere + "/sub"), std::string::npos) << typo.out;
  EXPECT_FALSE(Exists(nowhere));
  // An empty file is not a database: left as it is.
  FILE* file = std::fopen(db.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  Result empty = RunProgram("--db " + db);
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("jest pusty"), std::string::npos) << empty.out;
  struct stat st {};
  ASSERT_EQ(stat(db.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(RunProgram("--db /tmp").status, 1);  // a folder
}

// A reading command opens the database read-only: it works on a file that cannot be written, in
// a folder that cannot be written, and never changes the database (not even its schema).
TEST_F(Program, ReadingCommandsWorkOnAReadOnlyDatabase) {
  // The other user reaches the database through the test's folder and keeps its registry in a
  // folder it may write.
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  const std::string other = folder + "/other";
  ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
  ASSERT_EQ(chmod(other.c_str(), 0777), 0);
  const std::string ro = db + "-ro";
  ASSERT_EQ(mkdir(ro.c_str(), 0755), 0);
  const std::string file = ro + "/vantor.db";
  ASSERT_EQ(RunProgram("--db " + file).status, 0);
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
  // root writes anyway: the program then runs without root's capabilities, to which the file is
  // read-only while the build tree (perhaps the owner's alone) stays readable.
  const std::string as = getuid() == 0 ? "setpriv --bounding-set=-all --inh-caps=-all " : "";
  const std::string registry = other + "/registry";
  Result log = RunAs(as, registry, "--db " + file + " log");
  EXPECT_EQ(log.status, 0) << log.out;
  EXPECT_NE(log.out.find("Brak zapisanych zadań."), std::string::npos) << log.out;
  Result report = RunAs(as, registry, "--db " + file);
  EXPECT_EQ(report.status, 1) << report.out;
  EXPECT_NE(report.out.find("vantor: nie można otworzyć bazy danych " + file +
                            ": brak uprawnień do zmiany bazy danych (błąd 0x80040E09)\nSzczegóły: "),
            std::string::npos)
      << report.out;
  chmod(ro.c_str(), 0755);  // for the removal of the test's folder by a user other than root
}

// An older database: a reading command leaves it as it is; the program upgrades it and tells, once,
// the rows it kept although they break a key it added.
TEST_F(Program, ReadingCommandsLeaveAnOlderSchemaAsItIsAndTheUpgradeTellsTheRowsItKept) {
  CoInitialize(nullptr);
  {
    _ConnectionPtr cn(__uuidof(Connection));
    cn->Open(_bstr_t(("Data Source=" + db).c_str()), _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
    host::UpgradeSchemaTo(cn, 15);
    cn->Execute(_bstr_t(L"INSERT INTO au__Auction (au_Id, au_RegId) VALUES (7, 3)"), nullptr, kCmdTextNoRecords);
  }
  CoUninitialize();
  Result log = RunProgram("--db " + db + " log");
  EXPECT_EQ(log.status, 1) << log.out;
  EXPECT_NE(log.out.find("Szczegóły: Baza danych ma schemat w wersji 15, starszej"), std::string::npos) << log.out;
  Result report = RunProgram("--db " + db);
  EXPECT_EQ(report.status, 0) << report.out;
  EXPECT_NE(report.out.find("Wersja schematu: " + std::to_string(host::CurrentSchemaVersion())), std::string::npos);
  EXPECT_NE(report.out.find("vantor: Uaktualnienie schematu bazy danych do wersji 16: aukcje (au__Auction), które "
                            "wskazują konto nieobecne w bazie danych, zostają bez zmian (1): au_Id 7 (au_RegId 3).\n"),
            std::string::npos)
      << report.out;
  EXPECT_NE(report.out.find("au__Auction: 1"), std::string::npos) << report.out;
  EXPECT_EQ(RunProgram("--db " + db).out.find("Uaktualnienie"), std::string::npos);
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

// Runs statements on the database file in this process.
void RunSql(const std::string& db, std::initializer_list<const wchar_t*> statements) {
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    for (const wchar_t* sql : statements) h.Connection()->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
  }
  CoUninitialize();
}

TEST_F(Program, ReceiveAndSendRunTheirJobsOverTheAccounts) {
  Result received = RunProgram("--db " + db + " receive");
  EXPECT_EQ(received.status, 0) << received.out;
  for (const char* line : {"Rozpoczęto odbieranie aukcji", "Rozpoczęto odbieranie komentarzy",
                           "Zakończono: odbieranie aukcji", "Zakończono: odbieranie klientów",
                           "Odbieranie danych z serwisów aukcyjnych zakończone."})
    EXPECT_NE(received.out.find(line), std::string::npos) << line << "\n" << received.out;
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.status, 0) << sent.out;
  EXPECT_NE(sent.out.find("Rozpoczęto wysyłanie aukcji"), std::string::npos) << sent.out;
  EXPECT_NE(sent.out.find("Zakończono: wysyłanie komentarzy"), std::string::npos) << sent.out;
  // The jobs are in the log, ended, and the receive lock is gone.
  Result log = RunProgram("--db " + db + " log");
  EXPECT_NE(log.out.find("odbieranie transakcji"), std::string::npos) << log.out;
  EXPECT_NE(log.out.find("wysyłanie komentarzy"), std::string::npos) << log.out;
  Result locks = RunProgram("--db " + db + " locks");
  EXPECT_EQ(locks.out.find("726"), std::string::npos) << locks.out;
  // Words they do not take are refused, and so is an account the database does not hold.
  EXPECT_EQ(RunProgram("--db " + db + " receive all").status, 2);
  Result unknown = RunProgram("--db " + db + " --account 7 receive");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("nie ma konta serwisu aukcyjnego o numerze 7"), std::string::npos) << unknown.out;
  EXPECT_EQ(RunProgram("--db " + db + " --account x receive").status, 2);
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

LONG QueryLong(const std::string& db, const wchar_t* sql);

// The demonstration database: two accounts of the reference service on its site, a prepared
// auction on each, a purchase of the site with a comment to give, and the site's working copy
// beside the database, which receive and send then work on.
TEST_F(Program, DemoSeedsTwoAccountsAndTheSitesWorkingCopyThatReceiveAndSendWorkOn) {
  Result demo = RunProgram("--db " + db + " demo");
  ASSERT_EQ(demo.status, 0) << demo.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_AuctionsPrepared WHERE au_RegId IN (1, 2)"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(DISTINCT au_RegId) FROM vw_AuctionsPrepared"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared WHERE au_RegId = 1 AND au_Number = '7100003' "
                          L"AND cs_ExtServiceId = 8100003 AND cs_Nick = 'zosia_maluje'"),
            1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);

  // Sent straight away: both auctions and the comment go, once; not while the site's copy cannot
  // be read (one byte that is no UTF-8): then the sessions fail, the jobs end with the error, the
  // program exits 1, and neither the site nor the database changes.
  {
    const std::string other = Database("send.db");
    Result seeded = RunProgram("--db " + other + " demo");
    EXPECT_EQ(seeded.status, 0) << seeded.out;
    const std::string otherCopy = FilesBase(other) + ".reference-site.json";
    const std::string good = FileText(otherCopy);
    const size_t name = good.find("Wzorcowo");
    ASSERT_NE(name, std::string::npos);
    const std::string bad = good.substr(0, name) + "\xff" + good.substr(name);
    { std::ofstream(otherCopy, std::ios::binary | std::ios::trunc) << bad; }
    const LONG auctionsBefore = QueryLong(other, L"SELECT COUNT(*) FROM au__Auction");
    for (const char* command : {" send", " receive"}) {
      Result unreachable = RunProgram("--db " + other + command);
      EXPECT_EQ(unreachable.status, 1) << command << "\n" << unreachable.out;
      EXPECT_NE(unreachable.out.find("Ostatnia operacja nie powiodła się.\r\nPlik danych serwisu wzorcowego " + otherCopy),
                std::string::npos)
          << command << "\n" << unreachable.out;
      EXPECT_NE(unreachable.out.find("zakończone błędem"), std::string::npos) << command << "\n" << unreachable.out;
      EXPECT_NE(unreachable.out.find("vantor: co najmniej jedno zadanie zakończyło się błędem"), std::string::npos)
          << unreachable.out;
      EXPECT_EQ(unreachable.out.find("Wysłano"), std::string::npos) << unreachable.out;
    }
    EXPECT_EQ(FileText(otherCopy), bad);
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 2);
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM au__Auction"), auctionsBefore);
    { std::ofstream(otherCopy, std::ios::binary | std::ios::trunc) << good; }
    Result sent = RunProgram("--db " + other + " send");
    EXPECT_EQ(sent.status, 0) << sent.out;
    for (const char* line : {"Wysłano aukcji: 2", "Wysłano komentarzy: 1"})
      EXPECT_NE(sent.out.find(line), std::string::npos) << line << "\n" << sent.out;
    EXPECT_EQ(sent.out.find("łąd"), std::string::npos) << sent.out;
    Result again = RunProgram("--db " + other + " send");
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(again.out.find("Wysłano"), std::string::npos) << again.out;
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM au__Auction WHERE au_State = 3 AND au_Number IS NOT NULL"), 2);
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM tr_Comment WHERE tc_SentDate IS NOT NULL"), 1);
  }
  EXPECT_EQ(FileText(site), FileText(VANTOR_REFERENCE_SITE_DATA));
  Result list = RunProgram("--db " + db + " accounts");
  EXPECT_NE(list.out.find("Konta (2):"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  1\tsklep_wzorcowy\tSerwis wzorcowy\ttak\ttak\t"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  2\tbez_sklepu\tSerwis wzorcowy\ttak\tnie\t"), std::string::npos) << list.out;
  Result account = RunProgram("--db " + db + " account 1");
  EXPECT_NE(account.out.find("Serwisy (1):\n  1\tWzorcowo"), std::string::npos) << account.out;

  Result received = RunProgram("--db " + db + " receive");
  EXPECT_EQ(received.status, 0) << received.out;
  for (const char* line : {"Rozpoczęto odbieranie aukcji", "Zakończono: odbieranie aukcji",
                           "Zakończono: odbieranie komentarzy", "Odbieranie danych z serwisów aukcyjnych zakończone."})
    EXPECT_NE(received.out.find(line), std::string::npos) << line << "\n" << received.out;
  EXPECT_EQ(received.out.find("serwisu wzorcowego"), std::string::npos) << received.out;
  EXPECT_EQ(received.out.find("łąd"), std::string::npos) << received.out;
  // The receive found the seeded rows: the six auctions of each account plus the two prepared,
  // the site's three buyers and four purchases, the seeded ones among them once.
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction"), 14);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Number = '7100003' AND au_RegId = 1"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM cs__Customer"), 3);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM cs__Customer WHERE cs_ExtServiceId = 8100003"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction"), 4);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction INNER JOIN cs__Customer ON cs_Id = tr_CustomerId "
                          L"WHERE cs_ExtServiceId = 8100003"),
            1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.status, 0) << sent.out;
  for (const char* line : {"Rozpoczęto wysyłanie aukcji", "Wysyłanie danych na konto sklep_wzorcowy na Wzorcowo",
                           "Wysyłanie danych na konto bez_sklepu na Wzorcowo", "Wysłano aukcji: 2",
                           "Wysłano komentarzy: 1", "Zakończono: wysyłanie komentarzy",
                           "Wysyłanie danych na serwisy aukcyjne zakończone."})
    EXPECT_NE(sent.out.find(line), std::string::npos) << line << "\n" << sent.out;
  EXPECT_EQ(RunProgram("--db " + db + " send").out.find("Wysłano"), std::string::npos);

  // Where accounts exist nothing changes, not even an edited working copy.
  { std::ofstream(site, std::ios::trunc) << "{\"sites\": 5}"; }
  Result again = RunProgram("--db " + db + " demo");
  EXPECT_EQ(again.status, 2) << again.out;
  EXPECT_NE(again.out.find("ma już konta"), std::string::npos) << again.out;
  EXPECT_EQ(FileText(site), "{\"sites\": 5}");
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("Konta (2):"), std::string::npos);
  // The sessions read that copy: a broken one is told, and the receive fails.
  Result broken = RunProgram("--db " + db + " receive");
  EXPECT_EQ(broken.status, 1) << broken.out;
  EXPECT_NE(broken.out.find("nie można wczytać danych serwisu wzorcowego " + site), std::string::npos) << broken.out;
  // A copy that is gone is made again from the repository's file.
  std::remove(site.c_str());
  EXPECT_EQ(RunProgram("--db " + db + " receive").status, 0);
  EXPECT_EQ(FileText(site), FileText(VANTOR_REFERENCE_SITE_DATA));
  EXPECT_EQ(RunProgram("--db " + db + " demo extra").status, 2);
}

// Two accounts of the reference provider on its site with prepared auctions, and a comment to
// give on a sold auction of the first.
TEST_F(Program, SendSendsThePreparedAuctionsAndCommentsAndThenNothing) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  RunSql(db, {L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (5, 1, 1, N'Wzorcowo')",
              L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey) VALUES "
              L"(3, 1, 'sprzedawca', 'x'), (4, 1, 'kupiec', 'x')",
              L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 3, 5), (2, 4, 5)",
              L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (1, N'ania', 4242, 1)",
              L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_RegId, au_SiteId, au_SvcProvId, au_State) "
              L"VALUES (1, NULL, N'Kubek', 3, 5, 1, 1), (2, NULL, N'Talerz', 4, 5, 1, 1), "
              L"(3, '1003', N'Trwa', 3, 5, 1, 3), (10, '1001', N'Sprzedana', 3, 5, 1, 4)",
              L"INSERT INTO tr__Transaction (tr_Id, tr_AuctionId, tr_CustomerId) VALUES (20, 10, 1)",
              L"INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_SentComment, tc_SentScore) VALUES (1, 20, N'Dziękuję', 1)"});
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.status, 0) << sent.out;
  for (const char* line : {"Wysyłanie danych na konto sprzedawca na Wzorcowo", "Wysyłanie danych na konto kupiec na Wzorcowo",
                           "Wysłano aukcji: 2", "Wysłano komentarzy: 1"})
    EXPECT_NE(sent.out.find(line), std::string::npos) << line << "\n" << sent.out;
  Result again = RunProgram("--db " + db + " send");
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(again.out.find("Wysłano aukcji"), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("Wysłano komentarzy"), std::string::npos) << again.out;

  // Chosen auctions of either account; one that is not prepared is named.
  RunSql(db, {L"UPDATE au__Auction SET au_State = 1 WHERE au_Id IN (1, 2)"});
  Result chosen = RunProgram("--db " + db + " send --auction 2 --auction 3 --auction 1");
  EXPECT_EQ(chosen.status, 0) << chosen.out;
  // The job ends with a warning, so without its summary: both went.
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    _RecordsetPtr rs = h.Connection()->Execute(
        _bstr_t(L"SELECT COUNT(*) FROM au__Auction WHERE au_State = 3 AND au_Number IS NOT NULL"), nullptr, adCmdText);
    EXPECT_EQ(static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()), 3);
  }
  CoUninitialize();
  EXPECT_NE(chosen.out.find("Nie wysłano aukcji o identyfikatorach: 3."), std::string::npos) << chosen.out;
  EXPECT_EQ(chosen.out.find("komentarzy"), std::string::npos) << chosen.out;
  EXPECT_EQ(RunProgram("--db " + db + " send --auction 0").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " send --auction").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " send 5").status, 2);
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

TEST_F(Program, TheRunOptionDialogsAreListedAndRendered) {
  Result list = RunProgram("--db " + db + " dialog");
  EXPECT_NE(list.out.find("#108  (Lotrix, 262 x 200): opcje odbierania"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("#109  (Lotrix, 232 x 62): opcje wysyłania"), std::string::npos) << list.out;
  const std::string png = folder + "/okno.png";
  // The account's settings need an account.
  Result none = RunProgram("--db " + db + " dialog '#106' " + png);
  EXPECT_EQ(none.status, 1) << none.out;
  EXPECT_FALSE(Exists(png));
  ASSERT_EQ(RunProgram("--db " + db + " demo").status, 0);
  for (const char* name : {"'#101'", "'#106'", "'#108'", "'#109'"}) {
    Result shown = RunProgram("--db " + db + " dialog " + name + " " + png);
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_TRUE(Exists(png)) << name;
    std::remove(png.c_str());
  }
}

TEST_F(Program, ParamsTakesTheVersionCheckAndItsForce) {
  EXPECT_EQ(RunProgram("--db " + db + " params").status, 0);
  EXPECT_EQ(RunProgram("--db " + db + " params --check --force").status, 0);
  Result alone = RunProgram("--db " + db + " params --force");
  EXPECT_EQ(alone.status, 2);
  EXPECT_NE(alone.out.find("--force działa tylko z --check"), std::string::npos) << alone.out;
  EXPECT_EQ(RunProgram("--db " + db + " params --all").status, 2);
}

TEST_F(Program, AddsTheReferenceProviderWhereProviderOneIsMissing) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  Result report = RunProgram("--db " + db);
  EXPECT_NE(report.out.find("sl_ServiceProvider: 1"), std::string::npos) << report.out;
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    _RecordsetPtr rs = h.Connection()->Execute(_bstr_t(L"SELECT ss_Name, ss_ProgId FROM sl_ServiceProvider WHERE ss_Id = 1"),
                                               nullptr, adCmdText);
    ASSERT_FALSE(rs->GetadoEOF());
    const std::wstring name = static_cast<const wchar_t*>(_bstr_t(rs->GetFields()->GetItem(L"ss_Name")->GetValue()));
    EXPECT_EQ(name, L"Serwis wzorcowy");
    EXPECT_EQ(name.find(L"test"), std::wstring::npos);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(rs->GetFields()->GetItem(L"ss_ProgId")->GetValue()))),
              L"Reference.SiteConnector");
  }
  CoUninitialize();
  // A provider 1 of its own is left as it is.
  RunSql(db, {L"UPDATE sl_ServiceProvider SET ss_Name = N'Własny', ss_ProgId = 'Own.Connector' WHERE ss_Id = 1"});
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  RunSql(db, {L"DELETE FROM sl_ServiceProvider WHERE ss_Id = 1 AND ss_Name = N'Własny' AND ss_ProgId = 'Own.Connector'"});
  EXPECT_NE(RunProgram("--db " + db).out.find("sl_ServiceProvider: 1"), std::string::npos);
}

TEST_F(Program, ShowsAnAccountAndASiteDictionary) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  RunSql(db, {
      L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId) VALUES (10, 1, 1), (11, 2, 1)",
      L"INSERT INTO st_Country (sc_Id, sc_Name, sc_Code, sc_Ident, sc_SiteId, sc_SvcProvId) VALUES "
      L"(1, N'Polska', 'PL', 1, 1, 1), (2, N'Czechy', 'CZ', 2, 1, 1), (3, N'Inna', 'XX', 3, 2, 1)",
      L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username, reg_Accesskey, reg_Name) "
      L"VALUES (5, 1, 9007199254740993, 'jan', 'ak1:2E3B33', N'Sklep Jana')",
      L"INSERT INTO reg_Data (rd_Id, rd_RegId, rd_Name, rd_vvarchar, rd_vint) VALUES (1, 5, 'kolor', N'zielony', NULL), "
      L"(2, 5, 'limit', NULL, 10)",
      L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId, rs_Name) VALUES (1, 5, 10, N'pierwszy')",
  });
  Result account = RunProgram("--db " + db + " account 5");
  EXPECT_EQ(account.status, 0) << account.out;
  for (const char* line : {"Konto 5\n", "  login: jan\n", "  serwis: Serwis wzorcowy (dostawca 1)\n",
                           "  numer użytkownika w serwisie: 9007199254740993\n", "  nazwa: Sklep Jana\n",
                           "  aktywne: tak\n", "Wartości własne (2):\n", "  kolor = 'zielony'\n", "  limit = 10\n",
                           "Serwisy (1):\n", "  1\tpierwszy\n"})
    EXPECT_NE(account.out.find(line), std::string::npos) << line << account.out;
  // The password is never shown, in either form.
  EXPECT_EQ(account.out.find("ak1:"), std::string::npos);
  EXPECT_EQ(account.out.find("tai"), std::string::npos);
  Result missing = RunProgram("--db " + db + " account 6");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("vantor: nie ma konta o numerze 6"), std::string::npos) << missing.out;
  EXPECT_EQ(RunProgram("--db " + db + " account x").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " account").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " account 5 6").status, 2);

  Result countries = RunProgram("--db " + db + " site 10 0");
  EXPECT_EQ(countries.status, 0) << countries.out;
  EXPECT_NE(countries.out.find("Serwis 10 (numer w serwisie 1, dostawca 1), słownik 0 (kraje): 2\n"), std::string::npos)
      << countries.out;
  const size_t czech = countries.out.find("\tCzechy\tCZ"), poland = countries.out.find("\tPolska\tPL");
  EXPECT_NE(czech, std::string::npos) << countries.out;
  EXPECT_LT(czech, poland);
  EXPECT_EQ(countries.out.find("Inna"), std::string::npos);
  Result accounts = RunProgram("--db " + db + " site 10 9");
  EXPECT_NE(accounts.out.find("  5\tjan\t"), std::string::npos) << accounts.out;
  // Position 0 is the top level of the categories, the site's and an account's own.
  RunSql(db, {L"INSERT INTO st_Category (cat_Id, cat_CatId, cat_Name, cat_ParentId, cat_SiteId, cat_RegId) VALUES "
              L"(1, 100, N'Antyki', 0, 10, NULL), (2, 101, N'Meble', 100, 10, NULL), (3, 200, N'Moje', 0, 10, 5)"});
  Result top = RunProgram("--db " + db + " site 10 6 0");
  EXPECT_EQ(top.status, 0) << top.out;
  EXPECT_NE(top.out.find(": 1\n"), std::string::npos) << top.out;
  EXPECT_NE(top.out.find("  100\tAntyki\t1\n"), std::string::npos) << top.out;
  Result shop = RunProgram("--db " + db + " site 10 12 0 5");
  EXPECT_EQ(shop.status, 0) << shop.out;
  EXPECT_NE(shop.out.find("  200\tMoje\t0\n"), std::string::npos) << shop.out;
  EXPECT_EQ(RunProgram("--db " + db + " site 10 12 0 0").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " site 10 6 -1").status, 2);
  Result kind = RunProgram("--db " + db + " site 10 99");
  EXPECT_EQ(kind.status, 1);
  EXPECT_NE(kind.out.find("vantor: serwis nie ma słownika rodzaju 99"), std::string::npos) << kind.out;
  EXPECT_EQ(RunProgram("--db " + db + " site 10 7").status, 1);
  EXPECT_EQ(RunProgram("--db " + db + " site 12 0").status, 1);
  EXPECT_EQ(RunProgram("--db " + db + " site 10 kraje").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " site 10").status, 2);
}

TEST_F(Program, HelpAndBadArguments) {
  Result help = RunProgram("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--db PLIK"), std::string::npos);
  EXPECT_NE(help.out.find("--registry PLIK"), std::string::npos);
  EXPECT_NE(help.out.find("locks"), std::string::npos);
  EXPECT_NE(help.out.find("unlock"), std::string::npos);
  for (const char* command : {"  receive ", "  send ", "  params [--check [--force]]", "--account N",
                              "Kod wyjścia: 0", "zakończyło się błędem (dziennik zadań: vantor log)"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  EXPECT_EQ(RunProgram("--db").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " --bogus").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " extra words").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " frobnicate").status, 2);
}

std::string ReadFile(const std::string& path) {
  std::string text;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
  }
  return text;
}

void WriteFile(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

TEST_F(Program, XmlRunsADefinitionFile) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  const std::string def = folder + "/def.xml", log = folder + "/xml.log", broken = folder + "/broken.xml";
  WriteFile(def,
            "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n"
            "<def:schema xmlns:def=\"http://www.vantor.example/VXSchemas/xml-def.xsd\"><def:data>"
            "<def:sql>SELECT us_Id, us_Name FROM kd_User WHERE us_Name = '%1'</def:sql>"
            "<def:param idx=\"1\" name=\"kto\">nikt</def:param>"
            "<def:element name=\"u\"><def:attribute name=\"opis\" val=\"u\xbfytkownik\"/>"
            "<def:element name=\"n\" src=\"us_Name\"/></def:element></def:data></def:schema>");
  Result run = RunProgram("--db " + db + " xml " + def + " kto=Szef --log " + log);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<u opis=\"użytkownik\">\n\t<n>Szef</n>\n</u>\n");
  EXPECT_NE(ReadFile(log).find("WHERE us_Name = 'Szef'\r\n"), std::string::npos);
  // A value with a quote is doubled in the query; no such user gives just the document.
  Result quoted = RunProgram("--db " + db + " xml " + def + " \"kto=O'Brien=x\"");
  EXPECT_EQ(quoted.status, 0) << quoted.out;
  EXPECT_EQ(quoted.out, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n");
  // A log that cannot be written loses nothing of the XML: it is printed, then the log's failure.
  Result unlogged = RunProgram("--db " + db + " xml " + def + " kto=Szef --log /nonexistent-folder/xml.log");
  EXPECT_EQ(unlogged.status, 1);
  EXPECT_EQ(unlogged.out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<u opis=", 0), 0u)
      << unlogged.out;
  EXPECT_NE(unlogged.out.find("</u>\nvantor: nie można zapisać dziennika do pliku /nonexistent-folder/xml.log"),
            std::string::npos)
      << unlogged.out;

  WriteFile(broken, "<def:schema xmlns:def=\"x\"><def:data>");
  Result bad = RunProgram("--db " + db + " xml " + broken);
  EXPECT_EQ(bad.status, 2);
  // What failed, in Polish, with the parser's own text after it.
  EXPECT_NE(bad.out.find("nie jest poprawnym dokumentem XML (wiersz 1, kolumna "), std::string::npos) << bad.out;
  EXPECT_NE(bad.out.find("\nSzczegóły: "), std::string::npos) << bad.out;
  EXPECT_LT(bad.out.find("XML (wiersz"), bad.out.find("Szczegóły")) << bad.out;
  Result missing = RunProgram("--db " + db + " xml " + folder + "/missing.xml");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out.rfind("vantor: nie można odczytać pliku definicji " + folder + "/missing.xml\nSzczegóły: ", 0), 0u)
      << missing.out;
  EXPECT_EQ(RunProgram("--db " + db + " xml").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " xml " + def + " bezznaku").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " xml " + def + " --log").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " log --log " + log).status, 2);  // --log is xml's own option
  WriteFile(broken, "<inny/>");
  Result empty = RunProgram("--db " + db + " xml " + broken);
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("def:schema"), std::string::npos) << empty.out;
  for (const std::string& path : {def, log, broken}) std::remove(path.c_str());
}

TEST_F(Program, PreviewWritesTheHtmlOfARecord) {
  EXPECT_EQ(RunProgram("--db " + db + " preview 1 1").status, 1);  // reading never creates the database
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  Result user = RunProgram("--db " + db + " preview 1 1");
  EXPECT_EQ(user.status, 0) << user.out;
  EXPECT_NE(user.out.find("<h1>Użytkownik Szef</h1>"), std::string::npos) << user.out;
  const std::string html = folder + "/podglad.html";
  Result file = RunProgram("--db " + db + " preview 1 1 " + html);
  EXPECT_EQ(file.status, 0) << file.out;
  EXPECT_EQ(file.out, "");
  EXPECT_NE(ReadFile(html).find("<h1>Użytkownik Szef</h1>"), std::string::npos);
  std::remove(html.c_str());
  Result missing = RunProgram("--db " + db + " preview 2 99");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("jest pusty"), std::string::npos) << missing.out;
  EXPECT_EQ(RunProgram("--db " + db + " preview 1").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " preview x 1").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " preview 1 1 a.html b").status, 2);
}

}  // namespace

namespace {

TEST_F(Program, ListsTheDialogsAndRendersOneAsPng) {
  Result list = RunProgram("--db " + db + " dialog");
  EXPECT_EQ(list.status, 0) << list.out;
  for (const char* name : {"IDD_ONE_FIELD_DLG", "IDD_ONE_BIG_FIELD_DLG", "IDD_STD_PLEASE_WAIT"})
    EXPECT_NE(list.out.find(name), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("251 x 65"), std::string::npos) << list.out;
  const std::string png = folder + "/okno.png";
  Result rendered = RunProgram("--db " + db + " dialog IDD_ONE_FIELD_DLG " + png);
  EXPECT_EQ(rendered.status, 0) << rendered.out;
  FILE* f = std::fopen(png.c_str(), "rb");
  ASSERT_TRUE(f) << rendered.out;
  unsigned char magic[8] = {0};
  EXPECT_EQ(std::fread(magic, 1, 8, f), 8u);
  std::fclose(f);
  std::remove(png.c_str());
  EXPECT_EQ(magic[1], 'P');
  EXPECT_EQ(magic[2], 'N');
  Result unknown = RunProgram("--db " + db + " dialog IDD_NO_SUCH " + png);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("IDD_NO_SUCH"), std::string::npos);
  EXPECT_EQ(std::fopen(png.c_str(), "rb"), nullptr);
  EXPECT_EQ(RunProgram("--db " + db + " dialog IDD_ONE_FIELD_DLG").status, 2);
  Result unwritable = RunProgram("--db " + db + " dialog IDD_STD_PLEASE_WAIT /nonexistent-folder/x.png");
  EXPECT_EQ(unwritable.status, 1);
}

// The seller-zone test service as run.sh starts it: a program of its own over HTTPS.
class ZoneService {
 public:
  ZoneService(const testing_net::Certificates& certificates, const std::string& accountsFile,
              const std::string& state = "") {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      if (state.empty())
        execl(ZONE_SERVICE_PROGRAM, ZONE_SERVICE_PROGRAM, "--https", "--cert", certificates.Good().cert.c_str(),
              "--key", certificates.Good().key.c_str(), "--accounts-file", accountsFile.c_str(),
              static_cast<char*>(nullptr));
      else
        execl(ZONE_SERVICE_PROGRAM, ZONE_SERVICE_PROGRAM, "--https", "--cert", certificates.Good().cert.c_str(),
              "--key", certificates.Good().key.c_str(), "--accounts-file", accountsFile.c_str(), "--state",
              state.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    const size_t colon = line.rfind(':');
    if (colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
  }
  ~ZoneService() { Stop(); }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  int Port() const { return port_; }
  void Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

TEST_F(Program, ZoneConfigReadsAndWritesTheDemoAccountsPageSettings) {
  testing_net::Certificates certificates;
  const std::string accounts = certificates.Dir() + "/accounts";
  WriteFile(accounts, "7000001 1 VANTOR-DEMO\n");
  ZoneService service(certificates, accounts);
  ASSERT_GT(service.Port(), 0);
  const std::string zone = "--db " + db + " --ca " + certificates.CaFile() + " zone config";

  Result read = RunProgram(zone + " --host 127.0.0.1:" + std::to_string(service.Port()));
  ASSERT_EQ(read.status, 0) << read.out;
  EXPECT_NE(read.out.find("Ustawienia strony w Strefie Vantor (konto kd_demo, nr 1):"), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("  StatusesServiceActive    tak\n"), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("  ShowDocumentAddressForm  tak\n"), std::string::npos);
  EXPECT_NE(read.out.find("  ShowDeliveryAddressForm  tak\n"), std::string::npos);
  EXPECT_NE(read.out.find("  Description              \n"), std::string::npos);
  EXPECT_NE(read.out.find("  WWW                      \n"), std::string::npos);

  // The host stays in the settings; the account is made once.
  Result written = RunProgram(zone + " --description 'Sklep O'\\''Briena, Łódź' --www http://sklep.example/");
  ASSERT_EQ(written.status, 0) << written.out;
  EXPECT_NE(written.out.find("  Description              Sklep O'Briena, Łódź\n"), std::string::npos) << written.out;
  EXPECT_NE(written.out.find("  WWW                      http://sklep.example/\n"), std::string::npos);
  EXPECT_NE(written.out.find("(konto kd_demo, nr 1)"), std::string::npos);
  Result again = RunProgram(zone);
  EXPECT_NE(again.out.find("Sklep O'Briena, Łódź"), std::string::npos) << again.out;

  service.Stop();
  Result stopped = RunProgram(zone);
  EXPECT_EQ(stopped.status, 1) << stopped.out;
  EXPECT_NE(stopped.out.find("(błąd 0x80044518)\nSzczegóły: Błąd połączenia HTTP ze Strefą Vantor.\n"), std::string::npos)
      << stopped.out;

  EXPECT_EQ(RunProgram("--db " + db + " zone").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " zone sync --www http://x.example/").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " zone config --colour red").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " --ca /nonexistent/ca.pem zone config").status, 2);
}

// The account commands: the list, adding through the reference connector, the questions and
// their switches, and the account's seller-zone settings through the settings dialog.
TEST_F(Program, AccountsAreListedAddedDeactivatedAndDeleted) {
  Result added = RunProgram("--db " + db + " account add 1 --login jan --password tajne --site 1:Pierwsza");
  ASSERT_EQ(added.status, 0) << added.out;
  EXPECT_NE(added.out.find("Dodano konto 1.\n"), std::string::npos) << added.out;
  Result list = RunProgram("--db " + db + " accounts");
  ASSERT_EQ(list.status, 0) << list.out;
  EXPECT_NE(list.out.find("  1\tjan\tSerwis wzorcowy\ttak\ttak\t"), std::string::npos) << list.out;
  Result cancelled = RunProgram("--db " + db + " account add 1 --cancel");
  EXPECT_EQ(cancelled.status, 1);
  EXPECT_NE(cancelled.out.find("Nie dodano konta."), std::string::npos) << cancelled.out;
  Result deactivated = RunProgram("--db " + db + " account deactivate 1 --yes");
  ASSERT_EQ(deactivated.status, 0) << deactivated.out;
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("  1\tjan\tSerwis wzorcowy\tnie\t"), std::string::npos);
  Result kept = RunProgram("--db " + db + " account delete 1 --no");
  EXPECT_EQ(kept.status, 0);
  EXPECT_NE(kept.out.find("Bez zmian."), std::string::npos) << kept.out;
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("Konta (1):"), std::string::npos);
  // An account that an auction names is kept, with everything it has.
  RunSql(db, {L"INSERT INTO au__Auction (au_Id, au_RegId, au_Title) VALUES (1, 1, N'Kubek')"});
  Result named = RunProgram("--db " + db + " account delete 1 --yes");
  EXPECT_EQ(named.status, 1) << named.out;
  EXPECT_NE(named.out.find("vantor: nie usunięto konta 1 (błąd 0x80040F1C)\nSzczegóły: Naruszenie integralności "
                           "danych: obiekt jest używany przez inne dane"),
            std::string::npos)
      << named.out;
  EXPECT_NE(named.out.find("Konto 1 ma w bazie danych aukcje (także szablony): 1, transakcje: 0"), std::string::npos)
      << named.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM reg_Site WHERE rs_RegId = 1"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_Right >= 65536 AND ur_Right < 131072"), 3);
  RunSql(db, {L"DELETE FROM au__Auction"});
  // Without records it goes, with its rights.
  ASSERT_EQ(RunProgram("--db " + db + " account delete 1 --yes").status, 0);
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("Konta (0):"), std::string::npos);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_Right >= 65536 AND ur_Right < 131072"), 0);
  // A login longer than its column is refused by the connector's dialog: nothing is stored.
  Result tooLong = RunProgram("--db " + db + " account add 1 --login " + std::string(150, 'x') +
                              " --password tajne --site 1:Pierwsza");
  EXPECT_EQ(tooLong.status, 1) << tooLong.out;
  EXPECT_NE(tooLong.out.find("Konto nie zostało zapisane: Login ma 150 znaków, a pole reg_Username mieści 100.\n"),
            std::string::npos)
      << tooLong.out;
  EXPECT_NE(tooLong.out.find("Nie dodano konta."), std::string::npos) << tooLong.out;
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("Konta (0):"), std::string::npos);
  // Bad words.
  EXPECT_EQ(RunProgram("--db " + db + " account delete 99 --yes").status, 1);
  EXPECT_EQ(RunProgram("--db " + db + " account add x").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " account activate 1 --yes --no").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " account add 1 --site Pierwsza").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " accounts 1").status, 2);
  Result unknownProvider = RunProgram("--db " + db + " account add 9");
  EXPECT_EQ(unknownProvider.status, 1);
  EXPECT_NE(unknownProvider.out.find("dostawca 9"), std::string::npos) << unknownProvider.out;
}

TEST_F(Program, AccountZoneReadsTheServersSettingsAndWritesThemThroughTheSettingsDialog) {
  testing_net::Certificates certificates;
  const std::string accounts = certificates.Dir() + "/accounts";
  WriteFile(accounts, "7000001 1 VANTOR-DEMO\n");
  ZoneService service(certificates, accounts);
  ASSERT_GT(service.Port(), 0);
  const std::string ca = "--db " + db + " --ca " + certificates.CaFile();
  ASSERT_EQ(RunProgram(ca + " zone config --host 127.0.0.1:" + std::to_string(service.Port())).status, 0);
  Result shown = RunProgram(ca + " account zone 1");
  ASSERT_EQ(shown.status, 0) << shown.out;
  EXPECT_NE(shown.out.find("Strefa Vantor konta 1:\n  active: tak\n"), std::string::npos) << shown.out;
  Result refused = RunProgram(ca + " account zone 1 --set www=sklep.example");
  EXPECT_EQ(refused.status, 1) << refused.out;
  Result written = RunProgram(ca + " account zone 1 --set description=Nowa --set www=https://nowa.example/");
  ASSERT_EQ(written.status, 0) << written.out;
  EXPECT_NE(written.out.find("Zapisano ustawienia."), std::string::npos) << written.out;
  Result server = RunProgram(ca + " zone config");
  EXPECT_NE(server.out.find("  Description              Nowa\n"), std::string::npos) << server.out;
  EXPECT_NE(server.out.find("  WWW                      https://nowa.example/\n"), std::string::npos) << server.out;
  Result account = RunProgram("--db " + db + " account 1");
  EXPECT_NE(account.out.find("  wizytówka: Nowa\n"), std::string::npos) << account.out;
  EXPECT_EQ(RunProgram(ca + " account zone 9").status, 1);
  EXPECT_EQ(RunProgram(ca + " account zone 1 --set colour=red").status, 2);
}

// The printing and digest commands work on files beside a database of their own folder (printed
// jobs are spooled beside the database).
class ProgramFiles : public Program {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), made);  // a shared database's
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  static std::string ReadFile(const std::string& path) {
    std::string out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      char chunk[65536];
      for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, f)) > 0;) out.append(chunk, got);
      std::fclose(f);
    }
    return out;
  }
};

// The first column of the first row, read from the database file in this process (empty
// without a row).
_variant_t QueryValue(const std::string& db, const wchar_t* sql) {
  _variant_t value;
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    _RecordsetPtr rs = h.Connection()->Execute(_bstr_t(sql), nullptr, adCmdText);
    if (!rs->GetadoEOF()) value = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  }
  CoUninitialize();
  return value;
}
LONG QueryLong(const std::string& db, const wchar_t* sql) {
  const _variant_t value = QueryValue(db, sql);
  return value.vt == VT_EMPTY || value.vt == VT_NULL ? -1 : static_cast<LONG>(value);
}

// Whether the database is sound after a program was killed: the SQLite file's own check (the
// server keeps a PostgreSQL database whole).
void ExpectSoundDatabase(const std::string& db) {
  if (testdb::OnPostgres()) return;
  EXPECT_EQ(std::wstring(_bstr_t(QueryValue(db, L"PRAGMA integrity_check"))), L"ok");
}

// The rows of the tables a receive fills: auctions, their images, buyers, purchases, comments.
std::vector<LONG> ReceivedRows(const std::string& db) {
  std::vector<LONG> rows;
  for (const wchar_t* sql : {L"SELECT COUNT(*) FROM au__Auction", L"SELECT COUNT(*) FROM au_Image",
                             L"SELECT COUNT(*) FROM kd_Image", L"SELECT COUNT(*) FROM cs__Customer",
                             L"SELECT COUNT(*) FROM tr__Transaction", L"SELECT COUNT(*) FROM tr_Comment"})
    rows.push_back(QueryLong(db, sql));
  return rows;
}

// The synchronisation lock that a run killed midway leaves refuses the next run of `command`
// (which tells who holds it and exits 0) until unlock takes the lock `lock` away.
void ExpectRefusedUntilUnlocked(const std::string& db, const std::string& command, int lock) {
  Result refused = RunProgram("--db " + db + " " + command);
  EXPECT_EQ(refused.status, 0) << refused.out;
  EXPECT_NE(refused.out.find("Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej."),
            std::string::npos)
      << refused.out;
  Result unlocked = RunProgram("--db " + db + " unlock");
  EXPECT_NE(unlocked.out.find("Usunięto blokadę synchronizacji nr " + std::to_string(lock)), std::string::npos)
      << unlocked.out;
}

class ProgramReceive : public ProgramFiles {
 protected:
  void SetUp() override {
    ProgramFiles::SetUp();
    Result added = RunProgram("--db " + db + " account add 1 --login sprzedawca --password demo --site 1:Wzorcowo");
    ASSERT_EQ(added.status, 0) << added.out;
  }
};

TEST_F(ProgramReceive, StoresTheReferenceSitesDataAndASecondReceiveChangesNoCount) {
  Result received = RunProgram("--db " + db + " receive");
  EXPECT_EQ(received.status, 0) << received.out;
  for (const char* line : {"Pobieranie danych z konta sprzedawca na Wzorcowo", "== Odebrano aukcji: 6",
                           "== Odebrano transakcji: 4", "== Pobrano klientów: 3", "== Odebrano komentarzy: 3"})
    EXPECT_NE(received.out.find(line), std::string::npos) << line << "\n" << received.out;
  EXPECT_EQ(received.out.find("błęd"), std::string::npos) << received.out;
  // Six auctions (five images, three distinct), three buyers, four purchases, three commented.
  const std::vector<LONG> rows = ReceivedRows(db);
  EXPECT_EQ(rows, (std::vector<LONG>{6, 5, 3, 3, 4, 3}));
  Result report = RunProgram("--db " + db);
  for (const char* line : {"au__Auction: 6", "cs__Customer: 3", "tr__Transaction: 4"})
    EXPECT_NE(report.out.find(line), std::string::npos) << line << "\n" << report.out;
  Result again = RunProgram("--db " + db + " receive");
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(ReceivedRows(db), rows);
}

TEST_F(ProgramReceive, AReceiveKilledMidwayLeavesASoundDatabaseAndItsLockAndARerunStoresEachRecordOnce) {
  // The reference site ends the program after its sixth record: two purchases with their buyers
  // and auctions are through.
  std::string data = ReadFile(VANTOR_REFERENCE_SITE_DATA);
  ASSERT_EQ(data.rfind("{", 0), 0u);
  WriteFile(site, "{\"kill_after\": 6," + data.substr(1));
  Result killed = RunProgram("--db " + db + " receive");
  EXPECT_EQ(killed.status, 128 + SIGKILL) << killed.out;  // as the shell tells a killed program
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction"), 2);
  // Nothing is half stored: every purchase has its position, every buyer the address.
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction WHERE NOT EXISTS (SELECT 1 FROM tr_Position WHERE "
                          L"tp_TransId = tr_Id)"),
            0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM cs__Customer WHERE cs_Street IS NULL OR cs_City IS NULL"), 0);
  ExpectSoundDatabase(db);

  ExpectRefusedUntilUnlocked(db, "receive", 11);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction"), 2);

  WriteFile(site, data);
  Result rerun = RunProgram("--db " + db + " receive");
  EXPECT_EQ(rerun.status, 0) << rerun.out;
  EXPECT_NE(rerun.out.find("== Odebrano transakcji: 2"), std::string::npos) << rerun.out;
  EXPECT_EQ(ReceivedRows(db), (std::vector<LONG>{6, 5, 3, 3, 4, 3}));
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

// A prepared auction of the account and a comment to give to a buyer of the reference site.
void PrepareSends(const std::string& db, std::initializer_list<LONG> auctions) {
  for (LONG id : auctions) {
    const std::wstring sql =
        L"INSERT INTO au__Auction (au_Id, au_Title, au_RegId, au_RegSiteId, au_SiteId, au_SvcProvId, au_State, "
        L"au_Quantity, au_StartPrice, au_Duration) SELECT " + std::to_wstring(id) + L", N'Kubek nr " +
        std::to_wstring(id) + L"', rs_RegId, rs_Id, rs_SiteId, 1, 1, 2, 15, 7 FROM reg_Site";
    RunSql(db, {sql.c_str()});
  }
  RunSql(db, {L"UPDATE tr_Comment SET tc_SentComment = N'Dziękuję za zakupy', tc_SentScore = 1 WHERE tc_TransId IN "
              L"(SELECT tr_Id FROM tr__Transaction INNER JOIN cs__Customer ON cs_Id = tr_CustomerId WHERE "
              L"cs_ExtServiceId = 8100003)"});
}

TEST_F(ProgramReceive, WhatIsSentComesBackWithTheNextReceiveOnItsRows) {
  ASSERT_EQ(RunProgram("--db " + db + " receive").status, 0);
  PrepareSends(db, {9001});
  const LONG auctions = QueryLong(db, L"SELECT COUNT(*) FROM au__Auction");
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.status, 0) << sent.out;
  for (const char* line : {"Wysyłanie danych na konto sprzedawca na Wzorcowo", "Wysłano aukcji: 1", "Wysłano komentarzy: 1"})
    EXPECT_NE(sent.out.find(line), std::string::npos) << line << "\n" << sent.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id = 9001 AND au_State = 3 AND au_Number = '7100007'"), 1);
  Result again = RunProgram("--db " + db + " send");
  EXPECT_EQ(again.out.find("Wysłano"), std::string::npos) << again.out;

  Result received = RunProgram("--db " + db + " receive");
  EXPECT_EQ(received.status, 0) << received.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction"), auctions);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id = 9001 AND au_State = 3 AND au_Number = '7100007'"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr_Comment WHERE tc_SentExternalId = 9200006"), 1);
}

TEST_F(ProgramReceive, ASendKilledMidwayLeavesEveryRecordWrittenBackWholeOrStillPrepared) {
  ASSERT_EQ(RunProgram("--db " + db + " receive").status, 0);
  PrepareSends(db, {9001, 9002, 9003});
  // The reference site ends the program when the second auction reached it, before it is saved.
  const std::string data = ReadFile(site);
  ASSERT_EQ(data.rfind("{", 0), 0u);
  WriteFile(site, "{\"kill_after_sends\": 2," + data.substr(1));
  Result killed = RunProgram("--db " + db + " send");
  EXPECT_EQ(killed.status, 128 + SIGKILL) << killed.out;
  ExpectSoundDatabase(db);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id = 9001 AND au_State = 3 AND au_Number IS NOT NULL"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id IN (9002, 9003) AND au_State = 1 AND au_Number IS NULL"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);

  WriteFile(site, data);
  ExpectRefusedUntilUnlocked(db, "send", 12);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 2);
  Result rerun = RunProgram("--db " + db + " send");
  EXPECT_EQ(rerun.status, 0) << rerun.out;
  EXPECT_NE(rerun.out.find("Wysłano aukcji: 2"), std::string::npos) << rerun.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 0);
}

// Two workstations send at once: the second is told that the first is sending and sends nothing,
// so the site holds each record once and no site number is given twice.
TEST_F(ProgramReceive, TwoSendsAtOnceNeverSendARecordTwice) {
  ASSERT_EQ(RunProgram("--db " + db + " receive").status, 0);
  PrepareSends(db, {9001, 9002});
  const std::string data = ReadFile(site);
  ASSERT_EQ(data.rfind("{", 0), 0u);
  // The first stops as its first listing reached the site, before it is written back.
  WriteFile(site, "{\"stop_after_sends\": 1," + data.substr(1));
  RunningProgram first("--db " + db + " send");
  ASSERT_TRUE(first.WaitStopped());
  // The second reads what the first listed (so does not stop).
  std::string listed = ReadFile(site);
  const size_t knob = listed.find("\"stop_after_sends\": 1");
  ASSERT_NE(knob, std::string::npos);
  listed.replace(knob, std::string("\"stop_after_sends\": 1").size(), "\"stop_after_sends\": 0");
  WriteFile(site, listed);
  Result second = RunProgram("--db " + db + " send");
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_NE(second.out.find("== Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej."),
            std::string::npos)
      << second.out;
  EXPECT_EQ(second.out.find("Wysłano"), std::string::npos) << second.out;
  first.Signal(SIGCONT);
  Result done = first.Finish();
  EXPECT_EQ(done.status, 0) << done.out;
  for (const char* line : {"Wysłano aukcji: 2", "Wysłano komentarzy: 1"})
    EXPECT_NE(done.out.find(line), std::string::npos) << line << "\n" << done.out;

  const nlohmann::json siteData = nlohmann::json::parse(ReadFile(site));
  std::map<std::string, int> titles, numbers;
  for (const nlohmann::json& sent : siteData["auctions_sent"]) {
    ++titles[sent["title"].get<std::string>()];
    ++numbers[sent["number"].get<std::string>()];
  }
  EXPECT_EQ(titles, (std::map<std::string, int>{{"Kubek nr 9001", 1}, {"Kubek nr 9002", 1}}));
  EXPECT_EQ(numbers.size(), 2u);
  EXPECT_EQ(siteData["comment_sent"].size(), 1u);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id IN (9001, 9002) AND au_State = 3"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM (SELECT au_Number FROM au__Auction WHERE au_Number IS NOT NULL "
                          L"GROUP BY au_Number HAVING COUNT(*) > 1) AS twice"),
            0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

TEST_F(ProgramFiles, PrintSpoolsThePageAndNamesTheJob) {
  const std::string page = Write("strona.html", "<html><body><h1>Zamówienie 17</h1></body></html>");
  Result printed = RunProgram("--db " + db + " print " + page);
  ASSERT_EQ(printed.status, 0) << printed.out;
  const size_t at = printed.out.find(spool + "/job-");
  ASSERT_NE(at, std::string::npos) << printed.out;
  const std::string job = printed.out.substr(at, printed.out.find('\n', at) - at);
  FILE* f = std::fopen(job.c_str(), "rb");
  ASSERT_TRUE(f) << job;
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  EXPECT_EQ(text.rfind("header:  \nfooter: Vantor, Kordel \n\n", 0), 0u) << text;
  EXPECT_NE(text.find("<h1>Zamówienie 17</h1>"), std::string::npos) << text;

  Result missing = RunProgram("--db " + db + " print " + folder + "/nie-ma.html");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("nie można odczytać pliku"), std::string::npos) << missing.out;
  // A page over the 64 MB bound is too large, not unreadable.
  const std::string huge = folder + "/ogromna.html";
  {
    std::ofstream page(huge, std::ios::binary);
    page << "<html><body>";
    page.seekp((65 << 20) - 1);
    page.put(' ');
  }
  Result large = RunProgram("--db " + db + " print " + huge);
  EXPECT_EQ(large.status, 2);
  EXPECT_NE(large.out.find("jest za duża do wydruku"), std::string::npos) << large.out;
  std::remove(huge.c_str());
  EXPECT_EQ(RunProgram("--db " + db + " print").status, 2);
}

TEST_F(ProgramFiles, Md5PrintsTheDigestAsMd5sumDoes) {
  const std::string file = Write("dane.bin", "The quick brown fox jumps over the lazy dog");
  Result digest = RunProgram("--db " + db + " md5 " + file);
  EXPECT_EQ(digest.status, 0);
  EXPECT_EQ(digest.out, "9e107d9d372bb6826bd81d3542a419d6  " + file + "\n");
  Result missing = RunProgram("--db " + db + " md5 " + folder + "/nie-ma");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("nie można odczytać pliku"), std::string::npos) << missing.out;
}

TEST_F(ProgramFiles, ThumbnailAndFitImageWorkOnPictureFiles) {
  const std::string photo = Write("zdjecie.jpg", testpictures::Photo("JPEG", 1600, 1200));
  Result thumb = RunProgram("--db " + db + " thumbnail " + photo + " " + folder + "/miniatura.png");
  ASSERT_EQ(thumb.status, 0) << thumb.out;
  EXPECT_NE(thumb.out.find("135 x 101 w polu 150 x 150"), std::string::npos) << thumb.out;   // the parameters' box
  const auto cell = testpictures::Inspect(ReadFile(folder + "/miniatura.png"));
  EXPECT_EQ(cell.width, 150u);
  EXPECT_EQ(cell.height, 150u);
  const std::string fake = Write("rysunek.jpg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
  EXPECT_EQ(RunProgram("--db " + db + " thumbnail " + fake + " " + folder + "/m2.png").status, 1);

  Result fitted = RunProgram("--db " + db + " fit-image " + photo + " 100000 " + folder + "/maly.jpg --max-side 1000 --exact");
  ASSERT_EQ(fitted.status, 0) << fitted.out;
  const std::string small = ReadFile(folder + "/maly.jpg");
  EXPECT_LE(small.size(), 100000u);
  const auto d = testpictures::Inspect(small);
  EXPECT_EQ(d.format, "JPEG");
  EXPECT_EQ(d.width, 1000u);
  EXPECT_EQ(d.height, 750u);
  Result tiny = RunProgram("--db " + db + " fit-image " + photo + " 100 " + folder + "/x.jpg");
  EXPECT_EQ(tiny.status, 1);
  EXPECT_NE(tiny.out.find("najniższej jakości"), std::string::npos) << tiny.out;
  EXPECT_EQ(RunProgram("--db " + db + " fit-image " + fake + " 10 " + folder + "/x.jpg").status, 1);
  // What is not a picture is refused by its first bytes, under the limit too and unread when it
  // never ends; a file over the decoder's bound is refused by its size.
  const std::string text = Write("notatka.txt", "zwykły tekst, nie obraz");
  for (const std::string& file : {fake, text, std::string("/dev/zero")}) {
    Result refused = RunProgram("--db " + db + " fit-image " + file + " 100000 " + folder + "/x.jpg");
    EXPECT_EQ(refused.status, 1) << file;
    EXPECT_NE(refused.out.find("nie jest obrazem"), std::string::npos) << refused.out;
    EXPECT_FALSE(Exists(folder + "/x.jpg")) << file;
  }
  const std::string huge = folder + "/ogromny.jpg";
  {
    std::ofstream big(huge, std::ios::binary);
    big.write("\xFF\xD8\xFF", 3);
    big.seekp((300 << 20) - 1);
    big.put('\0');
  }
  Result large = RunProgram("--db " + db + " fit-image " + huge + " 100000 " + folder + "/x.jpg");
  EXPECT_EQ(large.status, 1);
  EXPECT_NE(large.out.find("jest za duży na obraz"), std::string::npos) << large.out;
  std::remove(huge.c_str());
  // A JPEG cut short decodes (what arrived of it) and is fitted as any picture.
  const std::string whole = testpictures::Photo("JPEG", 800, 600);
  const std::string cut = Write("uciety.jpg", whole.substr(0, whole.size() * 2 / 3));
  Result truncated = RunProgram("--db " + db + " fit-image " + cut + " 20000 " + folder + "/uciety-maly.jpg");
  EXPECT_EQ(truncated.status, 0) << truncated.out;
  EXPECT_LE(ReadFile(folder + "/uciety-maly.jpg").size(), 20000u);
  EXPECT_EQ(RunProgram("--db " + db + " fit-image " + photo + " 0 " + folder + "/x.jpg").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " fit-image " + photo + " 1000 " + folder + "/x.jpg --max-side -3").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " fit-image " + photo + " 1000").status, 2);
}

TEST_F(ProgramFiles, TheBrowserPrintingAndAddressDialogsRender) {
  Result list = RunProgram("--db " + db + " dialog");
  for (const char* name : {"IDD_HTML_INNER_BROWSER", "IDD_DRUK_DLG", "#1003"})
    EXPECT_NE(list.out.find(name), std::string::npos) << list.out;
  for (const char* name : {"IDD_HTML_INNER_BROWSER", "IDD_DRUK_DLG", "'#1003'"}) {
    Result rendered = RunProgram("--db " + db + " dialog " + name + " " + folder + "/okno.png");
    EXPECT_EQ(rendered.status, 0) << name << rendered.out;
    EXPECT_TRUE(Exists(folder + "/okno.png")) << name;
    std::remove((folder + "/okno.png").c_str());
  }
}

TEST_F(ProgramFiles, ThePictureListPreviewAndStatePicturesRender) {
  Result list = RunProgram("--db " + db + " dialog");
  for (const char* name : {"CImageListCtrl", "IDD_BMP_VIEW", "CStatePicture"}) {
    EXPECT_NE(list.out.find(name), std::string::npos) << list.out;
    const std::string png = folder + "/okno.png";
    Result rendered = RunProgram("--db " + db + " dialog " + name + " " + png);
    EXPECT_EQ(rendered.status, 0) << name << rendered.out;
    EXPECT_TRUE(Exists(png)) << name;
    std::remove(png.c_str());
  }
  // The preview is sized to its picture (640 x 400 in its frame).
  Result preview = RunProgram("--db " + db + " dialog IDD_BMP_VIEW " + folder + "/okno.png");
  EXPECT_NE(preview.out.find("(646 x 425 pikseli)"), std::string::npos) << preview.out;
}

// The demonstration's seller-zone synchronisation as run.sh runs it: the first run closes and
// opens pages and sends their data, the next one has nothing to do; once buyers entered data on
// the service (kept in its state between runs), the next run brings it into the transactions.
TEST_F(Program, ZoneSyncClosesOpensAndFillsTheDemoAccountsPagesOnceAndReceivesWhatBuyersEntered) {
  testing_net::Certificates certificates;
  const std::string state = certificates.Dir() + "/zone-state";
  auto service = std::make_unique<ZoneService>(certificates, ZONE_DEMO_ACCOUNTS, state);
  ASSERT_GT(service->Port(), 0);
  const std::string zone = "--db " + db + " --ca " + certificates.CaFile() + " zone sync";
  Result first = RunProgram(zone + " --host 127.0.0.1:" + std::to_string(service->Port()));
  ASSERT_EQ(first.status, 0) << first.out;
  for (const char* line :
       {"Konto demonstracyjne dostało przykładowe transakcje.\n", "Rozpoczęto zamykanie stron\n",
        "Konto: kd_demo na Serwis demonstracyjny\n", "Próba zamknięcia strony już nieistniejącej:\r\n",
        "Zamknięto stron dla transakcji usuniętych: 2 z 2\n", "Zamknięto stron nieużywanych: 1 z 1\n",
        "Zamknięto starych stron: 1 z 1\n", "Utworzono nowych stron: 4 z 4\n", "Odebrano niepotwierdzonych danych: 0\n",
        "== Zamknięto stron: 3\n", "== Otworzono nowych stron: 4\n", "Uaktualniono stron: 4 z 4\n",
        "Nie wprowadzono żadnych zmian na stronach statusów od ostatniej synchronizacji\n",
        "Synchronizacja ze Strefą Vantor zakończona.\n"})
    EXPECT_NE(first.out.find(line), std::string::npos) << line << "\n" << first.out;
  EXPECT_EQ(first.out.find("nie powiodło się"), std::string::npos) << first.out;

  Result second = RunProgram(zone);
  ASSERT_EQ(second.status, 0) << second.out;
  for (const char* line : {"Nie ma stron do zamknięcia dla transakcji usuniętych\n", "Nie ma stron nieużywanych do zamknięcia\n",
                           "Nie ma starych stron do zamknięcia\n", "Nie ma nowych stron do otwarcia\n"})
    EXPECT_NE(second.out.find(line), std::string::npos) << line << "\n" << second.out;
  EXPECT_EQ(second.out.find("przykładowe"), std::string::npos);
  EXPECT_EQ(second.out.find("Zamykanie strony"), std::string::npos);
  EXPECT_NE(second.out.find("Nie ma danych do uaktualnienia\n"), std::string::npos) << second.out;

  // Buyers enter their data between two runs of the service.
  service.reset();
  Result entered = RunCommand(std::string(ZONE_SERVICE_PROGRAM) + " --state " + state + " --enter-buyer-data 7000001");
  ASSERT_EQ(entered.status, 0) << entered.out;
  service = std::make_unique<ZoneService>(certificates, ZONE_DEMO_ACCOUNTS, state);
  ASSERT_GT(service->Port(), 0);
  Result third = RunProgram(zone + " --host 127.0.0.1:" + std::to_string(service->Port()));
  ASSERT_EQ(third.status, 0) << third.out;
  EXPECT_NE(third.out.find("Zaktualizowano 4 z 4 transakcji\n"), std::string::npos) << third.out;
  EXPECT_EQ(third.out.find("nie powiodło się"), std::string::npos) << third.out;
}

// Ctrl+C during a run, and a run whose every call fails: both end with exit 1 (the cancel said as
// such, the failure in the jobs' logs), never with the run's success.
TEST_F(Program, ZoneSyncCancelledOrWithEveryCallFailedExits1) {
  testing_net::Certificates certificates;
  auto service = std::make_unique<ZoneService>(certificates, ZONE_DEMO_ACCOUNTS);
  ASSERT_GT(service->Port(), 0);
  const std::string zone = "--db " + db + " --ca " + certificates.CaFile() + " zone sync";
  // The service stops answering; the user presses Ctrl+C while the first job waits for it.
  service->Signal(SIGSTOP);
  RunningProgram running(zone + " --host 127.0.0.1:" + std::to_string(service->Port()));
  ASSERT_TRUE(running.WaitFor("Konto: kd_demo na Serwis demonstracyjny\n"));
  running.Signal(SIGINT);
  service->Signal(SIGCONT);
  Result cancelled = running.Finish();
  EXPECT_EQ(cancelled.status, 1) << cancelled.out;
  EXPECT_NE(cancelled.out.find("Użytkownik przerwał działanie operacji"), std::string::npos) << cancelled.out;
  EXPECT_NE(cancelled.out.find("vantor: synchronizację ze Strefą Vantor przerwano\n"), std::string::npos)
      << cancelled.out;
  EXPECT_EQ(cancelled.out.find("Synchronizacja ze Strefą Vantor zakończona."), std::string::npos) << cancelled.out;

  // The service is gone: every call fails.
  service.reset();
  Result failed = RunProgram(zone);
  EXPECT_EQ(failed.status, 1) << failed.out;
  EXPECT_NE(failed.out.find("== otwieranie nowych stron zakończone błędem"), std::string::npos) << failed.out;
  EXPECT_NE(failed.out.find("vantor: co najmniej jedno zadanie zakończyło się błędem"), std::string::npos)
      << failed.out;
}

}  // namespace

// The reference site (row 10, number 1) with the reference site's shop account 5 on it.
void AddReferenceShop(const std::string& db) {
  RunSql(db, {
      L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (10, 1, 1, N'Wzorcowo')",
      L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey, reg_Active, reg_HasShop) "
      L"VALUES (5, 1, 'sklep_wzorcowy', 'ak1:2E3B33', 1, 1)",
      L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 5, 10)",
  });
}

TEST_F(ProgramFiles, ParamsChecksAndUpdatesTheReferenceSiteByItsVersions) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  AddReferenceShop(db);
  // The check marks the site: it has no versions yet.
  Result checked = RunProgram("--db " + db + " params --check");
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_NE(checked.out.find("Sprawdzenie wersji parametrów na serwisie Wzorcowo"), std::string::npos) << checked.out;
  EXPECT_TRUE(Exists(site));
  // The update stores the site's parameters and the shop's categories.
  Result updated = RunProgram("--db " + db + " params");
  EXPECT_EQ(updated.status, 0) << updated.out;
  for (const char* line : {"Aktualizacja parametrów z serwisu Wzorcowo", "Wzorcowo - pobieranie kategorii",
                           "Wzorcowo - zakończono pobieranie i aktualizowanie atrybutów",
                           "Zakończono aktualizację parametrów."})
    EXPECT_NE(updated.out.find(line), std::string::npos) << line << "\n" << updated.out;
  EXPECT_EQ(updated.out.find("Ostatnia operacja nie powiodła się"), std::string::npos) << updated.out;
  Result tree = RunProgram("--db " + db + " site 10 6");
  EXPECT_NE(tree.out.find("Dom i ogród"), std::string::npos) << tree.out;
  Result shop = RunProgram("--db " + db + " site 10 12 9002 5");
  EXPECT_NE(shop.out.find("Wyprzedaż zimowa"), std::string::npos) << shop.out;
  // Current now: the next update takes the shop only.
  Result again = RunProgram("--db " + db + " params");
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(again.out.find("Aktualizacja parametrów z serwisu"), std::string::npos) << again.out;
  // One version changed in the working copy: the check marks the site, the update fetches that kind.
  std::string data = ReadFile(site);
  const std::string form = "\"form\": \"formularz-2026.12\"";
  ASSERT_NE(data.find(form), std::string::npos);
  data.replace(data.find(form), form.size(), "\"form\": \"formularz-2027.01\"");
  WriteFile(site, data);
  ASSERT_EQ(RunProgram("--db " + db + " params --check --force").status, 0);
  Result changed = RunProgram("--db " + db + " params");
  EXPECT_NE(changed.out.find("Wzorcowo - pobieranie i aktualizowanie słowników formularza"), std::string::npos)
      << changed.out;
  EXPECT_EQ(changed.out.find("Wzorcowo - pobieranie kategorii"), std::string::npos) << changed.out;
  EXPECT_EQ(changed.out.find("Wzorcowo - pobieranie atrybutów"), std::string::npos) << changed.out;
}

// A value of the database file read in this process, as text ("" for none).
std::wstring QueryText(const std::string& db, const wchar_t* sql) {
  std::wstring out;
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    _RecordsetPtr rs = h.Connection()->Execute(_bstr_t(sql), nullptr, adCmdText);
    if (!rs->GetadoEOF()) {
      _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
      if (v.vt != VT_NULL && v.vt != VT_EMPTY) out = static_cast<const wchar_t*>(_bstr_t(v));
    }
  }
  CoUninitialize();
  return out;
}

TEST_F(ProgramFiles, AnUpdateKilledMidwayLeavesWholeBatchesAndARerunCompletesIt) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  AddReferenceShop(db);
  ASSERT_EQ(RunProgram("--db " + db + " params --check").status, 0);
  const std::string data = ReadFile(site);
  ASSERT_EQ(data.substr(0, 1), "{");
  // Killed while the regions (kind 3) are asked for: durations to payments are stored already.
  WriteFile(site, "{\"kill_at_kind\": 3," + data.substr(1));
  Result killed = RunProgram("--db " + db + " params");
  EXPECT_NE(killed.status, 0) << killed.out;
  ExpectSoundDatabase(db);
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Duration"), L"3");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Region"), L"0");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Category"), L"0");
  EXPECT_EQ(QueryText(db, L"SELECT st_CategoriesVersion FROM st__Site WHERE st_Id = 10"), L"");
  EXPECT_EQ(QueryText(db, L"SELECT st_FormVersion FROM st__Site WHERE st_Id = 10"), L"");
  // The killed run left its locks: the synchronisation's and the site's edit lock, under which
  // the site would be passed over. Removed, the rerun completes without a row twice.
  WriteFile(site, data);
  Result locks = RunProgram("--db " + db + " locks");
  EXPECT_NE(locks.out.find("726"), std::string::npos) << locks.out;
  RunSql(db, {L"DELETE FROM kd_blokada"});
  Result rerun = RunProgram("--db " + db + " params");
  EXPECT_EQ(rerun.status, 0) << rerun.out;
  EXPECT_EQ(rerun.out.find("Ostatnia operacja nie powiodła się"), std::string::npos) << rerun.out;
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Duration"), L"3");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Region"), L"2");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Category"), L"10");
  EXPECT_EQ(QueryText(db, L"SELECT st_FormVersion FROM st__Site WHERE st_Id = 10"), L"formularz-2026.12");
  ExpectSoundDatabase(db);
}

TEST_F(ProgramFiles, TemplatesAreListedAndTheChoosersListPrints) {
  Result list = RunProgram("--db " + db + " templates");
  ASSERT_EQ(list.status, 0) << list.out;
  EXPECT_NE(list.out.find("Porcelana: Kubek porcelanowy <limitowany> & spodek"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("[dowolne konto]"), std::string::npos) << list.out;
  // The demonstration's templates are given once.
  EXPECT_EQ(RunProgram("--db " + db + " templates").out, list.out);

  Result printed = RunProgram("--db " + db + " templates print 1");
  ASSERT_EQ(printed.status, 0) << printed.out;
  // The count takes the noun's Polish form: 1 szablon, 2 to 4 szablony, 0 and 5 on szablonów.
  EXPECT_NE(printed.out.find("(3 szablony)"), std::string::npos) << printed.out;
  const std::pair<const char*, const char*> counts[] = {{"1 2", "(1 szablon)"}, {"2", "(2 szablony)"}, {"77", "(0 szablonów)"}};
  for (const auto& [words, shown] : counts) {
    Result counted = RunProgram("--db " + db + " templates print " + words);
    EXPECT_NE(counted.out.find(shown), std::string::npos) << words << ": " << counted.out;
  }
  const size_t at = printed.out.find(spool + "/job-");
  ASSERT_NE(at, std::string::npos) << printed.out;
  const std::string job = ReadFile(printed.out.substr(at, printed.out.find('\n', at) - at));
  EXPECT_EQ(job.rfind("header: &b&D\nfooter: Vantor, Kordel&bStrona &p z &P\n\n", 0), 0u) << job;
  EXPECT_NE(job.find("Lista szablonów aukcji"), std::string::npos);
  EXPECT_NE(job.find("Kubek porcelanowy &lt;limitowany&gt; &amp; spodek"), std::string::npos);
  // A site without templates prints the header alone.
  Result empty = RunProgram("--db " + db + " templates print 77");
  EXPECT_EQ(empty.status, 0) << empty.out;
  EXPECT_NE(empty.out.find("(0 szablonów)"), std::string::npos) << empty.out;
  EXPECT_EQ(RunProgram("--db " + db + " templates print").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " templates print abc").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " templates drukuj").status, 2);
}

TEST_F(ProgramFiles, TheBatchCurrencyAndTemplateDialogsRender) {
  for (const char* name : {"IDD_SUMMARY_DLG", "'#13019'", "'#1004'", "'#122'", "'#13030'"}) {
    Result rendered = RunProgram("--db " + db + " dialog " + name + " " + folder + "/okno.png");
    EXPECT_EQ(rendered.status, 0) << name << rendered.out;
    EXPECT_TRUE(Exists(folder + "/okno.png")) << name;
    std::remove((folder + "/okno.png").c_str());
  }
}

// ---- Several workstations on one database, each a process of its own (--workstation) ----------

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
