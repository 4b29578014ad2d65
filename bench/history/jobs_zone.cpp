// The four seller-zone jobs (close, open, send, receive) of one synchronisation over pages of
// recent purchases of the seller, against the test service over HTTPS, beside the same service
// calls made with the bare generated client (the synchronisation's baseline).
#include "bench/history/history.h"
#include "bench/support/zone_sync.h"
#include "platform/http/wininet.h"
#include "zone/vorlen.h"

namespace history {
namespace {

// Ids of the purchases whose pages a run opens, past any the history holds (each run its own).
constexpr long kFirstPurchase = 20000000;

Result Synchronisation(Context& c) {
  Result r;
  r.records = c.records;
  const long first = kFirstPurchase + c.serial * 10000;
  if (c.records >= 10000) {
    r.failure = "at most 9,999 pages";
    return r;
  }
  testing_net::Certificates certificates;
  InternetSetTrustedCertificates(certificates.CaFile().c_str());
  {
    benchsupport::HttpsService service(certificates, static_cast<int>(c.records));
    if (!service.ok) {
      r.failure = "no test service";
      return r;
    }
    benchsupport::UseZoneService(service);
    // The pages of the runs before are complete: no job of this run has anything to do with them.
    c.connection->Execute(_bstr_t(Named(L"UPDATE tr__Transaction SET tr_Complete = 2 WHERE tr_Id > ", kFirstPurchase).c_str()),
                          nullptr, adCmdText | adExecuteNoRecords);
    benchsupport::SeedZonePurchases(c.connection, first, static_cast<int>(c.records));
    IUnknown* raw = nullptr;
    if (FAILED(CoCreateInstance(CLSID_CoStatusMgr, nullptr, CLSCTX_ALL, __uuidof(IUnknown),
                                reinterpret_cast<void**>(&raw)))) {
      r.failure = "no status manager";
      return r;
    }
    IUnknownPtr object(raw, false);
    IStatusMgrPtr manager(object);
    if (!manager || FAILED(OleRun(object))) {
      r.failure = "no status manager";
      return r;
    }
    const double start = Now();
    const HRESULT hr = manager->Synchronize(sjAll);
    r.system = Since(start);
    _RecordsetPtr done = c.connection->Execute(
        _bstr_t(Named("SELECT COUNT(*) FROM tr__Transaction WHERE tr_StatusPageId IS NOT NULL AND "
                      "tr_StatusDataModified = 0 AND tr_Id > ", first)
                    .c_str()),
        nullptr, adCmdText);
    const long pages = done->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
    if (hr != S_OK || pages != c.records)
      r.failure = Named("pages opened and sent: ", pages) + Named(" of ", c.records);
  }
  r.baseline = benchsupport::TimeBareCalls(certificates, static_cast<int>(c.records), Now);
  if (r.baseline < 0) r.failure = "a bare call failed";
  InternetSetTrustedCertificates(nullptr);
  return r;
}

}  // namespace

std::vector<Job> ZoneJobs() { return {{"seller zone: four jobs", Synchronisation}}; }

}  // namespace history
