// The object model's classes: Connection, Errors, Properties, Command with Parameters,
// Recordset with Fields, and their class objects.
#include <atomic>
#include <cstring>
#include <cwchar>
#include <functional>
#include <mutex>
#include <new>

#include "platform/ado/com_object.h"
#include "platform/threads/clock.h"
#include "platform/com/object.h"
#include "platform/ado/objects.h"
#include "platform/ado/text.h"

namespace {
// The SQL date functions read the process's clock.
[[maybe_unused]] const bool g_clockSet = [] {
  platform::ado::SetNowSource(&platform::clock::Now);
  return true;
}();
}  // namespace

namespace platform::ado {

// ---- helpers ------------------------------------------------------------------------------

std::wstring BstrText(BSTR b) { return b ? std::wstring(b) : std::wstring(); }

bool IsMissing(const VARIANT& v) {
  return v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

_variant_t ToVariant(const Cell& v) {
  _variant_t out;
  ToVariant(v, &out);
  return out;
}

// Into an empty VARIANT (nothing there is released).
void ToVariant(const Cell& v, VARIANT* target) {
  VARIANT& out = *target;
  switch (v.kind) {
    case VKind::Empty: break;
    case VKind::Null: out.vt = VT_NULL; break;
    case VKind::Bool:
      out.vt = VT_BOOL;
      out.boolVal = v.i ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VKind::UI1:
      out.vt = VT_UI1;
      out.bVal = static_cast<BYTE>(v.i);
      break;
    case VKind::I2:
      out.vt = VT_I2;
      out.iVal = static_cast<SHORT>(v.i);
      break;
    case VKind::I4:
      out.vt = VT_I4;
      out.lVal = static_cast<LONG>(v.i);
      break;
    case VKind::I8:
      out.vt = VT_I8;
      out.llVal = v.i;
      break;
    case VKind::R4:
      out.vt = VT_R4;
      out.fltVal = static_cast<float>(v.d);
      break;
    case VKind::R8:
      out.vt = VT_R8;
      out.dblVal = v.d;
      break;
    case VKind::Cy:
      out.vt = VT_CY;
      out.cyVal.int64 = v.i;
      break;
    case VKind::Date:
      out.vt = VT_DATE;
      out.date = v.d;
      break;
    case VKind::Text:
      out.vt = VT_BSTR;
      out.bstrVal = SysAllocStringLen(v.s.data(), static_cast<UINT>(v.s.size()));
      if (!out.bstrVal) throw std::bad_alloc();
      break;
    case VKind::Bytes: {
      std::string bytes = v.Bytes();
      SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
      if (!sa) throw std::bad_alloc();
      void* data = nullptr;
      SafeArrayAccessData(sa, &data);
      if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
      SafeArrayUnaccessData(sa);
      out.vt = VT_ARRAY | VT_UI1;
      out.parray = sa;
      break;
    }
  }
}

Cell FromVariant(const VARIANT& in) {
  _variant_t holder;
  const VARIANT* v = &in;
  if (in.vt & VT_BYREF) {
    if (FAILED(VariantCopyInd(&holder, &in))) ThrowAdo(DISP_E_TYPEMISMATCH, L"Type mismatch.");
    v = &holder;
  }
  switch (v->vt) {
    case VT_EMPTY: return Cell();
    case VT_ERROR: return v->scode == DISP_E_PARAMNOTFOUND ? Cell() : Cell::Int(VKind::I4, v->scode);
    case VT_NULL: return Cell::Null();
    case VT_BOOL: return Cell::Int(VKind::Bool, v->boolVal ? 1 : 0);
    case VT_UI1: return Cell::Int(VKind::UI1, v->bVal);
    case VT_I1: return Cell::Int(VKind::I2, v->cVal);
    case VT_I2: return Cell::Int(VKind::I2, v->iVal);
    case VT_UI2: return Cell::Int(VKind::I4, v->uiVal);
    case VT_I4: return Cell::Int(VKind::I4, v->lVal);
    case VT_INT: return Cell::Int(VKind::I4, v->intVal);
    case VT_UI4: return Cell::Int(VKind::I8, v->ulVal);
    case VT_UINT: return Cell::Int(VKind::I8, v->uintVal);
    case VT_I8: return Cell::Int(VKind::I8, v->llVal);
    case VT_UI8: return Cell::Int(VKind::I8, static_cast<std::int64_t>(v->ullVal));
    case VT_R4: return Cell::Real(VKind::R4, v->fltVal);
    case VT_R8: return Cell::Real(VKind::R8, v->dblVal);
    case VT_CY: return Cell::Int(VKind::Cy, v->cyVal.int64);
    case VT_DATE: return Cell::Real(VKind::Date, v->date);
    case VT_BSTR: return Cell::Text(BstrText(v->bstrVal));
    case VT_DECIMAL: {
      _variant_t d;
      if (FAILED(VariantChangeType(&d, v, 0, VT_R8))) ThrowAdo(DISP_E_TYPEMISMATCH, L"Type mismatch.");
      return Cell::Real(VKind::R8, d.dblVal);
    }
    case VT_ARRAY | VT_UI1: {
      SAFEARRAY* sa = v->parray;
      if (!sa) return Cell::Blob({});
      LONG lo = 0, hi = -1;
      SafeArrayGetLBound(sa, 1, &lo);
      SafeArrayGetUBound(sa, 1, &hi);
      void* data = nullptr;
      SafeArrayAccessData(sa, &data);
      std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(hi - lo + 1));
      SafeArrayUnaccessData(sa);
      return Cell::Blob(std::move(bytes));
    }
    default:
      ThrowAdo(DISP_E_TYPEMISMATCH, L"Type mismatch: this value cannot be stored in a field.");
  }
}

void RaiseDbError(const DbError& error, REFIID iid, ConnectionImpl* conn) {
  if (!IsProviderSource(error.source))
    platform::com::Raise(error.hr, error.description.c_str(), error.source.c_str(), iid);
  if (conn) conn->AddError(error);
  platform::com::RaiseWithThreadInfo(ReportProviderError({error}, iid));
}

namespace {

[[noreturn]] void Closed() {
  ThrowAdo(adErrObjectClosed, L"Operation is not allowed when the object is closed.");
}

HRESULT PutBstr(BSTR* out, std::wstring_view s) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  return *out || s.empty() ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT PutOut(T* out, T value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

// Finds an item of a collection by index (number) or case-insensitive name.
template <class NameOf>
std::size_t ItemIndex(const VARIANT& index, std::size_t count, NameOf nameOf) {
  Cell v = FromVariant(index);
  if (v.kind == VKind::Text) {
    for (std::size_t i = 0; i < count; ++i)
      if (CompareNoCase(nameOf(i), v.s) == 0 && nameOf(i).size() == v.s.size()) return i;
  } else if (v.IsNumeric()) {
    double d = v.AsDouble();
    if (d >= 0 && d < static_cast<double>(count)) return static_cast<std::size_t>(d);
  }
  ThrowAdo(adErrItemNotFound,
           L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

}  // namespace

// ---- Error / Errors -----------------------------------------------------------------------

class ErrorImpl final : public ComObject<::Error> {
 public:
  explicit ErrorImpl(DbError e) : e_(std::move(e)) {}
  STDMETHODIMP get_Number(LONG* pl) override { return PutOut(pl, static_cast<LONG>(e_.hr)); }
  STDMETHODIMP get_Source(BSTR* b) override { return PutBstr(b, e_.source); }
  STDMETHODIMP get_Description(BSTR* b) override { return PutBstr(b, e_.description); }
  STDMETHODIMP get_HelpFile(BSTR* b) override { return PutBstr(b, L""); }
  STDMETHODIMP get_HelpContext(LONG* pl) override { return PutOut(pl, LONG{0}); }
  STDMETHODIMP get_SQLState(BSTR* b) override { return PutBstr(b, e_.sqlState); }
  STDMETHODIMP get_NativeError(LONG* pl) override { return PutOut(pl, e_.native); }

 private:
  DbError e_;
};

class ErrorsImpl final : public ComObject<::Errors> {
 public:
  explicit ErrorsImpl(std::shared_ptr<std::vector<DbError>> list) : list_(std::move(list)) {}
  STDMETHODIMP get_Count(LONG* c) override { return PutOut(c, static_cast<LONG>(list_->size())); }
  STDMETHODIMP get_Item(VARIANT index, ::Error** out) override {
    return AdoBoundary(__uuidof(::Errors), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      std::size_t i = ItemIndex(index, list_->size(), [&](std::size_t k) { return std::to_wstring(k); });
      *out = (new ErrorImpl((*list_)[i]))->Interface();
      return S_OK;
    });
  }
  STDMETHODIMP raw_Clear() override {
    list_->clear();
    return S_OK;
  }
  STDMETHODIMP raw_Refresh() override { return S_OK; }

 private:
  std::shared_ptr<std::vector<DbError>> list_;
};

// ---- Property / Properties ----------------------------------------------------------------

struct PropertyBag {
  struct Entry {
    std::wstring name;
    _variant_t value;
    DataTypeEnum type;
  };
  std::vector<Entry> entries;
  std::function<void(const std::wstring&, const _variant_t&)> onPut;
};

class PropertyImpl final : public ComObject<::Property> {
 public:
  PropertyImpl(std::shared_ptr<PropertyBag> bag, std::size_t index) : bag_(std::move(bag)), index_(index) {}
  STDMETHODIMP get_Value(VARIANT* v) override {
    if (!v) return E_POINTER;
    return VariantCopy(v, &bag_->entries[index_].value);
  }
  STDMETHODIMP put_Value(VARIANT v) override {
    return AdoBoundary(__uuidof(::Property), nullptr, [&]() -> HRESULT {
      auto& e = bag_->entries[index_];
      e.value = _variant_t(v);
      if (bag_->onPut) bag_->onPut(e.name, e.value);
      return S_OK;
    });
  }
  STDMETHODIMP get_Name(BSTR* b) override { return PutBstr(b, bag_->entries[index_].name); }
  STDMETHODIMP get_Type(DataTypeEnum* t) override { return PutOut(t, bag_->entries[index_].type); }
  STDMETHODIMP get_Attributes(LONG* a) override { return PutOut(a, LONG{0x200 | 0x400}); }  // read and write
  STDMETHODIMP put_Attributes(LONG) override { return S_OK; }

 private:
  std::shared_ptr<PropertyBag> bag_;
  std::size_t index_;
};

class PropertiesImpl final : public ComObject<::Properties> {
 public:
  explicit PropertiesImpl(std::shared_ptr<PropertyBag> bag) : bag_(std::move(bag)) {}
  STDMETHODIMP get_Count(LONG* c) override { return PutOut(c, static_cast<LONG>(bag_->entries.size())); }
  STDMETHODIMP get_Item(VARIANT index, ::Property** out) override {
    return AdoBoundary(__uuidof(::Properties), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      std::size_t i = ItemIndex(index, bag_->entries.size(), [&](std::size_t k) { return bag_->entries[k].name; });
      *out = (new PropertyImpl(bag_, i))->Interface();
      return S_OK;
    });
  }
  STDMETHODIMP raw_Refresh() override { return S_OK; }

 private:
  std::shared_ptr<PropertyBag> bag_;
};

static ::Properties* NewProperties(std::shared_ptr<PropertyBag> bag) {
  return (new PropertiesImpl(std::move(bag)))->Interface();
}

// ---- Connection ---------------------------------------------------------------------------

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
  *out = (new ErrorsImpl(errors_))->Interface();
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

// ---- Parameter / Parameters ---------------------------------------------------------------

class ParameterImpl final : public ComObject<::_Parameter> {
 public:
  std::wstring name;
  _variant_t value;
  DataTypeEnum type = adEmpty;
  ParameterDirectionEnum direction = adParamInput;
  ADO_LONGPTR size = 0;
  BYTE precision = 0, scale = 0;
  LONG attributes = adParamNullable;
  // Marks each change of what the parameter binds (value, type, size, direction) with a number
  // no other change in the process has, so that a command converts only what changed since its
  // last run.
  std::uint64_t version = NextVersion();
  static std::uint64_t NextVersion() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
  }

  STDMETHODIMP get_Properties(::Properties** out) override {
    if (!out) return E_POINTER;
    *out = NewProperties(std::make_shared<PropertyBag>());
    return S_OK;
  }
  STDMETHODIMP get_Name(BSTR* b) override { return PutBstr(b, name); }
  STDMETHODIMP put_Name(BSTR b) override {
    name = BstrText(b);
    return S_OK;
  }
  STDMETHODIMP get_Value(VARIANT* v) override { return v ? VariantCopy(v, &value) : E_POINTER; }
  STDMETHODIMP put_Value(VARIANT v) override {
    return AdoBoundary(__uuidof(::_Parameter), nullptr, [&]() -> HRESULT {
      version = NextVersion();
      HRESULT hr = VariantCopy(&value, &v);
      if (FAILED(hr)) _com_issue_error(hr);
      return S_OK;
    });
  }
  STDMETHODIMP get_Type(DataTypeEnum* t) override { return PutOut(t, type); }
  STDMETHODIMP put_Type(DataTypeEnum t) override {
    type = t;
    version = NextVersion();
    return S_OK;
  }
  STDMETHODIMP put_Direction(ParameterDirectionEnum d) override {
    direction = d;
    version = NextVersion();
    return S_OK;
  }
  STDMETHODIMP get_Direction(ParameterDirectionEnum* d) override { return PutOut(d, direction); }
  STDMETHODIMP put_Precision(BYTE b) override {
    precision = b;
    return S_OK;
  }
  STDMETHODIMP get_Precision(BYTE* b) override { return PutOut(b, precision); }
  STDMETHODIMP put_NumericScale(BYTE b) override {
    scale = b;
    return S_OK;
  }
  STDMETHODIMP get_NumericScale(BYTE* b) override { return PutOut(b, scale); }
  STDMETHODIMP put_Size(ADO_LONGPTR l) override {
    size = l;
    version = NextVersion();
    return S_OK;
  }
  STDMETHODIMP get_Size(ADO_LONGPTR* l) override { return PutOut(l, size); }
  STDMETHODIMP raw_AppendChunk(VARIANT v) override {
    return AdoBoundary(__uuidof(::_Parameter), nullptr, [&]() -> HRESULT {
      version = NextVersion();
      Cell add = FromVariant(v);
      Cell cur = FromVariant(value);
      if (add.kind == VKind::Bytes) {
        value = ToVariant(Cell::Blob((cur.kind == VKind::Bytes ? cur.Bytes() : std::string()) + add.Bytes()));
      } else {
        value = ToVariant(Cell::Text((cur.kind == VKind::Text ? cur.s : std::wstring()) + ValueText(add)));
      }
      return S_OK;
    });
  }
  STDMETHODIMP get_Attributes(LONG* a) override { return PutOut(a, attributes); }
  STDMETHODIMP put_Attributes(LONG a) override {
    attributes = a;
    return S_OK;
  }
};

class ParametersImpl final : public ComObject<::Parameters> {
 public:
  std::vector<_ParameterPtr> items;
  STDMETHODIMP get_Count(LONG* c) override { return PutOut(c, static_cast<LONG>(items.size())); }
  STDMETHODIMP get_Item(VARIANT index, ::_Parameter** out) override {
    return AdoBoundary(__uuidof(::Parameters), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      std::size_t i = ItemIndex(index, items.size(), [&](std::size_t k) { return Impl(k)->name; });
      *out = items[i].GetInterfacePtr();
      (*out)->AddRef();
      return S_OK;
    });
  }
  STDMETHODIMP raw_Refresh() override { return S_OK; }  // parameters are always described by the caller
  STDMETHODIMP raw_Append(IDispatch* object) override {
    return AdoBoundary(__uuidof(::Parameters), nullptr, [&]() -> HRESULT {
      if (!object) return E_POINTER;
      _ParameterPtr p(object);
      if (!p)
        ThrowAdo(adErrInvalidArgument,
                 L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
      items.push_back(p);
      return S_OK;
    });
  }
  STDMETHODIMP raw_Delete(VARIANT index) override {
    return AdoBoundary(__uuidof(::Parameters), nullptr, [&]() -> HRESULT {
      std::size_t i = ItemIndex(index, items.size(), [&](std::size_t k) { return Impl(k)->name; });
      items.erase(items.begin() + static_cast<long>(i));
      return S_OK;
    });
  }
  ParameterImpl* Impl(std::size_t k) const { return static_cast<ParameterImpl*>(items[k].GetInterfacePtr()); }
};

// ---- Command ------------------------------------------------------------------------------

class CommandImpl final : public ComObject<::_Command> {
 public:
  CommandImpl() : params_(new ParametersImpl()) {}
  ~CommandImpl() override { params_->Release(); }

  STDMETHODIMP get_Properties(::Properties** out) override {
    if (!out) return E_POINTER;
    *out = NewProperties(std::make_shared<PropertyBag>());
    return S_OK;
  }
  STDMETHODIMP get_ActiveConnection(::_Connection** out) override {
    if (!out) return E_POINTER;
    *out = conn_.GetInterfacePtr();
    if (*out) (*out)->AddRef();
    return S_OK;
  }
  STDMETHODIMP putref_ActiveConnection(::_Connection* c) override {
    SetConnection(c);
    return S_OK;
  }
  STDMETHODIMP put_ActiveConnection(VARIANT v) override {
    return AdoBoundary(__uuidof(::_Command), nullptr, [&]() -> HRESULT {
      if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) {
        SetConnection(_ConnectionPtr(v.vt == VT_DISPATCH ? static_cast<IUnknown*>(v.pdispVal) : v.punkVal));
      } else if (v.vt == VT_BSTR) {
        auto* c = new ConnectionImpl();
        _ConnectionPtr owned(c->Interface(), false);
        c->OpenString(BstrText(v.bstrVal));
        SetConnection(owned);
      } else {
        SetConnection(nullptr);
      }
      return S_OK;
    });
  }
  STDMETHODIMP get_CommandText(BSTR* b) override { return PutBstr(b, text_); }
  STDMETHODIMP put_CommandText(BSTR b) override {
    text_ = BstrText(b);
    return S_OK;
  }
  STDMETHODIMP get_CommandTimeout(LONG* t) override { return PutOut(t, timeout_); }
  STDMETHODIMP put_CommandTimeout(LONG t) override {
    timeout_ = t;
    return S_OK;
  }
  STDMETHODIMP get_Prepared(VARIANT_BOOL* p) override { return PutOut(p, prepared_); }
  STDMETHODIMP put_Prepared(VARIANT_BOOL p) override {
    prepared_ = p;
    return S_OK;
  }
  STDMETHODIMP raw_Execute(VARIANT* affected, VARIANT* parameters, LONG options, ::_Recordset** out) override {
    ConnectionImpl* conn = connImpl_;
    return AdoBoundary(__uuidof(::_Command), conn, [&]() -> HRESULT {
      if (!conn)
        ThrowAdo(adErrInvalidConnection,
                 L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
      if (out) *out = nullptr;
      LONG type = type_;
      if (options != adOptionUnspecified && (options & (adCmdText | adCmdTable | adCmdStoredProc | adCmdTableDirect)))
        type = options & (adCmdText | adCmdTable | adCmdStoredProc | adCmdTableDirect);
      if (type == adCmdUnknown || type == adCmdUnspecified) type = adCmdText;
      bool noRecords = options != adOptionUnspecified && (options & adExecuteNoRecords);
      // Values of the parameters in order; an array passed to Execute replaces the inputs.
      std::vector<Cell>& values = values_;  // reused from run to run
      values.resize(params_->items.size());
      converted_.resize(values.size());
      const bool fromArray = parameters && (parameters->vt & VT_ARRAY) && parameters->parray;
      for (std::size_t k = 0; k < values.size(); ++k) {
        ParameterImpl* p = params_->Impl(k);
        Cell& v = values[k];
        // A parameter unchanged since the last run keeps its converted value.
        if (!fromArray && converted_[k].first == p && converted_[k].second == p->version) continue;
        converted_[k] = {nullptr, 0};
        v = Cell::Null();
        if (p->direction == adParamInput || p->direction == adParamInputOutput || p->direction == adParamUnknown) {
          Cell raw = FromVariant(p->value);
          if (parameters && (parameters->vt & VT_ARRAY) && parameters->parray) {
            LONG idx = static_cast<LONG>(k);
            _variant_t elem;
            if (SUCCEEDED(SafeArrayGetElement(parameters->parray, &idx, &elem))) raw = FromVariant(elem);
          }
          LONG t = p->type == adEmpty ? adVariant : p->type;
          if (!CoerceToType(std::move(raw), t, static_cast<LONG>(p->size), v))
            ThrowAdo(DB_E_ERRORSOCCURRED, L"Multiple-step operation generated errors. Check each status value. "
                                          L"(parameter " + p->name + L")");
        }
        if (!fromArray) converted_[k] = {p, p->version};
      }
      std::int64_t changes = 0;
      std::vector<std::pair<int, Cell>> outputs;
      _RecordsetPtr rs = conn->Run(text_, type, noRecords, values, &changes, &outputs);
      for (auto& [index, value] : outputs) {
        if (index < 0 || static_cast<std::size_t>(index) >= params_->items.size()) continue;
        ParameterImpl* p = params_->Impl(static_cast<std::size_t>(index));
        Cell conv;
        LONG t = p->type == adEmpty ? adVariant : p->type;
        p->value = ToVariant(CoerceToType(value, t, static_cast<LONG>(p->size), conv) ? conv : value);
        p->version = ParameterImpl::NextVersion();
      }
      if (affected) {
        VariantClear(affected);
        affected->vt = VT_I4;
        affected->lVal = static_cast<LONG>(changes);
      }
      if (out) *out = rs.Detach();
      return S_OK;
    });
  }
  STDMETHODIMP raw_CreateParameter(BSTR name, DataTypeEnum type, ParameterDirectionEnum direction, ADO_LONGPTR size,
                                   VARIANT value, ::_Parameter** out) override {
    return AdoBoundary(__uuidof(::_Command), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      auto* p = new ParameterImpl();
      p->name = BstrText(name);
      p->type = type;
      p->direction = direction;
      p->size = size;
      if (!IsMissing(value)) p->value = _variant_t(value);
      *out = p->Interface();
      return S_OK;
    });
  }
  STDMETHODIMP get_Parameters(::Parameters** out) override {
    if (!out) return E_POINTER;
    *out = params_->Interface();
    params_->AddRef();
    return S_OK;
  }
  STDMETHODIMP put_CommandType(CommandTypeEnum t) override {
    type_ = t;
    return S_OK;
  }
  STDMETHODIMP get_CommandType(CommandTypeEnum* t) override { return PutOut(t, type_); }
  STDMETHODIMP get_Name(BSTR* b) override { return PutBstr(b, name_); }
  STDMETHODIMP put_Name(BSTR b) override {
    name_ = BstrText(b);
    return S_OK;
  }
  STDMETHODIMP get_State(LONG* s) override { return PutOut(s, LONG{adStateClosed}); }
  STDMETHODIMP raw_Cancel() override { return S_OK; }

  const std::wstring& Text() const { return text_; }
  ::_Connection* Connection() const { return conn_.GetInterfacePtr(); }

 private:
  // The connection, and the implementation behind it (held by conn_), found once.
  void SetConnection(_ConnectionPtr c) {
    conn_ = std::move(c);
    connImpl_ = ConnectionImpl::From(conn_.GetInterfacePtr());
  }
  _ConnectionPtr conn_;
  ConnectionImpl* connImpl_ = nullptr;
  std::wstring text_, name_;
  CommandTypeEnum type_ = adCmdUnknown;
  LONG timeout_ = 30;
  VARIANT_BOOL prepared_ = VARIANT_FALSE;
  ParametersImpl* params_;
  std::vector<Cell> values_;  // the parameter values of the last run
  std::vector<std::pair<ParameterImpl*, std::uint64_t>> converted_;  // which parameter, as of which change
};

// ---- Field / Fields -----------------------------------------------------------------------

class FieldImpl final : public ComObject<::Field> {
 public:
  FieldImpl(std::shared_ptr<RecordsetCore> core, int index) : core_(std::move(core)), index_(index) {}

  STDMETHODIMP get_Properties(::Properties** out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      auto bag = std::make_shared<PropertyBag>();
      const FieldDef& f = Def();
      bag->entries.push_back({L"Optimize", _variant_t(f.optimize), adBoolean});
      const std::wstring table = f.declaredTable.empty() ? FromUtf8(f.table) : f.declaredTable;
      const std::wstring column = f.declaredColumn.empty() ? FromUtf8(f.column) : f.declaredColumn;
      bag->entries.push_back({L"BASETABLENAME", _variant_t(table.c_str()), adVarWChar});
      bag->entries.push_back({L"BASECOLUMNNAME", _variant_t(column.c_str()), adVarWChar});
      bag->entries.push_back({L"KEYCOLUMN", _variant_t(f.key), adBoolean});
      bag->entries.push_back({L"ISAUTOINCREMENT", _variant_t(f.autoIncrement), adBoolean});
      auto core = core_;
      int index = index_;
      bag->onPut = [core, index](const std::wstring& name, const _variant_t& v) {
        if (CompareNoCase(name, L"Optimize") == 0) {
          Cell b;
          CoerceToType(FromVariant(v), adBoolean, 0, b);
          const bool on = b.kind == VKind::Bool && b.i != 0;
          if (core->rowset) {
            core->Def(index);  // raises for a field that is gone
            core->rowset->SetOptimize(index, on);
          } else {
            core->MutableDef(index).optimize = on;
          }
        }
      };
      *out = NewProperties(std::move(bag));
      return S_OK;
    });
  }
  STDMETHODIMP get_ActualSize(ADO_LONGPTR* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      const Cell& v = core_->Open().Get(index_);
      const FieldDef& f = Def();
      if (v.IsNull() || v.IsEmpty()) *out = 0;
      else if (v.kind == VKind::Text) *out = static_cast<LONG>(v.s.size() * ((f.type == adWChar || f.type == adVarWChar || f.type == adLongVarWChar || f.type == adBSTR) ? 2 : 1));
      else if (v.kind == VKind::Bytes) *out = static_cast<LONG>(v.s.size());
      else *out = f.size;
      return S_OK;
    });
  }
  STDMETHODIMP get_Attributes(LONG* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = Def().attributes;
      return S_OK;
    });
  }
  STDMETHODIMP get_DefinedSize(ADO_LONGPTR* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = Def().size;
      return S_OK;
    });
  }
  STDMETHODIMP get_Name(BSTR* b) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      return PutBstr(b, Def().name);
    });
  }
  STDMETHODIMP get_Type(DataTypeEnum* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = static_cast<DataTypeEnum>(Def().type);
      return S_OK;
    });
  }
  STDMETHODIMP get_Value(VARIANT* out) override {
    return AdoBoundary(__uuidof(::Field), core_->Conn(), [&]() -> HRESULT {
      if (!out) return E_POINTER;
      out->vt = VT_EMPTY;
      ToVariant(core_->Open().Get(index_), out);
      return S_OK;
    });
  }
  STDMETHODIMP put_Value(VARIANT v) override {
    return AdoBoundary(__uuidof(::Field), core_->Conn(), [&]() -> HRESULT {
      core_->Open().Put(index_, FromVariant(v));
      return S_OK;
    });
  }
  STDMETHODIMP get_Precision(BYTE* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      LONG t = Def().type;
      *out = static_cast<BYTE>(t == adInteger ? 10 : t == adBigInt ? 19 : t == adSmallInt ? 5 : t == adDouble ? 15
                               : t == adCurrency ? 19 : t == adDBTimeStamp || t == adDate ? 23 : 255);
      return S_OK;
    });
  }
  STDMETHODIMP get_NumericScale(BYTE* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = static_cast<BYTE>(Def().type == adCurrency ? 4 : 255);
      return S_OK;
    });
  }
  STDMETHODIMP raw_AppendChunk(VARIANT data) override {
    return AdoBoundary(__uuidof(::Field), core_->Conn(), [&]() -> HRESULT {
      Rowset& rs = core_->Open();
      Cell cur = rs.Get(index_);
      Cell add = FromVariant(data);
      if (KindOfType(Def().type) == VKind::Bytes) {
        rs.Put(index_, Cell::Blob((cur.kind == VKind::Bytes ? cur.Bytes() : std::string()) + (add.kind == VKind::Bytes ? add.Bytes() : ToUtf8(ValueText(add)))));
      } else {
        rs.Put(index_, Cell::Text((cur.kind == VKind::Text ? cur.s : std::wstring()) + ValueText(add)));
      }
      return S_OK;
    });
  }
  STDMETHODIMP raw_GetChunk(LONG length, VARIANT* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      const Cell& v = core_->Open().Get(index_);
      Cell part = v;
      if (v.kind == VKind::Bytes) part = Cell::Blob(v.Bytes().substr(0, static_cast<std::size_t>(std::max(0, length))));
      if (v.kind == VKind::Text) part = Cell::Text(v.s.substr(0, static_cast<std::size_t>(std::max(0, length))));
      *out = ToVariant(part).Detach();
      return S_OK;
    });
  }
  STDMETHODIMP get_OriginalValue(VARIANT* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = ToVariant(core_->Open().Original(index_)).Detach();
      return S_OK;
    });
  }
  STDMETHODIMP get_UnderlyingValue(VARIANT* out) override {
    // The value in the database as last read: the client cursor holds no fresher copy.
    return get_OriginalValue(out);
  }
  STDMETHODIMP put_Type(DataTypeEnum t) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      core_->PendingDef(index_).type = t;
      return S_OK;
    });
  }
  STDMETHODIMP put_DefinedSize(ADO_LONGPTR l) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      core_->PendingDef(index_).size = l;
      return S_OK;
    });
  }
  STDMETHODIMP put_Attributes(LONG l) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      core_->PendingDef(index_).attributes = l;
      return S_OK;
    });
  }
  STDMETHODIMP get_Status(LONG* out) override { return PutOut(out, LONG{0}); }

 private:
  const FieldDef& Def() const { return core_->Def(index_); }
  std::shared_ptr<RecordsetCore> core_;
  int index_;
};

class FieldsImpl final : public ComObject<::Fields> {
 public:
  explicit FieldsImpl(std::shared_ptr<RecordsetCore> core) : core_(std::move(core)) {}
  STDMETHODIMP get_Count(LONG* c) override { return PutOut(c, static_cast<LONG>(core_->Defs().size())); }
  STDMETHODIMP get_Item(VARIANT index, ::Field** out) override {
    return AdoBoundary(__uuidof(::Fields), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      const auto& defs = core_->Defs();
      std::size_t i;
      if (index.vt == VT_BSTR) {  // the common case, without building a Cell
        int k = core_->FieldIndex(BstrText(index.bstrVal));
        if (k < 0)
          ThrowAdo(adErrItemNotFound,
                   L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
        i = static_cast<std::size_t>(k);
      } else {
        i = ItemIndex(index, defs.size(), [&](std::size_t k) { return defs[k].name; });
      }
      *out = core_->FieldObject(static_cast<int>(i));
      return S_OK;
    });
  }
  STDMETHODIMP raw_Refresh() override { return S_OK; }
  STDMETHODIMP raw_Append(BSTR name, DataTypeEnum type, ADO_LONGPTR size, FieldAttributeEnum attrib,
                          VARIANT value) override {
    return AdoBoundary(__uuidof(::Fields), nullptr, [&]() -> HRESULT {
      if (core_->IsOpen())
        ThrowAdo(adErrIllegalOperation, L"Operation is not allowed in this context: fields are appended before Open.");
      std::wstring n = BstrText(name);
      if (n.empty() || core_->FieldIndex(n) >= 0)
        ThrowAdo(adErrInvalidArgument,
                 L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
      FieldDef f;
      f.name = n;
      f.type = type;
      LONG natural = 0;
      switch (KindOfType(type)) {
        case VKind::Bool: natural = 2; break;
        case VKind::UI1: natural = 1; break;
        case VKind::I2: natural = 2; break;
        case VKind::I4:
        case VKind::R4: natural = 4; break;
        case VKind::I8:
        case VKind::R8:
        case VKind::Cy:
        case VKind::Date: natural = 8; break;
        default: break;
      }
      f.size = size > 0 ? size : natural;
      f.attributes = attrib == adFldUnspecified ? (adFldUpdatable | adFldIsNullable | adFldMayBeNull) : attrib;
      core_->AppendPending(std::move(f));
      (void)value;
      return S_OK;
    });
  }
  STDMETHODIMP raw_Delete(VARIANT index) override {
    return AdoBoundary(__uuidof(::Fields), nullptr, [&]() -> HRESULT {
      if (core_->IsOpen())
        ThrowAdo(adErrIllegalOperation, L"Operation is not allowed in this context: fields are deleted before Open.");
      const auto& defs = core_->Defs();
      std::size_t i = ItemIndex(index, defs.size(), [&](std::size_t k) { return defs[k].name; });
      core_->DeletePending(i);
      return S_OK;
    });
  }

 private:
  std::shared_ptr<RecordsetCore> core_;
};

// ---- Recordset core -----------------------------------------------------------------------

RecordsetCore::~RecordsetCore() {
  for (auto* f : fieldObjects_)
    if (f) f->Release();
}

Rowset& RecordsetCore::Open() {
  if (!rowset) Closed();
  return *rowset;
}

const std::vector<FieldDef>& RecordsetCore::Defs() const { return rowset ? rowset->Fields() : pending; }

const FieldDef& RecordsetCore::Def(int i) const {
  const auto& d = Defs();
  if (i < 0 || static_cast<std::size_t>(i) >= d.size())
    ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
  return d[static_cast<std::size_t>(i)];
}

FieldDef& RecordsetCore::MutableDef(int i) {
  Def(i);
  return rowset ? rowset->MutableField(i) : pending[static_cast<std::size_t>(i)];
}

FieldDef& RecordsetCore::PendingDef(int i) {
  if (rowset) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
  Def(i);
  return pending[static_cast<std::size_t>(i)];
}

int RecordsetCore::FieldIndex(std::wstring_view name) const {
  if (rowset) return rowset->FieldIndex(name);
  for (std::size_t i = 0; i < pending.size(); ++i)
    if (pending[i].name.size() == name.size() && CompareNoCase(pending[i].name, name) == 0) return static_cast<int>(i);
  return -1;
}

void RecordsetCore::AppendPending(FieldDef f) {
  pending.push_back(std::move(f));
  ResetFieldObjects();
}

void RecordsetCore::DeletePending(std::size_t i) {
  pending.erase(pending.begin() + static_cast<long>(i));
  ResetFieldObjects();
}

void RecordsetCore::ResetFieldObjects() {
  for (auto* f : fieldObjects_)
    if (f) f->Release();
  fieldObjects_.clear();
}

::Field* RecordsetCore::FieldObject(int i) {
  if (fieldObjects_.size() != Defs().size()) {
    ResetFieldObjects();
    fieldObjects_.assign(Defs().size(), nullptr);
  }
  ::Field*& f = fieldObjects_[static_cast<std::size_t>(i)];
  if (!f) f = (new FieldImpl(shared_from_this(), i))->Interface();
  f->AddRef();
  return f;
}

// Field objects hold the core; the core holds them: the cycle is broken when the recordset
// closes or goes away.
void RecordsetCore::Shutdown() {
  ResetFieldObjects();
  rowset.reset();
  conn = nullptr;
}

ConnectionImpl* RecordsetCore::Conn() const { return ConnectionImpl::From(conn.GetInterfacePtr()); }

// ---- Recordset ----------------------------------------------------------------------------

RecordsetImpl::RecordsetImpl() : core_(std::make_shared<RecordsetCore>()) {}
RecordsetImpl::~RecordsetImpl() { core_->Shutdown(); }

void RecordsetImpl::Attach(std::shared_ptr<Rowset> rs, ConnectionImpl* conn, std::wstring source, LockMode mode) {
  core_->ResetFieldObjects();
  rs->lock = mode;
  rs->db = conn ? conn->Db() : nullptr;
  core_->rowset = std::move(rs);
  core_->conn = conn ? conn->Interface() : nullptr;
  source_ = std::move(source);
  if (mode == LockMode::ReadOnly) lockType_ = adLockReadOnly;
  cursorType_ = adOpenStatic;
}

namespace {
LockMode ModeOf(LockTypeEnum lock, bool fabricated) {
  switch (lock) {
    case adLockOptimistic:
    case adLockPessimistic: return LockMode::Immediate;
    case adLockBatchOptimistic: return LockMode::Batch;
    case adLockReadOnly: return LockMode::ReadOnly;
    default: return fabricated ? LockMode::Batch : LockMode::ReadOnly;
  }
}
const wchar_t* kBadArgument = L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";
}  // namespace

namespace {
// The Start argument of Move, Find and GetRows: a BookmarkEnum (an integer) positions the
// recordset; a bookmark (a double, as Bookmark gives) is returned for the caller to use.
std::optional<double> ApplyStart(Rowset& rs, const VARIANT& start) {
  if (IsMissing(start)) return std::nullopt;
  Cell b = FromVariant(start);
  if (!b.IsNumeric()) ThrowAdo(adErrInvalidArgument, kBadArgument);
  if (b.IsInteger()) {
    if (b.i == adBookmarkCurrent) return std::nullopt;
    if (b.i == adBookmarkFirst) {
      rs.MoveFirst();
      return std::nullopt;
    }
    if (b.i == adBookmarkLast) {
      rs.MoveLast();
      return std::nullopt;
    }
  }
  return b.AsDouble();
}
}  // namespace

STDMETHODIMP RecordsetImpl::get_Properties(::Properties** out) {
  if (!out) return E_POINTER;
  *out = NewProperties(std::make_shared<PropertyBag>());
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_AbsolutePosition(LONG* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = core_->Open().AbsolutePosition();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::put_AbsolutePosition(LONG p) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    core_->Open().SetAbsolutePosition(p);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::putref_ActiveConnection(IDispatch* c) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    SetConnection(c ? ConnectionImpl::From(c) : nullptr, c != nullptr);
    return S_OK;
  });
}
void RecordsetImpl::SetConnection(ConnectionImpl* conn, bool wanted) {
  if (wanted && !conn) ThrowAdo(adErrInvalidConnection, L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
  core_->conn = conn ? conn->Interface() : nullptr;
  if (core_->rowset) core_->rowset->db = conn ? conn->Db() : nullptr;
}
STDMETHODIMP RecordsetImpl::put_ActiveConnection(VARIANT v) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) {
      IUnknown* u = v.vt == VT_DISPATCH ? static_cast<IUnknown*>(v.pdispVal) : v.punkVal;
      SetConnection(u ? ConnectionImpl::From(u) : nullptr, u != nullptr);
    } else if (v.vt == VT_BSTR) {
      auto* c = new ConnectionImpl();
      _ConnectionPtr owned(c->Interface(), false);
      c->OpenString(BstrText(v.bstrVal));
      SetConnection(c, true);
    } else {
      SetConnection(nullptr, false);
    }
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_ActiveConnection(VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  out->vt = VT_DISPATCH;
  out->pdispVal = core_->conn.GetInterfacePtr();
  if (out->pdispVal) out->pdispVal->AddRef();
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_BOF(VARIANT_BOOL* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = core_->Open().Bof() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Bookmark(VARIANT* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    Rowset& rs = core_->Open();
    if (rs.Bof() || rs.Eof()) ThrowAdo(adErrNoCurrentRecord, L"Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.");
    VariantInit(out);
    out->vt = VT_R8;
    out->dblVal = rs.Bookmark();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::put_Bookmark(VARIANT v) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    Cell b = FromVariant(v);
    if (!b.IsNumeric()) ThrowAdo(adErrInvalidArgument, kBadArgument);
    core_->Open().SetBookmark(b.AsDouble());
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_CacheSize(LONG* out) { return PutOut(out, cacheSize_); }
STDMETHODIMP RecordsetImpl::put_CacheSize(LONG n) {
  if (n < 1) return platform::com::ReportError(adErrInvalidArgument, kBadArgument, L"ADODB.Recordset", __uuidof(::_Recordset));
  cacheSize_ = n;
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_CursorType(CursorTypeEnum* out) { return PutOut(out, cursorType_); }
STDMETHODIMP RecordsetImpl::put_CursorType(CursorTypeEnum t) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    cursorType_ = t;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_adoEOF(VARIANT_BOOL* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = core_->Open().Eof() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Fields(::Fields** out) {
  if (!out) return E_POINTER;
  *out = (new FieldsImpl(core_))->Interface();
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_LockType(LockTypeEnum* out) { return PutOut(out, lockType_); }
STDMETHODIMP RecordsetImpl::put_LockType(LockTypeEnum t) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    lockType_ = t;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_MaxRecords(ADO_LONGPTR* out) { return PutOut(out, maxRecords_); }
STDMETHODIMP RecordsetImpl::put_MaxRecords(ADO_LONGPTR n) {
  maxRecords_ = n;
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_RecordCount(ADO_LONGPTR* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = core_->Open().RecordCount();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::putref_Source(IDispatch* cmd) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    sourceCommand_ = cmd;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::put_Source(BSTR s) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    source_ = BstrText(s);
    sourceCommand_ = nullptr;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Source(VARIANT* out) {
  if (!out) return E_POINTER;
  *out = _variant_t(source_.c_str()).Detach();
  return S_OK;
}

namespace {
// A field given by name or by a number (an index); -1 when neither names a field.
int FieldOf(const Rowset& rs, const Cell& v) {
  if (v.kind == VKind::Text) return rs.FieldIndex(v.s);
  if (!v.IsNumeric()) return -1;
  double d = v.AsDouble();
  return d >= 0 && d < static_cast<double>(rs.Fields().size()) ? static_cast<int>(d) : -1;
}
}  // namespace

void RecordsetImpl::PutList(const VARIANT& fields, const VARIANT& values) {
  Rowset& rs = core_->Open();
  auto fieldIndex = [&](const VARIANT& f) {
    Cell v = FromVariant(f);
    int i = FieldOf(rs, v);
    if (i < 0 || static_cast<std::size_t>(i) >= rs.Fields().size())
      ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return i;
  };
  if ((fields.vt & VT_ARRAY) && fields.parray) {
    if (!(values.vt & VT_ARRAY) || !values.parray) ThrowAdo(adErrInvalidArgument, kBadArgument);
    LONG lo = 0, hi = -1, vlo = 0, vhi = -1;
    SafeArrayGetLBound(fields.parray, 1, &lo);
    SafeArrayGetUBound(fields.parray, 1, &hi);
    SafeArrayGetLBound(values.parray, 1, &vlo);
    SafeArrayGetUBound(values.parray, 1, &vhi);
    if (hi - lo != vhi - vlo) ThrowAdo(adErrInvalidArgument, kBadArgument);
    for (LONG k = 0; k <= hi - lo; ++k) {
      _variant_t f, v;
      LONG fi = lo + k, vi = vlo + k;
      SafeArrayGetElement(fields.parray, &fi, &f);
      SafeArrayGetElement(values.parray, &vi, &v);
      rs.Put(fieldIndex(f), FromVariant(v));
    }
  } else {
    rs.Put(fieldIndex(fields), FromVariant(values));
  }
}

STDMETHODIMP RecordsetImpl::raw_AddNew(VARIANT fields, VARIANT values) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    rs.AddNew();
    if (!IsMissing(fields)) {
      PutList(fields, values);
      rs.Update();
    }
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_CancelUpdate() {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    core_->Open().CancelUpdate();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Close() {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!core_->IsOpen()) Closed();
    core_->ResetFieldObjects();
    core_->rowset.reset();
    core_->pending.clear();
    filter_ = _variant_t();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Delete(AffectEnum affect) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    core_->Open().Delete(affect);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_GetRows(LONG rows, VARIANT start, VARIANT fieldsArg, VARIANT* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    Rowset& rs = core_->Open();
    if (auto bm = ApplyStart(rs, start)) rs.SetBookmark(*bm);
    std::vector<int> cols;
    if (IsMissing(fieldsArg)) {
      for (std::size_t i = 0; i < rs.Fields().size(); ++i) cols.push_back(static_cast<int>(i));
    } else if ((fieldsArg.vt & VT_ARRAY) && fieldsArg.parray) {
      LONG lo = 0, hi = -1;
      SafeArrayGetLBound(fieldsArg.parray, 1, &lo);
      SafeArrayGetUBound(fieldsArg.parray, 1, &hi);
      for (LONG k = lo; k <= hi; ++k) {
        _variant_t f;
        SafeArrayGetElement(fieldsArg.parray, &k, &f);
        Cell v = FromVariant(f);
        int i = FieldOf(rs, v);
        if (i < 0) ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
        cols.push_back(i);
      }
    } else {
      Cell v = FromVariant(fieldsArg);
      int i = FieldOf(rs, v);
      if (i < 0) ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
      cols.push_back(i);
    }
    std::vector<std::vector<Cell>> data;
    while (!rs.Eof() && (rows < 0 || static_cast<LONG>(data.size()) < rows)) {
      std::vector<Cell> row;
      for (int c : cols) row.push_back(rs.Get(c));
      data.push_back(std::move(row));
      rs.MoveNext();
    }
    if (data.empty()) ThrowAdo(adErrNoCurrentRecord, L"Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.");
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(cols.size()), 0}, {static_cast<ULONG>(data.size()), 0}};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!sa) throw std::bad_alloc();
    for (std::size_t r = 0; r < data.size(); ++r) {
      for (std::size_t c = 0; c < cols.size(); ++c) {
        LONG idx[2] = {static_cast<LONG>(c), static_cast<LONG>(r)};
        _variant_t v = ToVariant(data[r][c]);
        SafeArrayPutElement(sa, idx, &v);
      }
    }
    VariantInit(out);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = sa;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Move(ADO_LONGPTR n, VARIANT start) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    rs.Move(n, ApplyStart(rs, start));
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_MoveNext() {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    core_->Open().MoveNext();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_MovePrevious() {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    core_->Open().MovePrevious();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_MoveFirst() {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    core_->Open().MoveFirst();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_MoveLast() {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    core_->Open().MoveLast();
    return S_OK;
  });
}

STDMETHODIMP RecordsetImpl::raw_Open(VARIANT source, VARIANT activeConnection, CursorTypeEnum cursorType,
                                     LockTypeEnum lockType, LONG options) {
  ConnectionImpl* errorConn = nullptr;
  return AdoBoundary(__uuidof(::_Recordset), errorConn, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    if (cursorType != adOpenUnspecified) cursorType_ = cursorType;
    if (lockType != adLockUnspecified) lockType_ = lockType;
    if (!IsMissing(activeConnection)) {
      HRESULT hr = put_ActiveConnection(activeConnection);
      if (FAILED(hr)) return hr;
    }
    // The source: a command, SQL text or a table name, or nothing for a fabricated recordset.
    std::wstring text = source_;
    ::_Command* command = nullptr;
    _CommandPtr commandHolder;
    if (!IsMissing(source)) {
      if (source.vt == VT_DISPATCH || source.vt == VT_UNKNOWN) {
        commandHolder = _CommandPtr(source.vt == VT_DISPATCH ? static_cast<IUnknown*>(source.pdispVal) : source.punkVal);
        command = commandHolder.GetInterfacePtr();
      } else {
        text = ValueText(FromVariant(source));
      }
    } else if (sourceCommand_) {
      commandHolder = _CommandPtr(sourceCommand_.GetInterfacePtr());
      command = commandHolder.GetInterfacePtr();
    }
    if (command) {
      _RecordsetPtr result;
      _variant_t affected;
      HRESULT hr = command->raw_Execute(&affected, nullptr, options == adCmdUnspecified ? adOptionUnspecified : options,
                                        reinterpret_cast<::_Recordset**>(&result));
      if (FAILED(hr)) return hr;
      auto* other = static_cast<RecordsetImpl*>(result.GetInterfacePtr());
      if (other && other->core_->IsOpen()) {
        auto rows = other->core_->rowset;
        ::_Connection* c = static_cast<CommandImpl*>(command)->Connection();
        Attach(rows, ConnectionImpl::From(c), static_cast<CommandImpl*>(command)->Text(), ModeOf(lockType_, false));
      }
      return S_OK;
    }
    ConnectionImpl* conn = core_->Conn();
    errorConn = conn;
    if (text.empty() && (!conn || !core_->pending.empty())) {
      if (core_->pending.empty())
        ThrowAdo(adErrInvalidConnection, L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
      auto rs = Rowset::Fabricate(core_->pending);
      rs->lock = ModeOf(lockType_, true);
      core_->ResetFieldObjects();
      core_->rowset = std::move(rs);
      if (lockType_ == adLockUnspecified) lockType_ = adLockBatchOptimistic;
      cursorType_ = adOpenStatic;
      return S_OK;
    }
    if (!conn)
      ThrowAdo(adErrInvalidConnection, L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
    LONG type = options == adCmdUnspecified ? adCmdUnknown : (options & (adCmdText | adCmdTable | adCmdStoredProc | adCmdTableDirect | adCmdUnknown));
    if (type == adCmdUnknown || type == 0) {
      bool single = text.find_first_of(L" \t\r\n") == std::wstring::npos;
      type = single ? adCmdTable : adCmdText;
    }
    std::wstring sql = (type == adCmdTable || type == adCmdTableDirect) ? L"SELECT * FROM [" + text + L"]" : text;
    ExecResult r = conn->RequireOpen()->Execute(sql, {}, StatementOrigin::Command, true);
    source_ = text;
    if (!r.hasRows) return S_OK;  // a statement without rows leaves the recordset closed
    if (maxRecords_ > 0) r.result.Truncate(static_cast<std::size_t>(maxRecords_));
    LockMode mode = ModeOf(lockType_, false);
    Attach(Rowset::FromResult(std::move(r.result)), conn, text, mode);
    if (lockType_ == adLockUnspecified) lockType_ = adLockReadOnly;
    sql_ = sql;
    return S_OK;
  });
}

STDMETHODIMP RecordsetImpl::raw_Requery(LONG) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    ConnectionImpl* conn = core_->Conn();
    if (sql_.empty() || !conn) ThrowAdo(adErrFeatureNotAvailable, L"Operation is not supported for this type of object.");
    ExecResult r = conn->RequireOpen()->Execute(sql_, {}, StatementOrigin::Command, true);
    LockMode mode = rs.lock;
    auto fresh = Rowset::FromResult(std::move(r.result));
    // Fields marked "Optimize" keep their indexes, built on the rows read again.
    for (const FieldDef& f : rs.Fields())
      if (f.optimize) {
        const int i = fresh->FieldIndex(f.name);
        if (i >= 0) fresh->SetOptimize(i, true);
      }
    Attach(std::move(fresh), conn, source_, mode);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Update(VARIANT fields, VARIANT values) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    if (!IsMissing(fields)) PutList(fields, values);
    rs.Update();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_EditMode(EditModeEnum* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = static_cast<EditModeEnum>(core_->Open().EditMode());
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Status(LONG* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    switch (core_->Open().CurrentStatus()) {
      case RowStatus::New: *out = adRecNew; break;
      case RowStatus::Modified: *out = adRecModified; break;
      case RowStatus::Deleted: *out = adRecDeleted; break;
      default: *out = adRecUnmodified; break;
    }
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Filter(VARIANT* out) {
  if (!out) return E_POINTER;
  if (filter_.vt == VT_EMPTY) {
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = adFilterNone;
    return S_OK;
  }
  return VariantCopy(out, &filter_);
}
STDMETHODIMP RecordsetImpl::put_Filter(VARIANT v) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    Cell f = FromVariant(v);
    if (f.kind == VKind::Text) {
      if (f.s.empty()) rs.SetFilterGroup(adFilterNone);
      else rs.SetFilter(f.s);
      filter_ = _variant_t(f.s.c_str());
    } else if (f.IsNumeric()) {
      double g = f.AsDouble();
      if (!(g >= 0 && g <= static_cast<double>(adFilterConflictingRecords))) ThrowAdo(adErrInvalidArgument, kBadArgument);
      rs.SetFilterGroup(static_cast<LONG>(g));
      filter_ = _variant_t(static_cast<int>(g));
    } else if (f.IsEmpty() || f.IsNull()) {
      rs.SetFilterGroup(adFilterNone);
      filter_ = _variant_t();
    } else {
      ThrowAdo(adErrInvalidArgument, kBadArgument);
    }
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_State(LONG* out) { return PutOut(out, LONG{core_->IsOpen() ? adStateOpen : adStateClosed}); }
STDMETHODIMP RecordsetImpl::raw_UpdateBatch(AffectEnum affect) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    core_->Open().UpdateBatch(affect);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_CancelBatch(AffectEnum affect) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    core_->Open().CancelBatch(affect);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_CursorLocation(CursorLocationEnum* out) { return PutOut(out, cursorLocation_); }
STDMETHODIMP RecordsetImpl::put_CursorLocation(CursorLocationEnum l) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    cursorLocation_ = l;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Clone(LockTypeEnum lock, ::_Recordset** out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    Rowset& rs = core_->Open();
    LockMode mode = lock == adLockUnspecified ? rs.lock : ModeOf(lock, false);
    auto* copy = new RecordsetImpl();
    _RecordsetPtr holder(copy->Interface(), false);
    copy->core_->rowset = rs.Clone(mode);
    copy->core_->conn = core_->conn;
    copy->lockType_ = lock == adLockUnspecified ? lockType_ : lock;
    copy->cursorType_ = cursorType_;
    copy->cursorLocation_ = cursorLocation_;
    copy->source_ = source_;
    *out = holder.Detach();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Supports(CursorOptionEnum option, VARIANT_BOOL* out) {
  if (!out) return E_POINTER;
  bool updatable = core_->rowset ? core_->rowset->lock != LockMode::ReadOnly : lockType_ != adLockReadOnly;
  bool yes;
  switch (option) {
    case adAddNew:
    case adDelete:
    case adUpdate: yes = updatable; break;
    case adUpdateBatch: yes = updatable && (!core_->rowset || core_->rowset->lock == LockMode::Batch); break;
    case adHoldRecords:
    case adMovePrevious:
    case adBookmark:
    case adApproxPosition:
    case adFind: yes = true; break;
    default: yes = false; break;
  }
  *out = yes ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_Sort(BSTR* out) {
  return PutBstr(out, core_->rowset ? core_->rowset->SortText() : std::wstring());
}
STDMETHODIMP RecordsetImpl::put_Sort(BSTR s) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    core_->Open().SetSort(BstrText(s));
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Find(BSTR criteria, ADO_LONGPTR skip, SearchDirectionEnum direction, VARIANT start) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    if (skip < 0) ThrowAdo(adErrInvalidArgument, kBadArgument);
    auto bm = ApplyStart(rs, start);
    rs.Find(BstrText(criteria), skip, direction, bm);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_MarshalOptions(MarshalOptionsEnum* out) { return PutOut(out, marshal_); }
STDMETHODIMP RecordsetImpl::put_MarshalOptions(MarshalOptionsEnum m) {
  marshal_ = m;
  return S_OK;
}

// ---- class objects ------------------------------------------------------------------------

namespace {

ClassFactory<ConnectionImpl> gConnectionFactory;
ClassFactory<CommandImpl> gCommandFactory;
ClassFactory<RecordsetImpl> gRecordsetFactory;
ClassFactory<ParameterImpl> gParameterFactory;

}  // namespace

IClassFactory* StreamFactory();

void RegisterAdoClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct Entry {
      const CLSID& clsid;
      IClassFactory* factory;
    };
    const Entry entries[] = {
        {__uuidof(::Connection), &gConnectionFactory}, {__uuidof(::Command), &gCommandFactory},
        {__uuidof(::Recordset), &gRecordsetFactory},   {__uuidof(::Parameter), &gParameterFactory},
        {__uuidof(::Stream), StreamFactory()},
    };
    for (const auto& e : entries) {
      DWORD cookie = 0;
      CoRegisterClassObject(e.clsid, e.factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    }
  });
}

HRESULT RegisterAdoProgIds() {
  using platform::com::ServerClass;
  static const ServerClass kClasses[] = {
      {&__uuidof(::Connection), L"ADODB.Connection", L"ADODB.Connection.6.0", L"ADODB.Connection", L"Both"},
      {&__uuidof(::Command), L"ADODB.Command", L"ADODB.Command.6.0", L"ADODB.Command", L"Both"},
      {&__uuidof(::Recordset), L"ADODB.Recordset", L"ADODB.Recordset.6.0", L"ADODB.Recordset", L"Both"},
      {&__uuidof(::Stream), L"ADODB.Stream", L"ADODB.Stream.6.0", L"ADODB.Stream", L"Both"},
      {&__uuidof(::Parameter), L"ADODB.Parameter", L"ADODB.Parameter.6.0", L"ADODB.Parameter", L"Both"},
  };
  return platform::com::RegisterServerClasses(platform::com::ModulePathOf(reinterpret_cast<const void*>(&RegisterAdoProgIds)),
                                              kClasses, sizeof kClasses / sizeof kClasses[0]);
}

namespace {
// Registers the class objects when the library is loaded.
struct AutoRegister {
  AutoRegister() { RegisterAdoClasses(); }
} gAutoRegister;
}  // namespace

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

// ---- undo logs of writes ------------------------------------------------------------------

namespace {
constexpr GUID kUndoLogId = platform::com::GuidFromText("5B0C2E71-8D3A-4C6F-A1E9-7F24D06B93C8");

class UndoLogImpl final : public platform::com::ComObject<IUnknown> {
 public:
  std::shared_ptr<RowUndoLog> log;

 protected:
  void* QueryMore(REFIID riid) override { return riid == kUndoLogId ? static_cast<IUnknown*>(this) : nullptr; }
};

Rowset& OpenRowsetOf(_Recordset* recordset) {
  if (!recordset) _com_issue_error(E_POINTER);
  auto* impl = static_cast<RecordsetImpl*>(recordset);
  try {
    return impl->Core().Open();
  } catch (const DbException& e) {
    _com_issue_error(e.error.hr);
  }
}

UndoLogImpl* LogOf(IUnknown* log, IUnknownPtr& holder) {
  void* p = nullptr;
  if (!log || FAILED(log->QueryInterface(kUndoLogId, &p)) || !p) _com_issue_error(E_INVALIDARG);
  holder = IUnknownPtr(static_cast<IUnknown*>(p), false);
  return static_cast<UndoLogImpl*>(static_cast<IUnknown*>(p));
}
}  // namespace

IUnknownPtr BeginRowsUndo(_Recordset* recordset) {
  Rowset& rs = OpenRowsetOf(recordset);
  auto* log = new UndoLogImpl();
  IUnknownPtr held(static_cast<IUnknown*>(log), false);
  log->log = rs.BeginUndo();
  return held;
}

void EndRowsUndo(IUnknown* log) {
  IUnknownPtr holder;
  LogOf(log, holder)->log->recording = false;
}

void UndoRows(_Recordset* recordset, IUnknown* log) {
  Rowset& rs = OpenRowsetOf(recordset);
  IUnknownPtr holder;
  UndoLogImpl* impl = LogOf(log, holder);
  try {
    rs.Undo(*impl->log);
  } catch (const DbException& e) {
    _com_issue_error(e.error.hr);
  }
}

}  // namespace platform::ado
