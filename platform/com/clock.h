#pragma once
// The one clock that the process's dates come from: GetLocalTime, GetSystemTime and
// GetSystemTimeAsFileTime (and so every "now" of the system) read it. It is the system's real
// time unless a test set it; a set clock stands still at the time it was given.
#include <cstdint>
#include <ctime>

namespace platform::clock {

// The current time (seconds and nanoseconds since 1970, UTC).
timespec Now();
// Sets the clock to `unixSeconds` (UTC, whole seconds); it stays there until set again.
void Set(std::int64_t unixSeconds);
// The system's real time again.
void Release();
// Whether a test set the clock.
bool IsSet();

}  // namespace platform::clock
