#pragma once
// The product database of one test, on the engine the test pass runs against: an SQLite file in
// the test's folder, or, in the pass labelled "postgresql" (the environment variable
// VANTOR_TEST_ENGINE=postgresql, which that pass's tests carry), a database of its own on the
// PostgreSQL server that libpq's environment names (PGHOST, PGPORT, PGUSER, PGDATABASE: the
// database the others are made from), made afresh and dropped with its connections after the
// test. Where no server answers, that pass's tests are skipped with the reason.
#include <string>

namespace testdb {

// Whether the running test pass is the PostgreSQL one.
bool OnPostgres();

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
  std::string m_name;  // on PostgreSQL
};

}  // namespace testdb
