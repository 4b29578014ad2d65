#pragma once
// Test doubles of the host: its framework instance with the interfaces reached through it, the
// job-log store, business objects and the ERP connector. Every call is recorded as
// "Interface::Method(arguments)" in one shared recorder, and any method can be made to fail.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "framework/comobject.h"
#include "framework/zephra.h"

namespace doubles {

class Recorder {
 public:
  // Records the call and answers the failure set for the method (S_OK when none).
  HRESULT Call(const std::wstring& method, const std::wstring& args = L"");
  // Makes `method` ("IHxStatusWindow::ShowLine") answer `hr`, `times` times (-1: always).
  void FailOn(const std::wstring& method, HRESULT hr, int times = -1);
  void ClearFailures();
  std::vector<std::wstring> Calls() const;
  // The calls of one method, as their argument texts.
  std::vector<std::wstring> ArgsOf(const std::wstring& method) const;
  int Count(const std::wstring& method) const;
  void Clear();

 private:
  struct Failure {
    HRESULT hr;
    int times;
  };
  mutable std::mutex m_mutex;
  std::vector<std::pair<std::wstring, std::wstring>> m_calls;
  std::map<std::wstring, Failure> m_failures;
};

std::wstring GuidText(REFGUID guid);

// One account's record in the registration lookup: the values of its fields user_id, service_id
// and registration_id (VT_EMPTY: the field is missing from the record).
struct FakeRegistration {
  _variant_t userId;
  _variant_t serviceId;
  _variant_t registrationId;
};

// The framework instance and its services.
class FakeInstance : public IFlgInstance,
                     public IFlgDataFactory,
                     public IHxUser,
                     public IHxAppServices,
                     public IHxStatusWindow,
                     public IHxStartCheck,
                     public IHxErpHost,
                     public IHxAppCaption,
                     public IFlgSkin,
                     public IHxRegistrationSource {
 public:
  explicit FakeInstance(std::shared_ptr<Recorder> recorder);
  virtual ~FakeInstance() = default;
  void* FlgGetInterface(REFIID iid);

  // --- settings of the double
  std::shared_ptr<Recorder> recorder;
  _ConnectionPtr connection;                 // what GetDbConnection gives (null: none)
  std::map<LONG, IUnknownPtr> numbered;      // GetObjectByNumber
  std::set<std::wstring> hidden;             // interface names QueryInterface refuses ("IHxUser")
  LONG userId = 1;
  std::wstring userName = L"Szef";
  std::wstring caption = L"Vantor";          // IHxAppCaption::GetCaption
  bool erpAvailable = false;
  LONG account = 0, site = 0, accountSite = 0, ownerFilter = 0;
  HRESULT readiness = S_OK;
  std::wstring readinessReason;
  bool cancel = false;
  std::set<LONG> lackingRights;
  _variant_t erpActiveId;                    // the ERP host's active connector id
  IUnknownPtr erpActiveConnector;
  std::map<LONG, IUnknownPtr> erpEntries;     // connector entries by id
  IUnknownPtr erpActiveEntry;
  IUnknownPtr accountSites;
  std::map<LONG, COLORREF> skinColors;      // IFlgSkin::GetColor (others: the framework's stock colours)
  // IFlgSkin::LoadBitmap: a new bitmap of the size given for the skin image id, each column of
  // pixels the colour RGB(x % 256, image id % 256, 0); other ids answer E_INVALIDARG. Recorded
  // as "IFlgSkin::LoadBitmap(image,variant)".
  std::map<LONG, std::pair<int, int>> skinBitmaps;   // width, height
  // What GetImageRepository gives (recorded; null answers S_OK with no repository).
  IUnknownPtr imageRepository;
  // Host settings by "section/key", answered in the type the caller passes in (GetSetting).
  std::map<std::wstring, _variant_t> settings;
  // The registration lookup's records by account id; an account without one fails with
  // E_INVALIDARG. "IHxRegistrationSource::GetRegistrationTable" and "IHxRegistrationTable::GetRecord"
  // can be made to fail through the recorder.
  std::map<LONG, FakeRegistration> registrations;
  // GetNavigation gives a navigation double recording "IHxNavigation::SwitchView({GUID},vt:value)"
  // and "IHxNavigation::GetActiveView()", whose active view records
  // "IHxCustomerView::ShowCustomer(id)"; "IHxNavigation" in `hidden` makes GetNavigation answer
  // E_NOINTERFACE, "IHxCustomerView" gives an active view without that interface.

  // --- IFlgInstance
  STDMETHOD(RefreshObjectType)(REFGUID clsid, LONG kind, VARIANT id) override;
  STDMETHOD(GetObjectByNumber)(LONG number, IUnknown** object) override;
  STDMETHOD(CheckRight)(LONG right, LONG reserved) override;
  STDMETHOD(CheckRightText)(LONG right, BSTR* explanation) override;
  STDMETHOD(ShowRightRefused)(LONG right, LONG hwnd) override;
  STDMETHOD(ShowMessage)(BSTR caption, BSTR text, LONG hwnd) override;
  STDMETHOD(GetMainWindow)(IUnknown** window) override;
  STDMETHOD(GetSetting)(BSTR section, BSTR key, VARIANT* value) override;
  STDMETHOD(PutSetting)(BSTR section, BSTR key, VARIANT value) override;
  STDMETHOD(GetNavigation)(IHxNavigation** navigation) override;
  // --- IFlgDataFactory
  STDMETHOD(GetDbConnection)(IDispatch** connection) override;
  STDMETHOD(GetConnectionObject)(LONG kind, IUnknown** object) override;
  STDMETHOD(ReserveIds)(BSTR table, LONG count, LONG* first) override;
  STDMETHOD(AttachObject)(IFlgDataSetup* object) override;
  STDMETHOD(ReadObject)(IFlgDataSetup* object) override;
  STDMETHOD(ReadDataSet)(IFlgDataSetup* object, LONG index) override;
  STDMETHOD(InsertObject)(IFlgDataSetup* object) override;
  STDMETHOD(UpdateObject)(IFlgDataSetup* object) override;
  STDMETHOD(DeleteObject)(IFlgDataSetup* object) override;
  STDMETHOD(NotifyObject)(IFlgDataSetup* object) override;
  // --- IHxUser
  STDMETHOD(GetUserName)(BSTR* name) override;
  STDMETHOD(GetUserId)(LONG* id) override;
  // --- IHxAppServices
  STDMETHOD(GetImageStore)(IUnknown** store) override;
  STDMETHOD(IsErpAvailable)(VARIANT_BOOL* available) override;
  STDMETHOD(NotifyError)() override;
  STDMETHOD(NotifyWarning)() override;
  STDMETHOD(GetImageRepository)(IUnknown** repository) override;
  STDMETHOD(SetRefreshState)(LONG state) override;
  // --- IHxStatusWindow
  STDMETHOD(Reset)() override;
  STDMETHOD(IsCancelRequested)(VARIANT_BOOL* cancel) override;
  STDMETHOD(ShowLine)(BSTR text) override;
  STDMETHOD(ShowSummary)(BSTR text) override;
  STDMETHOD(Refresh)(LONG what) override;
  // --- IHxStartCheck
  STDMETHOD(GetAccountSites)(IUnknown** recordset) override;
  STDMETHOD(GetSelectedAccount)(LONG* account) override;
  STDMETHOD(GetSelectedSite)(LONG* site) override;
  STDMETHOD(GetSelectedAccountSite)(LONG* accountSite) override;
  STDMETHOD(GetOwnerFilter)(LONG* filter) override;
  STDMETHOD(SetSelection)(LONG account, LONG accountSite) override;
  STDMETHOD(CheckReady)(BSTR* reason) override;
  // --- IFlgSkin
  STDMETHOD(LoadBitmap)(LONG image, LONG variant, HBITMAP* bitmap) override;
  STDMETHOD(GetColor)(LONG index, COLORREF* color) override;
  // --- IHxErpHost
  STDMETHOD(GetActiveConnectorId)(VARIANT* id) override;
  STDMETHOD(GetActiveConnector)(IUnknown** connector) override;
  STDMETHOD(GetConnectorEntry)(VARIANT id, IUnknown** entry) override;
  STDMETHOD(GetActiveEntry)(IUnknown** entry) override;
  // --- IHxAppCaption
  STDMETHOD(GetCaption)(LONG kind, BSTR* caption) override;
  // --- IHxRegistrationSource
  STDMETHOD(GetRegistrationTable)(IUnknown** table) override;
};

// The host's picture repository: "IHxImageRepository::BeginTransaction" answers `beginState`,
// "EndTransaction(state)" and "GetPicture(id)" are recorded; pictures by id, any of them failing
// through the recorder.
class FakeImageRepository : public IHxImageRepository {
 public:
  struct Picture {
    std::wstring name;
    std::string bytes;
    LONG width = 0, height = 0, size = 0;
  };
  explicit FakeImageRepository(std::shared_ptr<Recorder> recorder) : m_recorder(std::move(recorder)) {}
  virtual ~FakeImageRepository() = default;
  // A new one held by `holder`.
  static FakeImageRepository* New(std::shared_ptr<Recorder> recorder, IUnknownPtr& holder);
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(GetPicture)(LONG id, BSTR* name, IUnknown** stream, LONG* width, LONG* height, LONG* size,
                        VARIANT_BOOL* found) override;
  STDMETHOD(EndTransaction)(LONG state) override;
  STDMETHOD(BeginTransaction)(LONG* state) override;

  LONG beginState = 0;
  std::map<LONG, Picture> pictures;

 private:
  std::shared_ptr<Recorder> m_recorder;
};

// The host's connection-settings object as a double (class HxConnectionSettings).
struct FakeConnectionSettings {
  enum class Kind {
    System,            // loads and says to use the system's settings
    Stored,            // loads and gives the fields below
    WithoutInterface,  // an object that does not answer IHxConnectionSettings
    LoadFails,         // answers, but its record cannot be loaded
  };
  Kind kind = Kind::System;
  std::wstring host, user, password;
  LONG port = 0;
};

// The job-log store, created by its class id while a HostDoubles is alive.
class FakeJobLogStore : public IHxJobLogStore {
 public:
  explicit FakeJobLogStore(std::shared_ptr<Recorder> recorder) : m_recorder(std::move(recorder)) {}
  virtual ~FakeJobLogStore() = default;
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(StartJob)(LONG type, LONG subtype) override;
  STDMETHOD(EndJob)(LONG count, LONG result) override;
  STDMETHOD(AddString)(DATE time, BSTR text, LONG status) override;
  STDMETHOD(DeleteAll)() override;
  STDMETHOD(Started)(VARIANT_BOOL* started) override;

 private:
  std::shared_ptr<Recorder> m_recorder;
  bool m_started = false;
};

// A business object of a class id; its id is what Load was given (or `newId` after InitNew).
class FakeItem : public IFlgItem, public IFlgData {
 public:
  FakeItem(std::shared_ptr<Recorder> recorder, GUID clsid) : m_recorder(std::move(recorder)), m_clsid(clsid) {
    m_id.vt = VT_NULL;
  }
  virtual ~FakeItem() = default;
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(GetClassID)(CLSID* clsid) override;
  STDMETHOD(InitNew)(IFlgDataFactory* factory, VARIANT init) override;
  STDMETHOD(Load)(IFlgDataFactory* factory, VARIANT id) override;
  STDMETHOD(InitCopy)(IFlgDataFactory* factory, VARIANT id) override;
  STDMETHOD(BeginEdit)() override;
  STDMETHOD(EndEdit)() override;
  STDMETHOD(Save)() override;
  STDMETHOD(Check)() override;
  STDMETHOD(Delete)(IFlgDataFactory* factory, VARIANT id) override;
  STDMETHOD(GetErrorCount)(LONG* count) override;
  STDMETHOD(GetErrorText)(LONG index, BSTR* text) override;
  STDMETHOD(SetUseTransaction)(LONG use) override;
  STDMETHOD(SetLockOnEdit)(LONG lock) override;
  STDMETHOD(SetCheckRights)(LONG check) override;
  STDMETHOD(SetCallbackValue)(LONG value) override;
  STDMETHOD(GetCallbackValue)(LONG* value) override;
  STDMETHOD(GetId)(VARIANT* id) override;
  STDMETHOD(GetState)(VARIANT* state) override;
  STDMETHOD(GetFormat)(LONG* format) override;
  STDMETHOD(GetLocked)(VARIANT_BOOL* locked) override;

  _variant_t m_id;

 private:
  std::shared_ptr<Recorder> m_recorder;
  GUID m_clsid;
};

// The ERP connector (with its connector entry and connection parameters).
class FakeErpConnector : public DSIConnector, public IHxErpConnectorEntry {
 public:
  explicit FakeErpConnector(std::shared_ptr<Recorder> recorder) : m_recorder(std::move(recorder)) {}
  virtual ~FakeErpConnector() = default;
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(GetConnected)(VARIANT_BOOL* connected) override;
  STDMETHOD(SetConnectorId)(VARIANT id) override;
  STDMETHOD(Connect)(IUnknown* params) override;
  STDMETHOD(Disconnect)() override;
  STDMETHOD(GetCurrentUser)(LONG* user) override;
  STDMETHOD(SetCurrentUser)(LONG user) override;
  STDMETHOD(GetDocuments)(IUnknown** documents) override;
  STDMETHOD(GetProducts)(IUnknown** products) override;
  STDMETHOD(GetCustomers)(IUnknown** customers) override;
  STDMETHOD(GetDefaults)(IUnknown** defaults) override;
  STDMETHOD(GetConnector)(IUnknown** connector) override;
  STDMETHOD(GetConnectionParams)(IUnknown** params) override;

  bool connected = false;
  bool connectSucceeds = true;  // Connect leaves the connector connected
  LONG user = 0;
  IUnknownPtr child;            // what the documents/products/customers/defaults calls give

 private:
  std::shared_ptr<Recorder> m_recorder;
};

// One entry of an ERP collection: its key and name.
struct ErpEntry {
  LONG key;
  std::wstring name;
};

// A collection of the ERP connector with its enumerator; `failKeyAt` makes the key of that entry
// (0-based) fail with E_FAIL.
class FakeErpCollection : public DSICollection, public IHxPositionCursor {
 public:
  explicit FakeErpCollection(std::vector<ErpEntry> entries) : m_entries(std::move(entries)) {}
  virtual ~FakeErpCollection() = default;
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(GetIsEmpty)(VARIANT_BOOL* empty) override;
  STDMETHOD(GetName)(VARIANT key, BSTR* name) override;
  STDMETHOD(MoveFirst)() override;
  STDMETHOD(IsEOF)(VARIANT_BOOL* eof) override;
  STDMETHOD(MoveNext)() override;
  STDMETHOD(GetKey)(VARIANT* key) override;

  int failKeyAt = -1;

 private:
  std::vector<ErpEntry> m_entries;
  size_t m_position = 0;
};

// What an ERP connector hands out: one object answering its documents, products, customers and
// defaults interfaces. The documents give the document types by kind and the payment forms set
// here (a kind without a list answers no collection); `failure` makes every documents call fail.
class FakeErpObjects : public DSIDocuments, public DSIProducts, public DSICustomers, public DSIDefaults {
 public:
  virtual ~FakeErpObjects() = default;
  void* FlgGetInterface(REFIID iid);
  // A new one, held by the returned pointer.
  static IUnknownPtr New();
  // A new one held by `holder`, to be set up.
  static FakeErpObjects* New(IUnknownPtr& holder);

  STDMETHOD(GetDocTypes)(dsiDocType kind, IUnknown** collection) override;
  STDMETHOD(GetPaymentForms)(IUnknown** collection) override;

  std::map<LONG, std::vector<ErpEntry>> docTypes;
  std::vector<ErpEntry> paymentForms;
  bool hasPaymentForms = true;
  HRESULT failure = S_OK;
  int failKeyAt = -1;   // given to every collection made
};

// A database connection that passes everything to a real one, recording transaction calls as
// "_Connection::BeginTrans" / "CommitTrans" / "RollbackTrans", which can be made to fail. Other
// interfaces are asked of the real connection, so recordsets opened on it work as usual.
class FailingConnection : public _Connection {
 public:
  FailingConnection(std::shared_ptr<Recorder> recorder, _ConnectionPtr inner)
      : m_recorder(std::move(recorder)), m_inner(std::move(inner)) {}
  virtual ~FailingConnection() = default;
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(GetTypeInfoCount)(UINT* count) override { return m_inner->GetTypeInfoCount(count); }
  STDMETHOD(GetTypeInfo)(UINT i, LCID lcid, ITypeInfo** info) override { return m_inner->GetTypeInfo(i, lcid, info); }
  STDMETHOD(GetIDsOfNames)(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return m_inner->GetIDsOfNames(iid, names, count, lcid, ids);
  }
  STDMETHOD(Invoke)(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                    EXCEPINFO* info, UINT* arg) override {
    return m_inner->Invoke(id, iid, lcid, flags, params, result, info, arg);
  }
  STDMETHOD(get_Properties)(::Properties** out) override { return m_inner->get_Properties(out); }
  STDMETHOD(get_ConnectionString)(BSTR* out) override { return m_inner->get_ConnectionString(out); }
  STDMETHOD(put_ConnectionString)(BSTR v) override { return m_inner->put_ConnectionString(v); }
  STDMETHOD(get_CommandTimeout)(LONG* out) override { return m_inner->get_CommandTimeout(out); }
  STDMETHOD(put_CommandTimeout)(LONG v) override { return m_inner->put_CommandTimeout(v); }
  STDMETHOD(get_ConnectionTimeout)(LONG* out) override { return m_inner->get_ConnectionTimeout(out); }
  STDMETHOD(put_ConnectionTimeout)(LONG v) override { return m_inner->put_ConnectionTimeout(v); }
  STDMETHOD(get_Version)(BSTR* out) override { return m_inner->get_Version(out); }
  STDMETHOD(raw_Close)() override { return m_inner->raw_Close(); }
  STDMETHOD(raw_Execute)(BSTR sql, VARIANT* affected, LONG options, _Recordset** out) override {
    return m_inner->raw_Execute(sql, affected, options, out);
  }
  STDMETHOD(raw_BeginTrans)(LONG* level) override;
  STDMETHOD(raw_CommitTrans)() override;
  STDMETHOD(raw_RollbackTrans)() override;
  STDMETHOD(raw_Open)(BSTR text, BSTR user, BSTR password, LONG options) override {
    return m_inner->raw_Open(text, user, password, options);
  }
  STDMETHOD(get_Errors)(::Errors** out) override { return m_inner->get_Errors(out); }
  STDMETHOD(get_DefaultDatabase)(BSTR* out) override { return m_inner->get_DefaultDatabase(out); }
  STDMETHOD(put_DefaultDatabase)(BSTR v) override { return m_inner->put_DefaultDatabase(v); }
  STDMETHOD(get_CursorLocation)(CursorLocationEnum* out) override { return m_inner->get_CursorLocation(out); }
  STDMETHOD(put_CursorLocation)(CursorLocationEnum v) override { return m_inner->put_CursorLocation(v); }
  STDMETHOD(get_State)(LONG* out) override { return m_inner->get_State(out); }
  STDMETHOD(get_Provider)(BSTR* out) override { return m_inner->get_Provider(out); }
  STDMETHOD(put_Provider)(BSTR v) override { return m_inner->put_Provider(v); }
  STDMETHOD(raw_Cancel)() override { return m_inner->raw_Cancel(); }

 private:
  std::shared_ptr<Recorder> m_recorder;
  _ConnectionPtr m_inner;
  std::atomic<ULONG> m_refs{0};
};

// A data factory in front of a real one (the host's): every call is passed on and recorded as
// "IFlgDataFactory::InsertObject" (also the instance's RefreshObjectType with "clsid kind id"
// and CheckRightText with the right), and any of them can be made to fail first; the connection it
// gives is a FailingConnection on the same recorder.
class FactoryWrapper : public IFlgDataFactory, public IFlgInstance, public IFlgNewKeySource, public IHxUser {
 public:
  FactoryWrapper(std::shared_ptr<Recorder> recorder, IUnknownPtr inner);
  virtual ~FactoryWrapper() = default;
  void* FlgGetInterface(REFIID iid);

  // --- IFlgDataFactory
  STDMETHOD(GetDbConnection)(IDispatch** connection) override;
  STDMETHOD(GetConnectionObject)(LONG kind, IUnknown** object) override;
  STDMETHOD(ReserveIds)(BSTR table, LONG count, LONG* first) override;
  STDMETHOD(AttachObject)(IFlgDataSetup* object) override;
  STDMETHOD(ReadObject)(IFlgDataSetup* object) override;
  STDMETHOD(ReadDataSet)(IFlgDataSetup* object, LONG index) override;
  STDMETHOD(InsertObject)(IFlgDataSetup* object) override;
  STDMETHOD(UpdateObject)(IFlgDataSetup* object) override;
  STDMETHOD(DeleteObject)(IFlgDataSetup* object) override;
  STDMETHOD(NotifyObject)(IFlgDataSetup* object) override;
  // --- IFlgInstance
  STDMETHOD(RefreshObjectType)(REFGUID clsid, LONG kind, VARIANT id) override;
  STDMETHOD(GetObjectByNumber)(LONG number, IUnknown** object) override;
  STDMETHOD(CheckRight)(LONG right, LONG reserved) override;
  STDMETHOD(CheckRightText)(LONG right, BSTR* explanation) override;
  STDMETHOD(ShowRightRefused)(LONG right, LONG hwnd) override;
  STDMETHOD(ShowMessage)(BSTR caption, BSTR text, LONG hwnd) override;
  STDMETHOD(GetMainWindow)(IUnknown** window) override;
  STDMETHOD(GetSetting)(BSTR section, BSTR key, VARIANT* value) override;
  STDMETHOD(PutSetting)(BSTR section, BSTR key, VARIANT value) override;
  // --- IFlgNewKeySource
  STDMETHOD(GetNewKey)(IFlgDataSetup* object, VARIANT* key) override;
  // --- IHxUser
  STDMETHOD(GetUserName)(BSTR* name) override;
  STDMETHOD(GetUserId)(LONG* id) override;

  // Hide the new-key source (QueryInterface refuses it), as a factory without one does.
  bool hideNewKeySource = false;

 private:
  std::shared_ptr<Recorder> m_recorder;
  IFlgDataFactoryPtr m_factory;
  IFlgInstancePtr m_instance;
  IFlgNewKeySourcePtr m_keys;
  IHxUserPtr m_user;
  IUnknownPtr m_connection;  // a FailingConnection
};

// A framework instance in front of a real one (the host's): every interface asked of it is the
// real instance's own, except two. The status window's cancel question is answered from the
// instance's own script: "cancel" from its `cancelAt`-th ask on (0: never; the real window's
// answer otherwise), `onAsk` seeing every ask first; the window's other methods go to the real
// one. The progress bar is recorded as "IHxProgress::Open()", "IHxProgress::SetMode(text low
// high)" ... and answers what the recorder says (or is missing with `hideProgress`).
class ScriptedInstance : public IFlgInstance, public IHxStatusWindow, public IHxProgress {
 public:
  ScriptedInstance(std::shared_ptr<Recorder> recorder, IFlgInstancePtr inner);
  virtual ~ScriptedInstance() = default;
  // A new one, held by the returned pointer.
  static IFlgInstancePtr New(std::shared_ptr<Recorder> recorder, IFlgInstancePtr inner, ScriptedInstance** out);

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override;

  // --- IFlgInstance (passed on)
  STDMETHOD(RefreshObjectType)(REFGUID clsid, LONG kind, VARIANT id) override;
  STDMETHOD(GetObjectByNumber)(LONG number, IUnknown** object) override;
  STDMETHOD(CheckRight)(LONG right, LONG reserved) override;
  STDMETHOD(CheckRightText)(LONG right, BSTR* explanation) override;
  STDMETHOD(ShowRightRefused)(LONG right, LONG hwnd) override;
  STDMETHOD(ShowMessage)(BSTR caption, BSTR text, LONG hwnd) override;
  STDMETHOD(GetMainWindow)(IUnknown** window) override;
  STDMETHOD(GetSetting)(BSTR section, BSTR key, VARIANT* value) override;
  STDMETHOD(PutSetting)(BSTR section, BSTR key, VARIANT value) override;
  // --- IHxStatusWindow
  STDMETHOD(Reset)() override;
  STDMETHOD(IsCancelRequested)(VARIANT_BOOL* cancel) override;
  STDMETHOD(ShowLine)(BSTR text) override;
  STDMETHOD(ShowSummary)(BSTR text) override;
  STDMETHOD(Refresh)(LONG what) override;
  // --- IHxProgress (recorded)
  STDMETHOD(Open)() override;
  STDMETHOD(Hide)() override;
  STDMETHOD(SetMode)(VARIANT text, LONG low, LONG high) override;
  STDMETHOD(Step)(LONG delta) override;
  STDMETHOD(Stop)() override;
  STDMETHOD(SetText)(BSTR text, LONG reserved) override;

  std::atomic<int> cancelAt{0};
  std::atomic<int> asks{0};
  std::function<void(int ask)> onAsk;
  bool hideProgress = false;

 private:
  std::shared_ptr<Recorder> m_recorder;
  IFlgInstancePtr m_inner;
  IHxStatusWindowPtr m_window;
  std::atomic<ULONG> m_refs{0};
};

// One set of doubles: the instance (set into the gateway), the job-log store class and business
// object classes, registered in this process for the doubles' lifetime.
class HostDoubles {
 public:
  HostDoubles();
  ~HostDoubles();
  HostDoubles(const HostDoubles&) = delete;
  HostDoubles& operator=(const HostDoubles&) = delete;

  // Registers FakeItem objects under `clsid`.
  void RegisterItemClass(REFCLSID clsid);
  // Withdraws the job-log store class, so that creating a store fails.
  void UnregisterJobLogStore();
  // Serves the connection-settings class as `settings` say (replacing what served it before; at
  // first it says to use the system's settings); RemoveConnectionSettings leaves the class
  // unregistered.
  void SetConnectionSettings(const FakeConnectionSettings& settings);
  void RemoveConnectionSettings();
  // A new ERP connector double sharing the recorder.
  FakeErpConnector* NewErpConnector(IUnknownPtr& holder);

  std::shared_ptr<Recorder> recorder;
  FakeInstance* instance;  // held by `instancePtr`
  IFlgInstancePtr instancePtr;

 private:
  std::vector<CFlgClassRegistration> m_classes;
  CFlgClassRegistration m_store;
  CFlgClassRegistration m_connectionSettings;
};

}  // namespace doubles
