#pragma once
// The platform clock: the tick count, Sleep and every time-out of a wait (threads.h), and the
// time of day of the process's dates.
//
// The clock runs in real time unless a test makes it manual. A manual clock stands still until
// the test moves it (Advance); a thread the platform started (CreateThread) that sleeps or waits
// with a time-out then stays blocked until the clock reaches its deadline or its object is
// signalled. Any other thread (the test's own, the user-interface thread) that sleeps moves the
// manual clock itself by that time, and its timed waits likewise move it to their deadline when
// they would block, so it never waits for a clock that nobody moves.
#include <cstdint>
#include <ctime>

#include "platform/base/wintypes.h"

// Milliseconds since an arbitrary start (wrapping at 2^32).
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD milliseconds);

namespace platform::clock {

// Tests: makes the clock manual, standing at `start` milliseconds.
void UseManual(ULONGLONG start = 0);
// Back to real time (threads still blocked on the manual clock wake and find their deadline passed).
void UseReal();
bool IsManual();
// Moves the manual clock on (nothing for a real clock) and wakes what has to wake.
void Advance(DWORD milliseconds);
// Waits, in real time and at most `limitMs`, until every thread the platform started is blocked
// (sleeping or waiting for something that has not happened) or has ended. False on the limit.
bool WaitIdle(DWORD limitMs = 10000);
// Advance, then WaitIdle.
bool Step(DWORD milliseconds, DWORD limitMs = 10000);
// The threads the platform started that are still running.
int RunningThreads();
// Whether the calling thread was started by CreateThread.
bool IsPlatformThread();

// The time of day that the process's dates come from: GetLocalTime, GetSystemTime and
// GetSystemTimeAsFileTime (so every "now" of the system) and the database's GETDATE read it. It
// is the system's time unless a test set it; a set time stands still, except that a manual
// clock's Advance moves it on by as much.
timespec Now();
// Tests: sets the time of day to `unixSeconds` (UTC, whole seconds since 1970).
void SetTime(std::int64_t unixSeconds);
// The system's time of day again.
void UseRealTime();
bool IsTimeSet();

}  // namespace platform::clock
