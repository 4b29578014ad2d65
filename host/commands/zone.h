#pragma once
// What the seller-zone commands share: the demonstration account and the report of a failed call.
#include <string>

#include "host/command.h"
#include "host/commands/job_status.h"
#include "platform/ado/ado.h"

namespace host::zone {

// The demonstration account and its seller-zone credentials (the test service that run.sh starts
// knows them: testing/zone_service/demo-accounts.txt).
inline constexpr wchar_t kDemoLogin[] = L"kd_demo";
inline constexpr LONG kDemoServiceProvider = 1;
inline constexpr LONGLONG kDemoServiceUserId = 7000001;
inline constexpr wchar_t kDemoRegistrationId[] = L"VANTOR-DEMO";
// The demonstration account's access key as the access-key converter stores it ("demo").
inline constexpr wchar_t kDemoAccessKey[] = L"ak1:3e3f3735";
// The site it works on (the site's number at its service, and its name).
inline constexpr LONG kDemoSite = 1;
inline constexpr wchar_t kDemoSiteName[] = L"Serwis demonstracyjny";

// The first column of the first row as a long (0 without a row or for NULL); raises.
LONG Long(const _ConnectionPtr& cn, const wchar_t* sql);
// The demonstration account's id, made with its site and credentials when they are missing.
LONG DemoAccount(const _ConnectionPtr& cn);
// What the user is told of a failed call: what failed, the code, then the thread's error
// description (and, for a call refused by the lock `lock`, who holds it). Exit status 1.
int Failed(const std::wstring& what, HRESULT hr, const LockKey* lock = nullptr);

// Stores the seller-zone service's address ("host[:port]") in the connector's settings; false
// when it cannot be written.
bool SetServiceHost(const std::wstring& host);

// Gives the demonstration account `account` the demonstration's transactions when it has none
// (nor pages of deleted ones), and says so.
void SeedDemoTransactions(CommandContext& context, LONG account);
// The status manager's four jobs over every active account whose seller zone is on; prints its
// closing line when it ran.
RequestEnd Synchronize(CommandContext& context);
// `vantor zone sync`: the demonstration account's seller-zone synchronisation (all four jobs),
// after giving a database without its transactions the demonstration's ones.
int Sync(CommandContext& context, LONG account);

}  // namespace host::zone
