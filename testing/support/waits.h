#pragma once
// A test's waits on other processes, each on the event it means and each with a deadline: bytes
// through a pipe, every writer of a pipe gone, a child's end.
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <string>

namespace testutil {

// Milliseconds left until `deadline` (0 once it has passed).
inline int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits at most until `deadline` for `fd` to be readable (data or end of file).
inline bool Readable(int fd, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, MillisecondsLeft(deadline));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

// Reads exactly `size` bytes from `fd`, waiting at most `ms` in all; false on the deadline, at end
// of file or on an error.
inline bool ReadFor(int fd, void* data, size_t size, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    if (!Readable(fd, deadline)) return false;
    const ssize_t n = read(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads what comes through `fd` until every process that could write to it has closed it (or
// ended), waiting at most `ms` in all; false on the deadline or an error, with what came in `out`.
inline bool ReadToEnd(int fd, std::string& out, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  char buffer[4096];
  for (;;) {
    if (!Readable(fd, deadline)) return false;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    out.append(buffer, static_cast<size_t>(n));
  }
}

// Waits at most `ms` for the child `pid` to end and reaps it; a child still running then is
// killed. Its exit status, or -1 when it was killed, ended by a signal or could not be waited for.
inline int AwaitExit(pid_t pid, int ms) {
  const int handle = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));  // readable once the child ended
  bool ended = false;
  if (handle >= 0) {
    ended = Readable(handle, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
    close(handle);
  }
  if (!ended) kill(pid, SIGKILL);
  int status = 0;
  pid_t done;
  while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  return ended && done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testutil
