// What both engines share: the declared types of columns, the attributes of result columns, the
// mapping of failures to HRESULTs, nested transactions, and the choice of engine by the source.
#include "platform/ado/database.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "platform/ado/ado_enums.h"
#include "platform/ado/pg_database.h"
#include "platform/ado/sqlite_database.h"
#include "platform/ado/text.h"

namespace platform::ado {

namespace {

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

constexpr LONG kLongTextSize = 1073741823;
constexpr LONG kLongAnsiSize = 2147483647;

}  // namespace

// ---- shared column descriptions ----------------------------------------------------------

namespace {

// Results of up to this many columns are searched by name one column after another.
constexpr std::size_t kNamesScanned = 8;

// A hash of a name that names equal by SameNameNoCase share: of its length and the collation
// weights (which the case of a letter does not change) of its last characters, where the names
// of one table's columns differ.
std::uint32_t NameHash(std::wstring_view name) {
  std::uint32_t h = 2166136261u ^ static_cast<std::uint32_t>(name.size());
  for (wchar_t c : name.substr(name.size() > 4 ? name.size() - 4 : 0)) h = (h ^ CollationWeight(c)) * 16777619u;
  return h;
}

}  // namespace

const std::vector<ColumnInfo> Columns::kNone;

Columns::Columns(std::vector<ColumnInfo> cols) : data_(std::make_shared<Data>()) {
  data_->cols = std::move(cols);
  const std::vector<ColumnInfo>& c = data_->cols;
  if (c.size() <= kNamesScanned) return;
  data_->byName.reserve(c.size());
  for (std::size_t i = 0; i < c.size(); ++i)
    data_->byName.emplace_back(NameHash(c[i].name), static_cast<std::uint32_t>(i));
  std::sort(data_->byName.begin(), data_->byName.end());
}

int Columns::Find(std::wstring_view name) const {
  if (!data_) return -1;
  const std::vector<ColumnInfo>& c = data_->cols;
  if (data_->byName.empty()) {
    for (std::size_t i = 0; i < c.size(); ++i)  // names of other lengths are told at once
      if (c[i].name.size() == name.size() && SameNameNoCase(c[i].name, name)) return static_cast<int>(i);
    return -1;
  }
  // Candidates of the same hash come in column order, so the first that matches is the first
  // column of that name.
  const std::uint32_t h = NameHash(name);
  auto it = std::lower_bound(data_->byName.begin(), data_->byName.end(), std::make_pair(h, std::uint32_t{0}));
  for (; it != data_->byName.end() && it->first == h; ++it)
    if (SameNameNoCase(c[it->second].name, name)) return static_cast<int>(it->second);
  return -1;
}

ColumnInfo& Columns::Mutable(std::size_t i) {
  if (data_.use_count() > 1) data_ = std::make_shared<Data>(*data_);
  return data_->cols[i];
}

bool MapDeclaredType(std::string_view decl, LONG& type, LONG& size) {
  std::string d = LowerAscii(decl);
  std::size_t b = d.find_first_not_of(' ');
  if (b == std::string::npos) return false;
  d = d.substr(b);
  std::size_t paren = d.find('(');
  std::string base = d.substr(0, paren);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  // Keep only the first word: "int identity" or "nvarchar collate x" keep their type word.
  std::size_t sp = base.find(' ');
  std::string word = sp == std::string::npos ? base : base.substr(0, sp);
  LONG n = -1;
  bool isMax = false;
  if (paren != std::string::npos) {
    std::string arg = d.substr(paren + 1);
    if (arg.rfind("max", 0) == 0) isMax = true;
    else n = static_cast<LONG>(std::atol(arg.c_str()));
  }
  struct M {
    const char* name;
    LONG type, size;
  };
  static const M kFixed[] = {
      {"int", adInteger, 4},          {"integer", adInteger, 4},        {"bigint", adBigInt, 8},
      {"smallint", adSmallInt, 2},    {"tinyint", adUnsignedTinyInt, 1}, {"bit", adBoolean, 2},
      {"money", adCurrency, 8},       {"smallmoney", adCurrency, 8},    {"float", adDouble, 8},
      {"double", adDouble, 8},        {"real", adSingle, 4},            {"decimal", adDouble, 8},
      {"numeric", adDouble, 8},       {"datetime", adDBTimeStamp, 16},  {"smalldatetime", adDBTimeStamp, 16},
      {"datetime2", adDBTimeStamp, 16}, {"date", adDBTimeStamp, 16},    {"uniqueidentifier", adGUID, 16},
      {"text", adLongVarChar, kLongAnsiSize}, {"ntext", adLongVarWChar, kLongTextSize},
      {"image", adLongVarBinary, kLongAnsiSize}, {"blob", adLongVarBinary, kLongAnsiSize},
      {"sysname", adVarWChar, 128},
  };
  for (const auto& m : kFixed) {
    if (word == m.name) {
      type = m.type;
      size = m.size;
      return true;
    }
  }
  if (word == "char" || word == "character") {
    type = adChar;
    size = n > 0 ? n : 1;
  } else if (word == "varchar") {
    type = isMax ? adLongVarChar : adVarChar;
    size = isMax ? kLongAnsiSize : (n > 0 ? n : 1);
  } else if (word == "nchar") {
    type = adWChar;
    size = n > 0 ? n : 1;
  } else if (word == "nvarchar") {
    type = isMax ? adLongVarWChar : adVarWChar;
    size = isMax ? kLongTextSize : (n > 0 ? n : 1);
  } else if (word == "binary") {
    type = adBinary;
    size = n > 0 ? n : 1;
  } else if (word == "varbinary") {
    type = isMax ? adLongVarBinary : adVarBinary;
    size = isMax ? kLongAnsiSize : (n > 0 ? n : 1);
  } else if (word.find("int") != std::string::npos) {
    type = adInteger;
    size = 4;
  } else if (word.find("char") != std::string::npos || word.find("clob") != std::string::npos) {
    type = adVarWChar;
    size = n > 0 ? n : 4000;
  } else if (word.find("real") != std::string::npos || word.find("floa") != std::string::npos ||
             word.find("doub") != std::string::npos) {
    type = adDouble;
    size = 8;
  } else {
    type = adVarWChar;
    size = n > 0 ? n : 4000;
  }
  return true;
}

std::string DeclarationOf(LONG type, LONG size) {
  auto sized = [&](const char* word) { return std::string(word) + "(" + std::to_string(size > 0 ? size : 1) + ")"; };
  switch (type) {
    case adInteger: return "int";
    case adBigInt: return "bigint";
    case adSmallInt: return "smallint";
    case adUnsignedTinyInt:
    case adTinyInt: return "tinyint";
    case adBoolean: return "bit";
    case adCurrency: return "money";
    case adDouble:
    case adNumeric:
    case adDecimal: return "float";
    case adSingle: return "real";
    case adDBTimeStamp:
    case adDate:
    case adDBDate: return "datetime";
    case adGUID: return "uniqueidentifier";
    case adLongVarChar: return "text";
    case adLongVarWChar: return "ntext";
    case adLongVarBinary: return "image";
    case adChar: return sized("char");
    case adVarChar: return sized("varchar");
    case adWChar: return sized("nchar");
    case adBinary: return sized("binary");
    case adVarBinary: return sized("varbinary");
    default: return sized("nvarchar");
  }
}

LONG TypeAttributes(LONG type) {
  LONG attributes = 0;
  if (!IsTextType(type) && KindOfType(type) != VKind::Bytes) attributes |= adFldFixed;
  if (IsLongType(type)) attributes |= adFldLong;
  return attributes;
}

void AddBaseColumnAttributes(ColumnInfo& c, bool notNull, bool key) {
  c.key = key;
  c.attributes |= adFldUpdatable;
  if (!notNull) c.attributes |= adFldIsNullable | adFldMayBeNull;
  if (key) c.attributes |= adFldKeyColumn;
  if (c.autoIncrement) c.attributes &= ~adFldUpdatable;
}

bool ApplyExpressionType(ColumnInfo& c, const ColumnType& t, VKind& kind) {
  if (IsTextType(t.type) && t.size == 0) return false;
  c.type = t.type;
  c.size = t.size;
  c.typed = true;
  kind = KindOfType(c.type);
  c.attributes = adFldIsNullable | adFldMayBeNull | TypeAttributes(c.type);
  return true;
}

void TypeByValues(ColumnInfo& c, std::vector<std::vector<Value>>& rows, std::size_t column, bool text) {
  bool big = false, anyReal = false, anyText = false, anyBlob = false;
  std::size_t maxLen = 0;
  for (const auto& row : rows) {
    const Value& v = row[column];
    if (v.kind == VKind::I8) {
      if (v.i < std::numeric_limits<int32_t>::min() || v.i > std::numeric_limits<int32_t>::max()) big = true;
    } else if (v.kind == VKind::R8) {
      anyReal = true;
    } else if (v.kind == VKind::Text) {
      anyText = true;
      maxLen = std::max(maxLen, v.s.size());
    } else if (v.kind == VKind::Bytes) {
      anyBlob = true;
    }
  }
  if (anyText || text) {
    c.type = adVarWChar;
    c.size = static_cast<LONG>(std::max<std::size_t>(maxLen, 1));
  } else if (anyBlob) {
    c.type = adLongVarBinary;
    c.size = kLongAnsiSize;
  } else if (anyReal) {
    c.type = adDouble;
    c.size = 8;
  } else if (big) {
    c.type = adBigInt;
    c.size = 8;
  } else {
    c.type = adInteger;
    c.size = 4;
  }
  c.attributes = adFldIsNullable | adFldMayBeNull | (IsTextType(c.type) ? 0 : adFldFixed);
  for (auto& row : rows) {
    Value& v = row[column];
    if (v.IsNull()) continue;
    Value conv;
    if (CoerceToType(v, c.type, 0, conv)) v = std::move(conv);
  }
}

void CheckParameterCount(int paramCount, const std::vector<Value>& params) {
  if (static_cast<std::size_t>(paramCount) <= params.size()) return;
  DbError e;
  e.hr = DB_E_PARAMNOTOPTIONAL;
  e.description = L"No value given for one or more required parameters.";
  e.sqlState = L"07002";
  throw DbException(std::move(e));
}

void TakeOutputs(const std::vector<RewrittenSql::Output>& outputs, ExecResult& out) {
  for (const auto& o : outputs) {
    Value v = Value::Null();
    if (out.hasRows && !out.result.rows.empty() && static_cast<std::size_t>(o.column) < out.result.rows[0].size())
      v = out.result.rows[0][static_cast<std::size_t>(o.column)];
    out.outputs.emplace_back(o.param, std::move(v));
  }
}

bool IsProviderSource(const std::wstring& source) {
  return source == kProviderSource || source == kPostgresProviderSource;
}

bool IsPostgresSource(std::string_view source) {
  const std::string head = LowerAscii(source.substr(0, 13));
  return head.rfind("postgresql://", 0) == 0 || head.rfind("postgres://", 0) == 0;
}

DbError MapFailure(FailureKind kind, StatementOrigin origin, std::wstring description, LONG native,
                   const wchar_t* source) {
  DbError e;
  e.native = native;
  e.source = source;
  e.description = std::move(description);
  switch (kind) {
    case FailureKind::Constraint:
      e.hr = origin == StatementOrigin::Command ? DB_E_ERRORSINCOMMAND : DB_E_INTEGRITYVIOLATION;
      e.sqlState = L"23000";
      break;
    case FailureKind::ForeignKey:
      e.hr = DB_E_INTEGRITYVIOLATION;
      e.sqlState = L"23000";
      break;
    case FailureKind::LockTimeout:
      e.hr = DB_E_ABORTLIMITREACHED;
      e.sqlState = L"HYT00";
      e.description = L"Timeout expired: " + e.description;
      break;
    case FailureKind::ReadOnly:
      e.hr = static_cast<HRESULT>(0x80040E09);
      e.sqlState = L"42000";
      break;
    case FailureKind::OutOfMemory:
      e.hr = E_OUTOFMEMORY;
      e.sqlState = L"HY001";
      break;
    case FailureKind::Mismatch:
      e.hr = DB_E_CANTCONVERTVALUE;
      e.sqlState = L"22018";
      break;
    case FailureKind::NoTable:
      e.hr = DB_E_NOTABLE;
      e.sqlState = L"42S02";
      break;
    case FailureKind::NoColumn:
      e.hr = DB_E_ERRORSINCOMMAND;
      e.sqlState = L"42S22";
      break;
    case FailureKind::Conversion:
      e.hr = DB_E_ERRORSINCOMMAND;
      e.sqlState = L"22018";
      break;
    case FailureKind::Syntax:
      e.hr = DB_E_ERRORSINCOMMAND;
      e.sqlState = L"42000";
      break;
    case FailureKind::Other:
      e.hr = E_FAIL;
      e.sqlState = L"HY000";
      break;
  }
  return e;
}

DbException::DbException(DbError e) : std::runtime_error(ToUtf8(e.description)), error(std::move(e)) {}

void ResultSet::Truncate(std::size_t n) {
  if (isPacked) packed.Truncate(n);
  else if (rows.size() > n) rows.resize(n);
}

std::shared_ptr<Database> Database::Open(const std::string& source, int timeoutMs, bool readOnly) {
  if (IsPostgresSource(source)) return PgDatabase::Open(source, timeoutMs, readOnly);
  return SqliteDatabase::Open(source, timeoutMs, readOnly);
}

namespace {
[[noreturn]] void NoTransaction() {
  DbError e;
  e.hr = static_cast<HRESULT>(0x8004D00E);  // XACT_E_NOTRANSACTION
  e.description = L"No transaction is active.";
  e.sqlState = L"25000";
  throw DbException(std::move(e));
}
}  // namespace

void Database::Begin(bool deferred) {
  CloseReadGroup();
  Control(depth_ == 0 ? std::string(BeginStatement(deferred)) : "SAVEPOINT vx_" + std::to_string(depth_));
  ++depth_;
}

void Database::Commit() {
  if (depth_ == 0) NoTransaction();
  // A commit refused (a deferred key still broken) leaves the transaction to be rolled back.
  Control(depth_ == 1 ? std::string("COMMIT") : "RELEASE vx_" + std::to_string(depth_ - 1));
  --depth_;
}

void Database::Rollback() {
  if (depth_ == 0) NoTransaction();
  --depth_;
  if (depth_ == 0) {
    Control("ROLLBACK");
  } else {
    std::string sp = "vx_" + std::to_string(depth_);
    Control("ROLLBACK TO " + sp);
    Control("RELEASE " + sp);
  }
}

void Database::EndReadGroup() {
  if (readGroups_ > 0 && --readGroups_ == 0) CloseReadGroup();
}

void Database::BeforeGroupedStatement(bool reads) {
  if (!reads) {
    CloseReadGroup();
  } else if (!groupOpen_ && readGroups_ > 0 && depth_ == 0) {
    Control(BeginStatement(true));
    groupOpen_ = true;
  }
}

void Database::CloseReadGroup() {
  if (!groupOpen_) return;
  groupOpen_ = false;
  // A read transaction has nothing to keep: should its commit be refused, it is rolled back.
  try {
    Control("COMMIT");
  } catch (const DbException&) {
    try {
      Control("ROLLBACK");
    } catch (const DbException&) {
      // Still open: the next transaction begun reports it.
    }
  }
}

}  // namespace platform::ado
