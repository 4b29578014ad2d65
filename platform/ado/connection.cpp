// Connection: opens a database from a connection string, runs SQL text and transactions.
#include <cwchar>
#include <functional>

#include "platform/ado/objects_internal.h"
#include "platform/com/object.h"

namespace platform::ado {

ConnectionImpl::ConnectionImpl() : errors_(std::make_shared<std::vector<DbError>>()) {}
ConnectionImpl::~ConnectionImpl() {
  if (db_) {
    while (db_->TransactionDepth() > 0) {
      try {
        db_->Rollback();
      } catch (...) {
        break;
      }
    }
  }
}

void ConnectionImpl::AddError(const DbError& e) {
  errors_->clear();
  errors_->push_back(e);
}

std::shared_ptr<Database> ConnectionImpl::RequireOpen() {
  if (!db_) Closed();
  return db_;
}

namespace {
std::wstring Trim(std::wstring s) {
  std::size_t b = s.find_first_not_of(L" \t"), e = s.find_last_not_of(L" \t");
  return b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
}
}  // namespace

void ConnectionImpl::OpenString(const std::wstring& text) {
  if (db_) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
  std::wstring provider = provider_, source;
  int timeout = 10000;
  bool readOnly = false;
  std::size_t i = 0;
  while (i <= text.size()) {
    std::size_t semi = text.find(L';', i);
    if (semi == std::wstring::npos) semi = text.size();
    std::wstring part = text.substr(i, semi - i);
    i = semi + 1;
    std::size_t eq = part.find(L'=');
    if (eq == std::wstring::npos) continue;
    std::wstring key = ToLower(Trim(part.substr(0, eq))), value = Trim(part.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    if (key == L"provider") provider = value;
    else if (key == L"data source" || key == L"datasource" || key == L"database" || key == L"dbq") source = value;
    else if (key == L"busy timeout") timeout = std::max(0, static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
    else if (key == L"mode") readOnly = ToLower(value) == L"read";
  }
  // The engine: the provider's, or without one the source's (a postgresql:// address or a file).
  const std::wstring p = ToLower(provider);
  const bool sqlite = p == L"sqlite" || p == L"vantor.sqlite" || p == L"sqlite3";
  const bool postgres = p == L"postgresql" || p == L"vantor.postgresql" || p == L"postgres";
  if (!p.empty() && !sqlite && !postgres)
    ThrowAdo(adErrProviderNotFound, L"Provider cannot be found. It may not be properly installed.");
  if (source.empty())
    ThrowAdo(E_FAIL, L"The connection string names no database (Data Source=...).");
  const std::string utf8 = ToUtf8(source);
  const bool address = IsPostgresSource(utf8);
  if ((sqlite && address) || (postgres && !address))
    ThrowAdo(E_FAIL, postgres ? L"The PostgreSQL provider opens a database by its postgresql:// address."
                              : L"The SQLite provider opens a database file, not a postgresql:// address.");
  db_ = Database::Open(utf8, timeout, readOnly);
  connectionString_ = text;
  provider_ = !provider.empty() ? provider : address ? L"PostgreSQL" : L"SQLite";
}

STDMETHODIMP ConnectionImpl::get_Properties(::Properties** out) {
  return AdoBoundary(__uuidof(::_Connection), this, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = NewProperties(std::make_shared<PropertyBag>());
    return S_OK;
  });
}
STDMETHODIMP ConnectionImpl::get_ConnectionString(BSTR* b) { return PutBstr(b, connectionString_); }
STDMETHODIMP ConnectionImpl::put_ConnectionString(BSTR b) {
  return AdoBoundary(__uuidof(::_Connection), this, [&]() -> HRESULT {
    if (db_) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    connectionString_ = BstrText(b);
    return S_OK;
  });
}
STDMETHODIMP ConnectionImpl::get_CommandTimeout(LONG* t) { return PutOut(t, commandTimeout_); }
STDMETHODIMP ConnectionImpl::put_CommandTimeout(LONG t) {
  commandTimeout_ = t;
  return S_OK;
}
STDMETHODIMP ConnectionImpl::get_ConnectionTimeout(LONG* t) { return PutOut(t, connectionTimeout_); }
STDMETHODIMP ConnectionImpl::put_ConnectionTimeout(LONG t) {
  connectionTimeout_ = t;
  return S_OK;
}
STDMETHODIMP ConnectionImpl::get_Version(BSTR* b) { return PutBstr(b, L"2.6"); }
STDMETHODIMP ConnectionImpl::raw_Close() {
  return AdoBoundary(__uuidof(::_Connection), this, [&]() -> HRESULT {
    RequireOpen();
    const bool open = db_->TransactionDepth() > 0;
    while (db_->TransactionDepth() > 0) db_->Rollback();
    db_.reset();
    if (open) TransactionEnded();
    return S_OK;
  });
}

void ConnectionImpl::TransactionEnded() {
  if (!onTransactionEnd_) return;
  try {
    std::function<void()> handler = onTransactionEnd_;  // the handler may replace itself
    handler();
  } catch (...) {
  }
}

_RecordsetPtr ConnectionImpl::Run(const std::wstring& text, LONG commandType, bool noRecords,
                                  const std::vector<Cell>& params, std::int64_t* affected,
                                  std::vector<std::pair<int, Cell>>* outputs) {
  auto db = RequireOpen();
  std::wstring table;
  if (commandType == adCmdTable || commandType == adCmdTableDirect) {
    table = L"SELECT * FROM [" + text + L"]";
  } else if (commandType == adCmdStoredProc) {
    ThrowAdo(adErrFeatureNotAvailable, L"Stored procedures are not supported by the data-access layer.");
  }
  const std::wstring& sql = table.empty() ? text : table;
  ExecResult r = db->Execute(sql, params, StatementOrigin::Command, !noRecords);
  if (affected) *affected = r.changes;
  if (outputs) *outputs = std::move(r.outputs);
  if (noRecords) return nullptr;
  auto* rs = new RecordsetImpl();
  _RecordsetPtr result(rs->Interface(), false);
  if (r.hasRows) rs->Attach(Rowset::FromResult(std::move(r.result)), this, sql, LockMode::ReadOnly);
  return result;
}

STDMETHODIMP ConnectionImpl::raw_Execute(BSTR text, VARIANT* affected, LONG options, ::_Recordset** out) {
  return AdoBoundary(__uuidof(::_Connection), this, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    LONG type = options == adOptionUnspecified ? adCmdText : (options & (adCmdText | adCmdTable | adCmdStoredProc | adCmdTableDirect));
    if (type == 0) type = adCmdText;
    bool noRecords = options != adOptionUnspecified && (options & adExecuteNoRecords);
    std::int64_t changes = 0;
    _RecordsetPtr rs = Run(BstrText(text), type, noRecords, {}, &changes, nullptr);
    if (affected) {
      VariantClear(affected);
      affected->vt = VT_I4;
      affected->lVal = static_cast<LONG>(changes);
    }
    *out = rs.Detach();
    return S_OK;
  });
}

STDMETHODIMP ConnectionImpl::raw_BeginTrans(LONG* level) {
  return AdoBoundary(__uuidof(::_Connection), this, [&]() -> HRESULT {
    RequireOpen()->Begin();
    if (level) *level = db_->TransactionDepth();
    return S_OK;
  });
}
STDMETHODIMP ConnectionImpl::raw_CommitTrans() {
  return AdoBoundary(__uuidof(::_Connection), this, [&]() -> HRESULT {
    RequireOpen()->Commit();
    if (db_->TransactionDepth() == 0) TransactionEnded();
    return S_OK;
  });
}
STDMETHODIMP ConnectionImpl::raw_RollbackTrans() {
  return AdoBoundary(__uuidof(::_Connection), this, [&]() -> HRESULT {
    RequireOpen()->Rollback();
    if (db_->TransactionDepth() == 0) TransactionEnded();
    return S_OK;
  });
}
STDMETHODIMP ConnectionImpl::raw_Open(BSTR cs, BSTR, BSTR, LONG) {
  return AdoBoundary(__uuidof(::_Connection), this, [&]() -> HRESULT {
    std::wstring text = BstrText(cs);
    OpenString(text.empty() ? connectionString_ : text);
    return S_OK;
  });
}
STDMETHODIMP ConnectionImpl::get_Errors(::Errors** out) {
  if (!out) return E_POINTER;
  *out = NewErrors(errors_);
  return S_OK;
}
STDMETHODIMP ConnectionImpl::get_DefaultDatabase(BSTR* b) { return PutBstr(b, L"main"); }
STDMETHODIMP ConnectionImpl::put_DefaultDatabase(BSTR) { return S_OK; }
STDMETHODIMP ConnectionImpl::get_CursorLocation(CursorLocationEnum* l) { return PutOut(l, cursorLocation_); }
STDMETHODIMP ConnectionImpl::put_CursorLocation(CursorLocationEnum l) {
  cursorLocation_ = l;
  return S_OK;
}
STDMETHODIMP ConnectionImpl::get_State(LONG* s) { return PutOut(s, LONG{db_ ? adStateOpen : adStateClosed}); }
STDMETHODIMP ConnectionImpl::get_Provider(BSTR* b) { return PutBstr(b, provider_.empty() ? L"SQLite" : provider_); }
STDMETHODIMP ConnectionImpl::put_Provider(BSTR b) {
  provider_ = BstrText(b);
  return S_OK;
}
STDMETHODIMP ConnectionImpl::raw_Cancel() { return S_OK; }

namespace {
// Answered only by this library's connections, so that From never casts a foreign object.
constexpr GUID kConnectionImplId = platform::com::GuidFromText("7D1C6A52-3B0E-4F7A-9C51-2E8B6A0F4D13");
}  // namespace

STDMETHODIMP ConnectionImpl::QueryInterface(REFIID riid, void** ppv) {
  if (ppv && riid == kConnectionImplId) {
    *ppv = this;
    AddRef();
    return S_OK;
  }
  return ComObject<::_Connection>::QueryInterface(riid, ppv);
}

ConnectionImpl* ConnectionImpl::From(IUnknown* unk) {
  if (!unk) return nullptr;
  void* p = nullptr;
  if (FAILED(unk->QueryInterface(kConnectionImplId, &p)) || !p) return nullptr;
  auto* impl = static_cast<ConnectionImpl*>(p);
  impl->Release();  // the caller keeps its own reference
  return impl;
}

LONG TransactionDepth(_Connection* connection) {
  ConnectionImpl* impl = ConnectionImpl::From(connection);
  if (!impl || !impl->Db()) return -1;
  return impl->Db()->TransactionDepth();
}

void SetTransactionEndHandler(_Connection* connection, std::function<void()> handler) {
  if (ConnectionImpl* impl = ConnectionImpl::From(connection)) impl->SetTransactionEndHandler(std::move(handler));
}

bool BeginRead(_Connection* connection) {
  ConnectionImpl* impl = ConnectionImpl::From(connection);
  if (!impl || !impl->Db() || impl->Db()->TransactionDepth() != 0) return false;
  try {
    impl->Db()->Begin(true);
    return true;
  } catch (const DbException&) {
    return false;
  }
}

void EndRead(_Connection* connection) {
  if (connection) connection->raw_CommitTrans();
}

ReadGroup::ReadGroup(_Connection* connection) {
  ConnectionImpl* impl = ConnectionImpl::From(connection);
  std::shared_ptr<Database> db = impl ? impl->Db() : nullptr;
  if (!db) return;
  db->BeginReadGroup();
  db_ = db;
}

ReadGroup::~ReadGroup() {
  std::shared_ptr<Database> db = db_.lock();
  if (!db) return;
  try {
    db->EndReadGroup();
  } catch (...) {
    // Ending a read loses nothing; a transaction left open shows at the next one begun.
  }
}

}  // namespace platform::ado
