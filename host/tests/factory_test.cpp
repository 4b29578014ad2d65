// The data factory reading and writing a data object with a main row and sub-rows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "host/host.h"
#include "shared/hxinstance.h"

namespace {

const FlgDataSetDef kDefs[] = {
    {0, 0, 0, L"ORD", L"ord", L"o_Id", L"", L"*", L"", 0, 0},
    {1, 1, 0, L"LINE", L"ord_line", L"ol_Id", L"ol_OrdId", L"*", L"", 1, 1},
};

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
  STDMETHODIMP GetState(VARIANT*) override { return S_OK; }
  STDMETHODIMP GetFormat(LONG*) override { return S_OK; }
  STDMETHODIMP GetLocked(VARIANT_BOOL*) override { return S_OK; }
  STDMETHODIMP SetDataSet(LONG i, IUnknown* rs) override {
    m_sets[i] = rs;
    return S_OK;
  }
  STDMETHODIMP GetDefinition(LONG i, const FlgDataSetDef** def) override {
    if (i < 0 || i > 1) return E_INVALIDARG;
    *def = &kDefs[i];
    return S_OK;
  }
  STDMETHODIMP GetDefinitionCount(LONG* count) override {
    *count = 2;
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
  STDMETHODIMP GetSecondDataSet(LONG, IUnknown**) override { return E_NOTIMPL; }
  STDMETHODIMP SetSecondDataSet(LONG, IUnknown*) override { return E_NOTIMPL; }
  STDMETHODIMP SetId(VARIANT id) override { return VariantCopy(&m_id, &id); }
  STDMETHODIMP HasDataSet(LONG i, VARIANT_BOOL* has) override {
    *has = m_sets[i] ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP SetPendingNotification(LONG) override { return S_OK; }
  STDMETHODIMP GetPendingNotification(LONG*) override { return S_OK; }
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
  IUnknownPtr m_sets[2];
  LONG m_temp = -1;
};

class DataFactory : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    path = L"/tmp/vantor-factory-test-" + std::to_wstring(::getpid()) + L".db";
    host = std::make_unique<host::Host>(path);
    cn = host->Connection();
    cn->Execute(_bstr_t(L"CREATE TABLE ord (o_Id int NOT NULL PRIMARY KEY, o_Name nvarchar(50) NULL)"), nullptr,
                kCmdTextNoRecords);
    cn->Execute(_bstr_t(L"CREATE TABLE ord_line (ol_Id int NOT NULL PRIMARY KEY, ol_OrdId int NOT NULL, "
                        L"ol_Text nvarchar(50) NULL)"),
                nullptr, kCmdTextNoRecords);
    factory = IFlgDataFactoryPtr(host->Instance());
  }
  void TearDown() override {
    factory = nullptr;
    cn = nullptr;
    host.reset();
    std::string narrow = static_cast<const char*>(_bstr_t(path.c_str()));
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((narrow + suffix).c_str());
    CoUninitialize();
  }
  LONG Long(const wchar_t* sql) {
    _RecordsetPtr rs;
    if (FAILED(OpenRS(rs, cn, sql)) || rs->GetadoEOF()) return -1;
    return static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
  }
  TestObject* NewObject(IUnknownPtr& holder) {
    auto* object = new CFlgComObject<TestObject>();
    holder = static_cast<IUnknown*>(static_cast<IFlgDataSetup*>(object));
    return object;
  }

  std::wstring path;
  std::unique_ptr<host::Host> host;
  _ConnectionPtr cn;
  IFlgDataFactoryPtr factory;
};

TEST_F(DataFactory, InsertGivesRealKeysAndLinksTheSubRows) {
  IUnknownPtr holder;
  TestObject* object = NewObject(holder);
  ASSERT_EQ(factory->AttachObject(object), S_OK);
  // The attached main row has the first temporary key; the object fills it.
  ASSERT_EQ(object->Set(0)->GetRecordCount(), 1);
  EXPECT_EQ(static_cast<LONG>(object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Id"))->GetValue()), -1);
  EXPECT_EQ(object->m_temp, -2);
  object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Name"))->PutValue(_variant_t(L"Zamówienie O'Briena"));
  object->AddTempRow(1, L"ol_Text", L"pierwsza");
  object->AddTempRow(1, L"ol_Text", L"druga");
  ASSERT_EQ(factory->InsertObject(object), S_OK);
  ASSERT_EQ(object->m_id.vt, VT_I4);
  const LONG id = object->m_id.lVal;
  EXPECT_GT(id, 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord WHERE o_Name = 'Zamówienie O''Briena'"), 1);
  std::wstring sql = L"SELECT COUNT(*) FROM ord_line WHERE ol_OrdId = " + std::to_wstring(id) + L" AND ol_Id > 0";
  EXPECT_EQ(Long(sql.c_str()), 2);

  IFlgNewKeySourcePtr keys(host->Instance());
  _variant_t key;
  EXPECT_EQ(keys->GetNewKey(object, &key), S_OK);
  EXPECT_EQ(key.lVal, id);
}

TEST_F(DataFactory, ReadsLazilyUpdatesAndDeletes) {
  cn->Execute(_bstr_t(L"INSERT INTO ord (o_Id, o_Name) VALUES (7, 'siedem')"), nullptr, kCmdTextNoRecords);
  cn->Execute(_bstr_t(L"INSERT INTO ord_line (ol_Id, ol_OrdId, ol_Text) VALUES (1, 7, 'a')"), nullptr,
              kCmdTextNoRecords);
  cn->Execute(_bstr_t(L"INSERT INTO ord_line (ol_Id, ol_OrdId, ol_Text) VALUES (2, 8, 'obca')"), nullptr,
              kCmdTextNoRecords);
  IUnknownPtr holder;
  TestObject* object = NewObject(holder);
  object->m_id = _variant_t(LONG{7});
  ASSERT_EQ(factory->ReadObject(object), S_OK);
  EXPECT_TRUE(object->m_sets[0]);
  EXPECT_FALSE(object->m_sets[1]);  // sub-rows are read on first use
  ASSERT_EQ(factory->ReadDataSet(object, 1), S_OK);
  EXPECT_EQ(object->Set(1)->GetRecordCount(), 1);

  object->Set(0)->GetFields()->GetItem(_variant_t(L"o_Name"))->PutValue(_variant_t(L"zmienione"));
  object->AddTempRow(1, L"ol_Text", L"nowa");
  ASSERT_EQ(factory->UpdateObject(object), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord WHERE o_Name = 'zmienione'"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord_line WHERE ol_OrdId = 7 AND ol_Id > 0"), 2);

  ASSERT_EQ(factory->DeleteObject(object), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM ord_line"), 1);  // another order's line stays
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
}

}  // namespace
