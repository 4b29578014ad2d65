// The data factory reading and writing a data object with a main row and sub-rows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "host/host.h"
#include "platform/base/utf8.h"
#include "shared/hxinstance.h"
#include "testing/support/temp_folder.h"

namespace {

const FlgDataSetDef kDefs[] = {
    {0, 0, 0, L"ORD", L"ord", L"o_Id", L"", L"*", L"", 0, 0},
    {1, 1, 0, L"LINE", L"ord_line", L"ol_Id", L"ol_OrdId", L"*", L"", 1, 1},
    {2, 1, 0, L"NOTE", L"ord_note", L"n_Id", L"o_NoteId", L"*", L"", 1, 0},
};
constexpr LONG kSets = 3;

// A data object as the data-object base keeps one: definitions, recordsets, id.
class TestObject : public IFlgDataSetup, public IFlgDataSet {
 public:
  virtual ~TestObject() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgDataSetup)) return static_cast<IFlgDataSetup*>(this);
    if (iid == __uuidof(IFlgDataSet)) return static_cast<IFlgDataSet*>(this);
    return nullptr;
  }
  STDMETHODIMP GetId(VARIANT* id) override { return VariantCopy(id, &m_id); }
  STDMETHODIMP GetState(VARIANT* state) override {
    state->vt = VT_I4;
    state->lVal = m_state;
    return S_OK;
  }
  STDMETHODIMP GetFormat(LONG*) override { return S_OK; }
  STDMETHODIMP GetLocked(VARIANT_BOOL*) override { return S_OK; }
  STDMETHODIMP SetDataSet(LONG i, IUnknown* rs) override {
    m_sets[i] = rs;
    return S_OK;
  }
  STDMETHODIMP GetDefinition(LONG i, const FlgDataSetDef** def) override {
    if (i < 0 || i >= kSets) return E_INVALIDARG;
    *def = &kDefs[i];
    return S_OK;
  }
  STDMETHODIMP GetDefinitionCount(LONG* count) override {
    *count = kSets;
    return S_OK;
  }
  STDMETHODIMP GetTempKey(LONG* key) override {
    *key = m_temp;
    return S_OK;
  }
  STDMETHODIMP SetTempKey(LONG key) override {
    m_temp = key;
    return S_OK;
  }
  STDMETHODIMP GetSecondDataSet(LONG i, IUnknown** rs) override {
    if (!m_keepsSecond) return E_NOTIMPL;
    *rs = m_second[i].GetInterfacePtr();
    if (*rs) (*rs)->AddRef();
    return S_OK;
  }
  STDMETHODIMP SetSecondDataSet(LONG i, IUnknown* rs) override {
    if (!m_keepsSecond) return E_NOTIMPL;
    m_second[i] = rs;
    return S_OK;
  }
  STDMETHODIMP SetId(VARIANT id) override { return VariantCopy(&m_id, &id); }
  STDMETHODIMP HasDataSet(LONG i, VARIANT_BOOL* has) override {
    *has = m_sets[i] ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP SetPendingNotification(LONG value) override {
    m_pending = value;
    return S_OK;
  }
  STDMETHODIMP GetPendingNotification(LONG* value) override {
    *value = m_pending;
    return S_OK;
  }
  STDMETHODIMP GetDataSet(LONG i, IUnknown** rs) override {
    if (!m_sets[i]) return E_FAIL;
    *rs = m_sets[i].GetInterfacePtr();
    (*rs)->AddRef();
    return S_OK;
  }
  STDMETHODIMP AddSubRow(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP AddSubRowKey(LONG, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP AddRowChecked(LONG, VARIANT, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP AddRow(LONG, VARIANT, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP CompleteRow(LONG, VARIANT) override { return E_NOTIMPL; }
  STDMETHODIMP DeleteRow(LONG, LONG) override { return E_NOTIMPL; }

  _RecordsetPtr Set(LONG i) { return _RecordsetPtr(m_sets[i]); }
  // Adds a row with a temporary key, as the data-object base does.
  void AddTempRow(LONG i, const wchar_t* column, const wchar_t* text) {
    _RecordsetPtr rs = Set(i);
    rs->AddNew();
    rs->GetFields()->GetItem(_variant_t(kDefs[i].key))->PutValue(_variant_t(m_temp--));
    rs->GetFields()->GetItem(_variant_t(column))->PutValue(_variant_t(text));
  }

  _variant_t m_id;
  IUnknownPtr m_sets[kSets];
  IUnknownPtr m_second[kSets];
  LONG m_temp = -1;
  LONG m_state = 3;
  LONG m_pending = 0;
  bool m_keepsSecond = true;
};

class DataFactory : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    folder = std::make_unique<testtemp::TempFolder>("vantor-factory-test");
    path = platform::utf8::ToWide(folder->Database());
    host = std::make_unique<host::Host>(path);
    cn = host->Connection();
    // References between the tables, so that writing and deleting in the wrong order fails.
    Run(L"CREATE TABLE ord_note (n_Id int NOT NULL PRIMARY KEY, n_Text nvarchar(50) NULL)");
    Run(L"CREATE TABLE ord (o_Id int NOT NULL PRIMARY KEY, o_Name nvarchar(50) NULL, o_Qty int NULL, "
        L"o_NoteId int NULL REFERENCES ord_note (n_Id))");
    Run(L"CREATE TABLE ord_line (ol_Id int NOT NULL PRIMARY KEY, ol_OrdId int NOT NULL REFERENCES ord (o_Id), "
        L"ol_Text nvarchar(50) NOT NULL)");
    factory = IFlgDataFactoryPtr(host->Instance());
  }
  void TearDown() override {
    factory = nullptr;
    cn = nullptr;
    host.reset();
    folder.reset();
    CoUninitialize();
  }
  void Run(const wchar_t* sql) { cn->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords); }
  LONG Long(const wchar_t* sql) {
    _RecordsetPtr rs;
    if (FAILED(OpenRS(rs, cn, sql)) || rs->GetadoEOF()) return -1;
    return static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
  }
  static LONG Pending(const _RecordsetPtr& rs) {
    _RecordsetPtr view = rs->Clone(adLockUnspecified);
    view->PutFilter(_variant_t(static_cast<LONG>(adFilterPendingRecords)));
    return view->GetRecordCount();
  }
  TestObject* Read(IUnknownPtr& holder, LONG id) {
    TestObject* object = NewObject(holder);
    object->m_id = _variant_t(id);
    EXPECT_EQ(factory->ReadObject(object), S_OK);
    return object;
  }
  TestObject* NewObject(IUnknownPtr& holder) {
    auto* object = new CFlgComObject<TestObject>();
    holder = static_cast<IUnknown*>(static_cast<IFlgDataSetup*>(object));
    return object;
  }

  std::unique_ptr<testtemp::TempFolder> folder;  // the database's
  std::wstring path;
  std::unique_ptr<host::Host> host;
  _ConnectionPtr cn;
  IFlgDataFactoryPtr factory;
};

TEST_F(DataFactory, InsertGivesRealKeysAndLinksTheSubRows) {
  IUnknownPtr holder;
  TestObject* object = NewObject(holder);
  object->m_state = 1;
  ASSERT_EQ(factory->AttachObject(object), S_OK);
  // The attached main row has the first temporary key; the object fills it.
  ASSERT_EQ(object->Set(0)->GetRecordCount(), 1);
  EXPECT_EQ(static_cast<LONG>(object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Id"))->GetValue()), -1);
  EXPECT_EQ(object->m_temp, -2);
  object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Name"))->PutValue(_variant_t(L"Zamówienie O'Briena"));
  object->AddTempRow(1, L"ol_Text", L"pierwsza");
  object->AddTempRow(1, L"ol_Text", L"druga");
  object->Set(1)->GetFields()->GetItem(_variant_t(L"ol_OrdId"))->PutValue(_variant_t(LONG{-1}));
  // The note is written before the order that names it, the lines after the order.
  object->AddTempRow(2, L"n_Text", L"notatka");
  object->Set(0)->GetFields()->GetItem(_variant_t(L"o_NoteId"))->PutValue(_variant_t(LONG{-4}));
  ASSERT_EQ(factory->InsertObject(object), S_OK);
  ASSERT_EQ(object->m_id.vt, VT_I4);
  const LONG id = object->m_id.lVal;
  EXPECT_GT(id, 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord WHERE o_Name = 'Zamówienie O''Briena'"), 1);
  std::wstring sql = L"SELECT COUNT(*) FROM ord_line WHERE ol_OrdId = " + std::to_wstring(id) + L" AND ol_Id > 0";
  EXPECT_EQ(Long(sql.c_str()), 2);  // the one linked to -1 and the one without a link
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord o JOIN ord_note n ON n.n_Id = o.o_NoteId WHERE n.n_Id > 0"), 1);
  // The recordsets hold the real keys and nothing pending.
  EXPECT_EQ(static_cast<LONG>(object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Id"))->GetValue()), id);
  EXPECT_EQ(Pending(object->Set(1)), 0);

  IFlgNewKeySourcePtr keys(host->Instance());
  _variant_t key;
  EXPECT_EQ(keys->GetNewKey(object, &key), S_OK);
  EXPECT_EQ(key.lVal, id);
}

TEST_F(DataFactory, ReadsLazilyUpdatesAndDeletesSubRowsFirst) {
  Run(L"INSERT INTO ord_note (n_Id, n_Text) VALUES (3, 'notatka')");
  Run(L"INSERT INTO ord (o_Id, o_Name, o_NoteId) VALUES (7, 'siedem', 3)");
  Run(L"INSERT INTO ord (o_Id, o_Name) VALUES (8, 'osiem')");
  Run(L"INSERT INTO ord_line (ol_Id, ol_OrdId, ol_Text) VALUES (1, 7, 'a')");
  Run(L"INSERT INTO ord_line (ol_Id, ol_OrdId, ol_Text) VALUES (2, 8, 'obca')");
  IUnknownPtr holder;
  TestObject* object = Read(holder, 7);
  EXPECT_TRUE(object->m_sets[0]);
  EXPECT_FALSE(object->m_sets[1]);  // sub-rows are read on first use
  ASSERT_EQ(factory->ReadDataSet(object, 1), S_OK);
  EXPECT_EQ(object->Set(1)->GetRecordCount(), 1);
  ASSERT_EQ(factory->ReadDataSet(object, 2), S_OK);
  EXPECT_EQ(object->Set(2)->GetRecordCount(), 1);

  object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Name"))->PutValue(_variant_t(L"zmienione"));
  object->AddTempRow(1, L"ol_Text", L"nowa");
  ASSERT_EQ(factory->UpdateObject(object), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord WHERE o_Name = 'zmienione'"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord_line WHERE ol_OrdId = 7 AND ol_Id > 0"), 2);

  // Lines before the order, the note after it: each order the references allow.
  ASSERT_EQ(factory->DeleteObject(object), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord_line"), 1);  // another order's line stays
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord_note"), 0);
}

TEST_F(DataFactory, RowsRemovedTogetherAreDeletedWhateverTheirReferences) {
  Run(L"INSERT INTO ord (o_Id, o_Name) VALUES (7, 'siedem')");
  Run(L"INSERT INTO ord_line (ol_Id, ol_OrdId, ol_Text) VALUES (1, 7, 'a')");
  IUnknownPtr holder;
  TestObject* object = Read(holder, 7);
  ASSERT_EQ(factory->ReadDataSet(object, 1), S_OK);
  object->Set(0)->Delete(adAffectCurrent);  // the order and its line in one save
  object->Set(1)->Delete(adAffectCurrent);
  ASSERT_EQ(factory->UpdateObject(object), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord_line"), 0);
}

TEST_F(DataFactory, TwoObjectsOnOneRowKeepEachOthersChanges) {
  Run(L"INSERT INTO ord (o_Id, o_Name, o_Qty) VALUES (7, 'siedem', 1)");
  IUnknownPtr a, b;
  TestObject* first = Read(a, 7);
  TestObject* second = Read(b, 7);
  first->Set(0)->GetFields()->GetItem(_variant_t(L"o_Name"))->PutValue(_variant_t(L"nazwa"));
  second->Set(0)->GetFields()->GetItem(_variant_t(L"o_Qty"))->PutValue(_variant_t(LONG{5}));
  ASSERT_EQ(factory->UpdateObject(first), S_OK);
  ASSERT_EQ(factory->UpdateObject(second), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord WHERE o_Name = 'nazwa' AND o_Qty = 5"), 1);
}

TEST_F(DataFactory, ARowThatVanishedFailsTheUpdate) {
  Run(L"INSERT INTO ord (o_Id, o_Name) VALUES (7, 'siedem')");
  IUnknownPtr holder;
  TestObject* object = Read(holder, 7);
  Run(L"DELETE FROM ord WHERE o_Id = 7");
  object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Name"))->PutValue(_variant_t(L"zmienione"));
  EXPECT_EQ(factory->UpdateObject(object), static_cast<HRESULT>(0x80040E38u));
  EXPECT_EQ(Pending(object->Set(0)), 1);
}

TEST_F(DataFactory, AFilteredRecordsetIsSavedWhole) {
  Run(L"INSERT INTO ord (o_Id, o_Name) VALUES (7, 'siedem')");
  IUnknownPtr holder;
  TestObject* object = Read(holder, 7);
  ASSERT_EQ(factory->ReadDataSet(object, 1), S_OK);
  object->AddTempRow(1, L"ol_Text", L"a");
  object->AddTempRow(1, L"ol_Text", L"b");
  object->AddTempRow(1, L"ol_Text", L"c");
  object->Set(1)->PutFilter(_variant_t(L"ol_Text = 'b'"));
  ASSERT_EQ(factory->UpdateObject(object), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord_line WHERE ol_OrdId = 7 AND ol_Id > 0"), 3);
  EXPECT_EQ(_bstr_t(object->Set(1)->GetFilter()), _bstr_t(L"ol_Text = 'b'"));  // the object's view stays
  EXPECT_EQ(object->Set(1)->GetRecordCount(), 1);
  EXPECT_EQ(Pending(object->Set(1)), 0);
}

TEST_F(DataFactory, AFailedSaveLeavesTheRowsAsTheyWereAndTheSecondSaveStoresAll) {
  IUnknownPtr holder;
  TestObject* object = NewObject(holder);
  object->m_state = 1;
  ASSERT_EQ(factory->AttachObject(object), S_OK);
  object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Name"))->PutValue(_variant_t(L"nowe"));
  object->AddTempRow(1, L"ol_Text", L"dobra");
  object->AddTempRow(1, L"ol_Text", L"zła");
  object->Set(1)->GetFields()->GetItem(_variant_t(L"ol_Text"))->PutValue(_variant_t());  // NOT NULL
  // The order is written, then its second line fails.
  EXPECT_EQ(factory->InsertObject(object), static_cast<HRESULT>(0x80040E2Fu));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord"), 0);
  EXPECT_NE(object->m_id.vt, VT_I4);  // no key of the failed attempt
  EXPECT_EQ(Pending(object->Set(0)), 1);
  EXPECT_EQ(Pending(object->Set(1)), 2);
  EXPECT_EQ(static_cast<LONG>(object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Id"))->GetValue()), -1);
  EXPECT_EQ(object->m_pending, 0);  // put back already

  object->Set(1)->GetFields()->GetItem(_variant_t(L"ol_Text"))->PutValue(_variant_t(L"poprawiona"));
  ASSERT_EQ(factory->InsertObject(object), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord_line l JOIN ord o ON o.o_Id = l.ol_OrdId"), 2);
}

TEST_F(DataFactory, TheNotificationPutsBackRowsOfASaveWhoseTransactionRolledBack) {
  Run(L"INSERT INTO ord (o_Id, o_Name) VALUES (7, 'siedem')");
  IUnknownPtr holder;
  TestObject* object = Read(holder, 7);
  object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Name"))->PutValue(_variant_t(L"zmienione"));
  cn->BeginTrans();
  ASSERT_EQ(factory->UpdateObject(object), S_OK);
  EXPECT_EQ(object->m_pending, 1);
  EXPECT_EQ(Pending(object->Set(0)), 0);
  cn->RollbackTrans();
  ASSERT_EQ(factory->NotifyObject(object), S_OK);
  EXPECT_EQ(Pending(object->Set(0)), 1);
  ASSERT_EQ(factory->UpdateObject(object), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord WHERE o_Name = 'zmienione'"), 1);
}

TEST_F(DataFactory, MissingRowsAndBadObjects) {
  IUnknownPtr holder;
  TestObject* object = NewObject(holder);
  object->m_id = _variant_t(LONG{99});
  EXPECT_EQ(factory->ReadObject(object), static_cast<HRESULT>(0x800A0BCDu));
  object->m_id.Clear();
  EXPECT_EQ(factory->ReadObject(object), E_INVALIDARG);
  EXPECT_EQ(factory->ReadObject(nullptr), E_INVALIDARG);
  EXPECT_EQ(factory->InsertObject(object), E_UNEXPECTED);  // nothing attached
  EXPECT_EQ(factory->ReadDataSet(object, 5), E_INVALIDARG);
  Run(L"DROP TABLE ord_line");
  object->m_id = _variant_t(LONG{1});
  EXPECT_EQ(factory->AttachObject(object), static_cast<HRESULT>(0x80040E37u));  // a table that is not there
  EXPECT_EQ(factory->DeleteObject(object), static_cast<HRESULT>(0x80040E37u));
}

}  // namespace
