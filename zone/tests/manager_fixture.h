#pragma once
// What the status manager's tests share: the host stand-in over a product database of its own
// (behind a scripted instance that can cancel on the N-th ask and records the progress bar),
// Vorlen registered as callers find it, the account objects, the test service over HTTPS, and
// readers of the job log the runs wrote.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/support/temp_folder.h"
#include "testing/zone_service/ZoneServer.h"
#include "zone/statusmgr.h"

namespace vorlen::test {

// The time the tests' clock stands at: Saturday 15 June 2024, 12:00 in Warsaw.
inline constexpr int kYear = 2024, kMonth = 6, kDay = 15;

// Accounts of the database: 1 and 2 use the seller zone (sellers 1000 and 1001 of the service,
// whose auctions "1000-1".."1000-3" and "1001-1".. have the bidders 501..503 and 601..603),
// 3 does not.
inline constexpr LONG kAccountA = 1, kAccountB = 2, kAccountOff = 3;

// The manager object behind a manager made through COM (this build's library).
CCoStatusMgr& Manager(const IStatusMgrPtr& manager);

struct LogLine {
  LONG status;
  std::wstring text;
};
struct Job {
  LONG id = 0;
  LONG subtype = 0;
  LONG count = -1;   // -1: not ended
  LONG result = -1;  // -1: not ended
  std::vector<LogLine> lines;
  // The texts of the lines, joined by "\n" (CR LF inside a line kept).
  std::wstring Text() const;
  bool Has(const std::wstring& text) const;
  // Whether a line (of `status`, when given) begins with `prefix`.
  bool HasPrefix(const std::wstring& prefix, LONG status = -1) const;
};

class ManagerTest : public ::testing::Test {
 public:
  // What a process of the tests sets up before its host: the time zone and the tests' time, a
  // registry in memory with Vorlen, Lotrix and the access-key converter, COM, the test
  // authority trusted. False when a library cannot be registered.
  static bool PrepareProcess();
  // Points the connector's profile at the test service on this machine's `port`.
  static void UseService(int port);

 protected:
  void SetUp() override;
  void TearDown() override;

  // Forgets the host's events and the recorded calls (of the set-up, say).
  void ClearEventsAndCalls();

  // --- the database
  void Exec(const std::wstring& sql);
  // The first column of the first row: -1 without a row, -2 for NULL.
  LONG Long(const std::wstring& sql);
  std::wstring Text(const std::wstring& sql);
  void SetSetting(const wchar_t* section, const wchar_t* key, const wchar_t* value);
  void SetLogLevel(LONG level);

  // A customer (buyer id at the service), an auction of an account.
  void AddCustomer(LONG id, LONGLONG buyer, const wchar_t* name);
  void AddAuction(LONG id, const wchar_t* number, LONG account, LONG service = 1);
  // A transaction of an account: created a day ago, last modified now, not completed, with no
  // page; `auction` 0 for none. `more` sets further columns ("tr_Complete = 2, ...").
  void AddTransaction(LONG id, LONG account, LONG customer, LONG auction, const std::wstring& more = L"");
  // A transaction of account A whose page the open job opens: one of the bids (501, "1000-1"),
  // (502, "1000-2"), (503, "1000-3") by its id (customers and auctions 1 to 3).
  void AddPurchase(LONG id);
  // A local date-time literal 'YYYY-MM-DD HH:MM:SS' of the tests' day shifted by days and seconds.
  static std::wstring DayText(int days, int seconds = 0);
  // Makes the host list these rows ("(reg_id, reg_name, site_id, site_name, subsite_id,
  // service_id), ...", regsite_id the same as subsite_id) in place of the accounts' sites: rows
  // no account table holds, such as an account without its registration or a row without an
  // account.
  void ReplaceHostList(const std::wstring& rows);

  // --- the manager, as callers create it (CLSCTX 23, OleRun, IStatusMgr)
  IStatusMgrPtr NewManager();
  // Makes the connector's class unknown (callers then get no connector).
  void RemoveConnectorRegistration();

  // --- what the runs left
  std::vector<Job> Jobs(LONG subtype = 0);
  Job LastJob(LONG subtype);
  std::vector<std::wstring> Events(const wchar_t* kind);
  // The host-state calls as "0"/"1".
  std::vector<std::wstring> States() { return Events(L"state"); }
  LONG LockRows() { return Long(L"SELECT COUNT(*) FROM kd_blokada"); }

  // --- the service
  // Opens a page of the account's seller for one bid, as an earlier run would have (its id).
  int OpenServicePage(LONGLONG seller, const std::string& auction, LONGLONG buyer);
  bool ServicePageClosed(int page);
  int ServicePages();

  std::unique_ptr<testtemp::TempFolder> folder;  // the database's
  std::wstring path;
  std::shared_ptr<doubles::Recorder> recorder;
  std::unique_ptr<host::Host> host;
  doubles::ScriptedInstance* script = nullptr;
  IFlgInstancePtr instance;
  zone_service::Model model;
  std::unique_ptr<zone_service::Server> server;
};

}  // namespace vorlen::test
