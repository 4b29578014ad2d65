#pragma once
// The host's job-log store: jobs and their dated lines kept in the product database.
#include <functional>
#include <iosfwd>
#include <string>

#include "framework/zephra.h"

namespace host {

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
  _ConnectionPtr m_connection;  // the current host's database, taken at creation
  LONG m_job = 0;               // the open job's id; 0 when none
};

// Writes the stored jobs, newest first: id, start, end, subtype, count, result and, with
// `describe`, the subtype's description.
void ListJobs(const _ConnectionPtr& connection, std::wostream& out,
              const std::function<std::wstring(LONG subtype)>& describe = {});
// Writes one job's lines with their times and statuses; false when there is no such job.
bool ShowJob(const _ConnectionPtr& connection, LONG job, std::wostream& out);

}  // namespace host
