#pragma once
// The SQLite engine: a database file shared by the processes of one machine (WAL journal, busy
// timeout), SQL Server's dialect rewritten for SQLite, SQL Server's functions and collation
// registered on each connection.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ado/database.h"
#include "platform/ado/lifted_literals.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform::ado {

class SqliteDatabase final : public Database {
 public:
  static std::shared_ptr<SqliteDatabase> Open(const std::string& path, int timeoutMs = 10000, bool readOnly = false);
  ~SqliteDatabase() override;

  ExecResult Execute(std::wstring_view sql, const std::vector<Value>& params = {},
                     StatementOrigin origin = StatementOrigin::Command, bool packRows = false) override;
  std::int64_t ExecuteNative(const std::string& sql, const std::vector<Value>& params,
                             StatementOrigin origin = StatementOrigin::RowsetChange) override;
  int Compile(std::wstring_view sql) override;
  std::int64_t LastInsertRowId() override;
  std::vector<std::string> PrimaryKey(const std::string& table) override;

  sqlite3* Handle() const { return db_; }
  DbError ErrorFromSqlite(int rc, StatementOrigin origin) const;

 protected:
  // Transactions and savepoints, prepared once each.
  void Control(const std::string& sql) override;
  const char* BeginStatement(bool deferred) const override { return deferred ? "BEGIN" : "BEGIN IMMEDIATE"; }

 private:
  SqliteDatabase(sqlite3* db, std::string path) : Database(std::move(path)), db_(db) {}
  // A result's columns as described for a prepared statement, kept while SQLite has not
  // prepared the statement again (a change of the schema).
  struct Described {
    Columns cols;  // shared with the results read
    std::vector<VKind> kinds;
    std::vector<bool> textFromValues;
    int reprepares = -1;
    std::uint64_t schemaChanges = 0;  // the connection's count when it was described
  };
  struct Cached {
    RewrittenSql rw;
    sqlite3_stmt* stmt = nullptr;  // single-statement texts only
    Described described;
    // A select of columns whose condition is the constant false ("WHERE 1 = 0", how an empty
    // recordset to add rows to is opened): once described, answered without running it.
    bool alwaysEmpty = false;
    bool liftsNothing = false;  // its text, run without values, was read and has no literal to lift
    std::uint64_t used = 0;  // when it was used last (the connection's count of statements)
  };
  // The statement kept for `sql`, marked used, or null.
  Cached* Find(std::wstring_view sql);
  Cached& Prepare(std::wstring_view sql);
  // Room for a new statement: the least recently used half is given back when the cache is full.
  void MakeRoom();
  sqlite3_stmt* PrepareNative(const std::string& sql, StatementOrigin origin);
  void Bind(sqlite3_stmt* stmt, int index, const Value& v, StatementOrigin origin);
  // Runs a bound statement to its end; the first result of a text (columns described, types
  // found, rows read) goes into `out`, with its changes counted by the caller.
  // `described`, when given, keeps the columns' description for the statement's next runs.
  void RunStatement(sqlite3_stmt* stmt, ExecResult& out, StatementOrigin origin, bool packRows,
                    Described* described = nullptr);
  // The result of rows read (or none) with the columns described: packed or not, expressions
  // typed by their values.
  static void FinishResult(Columns cols, const std::vector<bool>& textFromValues, bool packRows, ExecResult& out);
  // The types the statement gives its untyped columns (expressions); true where a text
  // column's length comes from its values.
  std::vector<bool> TypeExpressions(sqlite3_stmt* stmt, std::vector<ColumnInfo>& cols, std::vector<VKind>& kinds);
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
  // The tables' and views' columns as the rewriter and the typing ask for them, kept until the
  // schema changes.
  SchemaSource& Catalogue();

  sqlite3* db_ = nullptr;
  // The texts and blobs bound to the running statement, by marker: SQLite reads them in
  // place until the statement's bindings are cleared after the run.
  std::vector<std::string> bound_;
  // The date each marker's buffer holds as text (NaN: none), so that a date bound again unchanged
  // is not written out again.
  std::vector<double> boundDates_;
  void ReleaseBound(sqlite3_stmt* stmt);
  // Found by the text as given, without a copy of it.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::wstring_view s) const { return std::hash<std::wstring_view>{}(s); }
  };
  std::unordered_map<std::wstring, Cached, TextHash, std::equal_to<>> cache_;
  std::pair<const std::wstring, Cached>* last_ = nullptr;  // the entry used last
  std::uint64_t uses_ = 0;
  std::uint64_t schemaChanges_ = 0;  // changes of the schema made through this connection
  LiftedForms forms_;  // of the texts whose literals were lifted last
  std::unordered_map<std::string, sqlite3_stmt*> nativeCache_;
  std::unordered_map<std::string, std::vector<std::string>> keys_;
  std::unordered_map<std::string, std::vector<ColumnType>> expressionTypes_;
  std::unique_ptr<SchemaSource> catalogue_;
};

// Registers the SQL Server functions, the case-insensitive collation and the LIKE matcher
// on a connection.
void RegisterFunctions(sqlite3* db);

}  // namespace platform::ado
