// The `vantor` program as a person runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

#include "host/host.h"
#include "shared/hxlog.h"
#include "shared/objlock.h"

namespace {

struct Result {
  int status;
  std::string out;
};

// The registry file of this test process: the program registers the system's servers at start,
// never into the user's own registry.
std::string RegistryFile() { return "/tmp/vantor-program-test-" + std::to_string(::getpid()) + ".registry"; }

Result RunProgram(const std::string& args) {
  std::string command = std::string(VANTOR_PROGRAM) + " --registry " + RegistryFile() + " " + args + " 2>&1";
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

class Program : public ::testing::Test {
 protected:
  void SetUp() override { db = "/tmp/vantor-program-test-" + std::to_string(::getpid()) + ".db"; }
  void TearDown() override {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((db + suffix).c_str());
    std::remove(RegistryFile().c_str());
    std::remove((RegistryFile() + ".lock").c_str());
  }
  std::string db;
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
  Result empty = RunProgram("--db " + db + " log");
  EXPECT_EQ(empty.status, 0) << empty.out;
  EXPECT_NE(empty.out.find("Brak zapisanych zadań."), std::string::npos) << empty.out;
  Result missing = RunProgram("--db " + db + " log 7");
  EXPECT_EQ(missing.status, 1);
  Result bad = RunProgram("--db " + db + " log x7");
  EXPECT_EQ(bad.status, 2);
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
  EXPECT_NE(damaged.out.find("vantor: błąd"), std::string::npos) << damaged.out;
  file = std::fopen(db.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::string kept(64, '\0');
  kept.resize(std::fread(kept.data(), 1, kept.size(), file));
  std::fclose(file);
  EXPECT_EQ(kept, garbage);
}

TEST_F(Program, ListsTheObjectLocksHeld) {
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

TEST_F(Program, HelpAndBadArguments) {
  Result help = RunProgram("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--db PLIK"), std::string::npos);
  EXPECT_NE(help.out.find("--registry PLIK"), std::string::npos);
  EXPECT_NE(help.out.find("locks"), std::string::npos);
  EXPECT_EQ(RunProgram("--db").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " frobnicate").status, 2);
}

}  // namespace
