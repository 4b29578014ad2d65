// Two workstations (two processes on one database file) start a seller-zone synchronisation at
// once: exactly one runs, the other is told who synchronises and touches no account.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/base/utf8.h"
#include "shared/hxinstance.h"
#include "testing/support/waits.h"
#include "zone/tests/fixtures.h"
#include "zone/tests/manager_fixture.h"

namespace vorlen::test {
namespace {

// Reads one line from `fd` within `seconds`; empty when none came.
std::string ReadLine(int fd, int seconds) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  char c;
  while (testutil::ReadFor(fd, &c, 1, testutil::MillisecondsLeft(deadline)) && c != '\n') line += c;
  return line;
}

struct Workstation {
  pid_t pid = -1;
  int toParent = -1;   // the child's reports
  int toChild = -1;    // go and release
};

// The synchronisation of a workstation, in its own process: its own host on the database file as
// user `user`, a manager made as callers make it. It reports "locked" once it holds the lock (then
// waits for the release before going on) and "done <hr>" at its end; the exit status tells what
// went wrong on the way (0: nothing).
int Synchronise(const std::wstring& path, LONG user, int up, int down) {
  int status = 0;
  host::Host station(path, user);
  auto recorder = std::make_shared<doubles::Recorder>();
  doubles::ScriptedInstance* script = nullptr;
  IFlgInstancePtr instance = doubles::ScriptedInstance::New(recorder, station.Instance(), &script);
  // The first cancel check comes once the lock is held.
  script->onAsk = [&](int ask) {
    if (ask != 1) return;
    if (write(up, "locked\n", 7) != 7) status = 3;
    if (ReadLine(down, 120) != "release") status = 4;
  };
  CHxInstance::SetInstance(instance);
  IStatusMgrPtr manager;
  IUnknown* raw = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_CoStatusMgr, nullptr, 23, __uuidof(IUnknown), reinterpret_cast<void**>(&raw)))) {
    IUnknownPtr object(raw, false);
    OleRun(object);
    manager = object;
  }
  const HRESULT hr = manager ? manager->Synchronize(sjClosePages | sjOpenPages) : E_NOINTERFACE;
  char text[64];
  const int n = std::snprintf(text, sizeof text, "done %08X\n", static_cast<unsigned>(hr));
  if (write(up, text, static_cast<size_t>(n)) != n) status = 6;
  manager = nullptr;
  CHxInstance::SetInstance(nullptr);
  instance = nullptr;
  return status;
}

// A workstation's process, made while this process has no other thread yet (a child of a process
// with threads may find a lock of the allocator held for ever). It waits for "go <port> <path>",
// prepares itself as the tests' processes do and synchronises as user `user`.
Workstation Start(LONG user) {
  int up[2], down[2];
  if (pipe(up) != 0 || pipe(down) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(up[0]);
    close(down[1]);
    int status = 5;
    const std::string go = ReadLine(down[0], 120);
    int port = 0;
    char path[512] = {};
    if (std::sscanf(go.c_str(), "go %d %511s", &port, path) == 2 && ManagerTest::PrepareProcess()) {
      ManagerTest::UseService(port);
      status = Synchronise(platform::utf8::ToWide(path), user, up[1], down[0]);
    }
    _exit(status);
  }
  close(up[1]);
  close(down[0]);
  return {pid, up[0], down[1]};
}

class LockRace : public ManagerTest {
 protected:
  void SetUp() override {
    Certificates();  // made once, before the workstations copy this process
    for (LONG i = 0; i < 2; ++i) stations[i] = Start(i + 1);
    ManagerTest::SetUp();
  }
  void TearDown() override {
    // A workstation the test did not see to its end goes with it.
    for (Workstation& w : stations) {
      if (w.pid <= 0) continue;
      kill(w.pid, SIGKILL);
      waitpid(w.pid, nullptr, 0);
      close(w.toParent);
      close(w.toChild);
    }
    ManagerTest::TearDown();
  }

  Workstation stations[2];
};

void Send(const Workstation& w, const char* line) {
  const std::string text = std::string(line) + "\n";
  ASSERT_EQ(write(w.toChild, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

// Waits for a workstation's end (killing it after two minutes); its exit status, -1 when killed.
int Finish(Workstation& w) {
  const int status = testutil::AwaitExit(w.pid, 120000);
  close(w.toParent);
  close(w.toChild);
  w.pid = -1;
  return status;
}

TEST_F(LockRace, OfTwoWorkstationsOneSynchronisesAndTheOtherIsToldWho) {
  for (LONG id = 1; id <= 3; ++id) AddPurchase(id);
  Exec(L"INSERT INTO kd_User (us_Id, us_Name) VALUES (2, 'O''Brien')");
  ASSERT_GT(stations[0].pid, 0);
  ASSERT_GT(stations[1].pid, 0);
  const std::string go = "go " + std::to_string(server->port()) + " " + platform::utf8::FromWide(path);
  for (const Workstation& w : stations) Send(w, go.c_str());

  // The first report is the holder's "locked" or the other's refusal; in any case both come,
  // and the holder goes on only once the other has finished.
  int holder = -1;
  std::string loserEnd;
  std::string holderUser;
  for (int reports = 0; reports < 2; ++reports) {
    pollfd p[2] = {{stations[0].toParent, POLLIN, 0}, {stations[1].toParent, POLLIN, 0}};
    ASSERT_GT(poll(p, 2, 120000), 0) << "a workstation did not answer";
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & POLLIN)) continue;
      const std::string line = ReadLine(stations[i].toParent, 10);
      if (line == "locked") {
        ASSERT_EQ(holder, -1) << "both hold the lock";
        holder = i;
        holderUser = platform::utf8::FromWide(Text(L"SELECT username FROM kd_blokada WHERE obtype = 726"));
      } else {
        ASSERT_TRUE(loserEnd.empty()) << line;
        loserEnd = line;
      }
    }
  }
  ASSERT_NE(holder, -1);
  EXPECT_EQ(holderUser, holder == 0 ? "Szef" : "O'Brien");
  EXPECT_EQ(loserEnd, "done 80040F19");
  Send(stations[holder], "release");
  EXPECT_EQ(ReadLine(stations[holder].toParent, 120), "done 00000000");
  for (Workstation& w : stations) EXPECT_EQ(Finish(w), 0);

  // The holder opened each page once; the other touched no account.
  EXPECT_EQ(model.Calls("openTrustedPage"), 3);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_StatusPageId IS NOT NULL"), 3);
  EXPECT_EQ(LockRows(), 0);
  const LONG loserUser = holder == 0 ? 2 : 1;
  const std::vector<Job> jobs = Jobs();
  int loserJobs = 0;
  for (const Job& job : jobs) {
    const bool loser = Long(L"SELECT jl_UserId FROM kd_JobLog WHERE jl_Id = " + std::to_wstring(job.id)) == loserUser;
    if (!loser) continue;
    ++loserJobs;
    EXPECT_EQ(job.result, 1);
    EXPECT_EQ(job.Text().find(L"Konto:"), std::wstring::npos);
    const std::wstring prefix = std::wstring(kSyncElsewhere) + L"\r\nSzczegóły: ";
    bool warned = false;
    for (const LogLine& line : job.lines) warned |= line.status == 1 && line.text.compare(0, prefix.size(), prefix) == 0;
    EXPECT_TRUE(warned) << job.Text();
  }
  EXPECT_EQ(loserJobs, 2);
}

}  // namespace
}  // namespace vorlen::test
