#include "host/host.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cwctype>
#include <iostream>

#include "framework/skin.h"
#include "host/item.h"
#include "host/joblog.h"
#include "host/objects.h"
#include "host/schema.h"
#include "platform/ado/database.h"
#include "platform/base/utf8.h"
#include "platform/gui/webbrowser.h"
#include "platform/http/wininet.h"
#include "shared/sqltools.h"

namespace host {
namespace {

Host* g_current = nullptr;
CHostInstance* g_interruptTarget = nullptr;

void OnInterrupt(int) {
  if (CHostInstance* target = g_interruptTarget) target->RequestCancel();
}

std::wstring ToWide(const std::string& s) { return std::wstring(CString(s.c_str()).GetString()); }

_RecordsetPtr OpenClient(const _ConnectionPtr& connection, const wchar_t* sql, LockTypeEnum lock) {
  _RecordsetPtr rs;
  HRESULT hr = OpenRS(rs, connection, sql, adOpenStatic, lock);
  if (FAILED(hr)) _com_issue_error(hr);
  return rs;
}

}  // namespace

std::wstring DefaultDatabasePath() {
  // The home folder as the user's shell and scripts/run.sh know it (HOME), else the account's.
  const char* variable = std::getenv("HOME");
  const passwd* pw = variable && *variable ? nullptr : ::getpwuid(::getuid());
  const std::string home = variable && *variable ? variable : (pw && pw->pw_dir) ? pw->pw_dir : "/tmp";
  return ToWide(home + "/.local/share/vantor/vantor.db");
}

void CreateDefaultDataFolder() {
  const std::string file = static_cast<const char*>(_bstr_t(DefaultDatabasePath().c_str()));
  const std::string folder = file.substr(0, file.rfind('/'));
  for (size_t pos = 1; pos != std::string::npos;) {
    pos = folder.find('/', pos + 1);
    ::mkdir(folder.substr(0, pos).c_str(), 0700);
  }
}

bool IsDatabaseAddress(const std::wstring& database) {
  return platform::ado::IsPostgresSource(platform::utf8::FromWide(database));
}

namespace {

// The database name of a connection URI: its path after the host, without its parameters.
std::wstring AddressedName(const std::wstring& address) {
  std::wstring rest = address.substr(address.find(L"://") + 3);
  const std::size_t slash = rest.find(L'/');
  std::wstring name = slash == std::wstring::npos ? L"" : rest.substr(slash + 1);
  name = name.substr(0, name.find(L'?'));
  std::wstring safe;
  for (wchar_t c : name) safe += (std::iswalnum(c) || c == L'_' || c == L'-' || c == L'.') && c < 0x80 ? c : L'_';
  if (safe.empty() || safe == L"." || safe == L"..") safe = L"postgresql";
  return safe;
}

// Whether a connection URI carries a password: "user:password@" or "password=".
bool HoldsPassword(const std::wstring& address) {
  std::wstring rest = address.substr(address.find(L"://") + 3);
  const std::size_t at = rest.find(L'@');
  const std::size_t end = rest.find_first_of(L"/?");
  if (at != std::wstring::npos && (end == std::wstring::npos || at < end) && rest.substr(0, at).find(L':') != std::wstring::npos)
    return true;
  const std::size_t query = rest.find(L'?');
  if (query == std::wstring::npos) return false;
  std::wstring params = L"&" + rest.substr(query + 1);
  for (auto& c : params) c = static_cast<wchar_t>(std::towlower(c));
  return params.find(L"&password=") != std::wstring::npos;
}

}  // namespace

std::wstring DatabaseFilesBase(const std::wstring& database) {
  if (!IsDatabaseAddress(database)) return database;
  const std::wstring data = DefaultDatabasePath();
  return data.substr(0, data.rfind(L'/')) + L"/" + AddressedName(database) + L"/" + AddressedName(database);
}

std::wstring CheckDatabaseFile(const std::wstring& path, bool readOnly) {
  if (IsDatabaseAddress(path)) {
    if (HoldsPassword(path))
      return L"adres bazy danych nie może zawierać hasła: hasło podaje plik haseł PostgreSQL (~/.pgpass)";
    return L"";
  }
  const std::string file = static_cast<const char*>(_bstr_t(path.c_str()));
  if (file.empty()) return L"nie podano pliku bazy danych";
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return path + L" jest folderem, a nie plikiem bazy danych";
    if (st.st_size == 0) return L"plik " + path + L" jest pusty, a więc nie jest bazą danych programu";
    return L"";
  }
  if (readOnly) return L"nie ma bazy danych " + path + L" (tworzy ją program uruchomiony bez polecenia)";
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
  struct stat fst {};
  if (::stat(folder.c_str(), &fst) != 0 || !S_ISDIR(fst.st_mode))
    return L"nie ma folderu " + ToWide(folder) + L", więc bazy danych " + path + L" nie utworzono";
  return L"";
}

_ConnectionPtr OpenProductDatabase(const std::wstring& path, bool readOnly, std::vector<std::wstring>* report) {
  const std::wstring refused = CheckDatabaseFile(path, readOnly);
  if (!refused.empty()) platform::com::Raise(E_INVALIDARG, refused.c_str(), L"Vantor.Host");
  _ConnectionPtr connection;
  HRESULT hr = connection.CreateInstance(__uuidof(Connection));
  if (FAILED(hr)) _com_issue_error(hr);
  std::wstring text = L"Data Source=" + path + (readOnly ? L";Mode=Read" : L"");
  connection->Open(_bstr_t(text.c_str()), _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
  if (readOnly)
    CheckSchemaCurrent(connection);
  else
    UpgradeSchema(connection, report);
  return connection;
}

std::wstring ThisWorkstation() {
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(computer, &size)) computer[0] = 0;
  return computer;
}

LONG ReserveKeys(const _ConnectionPtr& connection, const wchar_t* table, LONG count, const wchar_t* keyColumn) {
  if (count < 1) _com_issue_error(E_INVALIDARG);
  const CString name = hxSqlQuote(table);
  const bool accounts = name.CompareNoCase(L"reg__Registration") == 0;
  const std::wstring quoted = L"'" + std::wstring(name.GetString()) + L"'";
  const std::wstring update =
      L"UPDATE kd_keys SET ki_NextId = ki_NextId + " + std::to_wstring(count) + L" WHERE ki_Table = " + quoted;
  const std::wstring select = L"SELECT ki_NextId FROM kd_keys WHERE ki_Table = " + quoted;
  auto reserved = [&] {
    _RecordsetPtr rs = connection->Execute(_bstr_t(select.c_str()), nullptr, adCmdText);
    const LONG first = static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()) - count;
    rs->Close();
    return first;
  };
  // Within the caller's transaction, a table that has its row takes no nested one: the row stays
  // locked by the caller's transaction, and a failure here fails that transaction, which is then
  // rolled back whole (keys counted by a failed statement are at most skipped, never given twice).
  // The first keys of a table and an account's keys go the long way below.
  if (!accounts && platform::ado::TransactionDepth(connection) > 0) {
    _variant_t affected;
    connection->Execute(_bstr_t(update.c_str()), &affected, kCmdTextNoRecords);
    if (static_cast<LONG>(affected) > 0) return reserved();
  }
  // Keys are reserved inside a transaction, never outside one: within the caller's (as a nested
  // one) or in one of its own, which takes the database's write lock at its start, so two
  // processes never receive the same keys. When another process holds the lock past the busy
  // timeout, beginning fails after that one wait and nothing is reserved.
  LONG refused = 0;
  for (int attempt = 0;; ++attempt) {
    connection->BeginTrans();
    bool inserting = false;
    try {
      _variant_t affected;
      connection->Execute(_bstr_t(update.c_str()), &affected, kCmdTextNoRecords);
      LONG first = 1;
      if (static_cast<LONG>(affected) > 0) {
        first = reserved();
      } else {
        if (keyColumn && *keyColumn) {
          CString highest;
          highest.Format(L"SELECT MAX(%s) FROM %s", keyColumn, table);
          _RecordsetPtr rs = OpenClient(connection, highest, adLockReadOnly);
          _variant_t top = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
          if (top.vt != VT_NULL && top.vt != VT_EMPTY) first = static_cast<LONG>(top) + 1;
          if (first < 1) first = 1;
        }
        inserting = true;
        const std::wstring insert =
            L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES (" + quoted + L", " + std::to_wstring(first + count) + L")";
        connection->Execute(_bstr_t(insert.c_str()), nullptr, kCmdTextNoRecords);
      }
      // An account's rights carry its id in 16 bits: from 65,536 on an account would share the
      // rights of another one, so such ids are never handed out.
      if (accounts && first > kHighestAccountId - count + 1) {
        refused = first + count - 1;
        connection->RollbackTrans();
        break;
      }
      connection->CommitTrans();
      return first;
    } catch (const _com_error&) {
      try {
        connection->RollbackTrans();
      } catch (const _com_error&) {
      }
      if (inserting && attempt == 0) continue;  // another process created the row meanwhile
      throw;
    }
  }
  CString text;
  text.Format(L"Nie można dodać kolejnego konta serwisu aukcyjnego: identyfikator konta %ld przekracza najwyższy "
              L"dopuszczalny (%ld).",
              refused, kHighestAccountId);
  platform::com::Raise(E_FAIL, text.GetString(), L"Vantor.Host");
}

// ---------------------------------------------------------------------------------------------
// Host

Host::Host(const std::wstring& path, LONG userId, bool readOnly)
    : m_connection(OpenProductDatabase(path, readOnly, &m_upgradeReport)) {
  Init(userId);
  // Printed pages go to the spool folder beside the database.
  const std::wstring base = DatabaseFilesBase(path);
  const size_t slash = base.find_last_of(L'/');
  platform::gui::SetPrintSpoolFolder((slash == std::wstring::npos ? std::wstring(L".") : base.substr(0, slash)) + L"/spool");
}

Host::Host(_ConnectionPtr connection, LONG userId) : m_connection(std::move(connection)) {
  UpgradeSchema(m_connection, &m_upgradeReport);
  Init(userId);
}

void Host::Init(LONG userId) {
  m_object = new CFlgComObject<CHostInstance>(m_connection, userId);
  static_cast<IFlgInstance*>(m_object)->AddRef();
  m_classes.emplace_back(__uuidof(HxJobLogStore), CFlgComClassFactory::For<CJobLogStore>());
  m_classes.push_back(RegisterUserClass());
  m_classes.push_back(RegisterMailAddressClass());
  for (CFlgClassRegistration& registration : RegisterBusinessObjectClasses()) m_classes.push_back(std::move(registration));
  m_classes.push_back(RegisterItemClass({__uuidof(HxAddressRecord), L"kd_Address", L"adr_Id", {}}));
  ApplyProxySetting();
  // The framework instance is also handed over through the Global Interface Table.
  IGlobalInterfaceTablePtr table;
  if (SUCCEEDED(table.CreateInstance(CLSID_StdGlobalInterfaceTable)) && table &&
      SUCCEEDED(table->RegisterInterfaceInGlobal(static_cast<IFlgInstance*>(m_object), __uuidof(IFlgInstance),
                                                 &m_globalCookie)))
    ZphGetProcessState()->m_dwFlgInstanceCookie = m_globalCookie;
  g_current = this;
  g_interruptTarget = m_object;
  // What the job log kept back while a transaction of the product connection held the lock
  // goes out when it ends.
  platform::ado::SetTransactionEndHandler(m_connection, [this] {
    if (m_jobLog) m_jobLog->Flush();
  });
}

void Host::ApplyProxySetting() {
  _variant_t value(L"");
  if (m_object->GetSetting(_bstr_t(kProxySettingSection), _bstr_t(kProxySettingKey), &value) != S_OK) return;
  const std::string proxy = value.vt == VT_BSTR ? static_cast<const char*>(_bstr_t(value)) : std::string();
  INTERNET_PROXY_INFOA info{proxy.empty() ? static_cast<DWORD>(INTERNET_OPEN_TYPE_DIRECT)
                                          : static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY),
                            proxy.empty() ? nullptr : proxy.c_str(), nullptr};
  if (!InternetSetOptionA(nullptr, INTERNET_OPTION_PROXY, &info, sizeof info))
    m_object->Report(L"Nie można ustawić serwera pośredniczącego " + std::wstring(_bstr_t(value.vt == VT_BSTR ? value.bstrVal : L"")) + L".");
}

std::shared_ptr<JobLogWriter> Host::JobLog() {
  if (!m_jobLog) {
    CHostInstance* object = m_object;
    m_jobLog = std::make_shared<JobLogWriter>(m_connection, [object](const std::wstring& text) { object->Report(text); });
  }
  return m_jobLog;
}

Host::~Host() {
  platform::ado::SetTransactionEndHandler(m_connection, {});
  if (m_jobLog) m_jobLog->Close();  // stores still open keep the writer, not the host
  m_jobLog.reset();
  if (g_current == this) g_current = nullptr;
  if (g_interruptTarget == m_object) g_interruptTarget = nullptr;
  m_classes.clear();
  if (m_globalCookie) {
    if (ZphGetProcessState()->m_dwFlgInstanceCookie == m_globalCookie) ZphGetProcessState()->m_dwFlgInstanceCookie = 0;
    IGlobalInterfaceTablePtr table;
    if (SUCCEEDED(table.CreateInstance(CLSID_StdGlobalInterfaceTable)) && table)
      table->RevokeInterfaceFromGlobal(m_globalCookie);
  }
  static_cast<IFlgInstance*>(m_object)->Release();
}

IFlgInstancePtr Host::Instance() const { return IFlgInstancePtr(static_cast<IFlgInstance*>(m_object)); }

Host* Host::Current() { return g_current; }

// ---------------------------------------------------------------------------------------------
// CHostInstance

CHostInstance::CHostInstance(_ConnectionPtr connection, LONG userId) : m_connection(std::move(connection)) {
  SetUser(userId);
}

void* CHostInstance::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgInstance)) return static_cast<IFlgInstance*>(this);
  if (iid == __uuidof(IFlgDataFactory)) return static_cast<IFlgDataFactory*>(this);
  if (iid == __uuidof(IHxUser)) return static_cast<IHxUser*>(this);
  if (iid == __uuidof(IHxAppServices)) return static_cast<IHxAppServices*>(this);
  if (iid == __uuidof(IHxStatusWindow)) return static_cast<IHxStatusWindow*>(this);
  if (iid == __uuidof(IHxStartCheck)) return static_cast<IHxStartCheck*>(this);
  if (iid == __uuidof(IHxProgress)) return static_cast<IHxProgress*>(this);
  if (iid == __uuidof(IHxAppCaption)) return static_cast<IHxAppCaption*>(this);
  if (iid == __uuidof(IFlgNewKeySource)) return static_cast<IFlgNewKeySource*>(this);
  if (iid == __uuidof(IFlgSkin)) return static_cast<IFlgSkin*>(this);
  if (iid == __uuidof(IHxRegistrationSource)) return static_cast<IHxRegistrationSource*>(this);
  return nullptr;
}

STDMETHODIMP CHostInstance::LoadBitmap(LONG image, LONG, HBITMAP* bitmap) {
  if (!bitmap) return E_POINTER;
  *bitmap = LoadSkinStrip(image);
  return *bitmap ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CHostInstance::GetColor(LONG index, COLORREF* color) {
  if (!color) return E_POINTER;
  if (index < 0 || index >= zephra::kStockColorCount) return E_INVALIDARG;
  *color = index == 9 ? kSkinTabFace : index == 10 ? kSkinTabLine : FlgGetStockColor(index);
  return S_OK;
}

namespace {

// Where the navigation stand-in records; it outlives nothing: once the instance is gone the
// calls are accepted and recorded nowhere.
using NavigationSink = std::weak_ptr<std::function<void(const std::wstring&)>>;

void RecordTo(const NavigationSink& sink, const std::wstring& text) {
  if (auto record = sink.lock()) (*record)(text);
}

// The customer list of the host's main window.
class CHostCustomerView : public IHxCustomerView {
 public:
  explicit CHostCustomerView(NavigationSink record) : m_record(std::move(record)) {}
  virtual ~CHostCustomerView() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxCustomerView)) return static_cast<IHxCustomerView*>(this);
    return nullptr;
  }
  STDMETHOD(ShowCustomer)(LONG customerId) override {
    RecordTo(m_record, L"customer " + std::to_wstring(customerId));
    return S_OK;
  }

 private:
  NavigationSink m_record;
};

class CHostNavigation : public IHxNavigation {
 public:
  explicit CHostNavigation(NavigationSink record) : m_record(std::move(record)) {}
  virtual ~CHostNavigation() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxNavigation)) return static_cast<IHxNavigation*>(this);
    return nullptr;
  }
  STDMETHOD(SwitchView)(REFGUID view, VARIANT context) override {
    _variant_t ctx(context);
    wchar_t text[64] = {0};
    StringFromGUID2(view, text, 64);
    std::wstring line = std::wstring(L"view ") + text;
    try {
      line += L" " + std::to_wstring(static_cast<LONG>(ctx));
    } catch (const _com_error&) {
      return E_INVALIDARG;
    }
    RecordTo(m_record, line);
    return S_OK;
  }
  STDMETHOD(GetActiveView)(IUnknown** view) override {
    if (!view) return E_POINTER;
    return CFlgComObject<CHostCustomerView>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(view), m_record);
  }

 private:
  NavigationSink m_record;
};

}  // namespace

STDMETHODIMP CHostInstance::GetNavigation(IHxNavigation** navigation) {
  if (!navigation) return E_POINTER;
  *navigation = nullptr;
  if (!m_navigation) {
    m_navigationSink = std::make_shared<std::function<void(const std::wstring&)>>(
        [this](const std::wstring& text) { Record(L"navigation", text); });
    IHxNavigation* made = nullptr;
    const HRESULT hr = CFlgComObject<CHostNavigation>::Create(__uuidof(IHxNavigation), reinterpret_cast<void**>(&made),
                                                              NavigationSink(m_navigationSink));
    if (FAILED(hr)) return hr;
    m_navigation.Attach(made);
  }
  *navigation = m_navigation;
  (*navigation)->AddRef();
  return S_OK;
}

void CHostInstance::SetUser(LONG id) {
  m_userId = id;
  m_userName.clear();
  try {
    CString sql;
    sql.Format(L"SELECT us_Name FROM kd_User WHERE us_Id = %ld", id);
    _RecordsetPtr rs = OpenClient(m_connection, sql, adLockReadOnly);
    if (!rs->GetadoEOF()) m_userName = static_cast<const wchar_t*>(_bstr_t(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()));
  } catch (const _com_error&) {
  }
}

void CHostInstance::SetSelection(LONG account, LONG site, LONG accountSite) {
  m_account = account;
  m_site = site;
  m_accountSite = accountSite;
}

void CHostInstance::SetReadiness(HRESULT hr, const std::wstring& reason) {
  m_readiness = hr;
  m_readinessReason = reason;
}

std::vector<HostEvent> CHostInstance::Events() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return {m_events.begin(), m_events.end()};
}

void CHostInstance::ClearEvents() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_events.clear();
}

void CHostInstance::GrantRight(LONG user, LONG right, bool grant) {
  CString sql;
  if (grant)
    sql.Format(L"INSERT INTO kd_UserRight (ur_UserId, ur_Right) VALUES (%ld, %ld)", user, right);
  else
    sql.Format(L"DELETE FROM kd_UserRight WHERE ur_UserId = %ld AND ur_Right = %ld", user, right);
  m_connection->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
}

void CHostInstance::CancelOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

void CHostInstance::Record(const wchar_t* kind, const std::wstring& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_events.size() == kKeptHostEvents) m_events.pop_front();
  m_events.push_back({kind, text});
}

void CHostInstance::Print(const std::wstring& text) {
  if (m_print) m_print(text);
}

HRESULT CHostInstance::Fail(HRESULT hr, const std::wstring& description) {
  return platform::com::ReportError(hr, description.c_str(), L"Vantor.Host");
}

void CHostInstance::Report(const std::wstring& text) {
  Record(L"error", text);
  Print(text);
}

// --- IFlgInstance

STDMETHODIMP CHostInstance::RefreshObjectType(REFGUID clsid, LONG kind, VARIANT) {
  wchar_t text[64] = {};
  StringFromGUID2(clsid, text, 64);
  Record(L"refresh", std::wstring(text) + L" " + std::to_wstring(kind));
  return S_OK;
}

STDMETHODIMP CHostInstance::GetObjectByNumber(LONG number, IUnknown** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  const wchar_t* sql = nullptr;
  if (number == 5000) sql = L"SELECT * FROM kd_DataParams WHERE pd_Id = 1";
  if (number == 5004) sql = L"SELECT * FROM kd_ProgramParams WHERE pa_Id = 1";
  if (!sql) return E_INVALIDARG;
  _RecordsetPtr rs;
  HRESULT hr = OpenRS(rs, m_connection, sql, adOpenStatic, adLockReadOnly);
  if (FAILED(hr)) return hr;
  try {
    rs->PutRefActiveConnection(nullptr);
  } catch (const _com_error&) {
  }
  return rs->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(object));
}

STDMETHODIMP CHostInstance::CheckRight(LONG right, LONG) {
  if (m_userId == 1) return S_OK;
  CString sql;
  sql.Format(L"SELECT ur_Right FROM kd_UserRight WHERE ur_UserId = %ld AND ur_Right = %ld", m_userId, right);
  HRESULT hr = exeExistSql(m_connection, sql);
  if (FAILED(hr)) return hr;
  return hr == 1 ? S_OK : E_ACCESSDENIED;
}

STDMETHODIMP CHostInstance::CheckRightText(LONG right, BSTR* explanation) {
  if (explanation) *explanation = nullptr;
  HRESULT hr = CheckRight(right, 0);
  if (hr == E_ACCESSDENIED) {
    CString text;
    text.Format(L"Brak uprawnienia nr %ld dla użytkownika %s.", right, m_userName.c_str());
    if (explanation) *explanation = SysAllocString(text);
    return Fail(hr, text.GetString());
  }
  return hr;
}

STDMETHODIMP CHostInstance::ShowRightRefused(LONG right, LONG) {
  CString text;
  text.Format(L"Brak uprawnienia nr %ld.", right);
  Record(L"message", text.GetString());
  Print(std::wstring(L"Odmowa dostępu: ") + text.GetString());
  return S_OK;
}

STDMETHODIMP CHostInstance::ShowMessage(BSTR caption, BSTR text, LONG) {
  std::wstring line = std::wstring(caption ? caption : L"") + L": " + (text ? text : L"");
  Record(L"message", line);
  Print(line);
  return S_OK;
}

namespace {

// The main window's object: its window through IFlgWnd.
class MainWindowObject : public platform::com::ComObject<IFlgWnd> {
 public:
  explicit MainWindowObject(HWND window) : m_window(window) {}
  STDMETHODIMP GetWindow(LONG* hwnd) override {
    if (!hwnd) return E_POINTER;
    *hwnd = static_cast<LONG>(reinterpret_cast<INT_PTR>(m_window));
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 private:
  HWND m_window;
};

}  // namespace

HWND CHostInstance::MainWindow() {
  if (!m_mainWindow || !IsWindow(m_mainWindow))
    m_mainWindow = CreateWindowExW(0, L"#32770", L"Vantor", WS_POPUP | WS_CAPTION, 0, 0, 1024, 768, nullptr, nullptr,
                                   nullptr, nullptr);
  return m_mainWindow;
}

STDMETHODIMP CHostInstance::GetMainWindow(IUnknown** window) {
  if (!window) return E_POINTER;
  *window = nullptr;
  HWND main = MainWindow();
  if (!main) return E_FAIL;
  *window = static_cast<IFlgWnd*>(new MainWindowObject(main));
  return S_OK;
}

STDMETHODIMP CHostInstance::GetSetting(BSTR section, BSTR key, VARIANT* value) {
  if (!value) return E_POINTER;
  return platform::com::Boundary([&]() -> HRESULT {
    CString sql;
    sql.Format(L"SELECT st_Value FROM kd_Setting WHERE st_Section = '%s' AND st_Key = '%s'",
               hxSqlQuote(section).GetString(), hxSqlQuote(key).GetString());
    _RecordsetPtr rs = OpenClient(m_connection, sql, adLockReadOnly);
    if (rs->GetadoEOF()) return S_FALSE;  // the default stays
    _variant_t stored = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
    if (stored.vt == VT_NULL) return S_FALSE;
    const VARTYPE wanted = value->vt == VT_EMPTY ? static_cast<VARTYPE>(VT_BSTR) : value->vt;
    HRESULT hr = VariantChangeType(&stored, &stored, 0, wanted);
    if (FAILED(hr)) return hr;
    VariantClear(value);
    return VariantCopy(value, &stored);
  });
}

STDMETHODIMP CHostInstance::PutSetting(BSTR section, BSTR key, VARIANT value) {
  return platform::com::Boundary([&]() -> HRESULT {
    _variant_t text;
    HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    CString remove, insert;
    remove.Format(L"DELETE FROM kd_Setting WHERE st_Section = '%s' AND st_Key = '%s'", hxSqlQuote(section).GetString(),
                  hxSqlQuote(key).GetString());
    insert.Format(L"INSERT INTO kd_Setting (st_Section, st_Key, st_Value) VALUES ('%s', '%s', '%s')",
                  hxSqlQuote(section).GetString(), hxSqlQuote(key).GetString(), hxSqlQuote(text.bstrVal).GetString());
    m_connection->BeginTrans();
    try {
      m_connection->Execute(_bstr_t(remove), nullptr, kCmdTextNoRecords);
      m_connection->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
      m_connection->CommitTrans();
    } catch (const _com_error&) {
      m_connection->RollbackTrans();
      throw;
    }
    return S_OK;
  });
}

// --- IFlgDataFactory

STDMETHODIMP CHostInstance::GetDbConnection(IDispatch** connection) {
  if (!connection) return E_POINTER;
  *connection = nullptr;
  if (!m_connection) return E_FAIL;
  return m_connection->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(connection));
}

STDMETHODIMP CHostInstance::GetConnectionObject(LONG kind, IUnknown** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (kind != 1) return E_INVALIDARG;
  if (!m_connection) return E_FAIL;
  return m_connection->QueryInterface(__uuidof(_Connection), reinterpret_cast<void**>(object));
}

STDMETHODIMP CHostInstance::ReserveIds(BSTR table, LONG count, LONG* first) {
  if (!first) return E_POINTER;
  if (!table || !*table || count < 1) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    *first = ReserveKeys(m_connection, table, count);
    return S_OK;
  });
}

// The reading and writing of data objects by their data-set definitions: factory.cpp.

// --- IHxRegistrationSource

STDMETHODIMP CHostInstance::GetRegistrationTable(IUnknown** table) {
  if (!table) return E_POINTER;
  *table = nullptr;
  return CFlgComObject<CHostRegistrationTable>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(table),
                                                      m_connection);
}

// --- IHxUser

STDMETHODIMP CHostInstance::GetUserName(BSTR* name) {
  if (!name) return E_POINTER;
  *name = SysAllocString(m_userName.c_str());
  return S_OK;
}

STDMETHODIMP CHostInstance::GetUserId(LONG* id) {
  if (!id) return E_POINTER;
  *id = m_userId;
  return S_OK;
}

// --- IHxAppCaption

STDMETHODIMP CHostInstance::GetCaption(LONG, BSTR* caption) {
  if (!caption) return E_POINTER;
  *caption = SysAllocString(m_caption.c_str());
  return S_OK;
}

// --- IHxAppServices

STDMETHODIMP CHostInstance::GetImageStore(IUnknown** store) {
  if (!store) return E_POINTER;
  *store = nullptr;
  return CFlgComObject<CHostImageStore>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(store), m_connection);
}

STDMETHODIMP CHostInstance::IsErpAvailable(VARIANT_BOOL* available) {
  if (!available) return E_POINTER;
  *available = m_erp ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP CHostInstance::NotifyError() {
  Record(L"error", L"");
  return S_OK;
}

STDMETHODIMP CHostInstance::NotifyWarning() {
  Record(L"warning", L"");
  return S_OK;
}

STDMETHODIMP CHostInstance::GetImageRepository(IUnknown** repository) {
  if (!repository) return E_POINTER;
  *repository = nullptr;
  if (!m_connection) return E_FAIL;
  if (!m_imageRepository) {
    IUnknown* made = nullptr;
    HRESULT hr = CFlgComObject<CHostImageRepository>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(&made),
                                                             m_connection);
    if (FAILED(hr)) return hr;
    m_imageRepository = IUnknownPtr(made, false);
  }
  *repository = m_imageRepository.GetInterfacePtr();
  (*repository)->AddRef();
  return S_OK;
}

STDMETHODIMP CHostInstance::SetRefreshState(LONG state) {
  // 0 suspends list refreshing; any other value resumes it.
  m_refreshState = state == 0 ? 0 : -1;
  Record(L"state", std::to_wstring(state));
  return S_OK;
}

// --- IHxStatusWindow

STDMETHODIMP CHostInstance::Reset() {
  m_cancel = false;
  return S_OK;
}

STDMETHODIMP CHostInstance::IsCancelRequested(VARIANT_BOOL* cancel) {
  if (!cancel) return E_POINTER;
  *cancel = m_cancel ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP CHostInstance::ShowLine(BSTR text) {
  std::wstring line = text ? text : L"";
  Record(L"line", line);
  Print(line);
  return S_OK;
}

STDMETHODIMP CHostInstance::ShowSummary(BSTR text) {
  std::wstring line = text ? text : L"";
  Record(L"summary", line);
  Print(L"== " + line);
  return S_OK;
}

STDMETHODIMP CHostInstance::Refresh(LONG what) {
  Record(L"refresh", std::to_wstring(what));
  return S_OK;
}

// --- IHxStartCheck

STDMETHODIMP CHostInstance::GetAccountSites(IUnknown** recordset) {
  if (!recordset) return E_POINTER;
  *recordset = nullptr;
  return platform::com::Boundary([&]() -> HRESULT {
    // Every site of the active accounts (an account without a site once, its site columns
    // NULL), by account and then by the account's site row, disconnected from the database.
    _RecordsetPtr rs;
    const HRESULT hr = OpenRS(rs, m_connection,
                              L"SELECT reg_id, reg_name, site_id, site_name, subsite_id, service_id, regsite_id "
                              L"FROM vw_HostAccountSites ORDER BY reg_id, regsite_id",
                              adOpenStatic, adLockBatchOptimistic);
    if (FAILED(hr)) return hr;
    rs->PutRefActiveConnection(nullptr);
    return rs->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(recordset));
  });
}

STDMETHODIMP CHostInstance::GetSelectedAccount(LONG* account) {
  if (!account) return E_POINTER;
  *account = m_account;
  return S_OK;
}

STDMETHODIMP CHostInstance::GetSelectedSite(LONG* site) {
  if (!site) return E_POINTER;
  *site = m_site;
  return S_OK;
}

STDMETHODIMP CHostInstance::GetSelectedAccountSite(LONG* accountSite) {
  if (!accountSite) return E_POINTER;
  *accountSite = m_accountSite;
  return S_OK;
}

STDMETHODIMP CHostInstance::GetOwnerFilter(LONG* filter) {
  if (!filter) return E_POINTER;
  *filter = m_ownerFilter;
  return S_OK;
}

STDMETHODIMP CHostInstance::SetSelection(LONG account, LONG accountSite) {
  m_account = account;
  m_accountSite = accountSite;
  if (account == 0) m_site = 0;
  return S_OK;
}

STDMETHODIMP CHostInstance::CheckReady(BSTR* reason) {
  if (reason) {
    SysFreeString(*reason);
    *reason = SUCCEEDED(m_readiness) ? nullptr : SysAllocString(m_readinessReason.c_str());
  }
  return m_readiness;
}

// --- IHxProgress

STDMETHODIMP CHostInstance::Open() {
  m_progressPos = 0;
  m_progressHigh = 0;
  Record(L"progress", L"open");
  return S_OK;
}

STDMETHODIMP CHostInstance::Hide() {
  Record(L"progress", L"hide");
  return S_OK;
}

STDMETHODIMP CHostInstance::SetMode(VARIANT text, LONG low, LONG high) {
  m_progressPos = low;
  m_progressHigh = high;
  Record(L"progress", L"range " + std::to_wstring(low) + L".." + std::to_wstring(high));
  return S_OK;
}

STDMETHODIMP CHostInstance::Step(LONG delta) {
  m_progressPos += delta < 0 ? 1 : delta;
  Record(L"progress", L"step " + std::to_wstring(m_progressPos));
  return S_OK;
}

STDMETHODIMP CHostInstance::Stop() {
  Record(L"progress", L"stop");
  return S_OK;
}

STDMETHODIMP CHostInstance::SetText(BSTR text, LONG) {
  std::wstring line = text ? text : L"";
  Record(L"progress", line);
  Print(line);
  return S_OK;
}

}  // namespace host
