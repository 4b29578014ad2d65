#pragma once
// What the tests set and what the connector was asked, for the whole process (every connector
// and session object shares it until Reset).
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "testing/site_connector/reference_connector.h"
#include "testing/site_connector/sitedata.h"

namespace reference {

struct Site {
  LONG number;
  std::wstring name;
};

// A slot made to fail: its HRESULT and the description of its error information (empty: the
// connector's own text).
struct Failure {
  HRESULT hr = S_OK;
  std::wstring description;
};

inline constexpr LONGLONG kDefaultUserId = 9007199254740993LL;  // above 2^53: no double holds it

struct Script {
  std::map<LONG, HRESULT> failures;          // of IAuctionSiteAccount
  std::map<LONG, Failure> sessionFailures;   // of IAuctionSiteConnector
  std::map<LONG, IReferenceSessionHookPtr> hooks;
  bool accept = true;
  std::optional<std::wstring> login, password;
  std::wstring info;
  std::optional<std::wstring> dialogInfo;   // what the last account dialog left
  std::optional<std::vector<Site>> sites;
  LONGLONG userId = kDefaultUserId;
  std::wstring name = L"Sklep wzorcowy";
  std::wstring fullName = L"Anna Wzorcowa";
  bool hasShop = true;
  std::wstring version = kReferenceConnectorVersion;
  std::vector<std::wstring> calls;
  LONG sessions = 0;                       // sessions opened so far
  std::shared_ptr<SiteData> data;          // the reference site; null: none loaded
};

// The process's script, under its mutex.
std::mutex& ScriptMutex();
Script& TheScript();

// The site's data (an empty document, kept from then on, when none was loaded).
std::shared_ptr<SiteData> CurrentSiteData();

}  // namespace reference
