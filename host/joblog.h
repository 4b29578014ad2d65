#pragma once
// The host's job-log store: jobs and their dated lines kept in the product database.
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "framework/zephra.h"

namespace host {

// Writes the job log on a connection of its own to the product database file, so that what it
// writes stays when a caller's transaction on the product connection is rolled back: the job log
// is the record of what happened, failures above all. While the product connection is inside a
// transaction (and so holds the database's write lock) the writes wait, in order, and go out as
// soon as that transaction ends; a lock held by another process is waited for at most the busy
// timeout at each attempt, and what could not be written then goes out with the next attempt.
class JobLogWriter {
 public:
  // `report` is told what could not be written at all.
  JobLogWriter(_ConnectionPtr product, std::function<void(const std::wstring&)> report);
  ~JobLogWriter();  // closes
  JobLogWriter(const JobLogWriter&) = delete;
  JobLogWriter& operator=(const JobLogWriter&) = delete;

  struct Job {
    LONG id = 0;  // the row's key once written
  };
  // Each operation answers S_OK when it was written or waits to be; otherwise the failure (with
  // its error information), and then it and whatever waited before it are dropped.
  HRESULT Start(const std::shared_ptr<Job>& job, LONG type, LONG subtype, LONG user);
  HRESULT Line(const std::shared_ptr<Job>& job, DATE time, LONG status, const std::wstring& text);
  HRESULT End(const std::shared_ptr<Job>& job, LONG count, LONG result);
  HRESULT DeleteAll();
  // Writes what waits, unless the product connection is inside a transaction.
  HRESULT Flush();
  // A last attempt when the host closes; what still waits is reported and dropped, and later
  // writes go out on the log's own connection only.
  void Close();
  // How many writes wait.
  size_t Waiting() const { return m_waiting.size(); }
  // How many jobs were ended with an error status (result 2) through this writer so far, whether
  // or not the end could be written.
  LONG FailedJobs() const { return m_failedJobs; }

 private:
  using Write = std::function<void(const _ConnectionPtr& connection, std::vector<Job*>& numbered)>;
  HRESULT Add(Write write);
  _ConnectionPtr Connection();

  _ConnectionPtr m_product;
  _ConnectionPtr m_connection;  // the log's own, opened at the first write
  std::function<void(const std::wstring&)> m_report;
  std::deque<Write> m_waiting;
  bool m_flushing = false;
  LONG m_failedJobs = 0;
};

class CJobLogStore : public IHxJobLogStore {
 public:
  CJobLogStore();
  virtual ~CJobLogStore();
  void* FlgGetInterface(REFIID iid);

  STDMETHOD(StartJob)(LONG type, LONG subtype) override;
  STDMETHOD(EndJob)(LONG count, LONG result) override;
  STDMETHOD(AddString)(DATE time, BSTR text, LONG status) override;
  STDMETHOD(DeleteAll)() override;
  STDMETHOD(Started)(VARIANT_BOOL* started) override;

 private:
  std::shared_ptr<JobLogWriter> m_writer;  // the current host's, taken at creation
  std::shared_ptr<JobLogWriter::Job> m_job;  // the open job; null when none
};

// Writes the stored jobs, newest first: id, start, end, subtype, count, result and, with
// `describe`, the subtype's description.
void ListJobs(const _ConnectionPtr& connection, std::wostream& out,
              const std::function<std::wstring(LONG subtype)>& describe = {});
// Writes one job's lines with their times and statuses; false when there is no such job.
bool ShowJob(const _ConnectionPtr& connection, LONG job, std::wostream& out);

}  // namespace host
