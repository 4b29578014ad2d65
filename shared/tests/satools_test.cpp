#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shared/satools.h"
#include "shared/tests/fixture.h"
#include "testing/support/waits.h"

namespace {

using testutil::Exec;
using testutil::HostTest;

class SaTools : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Exec(cn, L"CREATE TABLE sl_ServiceProvider (ss_Id int NOT NULL PRIMARY KEY, ss_ProgId nvarchar(255) NULL, "
             L"ss_AuctionProgId nvarchar(255) NULL, ss_TemplateProgId nvarchar(255) NULL)");
    Exec(cn, L"INSERT INTO sl_ServiceProvider VALUES (1, 'Vantor.NoSuchConnector', 'Vantor.NoSuchAuction', NULL)");
    Exec(cn, L"CREATE TABLE au (au_Id int NOT NULL PRIMARY KEY, au_Provider int NULL)");
    Exec(cn, L"INSERT INTO au VALUES (10, 1)");
    Exec(cn, L"CREATE VIEW vw_AuctionProgId AS SELECT au_Id, ss_AuctionProgId FROM au "
             L"JOIN sl_ServiceProvider ON ss_Id = au_Provider");
    Exec(cn, L"CREATE VIEW vw_AuctionTemplateProgId AS SELECT au_Id, ss_TemplateProgId FROM au "
             L"JOIN sl_ServiceProvider ON ss_Id = au_Provider");
  }
};

TEST_F(SaTools, ProgIdsFromTheProviderAndThroughTheViews) {
  EXPECT_STREQ(CHxSaTools::GetConnectorProgid(1), L"Vantor.NoSuchConnector");
  EXPECT_STREQ(CHxSaTools::GetAuctionProgid(1), L"Vantor.NoSuchAuction");
  EXPECT_STREQ(CHxSaTools::GetAuctionProgidEx(10), L"Vantor.NoSuchAuction");
  EXPECT_TRUE(CHxSaTools::GetAuTemplProgid(1).IsEmpty());    // NULL
  EXPECT_TRUE(CHxSaTools::GetAuTemplProgidEx(10).IsEmpty());
  EXPECT_TRUE(CHxSaTools::GetAuctionProgidEx(11).IsEmpty());  // not in the view
  EXPECT_TRUE(CHxSaTools::GetConnectorProgid(2).IsEmpty());   // no such provider
}

TEST_F(SaTools, UnregisteredOrMissingProgIdsGiveTheNullClassAndCreationRaises) {
  EXPECT_TRUE(CHxSaTools::GetConnectorClsid(1) == GUID_NULL);
  EXPECT_TRUE(CHxSaTools::GetAuTemplClsid(1) == GUID_NULL);
  EXPECT_TRUE(CHxSaTools::GetAuTemplClsidEx(10) == GUID_NULL);
  EXPECT_THROW(CHxSaTools::GetAuTempl(1), _com_error);
  EXPECT_THROW(CHxSaTools::GetConnector(1), _com_error);
  // Without a database everything is empty, nothing raises.
  CHxInstance::SetInstance(nullptr);
  EXPECT_TRUE(CHxSaTools::GetAuctionProgid(1).IsEmpty());
  EXPECT_TRUE(CHxSaTools::GetAuctionClsidEx(10) == GUID_NULL);
}

// The desktop's opener is found on the search path; a stand-in there writes its arguments, one
// line a call, into a pipe whose writing end every opener inherits.
class OpenUrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantor-openurl-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_EQ(pipe2(calls, O_CLOEXEC), 0);
    ASSERT_EQ(fcntl(calls[1], F_SETFD, 0), 0);  // the writing end goes on to the openers
    std::ofstream script(dir + "/xdg-open");
    script << "#!/bin/sh\nline=$(printf '%s|' \"$#\" \"$@\")\nprintf '%s\\n' \"$line\" >> /dev/fd/" << calls[1]
           << "\n";
    script.close();
    chmod((dir + "/xdg-open").c_str(), 0755);
    const char* old = std::getenv("PATH");
    path = old ? old : "";
    setenv("PATH", (dir + ":" + path).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", path.c_str(), 1);
    for (int fd : calls)
      if (fd >= 0) close(fd);
    std::filesystem::remove_all(dir);
  }
  // The openers' calls, one line each ("count|arg|"), once every opener started so far has ended
  // (this process's writing end closed, the pipe's last writer is gone).
  std::vector<std::string> Calls() {
    close(calls[1]);
    calls[1] = -1;
    std::string text;
    EXPECT_TRUE(testutil::ReadToEnd(calls[0], text, 20000)) << "an opener did not end";
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string dir, path;
  int calls[2] = {-1, -1};
};

TEST_F(OpenUrlTest, TheAddressReachesTheOpenerAsOneArgumentAndNoChildIsLeft) {
  CHxSaTools::OpenUrl(nullptr);
  CHxSaTools::OpenUrl(L"");
  CHxSaTools::OpenUrl(L"--help");  // would be read as an option
  CHxSaTools::OpenUrl(L"http://example.test/a b?x=1&y='2';echo");
  // Nothing of ours is left running or unreaped.
  int status = 0;
  errno = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  // Every opener the calls started has ended: exactly one was.
  std::vector<std::string> calls = Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], "1|http://example.test/a b?x=1&y='2';echo|");
}

class ErpTools : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    zephra::SetTipsPrinted(false);
    zephra::ClearTips();
    connector = host->NewErpConnector(holder);
    host->instance->erpAvailable = true;
    host->instance->erpActiveId = _variant_t(LONG{3});
    host->instance->erpActiveConnector = holder;
    host->instance->erpActiveEntry = holder;
    host->instance->erpEntries[8] = holder;
    child = host->NewErpConnector(childHolder);
    connector->child = childHolder;
  }
  IUnknownPtr holder, childHolder;
  doubles::FakeErpConnector* connector = nullptr;
  doubles::FakeErpConnector* child = nullptr;
};

TEST_F(ErpTools, AvailableOnlyWithAnActiveConnectorId) {
  EXPECT_TRUE(CEPTools::EPAvaiable());
  host->instance->erpActiveId = _variant_t(L"3");
  EXPECT_FALSE(CEPTools::EPAvaiable());
  host->instance->erpActiveId = _variant_t(LONG{3});
  host->instance->erpAvailable = false;
  EXPECT_FALSE(CEPTools::EPAvaiable());
  host->instance->erpAvailable = true;
  host->recorder->FailOn(L"IHxErpHost::GetActiveConnectorId", E_FAIL);
  EXPECT_FALSE(CEPTools::EPAvaiable());
  host->instance->hidden.insert(L"IHxAppServices");
  EXPECT_FALSE(CEPTools::EPAvaiable());
}

TEST_F(ErpTools, RefusedAccessShowsTheReason) {
  host->instance->readiness = E_ACCESSDENIED;
  host->instance->readinessReason = L"trwa zamykanie dnia";
  DSIConnectorPtr out;
  _variant_t id;
  EXPECT_FALSE(CEPTools::GetActiveConnector(out, id, true));
  EXPECT_FALSE(out);
  auto tips = zephra::RecordedTips();
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(tips[0].caption, L"Odmowa dostępu");
  EXPECT_EQ(tips[0].text, L"Dostęp do zewnętrznej aplikacji nie jest możliwy:\ntrwa zamykanie dnia");
  EXPECT_EQ(tips[0].flags, KD_TIP_ICONINFORMATION);
}

TEST_F(ErpTools, ConnectsOnRequest) {
  DSIConnectorPtr out;
  _variant_t id;
  EXPECT_TRUE(CEPTools::GetActiveConnector(out, id, false));
  EXPECT_EQ(host->recorder->Count(L"DSIConnector::Connect"), 0);
  EXPECT_EQ(id.vt, VT_I4);
  EXPECT_TRUE(CEPTools::GetActiveConnector(out, id, true));
  EXPECT_EQ(host->recorder->Count(L"DSIConnector::Connect"), 1);
  EXPECT_EQ(Last(L"DSIConnector::SetConnectorId"), L"3");

  connector->connected = false;
  host->recorder->FailOn(L"DSIConnector::Connect", DSI_E_CONNECT_REFUSED, 1);
  EXPECT_FALSE(CEPTools::GetActiveConnector(out, id, true));
  connector->connectSucceeds = false;
  EXPECT_FALSE(CEPTools::GetActiveConnector(out, id, true));  // still not connected afterwards

  host->instance->erpActiveConnector = nullptr;
  EXPECT_FALSE(CEPTools::GetActiveConnector(out, id, false));
}

TEST_F(ErpTools, ConnectorObjects) {
  DSIProductsPtr products;
  DSICustomersPtr customers;
  DSIDefaultsPtr defaults;
  DSIDocumentsPtr documents;
  _variant_t id;
  // The child double answers none of the object interfaces: nothing is handed out.
  EXPECT_FALSE(CEPTools::GetConnectedProducts(products));
  EXPECT_FALSE(CEPTools::GetDocs(documents, id, true));
  connector->child = nullptr;
  EXPECT_FALSE(CEPTools::GetConnectedCustomers(customers));
  EXPECT_FALSE(CEPTools::GetDefaults(defaults));
  host->recorder->FailOn(L"DSIConnector::GetProducts", E_FAIL);
  EXPECT_FALSE(CEPTools::GetConnectedProducts(products));
}

// With the connector answering its objects, each getter hands its object out.
TEST_F(ErpTools, ConnectorObjectsAreHandedOut) {
  IUnknownPtr objects = doubles::FakeErpObjects::New();
  connector->child = objects;
  DSIProductsPtr products;
  DSICustomersPtr customers;
  DSIDefaultsPtr defaults;
  DSIDocumentsPtr documents;
  _variant_t id;
  EXPECT_TRUE(CEPTools::GetDocs(documents, id, false));
  EXPECT_TRUE(documents);
  EXPECT_EQ(id.vt, VT_I4);
  EXPECT_EQ(id.lVal, 3);
  EXPECT_EQ(host->recorder->Count(L"DSIConnector::Connect"), 0);
  EXPECT_TRUE(CEPTools::GetConnectedProducts(products));
  EXPECT_TRUE(products);
  EXPECT_EQ(host->recorder->Count(L"DSIConnector::Connect"), 1);  // connected first
  EXPECT_TRUE(CEPTools::GetConnectedCustomers(customers));
  EXPECT_TRUE(customers);
  EXPECT_TRUE(CEPTools::GetDefaults(defaults));
  EXPECT_TRUE(defaults);
  EXPECT_TRUE(IUnknownPtr(defaults) == objects);
  // A failing getter releases what the out-parameter held.
  host->recorder->FailOn(L"DSIConnector::GetDefaults", E_FAIL);
  EXPECT_FALSE(CEPTools::GetDefaults(defaults));
  EXPECT_FALSE(defaults);
}

TEST_F(ErpTools, DocumentsForAUserComeFromTheConnectorConnectedForHim) {
  connector->child = doubles::FakeErpObjects::New();
  connector->connected = true;
  connector->user = 5;
  DSIDocumentsPtr documents;
  _variant_t id;
  EXPECT_TRUE(CEPTools::GetDocsForUser(5, documents, id));
  EXPECT_TRUE(documents);
  EXPECT_EQ(host->recorder->Count(L"DSIConnector::Disconnect"), 0);
  EXPECT_TRUE(CEPTools::GetDocsForUser(6, documents, id));
  EXPECT_TRUE(documents);
  EXPECT_EQ(host->recorder->Count(L"DSIConnector::Disconnect"), 1);
  EXPECT_EQ(Last(L"DSIConnector::SetCurrentUser"), L"6");
  EXPECT_EQ(Last(L"DSIConnector::SetConnectorId"), L"3");
  // Refused for another user: nothing is handed out.
  host->recorder->FailOn(L"DSIConnector::Connect", DSI_E_CONNECT_REFUSED, 1);
  EXPECT_FALSE(CEPTools::GetDocsForUser(7, documents, id));
  EXPECT_FALSE(documents);
}

TEST_F(ErpTools, ObjectsOfAnAccountsConnector) {
  connector->child = doubles::FakeErpObjects::New();
  DSIProductsPtr products;
  DSICustomersPtr customers;
  // The active connector's id: through the active connector.
  EXPECT_TRUE(CEPTools::GetProductForRegistration(_variant_t(LONG{3}), products));
  EXPECT_TRUE(products);
  EXPECT_EQ(host->recorder->Count(L"IHxErpHost::GetConnectorEntry"), 0);
  // Another id: through its entry.
  EXPECT_TRUE(CEPTools::GetCustomersForRegistration(_variant_t(LONG{8}), customers));
  EXPECT_TRUE(customers);
  EXPECT_EQ(Last(L"IHxErpHost::GetConnectorEntry"), L"8");
}

TEST_F(ErpTools, ConnectorForAnotherUserReconnects) {
  connector->connected = true;
  connector->user = 5;
  DSIConnectorPtr out;
  _variant_t id;
  EXPECT_TRUE(CEPTools::GetActiveConnectorForUser(5, out, id));
  EXPECT_EQ(host->recorder->Count(L"DSIConnector::Disconnect"), 0);
  EXPECT_TRUE(CEPTools::GetActiveConnectorForUser(6, out, id));
  EXPECT_EQ(host->recorder->Count(L"DSIConnector::Disconnect"), 1);
  EXPECT_EQ(Last(L"DSIConnector::SetCurrentUser"), L"6");
  EXPECT_TRUE(connector->connected);
  connector->connected = false;
  host->recorder->FailOn(L"DSIConnector::Connect", DSI_E_CONNECT_REFUSED, 1);
  EXPECT_FALSE(CEPTools::GetActiveConnectorForUser(6, out, id));
}

TEST_F(ErpTools, ConnectorOfAnAccount) {
  DSIProductsPtr products;
  // Another connector id: its entry's connector is connected first.
  EXPECT_FALSE(CEPTools::GetProductForRegistration(_variant_t(LONG{8}), products));
  EXPECT_EQ(Last(L"IHxErpHost::GetConnectorEntry"), L"8");
  EXPECT_TRUE(connector->connected);
  DSICustomersPtr customers;
  EXPECT_FALSE(CEPTools::GetCustomersForRegistration(_variant_t(LONG{9}), customers));  // no entry
}

}  // namespace
