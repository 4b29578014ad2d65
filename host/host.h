#pragma once
// The host application stand-in: the framework instance over the product database and everything
// reached through it (data factory, parameters, user and rights, status window, app services,
// start check, progress, settings), and the classes it serves by class id (the job-log store).
#include <atomic>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/comobject.h"
#include "framework/zephra.h"

namespace host {

class JobLogWriter;

// The default product database: ~/.local/share/vantor/vantor.db, in the home folder that HOME
// names (the account's when HOME is not set).
std::wstring DefaultDatabasePath();
// Whether the product database is a database on a PostgreSQL server that workstations share,
// named by its libpq connection URI ("postgresql://USER@HOST/NAME"), rather than a file.
bool IsDatabaseAddress(const std::wstring& database);
// What the files the program keeps beside its database are named from (the print spool in its
// folder, the reference site's working copy): the database file itself, or for a database on a
// server "<data folder>/<NAME>/<NAME>" in the user's data folder (made by what writes there).
std::wstring DatabaseFilesBase(const std::wstring& database);
// Creates the default database's folder (with its parents) when it is missing; no other folder
// is ever created.
void CreateDefaultDataFolder();

// Why the database file cannot be used, as a sentence for the user; empty when it can: a folder
// that does not exist, a folder named as the file, an empty file (not a database), or, for
// `readOnly`, a file that does not exist. A database's address is refused when it holds a password
// (libpq's password file gives it); whether the server has the database, opening tells.
std::wstring CheckDatabaseFile(const std::wstring& path, bool readOnly);

// Opens the product database, a file or a database on a server: creating the file when missing (in
// an existing folder) and bringing its schema up to date (an empty database on a server gets the
// whole schema), or, with `readOnly`, reading it as it stands (its schema must be the current one)
// and refusing every change. A database that cannot be used raises E_INVALIDARG with the reason
// (CheckDatabaseFile). What the upgrade tells of the rows it kept goes to `report`.
_ConnectionPtr OpenProductDatabase(const std::wstring& path, bool readOnly = false,
                                   std::vector<std::wstring>* report = nullptr);

// This workstation's name as the object locks carry it (the computer name, at most 15
// characters).
std::wstring ThisWorkstation();

// What the host's windows show, kept so that tests can read it back: the latest kKeptHostEvents
// (a long job saves an object per record and records each save).
inline constexpr std::size_t kKeptHostEvents = 10000;
struct HostEvent {
  std::wstring kind;   // "line", "summary", "message", "refresh", "state", "warning", "error", "progress",
                       // "navigation"
  std::wstring text;
};

class CHostInstance;

// The host's setting of the process-wide proxy of the internet client: section "Internet", key
// "Proxy", "host:port" (empty: direct). Applied when the host starts, when it is set.
inline constexpr wchar_t kProxySettingSection[] = L"Internet";
inline constexpr wchar_t kProxySettingKey[] = L"Proxy";

// The host: owns the instance object and the class registrations; one per process at a time.
class Host {
 public:
  // Opens the product database at `path` (see OpenProductDatabase) and registers the host's classes.
  explicit Host(const std::wstring& path, LONG userId = 1, bool readOnly = false);
  // Uses an open connection (tests).
  explicit Host(_ConnectionPtr connection, LONG userId = 1);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The framework instance (IFlgInstance) that the system is given.
  IFlgInstancePtr Instance() const;
  _ConnectionPtr Connection() const { return m_connection; }
  CHostInstance& Object() const { return *m_object; }
  // The job-log writer of this host's database (created at first use).
  std::shared_ptr<JobLogWriter> JobLog();
  // What upgrading the database's schema on opening told of the rows it kept (a sentence each;
  // empty when nothing).
  const std::vector<std::wstring>& UpgradeReport() const { return m_upgradeReport; }

  // The host of this process, or null.
  static Host* Current();

 private:
  void Init(LONG userId);
  void ApplyProxySetting();

  std::vector<std::wstring> m_upgradeReport;
  _ConnectionPtr m_connection;
  CHostInstance* m_object = nullptr;  // one reference held
  DWORD m_globalCookie = 0;           // the instance in the Global Interface Table
  std::vector<CFlgClassRegistration> m_classes;
  std::shared_ptr<JobLogWriter> m_jobLog;
};

// The framework instance object.
class CHostInstance : public IFlgInstance,
                      public IFlgDataFactory,
                      public IHxUser,
                      public IHxAppServices,
                      public IHxStatusWindow,
                      public IHxStartCheck,
                      public IHxProgress,
                      public IHxAppCaption,
                      public IHxRegistrationSource,
                      public IFlgNewKeySource,
                      public IFlgSkin {
 public:
  CHostInstance(_ConnectionPtr connection, LONG userId);
  virtual ~CHostInstance() = default;
  void* FlgGetInterface(REFIID iid);

  // --- host side, for the program and tests
  // Where status lines, summaries and messages are written (nothing when empty).
  void SetOutput(std::function<void(const std::wstring&)> print) { m_print = std::move(print); }
  void RequestCancel() { m_cancel = true; }
  void ClearCancel() { m_cancel = false; }
  void SetUser(LONG id);
  void SetErpAvailable(bool available) { m_erp = available; }
  void SetSelection(LONG account, LONG site, LONG accountSite);
  void SetOwnerFilter(LONG filter) { m_ownerFilter = filter; }
  // A refusal of CheckReady with its reason (S_OK: ready).
  void SetReadiness(HRESULT hr, const std::wstring& reason);
  LONG RefreshState() const { return m_refreshState; }
  std::vector<HostEvent> Events() const;
  void ClearEvents();
  // The caption of the host's windows and message boxes ("Vantor" unless set).
  void SetCaption(const std::wstring& caption) { m_caption = caption; }
  // Grants or withdraws a right of a user (stored in the database).
  void GrantRight(LONG user, LONG right, bool grant);
  // Records an error the host found itself (kind "error") and prints it.
  void Report(const std::wstring& text);
  // Installs a SIGINT handler that raises the cancel request of the current host.
  static void CancelOnInterrupt();

  // --- IUnknown comes from CFlgComObject.

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
  // The navigation object: switching views and showing a customer are recorded (kind
  // "navigation": "view {GUID} context", "customer id"); the active view is the customer list.
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

  // --- IFlgNewKeySource
  STDMETHOD(GetNewKey)(IFlgDataSetup* object, VARIANT* key) override;

  // --- IHxRegistrationSource: the accounts' seller-zone credentials (host/objects.h).
  STDMETHOD(GetRegistrationTable)(IUnknown** table) override;

  // --- IHxUser
  STDMETHOD(GetUserName)(BSTR* name) override;
  STDMETHOD(GetUserId)(LONG* id) override;

  // --- IHxAppCaption
  STDMETHOD(GetCaption)(LONG kind, BSTR* caption) override;

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

  // --- IFlgSkin: the framework's stock colours, with the host's own tab-strip colours 9 (face)
  // and 10 (line); the state strips of skin images kSkinStripFirst.. (host/skin.cpp)
  STDMETHOD(LoadBitmap)(LONG image, LONG variant, HBITMAP* bitmap) override;
  STDMETHOD(GetColor)(LONG index, COLORREF* color) override;

  // --- IHxProgress
  STDMETHOD(Open)() override;
  STDMETHOD(Hide)() override;
  STDMETHOD(SetMode)(VARIANT text, LONG low, LONG high) override;
  STDMETHOD(Step)(LONG delta) override;
  STDMETHOD(Stop)() override;
  STDMETHOD(SetText)(BSTR text, LONG reserved) override;

  // The host's main window (a headless top-level window, made on first need).
  HWND MainWindow();

 private:
  // Keys, links and the batches of a data object's insert or update (factory.cpp).
  void WriteObject(IFlgDataSetup* object, bool inserting);
  void Record(const wchar_t* kind, const std::wstring& text);
  void Print(const std::wstring& text);
  HRESULT Fail(HRESULT hr, const std::wstring& description);

  _ConnectionPtr m_connection;
  LONG m_userId;
  std::wstring m_userName;
  std::wstring m_caption = L"Vantor";
  std::function<void(const std::wstring&)> m_print;
  std::atomic<bool> m_cancel{false};
  HWND m_mainWindow = nullptr;
  bool m_erp = false;
  LONG m_refreshState = -1;
  LONG m_account = 0, m_site = 0, m_accountSite = 0, m_ownerFilter = 0;
  HRESULT m_readiness = S_OK;
  std::wstring m_readinessReason;
  LONG m_progressPos = 0, m_progressHigh = 0;
  mutable std::mutex m_mutex;
  std::deque<HostEvent> m_events;
  IHxNavigationPtr m_navigation;
  IUnknownPtr m_imageRepository;   // one for the host, so that a scope's begin and end meet
  std::shared_ptr<std::function<void(const std::wstring&)>> m_navigationSink;
};

// The skin's state strips (IFlgSkin::LoadBitmap): frames of 16 x 16 side by side on a magenta
// key colour: 500 a transaction's payment (3 frames: unpaid, paid, overpaid), 501 its shipping
// (4: waiting, packed, sent, delivered), 502 a page of the seller zone (2: closed, open).
constexpr LONG kSkinStripFirst = 500;
constexpr LONG kSkinStripLast = 502;
// The strip of that skin image id, or null for another id.
HBITMAP LoadSkinStrip(LONG image);

// The host's tab-strip colours (skin colours 9 and 10).
constexpr COLORREF kSkinTabFace = RGB(214, 223, 247);
constexpr COLORREF kSkinTabLine = RGB(122, 150, 223);

// The highest account (reg__Registration) id: an account's rights hold its id in 16 bits, and
// ReserveKeys refuses higher ones with an error.
inline constexpr LONG kHighestAccountId = 0xFFFF;

// The number of an account's right in kd_UserRight: the account's id in the upper 16 bits, the
// kind (1 receive, 2 send auctions, 3 send comments) in the lower ones.
inline LONG AccountRightNumber(LONG account, LONG kind) {
  return static_cast<LONG>((static_cast<ULONG>(account) << 16) | (static_cast<ULONG>(kind) & 0xFFFFu));
}

// Reserves `count` consecutive keys of `table` from the key table; safe between processes. A
// table met for the first time starts at 1, or after the largest `keyColumn` value it holds.
LONG ReserveKeys(const _ConnectionPtr& connection, const wchar_t* table, LONG count, const wchar_t* keyColumn = nullptr);

}  // namespace host
