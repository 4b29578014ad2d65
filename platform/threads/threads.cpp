// Kernel objects, threads, waits and the platform clock, on the C++ standard library. One lock
// and one condition guard every object and the clock: waits are rare and short, and a single
// place makes "every platform thread is blocked" exact.
#include "platform/threads/threads.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/threads/clock.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr ULONGLONG kNever = ~0ULL;

enum class Kind { Mutex, Event, Thread };

struct KObject {
  explicit KObject(Kind k) : kind(k) {}
  Kind kind;
  // mutex
  DWORD owner = 0;
  int count = 0;
  bool abandoned = false;
  // event
  bool manualReset = false;
  bool signalled = false;
  // thread
  DWORD threadId = 0;
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
};

// A platform thread blocked in a wait: on `object` (null for a sleep) until the manual clock
// reaches `deadline`.
struct Waiter {
  KObject* object;
  ULONGLONG deadline;
  DWORD thread;
};

struct Core {
  std::mutex lock;
  std::condition_variable changed;
  std::unordered_map<UINT_PTR, std::shared_ptr<KObject>> handles;
  UINT_PTR next = 0x7F000004;
  bool manual = false;
  ULONGLONG manualNow = 0;
  Steady::time_point start = Steady::now();
  int running = 0;
  std::vector<Waiter*> waiters;
  // The time of day a test set, and the manual clock's reading when it was set.
  bool timeSet = false;
  std::int64_t setSeconds = 0;
  ULONGLONG manualAtSet = 0;
};

Core& C() {
  static auto* core = new Core;
  return *core;
}

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;
thread_local bool t_platform = false;

DWORD ThisThread() {
  if (!t_threadId) t_threadId = g_nextThreadId.fetch_add(1);
  return t_threadId;
}

std::shared_ptr<KObject> Lookup(Core& c, HANDLE h) {
  auto it = c.handles.find(reinterpret_cast<UINT_PTR>(h));
  return it == c.handles.end() ? nullptr : it->second;
}

HANDLE Insert(Core& c, std::shared_ptr<KObject> object) {
  const UINT_PTR h = c.next;
  c.next += 4;
  c.handles[h] = std::move(object);
  return reinterpret_cast<HANDLE>(h);
}

bool Ready(const KObject& o, DWORD thread) {
  switch (o.kind) {
    case Kind::Mutex: return o.count == 0 || o.owner == thread;
    case Kind::Event: return o.signalled;
    case Kind::Thread: return o.ended;
  }
  return false;
}

DWORD Take(KObject& o, DWORD thread) {
  if (o.kind == Kind::Mutex) {
    if (o.count > 0) {
      ++o.count;
      return WAIT_OBJECT_0;
    }
    o.owner = thread;
    o.count = 1;
    if (o.abandoned) {
      o.abandoned = false;
      return WAIT_ABANDONED;
    }
  } else if (o.kind == Kind::Event && !o.manualReset) {
    o.signalled = false;
  }
  return WAIT_OBJECT_0;
}

bool Idle(const Core& c) {
  int blocked = 0;
  for (const Waiter* w : c.waiters) {
    if (w->object && Ready(*w->object, w->thread)) continue;
    if (c.manual && c.manualNow >= w->deadline) continue;
    ++blocked;
  }
  return blocked >= c.running;
}

// Blocks the calling thread on `object` (null: a sleep) for `ms`; returns the wait's result.
DWORD Block(Core& c, std::unique_lock<std::mutex>& l, const std::shared_ptr<KObject>& object, DWORD ms) {
  const DWORD self = ThisThread();
  auto ready = [&] { return object && Ready(*object, self); };
  if (c.manual && !t_platform) {
    // Nobody else moves the clock for this thread: it moves it itself, lets the platform's
    // threads run to their next wait, and then looks once more.
    if (ms == INFINITE) {
      c.changed.wait(l, ready);
      return Take(*object, self);
    }
    c.manualNow += ms;
    c.changed.notify_all();
    c.changed.wait_until(l, Steady::now() + std::chrono::seconds(10), [&] { return ready() || Idle(c); });
    return ready() ? Take(*object, self) : WAIT_TIMEOUT;
  }
  Waiter waiter{object.get(), kNever, self};
  const bool manual = c.manual;
  if (manual && ms != INFINITE) waiter.deadline = c.manualNow + ms;
  const Steady::time_point realDeadline = Steady::now() + std::chrono::milliseconds(ms == INFINITE ? 0 : ms);
  if (t_platform) {
    c.waiters.push_back(&waiter);
    c.changed.notify_all();
  }
  DWORD result = WAIT_TIMEOUT;
  while (true) {
    if (ready()) {
      result = Take(*object, self);
      break;
    }
    if (ms != INFINITE) {
      if (manual && (!c.manual || c.manualNow >= waiter.deadline)) break;
      if (!manual && Steady::now() >= realDeadline) break;
    }
    if (!manual && ms != INFINITE) c.changed.wait_until(l, realDeadline);
    else c.changed.wait(l);
  }
  if (t_platform) {
    c.waiters.erase(std::remove(c.waiters.begin(), c.waiters.end(), &waiter), c.waiters.end());
    c.changed.notify_all();
  }
  return result;
}

}  // namespace

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
  if (name && *name) return nullptr;
  auto o = std::make_shared<KObject>(Kind::Mutex);
  if (initialOwner) {
    o->owner = ThisThread();
    o->count = 1;
  }
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  return Insert(c, std::move(o));
}

BOOL ReleaseMutex(HANDLE h) {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  auto o = Lookup(c, h);
  if (!o || o->kind != Kind::Mutex || o->count == 0 || o->owner != ThisThread()) return FALSE;
  if (--o->count == 0) {
    o->owner = 0;
    c.changed.notify_all();
  }
  return TRUE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (name && *name) return nullptr;
  auto o = std::make_shared<KObject>(Kind::Event);
  o->manualReset = manualReset != FALSE;
  o->signalled = initialState != FALSE;
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  return Insert(c, std::move(o));
}

namespace {
BOOL Signal(HANDLE h, bool on) {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  auto o = Lookup(c, h);
  if (!o || o->kind != Kind::Event) return FALSE;
  o->signalled = on;
  if (on) c.changed.notify_all();
  return TRUE;
}
}  // namespace

BOOL SetEvent(HANDLE h) { return Signal(h, true); }
BOOL ResetEvent(HANDLE h) { return Signal(h, false); }

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId) {
  if (!start || (flags & CREATE_SUSPENDED)) return nullptr;
  auto o = std::make_shared<KObject>(Kind::Thread);
  o->threadId = g_nextThreadId.fetch_add(1);
  Core& c = C();
  HANDLE h;
  {
    std::lock_guard<std::mutex> l(c.lock);
    h = Insert(c, o);
    ++c.running;
  }
  try {
    std::thread([o, start, parameter] {
      t_threadId = o->threadId;
      t_platform = true;
      DWORD code = 0;
      try {
        code = start(parameter);
      } catch (...) {
        code = 0xFFFFFFFF;
      }
      Core& core = C();
      std::lock_guard<std::mutex> l(core.lock);
      o->ended = true;
      o->exitCode = code;
      --core.running;
      for (auto& [handle, object] : core.handles)
        if (object->kind == Kind::Mutex && object->count > 0 && object->owner == o->threadId) {
          object->count = 0;
          object->owner = 0;
          object->abandoned = true;
        }
      core.changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> l(c.lock);
    c.handles.erase(reinterpret_cast<UINT_PTR>(h));
    --c.running;
    c.changed.notify_all();
    return nullptr;
  }
  if (threadId) *threadId = o->threadId;
  return h;
}

BOOL GetExitCodeThread(HANDLE h, LPDWORD code) {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  auto o = Lookup(c, h);
  if (!o || o->kind != Kind::Thread || !code) return FALSE;
  *code = o->exitCode;
  return TRUE;
}

BOOL SetThreadPriority(HANDLE h, int) {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  auto o = Lookup(c, h);
  return o && o->kind == Kind::Thread;
}

DWORD GetCurrentThreadId() { return ThisThread(); }

DWORD WaitForSingleObject(HANDLE h, DWORD ms) {
  Core& c = C();
  std::unique_lock<std::mutex> l(c.lock);
  std::shared_ptr<KObject> o = Lookup(c, h);
  if (!o) return WAIT_FAILED;
  const DWORD self = ThisThread();
  if (Ready(*o, self)) return Take(*o, self);
  if (ms == 0) return WAIT_TIMEOUT;
  return Block(c, l, o, ms);
}

BOOL CloseHandle(HANDLE h) {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  return c.handles.erase(reinterpret_cast<UINT_PTR>(h)) ? TRUE : FALSE;
}

// --- the clock

ULONGLONG GetTickCount64() {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  if (c.manual) return c.manualNow;
  return static_cast<ULONGLONG>(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - c.start).count());
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(DWORD ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  Core& c = C();
  std::unique_lock<std::mutex> l(c.lock);
  if (!c.manual && !t_platform) {
    l.unlock();
    if (ms == INFINITE) {
      while (true) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  Block(c, l, nullptr, ms);
}

namespace platform::clock {

void UseManual(ULONGLONG start) {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  c.manual = true;
  c.manualNow = start;
  c.changed.notify_all();
}

void UseReal() {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  c.manual = false;
  c.changed.notify_all();
}

bool IsManual() {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  return c.manual;
}

void Advance(DWORD ms) {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  if (!c.manual) return;
  c.manualNow += ms;
  c.changed.notify_all();
}

bool WaitIdle(DWORD limitMs) {
  Core& c = C();
  std::unique_lock<std::mutex> l(c.lock);
  return c.changed.wait_until(l, Steady::now() + std::chrono::milliseconds(limitMs), [&] { return Idle(c); });
}

bool Step(DWORD ms, DWORD limitMs) {
  Advance(ms);
  return WaitIdle(limitMs);
}

int RunningThreads() {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  return c.running;
}

bool IsPlatformThread() { return t_platform; }

timespec Now() {
  timespec ts{};
  {
    Core& c = C();
    std::lock_guard<std::mutex> l(c.lock);
    if (c.timeSet) {
      const ULONGLONG moved = c.manual && c.manualNow > c.manualAtSet ? c.manualNow - c.manualAtSet : 0;
      ts.tv_sec = static_cast<time_t>(c.setSeconds + static_cast<std::int64_t>(moved / 1000));
      ts.tv_nsec = static_cast<long>(moved % 1000) * 1000000L;
      return ts;
    }
  }
  clock_gettime(CLOCK_REALTIME, &ts);
  return ts;
}

void SetTime(std::int64_t unixSeconds) {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  c.timeSet = true;
  c.setSeconds = unixSeconds;
  c.manualAtSet = c.manualNow;
}

void UseRealTime() {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  c.timeSet = false;
}

bool IsTimeSet() {
  Core& c = C();
  std::lock_guard<std::mutex> l(c.lock);
  return c.timeSet;
}

}  // namespace platform::clock
