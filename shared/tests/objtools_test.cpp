#include "shared/objtools.h"
#include "shared/tests/fixture.h"

namespace {

using testutil::HostTest;

// A class id of the doubles' business objects, and one nobody serves.
constexpr GUID kItemClass = {0x5A1E0001, 0x1111, 0x4222, {0x83, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x01}};
constexpr GUID kUnknownClass = {0x5A1E0002, 0x1111, 0x4222, {0x83, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x02}};

class ObjTools : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->RegisterItemClass(kItemClass);
  }
  int Calls(const wchar_t* method) { return host->recorder->Count(method); }
};

TEST_F(ObjTools, AdministratorIsUserOne) {
  EXPECT_TRUE(CHxObjTools::IsUserAdminId(1));
  EXPECT_FALSE(CHxObjTools::IsUserAdminId(0));
  _variant_t admin = CHxObjTools::GetUserAdminId();
  EXPECT_EQ(admin.vt, VT_I4);
  EXPECT_EQ(admin.lVal, 1);
}

TEST_F(ObjTools, NewFetchAndModes) {
  IFlgItemPtr item = CHxObjTools::New(kItemClass);
  ASSERT_TRUE(item);
  EXPECT_EQ(Last(L"IFlgItem::InitNew"), L"factory,null");

  item = CHxObjTools::Fetch(kItemClass, 42, CHxObjTools::omReadOnly);
  EXPECT_EQ(Last(L"IFlgItem::Load"), L"factory,I4:42");
  EXPECT_EQ(Calls(L"IFlgItem::BeginEdit"), 0);
  item = CHxObjTools::Fetch(kItemClass, 43, CHxObjTools::omEdit);
  EXPECT_EQ(Calls(L"IFlgItem::BeginEdit"), 1);

  EXPECT_EQ(CHxObjTools::ObjectId(IFlgDataPtr(item)), 43);
}

TEST_F(ObjTools, ObjectIdWithoutAUsableId) {
  IFlgItemPtr item = CHxObjTools::New(kItemClass);
  EXPECT_EQ(CHxObjTools::ObjectId(IFlgDataPtr(item)), kNoLongValue);  // VT_NULL
  item = CHxObjTools::Fetch(kItemClass, 0, CHxObjTools::omReadOnly);
  EXPECT_EQ(CHxObjTools::ObjectId(IFlgDataPtr(item)), kNoLongValue);  // 0
  try {
    CHxObjTools::ObjectId(nullptr);
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_POINTER);
  }
  host->recorder->FailOn(L"IFlgData::GetId", E_UNEXPECTED);
  EXPECT_THROW(CHxObjTools::ObjectId(IFlgDataPtr(item)), _com_error);
}

TEST_F(ObjTools, FailuresAreRaisedWithTheirCodes) {
  EXPECT_THROW(CHxObjTools::New(kUnknownClass), _com_error);
  host->recorder->FailOn(L"IFlgItem::Load", static_cast<HRESULT>(0x80040F2Du), 1);
  try {
    CHxObjTools::Fetch(kItemClass, 1, CHxObjTools::omEdit);
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), static_cast<HRESULT>(0x80040F2Du));
  }
  EXPECT_EQ(Calls(L"IFlgItem::BeginEdit"), 0);
  host->recorder->FailOn(L"IFlgItem::BeginEdit", zephra::KD_E_OBJECT_LOCKED, 1);
  EXPECT_THROW(CHxObjTools::Fetch(kItemClass, 1, CHxObjTools::omEdit), _com_error);
}

TEST_F(ObjTools, SaveChecksFirstAndMapsTheGenericDatabaseError) {
  IFlgItemPtr item = CHxObjTools::Fetch(kItemClass, 5, CHxObjTools::omEdit);
  CHxObjTools::Save(item);
  auto calls = host->recorder->Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], L"IFlgItem::Check()");
  EXPECT_EQ(calls.back(), L"IFlgItem::Save()");

  host->recorder->FailOn(L"IFlgItem::Check", E_INVALIDARG, 1);
  try {
    CHxObjTools::Save(item);
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_INVALIDARG);
  }
  EXPECT_EQ(Calls(L"IFlgItem::Save"), 1);  // not saved after a failed check

  host->recorder->FailOn(L"IFlgItem::Save", zephra::KD_E_DB_UNSPECIFIED, 1);
  try {
    CHxObjTools::Save(item);
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_FAIL);
  }
  host->recorder->FailOn(L"IFlgItem::Save", static_cast<HRESULT>(0x80040F1Cu), 1);
  try {
    CHxObjTools::Save(item);
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), static_cast<HRESULT>(0x80040F1Cu));
  }
}

TEST_F(ObjTools, DeleteLoadsThenDeletesTheSameId) {
  CHxObjTools::Delete(kItemClass, 9);
  EXPECT_EQ(Last(L"IFlgItem::Load"), L"factory,I4:9");
  EXPECT_EQ(Last(L"IFlgItem::Delete"), L"factory,9");
  host->recorder->FailOn(L"IFlgItem::Delete", E_ACCESSDENIED, 1);
  EXPECT_THROW(CHxObjTools::Delete(kItemClass, 9), _com_error);
}

class RefreshLock : public HostTest {
 protected:
  std::vector<std::wstring> States() { return host->recorder->ArgsOf(L"IHxAppServices::SetRefreshState"); }
  std::vector<std::wstring> Refreshes() { return host->recorder->ArgsOf(L"IFlgInstance::RefreshObjectType"); }
};

TEST_F(RefreshLock, NestedLocksSuspendEveryTimeAndResumeOnce) {
  {
    CHxRefreshLock outer(kItemClass);
    {
      CHxRefreshLock inner(kUnknownClass);
      EXPECT_EQ(CHxRefreshLock::Depth(), 2);
    }
    EXPECT_TRUE(Refreshes().empty());
  }
  EXPECT_EQ(States(), (std::vector<std::wstring>{L"0", L"0", L"-1"}));
  ASSERT_EQ(Refreshes().size(), 1u);
  EXPECT_EQ(Refreshes()[0], doubles::GuidText(kItemClass) + L",0,null");
  EXPECT_EQ(CHxRefreshLock::Depth(), 0);
}

TEST_F(RefreshLock, TypeSetLaterIsRefreshedAndNoneMeansNoRefresh) {
  {
    CHxRefreshLock lock;
  }
  EXPECT_TRUE(Refreshes().empty());
  {
    CHxRefreshLock lock;
    lock.SetRefreshAtEndGuid(kItemClass);
  }
  ASSERT_EQ(Refreshes().size(), 1u);
}

TEST_F(RefreshLock, FailuresAreSwallowedAndAFailedResumeSkipsTheRefresh) {
  host->recorder->FailOn(L"IHxAppServices::SetRefreshState", E_FAIL);
  {
    CHxRefreshLock lock(kItemClass);
  }
  EXPECT_TRUE(Refreshes().empty());
  EXPECT_EQ(CHxRefreshLock::Depth(), 0);
  CHxInstance::SetInstance(nullptr);
  {
    CHxRefreshLock lock(kItemClass);
  }
  EXPECT_EQ(CHxRefreshLock::Depth(), 0);
}

}  // namespace
