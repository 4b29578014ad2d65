#pragma once
// The moment a statement of this process starts waiting for another process's lock on an SQLite
// database: the busy handler that a connection's busy timeout installs sleeps between its tries
// through the file-system layer (VFS), and a layer wrapped around the default one tells when the
// first such sleep begins. A test waits for that event instead of guessing how long a child takes
// to reach the lock. Connections opened before the first call keep the unwrapped layer.
#include <sqlite3.h>

#include <functional>
#include <mutex>
#include <utility>

namespace testutil {

namespace detail {
struct LockWaitSignal {
  std::mutex mutex;
  std::function<void()> signal;
  sqlite3_vfs* real = nullptr;
  sqlite3_vfs wrapped{};
};
inline LockWaitSignal& TheLockWaitSignal() {
  static LockWaitSignal state;
  return state;
}
inline int SleepAndSignal(sqlite3_vfs*, int microseconds) {
  LockWaitSignal& state = TheLockWaitSignal();
  std::function<void()> signal;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    signal = std::exchange(state.signal, nullptr);
  }
  if (signal) signal();
  return state.real->xSleep(state.real, microseconds);
}
}  // namespace detail

// Runs `signal` (once, on the waiting thread) when a connection of this process opened after this
// call next sleeps waiting for a lock; a later call replaces a signal that has not run yet.
inline void OnFirstLockWait(std::function<void()> signal) {
  detail::LockWaitSignal& state = detail::TheLockWaitSignal();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.real) {
    state.real = sqlite3_vfs_find(nullptr);
    state.wrapped = *state.real;  // the same layer (its files, locks and shared memory)...
    state.wrapped.zName = "vantor-lock-wait-signal";
    state.wrapped.xSleep = &detail::SleepAndSignal;  // ...whose sleeps are seen first
    sqlite3_vfs_register(&state.wrapped, 1);
  }
  state.signal = std::move(signal);
}

}  // namespace testutil
