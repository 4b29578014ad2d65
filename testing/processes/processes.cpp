#include "testing/processes/processes.h"

#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "testing/support/lock_wait.h"
#include "testing/support/test_database.h"
#include "testing/support/waits.h"

namespace testproc {
namespace {

using testutil::ReadFor;

constexpr int kAnswerMs = 20000;  // the longest any child is waited for

bool WriteAll(int fd, const void* data, size_t size) {
  return write(fd, data, size) == static_cast<ssize_t>(size);
}

// Waits for a child to end (killing it after the deadline); true when it exited with 0.
bool Reap(pid_t pid) { return testutil::AwaitExit(pid, kAnswerMs) == 0; }

struct Record {
  int kind;  // 1 refused, 2 drawn, 3 drawn while held, 4 failed, 5 waiting for the lock
  HRESULT hr;
  LONG number;
  double seconds;
  double oneWait;
};

}  // namespace

namespace {

// Takes the database's write lock in the connection's transaction: SQLite's beginning takes it;
// on PostgreSQL every table of the database is locked against other writers (readers go on).
void TakeWriteLock(const _ConnectionPtr& cn) {
  cn->BeginTrans();
  if (!testdb::OnPostgres()) return;
  _RecordsetPtr tables = cn->Execute(
      _bstr_t(L"SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'BASE TABLE'"), nullptr, adCmdText);
  std::wstring names;
  for (; !tables->GetadoEOF(); tables->MoveNext())
    names += (names.empty() ? L"" : L", ") +
             std::wstring(static_cast<const wchar_t*>(_bstr_t(tables->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue())));
  tables->Close();
  if (!names.empty()) cn->Execute(_bstr_t((L"LOCK TABLE " + names + L" IN EXCLUSIVE MODE").c_str()), nullptr,
                                  adCmdText | adExecuteNoRecords);
}

// Waits until `count` sessions of the connection's database wait for a lock that another holds
// (PostgreSQL tells it in its activity view); false past the deadline.
bool AwaitLockWaiters(const _ConnectionPtr& cn, int count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMs);
  while (std::chrono::steady_clock::now() < deadline) {
    _RecordsetPtr waiting = cn->Execute(_bstr_t(L"SELECT COUNT(*) FROM pg_stat_activity "
                                                L"WHERE wait_event_type = 'Lock' AND datname = current_database()"),
                                        nullptr, adCmdText);
    if (static_cast<LONG>(waiting->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()) >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

}  // namespace

_ConnectionPtr Connect(const std::wstring& path, int busyMs) {
  _ConnectionPtr cn;
  HRESULT hr = cn.CreateInstance(__uuidof(Connection));
  if (FAILED(hr)) _com_issue_error(hr);
  std::wstring text = L"Data Source=" + path;
  if (busyMs >= 0) text += L";Busy Timeout=" + std::to_wstring(busyMs);
  cn->Open(_bstr_t(text.c_str()), _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
  return cn;
}

double OneLockWait(const std::wstring& path, int busyMs) {
  _ConnectionPtr cn = Connect(path, busyMs);
  const auto start = std::chrono::steady_clock::now();
  try {
    TakeWriteLock(cn);
    cn->RollbackTrans();
    return 0;  // the lock was not held
  } catch (const _com_error&) {
  }
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (platform::ado::TransactionDepth(cn) > 0) cn->RollbackTrans();
  return waited;
}

Holder::Holder(const Take& take) {
  int down[2], up[2];
  if (pipe(down) != 0 || pipe(up) != 0) throw std::runtime_error("pipe");
  m_pid = fork();
  if (m_pid < 0) throw std::runtime_error("fork");
  if (m_pid == 0) {
    close(down[1]);
    close(up[0]);
    int status = 1;
    try {
      const std::function<void()> letGo = take();
      const char held = 'h';
      if (WriteAll(up[1], &held, 1)) {
        char go = 0;
        ReadFor(down[0], &go, 1, kAnswerMs);
        letGo();
        status = 0;
      }
    } catch (...) {
    }
    _exit(status);
  }
  close(down[0]);
  close(up[1]);
  m_toChild = down[1];
  m_fromChild = up[0];
  char held = 0;
  if (!ReadFor(m_fromChild, &held, 1, kAnswerMs)) {
    Release();
    throw std::runtime_error("the child did not take what it was to hold");
  }
}

Holder::~Holder() { Release(); }

bool Holder::Release() {
  if (m_pid <= 0) return false;
  const char go = 'g';
  WriteAll(m_toChild, &go, 1);
  const bool clean = Reap(m_pid);
  close(m_toChild);
  close(m_fromChild);
  m_pid = -1;
  return clean;
}

LockHolder::LockHolder(const std::wstring& path)
    : Holder([path] {
        _ConnectionPtr cn = Connect(path);
        TakeWriteLock(cn);
        return std::function<void()>([cn] { cn->CommitTrans(); });
      }) {}

namespace {

void DrawOneRound(const std::wstring& path, int drawers, int draws, int busyMs, const DrawFunction& draw,
                  Draws& result) {
  LockHolder holder(path);
  struct Child {
    pid_t pid;
    int go, records;
  };
  std::vector<Child> children;
  for (int d = 0; d < drawers; ++d) {
    int down[2], up[2];
    if (pipe(down) != 0 || pipe(up) != 0) throw std::runtime_error("pipe");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
      close(down[1]);
      close(up[0]);
      int status = 0;
      auto report = [&](const Record& r) {
        if (!WriteAll(up[1], &r, sizeof r)) status = 3;
      };
      try {
        Record r{1, S_OK, 0, 0, OneLockWait(path, busyMs)};
        {
          Draw impatient = draw(Connect(path, busyMs));
          const auto start = std::chrono::steady_clock::now();
          try {
            r.number = impatient();
            r.kind = 3;
          } catch (const _com_error& e) {
            r.hr = e.Error();
          }
          r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        report(r);
        char go = 0;
        if (!ReadFor(down[0], &go, 1, kAnswerMs)) _exit(4);
        // SQLite's lock waits are seen from inside; PostgreSQL's by the parent, in the server's view.
        if (testdb::OnPostgres()) report(Record{5, S_OK, 0, 0, 0});
        else testutil::OnFirstLockWait([&] { report(Record{5, S_OK, 0, 0, 0}); });
        Draw patient = draw(Connect(path));
        for (int i = 0; i < draws; ++i) report(Record{2, S_OK, patient(), 0, 0});
      } catch (const _com_error& e) {
        report(Record{4, e.Error(), 0, 0, 0});
        status = 2;
      } catch (...) {
        status = 2;
      }
      close(up[1]);
      _exit(status);
    }
    close(down[0]);
    close(up[1]);
    children.push_back({pid, down[1], up[0]});
  }
  // Every drawer tries once while the lock is held...
  for (const Child& child : children) {
    Record r{};
    if (!ReadFor(child.records, &r, sizeof r, kAnswerMs)) {
      result.childrenFailed = true;
      continue;
    }
    if (r.kind == 3) result.drawnWhileHeld = true;
    else result.refusals.push_back({r.hr, r.seconds, r.oneWait});
  }
  // ...then they all start again, and the lock is let go once every one of them waits for it.
  for (const Child& child : children) {
    const char go = 'g';
    WriteAll(child.go, &go, 1);
  }
  for (const Child& child : children) {
    Record r{};
    if (!ReadFor(child.records, &r, sizeof r, kAnswerMs) || r.kind != 5) result.childrenFailed = true;
  }
  if (testdb::OnPostgres() && !AwaitLockWaiters(Connect(path), drawers)) result.childrenFailed = true;
  if (!holder.Release()) result.childrenFailed = true;
  for (const Child& child : children) {
    Record r{};
    while (ReadFor(child.records, &r, sizeof r, kAnswerMs)) {
      if (r.kind == 2) result.numbers.push_back(r.number);
      else result.childrenFailed = true;
    }
    if (!Reap(child.pid)) result.childrenFailed = true;
    close(child.go);
    close(child.records);
  }
}

}  // namespace

Draws DrawUnderHeldLock(const std::wstring& path, int rounds, int drawers, int draws, int busyMs,
                        const DrawFunction& draw) {
  Draws result;
  for (int round = 0; round < rounds && !result.childrenFailed; ++round)
    DrawOneRound(path, drawers, draws, busyMs, draw, result);
  std::sort(result.numbers.begin(), result.numbers.end());
  return result;
}

}  // namespace testproc
