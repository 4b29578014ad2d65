// The reference connector's session: opened per account, it holds the manager's callback and the
// current site, records every call, fails or runs hooked code on demand, answers E_NOTIMPL on the
// slots it does not serve yet; and the reference site's data: loaded from a file or a text,
// unknown sections ignored, malformed documents refused with the place named, written back.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "auctions/sync/containers.h"
#include "auctions/tests/accounts_fixture.h"
#include "auctions/tests/session_hook.h"
#include "testing/site_connector/sitedata.h"

namespace {

using accounts_test::AccountsTest;
using accounts_test::TakeError;
using accounts_test::Text;

// The manager's side: a callback the session holds.
class TestSync final : public LotrixSync {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(LotrixSync)) return E_NOINTERFACE;
    *out = static_cast<LotrixSync*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP IsTerminated(VARIANT_BOOL* terminated) override {
    *terminated = VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP AuctionReceived(_Recordset*, _Recordset*, VARIANT_BOOL) override { return S_OK; }
  STDMETHODIMP TransactionReceived(_Recordset*) override { return S_OK; }
  STDMETHODIMP CustomerReceived(_Recordset*) override { return S_OK; }
  STDMETHODIMP CommentReceived(_Recordset*) override { return S_OK; }
  STDMETHODIMP CategoriesProgress(LONG) override { return S_OK; }
  ULONG refs = 1;
};

// Code around a slot: Before answers `refuse`, both note what they saw.
class TestHook final : public IReferenceSessionHook {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IReferenceSessionHook)) return E_NOINTERFACE;
    *out = static_cast<IReferenceSessionHook*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP Before(IUnknown* session, LONG slot) override {
    seen.push_back(L"before " + std::to_wstring(slot) + L" site " + Site(session));
    return refuse;
  }
  STDMETHODIMP After(IUnknown* session, LONG slot, HRESULT result) override {
    std::wostringstream line;
    line << L"after " << slot << L" " << std::hex << static_cast<unsigned>(result) << L" site " << Site(session);
    seen.push_back(line.str());
    return S_OK;
  }
  static std::wstring Site(IUnknown* session) {
    IReferenceSessionPtr s(session);
    if (!s) return L"?";
    _variant_t site;
    s->GetRegSite(&site);
    return site.vt == VT_I4 ? std::to_wstring(site.lVal) : L"null";
  }
  HRESULT refuse = S_OK;
  std::vector<std::wstring> seen;
  ULONG refs = 1;
};

_variant_t SiteNumber(LONG value) {
  _variant_t v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

class SessionTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Active) VALUES (5, 1, 'jan', 1)");
    account = LotrixRegistrationPtr(Load(L"Vantor.CoRegistration", 5));
    ASSERT_TRUE(account);
    site = IAuctionSiteAccountPtr(connector);
    ASSERT_TRUE(site);
  }
  void TearDown() override {
    account = nullptr;
    site = nullptr;
    AccountsTest::TearDown();
  }
  IAuctionSiteConnectorPtr Open() {
    IAuctionSiteConnector* raw = nullptr;
    EXPECT_EQ(site->OpenSession(account, &raw), S_OK);
    return IAuctionSiteConnectorPtr(raw, false);
  }
  // The recorded calls from the first one with `prefix` on.
  std::vector<std::wstring> CallsFrom(const std::wstring& prefix) {
    std::vector<std::wstring> calls = ConnectorCalls();
    for (auto it = calls.begin(); it != calls.end(); ++it)
      if (it->rfind(prefix, 0) == 0) return std::vector<std::wstring>(it, calls.end());
    return {};
  }
  std::wstring SiteData() {
    BSTR json = nullptr;
    EXPECT_EQ(connector->GetSiteData(&json), S_OK);
    return Text(json);
  }
  HRESULT SetData(const wchar_t* json) { return connector->SetSiteData(_bstr_t(json)); }

  LotrixRegistrationPtr account;
  IAuctionSiteAccountPtr site;
};

TEST_F(SessionTest, ASessionHoldsTheCallbackAndTheSiteAndRecordsItsCalls) {
  TestSync sync;
  {
    IAuctionSiteConnectorPtr session = Open();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->SetSync(&sync), S_OK);
    EXPECT_EQ(session->SetRegSite(SiteNumber(5)), S_OK);
    EXPECT_EQ(session->SetRegSite(SiteNumber(7)), S_OK);
    IReferenceSessionPtr inspect(session);
    ASSERT_TRUE(inspect);
    LONG number = 0;
    EXPECT_EQ(inspect->GetNumber(&number), S_OK);
    EXPECT_EQ(number, 1);
    _variant_t current;
    EXPECT_EQ(inspect->GetRegSite(&current), S_OK);
    EXPECT_EQ(current.vt, VT_I4);
    EXPECT_EQ(current.lVal, 7);
    LotrixSync* held = nullptr;
    EXPECT_EQ(inspect->GetSync(&held), S_OK);
    EXPECT_EQ(held, static_cast<LotrixSync*>(&sync));
    if (held) held->Release();
    LotrixRegistration* of = nullptr;
    EXPECT_EQ(inspect->GetAccount(&of), S_OK);
    EXPECT_EQ(of, account.GetInterfacePtr());
    if (of) of->Release();
    EXPECT_GT(sync.refs, 1u);  // held while the session lives
    // A second session of the same connector gets the next number.
    IReferenceSessionPtr second(Open());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->GetNumber(&number), S_OK);
    EXPECT_EQ(number, 2);
  }
  EXPECT_EQ(sync.refs, 1u);  // released with the session
  EXPECT_EQ(CallsFrom(L"13 OpenSession"),
            (std::vector<std::wstring>{L"13 OpenSession", L"session 1 39 SetSync set", L"session 1 12 SetRegSite 5",
                                       L"session 1 12 SetRegSite 7", L"13 OpenSession"}));
}

TEST_F(SessionTest, DownloadsWithoutTheManagersCallbackAreRefusedAndEverySlotIsRecorded) {
  IAuctionSiteConnectorPtr session = Open();
  ASSERT_TRUE(session);
  EXPECT_EQ(session->ReceiveTransactions(nullptr, nullptr, nullptr, 2, nullptr), E_UNEXPECTED);
  EXPECT_EQ(session->ReceiveAuctions(nullptr, nullptr, 0x100, 0.0), E_UNEXPECTED);
  EXPECT_EQ(session->ReceiveComments(nullptr, 1, nullptr, 0), E_UNEXPECTED);
  EXPECT_EQ(session->SendAuction(nullptr, nullptr, nullptr), E_POINTER);  // served: no auction is refused
  EXPECT_EQ(CallsFrom(L"session 1"),
            (std::vector<std::wstring>{L"session 1 40 ReceiveTransactions 2 null", L"session 1 41 ReceiveAuctions 0x100",
                                       L"session 1 42 ReceiveComments 1 0", L"session 1 33 SendAuction"}));
}

TEST_F(SessionTest, BadArgumentsAreRefusedAndLeaveTheSessionAsItWas) {
  IAuctionSiteConnectorPtr session = Open();
  ASSERT_TRUE(session);
  EXPECT_EQ(session->SetRegSite(SiteNumber(4)), S_OK);
  EXPECT_EQ(session->SetRegSite(_variant_t(L"4")), E_INVALIDARG);
  EXPECT_EQ(TakeError().iid, __uuidof(IAuctionSiteConnector));
  _variant_t current;
  IReferenceSessionPtr(session)->GetRegSite(&current);
  EXPECT_EQ(current.lVal, 4);
  EXPECT_EQ(session->SetSync(nullptr), E_POINTER);
  // An account without a site passes a null site.
  _variant_t null;
  null.vt = VT_NULL;
  EXPECT_EQ(session->SetRegSite(null), S_OK);
  current.Clear();
  IReferenceSessionPtr(session)->GetRegSite(&current);
  EXPECT_EQ(current.vt, VT_NULL);
  EXPECT_EQ(CallsFrom(L"session 1"),
            (std::vector<std::wstring>{L"session 1 12 SetRegSite 4", L"session 1 12 SetRegSite vt=8",
                                       L"session 1 39 SetSync null", L"session 1 12 SetRegSite null"}));
  IAuctionSiteConnector* raw = reinterpret_cast<IAuctionSiteConnector*>(1);
  EXPECT_EQ(site->OpenSession(nullptr, &raw), E_POINTER);
  EXPECT_EQ(raw, nullptr);
}

TEST_F(SessionTest, SlotsFailOnDemandWithTheirDescription) {
  ASSERT_EQ(connector->FailSlot(13, E_ACCESSDENIED), S_OK);
  IAuctionSiteConnector* raw = nullptr;
  EXPECT_EQ(site->OpenSession(account, &raw), E_ACCESSDENIED);
  EXPECT_EQ(raw, nullptr);
  ASSERT_EQ(connector->FailSlot(13, S_OK), S_OK);

  TestSync sync;  // outlives the session that holds it
  IAuctionSiteConnectorPtr session = Open();
  ASSERT_TRUE(session);
  ASSERT_EQ(connector->FailSessionSlot(39, static_cast<HRESULT>(0x80041234), _bstr_t(L"Serwis nie odpowiada")), S_OK);
  ASSERT_EQ(connector->FailSessionSlot(12, E_FAIL, nullptr), S_OK);
  EXPECT_EQ(session->SetSync(&sync), static_cast<HRESULT>(0x80041234));
  accounts_test::ErrorInfo error = TakeError();
  EXPECT_EQ(error.description, L"Serwis nie odpowiada");
  EXPECT_EQ(error.iid, __uuidof(IAuctionSiteConnector));
  EXPECT_EQ(sync.refs, 1u);  // a failed SetSync holds nothing
  EXPECT_EQ(session->SetRegSite(SiteNumber(1)), E_FAIL);
  EXPECT_NE(TakeError().description.find(L"SetRegSite"), std::wstring::npos);
  // The account side's slot 12 is another slot than the session's.
  EXPECT_EQ(site->FixAccount(account), S_OK);
  ASSERT_EQ(connector->FailSessionSlot(12, S_OK, nullptr), S_OK);
  EXPECT_EQ(session->SetRegSite(SiteNumber(1)), S_OK);
  // Reset forgets the failures and the count of sessions.
  ASSERT_EQ(connector->Reset(), S_OK);
  EXPECT_EQ(session->SetSync(&sync), S_OK);
  LONG number = 0;
  IReferenceSessionPtr(Open())->GetNumber(&number);
  EXPECT_EQ(number, 1);
}

TEST_F(SessionTest, HooksRunAroundASlotAndMayRefuseIt) {
  IAuctionSiteConnectorPtr session = Open();
  ASSERT_TRUE(session);
  TestHook hook;
  ASSERT_EQ(connector->HookSessionSlot(12, &hook), S_OK);
  EXPECT_EQ(session->SetRegSite(SiteNumber(3)), S_OK);
  hook.refuse = static_cast<HRESULT>(0x80049999);
  EXPECT_EQ(session->SetRegSite(SiteNumber(8)), static_cast<HRESULT>(0x80049999));
  EXPECT_EQ(hook.seen, (std::vector<std::wstring>{L"before 12 site null", L"after 12 0 site 3", L"before 12 site 3"}));
  // Refused before its work: the site stays.
  _variant_t current;
  IReferenceSessionPtr(session)->GetRegSite(&current);
  EXPECT_EQ(current.lVal, 3);
  // Other slots run without it; removed, it runs no more and is released.
  EXPECT_EQ(session->SetSync(nullptr), E_POINTER);
  ASSERT_EQ(connector->HookSessionSlot(12, nullptr), S_OK);
  EXPECT_EQ(session->SetRegSite(SiteNumber(9)), S_OK);
  EXPECT_EQ(hook.seen.size(), 3u);
  EXPECT_EQ(hook.refs, 1u);
  // A hook is released by Reset too.
  ASSERT_EQ(connector->HookSessionSlot(41, &hook), S_OK);
  EXPECT_EQ(hook.refs, 2u);
  ASSERT_EQ(connector->Reset(), S_OK);
  EXPECT_EQ(hook.refs, 1u);
}

TEST_F(SessionTest, ASendsHookSeesWhatTheSendWasGivenAndNothingOutsideASend) {
  IAuctionSiteConnectorPtr session = Open();
  ASSERT_TRUE(session);
  const _RecordsetPtr comments = lotrix::CreateCommentsContainer();
  ASSERT_TRUE(comments);
  std::vector<IUnknownPtr> seen;
  const auto look = [&seen](IUnknown* s) {
    IUnknown* raw = nullptr;
    EXPECT_EQ(IReferenceSessionPtr(s)->GetSendObject(&raw), S_OK);
    seen.push_back(IUnknownPtr(raw, false));
  };
  ASSERT_EQ(connector->HookSessionSlot(30, session_hook::SessionHook::Make(
                                               [&](IUnknown* s, LONG) {
                                                 look(s);
                                                 return S_OK;
                                               },
                                               [&](IUnknown* s, LONG, HRESULT) { look(s); })),
            S_OK);
  ASSERT_EQ(connector->HookSessionSlot(12, session_hook::SessionHook::Make([&](IUnknown* s, LONG) {
              look(s);
              return S_OK;
            })),
            S_OK);
  // The empty container is refused by the site, after the hook saw it.
  LONG id = -1;
  EXPECT_EQ(session->SendComments(comments, &id), E_FAIL);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(session->SetRegSite(SiteNumber(1)), S_OK);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen[0] == IUnknownPtr(comments));
  EXPECT_TRUE(seen[1] == IUnknownPtr(comments));
  EXPECT_FALSE(seen[2]);
  // Between calls it holds nothing.
  IUnknown* after = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(IReferenceSessionPtr(session)->GetSendObject(&after), S_OK);
  EXPECT_EQ(after, nullptr);
  EXPECT_EQ(IReferenceSessionPtr(session)->GetSendObject(nullptr), E_POINTER);
}

TEST_F(SessionTest, SiteDataKeepsUnknownSectionsAndRefusesMalformedDocuments) {
  EXPECT_EQ(SiteData(), L"{}");
  ASSERT_EQ(SetData(LR"({"sites": [{"number": 1, "name": "Wzorcowo", "currency": "PLN"}],
                         "future_section": {"anything": [1, 2]}})"),
            S_OK);
  const std::wstring loaded = SiteData();
  EXPECT_NE(loaded.find(L"Wzorcowo"), std::wstring::npos);
  struct Bad {
    const wchar_t* json;
    const wchar_t* says;
  };
  for (const Bad& bad : {
           Bad{LR"({"sites": [)", L"błąd składni JSON w bajcie"},
           Bad{L"", L"błąd składni JSON"},
           Bad{LR"([1, 2])", L"oczekiwano obiektu z sekcjami"},
           Bad{LR"({"sites": {"number": 1}})", L"sekcja \"sites\" powinna być tablicą"},
           Bad{LR"({"versions": []})", L"sekcja \"versions\" powinna być obiektem"},
           Bad{LR"({"auctions": [{}, 7]})", L"auctions[1]: oczekiwano obiektu"},
           Bad{LR"({"sites": [{"name": "bez numeru"}]})", L"sites[0].number: oczekiwano liczby całkowitej"},
           Bad{LR"({"sites": [{"number": 1.5, "name": "x"}]})", L"sites[0].number: oczekiwano liczby całkowitej"},
           Bad{LR"({"sites": [{"number": 4294967296, "name": "x"}]})", L"sites[0].number"},
           Bad{LR"({"sites": [{"number": 1, "name": 5}]})", L"sites[0].name: oczekiwano tekstu"},
       }) {
    SCOPED_TRACE(bad.json);
    EXPECT_EQ(SetData(bad.json), E_INVALIDARG);
    const std::wstring said = TakeError().description;
    EXPECT_NE(said.find(L"Plik danych serwisu wzorcowego (tekst)"), std::wstring::npos) << said;
    EXPECT_NE(said.find(bad.says), std::wstring::npos) << said;
    EXPECT_EQ(SiteData(), loaded);  // what was loaded stays
  }
  // Nesting beyond the bound is refused before it can exhaust anything.
  const std::wstring deep = L"{\"x\": " + std::wstring(100, L'[') + std::wstring(100, L']') + L"}";
  EXPECT_EQ(SetData(deep.c_str()), E_INVALIDARG);
  EXPECT_NE(TakeError().description.find(L"zagnieżdżenie"), std::wstring::npos);
  EXPECT_EQ(SiteData(), loaded);
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// The number of entries of a section of the file's document.
size_t Entries(const std::string& path, const char* section) {
  return reference::SiteData::Load(path)->Read(
      [&](const reference::Json& doc) { return reference::Section(doc, section).size(); });
}

// A site kept in a file is the file as it stands: a file that cannot be read fails the sessions
// (none opens), one read again serves them again, and what they change is written into it.
TEST_F(SessionTest, SiteDataComesFromAWorkingCopyThatCannotBeReachedWhileItCannotBeRead) {
  // The repository's file is a valid document.
  ASSERT_EQ(connector->LoadSiteData(_bstr_t(VANTOR_REFERENCE_SITE_DATA)), S_OK);
  EXPECT_NE(SiteData().find(L"\"sites\""), std::wstring::npos);

  const testtemp::TempFolder folder("vantor-reference-site");
  const std::string copy = folder.File("reference-site.json");
  EXPECT_EQ(connector->LoadSiteData(_bstr_t(L"")), E_INVALIDARG);
  EXPECT_EQ(connector->LoadSiteData(_bstr_t(copy.c_str())), E_INVALIDARG);
  EXPECT_NE(TakeError().description.find(L"nie można otworzyć pliku"), std::wstring::npos);
  // The site is that file all the same: nothing is read from elsewhere, and no session opens.
  BSTR json = nullptr;
  EXPECT_EQ(connector->GetSiteData(&json), E_FAIL);
  EXPECT_NE(TakeError().description.find(platform::utf8::ToWide(copy.c_str())), std::wstring::npos);
  IAuctionSiteConnector* raw = nullptr;
  EXPECT_EQ(site->OpenSession(account, &raw), E_FAIL);
  EXPECT_EQ(raw, nullptr);
  EXPECT_NE(TakeError().description.find(L"nie można otworzyć pliku"), std::wstring::npos);

  // Once the file can be read it serves, as it stands, without being loaded again.
  WriteFile(copy, R"({"sites": [{"number": 2, "name": "Łódź"}], "comment_sent": []})");
  EXPECT_NE(SiteData().find(L"Łódź"), std::wstring::npos);
  TestSync sync;
  IAuctionSiteConnectorPtr session = Open();
  ASSERT_TRUE(session);
  ASSERT_EQ(session->SetSync(&sync), S_OK);
  ASSERT_EQ(session->SetRegSite(SiteNumber(2)), S_OK);
  // A file broken while the session is open fails its calls, naming the file and the place.
  WriteFile(copy, R"({"sites": [)");
  _RecordsetPtr comments = lotrix::CreateCommentsContainer();
  comments->AddNew();
  comments->GetFields()->GetItem(_variant_t(L"auction_number"))->PutValue(_variant_t(L"1001"));
  comments->GetFields()->GetItem(_variant_t(L"to_user_id"))->PutValue(_variant_t(LONG{42}));
  comments->GetFields()->GetItem(_variant_t(L"comment"))->PutValue(_variant_t(L"Dziękuję"));
  comments->Update();
  LONG id = -1;
  EXPECT_EQ(session->SendComments(comments, &id), E_FAIL);
  EXPECT_NE(TakeError().description.find(L"błąd składni JSON"), std::wstring::npos);
  _RecordsetPtr received = lotrix::CreateCommentsContainer();
  EXPECT_EQ(session->ReceiveComments(lotrix::CreateAuctionsContainer(), 0, received, 0), E_FAIL);
  EXPECT_EQ(received->GetRecordCount(), 0);
  WriteFile(copy, R"({"sites": [{"number": 2, "name": "Łódź"}], "comment_sent": []})");
  EXPECT_EQ(session->SendComments(comments, &id), S_OK);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(Entries(copy, "comment_sent"), 1u);
}

// Sites of one file in two processes (here two objects, as two processes hold them) see each
// other's changes: each change reads the file under its lock before it writes it.
TEST(SiteDataFile, ChangesOfTwoHoldersOfOneFileAreAllKept) {
  const testtemp::TempFolder folder("vantor-reference-site");
  const std::string copy = folder.File("reference-site.json");
  WriteFile(copy, R"({"sites": [{"number": 2, "name": "Łódź"}], "comment_sent": []})");
  std::shared_ptr<reference::SiteData> first = reference::SiteData::Load(copy);
  std::shared_ptr<reference::SiteData> second = reference::SiteData::Load(copy);
  auto append = [](reference::SiteData& data, int id) {
    data.Change([&](reference::Json& doc) { doc["comment_sent"].push_back({{"id", id}, {"text", "Dziękuję"}}); });
  };
  append(*first, 1);
  append(*second, 2);
  append(*first, 3);
  second->Read([](const reference::Json& doc) {
    const reference::Json& sent = reference::Section(doc, "comment_sent");
    ASSERT_EQ(sent.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(reference::EntryLong(sent[i], "id", "comment_sent"), i + 1);
    EXPECT_EQ(reference::EntryText(reference::Section(doc, "sites")[0], "name", "sites[0]"), L"Łódź");
  });

  // Two processes changing it at once: every change is kept and the file stays whole.
  constexpr int kEach = 40;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      std::shared_ptr<reference::SiteData> mine = reference::SiteData::Load(copy);
      for (int i = 0; i < kEach; ++i) append(*mine, 1000 + i);
    } catch (...) {
      status = 1;
    }
    _exit(status);
  }
  for (int i = 0; i < kEach; ++i) append(*first, 100 + i);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Entries(copy, "comment_sent"), 3u + 2 * kEach);
}

// A number given is the highest of the section as the document stands, plus one: integers and
// texts of digits count, other values do not, and so do the entries another holder of the file
// or a plain change added since the last number.
TEST(SiteDataFile, EachNumberFollowsTheHighestOfTheDocumentAsItStands) {
  const testtemp::TempFolder folder("vantor-reference-site");
  const std::string copy = folder.File("reference-site.json");
  const std::string start = R"({"comments": [{"id": 7}, {"id": "12"}, {"id": "x99"}, {"id": "1234567890123456789"},
                                              {"id": 20.5}, {"text": "bez numeru"}]})";
  WriteFile(copy, start);
  std::shared_ptr<reference::SiteData> first = reference::SiteData::Load(copy);
  std::shared_ptr<reference::SiteData> second = reference::SiteData::Load(copy);
  std::shared_ptr<reference::SiteData> memory = reference::SiteData::Parse(start, "dokument");
  auto number = [](reference::SiteData& data) {
    long long given = 0;
    data.Append([&](const reference::Json&, reference::SiteData::Numbers& numbers) {
      given = numbers.Highest("comments", "id") + 1;
      numbers.Append("comments", {{"id", given}});
    });
    return given;
  };
  auto add = [](reference::SiteData& data, long long id) {
    data.Change([&](reference::Json& doc) { doc["comments"].push_back({{"id", std::to_string(id)}}); });
    return id;
  };
  struct Step {
    reference::SiteData* data;
    bool numbered;  // else the id is added by a plain change
    long long id;
  };
  const Step steps[] = {{first.get(), true, 13},   {first.get(), true, 14},   {second.get(), true, 15},
                        {first.get(), true, 16},   {second.get(), false, 40}, {first.get(), true, 41},
                        {first.get(), false, 50},  {first.get(), true, 51},   {memory.get(), true, 13},
                        {memory.get(), false, 30}, {memory.get(), true, 31},  {memory.get(), true, 32}};
  for (size_t i = 0; i < std::size(steps); ++i)
    EXPECT_EQ(steps[i].numbered ? number(*steps[i].data) : add(*steps[i].data, steps[i].id), steps[i].id) << "step " << i;
  EXPECT_EQ(Entries(copy, "comments"), 6u + 8);
}

TEST(SiteDataReaders, MissingMembersTakeTheirFallbackAndWrongTypesAreNamed) {
  const reference::Json entry = reference::Json::parse(
      R"({"n": 5, "big": 9007199254740993, "text": "Zażółć", "flag": true, "money": 12.5, "none": null})");
  EXPECT_EQ(reference::EntryLong(entry, "missing", "x", 7), 7);
  EXPECT_EQ(reference::EntryLong(entry, "none", "x", 7), 7);
  EXPECT_EQ(reference::EntryLongLong(entry, "big", "x", 0), 9007199254740993LL);
  EXPECT_EQ(reference::EntryText(entry, "text", "x"), L"Zażółć");
  EXPECT_TRUE(reference::EntryFlag(entry, "flag", "x", false));
  EXPECT_DOUBLE_EQ(reference::EntryNumber(entry, "money", "x", 0), 12.5);
  EXPECT_DOUBLE_EQ(reference::EntryNumber(entry, "n", "x", 0), 5.0);
  auto says = [](const std::function<void()>& read) {
    try {
      read();
    } catch (const reference::SiteDataError& e) {
      return std::string(e.what());
    }
    return std::string("(nic)");
  };
  EXPECT_EQ(says([&] { reference::EntryLong(entry, "big", "auctions[3]", 0); }),
            "auctions[3].big: oczekiwano liczby całkowitej 32-bitowej");
  EXPECT_EQ(says([&] { reference::EntryText(entry, "n", "auctions[3]"); }), "auctions[3].n: oczekiwano tekstu");
  EXPECT_EQ(says([&] { reference::EntryFlag(entry, "n", "a", false); }), "a.n: oczekiwano true albo false");
  EXPECT_EQ(says([&] { reference::EntryNumber(entry, "text", "a", 0); }), "a.text: oczekiwano liczby");
  EXPECT_EQ(says([&] { reference::EntryText(entry, "missing", "a"); }), "a.missing: oczekiwano tekstu");
  EXPECT_TRUE(reference::Section(entry, "nothing").is_null());
}

}  // namespace
