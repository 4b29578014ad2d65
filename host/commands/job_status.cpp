#include "host/commands/job_status.h"

#include "host/command.h"
#include "host/joblog.h"

namespace host {

JobRunStatus::JobRunStatus(Host& host) : m_writer(host.JobLog()), m_failedBefore(m_writer->FailedJobs()) {}

bool JobRunStatus::Failed() const { return m_writer->FailedJobs() != m_failedBefore; }

int JobRunStatus::Finish(const std::wstring& done) const {
  Write(stdout, done + L"\n");
  return Finish(RequestEnd::Ran);
}

int JobRunStatus::Finish(RequestEnd end) const {
  if (end != RequestEnd::Ran) return 1;
  if (!Failed()) return 0;
  Write(stderr, L"vantor: co najmniej jedno zadanie zakończyło się błędem; szczegóły w dzienniku zadań (vantor log)\n");
  return 1;
}

}  // namespace host
