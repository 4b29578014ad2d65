#pragma once
// The PostgreSQL engine: a database on a server that several workstations share, reached through
// libpq by a connection URI. Statements in SQL Server's dialect are rewritten (pg_rewriter.h) and
// run with the layer's objects of the schema "vx" (pg_support.h), which the engine installs when
// it opens a database that lacks them. Result columns are named and typed as SQL Server names and
// types them: a table's columns by the names and types its CREATE TABLE declared (kept as the
// columns' comments), expressions by the statement (column_types.h).
//
// Where the engine differs from the SQLite file's in how it works, the callers see the same:
// - a statement the caller runs inside a transaction runs under a savepoint of its own, so that a
//   refused statement (a duplicate key, say) leaves the transaction going, as on SQL Server;
// - an insert into the object lock table never waits for another workstation's uncommitted insert
//   of the same key: it is refused at once, as a duplicate;
// - a lock wait ends after the connection's time-out ("Busy Timeout") with DB_E_ABORTLIMITREACHED;
// - GETDATE() is the workstation's time (the platform clock's), as on the SQLite file.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ado/database.h"
#include "platform/ado/pg_rewriter.h"

struct pg_conn;
struct pg_result;

namespace platform::ado {

class PgCatalogue;

class PgDatabase final : public Database {
 public:
  // Connects to the database that `uri` names (a libpq connection URI; libpq fills in what it
  // leaves out from its own environment and password file).
  static std::shared_ptr<PgDatabase> Open(const std::string& uri, int timeoutMs = 10000, bool readOnly = false);
  ~PgDatabase() override;

  ExecResult Execute(std::wstring_view sql, const std::vector<Value>& params = {},
                     StatementOrigin origin = StatementOrigin::Command, bool packRows = false) override;
  std::int64_t ExecuteNative(const std::string& sql, const std::vector<Value>& params,
                             StatementOrigin origin = StatementOrigin::RowsetChange) override;
  int Compile(std::wstring_view sql) override;
  std::int64_t LastInsertRowId() override;
  std::vector<std::string> PrimaryKey(const std::string& table) override;

 protected:
  void Control(const std::string& sql) override;
  // A read of several statements sees one state of the database, as SQLite's shared lock gives it.
  const char* BeginStatement(bool deferred) const override {
    return deferred ? "BEGIN ISOLATION LEVEL REPEATABLE READ" : "BEGIN";
  }

 private:
  PgDatabase(pg_conn* conn, std::string uri, int timeoutMs);
  struct Bound;
  struct Result;
  const PgRewrittenSql& Rewritten(std::wstring_view sql);
  // Runs one statement with its values; the result stays with the caller.
  Result Run(const std::string& sql, const Bound& bound, StatementOrigin origin, bool cache);
  // Runs the prepared statement `name` under the statement's savepoint, the savepoint, the
  // statement and the savepoint's release sent at once (libpq's pipeline): a result that says
  // whether the savepoint was set (not when the connection cannot take a pipeline) and released.
  Result RunUnderSavepoint(const std::string& name, const Bound& bound);
  // Runs one statement of a text into `out`: under its own savepoint inside a transaction
  // (`protect`), once more when its marker types or its prepared form must change.
  void RunStatement(const PgStatement& st, const Bound& bound, StatementOrigin origin, ExecResult& out,
                    bool packRows);
  // The run with its one retry: a marker left untyped gets its value's type, a statement
  // prepared before another workstation changed the schema is prepared again.
  Result RunRetried(const PgStatement& st, const Bound& given, StatementOrigin origin, bool protect, bool cache);
  // Ends the statement's savepoint and restores the lock wait; a failure is rolled back to the
  // savepoint and raised.
  void SettleStatement(const PgStatement& st, Result& r, StatementOrigin origin, bool protect);
  void ReadResult(pg_result* res, const PgStatement* st, ExecResult& out, bool packRows);
  void NameViewColumns(const PgStatement& st);
  void SchemaChanged();
  void Simple(const std::string& sql, StatementOrigin origin = StatementOrigin::Command);
  DbError ErrorOf(pg_result* res, StatementOrigin origin, bool noWait = false) const;
  void EnsureSupport(bool readOnly);

  pg_conn* conn_ = nullptr;
  int timeoutMs_;
  std::unique_ptr<PgCatalogue> catalogue_;
  std::unordered_map<std::wstring, PgRewrittenSql> rewrites_;
  // Prepared statements by their text (and the types their values were given, when inferring
  // them was refused).
  std::unordered_map<std::string, std::string> prepared_;
  int preparedCount_ = 0;
  std::unordered_map<std::wstring, std::vector<ColumnType>> expressionTypes_;
};

}  // namespace platform::ado
