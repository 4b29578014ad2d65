#pragma once
// What the send and receive jobs' tests share: transactions of account A with status pages on
// the test service (their buyers, auctions, addresses, packages and positions), what a page on
// the service holds, and the host's transaction and package objects failing a call on demand.
#include <set>
#include <string>

#include "zone/tests/manager_fixture.h"

namespace vorlen::test {

// The code of a host call failing on demand, which has a system text ("Access is denied."), and
// one that has none.
inline constexpr HRESULT kHostRefused = E_ACCESSDENIED;
inline constexpr HRESULT kHostBroken = static_cast<HRESULT>(0x80041234u);

class PageDataTest : public ManagerTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A purchase of account A (see AddPurchase) whose page is open on the service; its page data
  // is marked modified. The page's id.
  int AddPagedPurchase(LONG id);
  // An address of a transaction (kind 3 billing/document, 2 delivery).
  void AddAddress(LONG transaction, LONG kind, const std::wstring& city, bool skipBilling = false);
  void AddPosition(LONG id, LONG transaction, const wchar_t* name, const wchar_t* quantity, const wchar_t* price);
  void AddPackage(LONG id, LONG transaction, const wchar_t* link, bool modified, const std::wstring& more = L"");
  void AddPackageItem(LONG id, LONG package, LONG order, const wchar_t* name, LONG quantity, const wchar_t* price);

  // What the service holds of a page.
  zone_service::Page PageAt(int id);
  LONG Flag(const std::wstring& sql);

  // Host calls that fail (with `code`) by name: "GetAddress", "GetPositionData", "GetItemName"...
  void FailHostCall(const std::string& name, HRESULT code = kHostRefused);
  void ClearHostFailures();

  // The run of `flags` by a new manager.
  HRESULT Run(LONG flags);
};

}  // namespace vorlen::test
