#include "zone/tests/pagedata_fixture.h"

#include <map>
#include <mutex>

#include "host/objects.h"
#include "zone/tests/fixtures.h"

namespace vorlen::test {
namespace {

std::mutex g_mutex;
std::map<std::string, HRESULT> g_failing;

// The failure asked for the call `name`, else S_OK.
HRESULT Failure(const char* name) {
  std::lock_guard lock(g_mutex);
  auto it = g_failing.find(name);
  return it == g_failing.end() ? S_OK : it->second;
}

#define VANTOR_FAIL_ON(name) \
  if (HRESULT failure = Failure(#name); FAILED(failure)) return failure

// The host's transaction, with calls that fail on demand.
class CFailingTransaction : public host::CHostTransaction {
 public:
  STDMETHOD(GetAddress)(LONG kind, IUnknown** address) override {
    VANTOR_FAIL_ON(GetAddress);
    return CHostTransaction::GetAddress(kind, address);
  }
  STDMETHOD(GetPositions)(IUnknown** positions) override {
    VANTOR_FAIL_ON(GetPositions);
    return CHostTransaction::GetPositions(positions);
  }
  STDMETHOD(GetPositionData)(VARIANT key, LONG mode, BSTR* name, VARIANT* extra1, VARIANT* extra2, CY* quantity,
                             CY* price) override {
    VANTOR_FAIL_ON(GetPositionData);
    return CHostTransaction::GetPositionData(key, mode, name, extra1, extra2, quantity, price);
  }
  STDMETHOD(GetPayment)(CY* amount) override {
    VANTOR_FAIL_ON(GetPayment);
    return CHostTransaction::GetPayment(amount);
  }
  STDMETHOD(GetCompletionState)(LONG* state) override {
    VANTOR_FAIL_ON(GetCompletionState);
    return CHostTransaction::GetCompletionState(state);
  }
  STDMETHOD(GetIsGroup)(VARIANT_BOOL* group) override {
    VANTOR_FAIL_ON(GetIsGroup);
    return CHostTransaction::GetIsGroup(group);
  }
};

// The host's package, with calls that fail on demand.
class CFailingPackage : public host::CHostPackage {
 public:
  STDMETHOD(GetItemName)(LONG index, BSTR* name) override {
    VANTOR_FAIL_ON(GetItemName);
    return CHostPackage::GetItemName(index, name);
  }
  STDMETHOD(GetTrackingLink)(BSTR* link) override {
    VANTOR_FAIL_ON(GetTrackingLink);
    return CHostPackage::GetTrackingLink(link);
  }
};

#undef VANTOR_FAIL_ON

std::vector<CFlgClassRegistration> g_classes;

}  // namespace

void PageDataTest::SetUp() {
  ManagerTest::SetUp();
  // Only account A is walked unless a test says otherwise.
  Exec(L"UPDATE reg__Registration SET reg_ST_StatusesServiceActive = 0 WHERE reg_Id = 2");
  // Accounts with their access keys pass their check when the job saves their last synchronisation.
  Exec(L"UPDATE reg__Registration SET reg_Accesskey = 'ak1:2a3b2e'");
  g_classes.emplace_back(__uuidof(HxTransaction), CFlgComClassFactory::For<CFailingTransaction>());
  g_classes.emplace_back(__uuidof(HxPackage), CFlgComClassFactory::For<CFailingPackage>());
}

void PageDataTest::TearDown() {
  g_classes.clear();
  ClearHostFailures();
  ManagerTest::TearDown();
}

void PageDataTest::ClearHostFailures() {
  std::lock_guard lock(g_mutex);
  g_failing.clear();
}

void PageDataTest::FailHostCall(const std::string& name, HRESULT code) {
  std::lock_guard lock(g_mutex);
  g_failing[name] = code;
}

int PageDataTest::AddPagedPurchase(LONG id) {
  AddPurchase(id);
  const LONG bid = (id - 1) % 3 + 1;
  const int page = OpenServicePage(1000, "1000-" + std::to_string(bid), 500 + bid);
  Exec(L"UPDATE tr__Transaction SET tr_StatusPageId = " + std::to_wstring(page) + L", tr_StatusPageAddress = 's/" +
       std::to_wstring(page) + L"', tr_StatusDataModified = 1 WHERE tr_Id = " + std::to_wstring(id));
  return page;
}

void PageDataTest::AddAddress(LONG transaction, LONG kind, const std::wstring& city, bool skipBilling) {
  const std::wstring t = std::to_wstring(transaction), k = std::to_wstring(kind);
  Exec(L"INSERT INTO tr_Address (ta_Id, ta_TransId, ta_Kind, ta_Name, ta_FirstLine, ta_SecondLine, ta_ZipCode, "
       L"ta_City, ta_Country, ta_Company, ta_TaxNumber, ta_SkipBilling) VALUES (" + t + k + L", " + t + L", " + k +
       L", 'Nazwa " + k + L"', 'ul. Polna " + k + L"', 'lok. " + k + L"', '9" + k + L"-100', '" + city +
       L"', 'Polska', 'Firma " + k + L"', '" + k + L"11222333', " + (skipBilling ? L"1" : L"0") + L")");
}

void PageDataTest::AddPosition(LONG id, LONG transaction, const wchar_t* name, const wchar_t* quantity,
                               const wchar_t* price) {
  Exec(L"INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Order, tp_Name, tp_Quantity, tp_Price) VALUES (" +
       std::to_wstring(id) + L", " + std::to_wstring(transaction) + L", " + std::to_wstring(id) + L", '" + name +
       L"', " + quantity + L", " + price + L")");
}

void PageDataTest::AddPackage(LONG id, LONG transaction, const wchar_t* link, bool modified, const std::wstring& more) {
  Exec(L"INSERT INTO pc__Package (pc_Id, pc_TransId, pc_RegId, pc_Symbol, pc_TrackingLink, pc_StatusDataModified) "
       L"VALUES (" + std::to_wstring(id) + L", " + std::to_wstring(transaction) + L", 1, 'PKG-" + std::to_wstring(id) +
       L"', " + (link ? L"'" + std::wstring(link) + L"'" : std::wstring(L"NULL")) + L", " + (modified ? L"1" : L"0") +
       L")");
  if (!more.empty()) Exec(L"UPDATE pc__Package SET " + more + L" WHERE pc_Id = " + std::to_wstring(id));
}

void PageDataTest::AddPackageItem(LONG id, LONG package, LONG order, const wchar_t* name, LONG quantity,
                                  const wchar_t* price) {
  Exec(L"INSERT INTO pc_PackageItem (pi_Id, pi_PackageId, pi_Order, pi_Name, pi_Quantity, pi_Price) VALUES (" +
       std::to_wstring(id) + L", " + std::to_wstring(package) + L", " + std::to_wstring(order) + L", '" + name + L"', " +
       std::to_wstring(quantity) + L", " + price + L")");
}

zone_service::Page PageDataTest::PageAt(int id) {
  auto lock = model.Lock();
  return model.pages()[id];
}

LONG PageDataTest::Flag(const std::wstring& sql) {
  const LONG v = Long(sql);  // a bit may read as -1
  return v == -2 ? -2 : v != 0;
}

HRESULT PageDataTest::Run(LONG flags) {
  IStatusMgrPtr manager = NewManager();
  return manager ? manager->Synchronize(flags) : E_POINTER;
}

}  // namespace vorlen::test
