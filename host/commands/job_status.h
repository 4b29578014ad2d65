#pragma once
// The exit status of the program's commands that run jobs (receive, send, params, zone sync, and
// a run of several of them, round): 1 when any job log written during the run ended with an error
// status, 0 otherwise (warnings included). The methods the commands call answer S_OK however
// their jobs went; their logs tell.
#include <memory>
#include <string>

#include "host/host.h"

namespace host {

// How one request of a run ended, besides what its job logs tell: it ran (whatever its jobs
// did), it failed, or the user stopped it (Ctrl+C). A failure or a stop has been told on the
// error stream.
enum class RequestEnd { Ran, Failed, Cancelled };

class JobRunStatus {
 public:
  // The run begins: the jobs ended from now on count.
  explicit JobRunStatus(Host& host);
  // Whether a job log of the run ended with an error status.
  bool Failed() const;
  // Ends the run: `done` on the standard output and, when a job failed, a line saying so on the
  // error stream; the exit status (1 or 0).
  int Finish(const std::wstring& done) const;
  // Ends a run of one request: 1 when it failed or was stopped; when it ran, as Finish without
  // a line of its own.
  int Finish(RequestEnd end) const;

 private:
  std::shared_ptr<JobLogWriter> m_writer;
  LONG m_failedBefore;
};

}  // namespace host
