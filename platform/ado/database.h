#pragma once
// The database engine under the object model. Two engines run the same SQL Server dialect
// statements through their own rewriting: SQLite (the embedded default: a database file shared
// by the processes of one machine) and PostgreSQL (a server that several workstations share,
// reached through libpq). Both read whole results with the field types that the columns'
// declared types give, and turn their failures into the HRESULTs the data-access layer reports
// by the same rules.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/column_types.h"
#include "platform/ado/sql_rewriter.h"
#include "platform/ado/value.h"

namespace platform::ado {

// The Source of errors that the database reports (as opposed to the object model's own).
inline constexpr const wchar_t* kProviderSource = L"Vantor SQLite Provider";
inline constexpr const wchar_t* kPostgresProviderSource = L"Vantor PostgreSQL Provider";

// One failure, as the connection's Errors collection and the error information show it.
struct DbError {
  HRESULT hr = 0;
  std::wstring description;
  LONG native = 0;        // the engine's own code (SQLite's extended result code, PostgreSQL's SQLSTATE)
  std::wstring sqlState;  // five characters, the same for both engines
  std::wstring source = kProviderSource;
};

class DbException : public std::runtime_error {
 public:
  // what() is the description (UTF-8).
  explicit DbException(DbError e);
  DbError error;
};

// Where a failing statement came from: constraint violations of statements the caller wrote
// give DB_E_ERRORSINCOMMAND (a refused insert), those of rows written back from a recordset
// give DB_E_INTEGRITYVIOLATION (MapFailure).
enum class StatementOrigin { Command, RowsetChange };

// Where a result's column comes from: its base table and column.
struct ColumnOrigin {
  std::string table;  // base table as the engine names it
  std::string column; // base column name as the engine names it
  // The base table and column as their CREATE TABLE named them, where the engine keeps the names
  // otherwise (empty: as `table` and `column`).
  std::wstring declaredTable, declaredColumn;
};

struct ColumnInfo {
  std::wstring name;
  LONG type = 0;      // DataTypeEnum
  LONG size = 0;      // DefinedSize
  LONG attributes = 0;
  bool key = false;
  bool autoIncrement = false;
  bool typed = false;  // type taken from a declared column type, or from the expression's type
  bool optimize = false;  // a recordset's "Optimize" property: the field's equality index is kept from the start
  // The base table and column, shared by the copies of the column (null for expressions and
  // fields made for a fabricated recordset): a column stays small, and the few columns of a
  // fabricated recordset fit a small allocation.
  std::shared_ptr<const ColumnOrigin> origin;

  // The origin's names (empty without one).
  const std::string& Table() const { return origin ? origin->table : Empty<std::string>(); }
  const std::string& Column() const { return origin ? origin->column : Empty<std::string>(); }
  const std::wstring& DeclaredTable() const { return origin ? origin->declaredTable : Empty<std::wstring>(); }
  const std::wstring& DeclaredColumn() const { return origin ? origin->declaredColumn : Empty<std::wstring>(); }

 private:
  template <class S>
  static const S& Empty() {
    static const S empty;
    return empty;
  }
};

// A result's columns, described once and shared: by the statement that described them and by
// every result and rowset read with them, without a copy each. Never changed while shared: a
// holder that changes a column (Mutable) gets a copy of its own first. Names are fixed once made.
class Columns {
 public:
  Columns() = default;
  explicit Columns(std::vector<ColumnInfo> cols);

  std::size_t size() const { return data_ ? data_->cols.size() : 0; }
  bool empty() const { return size() == 0; }
  const ColumnInfo& operator[](std::size_t i) const { return data_->cols[i]; }
  const std::vector<ColumnInfo>& All() const { return data_ ? data_->cols : kNone; }
  std::vector<ColumnInfo>::const_iterator begin() const { return All().begin(); }
  std::vector<ColumnInfo>::const_iterator end() const { return All().end(); }
  // The first column named `name` (case-insensitive: SameNameNoCase), or -1.
  int Find(std::wstring_view name) const;

  // Column i to change (not its name): this holder's own copy.
  ColumnInfo& Mutable(std::size_t i);

 private:
  struct Data {
    std::vector<ColumnInfo> cols;
    // Of a result of many columns: (hash of the folded name, column) in order, to find a name.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> byName;
  };
  static const std::vector<ColumnInfo> kNone;
  std::shared_ptr<Data> data_;
};

struct ResultSet {
  Columns columns;
  std::vector<std::vector<Value>> rows;
  // When the rows were asked for packed (and every column has a declared type), they are
  // here instead of in `rows`.
  PackedRows packed;
  bool isPacked = false;

  std::size_t RowCount() const { return isPacked ? packed.Count() : rows.size(); }
  void Truncate(std::size_t n);  // keeps the first n rows
};

struct ExecResult {
  bool hasRows = false;  // a statement returned columns
  ResultSet result;
  std::int64_t changes = 0;
  std::vector<std::pair<int, Value>> outputs;  // `SELECT ?=` parameter values
};

// Maps a declared SQL Server column type ("nvarchar(50)", "int", "money"...) to the field's
// data type and defined size. Returns false for an empty declaration.
bool MapDeclaredType(std::string_view decl, LONG& type, LONG& size);
// The SQL Server declaration of a field's data type and defined size, as MapDeclaredType reads it
// back ("nvarchar(50)", "int", "ntext").
std::string DeclarationOf(LONG type, LONG size);

// The field attributes that a data type gives (fixed length, long value).
LONG TypeAttributes(LONG type);
// Adds the attributes of a column of a base table: updatable (unless numbered by the database),
// nullable unless `notNull`, a key column when `key`.
void AddBaseColumnAttributes(ColumnInfo& c, bool notNull, bool key);

// Gives an expression column the type `t` that its statement gives it; false for a text of no
// fixed length, which its values type (TypeByValues).
bool ApplyExpressionType(ColumnInfo& c, const ColumnType& t, VKind& kind);
// Types a result column that neither a declaration nor the statement types by its values in
// `rows` (texts of no fixed length when `text`), converting those values to the type.
void TypeByValues(ColumnInfo& c, std::vector<std::vector<Value>>& rows, std::size_t column, bool text);
// Refuses a run given fewer values than the statement's `paramCount` markers.
void CheckParameterCount(int paramCount, const std::vector<Value>& params);
// Hands the values of the `SELECT ?=` output markers from the result's first row to `out.outputs`.
void TakeOutputs(const std::vector<RewrittenSql::Output>& outputs, ExecResult& out);

// Whether a failure comes from a database (rather than from the object model).
bool IsProviderSource(const std::wstring& source);

// Whether a database source names a PostgreSQL database (a libpq connection URI,
// "postgresql://..." or "postgres://...") rather than an SQLite file.
bool IsPostgresSource(std::string_view source);

// The engine SQL Server's failures would come from when the layer turns an engine's failure into
// an HRESULT: what the failure was, seen the same way by both engines.
enum class FailureKind {
  // A unique key, NOT NULL, CHECK: refuses a statement with DB_E_ERRORSINCOMMAND 0x80040E14, as
  // SQL Server's provider reports a refused insert (the object lock relies on it), and rows
  // written back from a recordset with DB_E_INTEGRITYVIOLATION 0x80040E2F.
  Constraint,
  // A foreign key (a row naming a row that is not there, or a row deleted while others name it):
  // DB_E_INTEGRITYVIOLATION from a statement as from rows written back.
  ForeignKey,
  LockTimeout,     // a lock not granted within the time-out, a deadlock
  ReadOnly,        // a change refused by a read-only connection, no right
  OutOfMemory,     // out of memory, a value too big
  Mismatch,        // a value of the wrong type for its column
  NoTable,         // an unknown table or view
  NoColumn,        // an unknown column
  Conversion,      // a text that is no number or date, an overflow
  Syntax,          // any other statement the database refuses
  Other,
};
// The HRESULT and ODBC state of a failure; a lock time-out's description gets "Timeout expired: ".
DbError MapFailure(FailureKind kind, StatementOrigin origin, std::wstring description, LONG native,
                   const wchar_t* source);

class Database {
 public:
  // Opens the database that `source` names: an SQLite file (created when missing) or, for a
  // PostgreSQL URI, a database on a server (which must exist; its schema is the caller's).
  // `timeoutMs` is how long a statement waits for another process's lock before it fails. With
  // `readOnly` every change is refused (an SQLite file must exist; one in a folder that cannot be
  // written is still read).
  static std::shared_ptr<Database> Open(const std::string& source, int timeoutMs = 10000, bool readOnly = false);
  virtual ~Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs the statements of `sql` with `params` bound to its `?` markers in order. The first
  // statement that returns columns gives the result; all rows are read. With `packRows`
  // the rows may come packed (see ResultSet).
  virtual ExecResult Execute(std::wstring_view sql, const std::vector<Value>& params = {},
                             StatementOrigin origin = StatementOrigin::Command, bool packRows = false) = 0;
  // A statement the layer generated for writing rows back (INSERT, UPDATE, DELETE with `?`
  // markers, names in double quotes), run as it is. Answers the number of rows changed.
  virtual std::int64_t ExecuteNative(const std::string& sql, const std::vector<Value>& params,
                                     StatementOrigin origin = StatementOrigin::RowsetChange) = 0;

  // Compiles the statements of `sql` without running them, raising what the database refuses
  // (an unknown table or column, a syntax error); answers how many statements the text holds.
  virtual int Compile(std::wstring_view sql) = 0;

  // Transactions nest: the outermost one is the database's, inner ones are savepoints. The
  // outermost one takes the write lock at once, unless `deferred` (a read of several statements:
  // the first read takes the shared lock).
  void Begin(bool deferred = false);
  // Ends the innermost transaction. A commit refused (a deferred foreign key still broken)
  // leaves the transaction open, to be rolled back.
  void Commit();
  void Rollback();
  int TransactionDepth() const { return depth_; }

  // Reads that belong together (see ReadGroup in ado.h). While at least one group is open and
  // no transaction is, an engine that pays for each statement's own read transaction runs its
  // reads in one, begun at the first read; a statement that writes, a transaction begun or the
  // end of the last group ends it first. An engine that does not call BeforeStatement ignores
  // groups.
  void BeginReadGroup() { ++readGroups_; }
  void EndReadGroup();

  // The key given to the row inserted last through this connection by an identity column.
  virtual std::int64_t LastInsertRowId() = 0;
  // The file or URI the database was opened from.
  const std::string& Path() const { return path_; }

  // Primary-key columns of a table (named as the result columns name it), in key order.
  virtual std::vector<std::string> PrimaryKey(const std::string& table) = 0;

 protected:
  explicit Database(std::string path) : path_(std::move(path)) {}
  // Runs a statement of the engine's own, without rewriting and parameters.
  virtual void Control(const std::string& sql) = 0;
  // The statement that begins the outermost transaction (`deferred`: see Begin).
  virtual const char* BeginStatement(bool deferred) const = 0;
  // Called by an engine that groups reads before it runs a statement: `reads` when the statement
  // only reads and answers rows.
  void BeforeStatement(bool reads) {
    if (readGroups_ == 0 && !groupOpen_) return;
    BeforeGroupedStatement(reads);
  }

 private:
  void BeforeGroupedStatement(bool reads);
  void CloseReadGroup();

  std::string path_;
  int depth_ = 0;
  int readGroups_ = 0;     // groups open
  bool groupOpen_ = false;  // the groups' read transaction has begun
};

// SQL Server's LIKE: % and _ (also * and ? in recordset filters when `adoWildcards`),
// [abc] and [^a-z] classes, case-insensitive with the collation's folding.
bool LikeMatch(std::wstring_view pattern, std::wstring_view text, wchar_t escape = 0, bool adoWildcards = false);

}  // namespace platform::ado
