#include "shared/tests/fixture.h"

namespace {

using testutil::Exec;
using testutil::HostTest;

class Gateway : public HostTest {
 protected:
  // Installs a one-row parameter recordset as object `number`.
  void Params(LONG number, const wchar_t* select) {
    _RecordsetPtr rs;
    ASSERT_EQ(OpenRS(rs, cn, select), S_OK);
    host->instance->numbered[number] = IUnknownPtr(rs);
  }
};

TEST(GatewayWithoutHost, DefaultsBeforeTheHostSetsTheInstance) {
  CHxInstance::SetInstance(nullptr);
  EXPECT_FALSE(CHxInstance::GetInstance());
  EXPECT_FALSE(CHxInstance::GetDataFactory());
  EXPECT_FALSE(CHxInstance::GetConnection());
  EXPECT_EQ(CHxInstance::UserId(), 0);
  EXPECT_STREQ(static_cast<const wchar_t*>(CHxInstance::GetBaseCurrency()), L"PLN");
  try {
    CHxInstance::HxParams();
    FAIL() << "HxParams without an instance must raise";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_POINTER);
  }
}

TEST_F(Gateway, HoldsOneReferenceAndReleasesOnNull) {
  IFlgInstance* raw = host->instancePtr.GetInterfacePtr();
  auto refs = [raw] {
    raw->AddRef();
    return raw->Release();
  };
  const ULONG held = refs();
  CHxInstance::SetInstance(host->instancePtr);  // the same instance again
  EXPECT_EQ(refs(), held);
  CHxInstance::SetInstance(nullptr);
  EXPECT_EQ(refs(), held - 1);
  EXPECT_FALSE(CHxInstance::GetInstance());
}

TEST_F(Gateway, FactoryConnectionAndUser) {
  EXPECT_TRUE(CHxInstance::GetDataFactory());
  _ConnectionPtr connection = CHxInstance::GetConnection();
  ASSERT_TRUE(connection);
  EXPECT_EQ(connection.GetInterfacePtr(), cn.GetInterfacePtr());
  host->instance->userId = 7;
  EXPECT_EQ(CHxInstance::UserId(), 7);

  // A host without a user interface or whose call fails: 0.
  host->recorder->FailOn(L"IHxUser::GetUserId", E_FAIL);
  EXPECT_EQ(CHxInstance::UserId(), 0);
  host->instance->hidden.insert(L"IHxUser");
  EXPECT_EQ(CHxInstance::UserId(), 0);

  // No factory: no connection, no raise.
  host->instance->hidden.insert(L"IFlgDataFactory");
  EXPECT_FALSE(CHxInstance::GetDataFactory());
  EXPECT_FALSE(CHxInstance::GetConnection());
}

TEST_F(Gateway, FactoryWithoutConnection) {
  host->instance->connection = nullptr;
  EXPECT_FALSE(CHxInstance::GetConnection());
  host->recorder->FailOn(L"IFlgDataFactory::GetDbConnection", E_FAIL);
  EXPECT_FALSE(CHxInstance::GetConnection());
}

TEST_F(Gateway, BaseCurrency) {
  Params(5000, L"SELECT 'EUR' AS pd_BaseCurrency");
  EXPECT_STREQ(static_cast<const wchar_t*>(CHxInstance::GetBaseCurrency()), L"EUR");
  Params(5000, L"SELECT NULL AS pd_BaseCurrency");
  EXPECT_STREQ(static_cast<const wchar_t*>(CHxInstance::GetBaseCurrency()), L"PLN");
  Params(5000, L"SELECT '' AS pd_BaseCurrency");
  EXPECT_EQ(CHxInstance::GetBaseCurrency().length(), 0u);
  Params(5000, L"SELECT 1 AS pd_Other");
  EXPECT_STREQ(static_cast<const wchar_t*>(CHxInstance::GetBaseCurrency()), L"PLN");
  host->instance->numbered.clear();
  EXPECT_STREQ(static_cast<const wchar_t*>(CHxInstance::GetBaseCurrency()), L"PLN");
}

TEST_F(Gateway, NumberedParameters) {
  Params(5004, L"SELECT 12 AS pa_Count, 'x' AS pa_Text, NULL AS pa_None");
  EXPECT_EQ(hxGetParamLong(5004, L"pa_Count"), 12);
  EXPECT_EQ(hxGetParamLong(5004, L"pa_Text"), kNoLongValue);
  EXPECT_EQ(hxGetParamLong(5004, L"pa_None"), kNoLongValue);
  _variant_t text = hxGetParam(5004, L"pa_Text");
  EXPECT_EQ(text.vt, VT_BSTR);

  // Every failure is raised: an unknown column, a missing object, a failing host call.
  EXPECT_THROW(hxGetParam(5004, L"pa_Missing"), _com_error);
  EXPECT_THROW(hxGetParam(5001, L"pa_Count"), _com_error);
  host->recorder->FailOn(L"IFlgInstance::GetObjectByNumber", E_ACCESSDENIED);
  try {
    hxGetParam(5004, L"pa_Count");
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_ACCESSDENIED);
  }
}

}  // namespace
