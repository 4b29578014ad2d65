#include "platform/ado/sqlite_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <cstring>

#include "platform/ado/ado_enums.h"
#include "platform/ado/column_types.h"
#include "platform/ado/lifted_literals.h"
#include "platform/ado/text.h"

namespace platform::ado {

namespace {

// Buffers of bound values larger than this are given back after the run.
constexpr std::size_t kLargeBinding = 65536;

}  // namespace

// ---- opening ------------------------------------------------------------------------------

namespace {

// A file name as an SQLite URI ("file:" and the path with '%', '?' and '#' escaped).
std::string FileUri(const std::string& path) {
  std::string uri = "file:";
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c < 0x20) {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri;
}

DbError OpenError(const std::string& path, sqlite3* db, int rc) {
  DbError e;
  e.hr = E_FAIL;
  e.native = rc;
  e.sqlState = L"08001";
  e.description = L"Cannot open database \"" + FromUtf8(path) + L"\": " +
                  FromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  return e;
}

sqlite3* OpenHandle(const std::string& name, int flags, const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(name.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    DbError e = OpenError(path, db, rc);
    if (db) sqlite3_close_v2(db);
    throw DbException(std::move(e));
  }
  return db;
}

// Whether the schema can be read; the first read is where a read-only connection finds out that
// it cannot reach the journal's shared-memory file.
int ProbeRead(sqlite3* db) { return sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr); }

}  // namespace

std::shared_ptr<SqliteDatabase> SqliteDatabase::Open(const std::string& path, int timeoutMs, bool readOnly) {
  sqlite3* db = nullptr;
  if (!readOnly) {
    db = OpenHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, path);
  } else {
    db = OpenHandle(path, SQLITE_OPEN_READONLY, path);
    sqlite3_busy_timeout(db, timeoutMs);
    int rc = ProbeRead(db);
    if ((rc & 0xFF) == SQLITE_CANTOPEN || (rc & 0xFF) == SQLITE_READONLY) {
      // A journalled database in a folder we may not write to: without its shared-memory file it
      // can only be read as a file that nobody changes meanwhile.
      sqlite3_close_v2(db);
      db = OpenHandle(FileUri(path) + "?mode=ro&immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, path);
      rc = ProbeRead(db);
    }
    if (rc != SQLITE_OK) {
      DbError e = OpenError(path, db, rc);
      sqlite3_close_v2(db);
      throw DbException(std::move(e));
    }
  }
  std::shared_ptr<SqliteDatabase> self(new SqliteDatabase(db, path));
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, timeoutMs);
  RegisterFunctions(db);
  // WAL lets readers and one writer of other processes work at once; the busy timeout makes
  // a second writer wait instead of failing.
  if (!readOnly) self->Exec("PRAGMA journal_mode=WAL");
  self->Exec("PRAGMA synchronous=NORMAL");
  self->Exec("PRAGMA foreign_keys=ON");
  self->Exec("PRAGMA temp_store=MEMORY");
  return self;
}

SqliteDatabase::~SqliteDatabase() {
  catalogue_.reset();
  for (auto& [k, c] : cache_) sqlite3_finalize(c.stmt);
  for (auto& [k, s] : nativeCache_) sqlite3_finalize(s);
  sqlite3_close_v2(db_);
}

void SqliteDatabase::Exec(const char* sql) {
  BeforeStatement(false);
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw DbException(ErrorFromSqlite(rc, StatementOrigin::Command));
}

void SqliteDatabase::Control(const std::string& sql) {
  sqlite3_stmt* stmt = PrepareNative(sql, StatementOrigin::Command);
  int rc = sqlite3_step(stmt);
  while (rc == SQLITE_ROW) rc = sqlite3_step(stmt);
  if (rc != SQLITE_DONE) {
    DbError e = ErrorFromSqlite(rc, StatementOrigin::Command);
    sqlite3_reset(stmt);
    throw DbException(std::move(e));
  }
  sqlite3_reset(stmt);
}

DbError SqliteDatabase::ErrorFromSqlite(int rc, StatementOrigin origin) const {
  std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
  FailureKind kind = FailureKind::Other;
  switch (rc & 0xFF) {
    case SQLITE_CONSTRAINT:
      kind = rc == SQLITE_CONSTRAINT_FOREIGNKEY ? FailureKind::ForeignKey : FailureKind::Constraint;
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: kind = FailureKind::LockTimeout; break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: kind = FailureKind::ReadOnly; break;
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG: kind = FailureKind::OutOfMemory; break;
    case SQLITE_MISMATCH: kind = FailureKind::Mismatch; break;
    case SQLITE_ERROR:
      if (msg.rfind("no such table", 0) == 0) kind = FailureKind::NoTable;
      else if (msg.rfind("no such column", 0) == 0) kind = FailureKind::NoColumn;
      else if (msg.find("Conversion failed") != std::string::npos) kind = FailureKind::Conversion;
      else kind = FailureKind::Syntax;
      break;
    default: break;
  }
  return MapFailure(kind, origin, FromUtf8(msg), rc, kProviderSource);
}

// ---- statements ---------------------------------------------------------------------------

namespace {

bool AllTyped(const std::vector<ColumnInfo>& cols) {
  return std::all_of(cols.begin(), cols.end(), [](const ColumnInfo& c) { return c.typed; });
}

// A plain select of columns (no groups: no functions, aggregates or subqueries; no union) whose
// whole condition is the constant false: it never has a row.
bool AlwaysEmpty(const std::string& sql) {
  std::string_view s(sql);
  while (!s.empty() && (s.back() == ' ' || s.back() == ';' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
    s.remove_suffix(1);
  constexpr std::string_view kFalse = " WHERE 1 = 0";
  if (s.size() < kFalse.size() || sqlite3_strnicmp(s.data(), "SELECT ", 7) != 0 ||
      sqlite3_strnicmp(s.data() + s.size() - kFalse.size(), kFalse.data(), static_cast<int>(kFalse.size())) != 0)
    return false;
  s.remove_suffix(kFalse.size());
  if (s.find_first_of("()'\";?") != std::string_view::npos) return false;
  for (std::string_view word : {" WHERE ", " UNION ", " GROUP ", " HAVING ", " EXCEPT ", " INTERSECT "})
    for (std::size_t at = 0; at + word.size() <= s.size(); ++at)
      if (sqlite3_strnicmp(s.data() + at, word.data(), static_cast<int>(word.size())) == 0) return false;
  return true;
}

}  // namespace

SqliteDatabase::Cached* SqliteDatabase::Find(std::wstring_view sql) {
  ++uses_;
  // A statement run again and again (a command in a loop) is found without hashing.
  if (last_ && last_->first == sql) {
    last_->second.used = uses_;
    return &last_->second;
  }
  auto it = cache_.find(sql);
  if (it == cache_.end()) return nullptr;
  last_ = &*it;
  it->second.used = uses_;
  return &it->second;
}

SqliteDatabase::Cached& SqliteDatabase::Prepare(std::wstring_view sql) {
  if (Cached* cached = Find(sql)) return *cached;
  MakeRoom();
  std::wstring key(sql);
  Cached c;
  c.used = uses_;
  c.rw = RewriteSql(sql, &Catalogue());
  if (c.rw.addedForeignKey) {  // run by the connection itself (AddForeignKey)
    last_ = &*cache_.emplace(std::move(key), std::move(c)).first;
    return last_->second;
  }
  const char* tail = nullptr;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, c.rw.sql.c_str(), static_cast<int>(c.rw.sql.size()), &stmt, &tail);
  if (rc != SQLITE_OK) throw DbException(ErrorFromSqlite(rc, StatementOrigin::Command));
  bool single = true;
  for (const char* p = tail; p && *p; ++p)
    if (*p != ' ' && *p != ';' && *p != '\n' && *p != '\t' && *p != '\r') single = false;
  if (single) {
    c.stmt = stmt;
    c.alwaysEmpty = AlwaysEmpty(c.rw.sql);
  } else {
    sqlite3_finalize(stmt);
  }
  last_ = &*cache_.emplace(std::move(key), std::move(c)).first;
  return last_->second;
}

void SqliteDatabase::MakeRoom() {
  constexpr std::size_t kStatements = 256;
  if (cache_.size() < kStatements) return;
  std::vector<std::uint64_t> used;
  used.reserve(cache_.size());
  for (const auto& [k, c] : cache_) used.push_back(c.used);
  auto middle = used.begin() + static_cast<std::ptrdiff_t>(used.size() / 2);
  std::nth_element(used.begin(), middle, used.end());
  const std::uint64_t oldest = *middle;
  for (auto it = cache_.begin(); it != cache_.end();) {
    if (it->second.used <= oldest) {
      sqlite3_finalize(it->second.stmt);
      it = cache_.erase(it);
    } else {
      ++it;
    }
  }
  last_ = nullptr;
}

void SqliteDatabase::ReleaseBound(sqlite3_stmt* stmt) {
  sqlite3_reset(stmt);
  // Every run binds every marker again, so the bindings may stay as they are, unless a buffer
  // they point into is given back.
  bool cleared = false;
  // Only this statement's markers are bound to it; the buffers of others were given back after
  // their own runs.
  const std::size_t markers = std::min(bound_.size(), static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt)));
  for (std::size_t k = 0; k < markers; ++k) {
    if (bound_[k].capacity() <= kLargeBinding) continue;
    if (!cleared) sqlite3_clear_bindings(stmt);
    cleared = true;
    std::string().swap(bound_[k]);
    if (k < boundDates_.size()) boundDates_[k] = std::nan("");
  }
}

void SqliteDatabase::Bind(sqlite3_stmt* stmt, int index, const Value& v, StatementOrigin origin) {
  // The caller sized bound_ for the statement's markers before binding any of them.
  const auto slot = static_cast<std::size_t>(index - 1);
  std::string& buf = bound_[slot];
  if (boundDates_.size() < bound_.size()) boundDates_.resize(bound_.size(), std::nan(""));
  double& date = boundDates_[slot];
  int rc = SQLITE_OK;
  switch (v.kind) {
    case VKind::Empty:
    case VKind::Null:
      rc = sqlite3_bind_null(stmt, index);
      break;
    case VKind::R4:
    case VKind::R8:
      rc = sqlite3_bind_double(stmt, index, v.d);
      break;
    case VKind::Cy:
      rc = sqlite3_bind_double(stmt, index, static_cast<double>(v.i) / 10000.0);
      break;
    case VKind::Date:
      if (!(date == v.d)) {
        DateTextFromOle(v.d, buf);
        date = v.d;
      }
      rc = sqlite3_bind_text(stmt, index, buf.data(), static_cast<int>(buf.size()), SQLITE_STATIC);
      break;
    case VKind::Text:
      date = std::nan("");
      ToUtf8(v.s, buf);
      rc = sqlite3_bind_text(stmt, index, buf.data(), static_cast<int>(buf.size()), SQLITE_STATIC);
      break;
    case VKind::Bytes:
      date = std::nan("");
      buf.resize(v.s.size());
      for (std::size_t k = 0; k < v.s.size(); ++k) buf[k] = static_cast<char>(v.s[k]);
      rc = sqlite3_bind_blob(stmt, index, buf.data(), static_cast<int>(buf.size()), SQLITE_STATIC);
      break;
    default:
      rc = sqlite3_bind_int64(stmt, index, v.i);
      break;
  }
  if (rc != SQLITE_OK) throw DbException(ErrorFromSqlite(rc, origin));
}

namespace {

// Reads a cell of a column with a declared type as that type's value; `st` is the cell's
// SQLite type.
Value ReadTyped(sqlite3_stmt* stmt, int col, VKind k, int st) {
  if (st == SQLITE_NULL) return Value::Null();
  switch (k) {
    case VKind::Text: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
      return Value::Text(FromUtf8(std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)))));
    }
    case VKind::Bytes: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, col));
      return Value::Blob(std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, col))));
    }
    case VKind::Date: {
      if (st == SQLITE_INTEGER) {  // a date literal such as '20240105' taken as a number
        sqlite3_int64 n = sqlite3_column_int64(stmt, col);
        DateParts p;
        p.year = static_cast<int>(n / 10000);
        p.month = static_cast<int>(n / 100 % 100);
        p.day = static_cast<int>(n % 100);
        if (auto d = OleDateFromParts(p)) return Value::Real(VKind::Date, *d);
      }
      if (st == SQLITE_TEXT) {
        auto d = OleDateFromText(reinterpret_cast<const char*>(sqlite3_column_text(stmt, col)));
        if (d) return Value::Real(VKind::Date, *d);
        return Value::Text(FromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, col))));
      }
      return Value::Real(VKind::Date, sqlite3_column_double(stmt, col));
    }
    case VKind::R4:
    case VKind::R8:
      return Value::Real(k, sqlite3_column_double(stmt, col));
    case VKind::Cy:
      return Value::Int(VKind::Cy, std::llround(sqlite3_column_double(stmt, col) * 10000.0));
    case VKind::Bool:
      if (st == SQLITE_TEXT) {
        Value t = Value::Text(FromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, col))));
        Value out;
        if (CoerceToType(t, adBoolean, 0, out)) return out;
        return t;
      }
      return Value::Int(VKind::Bool, sqlite3_column_double(stmt, col) != 0 ? 1 : 0);
    default: {
      if (st == SQLITE_INTEGER) {
        sqlite3_int64 x = sqlite3_column_int64(stmt, col);
        Value v = Value::Int(k, x);
        if (k == VKind::I4 && (x < std::numeric_limits<int32_t>::min() || x > std::numeric_limits<int32_t>::max()))
          v.kind = VKind::I8;
        return v;
      }
      if (st == SQLITE_FLOAT) {
        double d = sqlite3_column_double(stmt, col);
        if (d == std::trunc(d) && std::fabs(d) < 2147483648.0) return Value::Int(k, static_cast<std::int64_t>(d));
        return Value::Real(VKind::R8, d);
      }
      return Value::Text(FromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, col))));
    }
  }
}

// The same as ReadTyped, into packed rows: texts and bytes are kept as SQLite gives them. The
// cell is read through its value object, one library call per cell rather than one per question
// (the connection is used by one thread at a time).
void PackTyped(sqlite3_stmt* stmt, int col, VKind k, PackedRows& out) {
  sqlite3_value* cell = sqlite3_column_value(stmt, col);
  int st = sqlite3_value_type(cell);
  switch (st == SQLITE_NULL ? VKind::Null : k) {
    case VKind::Null:
      out.AddNull();
      return;
    case VKind::Text:
    case VKind::Bytes: {
      const void* p = k == VKind::Text ? static_cast<const void*>(sqlite3_value_text(cell)) : sqlite3_value_blob(cell);
      std::string_view data(p ? static_cast<const char*>(p) : "", static_cast<std::size_t>(sqlite3_value_bytes(cell)));
      if (k == VKind::Text) out.AddUtf8Text(data);
      else out.AddBytes(data);
      return;
    }
    case VKind::Date:
      if (st == SQLITE_TEXT) {  // the stored form
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(cell));
        std::string_view text(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(cell)));
        if (auto d = OleDateFromText(text)) out.AddNumber(VKind::Date, *d);
        else out.AddUtf8Text(text);
        return;
      }
      break;
    case VKind::R4:
    case VKind::R8:
      out.AddNumber(k, sqlite3_value_double(cell));
      return;
    case VKind::Cy:
      out.AddNumber(VKind::Cy, static_cast<std::int64_t>(std::llround(sqlite3_value_double(cell) * 10000.0)));
      return;
    case VKind::Bool:
      if (st != SQLITE_TEXT) {  // a number (or bytes) as ReadTyped takes it: zero or not
        // An integer is zero exactly when its value as a double is.
        const bool set = st == SQLITE_INTEGER ? sqlite3_value_int64(cell) != 0 : sqlite3_value_double(cell) != 0;
        out.AddNumber(VKind::Bool, std::int64_t{set ? 1 : 0});
        return;
      }
      break;
    case VKind::UI1:
    case VKind::I2:
    case VKind::I4:
    case VKind::I8:
      if (st == SQLITE_INTEGER) {
        sqlite3_int64 x = sqlite3_value_int64(cell);
        if (k == VKind::I4 && (x < std::numeric_limits<int32_t>::min() || x > std::numeric_limits<int32_t>::max()))
          k = VKind::I8;
        out.AddNumber(k, static_cast<std::int64_t>(x));
        return;
      }
      break;
    default:
      break;
  }
  out.Add(ReadTyped(stmt, col, k, st));
}

Value ReadRaw(sqlite3_stmt* stmt, int col) {
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_NULL: return Value::Null();
    case SQLITE_INTEGER: return Value::Int(VKind::I8, sqlite3_column_int64(stmt, col));
    case SQLITE_FLOAT: return Value::Real(VKind::R8, sqlite3_column_double(stmt, col));
    case SQLITE_BLOB: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, col));
      return Value::Blob(std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, col))));
    }
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
      return Value::Text(FromUtf8(std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)))));
    }
  }
}

}  // namespace

namespace {

// The schema as the result-column typing asks for it, from the connection's catalogue.
class CatalogueSchema : public SchemaSource {
 public:
  explicit CatalogueSchema(sqlite3* db) : db_(db) {}
  ~CatalogueSchema() override { sqlite3_finalize(lookup_); }

  Kind KindOf(const std::wstring& name) override {
    const Entry& e = Find(name);
    if (e.type == "table") return Kind::Table;
    if (e.type == "view") return Kind::View;
    return Kind::None;
  }
  std::optional<std::string> ColumnDeclaration(const std::wstring& table, const std::wstring& column) override {
    const char* decl = nullptr;
    const std::string t = ToUtf8(Find(table).name), c = ToUtf8(column);
    if (sqlite3_table_column_metadata(db_, nullptr, t.c_str(), c.c_str(), &decl, nullptr, nullptr, nullptr,
                                      nullptr) != SQLITE_OK)
      return std::nullopt;
    return std::string(decl ? decl : "");
  }
  std::wstring ViewText(const std::wstring& view) override { return Find(view).sql; }

 private:
  struct Entry {
    std::string type;
    std::wstring name, sql;
  };
  const Entry& Find(const std::wstring& name) {
    auto it = entries_.find(name);
    if (it != entries_.end()) return it->second;
    Entry e;
    if (!lookup_)
      sqlite3_prepare_v2(db_, "SELECT type, name, sql FROM sqlite_master WHERE name = ?1 COLLATE NOCASE "
                              "AND type IN ('table', 'view')", -1, &lookup_, nullptr);
    if (lookup_) {
      const std::string n = ToUtf8(name);
      sqlite3_bind_text(lookup_, 1, n.c_str(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
      if (sqlite3_step(lookup_) == SQLITE_ROW) {
        auto text = [&](int col) {
          const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(lookup_, col));
          return std::string(p ? p : "");
        };
        e.type = text(0);
        e.name = FromUtf8(text(1));
        e.sql = FromUtf8(text(2));
      }
      sqlite3_reset(lookup_);
    }
    return entries_.emplace(name, std::move(e)).first->second;
  }

  sqlite3* db_;
  sqlite3_stmt* lookup_ = nullptr;
  std::map<std::wstring, Entry> entries_;
};

bool ChangesSchema(const char* sql) {
  while (sql && (*sql == ' ' || *sql == '\n' || *sql == '\t' || *sql == '\r')) ++sql;
  if (!sql) return false;
  for (const char* word : {"CREATE", "DROP", "ALTER"}) {
    const std::size_t n = std::strlen(word);
    if (sqlite3_strnicmp(sql, word, static_cast<int>(n)) == 0) return true;
  }
  return false;
}

}  // namespace

SchemaSource& SqliteDatabase::Catalogue() {
  if (!catalogue_) catalogue_ = std::make_unique<CatalogueSchema>(db_);
  return *catalogue_;
}

const std::vector<ColumnType>& SqliteDatabase::ExpressionTypes(sqlite3_stmt* stmt, const std::vector<ColumnInfo>& cols) {
  const char* text = sqlite3_sql(stmt);
  std::string key = text ? text : "";
  auto it = expressionTypes_.find(key);
  if (it != expressionTypes_.end() && it->second.size() == cols.size()) return it->second;
  std::vector<std::wstring> names;
  names.reserve(cols.size());
  for (const ColumnInfo& c : cols) names.push_back(c.name);
  std::vector<ColumnType> types = ResultColumnTypes(FromUtf8(key), names, Catalogue());
  if (expressionTypes_.size() >= 256) expressionTypes_.clear();
  return expressionTypes_[std::move(key)] = std::move(types);
}

namespace {

// Takes one step of a statement: a row or the end. A failure resets the statement and is raised.
int StepOrRaise(sqlite3_stmt* stmt, StatementOrigin origin, const SqliteDatabase& db) {
  int rc = sqlite3_step(stmt);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    DbError e = db.ErrorFromSqlite(rc, origin);
    sqlite3_reset(stmt);
    throw DbException(std::move(e));
  }
  return rc;
}

// The result's columns as the statement declares them: name, base table and column, and for
// a declared type the field's type and what its values hold (`kinds`); the base column's
// constraints give the key and nullability.
std::vector<ColumnInfo> DescribeColumns(sqlite3* db, sqlite3_stmt* stmt, std::vector<VKind>& kinds) {
  const int ncol = sqlite3_column_count(stmt);
  std::vector<ColumnInfo> cols(static_cast<std::size_t>(ncol));
  kinds.assign(static_cast<std::size_t>(ncol), VKind{});
  for (int i = 0; i < ncol; ++i) {
    ColumnInfo& c = cols[static_cast<std::size_t>(i)];
    c.name = FromUtf8(sqlite3_column_name(stmt, i) ? sqlite3_column_name(stmt, i) : "");
    const char* decl = sqlite3_column_decltype(stmt, i);
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin_name = sqlite3_column_origin_name(stmt, i);
    if (table || origin_name)
      c.origin = std::make_shared<const ColumnOrigin>(ColumnOrigin{table ? table : "", origin_name ? origin_name : "", {}, {}});
    if (decl && MapDeclaredType(decl, c.type, c.size)) {
      c.typed = true;
      kinds[static_cast<std::size_t>(i)] = KindOfType(c.type);
      c.attributes = adFldUnknownUpdatable | TypeAttributes(c.type);
    }
    if (table && origin_name) {
      int notNull = 0, pk = 0, autoinc = 0;
      const char* dt = nullptr;
      const char* coll = nullptr;
      const char* dbName = sqlite3_column_database_name(stmt, i);
      if (sqlite3_table_column_metadata(db, dbName, table, origin_name, &dt, &coll, &notNull, &pk, &autoinc) ==
          SQLITE_OK) {
        c.autoIncrement = autoinc != 0 || (pk != 0 && dt && sqlite3_stricmp(dt, "integer") == 0);
        AddBaseColumnAttributes(c, notNull != 0, pk != 0);
      }
    }
  }
  return cols;
}

// Reads the rows from the current step (`rc`) on: packed when the result is packed (every
// column typed), else as values, typed columns by their kind and the others as stored.
void ReadRows(sqlite3_stmt* stmt, int rc, StatementOrigin origin, const SqliteDatabase& db,
              const std::vector<ColumnInfo>& cols, const std::vector<VKind>& kinds, ResultSet& result) {
  const int ncol = static_cast<int>(cols.size());
  if (result.isPacked) {
    PackedRows& packed = result.packed;
    for (; rc == SQLITE_ROW; rc = StepOrRaise(stmt, origin, db)) {
      packed.BeginRow();
      for (int i = 0; i < ncol; ++i) PackTyped(stmt, i, kinds[static_cast<std::size_t>(i)], packed);
    }
    return;
  }
  for (; rc == SQLITE_ROW; rc = StepOrRaise(stmt, origin, db)) {
    std::vector<Value> row;
    row.reserve(static_cast<std::size_t>(ncol));
    for (int i = 0; i < ncol; ++i) {
      auto k = static_cast<std::size_t>(i);
      row.push_back(cols[k].typed ? ReadTyped(stmt, i, kinds[k], sqlite3_column_type(stmt, i)) : ReadRaw(stmt, i));
    }
    result.rows.push_back(std::move(row));
  }
}

}  // namespace

std::vector<bool> SqliteDatabase::TypeExpressions(sqlite3_stmt* stmt, std::vector<ColumnInfo>& cols,
                                                  std::vector<VKind>& kinds) {
  std::vector<bool> textFromValues(cols.size(), false);
  if (std::any_of(cols.begin(), cols.end(), [](const ColumnInfo& c) { return !c.typed; })) {
    const std::vector<ColumnType>& types = ExpressionTypes(stmt, cols);
    for (std::size_t i = 0; i < cols.size() && i < types.size(); ++i) {
      ColumnInfo& c = cols[i];
      const ColumnType& t = types[i];
      if (c.typed || !t.Known()) continue;
      if (!ApplyExpressionType(c, t, kinds[i])) textFromValues[i] = true;
    }
  }
  return textFromValues;
}

void SqliteDatabase::RunStatement(sqlite3_stmt* stmt, ExecResult& out, StatementOrigin origin, bool packRows,
                                  Described* described) {
  // The stored types of expressions and the catalogue follow the tables and views they read.
  if (!sqlite3_stmt_readonly(stmt) && ChangesSchema(sqlite3_sql(stmt))) {
    expressionTypes_.clear();
    catalogue_.reset();
    ++schemaChanges_;
  }
  // Outside a transaction, each statement would lock the file for itself.
  BeforeStatement(sqlite3_stmt_readonly(stmt) && sqlite3_column_count(stmt) > 0);
  // The first step comes before the columns are described: a statement prepared before a
  // schema change is prepared again inside it, and only then has its present columns.
  int rc = StepOrRaise(stmt, origin, *this);
  if (sqlite3_column_count(stmt) == 0 || out.hasRows) {
    // No result, or not the first one of the text: the rows are run through and dropped.
    while (rc == SQLITE_ROW) rc = StepOrRaise(stmt, origin, *this);
    return;
  }
  const int reprepares = sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
  Described fresh;
  if (!described || described->reprepares != reprepares) {
    // Described once per preparation of the statement; every result read with it shares it.
    std::vector<ColumnInfo> cols = DescribeColumns(db_, stmt, fresh.kinds);
    // Expressions get the type the server gives them where the statement says it; those that
    // are texts of no fixed length take their length from the values.
    fresh.textFromValues = TypeExpressions(stmt, cols, fresh.kinds);
    fresh.cols = Columns(std::move(cols));
    fresh.reprepares = reprepares;
    fresh.schemaChanges = schemaChanges_;
    if (described) {
      *described = std::move(fresh);
    } else {
      described = &fresh;
    }
  }
  out.result.rows.clear();
  out.result.packed.Clear();
  // Columns without a declared type take their type from all their values: those rows are
  // read as values.
  out.result.isPacked = packRows && AllTyped(described->cols.All());
  ReadRows(stmt, rc, origin, *this, described->cols.All(), described->kinds, out.result);
  FinishResult(described->cols, described->textFromValues, packRows, out);
}

void SqliteDatabase::FinishResult(Columns cols, const std::vector<bool>& textFromValues, bool packRows,
                                  ExecResult& out) {
  out.result.isPacked = packRows && AllTyped(cols.All());
  // Columns without a declared type (expressions) take their type from the values read: this
  // result's own copy of the columns.
  for (std::size_t i = 0; i < cols.size(); ++i)
    if (!cols[i].typed) TypeByValues(cols.Mutable(i), out.result.rows, i, textFromValues[i]);
  out.result.columns = std::move(cols);
  out.hasRows = true;
}

ExecResult SqliteDatabase::Execute(std::wstring_view sql, const std::vector<Value>& params, StatementOrigin origin,
                             bool packRows) {
  ExecResult out;
  // Lookups that differ only in the literals they compare with are one prepared statement.
  // A text of a form lifted before is lifted by comparing it with the form; a text kept as it
  // is, read before and found to lift nothing, is not read through again.
  std::wstring liftedText;
  std::vector<Value> lifted;
  Cached* kept = nullptr;
  bool lift = false;
  if (params.empty()) {
    lift = forms_.Match(sql, liftedText, lifted);
    if (!lift) {
      kept = Find(sql);
      if (kept && !kept->liftsNothing) kept = nullptr;
      if (!kept) lift = forms_.Learn(sql, liftedText, lifted);
    }
  }
  const std::vector<Value>& given = lift ? lifted : params;
  Cached& cached = kept ? *kept : Prepare(lift ? std::wstring_view(liftedText) : sql);
  if (params.empty() && !lift) cached.liftsNothing = true;
  const RewrittenSql& rw = cached.rw;
  if (rw.addedForeignKey) {
    AddForeignKey(*rw.addedForeignKey);
    return out;
  }
  CheckParameterCount(rw.paramCount, given);
  // An empty select described before by this connection, the schema unchanged since: its
  // columns without a visit to the database (a change of another process's schema shows at the
  // statement that writes the new rows).
  const Described& memo = cached.described;
  if (cached.alwaysEmpty && memo.reprepares >= 0 && memo.schemaChanges == schemaChanges_) {
    FinishResult(memo.cols, memo.textFromValues, packRows, out);
    return out;
  }
  auto paramFor = [&](std::size_t pos) -> const Value& {
    static const Value kNull = Value::Null();
    if (pos >= rw.paramOrder.size()) return kNull;
    auto idx = static_cast<std::size_t>(rw.paramOrder[pos]);
    return idx < given.size() ? given[idx] : kNull;
  };
  std::size_t used = 0;
  auto runOne = [&](sqlite3_stmt* stmt, Described* described) {
    int n = sqlite3_bind_parameter_count(stmt);
    if (bound_.size() < static_cast<std::size_t>(n)) bound_.resize(static_cast<std::size_t>(n));
    try {
      for (int k = 1; k <= n; ++k) Bind(stmt, k, paramFor(used++), origin);
    } catch (...) {
      ReleaseBound(stmt);
      throw;
    }
    int before = sqlite3_total_changes(db_);
    try {
      RunStatement(stmt, out, origin, packRows && rw.outputs.empty(), described);
    } catch (...) {
      ReleaseBound(stmt);
      throw;
    }
    out.changes += sqlite3_total_changes(db_) - before;
    ReleaseBound(stmt);
  };
  if (cached.stmt) {
    runOne(cached.stmt, &cached.described);
  } else {
    const char* p = rw.sql.c_str();
    const char* end = p + rw.sql.size();
    while (p < end) {
      sqlite3_stmt* stmt = nullptr;
      const char* tail = nullptr;
      int rc = sqlite3_prepare_v2(db_, p, static_cast<int>(end - p), &stmt, &tail);
      if (rc != SQLITE_OK) throw DbException(ErrorFromSqlite(rc, origin));
      p = tail;
      if (!stmt) continue;  // blank statement
      try {
        runOne(stmt, nullptr);
      } catch (...) {
        sqlite3_finalize(stmt);
        throw;
      }
      sqlite3_finalize(stmt);
    }
  }
  TakeOutputs(rw.outputs, out);
  return out;
}

int SqliteDatabase::Compile(std::wstring_view sql) {
  const RewrittenSql rw = RewriteSql(sql);
  const char* p = rw.sql.c_str();
  const char* end = p + rw.sql.size();
  int statements = 0, markers = 0;
  while (p < end) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, p, static_cast<int>(end - p), &stmt, &tail);
    if (rc != SQLITE_OK) throw DbException(ErrorFromSqlite(rc, StatementOrigin::Command));
    p = tail;
    if (!stmt) continue;
    ++statements;
    markers += sqlite3_bind_parameter_count(stmt);
    sqlite3_finalize(stmt);
  }
  // Every `?` left is a marker the caller binds: an output marker taken out by the rewriter must
  // not be left for SQLite.
  if (markers != static_cast<int>(rw.paramOrder.size()))
    throw DbException(MapFailure(FailureKind::Syntax, StatementOrigin::Command,
                                 L"parameter markers left: " + std::to_wstring(markers), 0, kProviderSource));
  return statements;
}

sqlite3_stmt* SqliteDatabase::PrepareNative(const std::string& sql, StatementOrigin origin) {
  auto it = nativeCache_.find(sql);
  if (it != nativeCache_.end()) return it->second;
  if (nativeCache_.size() >= 128) {
    for (auto& [k, s] : nativeCache_) sqlite3_finalize(s);
    nativeCache_.clear();
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) throw DbException(ErrorFromSqlite(rc, origin));
  nativeCache_.emplace(sql, stmt);
  return stmt;
}

std::int64_t SqliteDatabase::ExecuteNative(const std::string& sql, const std::vector<Value>& params,
                                     StatementOrigin origin) {
  BeforeStatement(false);  // before the statement is taken: ending a read group may empty the cache
  sqlite3_stmt* stmt = PrepareNative(sql, origin);
  if (bound_.size() < params.size()) bound_.resize(params.size());
  try {
    for (std::size_t i = 0; i < params.size(); ++i) Bind(stmt, static_cast<int>(i) + 1, params[i], origin);
  } catch (...) {
    ReleaseBound(stmt);
    throw;
  }
  int rc = sqlite3_step(stmt);
  while (rc == SQLITE_ROW) rc = sqlite3_step(stmt);
  if (rc != SQLITE_DONE) {
    DbError e = ErrorFromSqlite(rc, origin);
    ReleaseBound(stmt);
    throw DbException(std::move(e));
  }
  ReleaseBound(stmt);
  return sqlite3_changes(db_);
}

void SqliteDatabase::AddForeignKey(const RewrittenSql::AddedForeignKey& key) {
  const Value name = Value::Text(FromUtf8(key.table));
  Begin();
  bool writable = false;
  try {
    ExecResult table = Execute(L"SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
                               {name});
    if (table.result.rows.empty()) {
      DbError e;
      e.hr = DB_E_NOTABLE;
      e.description = L"no such table: " + name.s;
      e.sqlState = L"42S02";
      throw DbException(std::move(e));
    }
    const Value stored = table.result.rows[0][0];
    std::wstring definition = table.result.rows[0][1].s;
    const std::size_t close = definition.rfind(L')');
    if (close == std::wstring::npos) {
      DbError e;
      e.hr = E_FAIL;
      e.description = L"The definition of table " + name.s + L" cannot be read.";
      e.sqlState = L"HY000";
      throw DbException(std::move(e));
    }
    definition.insert(close, L", " + FromUtf8(key.clause));
    const std::int64_t version = Execute(L"PRAGMA schema_version").result.rows.at(0).at(0).i;
    // The table's definition is rewritten in place (the stored rows keep their layout) and the
    // schema's version moves on, so that every connection reads the new definition.
    Exec("PRAGMA writable_schema = ON");
    writable = true;
    ExecuteNative("UPDATE sqlite_master SET sql = ? WHERE type = 'table' AND name = ?",
                  {Value::Text(definition), stored}, StatementOrigin::Command);
    Exec(("PRAGMA schema_version = " + std::to_string(version + 1)).c_str());
    // This connection reads the schema again at once, so that the check below and every later
    // statement of the transaction see the key.
    Exec("PRAGMA writable_schema = RESET");
    writable = false;
    Exec("PRAGMA writable_schema = OFF");
    if (key.checkRows) {
      ExecResult broken = Execute(L"PRAGMA foreign_key_check(" + FromUtf8(key.table) + L")");
      if (!broken.result.rows.empty()) {
        DbError e;
        e.hr = DB_E_INTEGRITYVIOLATION;
        e.description = L"The ALTER TABLE statement conflicted with the FOREIGN KEY constraint: rows of " + name.s +
                        L" name rows that do not exist.";
        e.sqlState = L"23000";
        throw DbException(std::move(e));
      }
    }
    Commit();
  } catch (...) {
    if (writable) Exec("PRAGMA writable_schema = OFF");
    Rollback();
    throw;
  }
}

std::int64_t SqliteDatabase::LastInsertRowId() { return sqlite3_last_insert_rowid(db_); }

std::vector<std::string> SqliteDatabase::PrimaryKey(const std::string& table) {
  auto it = keys_.find(table);
  if (it != keys_.end()) return it->second;
  std::vector<std::pair<int, std::string>> cols;
  std::string sql = "PRAGMA table_info(\"";
  for (char c : table) {
    if (c == '"') sql += '"';
    sql += c;
  }
  sql += "\")";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      int pk = sqlite3_column_int(stmt, 5);
      if (pk > 0) cols.emplace_back(pk, reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    }
  }
  sqlite3_finalize(stmt);
  std::sort(cols.begin(), cols.end());
  std::vector<std::string> out;
  for (auto& [n, name] : cols) out.push_back(name);
  keys_[table] = out;
  return out;
}

}  // namespace platform::ado
