// The connector's description container and the example account data.
#include "auctions/tests/accounts_fixture.h"
#include "testing/support/slots.h"

namespace {

using accounts_test::AccountsTest;
using testutil::Slot;

// Callers reach these members by their place in the method table.
TEST(LotrixInterfaceSlots, SitesAccountsAndTheOutsideComponents) {
  EXPECT_EQ(Slot(&ISite::GetId), 3u);
  EXPECT_EQ(Slot(&ISite::GetCurrency), 9u);
  EXPECT_EQ(Slot(&ISite::GetSpecificData), 10u);
  EXPECT_EQ(Slot(&ISite::GetSpecificDataExtForEdit), 14u);
  EXPECT_EQ(Slot(&IConnectorInfo::GetFields), 3u);
  EXPECT_EQ(Slot(&IRegistration::GetConnectorClsid), 3u);
  EXPECT_EQ(Slot(&IRegistration::StatusesOptionsEdit), 7u);
  EXPECT_EQ(Slot(&IRegistration::GetST_StatusesServiceActive), 8u);
  EXPECT_EQ(Slot(&IRegistration::PutST_LastSynch), 19u);
  EXPECT_EQ(Slot(&IAccessKeyConverter::ToStored), 3u);
  EXPECT_EQ(Slot(&IAccessKeyConverter::ToTyped), 4u);
  EXPECT_EQ(Slot(&IAuctionSiteAccount::DescribeConnector), 7u);
  EXPECT_EQ(Slot(&IAuctionSiteAccount::ConnectAccount), 8u);
  EXPECT_EQ(Slot(&IAuctionSiteAccount::EditAccount), 9u);
  EXPECT_EQ(Slot(&IAuctionSiteAccount::GetConnectorValue), 16u);
  EXPECT_EQ(Slot(&IAuctionSiteAccount::GetMyAuctionsUrl), 17u);
  EXPECT_EQ(Slot(&IAuctionSiteAccount::GetMyPageUrl), 18u);
  EXPECT_EQ(Slot(&IAuctionSiteAccount::FixAccount), 12u);
  EXPECT_EQ(Slot(&IAuctionSiteAccount::OpenSession), 13u);
}

TEST(LotrixInterfaceSlots, TheSiteConnectorsSessionAndTheManagersCallback) {
  EXPECT_EQ(Slot(&IAuctionSiteConnector::SetRegSite), 12u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::Currency), 17u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::GetParamVersions), 18u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::ReceiveCatSpecific), 19u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::ReceiveSpecificData), 20u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::ReceiveCategories), 24u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::ReceiveRegCategories), 25u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::GetErrorState), 29u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::SendComments), 30u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::SendAuction), 33u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::SetSync), 39u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::ReceiveTransactions), 40u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::ReceiveAuctions), 41u);
  EXPECT_EQ(Slot(&IAuctionSiteConnector::ReceiveComments), 42u);
  EXPECT_EQ(Slot(&LotrixSync::IsTerminated), 7u);
  EXPECT_EQ(Slot(&LotrixSync::AuctionReceived), 8u);
  EXPECT_EQ(Slot(&LotrixSync::TransactionReceived), 9u);
  EXPECT_EQ(Slot(&LotrixSync::CustomerReceived), 10u);
  EXPECT_EQ(Slot(&LotrixSync::CommentReceived), 11u);
  EXPECT_EQ(Slot(&LotrixSync::CategoriesProgress), 12u);
  // The manager's DISPIDs 10 to 15.
  EXPECT_EQ(Slot(&IAuctServMgr::ReceiveUserData), 7u);
  EXPECT_EQ(Slot(&IAuctServMgr::ReceiveParams), 8u);
  EXPECT_EQ(Slot(&IAuctServMgr::SendUserData), 9u);
  EXPECT_EQ(Slot(&IAuctServMgr::SendAuctions), 10u);
  EXPECT_EQ(Slot(&IAuctServMgr::SendAuctionsNotes), 11u);
  EXPECT_EQ(Slot(&IAuctServMgr::SendFeedbacks), 12u);
}
using accounts_test::Text;

TEST_F(AccountsTest, ConnectorInfoHandsOutOneFreshEmptyRowOfSixFieldsOnEveryCall) {
  IConnectorInfoPtr info(CreateNamed(L"Vantor.CoConnectorInfo"));
  ASSERT_TRUE(info);
  IDispatch* raw = nullptr;
  ASSERT_EQ(info->GetFields(&raw), S_OK);
  FieldsPtr fields(IDispatchPtr(raw, false));
  ASSERT_TRUE(fields);
  const wchar_t* names[] = {L"Name", L"ServiceProvider", L"Description", L"Producer", L"Version", L"Copyright"};
  ASSERT_EQ(fields->GetCount(), 6);
  for (LONG i = 0; i < 6; ++i) {
    FieldPtr field = fields->GetItem(_variant_t(i));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(field->GetName())), names[i]);
    EXPECT_EQ(field->GetType(), adVarChar);
    EXPECT_EQ(field->GetDefinedSize(), 255);
    EXPECT_EQ(field->GetAttributes(), adFldUpdatable);
    field->PutValue(_variant_t(L"opis łącznika"));
  }
  // The next call drops what was written: the same six fields, empty, in one row.
  ASSERT_EQ(info->GetFields(&raw), S_OK);
  FieldsPtr again(IDispatchPtr(raw, false));
  for (LONG i = 0; i < 6; ++i) {
    const _variant_t value = again->GetItem(_variant_t(i))->GetValue();
    EXPECT_TRUE(value.vt == VT_NULL || value.vt == VT_EMPTY) << names[i];
  }
  EXPECT_EQ(info->GetFields(nullptr), E_POINTER);
  // Nothing aggregates it.
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_CoConnectorInfo, CLSCTX_INPROC_SERVER, nullptr, __uuidof(IClassFactory),
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  IUnknown* aggregated = nullptr;
  EXPECT_EQ(factory->CreateInstance(info, __uuidof(IUnknown), reinterpret_cast<void**>(&aggregated)),
            CLASS_E_NOAGGREGATION);
  factory->Release();
}

TEST_F(AccountsTest, ExampleDataAnswersTheSampleValuesAndNothingElse) {
  LotrixRegistrationPtr example(CreateNamed(L"Vantor.RegistrationExampleData"));
  ASSERT_TRUE(example);
  BSTR text = nullptr;
  ASSERT_EQ(example->GetUsername(&text), S_OK);
  EXPECT_EQ(Text(text), L"przykladowy_sprzedawca");
  ASSERT_EQ(example->GetFullName(&text), S_OK);
  EXPECT_EQ(Text(text), L"Jan Przykładowy");
  ASSERT_EQ(example->GetName(&text), S_OK);
  EXPECT_EQ(Text(text), L"Sklep Przykładowy");
  for (auto get : {&LotrixRegistration::GetMyAuctionsUrl, &LotrixRegistration::GetMyPageUrl}) {
    ASSERT_EQ((example->*get)(&text), S_OK);
    EXPECT_EQ(Text(text).rfind(L"about:", 0), 0u);
  }
  EXPECT_EQ(example->GetUsername(nullptr), E_POINTER);
  LONG id = 0;
  EXPECT_EQ(example->GetSvcProvId(&id), E_NOTIMPL);
  EXPECT_EQ(example->GetErrorList(&id), E_NOTIMPL);
  EXPECT_EQ(example->PutUsername(_bstr_t(L"x")), E_NOTIMPL);
  EXPECT_EQ(example->PutActive(TRUE), E_NOTIMPL);
  EXPECT_EQ(example->GetConnectorValue(&text), E_NOTIMPL);
  EXPECT_EQ(example->Save(), E_NOTIMPL);
  // Never locked: it has no object type.
  EXPECT_EQ(IFlgItemPtr(example)->BeginEdit(), S_FALSE);
}

}  // namespace
