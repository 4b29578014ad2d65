// The data-object base over the host's data factory and a product database in a temporary file:
// a test object with a main row and two sub data sets (lines holding the main row's key, a note
// whose key the main row holds), driven through its interfaces; the factory in front of the host
// records the calls and fails on demand.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "auctions/dberror.h"
#include "auctions/flgobject.h"
#include "auctions/module.h"
#include "host/host.h"
#include "platform/base/utf8.h"
#include "platform/registry/registry.h"
#include "platform/gui/afxwin.h"
#include "platform/gui/headless.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/support/temp_folder.h"

namespace {

struct TestObjectClass;
VANTOR_UUIDOF(TestObjectClass, "6A1F0C44-2B8E-4D3A-9E57-0C1D2E3F4A5B");
struct TestExtensionClass;
VANTOR_UUIDOF(TestExtensionClass, "6A1F0C45-2B8E-4D3A-9E57-0C1D2E3F4A5B");

constexpr HRESULT kAccessDenied = E_ACCESSDENIED;
constexpr HRESULT kLocked = static_cast<HRESULT>(0x80040F19u);
constexpr HRESULT kBeginFailed = static_cast<HRESULT>(0x80040F41u);
constexpr HRESULT kCommitFailed = static_cast<HRESULT>(0x80040F42u);

const FlgDataSetDef kDefs[] = {
    {0, 0, 0, L"MAIN", L"tst_main", L"m_Id", L"", L"*", L"", 0, 0},
    {1, 1, 0, L"LINE", L"tst_line", L"l_Id", L"l_MainId", L"*", L"", 1, 1},
    {2, 1, 0, L"NOTE", L"tst_note", L"n_Id", L"m_NoteId", L"*", L"", 1, 0},
    {3, 1, 0, L"ATTR", L"vx_Atrybut", L"vxa_Id", L"vxa_idObiektuVx", L"*", L"", 1, 1},
    {4, 1, 1, L"PART", L"tst_part", L"p_Id", L"p_LineId", L"*", L"", 1, 1},
};
// A definition naming a table the database does not have.
const FlgDataSetDef kMissingTable[] = {{0, 0, 0, L"X", L"tst_none", L"x_Id", L"", L"*", L"", 0, 0}};

// What the extension double was told, in order ("insert 5 7": operation, key, parameter), and the
// lock rows present at each call.
std::vector<std::wstring> g_extensionCalls;
LONG g_lockRowsAtExtension = -1;

// What the tests set on the next test objects.
struct Script {
  bool missingTable = false;
  LONG objectType = 790;
  LONG rightNew = 0, rightEdit = 0, rightDelete = 0, rightView = 0;
  INT_PTR dialogResult = 1;
  bool dialogThrows = false;
  HRESULT onLoad = S_OK, onBeginEdit = S_OK, initDefaults = S_OK;
  std::vector<std::pair<LONG, HRESULT>> validateErrors;  // field, code
  bool requireName = false;
  bool attributes = false;
  bool extensions = false;
  CString displayName;
  CString sql;
} g_script;

const FlgObjectExtension kExtensions[] = {{__uuidof(TestExtensionClass), 7}};

class TestObject : public CComFlgObject {
 public:
  TestObject() {
    if (g_script.missingTable) SetDefinitions(kMissingTable, 1);
    else SetDefinitions(kDefs, 5);
    m_lObjectType = g_script.objectType;
    m_lRightNew = g_script.rightNew;
    m_lRightEdit = g_script.rightEdit;
    m_lRightDelete = g_script.rightDelete;
    m_lRightView = g_script.rightView;
    if (g_script.extensions) SetExtensions(kExtensions, 1, true);
  }
  CLSID GetObjectClsid() override { return __uuidof(TestObjectClass); }

  INT_PTR ShowEditDialog(CWnd* parent) override {
    dialogParent = parent ? parent->GetSafeHwnd() : nullptr;
    dialogState = State();
    VARIANT_BOOL locked = VARIANT_FALSE;
    GetLocked(&locked);
    lockedInDialog = locked != VARIANT_FALSE;
    if (g_script.dialogThrows) throw std::runtime_error("dialog");
    return g_script.dialogResult;
  }
  void AfterEditDialog(INT_PTR result, CWnd*) override { afterResult = result; }
  CString GetDisplayName() override { return g_script.displayName; }
  HRESULT InitNewDefaults(const VARIANT&) override {
    if (FAILED(g_script.initDefaults)) return g_script.initDefaults;
    FieldOf(0, L"m_Name")->PutValue(_variant_t(L"nowy"));
    return S_OK;
  }
  HRESULT OnLoad(const VARIANT& id) override {
    if (g_script.attributes) m_vAttributeOwner = _variant_t(id);
    return g_script.onLoad;
  }
  HRESULT OnBeginEdit() override { return g_script.onBeginEdit; }
  HRESULT Validate() override {
    for (const auto& [field, hr] : g_script.validateErrors) AddError(field, 0, L"Błędna wartość", hr);
    if (g_script.requireName) RequireFieldRes(L"m_Name", 101, 0, 1013, 0, E_INVALIDARG);
    return S_OK;
  }
  STDMETHODIMP GetSql(VARIANT, VARIANT, VARIANT, VARIANT, BSTR* sql) override {
    *sql = g_script.sql.IsEmpty() ? nullptr : SysAllocString(g_script.sql.GetString());
    return S_OK;
  }
  using CComFlgObject::SaveHistorySnapshot;
  void SetOwner(const _variant_t& owner) { m_vAttributeOwner = owner; }

  FieldPtr FieldOf(LONG set, const wchar_t* name) { return DataSet(set)->GetFields()->GetItem(_variant_t(name)); }

  HWND dialogParent = reinterpret_cast<HWND>(static_cast<INT_PTR>(-1));
  LONG dialogState = -1;
  bool lockedInDialog = false;
  INT_PTR afterResult = -100;
};

class TestExtension : public IFlgObjectExtension {
 public:
  virtual ~TestExtension() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgObjectExtension)) return static_cast<IFlgObjectExtension*>(this);
    return nullptr;
  }
  static std::wstring Text(const VARIANT& v) {
    if (v.vt == VT_I4) return std::to_wstring(v.lVal);
    return v.vt == VT_NULL ? L"null" : L"?";
  }
  void Note(IFlgDataFactory* factory, const std::wstring& what) {
    g_extensionCalls.push_back(what);
    IDispatch* raw = nullptr;
    if (factory && SUCCEEDED(factory->GetDbConnection(&raw))) {
      IDispatchPtr connection(raw, false);
      _RecordsetPtr rs;
      if (SUCCEEDED(OpenRS(rs, connection, L"SELECT COUNT(*) FROM kd_blokada")))
        g_lockRowsAtExtension = static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
    }
  }
  STDMETHODIMP OnInsert(IFlgDataFactory* f, VARIANT key, LONG param) override {
    Note(f, L"insert " + Text(key) + L" " + std::to_wstring(param));
    return S_OK;
  }
  STDMETHODIMP OnCopy(IFlgDataFactory* f, VARIANT source, VARIANT key, LONG param) override {
    Note(f, L"copy " + Text(source) + L" " + Text(key) + L" " + std::to_wstring(param));
    return S_OK;
  }
  STDMETHODIMP OnUpdate(IFlgDataFactory* f, VARIANT key, LONG param) override {
    Note(f, L"update " + Text(key) + L" " + std::to_wstring(param));
    return S_OK;
  }
  STDMETHODIMP OnDelete(IFlgDataFactory* f, VARIANT key, LONG param) override {
    Note(f, L"delete " + Text(key) + L" " + std::to_wstring(param));
    return S_OK;
  }
};

// A window object: IFlgWnd with the handle of a window.
class TestWindow : public IFlgWnd {
 public:
  TestWindow() : m_hwnd(CreateWindowExW(0, L"#32770", L"okno", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)) {}
  virtual ~TestWindow() { DestroyWindow(m_hwnd); }
  HWND Handle() const { return m_hwnd; }
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgWnd)) return static_cast<IFlgWnd*>(this);
    return nullptr;
  }
  STDMETHODIMP GetWindow(LONG* hwnd) override {
    *hwnd = static_cast<LONG>(reinterpret_cast<INT_PTR>(m_hwnd));
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 private:
  HWND m_hwnd;
};

CString ErrorDescription() {
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) != S_OK || !raw) return CString();
  IErrorInfoPtr info(raw, false);
  BSTR text = nullptr;
  info->GetDescription(&text);
  _bstr_t owned(text, false);
  return CString(owned.length() ? static_cast<const wchar_t*>(owned) : L"");
}

class DataObject : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    platform::registry::UseMemoryStore();
    platform::gui::SetEcho(false);
    platform::gui::ClearRecords();
    g_script = Script();
    g_extensionCalls.clear();
    g_lockRowsAtExtension = -1;
    folder = std::make_unique<testtemp::TempFolder>("vantor-flgobject-test");
    path = platform::utf8::ToWide(folder->Database());
    host = std::make_unique<host::Host>(path);
    cn = host->Connection();
    Run(L"CREATE TABLE tst_main (m_Id int NOT NULL PRIMARY KEY, m_Name nvarchar(50) NULL, m_NoteId int NULL, "
        L"m_Qty int NULL, m_Memo nvarchar(50) NULL)");
    Run(L"CREATE TABLE tst_line (l_Id int NOT NULL PRIMARY KEY, l_MainId int NOT NULL, l_Text nvarchar(50) NOT NULL)");
    Run(L"CREATE TABLE tst_note (n_Id int NOT NULL PRIMARY KEY, n_Text nvarchar(50) NULL)");
    Run(L"CREATE TABLE tst_part (p_Id int NOT NULL PRIMARY KEY, p_LineId int NOT NULL, p_Text nvarchar(50) NULL)");
    Run(L"CREATE TABLE vx_Atrybut (vxa_Id int NOT NULL PRIMARY KEY, vxa_idObiektuVx int NOT NULL, "
        L"vxa_Nazwa nvarchar(50) NOT NULL, vxa_Wartosc nvarchar(255) NULL)");
    Run(L"CREATE TABLE tst_hist (h_Id int NOT NULL PRIMARY KEY, h_MainId int NOT NULL, h_Qty int NULL, "
        L"h_Memo nvarchar(50) NULL)");
    recorder = std::make_shared<doubles::Recorder>();
    wrapper = new CFlgComObject<doubles::FactoryWrapper>(recorder, IUnknownPtr(host->Instance()));
    factory = IFlgDataFactoryPtr(static_cast<IFlgDataFactory*>(wrapper));
    classes.emplace_back(__uuidof(TestObjectClass), CFlgComClassFactory::For<TestObject>());
    classes.emplace_back(__uuidof(TestExtensionClass), CFlgComClassFactory::For<TestExtension>());
  }
  void TearDown() override {
    classes.clear();
    factory = nullptr;
    cn = nullptr;
    host.reset();
    folder.reset();
    platform::gui::ClearRecords();
    platform::gui::ClearScripts();
    CoUninitialize();
    EXPECT_EQ(LotrixModule().GetLockCount(), 0);  // every object released its lock on the library
  }
  void Run(const wchar_t* sql) { cn->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords); }
  LONG Long(const std::wstring& sql) {
    _RecordsetPtr rs;
    if (FAILED(OpenRS(rs, cn, sql.c_str())) || rs->GetadoEOF()) return -1;
    return static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
  }
  LONG LockRows() { return Long(L"SELECT COUNT(*) FROM kd_blokada"); }
  // A new test object (held by `holder`).
  TestObject* New(IFlgItemPtr& holder) {
    auto* object = new CFlgComObject<TestObject>();
    holder = IFlgItemPtr(static_cast<IFlgItem*>(object));
    return object;
  }
  // Main row 7 "siedem" with note 70 and lines 71, 72.
  void Seed() {
    Run(L"INSERT INTO tst_note (n_Id, n_Text) VALUES (70, 'notatka')");
    Run(L"INSERT INTO tst_main (m_Id, m_Name, m_NoteId, m_Qty, m_Memo) VALUES (7, 'siedem', 70, 1, 'a')");
    Run(L"INSERT INTO tst_line (l_Id, l_MainId, l_Text) VALUES (71, 7, 'pierwsza')");
    Run(L"INSERT INTO tst_line (l_Id, l_MainId, l_Text) VALUES (72, 7, 'druga')");
  }
  TestObject* Loaded(IFlgItemPtr& holder, LONG id = 7) {
    TestObject* object = New(holder);
    EXPECT_EQ(holder->Load(factory, _variant_t(id)), S_OK);
    return object;
  }
  static LONG State(IFlgItemPtr item) {
    _variant_t state;
    IFlgDataPtr(item)->GetState(&state);
    return state.lVal;
  }
  static _RecordsetPtr Set(IFlgItemPtr item, LONG index) {
    IUnknown* raw = nullptr;
    EXPECT_EQ(IFlgDataSetPtr(item)->GetDataSet(index, &raw), S_OK);
    IUnknownPtr held(raw, false);
    return _RecordsetPtr(held);
  }
  static LONG Pending(const _RecordsetPtr& rs) {
    _RecordsetPtr view = rs->Clone(adLockUnspecified);
    view->PutFilter(_variant_t(static_cast<LONG>(adFilterPendingRecords)));
    return view->GetRecordCount();
  }
  // Adds a line under the main row with the text; its temporary key.
  static LONG AddLine(IFlgItemPtr item, const wchar_t* text) {
    _variant_t key;
    EXPECT_EQ(IFlgDataSetPtr(item)->AddSubRowKey(1, &key), S_OK);
    if (text) Set(item, 1)->GetFields()->GetItem(_variant_t(L"l_Text"))->PutValue(_variant_t(text));
    return key.lVal;
  }

  std::unique_ptr<testtemp::TempFolder> folder;  // the database's
  std::wstring path;
  std::unique_ptr<host::Host> host;
  _ConnectionPtr cn;
  std::shared_ptr<doubles::Recorder> recorder;
  doubles::FactoryWrapper* wrapper = nullptr;
  IFlgDataFactoryPtr factory;
  std::vector<CFlgClassRegistration> classes;
};

// ---------------------------------------------------------------------------------------------
// States, reading and the edit lock

TEST_F(DataObject, NewObjectsGetTheAttachedMainRowAndFailedDefaultsLeaveStateNone) {
  IFlgItemPtr item;
  New(item);
  ASSERT_EQ(item->InitNew(factory, _variant_t()), S_OK);
  EXPECT_EQ(State(item), 1);
  _variant_t id;
  IFlgDataPtr(item)->GetId(&id);
  EXPECT_EQ(id.vt, VT_NULL);
  _RecordsetPtr main = Set(item, 0);
  EXPECT_EQ(main->GetRecordCount(), 1);
  EXPECT_EQ(static_cast<LONG>(main->GetFields()->GetItem(_variant_t(L"m_Id"))->GetValue()), -1);
  EXPECT_EQ(_bstr_t(main->GetFields()->GetItem(_variant_t(L"m_Name"))->GetValue()), _bstr_t(L"nowy"));

  g_script.initDefaults = E_UNEXPECTED;
  IFlgItemPtr failing;
  New(failing);
  EXPECT_EQ(failing->InitNew(factory, _variant_t()), E_UNEXPECTED);
  EXPECT_EQ(State(failing), 0);
  EXPECT_EQ(failing->InitNew(nullptr, _variant_t()), E_INVALIDARG);
}

TEST_F(DataObject, ReadingAMissingRowOrAFailingOnLoadLeavesStateNoneWithTheReadErrorText) {
  Seed();
  IFlgItemPtr item;
  New(item);
  EXPECT_EQ(item->Load(factory, _variant_t(LONG{99})), static_cast<HRESULT>(0x80040F2Fu));
  EXPECT_EQ(State(item), 0);
  EXPECT_NE(ErrorDescription().Find(L"Błąd odczytu z bazy danych."), -1);

  g_script.onLoad = static_cast<HRESULT>(0x80040E31u);
  IFlgItemPtr other;
  New(other);
  EXPECT_EQ(other->Load(factory, _variant_t(LONG{7})), static_cast<HRESULT>(0x80040F1Eu));
  EXPECT_EQ(State(other), 0);

  g_script = Script();
  g_script.missingTable = true;
  IFlgItemPtr broken;
  New(broken);
  EXPECT_EQ(broken->Load(factory, _variant_t(LONG{1})), static_cast<HRESULT>(0x80040F20u));
  EXPECT_EQ(State(broken), 0);
}

TEST_F(DataObject, EditingTakesOneLockRowAndOnlyOnReadObjectsOfALockedType) {
  Seed();
  IFlgItemPtr item;
  Loaded(item);
  EXPECT_EQ(State(item), 3);
  EXPECT_EQ(item->BeginEdit(), S_OK);
  EXPECT_EQ(item->BeginEdit(), S_OK);
  EXPECT_EQ(State(item), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada WHERE obtype = 790 AND obid = 7 AND obextra = 0"), 1);
  VARIANT_BOOL locked = VARIANT_FALSE;
  IFlgDataPtr(item)->GetLocked(&locked);
  EXPECT_NE(locked, VARIANT_FALSE);
  EXPECT_EQ(item->EndEdit(), S_OK);
  EXPECT_EQ(State(item), 3);
  EXPECT_EQ(LockRows(), 0);

  // A new object is not entered (1) and takes no lock.
  IFlgItemPtr fresh;
  New(fresh);
  ASSERT_EQ(fresh->InitNew(factory, _variant_t()), S_OK);
  EXPECT_EQ(fresh->BeginEdit(), S_FALSE);
  EXPECT_EQ(State(fresh), 1);
  EXPECT_EQ(LockRows(), 0);

  // Type -1 is never locked.
  g_script.objectType = -1;
  IFlgItemPtr unlocked;
  Loaded(unlocked);
  EXPECT_EQ(unlocked->BeginEdit(), S_OK);
  EXPECT_EQ(State(unlocked), 2);
  EXPECT_EQ(LockRows(), 0);
  EXPECT_EQ(unlocked->EndEdit(), S_OK);

  // A failing hook sends the state to 0.
  g_script = Script();
  g_script.onBeginEdit = E_UNEXPECTED;
  IFlgItemPtr hooked;
  Loaded(hooked);
  EXPECT_EQ(hooked->BeginEdit(), E_UNEXPECTED);
  EXPECT_EQ(State(hooked), 0);
  hooked = nullptr;  // its lock row goes with it
  EXPECT_EQ(LockRows(), 0);
}

TEST_F(DataObject, ALockHeldElsewhereRefusesEditingWithTheDatabasesExplanation) {
  Seed();
  Run(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (7, 0, 790, 'INNY', 'Ktoś')");
  IFlgItemPtr item;
  Loaded(item);
  EXPECT_EQ(item->BeginEdit(), kLocked);
  EXPECT_EQ(State(item), 3);
  const CString description = ErrorDescription();
  EXPECT_FALSE(description.IsEmpty());
  EXPECT_EQ(description.Find(L"Nie można zablokować obiektu."), -1);  // the database's own explanation
  EXPECT_EQ(item->SetLockOnEdit(0), S_OK);
  EXPECT_EQ(item->BeginEdit(), S_OK);  // without taking the lock
  EXPECT_EQ(LockRows(), 1);
}

// ---------------------------------------------------------------------------------------------
// Rights

TEST_F(DataObject, ARefusedRightGivesTheHostsExplanationAsErrorInformation) {
  Seed();
  host->Object().SetUser(2);
  g_script.rightNew = 777;
  g_script.rightEdit = 778;
  g_script.rightDelete = 779;
  IFlgItemPtr item;
  New(item);
  EXPECT_EQ(item->InitNew(factory, _variant_t()), kAccessDenied);
  EXPECT_NE(ErrorDescription().Find(L"777"), -1);
  EXPECT_EQ(State(item), 0);

  IFlgItemPtr read;
  Loaded(read);
  EXPECT_EQ(read->BeginEdit(), kAccessDenied);
  EXPECT_EQ(read->Delete(factory, _variant_t(LONG{7})), kAccessDenied);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 1);
  EXPECT_EQ(LockRows(), 0);

  host->Object().GrantRight(2, 778, true);
  EXPECT_EQ(read->BeginEdit(), S_OK);
  EXPECT_EQ(read->EndEdit(), S_OK);
  EXPECT_EQ(item->SetCheckRights(0), S_OK);
  EXPECT_EQ(item->InitNew(factory, _variant_t()), S_OK);
}

// ---------------------------------------------------------------------------------------------
// Temporary keys and the row operations

TEST_F(DataObject, NewRowsOfAReadObjectGetMinusOneTwoThreeUnderTheirParent) {
  Seed();
  IFlgItemPtr item;
  Loaded(item);
  EXPECT_EQ(AddLine(item, L"a"), -1);
  EXPECT_EQ(AddLine(item, L"b"), -2);
  EXPECT_EQ(AddLine(item, L"c"), -3);
  _RecordsetPtr lines = Set(item, 1);
  EXPECT_EQ(static_cast<LONG>(lines->GetFields()->GetItem(_variant_t(L"l_MainId"))->GetValue()), 7);
  LONG temp = 0;
  IFlgDataSetupPtr(item)->GetTempKey(&temp);
  EXPECT_EQ(temp, -4);
  // A main data set has no parent row to add under; slot 11 wants its out-parameter.
  EXPECT_EQ(IFlgDataSetPtr(item)->AddSubRow(0), E_FAIL);
  EXPECT_EQ(IFlgDataSetPtr(item)->AddRow(1, _variant_t(LONG{7}), nullptr), E_INVALIDARG);
  EXPECT_EQ(IFlgDataSetPtr(item)->AddSubRow(9), E_INVALIDARG);
}

TEST_F(DataObject, DeletingARowDeletesItsChildRowsInBothDirectionsAndKeepsTheFilters) {
  Seed();
  Run(L"INSERT INTO tst_part (p_Id, p_LineId, p_Text) VALUES (81, 71, 'część')");
  IFlgItemPtr item;
  Loaded(item);
  _RecordsetPtr lines = Set(item, 1);
  _RecordsetPtr notes = Set(item, 2);
  _RecordsetPtr parts = Set(item, 4);
  lines->PutFilter(_variant_t(L"l_Text = 'pierwsza'"));
  // Line 71 and its part.
  EXPECT_EQ(IFlgDataSetPtr(item)->DeleteRow(1, 71), S_OK);
  EXPECT_EQ(_bstr_t(lines->GetFilter()), _bstr_t(L"l_Text = 'pierwsza'"));
  lines->PutFilter(_variant_t(LONG{adFilterNone}));
  EXPECT_EQ(lines->GetRecordCount(), 1);
  EXPECT_EQ(parts->GetRecordCount(), 0);
  EXPECT_EQ(IFlgDataSetPtr(item)->DeleteRow(1, 71), S_FALSE);  // gone already
  // The main row: its remaining line (direction 1) and the note it names (direction 0).
  EXPECT_EQ(IFlgDataSetPtr(item)->DeleteRow(0, 7), S_OK);
  EXPECT_EQ(lines->GetRecordCount(), 0);
  EXPECT_EQ(notes->GetRecordCount(), 0);
  EXPECT_EQ(IFlgDataSetPtr(item)->DeleteRow(5, 7), E_INVALIDARG);
}

// ---------------------------------------------------------------------------------------------
// Lazy reading

TEST_F(DataObject, DataSetsAreReadOnFirstUseThenTheirParents) {
  Seed();
  IFlgItemPtr item;
  Loaded(item);
  EXPECT_EQ(recorder->Count(L"IFlgDataFactory::ReadDataSet"), 0);
  Set(item, 4);  // the parts, then the lines they belong to; the lines' parent is the main row
  EXPECT_EQ(recorder->ArgsOf(L"IFlgDataFactory::ReadDataSet"), (std::vector<std::wstring>{L"4", L"1"}));
  Set(item, 1);
  Set(item, 2);
  EXPECT_EQ(recorder->ArgsOf(L"IFlgDataFactory::ReadDataSet"), (std::vector<std::wstring>{L"4", L"1", L"2"}));
  VARIANT_BOOL has = VARIANT_FALSE;
  IFlgDataSetupPtr(item)->HasDataSet(3, &has);
  EXPECT_EQ(has, VARIANT_FALSE);
  IUnknown* raw = nullptr;
  EXPECT_EQ(IFlgDataSetPtr(item)->GetDataSet(5, &raw), E_INVALIDARG);
  EXPECT_EQ(IFlgDataSetPtr(item)->GetDataSet(0, nullptr), E_INVALIDARG);
  const FlgDataSetDef* def = nullptr;
  EXPECT_EQ(IFlgDataSetupPtr(item)->GetDefinition(2, &def), S_OK);
  EXPECT_STREQ(def->link, L"m_NoteId");
  EXPECT_EQ(IFlgDataSetupPtr(item)->GetDefinition(-1, &def), E_INVALIDARG);
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(DataObject, ANewObjectIsSavedWithRealKeysAndIsReadAfterwards) {
  IFlgItemPtr item;
  TestObject* object = New(item);
  ASSERT_EQ(item->InitNew(factory, _variant_t()), S_OK);
  AddLine(item, L"pierwsza");
  AddLine(item, L"druga");
  _variant_t noteKey;
  ASSERT_EQ(IFlgDataSetPtr(item)->AddRow(2, _variant_t(), &noteKey), S_OK);
  object->FieldOf(2, L"n_Text")->PutValue(_variant_t(L"notatka"));
  object->FieldOf(0, L"m_NoteId")->PutValue(noteKey);
  ASSERT_EQ(item->Save(), S_OK);
  EXPECT_EQ(State(item), 3);
  _variant_t id;
  IFlgDataPtr(item)->GetId(&id);
  ASSERT_EQ(id.vt, VT_I4);
  EXPECT_GT(id.lVal, 0);
  const std::wstring key = std::to_wstring(id.lVal);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_line WHERE l_Id > 0 AND l_MainId = " + key), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main m JOIN tst_note n ON n.n_Id = m.m_NoteId WHERE n.n_Id > 0 AND m.m_Id = " + key), 1);
  EXPECT_EQ(Pending(Set(item, 0)), 0);
  EXPECT_EQ(Pending(Set(item, 1)), 0);
  EXPECT_EQ(recorder->ArgsOf(L"IFlgInstance::RefreshObjectType"),
            (std::vector<std::wstring>{doubles::GuidText(__uuidof(TestObjectClass)) + L" 1 " + key}));
  EXPECT_EQ(recorder->Count(L"_Connection::CommitTrans"), 1);
}

TEST_F(DataObject, AReadObjectIsNotSavedUntilItIsEdited) {
  Seed();
  IFlgItemPtr item;
  TestObject* object = Loaded(item);
  object->FieldOf(0, L"m_Name")->PutValue(_variant_t(L"zmienione"));
  EXPECT_EQ(item->Save(), E_FAIL);
  EXPECT_EQ(recorder->Count(L"IFlgDataFactory::UpdateObject"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main WHERE m_Name = 'siedem'"), 1);

  ASSERT_EQ(item->BeginEdit(), S_OK);
  ASSERT_EQ(item->Save(), S_OK);
  EXPECT_EQ(State(item), 2);
  ASSERT_EQ(item->EndEdit(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main WHERE m_Name = 'zmienione'"), 1);
  EXPECT_EQ(LockRows(), 0);
  EXPECT_EQ(recorder->ArgsOf(L"IFlgInstance::RefreshObjectType").back(),
            doubles::GuidText(__uuidof(TestObjectClass)) + L" 2 7");
}

TEST_F(DataObject, ATransactionThatCannotBeginOrCommitFailsTheSaveAndAFixedSecondSaveStoresAll) {
  IFlgItemPtr item;
  New(item);
  ASSERT_EQ(item->InitNew(factory, _variant_t()), S_OK);
  AddLine(item, L"pierwsza");
  recorder->FailOn(L"_Connection::BeginTrans", E_FAIL, 1);
  EXPECT_EQ(item->Save(), kBeginFailed);
  EXPECT_EQ(recorder->Count(L"IFlgDataFactory::InsertObject"), 0);
  EXPECT_EQ(recorder->Count(L"IFlgDataFactory::NotifyObject"), 0);

  recorder->FailOn(L"_Connection::CommitTrans", E_FAIL, 1);
  EXPECT_EQ(item->Save(), kCommitFailed);
  EXPECT_NE(ErrorDescription().Find(L"Błąd zapisu do bazy danych."), -1);
  EXPECT_EQ(recorder->Count(L"_Connection::RollbackTrans"), 1);
  EXPECT_EQ(recorder->Count(L"IFlgDataFactory::NotifyObject"), 1);  // the pending notification
  EXPECT_EQ(State(item), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 0);
  // The rows are pending again with their temporary keys.
  EXPECT_EQ(Pending(Set(item, 0)), 1);
  EXPECT_EQ(static_cast<LONG>(Set(item, 1)->GetFields()->GetItem(_variant_t(L"l_Id"))->GetValue()), -2);

  ASSERT_EQ(item->Save(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_line l JOIN tst_main m ON m.m_Id = l.l_MainId"), 1);
}

TEST_F(DataObject, AFailedWriteIsMappedWithTheSaveTextAndLeavesEveryRowPending) {
  IFlgItemPtr item;
  New(item);
  ASSERT_EQ(item->InitNew(factory, _variant_t()), S_OK);
  AddLine(item, nullptr);  // l_Text NOT NULL: the line fails after the main row was written
  EXPECT_EQ(item->Save(), static_cast<HRESULT>(0x80040F1Cu));
  EXPECT_NE(ErrorDescription().Find(L"Błąd zapisu do bazy danych."), -1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 0);
  EXPECT_EQ(Pending(Set(item, 0)), 1);
  EXPECT_EQ(Pending(Set(item, 1)), 1);

  Set(item, 1)->GetFields()->GetItem(_variant_t(L"l_Text"))->PutValue(_variant_t(L"poprawiona"));
  ASSERT_EQ(item->Save(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_line WHERE l_Text = 'poprawiona'"), 1);

  recorder->FailOn(L"IFlgDataFactory::UpdateObject", static_cast<HRESULT>(0x80040E14u), 1);
  ASSERT_EQ(item->BeginEdit(), S_OK);
  EXPECT_EQ(item->Save(), static_cast<HRESULT>(0x80040F34u));
  ASSERT_EQ(item->EndEdit(), S_OK);
}

// ---------------------------------------------------------------------------------------------
// Deleting

TEST_F(DataObject, DeletingLocksForItsDurationAndRemovesEveryRow) {
  Seed();
  g_script.extensions = true;
  IFlgItemPtr item;
  Loaded(item);
  ASSERT_EQ(item->Delete(factory, _variant_t(LONG{7})), S_OK);
  EXPECT_EQ(g_extensionCalls, (std::vector<std::wstring>{L"delete 7 7"}));
  EXPECT_EQ(g_lockRowsAtExtension, 1);  // held while the delete ran
  EXPECT_EQ(LockRows(), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_line"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_note"), 0);
  EXPECT_EQ(recorder->ArgsOf(L"IFlgInstance::RefreshObjectType").back(),
            doubles::GuidText(__uuidof(TestObjectClass)) + L" 3 7");
}

TEST_F(DataObject, AFailedDeleteOrCommitLeavesTheRowsAndNoLockRow) {
  Seed();
  IFlgItemPtr item;
  Loaded(item);
  recorder->FailOn(L"IFlgDataFactory::DeleteObject", static_cast<HRESULT>(0x80040E2Fu), 1);
  EXPECT_EQ(item->Delete(factory, _variant_t(LONG{7})), static_cast<HRESULT>(0x80040F1Cu));
  EXPECT_NE(ErrorDescription().Find(L"Błąd usunięcia z bazy danych."), -1);
  EXPECT_EQ(LockRows(), 0);
  EXPECT_EQ(State(item), 3);

  recorder->FailOn(L"_Connection::CommitTrans", E_FAIL, 1);
  EXPECT_EQ(item->Delete(factory, _variant_t(LONG{7})), kCommitFailed);
  EXPECT_EQ(LockRows(), 0);  // released after the rollback, so it stays released
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_line"), 2);
  // Another object can edit it now.
  IFlgItemPtr other;
  Loaded(other);
  EXPECT_EQ(other->BeginEdit(), S_OK);
}

// ---------------------------------------------------------------------------------------------
// Extensions and copies

TEST_F(DataObject, ExtensionsAreToldOfInsertUpdateAndCopyWithTheNewKey) {
  Seed();
  g_script.extensions = true;
  IFlgItemPtr fresh;
  New(fresh);
  ASSERT_EQ(fresh->InitNew(factory, _variant_t()), S_OK);
  ASSERT_EQ(fresh->Save(), S_OK);
  _variant_t id;
  IFlgDataPtr(fresh)->GetId(&id);
  ASSERT_EQ(fresh->BeginEdit(), S_OK);
  ASSERT_EQ(fresh->Save(), S_OK);
  ASSERT_EQ(fresh->EndEdit(), S_OK);
  const std::wstring key = std::to_wstring(id.lVal);
  EXPECT_EQ(g_extensionCalls, (std::vector<std::wstring>{L"insert " + key + L" 7", L"update " + key + L" 7"}));

  g_extensionCalls.clear();
  IFlgItemPtr copy;
  New(copy);
  ASSERT_EQ(copy->InitCopy(factory, _variant_t(LONG{7})), S_OK);
  ASSERT_EQ(copy->Save(), S_OK);
  _variant_t copyId;
  IFlgDataPtr(copy)->GetId(&copyId);
  EXPECT_EQ(g_extensionCalls, (std::vector<std::wstring>{L"copy 7 " + std::to_wstring(copyId.lVal) + L" 7"}));

  // A factory without the new-key source calls no extension.
  g_extensionCalls.clear();
  wrapper->hideNewKeySource = true;
  IFlgItemPtr plain;
  New(plain);
  ASSERT_EQ(plain->InitNew(factory, _variant_t()), S_OK);
  ASSERT_EQ(plain->Save(), S_OK);
  EXPECT_TRUE(g_extensionCalls.empty());
}

TEST_F(DataObject, ACopyGetsTemporaryKeysWithItsRowsLinkedToTheCopiesAndSavesApart) {
  Seed();
  IFlgItemPtr copy;
  TestObject* object = New(copy);
  ASSERT_EQ(copy->InitCopy(factory, _variant_t(LONG{7})), S_OK);
  EXPECT_EQ(State(copy), 1);
  const LONG mainKey = static_cast<LONG>(object->FieldOf(0, L"m_Id")->GetValue());
  EXPECT_LT(mainKey, 0);
  EXPECT_EQ(_bstr_t(object->FieldOf(0, L"m_Name")->GetValue()), _bstr_t(L"siedem"));
  _RecordsetPtr lines = Set(copy, 1);
  EXPECT_EQ(lines->GetRecordCount(), 2);
  for (lines->MoveFirst(); !lines->GetadoEOF(); lines->MoveNext()) {
    EXPECT_LT(static_cast<LONG>(lines->GetFields()->GetItem(_variant_t(L"l_Id"))->GetValue()), 0);
    EXPECT_EQ(static_cast<LONG>(lines->GetFields()->GetItem(_variant_t(L"l_MainId"))->GetValue()), mainKey);
  }
  const LONG noteKey = static_cast<LONG>(object->FieldOf(2, L"n_Id")->GetValue());
  EXPECT_LT(noteKey, 0);
  EXPECT_EQ(static_cast<LONG>(object->FieldOf(0, L"m_NoteId")->GetValue()), noteKey);

  ASSERT_EQ(copy->Save(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_line"), 4);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_note"), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main m JOIN tst_note n ON n.n_Id = m.m_NoteId WHERE m.m_Id <> 7 AND "
                 L"n.n_Id <> 70"),
            1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_line WHERE l_MainId = 7"), 2);  // the source keeps its own
}

// ---------------------------------------------------------------------------------------------
// Attributes and history snapshots

TEST_F(DataObject, AttributesAreRowsFoundByNameWithTheFilterPutBack) {
  Seed();
  IFlgItemPtr item;
  TestObject* object = Loaded(item);
  _variant_t value(L"przed");
  EXPECT_EQ(object->GetAttribute(3, L"Kolor", &value), E_NOTIMPL);
  EXPECT_EQ(object->SetAttribute(3, L"Kolor", _variant_t(L"x")), E_NOTIMPL);
  EXPECT_EQ(_bstr_t(value), _bstr_t(L"przed"));

  object->SetOwner(_variant_t(LONG{7}));
  ASSERT_EQ(object->SetAttribute(3, L"Kolor", _variant_t(L"zielony")), S_OK);
  ASSERT_EQ(object->SetAttribute(3, L"Rozmiar", _variant_t(LONG{42})), S_OK);
  ASSERT_EQ(object->SetAttribute(3, L"O'Brien", _variant_t(L"z apostrofem")), S_OK);
  _RecordsetPtr attributes = Set(item, 3);
  attributes->PutFilter(_variant_t(L"vxa_Nazwa <> 'Kolor'"));
  ASSERT_EQ(object->GetAttribute(3, L"Kolor", &value), S_OK);
  EXPECT_EQ(_bstr_t(value), _bstr_t(L"zielony"));
  ASSERT_EQ(object->GetAttribute(3, L"O'Brien", &value), S_OK);
  EXPECT_EQ(_bstr_t(value), _bstr_t(L"z apostrofem"));
  EXPECT_EQ(_bstr_t(attributes->GetFilter()), _bstr_t(L"vxa_Nazwa <> 'Kolor'"));
  EXPECT_EQ(attributes->GetRecordCount(), 2);
  attributes->PutFilter(_variant_t(LONG{adFilterNone}));

  ASSERT_EQ(object->SetAttribute(3, L"Rozmiar", _variant_t(LONG{43})), S_OK);
  EXPECT_EQ(attributes->GetRecordCount(), 3);
  _variant_t null;
  null.vt = VT_NULL;
  ASSERT_EQ(object->SetAttribute(3, L"Kolor", null), S_OK);
  EXPECT_EQ(attributes->GetRecordCount(), 2);
  value = _variant_t(L"brak");
  EXPECT_EQ(object->GetAttribute(3, L"Kolor", &value), S_FALSE);
  EXPECT_EQ(_bstr_t(value), _bstr_t(L"brak"));
  ASSERT_EQ(object->SetAttribute(3, L"Kolor", _variant_t(L"czerwony")), S_OK);
  EXPECT_EQ(attributes->GetRecordCount(), 3);

  ASSERT_EQ(item->BeginEdit(), S_OK);
  ASSERT_EQ(item->Save(), S_OK);
  ASSERT_EQ(item->EndEdit(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM vx_Atrybut WHERE vxa_idObiektuVx = 7"), 3);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM vx_Atrybut WHERE vxa_Nazwa = 'Rozmiar' AND vxa_Wartosc = '43'"), 1);
}

TEST_F(DataObject, TwoSnapshotsWithoutAChangeAddOneHistoryRow) {
  Seed();
  IFlgItemPtr item;
  TestObject* object = Loaded(item);
  const _variant_t id(LONG{7});
  ASSERT_EQ(object->SaveHistorySnapshot(id, L"tst_main", L"m_Id", L"tst_hist", L"h_Id", L"h_MainId"), S_OK);
  ASSERT_EQ(object->SaveHistorySnapshot(id, L"tst_main", L"m_Id", L"tst_hist", L"h_Id", L"h_MainId"), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_hist WHERE h_MainId = 7 AND h_Qty = 1 AND h_Memo = 'a'"), 1);
  // Columns 1 and 2 are not kept: a new name alone adds nothing; a new column 3 does.
  Run(L"UPDATE tst_main SET m_Name = 'inna' WHERE m_Id = 7");
  ASSERT_EQ(object->SaveHistorySnapshot(id, L"tst_main", L"m_Id", L"tst_hist", L"h_Id", L"h_MainId"), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_hist"), 1);
  Run(L"UPDATE tst_main SET m_Qty = 2 WHERE m_Id = 7");
  ASSERT_EQ(object->SaveHistorySnapshot(id, L"tst_main", L"m_Id", L"tst_hist", L"h_Id", L"h_MainId"), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_hist"), 2);
  EXPECT_EQ(Long(L"SELECT h_Qty FROM tst_hist ORDER BY h_Id DESC"), 2);
  // A missing current row adds nothing; an overlong statement is refused.
  ASSERT_EQ(object->SaveHistorySnapshot(_variant_t(LONG{99}), L"tst_main", L"m_Id", L"tst_hist", L"h_Id", L"h_MainId"),
            S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_hist"), 2);
  const std::wstring longName(1100, L'x');
  EXPECT_EQ(object->SaveHistorySnapshot(id, longName.c_str(), L"m_Id", L"tst_hist", L"h_Id", L"h_MainId"),
            E_INVALIDARG);
}

// ---------------------------------------------------------------------------------------------
// The error list and the checks

TEST_F(DataObject, TheErrorListKeepsTheFirstNegativeCodeAndNoDuplicates) {
  Seed();
  IFlgItemPtr item;
  Loaded(item);
  LONG count = -1;
  BSTR text = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(item->GetErrorText(0, &text), S_FALSE);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(item->Check(), S_OK);

  g_script.validateErrors = {{5, S_FALSE}, {6, E_INVALIDARG}, {7, E_UNEXPECTED}, {6, E_INVALIDARG}};
  EXPECT_EQ(item->Check(), E_INVALIDARG);
  item->GetErrorCount(&count);
  EXPECT_EQ(count, 3);
  ASSERT_EQ(item->GetErrorText(1, &text), S_OK);
  EXPECT_STREQ(text, L"Błędna wartość");
  SysFreeString(text);
  EXPECT_EQ(item->GetErrorText(3, &text), E_INVALIDARG);
  EXPECT_EQ(item->GetErrorText(0, nullptr), E_INVALIDARG);

  // A second check keeps the entries and reports the first error of its own.
  g_script.validateErrors = {{7, E_UNEXPECTED}};
  EXPECT_EQ(item->Check(), E_UNEXPECTED);
  item->GetErrorCount(&count);
  EXPECT_EQ(count, 3);
}

TEST_F(DataObject, ARequiredFieldTakesItsMessageFromTheStringTable) {
  g_script.requireName = true;
  IFlgItemPtr item;
  TestObject* object = New(item);
  ASSERT_EQ(item->InitNew(factory, _variant_t()), S_OK);
  EXPECT_EQ(item->Check(), S_OK);  // "nowy"
  object->FieldOf(0, L"m_Name")->PutValue(_variant_t(L""));
  EXPECT_EQ(item->Check(), E_INVALIDARG);
  BSTR text = nullptr;
  ASSERT_EQ(item->GetErrorText(0, &text), S_OK);
  EXPECT_STREQ(text, L"Transakcja");  // Vantor's string 1013, joined to Lotrix's resources
  SysFreeString(text);
  CObjErrorInfoArray* errors = object->GetErrorList();
  ASSERT_EQ(errors->GetSize(), 1);
  EXPECT_EQ(errors->GetAt(0).fieldId, 101);
  EXPECT_EQ(errors->GetAt(0).caption, CString(L"Błąd"));
  EXPECT_EQ(errors->GetAt(0).icon, 0x7F01u);
}

// ---------------------------------------------------------------------------------------------
// The view operations

TEST_F(DataObject, ShowEntersEditAroundTheDialogAndMapsItsResult) {
  Seed();
  IFlgItemPtr item;
  TestObject* object = Loaded(item);
  IFlgItemViewPtr view(item);
  IFlgInstancePtr instance = host->Instance();
  const std::pair<INT_PTR, HRESULT> results[] = {
      {1, S_OK}, {0, S_FALSE}, {2, S_FALSE}, {4, static_cast<HRESULT>(0x80041355u)}, {-1, E_FAIL}};
  for (const auto& [dialog, expected] : results) {
    g_script.dialogResult = dialog;
    EXPECT_EQ(view->Show(nullptr, instance), expected) << dialog;
    EXPECT_EQ(object->afterResult, dialog);
  }
  EXPECT_EQ(object->dialogParent, nullptr);  // no window object: no parent
  EXPECT_EQ(object->dialogState, 2);
  EXPECT_TRUE(object->lockedInDialog);
  EXPECT_EQ(State(item), 3);
  EXPECT_EQ(LockRows(), 0);

  auto* windowObject = new CFlgComObject<TestWindow>();
  IFlgWndPtr window(static_cast<IFlgWnd*>(windowObject));
  g_script.dialogResult = 1;
  EXPECT_EQ(view->Show(window, instance), S_OK);
  EXPECT_EQ(object->dialogParent, windowObject->Handle());
  EXPECT_EQ(view->Show(window, nullptr), E_INVALIDARG);

  // The read-only view does not enter edit; a new object is shown as it is.
  EXPECT_EQ(view->ShowReadOnly(nullptr, instance), S_OK);
  EXPECT_EQ(object->dialogState, 3);
  EXPECT_FALSE(object->lockedInDialog);
  IFlgItemPtr fresh;
  TestObject* freshObject = New(fresh);
  ASSERT_EQ(fresh->InitNew(factory, _variant_t()), S_OK);
  EXPECT_EQ(IFlgItemViewPtr(fresh)->Show(nullptr, instance), S_OK);
  EXPECT_EQ(freshObject->dialogState, 1);

  // A failure that is no COM error.
  g_script.dialogThrows = true;
  EXPECT_EQ(view->Show(nullptr, instance), E_FAIL);
  EXPECT_EQ(ErrorDescription(), CString(L"Niezdefiniowany błąd"));
  EXPECT_EQ(LockRows(), 0);
  EXPECT_EQ(view->ShowExtra(nullptr, instance), E_NOTIMPL);
  LONG hwnd = -1;
  object->SetWindowHandle(55);
  view->GetWindow(&hwnd);
  EXPECT_EQ(hwnd, 55);
}

TEST_F(DataObject, DeleteViewAsksWithTheDisplayNameAndDeletesOnYes) {
  Seed();
  IFlgItemPtr item;
  Loaded(item);
  IFlgItemViewPtr view(item);
  platform::gui::QueueMessageBoxAnswer(IDNO);
  EXPECT_EQ(view->ShowDelete(nullptr, host->Instance()), S_FALSE);
  auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Czy na pewno usunąć wybraną pozycję?");
  EXPECT_EQ(boxes[0].type, 0x134u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 1);

  g_script.displayName = L"zamówienie 7";
  platform::gui::ClearRecords();
  platform::gui::QueueMessageBoxAnswer(IDYES);
  EXPECT_EQ(view->ShowDelete(nullptr, host->Instance()), S_OK);
  boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Czy na pewno usunąć zamówienie 7?");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tst_main"), 0);
  EXPECT_EQ(LockRows(), 0);
}

// ---------------------------------------------------------------------------------------------
// The remaining faces

TEST_F(DataObject, TheTextLookupErrorInfoFacesAndBadInput) {
  Seed();
  IFlgItemPtr item;
  Loaded(item);
  IFlgTextPtr text(item);
  LONG value = -1;
  EXPECT_EQ(text->GetLong(_variant_t(), _variant_t(), _variant_t(), _variant_t(), factory, &value), S_OK);
  EXPECT_EQ(value, 0);  // no statement
  g_script.sql = L"SELECT COUNT(*) FROM tst_line";
  EXPECT_EQ(text->GetLong(_variant_t(), _variant_t(), _variant_t(), _variant_t(), factory, &value), S_OK);
  EXPECT_EQ(value, 2);
  g_script.sql = L"SELECT l_Id FROM tst_line WHERE 1 = 0";
  EXPECT_EQ(text->GetLong(_variant_t(), _variant_t(), _variant_t(), _variant_t(), factory, &value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(text->GetLong(_variant_t(), _variant_t(), _variant_t(), _variant_t(), nullptr, &value), E_INVALIDARG);
  EXPECT_EQ(text->GetLong(_variant_t(), _variant_t(), _variant_t(), _variant_t(), factory, nullptr), E_INVALIDARG);

  ISupportErrorInfoPtr support(item);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(IFlgItem)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(IFlgItemView)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(IFlgDataSet)), S_FALSE);

  CLSID clsid = GUID_NULL;
  EXPECT_EQ(item->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, __uuidof(TestObjectClass));
  EXPECT_EQ(IFlgDataPtr(item)->GetId(nullptr), E_INVALIDARG);
  EXPECT_EQ(item->Load(nullptr, _variant_t(LONG{7})), E_INVALIDARG);
  EXPECT_EQ(item->Delete(nullptr, _variant_t(LONG{7})), E_INVALIDARG);
  EXPECT_EQ(item->InitCopy(factory, _variant_t(LONG{99})), static_cast<HRESULT>(0x80040F2Fu));
  item->SetCallbackValue(12);
  LONG callback = 0;
  item->GetCallbackValue(&callback);
  EXPECT_EQ(callback, 12);
  LONG format = 0;
  IFlgDataPtr(item)->GetFormat(&format);
  EXPECT_EQ(format, 1);
}

}  // namespace
