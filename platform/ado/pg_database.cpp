#include "platform/ado/pg_database.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <set>

#include "platform/ado/ado_enums.h"
#include "platform/ado/pg_support.h"
#include "platform/ado/text.h"

namespace platform::ado {

namespace {

// The server's types the engine reads (PostgreSQL's fixed type ids).
constexpr Oid kBoolOid = 16, kByteaOid = 17, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kTextOid = 25,
              kFloat4Oid = 700, kFloat8Oid = 701, kDateOid = 1082, kTimestampOid = 1114, kTimestampTzOid = 1184,
              kNumericOid = 1700;

// The advisory lock under which a connection installs the schema "vx".
constexpr const char* kSupportLock = "SELECT pg_advisory_xact_lock(1986492417)";
// The savepoint of a statement run inside the caller's transaction.
constexpr const char* kStatementSavepoint = "vx_statement";

struct ResultFree {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultFree>;

std::string SqlState(const PGresult* res) {
  const char* s = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
  return s ? s : "";
}

// The rows an INSERT, UPDATE or DELETE changed (a SELECT's rows are not changes).
std::int64_t Changes(PGresult* res) {
  const char* status = PQcmdStatus(res);
  if (!status || (std::strncmp(status, "INSERT", 6) != 0 && std::strncmp(status, "UPDATE", 6) != 0 &&
                  std::strncmp(status, "DELETE", 6) != 0))
    return 0;
  const char* changed = PQcmdTuples(res);
  return changed && *changed ? std::atoll(changed) : 0;
}

bool Succeeded(const PGresult* res) {
  const ExecStatusType s = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
  return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    if (c == quote) out += quote;
    out += c;
  }
  return out + quote;
}

std::string ToDecimalText(std::int64_t scaled) {
  // A currency value: 10,000 units a unit, written exactly.
  const bool negative = scaled < 0;
  const unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
  std::string frac = std::to_string(v % 10000);
  frac.insert(0, 4 - frac.size(), '0');
  return (negative ? "-" : "") + std::to_string(v / 10000) + "." + frac;
}

// A decimal text as currency (10,000 units a unit), rounded half away from zero.
std::optional<std::int64_t> CurrencyOf(std::string_view s) {
  std::size_t i = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (negative || (!s.empty() && s[0] == '+')) ++i;
  unsigned long long whole = 0, frac = 0;
  int digits = 0;
  bool any = false, roundUp = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, any = true) {
    if (whole > (std::numeric_limits<unsigned long long>::max() - 9) / 10) return std::nullopt;
    whole = whole * 10 + static_cast<unsigned>(s[i] - '0');
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, any = true) {
      if (digits < 4) frac = frac * 10 + static_cast<unsigned>(s[i] - '0'), ++digits;
      else if (digits++ == 4) roundUp = s[i] >= '5';
    }
  }
  if (!any || i != s.size()) {  // another form (an exponent): through a double
    double d = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(d)) return std::nullopt;
    return static_cast<std::int64_t>(std::llround(d * 10000.0));
  }
  for (; digits < 4; ++digits) frac *= 10;
  const unsigned long long scaled = whole * 10000 + frac + (roundUp ? 1 : 0);
  if (scaled > static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
  return negative ? -static_cast<std::int64_t>(scaled) : static_cast<std::int64_t>(scaled);
}

std::optional<double> DoubleOf(std::string_view s) {
  if (s == "NaN") return std::nan("");
  if (s == "Infinity") return std::numeric_limits<double>::infinity();
  if (s == "-Infinity") return -std::numeric_limits<double>::infinity();
  double d = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return d;
}

std::optional<std::int64_t> IntegerOf(std::string_view s) {
  std::int64_t x = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), x);
  if (ec == std::errc() && p == s.data() + s.size()) return x;
  // A numeric with a fraction, where the server's type is an integer (AVG of integers): cut.
  auto d = DoubleOf(s);
  if (!d || !std::isfinite(*d) || std::fabs(*d) >= 9.2e18) return std::nullopt;
  return static_cast<std::int64_t>(std::trunc(*d));
}

std::string BytesOf(std::string_view s) {
  if (s.size() < 2 || s[0] != '\\' || s[1] != 'x') return std::string(s);
  auto hex = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::string out;
  out.reserve((s.size() - 2) / 2);
  for (std::size_t i = 2; i + 1 < s.size(); i += 2) out += static_cast<char>(hex(s[i]) * 16 + hex(s[i + 1]));
  return out;
}

bool BoolOf(std::string_view s) {
  if (s.empty()) return false;
  if (s[0] == 't' || s[0] == 'T') return true;
  if (s[0] == 'f' || s[0] == 'F') return false;
  auto d = DoubleOf(s);
  return d && *d != 0;
}

// A cell of a typed column, read from the server's text.
Value TypedCell(std::string_view s, VKind k) {
  switch (k) {
    case VKind::Text: return Value::Text(FromUtf8(s));
    case VKind::Bytes: return Value::Blob(BytesOf(s));
    case VKind::Date:
      if (auto d = OleDateFromText(s)) return Value::Real(VKind::Date, *d);
      return Value::Text(FromUtf8(s));
    case VKind::R4:
    case VKind::R8:
      if (auto d = DoubleOf(s)) return Value::Real(k, *d);
      break;
    case VKind::Cy:
      if (auto c = CurrencyOf(s)) return Value::Int(VKind::Cy, *c);
      break;
    case VKind::Bool: return Value::Int(VKind::Bool, BoolOf(s) ? 1 : 0);
    case VKind::UI1:
    case VKind::I2:
    case VKind::I4:
    case VKind::I8:
      if (auto x = IntegerOf(s)) {
        Value v = Value::Int(k, *x);
        if (k == VKind::I4 && (*x < std::numeric_limits<int32_t>::min() || *x > std::numeric_limits<int32_t>::max()))
          v.kind = VKind::I8;
        return v;
      }
      break;
    default: break;
  }
  return Value::Text(FromUtf8(s));
}

// The same into packed rows, without a value object for the common kinds.
void PackCell(std::string_view s, VKind k, PackedRows& out) {
  switch (k) {
    case VKind::Text: out.AddUtf8Text(s); return;
    case VKind::Bytes: out.AddBytes(BytesOf(s)); return;
    case VKind::Date:
      if (auto d = OleDateFromText(s)) return out.AddNumber(VKind::Date, *d);
      return out.AddUtf8Text(s);
    case VKind::I4:
      if (auto x = IntegerOf(s); x && *x >= std::numeric_limits<int32_t>::min() && *x <= std::numeric_limits<int32_t>::max())
        return out.AddNumber(VKind::I4, *x);
      break;
    default: break;
  }
  out.Add(TypedCell(s, k));
}

// A cell of a column typed by its values: integers, other numbers and texts as they come.
Value RawCell(std::string_view s, Oid type) {
  switch (type) {
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
      if (auto x = IntegerOf(s)) return Value::Int(VKind::I8, *x);
      break;
    case kNumericOid:
    case kFloat4Oid:
    case kFloat8Oid: {
      std::int64_t x = 0;
      auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), x);
      if (ec == std::errc() && p == s.data() + s.size()) return Value::Int(VKind::I8, x);
      if (auto d = DoubleOf(s)) return Value::Real(VKind::R8, *d);
      break;
    }
    case kByteaOid: return Value::Blob(BytesOf(s));
    case kBoolOid: return Value::Int(VKind::I8, BoolOf(s) ? 1 : 0);
    default: break;
  }
  return Value::Text(FromUtf8(s));
}

FailureKind KindOfState(const std::string& state) {
  if (state == "23503") return FailureKind::ForeignKey;
  if (state.rfind("23", 0) == 0) return FailureKind::Constraint;
  if (state == "55P03" || state == "40P01" || state == "40001" || state == "57014") return FailureKind::LockTimeout;
  if (state == "25006" || state == "42501") return FailureKind::ReadOnly;
  if (state == "53200" || state.rfind("54", 0) == 0) return FailureKind::OutOfMemory;
  if (state == "42P01") return FailureKind::NoTable;
  if (state == "42703") return FailureKind::NoColumn;
  if (state.rfind("22", 0) == 0) return FailureKind::Conversion;
  if (state.rfind("42", 0) == 0) return FailureKind::Syntax;
  return FailureKind::Other;
}

DbError ConnectionError(const std::string& message) {
  DbError e;
  e.hr = E_FAIL;
  e.sqlState = L"08001";
  e.source = kPostgresProviderSource;
  std::string text = message;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  e.description = FromUtf8(text);
  return e;
}

// The SQL Server declaration of a column that a table made outside the layer gives.
std::string DeclarationOfServerType(const std::string& type) {
  auto starts = [&](const char* p) { return type.rfind(p, 0) == 0; };
  if (type == "integer") return "int";
  if (type == "bigint") return "bigint";
  if (type == "smallint") return "smallint";
  if (type == "boolean") return "bit";
  if (type == "double precision") return "float";
  if (type == "real") return "real";
  if (starts("numeric")) return "float";
  if (starts("timestamp") || type == "date") return "datetime";
  if (type == "bytea") return "image";
  if (starts("character varying(") || starts("character(")) return "nvarchar" + type.substr(type.find('('));
  return "ntext";
}

}  // namespace

// ---- the catalogue ------------------------------------------------------------------------

struct PgColumnMeta {
  std::string attname;
  std::wstring declaredName;  // as CREATE TABLE (or the view's select list) wrote it
  std::string declaredType;   // SQL Server's declaration; empty for a view's expression
  bool notNull = false;
  bool identity = false;
  int keyOrder = 0;  // position in the primary key, 0 outside it
};

struct PgRelation {
  std::string relname;
  std::wstring declaredName;  // as CREATE TABLE named it
  char relkind = 0;
  std::wstring viewText;  // CREATE VIEW as SQL Server's text (common rewrites only)
  std::vector<PgColumnMeta> columns;  // by attnum - 1
  bool IsTable() const { return relkind == 'r' || relkind == 'p'; }
  bool IsView() const { return relkind == 'v' || relkind == 'm'; }
};

// The tables and views the results name, read once (per connection, until the schema changes)
// from the server's catalogue and the comments the rewritten CREATE statements left.
class PgCatalogue final : public SchemaSource {
 public:
  explicit PgCatalogue(PGconn* conn) : conn_(conn) {}

  const PgRelation* ByOid(Oid oid) {
    auto it = byOid_.find(oid);
    if (it != byOid_.end()) return it->second.get();
    return Load("c.oid = $1::oid", std::to_string(oid), oid);
  }
  const PgRelation* ByName(const std::string& name) {
    auto it = byName_.find(name);
    if (it != byName_.end()) return it->second;
    const PgRelation* r = Load("c.oid = to_regclass(quote_ident($1))", name, 0);
    byName_[name] = r;
    return r;
  }
  const PgColumnMeta* Column(Oid table, int attnum) {
    const PgRelation* r = ByOid(table);
    if (r && (attnum < 1 || static_cast<std::size_t>(attnum) > r->columns.size())) {
      Forget(table);  // a column added since: read again
      r = ByOid(table);
    }
    if (!r || attnum < 1 || static_cast<std::size_t>(attnum) > r->columns.size()) return nullptr;
    return &r->columns[static_cast<std::size_t>(attnum) - 1];
  }
  void Clear() {
    byOid_.clear();
    byName_.clear();
  }

  // SchemaSource, for typing expressions.
  Kind KindOf(const std::wstring& name) override {
    const PgRelation* r = ByName(ToUtf8(PgName(name)));
    if (!r) return Kind::None;
    return r->IsView() ? Kind::View : r->IsTable() ? Kind::Table : Kind::None;
  }
  std::optional<std::string> ColumnDeclaration(const std::wstring& table, const std::wstring& column) override {
    const PgRelation* r = ByName(ToUtf8(PgName(table)));
    if (!r) return std::nullopt;
    const std::string name = ToUtf8(PgName(column));
    for (const PgColumnMeta& c : r->columns)
      if (c.attname == name) return c.declaredType;
    return std::nullopt;
  }
  std::wstring ViewText(const std::wstring& view) override {
    const PgRelation* r = ByName(ToUtf8(PgName(view)));
    return r ? r->viewText : std::wstring();
  }

 private:
  void Forget(Oid oid) {
    auto it = byOid_.find(oid);
    if (it == byOid_.end()) return;
    for (auto n = byName_.begin(); n != byName_.end();)
      n = n->second == it->second.get() ? byName_.erase(n) : std::next(n);
    byOid_.erase(it);
  }

  const PgRelation* Load(const char* where, const std::string& arg, Oid oid) {
    const std::string sql =
        std::string("SELECT c.oid, c.relname, c.relkind, coalesce(obj_description(c.oid, 'pg_class'), ''), a.attnum, "
                    "a.attname, coalesce(col_description(c.oid, a.attnum), ''), a.attnotnull, a.attidentity <> '', "
                    "coalesce((SELECT k.n FROM unnest(i.indkey) WITH ORDINALITY AS k(att, n) WHERE k.att = a.attnum), 0), "
                    "format_type(a.atttypid, a.atttypmod) "
                    "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
                    "LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary WHERE ") +
        where + " ORDER BY a.attnum";
    const char* values[] = {arg.c_str()};
    ResultPtr res(PQexecParams(conn_, sql.c_str(), 1, nullptr, values, nullptr, nullptr, 0));
    if (!Succeeded(res.get()) || PQntuples(res.get()) == 0) {
      if (oid) byOid_[oid] = nullptr;
      return nullptr;
    }
    auto rel = std::make_unique<PgRelation>();
    PGresult* r = res.get();
    const Oid found = static_cast<Oid>(std::strtoul(PQgetvalue(r, 0, 0), nullptr, 10));
    rel->relname = PQgetvalue(r, 0, 1);
    rel->relkind = PQgetvalue(r, 0, 2)[0];
    if (rel->IsView()) rel->viewText = FromUtf8(PQgetvalue(r, 0, 3));
    else rel->declaredName = FromUtf8(PQgetvalue(r, 0, 3));
    if (rel->declaredName.empty()) rel->declaredName = FromUtf8(rel->relname);
    for (int row = 0; row < PQntuples(r); ++row) {
      const auto attnum = static_cast<std::size_t>(std::atoi(PQgetvalue(r, row, 4)));
      if (attnum > rel->columns.size()) rel->columns.resize(attnum);
      PgColumnMeta& c = rel->columns[attnum - 1];
      c.attname = PQgetvalue(r, row, 5);
      // The comment: the declared name, a tab and the declared type.
      const std::string comment = PQgetvalue(r, row, 6);
      const std::size_t blank = comment.find('\t');
      if (comment.empty()) {
        c.declaredName = FromUtf8(c.attname);
        if (!rel->IsView()) c.declaredType = DeclarationOfServerType(PQgetvalue(r, row, 10));
      } else {
        c.declaredName = FromUtf8(comment.substr(0, blank));
        if (blank != std::string::npos) c.declaredType = comment.substr(blank + 1);
      }
      c.notNull = PQgetvalue(r, row, 7)[0] == 't';
      c.identity = PQgetvalue(r, row, 8)[0] == 't';
      c.keyOrder = std::atoi(PQgetvalue(r, row, 9));
    }
    PgRelation* raw = rel.get();
    byOid_[found] = std::move(rel);
    byName_[raw->relname] = raw;
    return raw;
  }

  PGconn* conn_;
  std::map<Oid, std::unique_ptr<PgRelation>> byOid_;
  std::map<std::string, const PgRelation*> byName_;
};

// ---- values -------------------------------------------------------------------------------

struct PgDatabase::Bound {
  std::vector<std::string> texts;
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  std::vector<Oid> types;      // what the server is told: bytes only, the rest it infers
  std::vector<Oid> valueTypes; // the values' own types, when inferring is refused

  // `told`: the type the server is told (0: inferred from the statement).
  void Add(const Value& v, Oid told = 0) {
    std::string text;
    Oid type = kTextOid;
    int format = 0;
    bool null = false;
    switch (v.kind) {
      case VKind::Empty:
      case VKind::Null: null = true; break;
      case VKind::Bool: text = v.i ? "1" : "0"; type = kInt2Oid; break;
      case VKind::UI1:
      case VKind::I2:
      case VKind::I4: text = std::to_string(v.i); type = kInt4Oid; break;
      case VKind::I8: text = std::to_string(v.i); type = kInt8Oid; break;
      case VKind::R4:
      case VKind::R8: {
        type = kFloat8Oid;
        if (std::isnan(v.d)) text = "NaN";
        else if (std::isinf(v.d)) text = v.d > 0 ? "Infinity" : "-Infinity";
        else {
          char buf[40];
          auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v.d);
          text.assign(buf, ec == std::errc() ? p : buf);
        }
        break;
      }
      case VKind::Cy: text = ToDecimalText(v.i); type = kNumericOid; break;
      case VKind::Date: DateTextFromOle(v.d, text); type = kTimestampOid; break;
      case VKind::Text: ToUtf8(v.s, text); break;
      case VKind::Bytes: text = v.Bytes(); type = told = kByteaOid; format = 1; break;
    }
    texts.push_back(std::move(text));
    values.push_back(null ? nullptr : texts.back().c_str());  // fixed up by Finish
    lengths.push_back(static_cast<int>(texts.back().size()));
    formats.push_back(format);
    types.push_back(told);
    valueTypes.push_back(type);
  }
  void Finish() {
    for (std::size_t i = 0; i < values.size(); ++i)
      if (values[i]) values[i] = texts[i].data();
  }
  int Count() const { return static_cast<int>(values.size()); }
};

struct PgDatabase::Result {
  ResultPtr res;
  // Run under the statement's savepoint in the same round trip: the savepoint was set, and
  // released when the statement succeeded.
  bool savepointSet = false, savepointReleased = false;
};

// ---- opening ------------------------------------------------------------------------------

std::shared_ptr<PgDatabase> PgDatabase::Open(const std::string& uri, int timeoutMs, bool readOnly) {
  // What the URI leaves out: a bounded wait for the server, the program's name; the encoding is
  // always UTF-8.
  const char* keywords[] = {"connect_timeout", "application_name", "dbname", "client_encoding", nullptr};
  const char* values[] = {"10", "vantor", uri.c_str(), "UTF8", nullptr};
  PGconn* conn = PQconnectdbParams(keywords, values, 1);
  if (!conn) throw DbException(ConnectionError("out of memory"));
  if (PQstatus(conn) != CONNECTION_OK) {
    DbError e = ConnectionError("Cannot open database \"" + uri + "\": " + PQerrorMessage(conn));
    PQfinish(conn);
    throw DbException(std::move(e));
  }
  std::shared_ptr<PgDatabase> self(new PgDatabase(conn, uri, timeoutMs));
  const int wait = std::max(timeoutMs, 1);  // no wait is the shortest one (0 would wait forever)
  self->Simple("SET search_path = public, vx; SET datestyle = 'ISO, DMY'; SET intervalstyle = 'postgres'; "
               "SET client_min_messages = warning; SET extra_float_digits = 1; SET bytea_output = 'hex'; "
               "SET lock_timeout = '" + std::to_string(wait) + "ms'");
  self->EnsureSupport(readOnly);
  if (readOnly) self->Simple("SET default_transaction_read_only = on");
  return self;
}

PgDatabase::PgDatabase(PGconn* conn, std::string uri, int timeoutMs)
    : Database(std::move(uri)), conn_(conn), timeoutMs_(timeoutMs), catalogue_(std::make_unique<PgCatalogue>(conn)) {}

PgDatabase::~PgDatabase() { PQfinish(conn_); }

void PgDatabase::EnsureSupport(bool readOnly) {
  ResultPtr version(PQexec(conn_, "SELECT vx.version()"));
  if (Succeeded(version.get()) && PQntuples(version.get()) == 1 &&
      std::atoi(PQgetvalue(version.get(), 0, 0)) >= kPgSupportVersion)
    return;
  if (readOnly)
    throw DbException(ConnectionError("The database \"" + Path() +
                                      "\" has not been prepared for the program: open it once to be changed."));
  const std::string script = "BEGIN; " + std::string(kSupportLock) + "; " + PgSupportScript() + " COMMIT;";
  ResultPtr res(PQexec(conn_, script.c_str()));
  if (!Succeeded(res.get())) {
    DbError e = ErrorOf(res.get(), StatementOrigin::Command);
    Simple("ROLLBACK");
    e.description = L"The program's functions cannot be installed in the database: " + e.description;
    throw DbException(std::move(e));
  }
}

DbError PgDatabase::ErrorOf(PGresult* res, StatementOrigin origin, bool noWait) const {
  if (PQstatus(conn_) != CONNECTION_OK) return ConnectionError(PQerrorMessage(conn_));
  const char* primary = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  const std::string message = primary ? primary : PQerrorMessage(conn_);
  const std::string state = SqlState(res);
  // The object lock's insert that met another workstation's uncommitted insert of the key is
  // refused as the duplicate it is.
  const FailureKind kind = noWait && state == "55P03" ? FailureKind::Constraint : KindOfState(state);
  // The native code is the server's SQLSTATE packed six bits a character, as the server packs it.
  LONG native = 0;
  for (std::size_t i = 0; i < state.size() && i < 5; ++i) native |= static_cast<LONG>((state[i] - '0') & 0x3F) << (6 * i);
  return MapFailure(kind, origin, FromUtf8(message), native, kPostgresProviderSource);
}

void PgDatabase::Simple(const std::string& sql, StatementOrigin origin) {
  ResultPtr res(PQexec(conn_, sql.c_str()));
  if (!Succeeded(res.get())) throw DbException(ErrorOf(res.get(), origin));
}

void PgDatabase::Control(const std::string& sql) { Simple(sql); }

void PgDatabase::SchemaChanged() {
  catalogue_->Clear();
  expressionTypes_.clear();
  if (!prepared_.empty()) {
    Simple("DEALLOCATE ALL");
    prepared_.clear();
  }
}

// ---- statements ---------------------------------------------------------------------------

const PgRewrittenSql& PgDatabase::Rewritten(std::wstring_view sql) {
  std::wstring key(sql);
  auto it = rewrites_.find(key);
  if (it != rewrites_.end()) return it->second;
  if (rewrites_.size() >= 256) rewrites_.clear();
  return rewrites_.emplace(std::move(key), RewriteSqlForPostgres(sql)).first->second;
}

PgDatabase::Result PgDatabase::Run(const std::string& sql, const Bound& b, StatementOrigin origin, bool cache) {
  PGresult* res = nullptr;
  if (!cache) {
    res = PQexecParams(conn_, sql.c_str(), b.Count(), b.types.data(), b.values.data(), b.lengths.data(),
                       b.formats.data(), 0);
  } else {
    auto it = prepared_.find(sql);
    if (it == prepared_.end()) {
      const std::string name = "vx" + std::to_string(++preparedCount_);
      ResultPtr prepared(PQprepare(conn_, name.c_str(), sql.c_str(), b.Count(), b.types.data()));
      if (!Succeeded(prepared.get())) {
        Result failed;
        failed.res = std::move(prepared);
        return failed;
      }
      it = prepared_.emplace(sql, name).first;
    }
    res = PQexecPrepared(conn_, it->second.c_str(), b.Count(), b.values.data(), b.lengths.data(), b.formats.data(), 0);
  }
  Result r;
  r.res.reset(res);
  return r;
}

PgDatabase::Result PgDatabase::RunUnderSavepoint(const std::string& name, const Bound& b) {
  Result r;
  if (PQpipelineStatus(conn_) != PQ_PIPELINE_OFF || !PQenterPipelineMode(conn_)) return r;
  const std::string open = std::string("SAVEPOINT ") + kStatementSavepoint;
  const std::string release = std::string("RELEASE SAVEPOINT ") + kStatementSavepoint;
  const bool sent =
      PQsendQueryParams(conn_, open.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) &&
      PQsendQueryPrepared(conn_, name.c_str(), b.Count(), b.values.data(), b.lengths.data(), b.formats.data(), 0) &&
      PQsendQueryParams(conn_, release.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) && PQpipelineSync(conn_);
  // The three answers in order (a step after a failed one is answered as aborted), then the
  // sync; a connection that breaks meanwhile answers nothing more.
  ResultPtr answers[3];
  std::size_t got = 0;
  for (int idle = 0; sent && idle < 2 && PQstatus(conn_) == CONNECTION_OK;) {
    PGresult* res = PQgetResult(conn_);
    if (!res) {
      ++idle;
      continue;
    }
    idle = 0;
    if (PQresultStatus(res) == PGRES_PIPELINE_SYNC) {
      PQclear(res);
      break;
    }
    if (got < 3) answers[got++].reset(res);
    else PQclear(res);
  }
  PQexitPipelineMode(conn_);
  if (got < 3) {
    // What the connection says of its failure, as a failed result.
    r.res.reset(answers[1] ? answers[1].release() : PQmakeEmptyPGresult(conn_, PGRES_FATAL_ERROR));
    return r;
  }
  if (!Succeeded(answers[0].get())) throw DbException(ErrorOf(answers[0].get(), StatementOrigin::Command));
  r.savepointSet = true;
  r.res = std::move(answers[1]);
  if (Succeeded(r.res.get())) {
    if (!Succeeded(answers[2].get())) throw DbException(ErrorOf(answers[2].get(), StatementOrigin::Command));
    r.savepointReleased = true;
  }
  return r;
}

PgDatabase::Result PgDatabase::RunRetried(const PgStatement& st, const Bound& given, StatementOrigin origin,
                                           bool protect, bool cache) {
  Bound typed;
  const Bound* bound = &given;
  // A statement prepared before runs with its savepoint and the savepoint's release in one round
  // trip; the others take the steps one by one.
  Result r;
  const auto prepared = protect && cache ? prepared_.find(st.sql) : prepared_.end();
  if (prepared != prepared_.end()) r = RunUnderSavepoint(prepared->second, *bound);
  if (!r.savepointSet) {
    if (protect) Simple(std::string("SAVEPOINT ") + kStatementSavepoint);
    r = Run(st.sql, *bound, origin, cache);
  }
  const std::string state = Succeeded(r.res.get()) ? "" : SqlState(r.res.get());
  // A marker whose type the statement leaves open (`? IS NULL`) gets its value's type; a
  // statement prepared before another workstation changed its tables is prepared again.
  if ((state == "42P18" || state == "0A000") && (protect || TransactionDepth() == 0)) {
    if (protect) Simple(std::string("ROLLBACK TO SAVEPOINT ") + kStatementSavepoint);
    if (state == "42P18") {
      typed = given;
      for (std::size_t i = 0; i < typed.types.size(); ++i) typed.types[i] = typed.valueTypes[i];
      typed.Finish();
      bound = &typed;
    } else {
      SchemaChanged();
    }
    r = Run(st.sql, *bound, origin, state == "0A000" && cache);
  }
  return r;
}

void PgDatabase::SettleStatement(const PgStatement& st, Result& r, StatementOrigin origin, bool protect) {
  const auto restoreWait = [&] {
    if (st.noWait) Simple("SET lock_timeout = '" + std::to_string(std::max(timeoutMs_, 1)) + "ms'");
  };
  if (!Succeeded(r.res.get())) {
    DbError e = ErrorOf(r.res.get(), origin, st.noWait);
    r.res.reset();
    if (protect)
      Simple(std::string("ROLLBACK TO SAVEPOINT ") + kStatementSavepoint + "; RELEASE SAVEPOINT " + kStatementSavepoint);
    restoreWait();
    throw DbException(std::move(e));
  }
  if (protect && !r.savepointReleased) Simple(std::string("RELEASE SAVEPOINT ") + kStatementSavepoint);
  restoreWait();
}

void PgDatabase::RunStatement(const PgStatement& st, const Bound& given, StatementOrigin origin, ExecResult& out,
                              bool packRows) {
  // Statements that run again and again are prepared once; those that change the schema are not.
  const bool cache = !st.changesSchema && st.view.empty();
  const bool protect = origin == StatementOrigin::Command && TransactionDepth() > 0;
  if (st.noWait) Simple("SET lock_timeout = '1ms'");
  Result r = RunRetried(st, given, origin, protect, cache);
  SettleStatement(st, r, origin, protect);
  out.changes += Changes(r.res.get());
  ReadResult(r.res.get(), &st, out, packRows);
  if (st.changesSchema) SchemaChanged();
  if (!st.view.empty()) NameViewColumns(st);
}

ExecResult PgDatabase::Execute(std::wstring_view sql, const std::vector<Value>& params, StatementOrigin origin,
                               bool packRows) {
  const PgRewrittenSql& rw = Rewritten(sql);
  CheckParameterCount(rw.paramCount, params);
  ExecResult out;
  for (const PgStatement& st : rw.statements) {
    Bound b;
    for (const PgParam& p : st.params) {
      Value v = Value::Null();
      if (p.source == PgParam::Source::Now) {
        const std::optional<double> now = OleDateFromParts(LocalNow());
        if (now) v = Value::Real(VKind::Date, *now);
      } else if (p.source == PgParam::Source::UtcNow) {
        const std::optional<double> now = OleDateFromParts(UtcNow());
        if (now) v = Value::Real(VKind::Date, *now);
      } else if (p.index >= 0 && static_cast<std::size_t>(p.index) < params.size()) {
        v = params[static_cast<std::size_t>(p.index)];
      }
      if (p.likePattern && !v.IsNull() && !v.IsEmpty()) v = Value::Text(LikeRegex(ValueText(v), p.likeEscape));
      // The time is a date wherever it stands (GETDATE() - 1).
      b.Add(v, p.source == PgParam::Source::Caller ? 0 : kTimestampOid);
    }
    b.Finish();
    RunStatement(st, b, origin, out, packRows && rw.outputs.empty());
  }
  TakeOutputs(rw.outputs, out);
  return out;
}

std::int64_t PgDatabase::ExecuteNative(const std::string& sql, const std::vector<Value>& params,
                                       StatementOrigin origin) {
  // The generated statements hold no literals: every `?` is a marker.
  std::string text;
  int n = 0;
  for (char c : sql) {
    if (c == '?') text += "$" + std::to_string(++n);
    else text += c;
  }
  Bound b;
  for (const Value& v : params) b.Add(v);
  b.Finish();
  Result r = Run(text, b, origin, true);
  if (!Succeeded(r.res.get())) throw DbException(ErrorOf(r.res.get(), origin));
  return Changes(r.res.get());
}

int PgDatabase::Compile(std::wstring_view sql) {
  int statements = 0;
  for (const PgStatement& st : Rewritten(sql).statements) {
    if (st.sql.rfind("COMMENT ON ", 0) == 0) continue;  // the rewriter's own
    ++statements;
    ResultPtr res(PQprepare(conn_, "", st.sql.c_str(), 0, nullptr));
    if (!Succeeded(res.get())) throw DbException(ErrorOf(res.get(), StatementOrigin::Command));
  }
  return statements;
}

std::int64_t PgDatabase::LastInsertRowId() {
  ResultPtr res(PQexec(conn_, "SELECT vx.identity()"));
  if (!Succeeded(res.get())) throw DbException(ErrorOf(res.get(), StatementOrigin::RowsetChange));
  return PQgetisnull(res.get(), 0, 0) ? 0 : std::atoll(PQgetvalue(res.get(), 0, 0));
}

std::vector<std::string> PgDatabase::PrimaryKey(const std::string& table) {
  std::vector<std::pair<int, std::string>> key;
  if (const PgRelation* r = catalogue_->ByName(table))
    for (const PgColumnMeta& c : r->columns)
      if (c.keyOrder > 0) key.emplace_back(c.keyOrder, c.attname);
  std::sort(key.begin(), key.end());
  std::vector<std::string> out;
  for (auto& [order, name] : key) out.push_back(name);
  return out;
}

// ---- results ------------------------------------------------------------------------------

void PgDatabase::ReadResult(PGresult* res, const PgStatement* st, ExecResult& out, bool packRows) {
  if (PQresultStatus(res) != PGRES_TUPLES_OK || out.hasRows) return;
  const int ncol = PQnfields(res);
  const auto n = static_cast<std::size_t>(ncol);
  std::vector<ColumnInfo> cols(n);
  std::vector<VKind> kinds(n, VKind::Text);
  std::vector<bool> byValues(n, false), textByValues(n, false);

  // The select list's item of each column: one star may stand for several.
  std::vector<const SelectItemName*> items(n, nullptr);
  if (st && !st->names.empty()) {
    const auto& names = st->names;
    const auto stars = std::count_if(names.begin(), names.end(), [](const SelectItemName& i) { return i.star; });
    if (stars == 0 && names.size() == n) {
      for (std::size_t i = 0; i < n; ++i) items[i] = &names[i];
    } else if (stars == 1 && names.size() - 1 <= n) {
      const auto star = static_cast<std::size_t>(
          std::find_if(names.begin(), names.end(), [](const SelectItemName& i) { return i.star; }) - names.begin());
      const std::size_t after = names.size() - star - 1;
      for (std::size_t i = 0; i < star; ++i) items[i] = &names[i];
      for (std::size_t k = 0; k < after; ++k) items[n - after + k] = &names[star + 1 + k];
    }
  }

  bool anyExpression = false;
  for (std::size_t i = 0; i < n; ++i) {
    ColumnInfo& c = cols[i];
    const int col = static_cast<int>(i);
    const std::string serverName = PQfname(res, col);
    const Oid table = PQftable(res, col);
    const PgRelation* rel = table != InvalidOid ? catalogue_->ByOid(table) : nullptr;
    const PgColumnMeta* meta = rel ? catalogue_->Column(table, PQftablecol(res, col)) : nullptr;
    if (items[i] && !items[i]->star) c.name = items[i]->name.empty() ? items[i]->text : items[i]->name;
    else if (meta && ToUtf8(PgName(meta->declaredName)) == serverName) c.name = meta->declaredName;
    else c.name = FromUtf8(serverName);
    if (meta && !meta->declaredType.empty() && MapDeclaredType(meta->declaredType, c.type, c.size)) {
      c.typed = true;
      kinds[i] = KindOfType(c.type);
      c.attributes = adFldUnknownUpdatable | TypeAttributes(c.type);
      if (rel->IsTable()) {
        c.origin = std::make_shared<const ColumnOrigin>(
            ColumnOrigin{rel->relname, meta->attname, rel->declaredName, meta->declaredName});
        c.autoIncrement = meta->identity;
        AddBaseColumnAttributes(c, meta->notNull, meta->keyOrder > 0);
      }
    } else {
      anyExpression = true;
    }
  }

  // Expressions get the type SQL Server gives them where the statement says it, else the one
  // the server's type gives, or the one their values give.
  if (anyExpression) {
    std::vector<ColumnType> types(n);
    if (st && !st->typingText.empty()) {
      auto it = expressionTypes_.find(st->typingText);
      if (it == expressionTypes_.end() || it->second.size() != n) {
        std::vector<std::wstring> names;
        for (const ColumnInfo& c : cols) names.push_back(c.name);
        if (expressionTypes_.size() >= 256) expressionTypes_.clear();
        it = expressionTypes_.insert_or_assign(st->typingText, ResultColumnTypes(st->typingText, names, *catalogue_)).first;
      }
      types = it->second;
    }
    for (std::size_t i = 0; i < n; ++i) {
      ColumnInfo& c = cols[i];
      if (c.typed) continue;
      ColumnType t = types[i];
      if (!t.Known()) {
        switch (PQftype(res, static_cast<int>(i))) {
          case kInt2Oid: t = {adSmallInt, 2}; break;
          case kInt4Oid: t = {adInteger, 4}; break;
          case kFloat4Oid: t = {adSingle, 4}; break;
          case kFloat8Oid: t = {adDouble, 8}; break;
          case kDateOid:
          case kTimestampOid:
          case kTimestampTzOid: t = {adDBTimeStamp, 16}; break;
          case kByteaOid: t = {adLongVarBinary, 2147483647}; break;
          case kBoolOid:  // a comparison in the select list, which SQLite gives as 1 or 0
          case kInt8Oid:
          case kNumericOid: byValues[i] = true; continue;
          default: textByValues[i] = byValues[i] = true; continue;
        }
      }
      if (!ApplyExpressionType(c, t, kinds[i])) textByValues[i] = byValues[i] = true;
    }
  }

  out.result.rows.clear();
  out.result.packed.Clear();
  out.result.isPacked = packRows && std::none_of(byValues.begin(), byValues.end(), [](bool b) { return b; });
  const int rows = PQntuples(res);
  if (out.result.isPacked) {
    PackedRows& packed = out.result.packed;
    for (int r = 0; r < rows; ++r) {
      packed.BeginRow();
      for (int i = 0; i < ncol; ++i) {
        if (PQgetisnull(res, r, i)) {
          packed.AddNull();
          continue;
        }
        PackCell(std::string_view(PQgetvalue(res, r, i), static_cast<std::size_t>(PQgetlength(res, r, i))),
                 kinds[static_cast<std::size_t>(i)], packed);
      }
    }
  } else {
    out.result.rows.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
      std::vector<Value> row;
      row.reserve(n);
      for (int i = 0; i < ncol; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (PQgetisnull(res, r, i)) {
          row.push_back(Value::Null());
          continue;
        }
        const std::string_view s(PQgetvalue(res, r, i), static_cast<std::size_t>(PQgetlength(res, r, i)));
        row.push_back(byValues[k] ? RawCell(s, PQftype(res, i)) : TypedCell(s, kinds[k]));
      }
      out.result.rows.push_back(std::move(row));
    }
    for (std::size_t i = 0; i < n; ++i)
      if (byValues[i]) TypeByValues(cols[i], out.result.rows, i, textByValues[i]);
  }
  out.result.columns = Columns(std::move(cols));
  out.hasRows = true;
}

// The columns of a view just made: their names as its column list or its select list gives them,
// and the types of those that are columns or typed expressions, kept as the columns' comments.
void PgDatabase::NameViewColumns(const PgStatement& st) {
  PgStatement query;
  query.typingText = st.viewTypingText;
  query.names = SelectListNames(st.viewTypingText);
  ResultPtr res(PQexec(conn_, st.viewQuery.c_str()));
  if (!Succeeded(res.get())) throw DbException(ErrorOf(res.get(), StatementOrigin::Command));
  ExecResult described;
  ReadResult(res.get(), &query, described, false);
  SchemaChanged();
  ResultPtr columns(PQexec(conn_, ("SELECT attname FROM pg_attribute WHERE attrelid = to_regclass(" +
                                   Quoted(st.view, '\'') + ") AND attnum > 0 ORDER BY attnum").c_str()));
  if (!Succeeded(columns.get())) throw DbException(ErrorOf(columns.get(), StatementOrigin::Command));
  std::string comments;
  for (std::size_t i = 0; i < described.result.columns.size() && static_cast<int>(i) < PQntuples(columns.get()); ++i) {
    const ColumnInfo& c = described.result.columns[i];
    std::string comment = ToUtf8(i < st.viewColumns.size() ? st.viewColumns[i] : c.name);
    if (c.typed) comment += "\t" + DeclarationOf(c.type, c.size);
    comments += "COMMENT ON COLUMN " + st.view + "." + Quoted(PQgetvalue(columns.get(), static_cast<int>(i), 0), '"') +
                " IS " + Quoted(comment, '\'') + ";";
  }
  if (!comments.empty()) Simple(comments);
}

}  // namespace platform::ado
