#pragma once
// What the tests of the `vantor` program share: the program run as a person runs it (to its end,
// or as a child whose output is read as it comes), the test's folder with its database and
// registry, the seller-zone test service as run.sh starts it, and readers and writers of the
// database file and of files in this process.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "testing/net/net.h"
#include "testing/support/temp_folder.h"

namespace program_test {

struct Result {
  int status;
  std::string out;
};

// The folder of the running test, made afresh for it and removed after it: its database, its
// registry and the reference site's working copy beside the database, so that tests running at
// once (or a file left by a test that was killed) share nothing.
std::string& TestFolder();
// The registry file of the running test: the program registers the system's servers at start,
// never into the user's own registry.
std::string RegistryFile();
// Runs a shell command; its exit status and its output with its errors.
Result RunCommand(const std::string& line);
// Runs the program behind `prefix` (another user, say) with its own registry file.
Result RunAs(const std::string& prefix, const std::string& registry, const std::string& args);
Result RunProgram(const std::string& args);
// The program running as a child of the test, its output read as it comes: for what happens while
// it runs. Every wait has a deadline; a program still running at the end is killed.
class RunningProgram {
 public:
  explicit RunningProgram(const std::string& args);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // Reads the output until it holds `text`; false when the output ended first or the deadline
  // passed.
  bool WaitFor(const std::string& text, int seconds = 60);
  // Waits until the program stopped (SIGSTOP); false when it ended or the deadline passed.
  bool WaitStopped(int seconds = 60);
  void Signal(int signal);
  // Reads the rest of the output and waits for the end: the exit status (-1 when the program did
  // not end in time or was killed) and the whole output.
  Result Finish(int seconds = 120);

 private:
  // waitpid with a deadline (an alarm interrupts it).
  bool WaitChild(int options, int& status, int seconds);
  // One read of the output; false at its end or after the deadline.
  bool ReadSome(int seconds);

  pid_t pid_ = -1;
  int fd_ = -1;
  std::string out_;
};

bool Exists(const std::string& path);
class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    temp = std::make_unique<testtemp::TempFolder>("vantor-program-test");
    folder = TestFolder() = temp->Path();
    db = temp->File("vantor.db");
  }
  void TearDown() override {
    temp.reset();
    TestFolder().clear();
  }
  std::unique_ptr<testtemp::TempFolder> temp;
  std::string folder;
  std::string db;
};

// Runs statements on the database file in this process.
void RunSql(const std::string& db, std::initializer_list<const wchar_t*> statements);
std::string FileText(const std::string& path);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
// The seller-zone test service as run.sh starts it: a program of its own over HTTPS.
class ZoneService {
 public:
  ZoneService(const testing_net::Certificates& certificates, const std::string& accountsFile,
              const std::string& state = "");
  ~ZoneService() { Stop(); }
  ZoneService(const ZoneService&) = delete;
  ZoneService& operator=(const ZoneService&) = delete;
  void Stop();
  int Port() const { return port_; }
  void Signal(int signal);

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

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
};

// The first column of the first row, read from the database file in this process (empty
// without a row).
_variant_t QueryValue(const std::string& db, const wchar_t* sql);
LONG QueryLong(const std::string& db, const wchar_t* sql);
// The rows of the tables a receive fills: auctions, their images, buyers, purchases, comments.
std::vector<LONG> ReceivedRows(const std::string& db);
// The synchronisation lock that a run killed midway leaves refuses the next run of `command`
// (which tells who holds it and exits 0) until unlock takes the lock `lock` away.
void ExpectRefusedUntilUnlocked(const std::string& db, const std::string& command, int lock);
class ProgramReceive : public ProgramFiles {
 protected:
  void SetUp() override {
    ProgramFiles::SetUp();
    Result added = RunProgram("--db " + db + " account add 1 --login sprzedawca --password demo --site 1:Wzorcowo");
    ASSERT_EQ(added.status, 0) << added.out;
  }
};

// A prepared auction of the account and a comment to give to a buyer of the reference site.
void PrepareSends(const std::string& db, std::initializer_list<LONG> auctions);
// The reference site (row 10, number 1) with the reference site's shop account 5 on it.
void AddReferenceShop(const std::string& db);
// A value of the database file read in this process, as text ("" for none).
std::wstring QueryText(const std::string& db, const wchar_t* sql);

}  // namespace program_test
