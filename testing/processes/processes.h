#pragma once
// Other processes on the same database file, for tests of what happens between workstations:
// one that holds the database's write lock until it is told to let go, and several that draw
// numbers while it does. Every wait on them has a deadline.
#include <sys/types.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/ado/ado.h"

namespace testproc {

// A connection to the file whose lock waits end after `busyMs` (the default when negative).
_ConnectionPtr Connect(const std::wstring& path, int busyMs = -1);

// How long, in seconds, one lock wait of `busyMs` takes here and now: beginning a transaction on
// a new connection while another process holds the lock (under load the waits overrun alike).
double OneLockWait(const std::wstring& path, int busyMs);

// A child process holding something that other processes meet (a lock, an object open for
// editing: another workstation) from construction until Release or destruction. In the child
// `take` takes it, raising when it cannot, and answers what lets it go. Construction returns
// once it is held and raises std::runtime_error when that does not happen within a few seconds.
class Holder {
 public:
  using Take = std::function<std::function<void()>()>;
  explicit Holder(const Take& take);
  ~Holder();
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  // Lets go and waits for the child; true when it let go and exited cleanly.
  bool Release();

 private:
  pid_t m_pid = -1;
  int m_toChild = -1, m_fromChild = -1;
};

// A child process holding the write lock of the database at `path` (an open transaction; on
// PostgreSQL, which has no lock of a whole database, the transaction locks every table against
// other writers); Release commits it.
class LockHolder : public Holder {
 public:
  explicit LockHolder(const std::wstring& path);
};

// What DrawUnderHeldLock saw.
struct Draws {
  struct Refusal {
    HRESULT hr;
    double seconds;  // how long the refused draw took (its setup not counted)
    double oneWait;  // how long one refused lock wait took just before, in the same process
  };
  std::vector<Refusal> refusals;  // one per drawer, while the lock was held
  std::vector<LONG> numbers;      // every number drawn afterwards
  bool drawnWhileHeld = false;    // a draw succeeded although the lock was held
  bool childrenFailed = false;    // a drawer failed otherwise, or did not answer in time
};

// What draws on one connection: `prepare` sets up whatever the draws need on `connection` (a
// workstation of its own) and gives the draw, which answers the number drawn or raises a
// _com_error. Only the draw is timed.
using Draw = std::function<LONG()>;
using DrawFunction = std::function<Draw(const _ConnectionPtr& connection)>;

// `rounds` times: while another process holds the write lock of the database at `path`,
// `drawers` processes each try one draw on a connection that waits `busyMs` for the lock (it is
// expected to fail), then each starts `draws` draws on a connection with the default wait while
// the lock is still held for a moment, and the lock is let go. Returns what the drawers reported
// in all rounds, the numbers sorted.
Draws DrawUnderHeldLock(const std::wstring& path, int rounds, int drawers, int draws, int busyMs,
                        const DrawFunction& draw);

}  // namespace testproc
