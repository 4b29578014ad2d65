#pragma once
// The product database of one test, on the engine the test pass runs against: an SQLite file in
// the test's folder, or, in the pass labelled "postgresql" (the environment variable
// VANTOR_TEST_ENGINE=postgresql, which that pass's tests carry), a database of its own on the
// PostgreSQL server that libpq's environment names (PGHOST, PGPORT, PGUSER, PGDATABASE: the
// database the others are made from), made afresh and dropped with its connections after the
// test (server_database.h). Where no server answers, that pass's tests are skipped with the reason.
#include <memory>
#include <string>
#include <vector>

#include "testing/support/server_database.h"

namespace testdb {

// Whether the running test pass is the PostgreSQL one.
bool OnPostgres();

// The statements of a trigger that refuses a change, written in SQLite's form
//   CREATE TRIGGER name BEFORE INSERT|UPDATE|DELETE ON table [FOR EACH ROW] [WHEN condition]
//   BEGIN SELECT RAISE(ABORT, 'message'); END
// for the engine of the test pass: on PostgreSQL a trigger function raising the message as an
// integrity violation, as SQLite's RAISE(ABORT) is one.
std::vector<std::wstring> RefusingTrigger(const std::wstring& sqlite);

class Database {
 public:
  // `folder/file` on SQLite; on PostgreSQL a database named after `file` and a number.
  Database(const std::string& folder, const std::string& file = "vantor.db");
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // What the program's --db and the connection string's Data Source take: the file's path or
  // the database's URI.
  const std::string& Source() const { return m_source; }
  std::wstring WideSource() const;
  // "Data Source=...", with `options` (";Busy Timeout=100", say) after it.
  std::wstring ConnectionString(const std::wstring& options = L"") const;

 private:
  std::string m_source;
  std::unique_ptr<ServerDatabase> m_server;  // on PostgreSQL
};

}  // namespace testdb
