#pragma once
// The SQLite connection under the object model: opening a shared database file (WAL journal,
// busy timeout), running SQL Server dialect statements through the rewriter, reading whole
// results with the field types that the columns' declared types give, and turning SQLite's
// failures into the HRESULTs that the data-access layer reports.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ado/column_types.h"
#include "platform/ado/sql_rewriter.h"
#include "platform/ado/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform::ado {

// The Source of errors that the database reports (as opposed to the object model's own).
inline constexpr const wchar_t* kProviderSource = L"Vantor SQLite Provider";

// One failure, as the connection's Errors collection and the error information show it.
struct DbError {
  HRESULT hr = 0;
  std::wstring description;
  LONG native = 0;        // SQLite's extended result code
  std::wstring sqlState;  // five characters
  std::wstring source = kProviderSource;
};

class DbException : public std::runtime_error {
 public:
  explicit DbException(DbError e) : std::runtime_error("database error"), error(std::move(e)) {}
  DbError error;
};

// Where a failing statement came from: constraint violations of statements the caller wrote
// give DB_E_ERRORSINCOMMAND (a refused insert), those of rows written back from a recordset
// give DB_E_INTEGRITYVIOLATION (ConstraintErrorCode).
enum class StatementOrigin { Command, RowsetChange };

// The HRESULT of a change that a constraint refused (`extendedCode`: SQLite's extended result
// code), the one rule of this provider: a foreign key (a row naming a row that is not there, or
// a row deleted while others name it) is an integrity violation, DB_E_INTEGRITYVIOLATION
// 0x80040E2F, from a statement as from rows written back from a recordset; any other constraint
// (a duplicate key, NULL in a NOT NULL column) refuses a statement with DB_E_ERRORSINCOMMAND
// 0x80040E14, as SQL Server's provider reports a refused insert (the object lock relies on it),
// and rows written back with DB_E_INTEGRITYVIOLATION.
HRESULT ConstraintErrorCode(int extendedCode, StatementOrigin origin);

struct ColumnInfo {
  std::wstring name;
  LONG type = 0;      // DataTypeEnum
  LONG size = 0;      // DefinedSize
  LONG attributes = 0;
  std::string table;  // base table (empty for expressions)
  std::string column; // base column name
  bool key = false;
  bool autoIncrement = false;
  bool typed = false;  // type taken from a declared column type, or from the expression's type
};

struct ResultSet {
  std::vector<ColumnInfo> columns;
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

class Database {
 public:
  // Opens (creating when missing) the database file; `timeoutMs` is how long a statement
  // waits for another process's lock before it fails. With `readOnly` the file must exist and
  // every change is refused; a database in a folder that cannot be written is still read.
  static std::shared_ptr<Database> Open(const std::string& path, int timeoutMs = 10000, bool readOnly = false);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs the statements of `sql` with `params` bound to its `?` markers in order. The first
  // statement that returns columns gives the result; all rows are read. With `packRows`
  // the rows may come packed (see ResultSet).
  ExecResult Execute(std::wstring_view sql, const std::vector<Value>& params = {},
                     StatementOrigin origin = StatementOrigin::Command, bool packRows = false);
  // Plain SQLite SQL (no rewriting), used for generated statements.
  std::int64_t ExecuteNative(const std::string& sql, const std::vector<Value>& params,
                             StatementOrigin origin = StatementOrigin::RowsetChange);

  // A transaction, or a savepoint inside one. The outermost one takes the write lock at once,
  // unless `deferred` (a read of several statements: the first read takes the shared lock).
  void Begin(bool deferred = false);
  // Ends the innermost transaction. A commit refused (a deferred foreign key still broken)
  // leaves the transaction open, to be rolled back.
  void Commit();
  void Rollback();
  int TransactionDepth() const { return depth_; }

  std::int64_t LastInsertRowId() const;
  sqlite3* Handle() const { return db_; }
  const std::string& Path() const { return path_; }

  // Primary-key columns of a table, in key order.
  std::vector<std::string> PrimaryKey(const std::string& table);

  DbError ErrorFromSqlite(int rc, StatementOrigin origin) const;

 private:
  explicit Database(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
  struct Cached {
    RewrittenSql rw;
    sqlite3_stmt* stmt = nullptr;  // single-statement texts only
  };
  Cached& Prepare(std::wstring_view sql);
  sqlite3_stmt* PrepareNative(const std::string& sql, StatementOrigin origin);
  void Bind(sqlite3_stmt* stmt, int index, const Value& v, StatementOrigin origin);
  void RunStatement(sqlite3_stmt* stmt, ExecResult& out, bool wantRows, StatementOrigin origin, bool packRows);
  // The types of the statement's result columns that are expressions (column_types.h), kept by
  // statement text until the schema changes.
  const std::vector<ColumnType>& ExpressionTypes(sqlite3_stmt* stmt, const std::vector<ColumnInfo>& cols);
  void Exec(const char* sql);
  // Adds a foreign key to an existing table: the constraint goes into the table's stored
  // definition (one change of the schema, in a transaction of its own or nested in the
  // caller's), and with `checkRows` the rows already there must keep it (else
  // DB_E_INTEGRITYVIOLATION and nothing changes). Rows that break a key added without the
  // check stay; SQLite checks a key when a row's key columns change, never for other columns.
  void AddForeignKey(const RewrittenSql::AddedForeignKey& key);

  sqlite3* db_ = nullptr;
  std::string path_;
  // The texts and blobs bound to the running statement, by marker: SQLite reads them in
  // place until the statement's bindings are cleared after the run.
  std::vector<std::string> bound_;
  // The date each marker's buffer holds as text (NaN: none), so that a date bound again unchanged
  // is not written out again.
  std::vector<double> boundDates_;
  void ReleaseBound(sqlite3_stmt* stmt);
  int depth_ = 0;
  std::unordered_map<std::wstring, Cached> cache_;
  std::pair<const std::wstring, Cached>* last_ = nullptr;  // the entry used last
  std::unordered_map<std::string, sqlite3_stmt*> nativeCache_;
  std::unordered_map<std::string, std::vector<std::string>> keys_;
  std::unordered_map<std::string, std::vector<ColumnType>> expressionTypes_;
  // The tables' and views' columns as the rewriter and the typing ask for them, kept until the
  // schema changes.
  std::unique_ptr<SchemaSource> catalogue_;
  SchemaSource& Catalogue();
};

// Registers the SQL Server functions, the case-insensitive collation and the LIKE matcher
// on a connection.
void RegisterFunctions(sqlite3* db);
// SQL Server's LIKE: % and _ (also * and ? in recordset filters when `adoWildcards`),
// [abc] and [^a-z] classes, case-insensitive with the collation's folding.
bool LikeMatch(std::wstring_view pattern, std::wstring_view text, wchar_t escape = 0, bool adoWildcards = false);

}  // namespace platform::ado
