#include "testing/processes/processes.h"

#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "testing/support/lock_wait.h"
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

_ConnectionPtr Connect(const std::wstring& path, int busyMs) {
  _ConnectionPtr cn;
  HRESULT hr = cn.CreateInstance(__uuidof(Connection));
  if (FAILED(hr)) _com_issue_error(hr);
  std::wstring text = L"Provider=SQLite;Data Source=" + path;
  if (busyMs >= 0) text += L";Busy Timeout=" + std::to_wstring(busyMs);
  cn->Open(_bstr_t(text.c_str()), _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
  return cn;
}

double OneLockWait(const std::wstring& path, int busyMs) {
  _ConnectionPtr cn = Connect(path, busyMs);
  const auto start = std::chrono::steady_clock::now();
  try {
    cn->BeginTrans();
    cn->RollbackTrans();
    return 0;  // the lock was not held
  } catch (const _com_error&) {
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

LockHolder::LockHolder(const std::wstring& path) {
  int down[2], up[2];
  if (pipe(down) != 0 || pipe(up) != 0) throw std::runtime_error("pipe");
  m_pid = fork();
  if (m_pid < 0) throw std::runtime_error("fork");
  if (m_pid == 0) {
    close(down[1]);
    close(up[0]);
    int status = 1;
    try {
      _ConnectionPtr cn = Connect(path);
      cn->BeginTrans();  // takes the write lock
      const char held = 'h';
      if (WriteAll(up[1], &held, 1)) {
        char go = 0;
        ReadFor(down[0], &go, 1, kAnswerMs);
        cn->CommitTrans();
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
    throw std::runtime_error("the lock holder did not take the lock");
  }
}

LockHolder::~LockHolder() { Release(); }

bool LockHolder::Release() {
  if (m_pid <= 0) return false;
  const char go = 'g';
  WriteAll(m_toChild, &go, 1);
  const bool clean = Reap(m_pid);
  close(m_toChild);
  close(m_fromChild);
  m_pid = -1;
  return clean;
}

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
        testutil::OnFirstLockWait([&] { report(Record{5, S_OK, 0, 0, 0}); });
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
