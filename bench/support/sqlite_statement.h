#pragma once
// A prepared SQLite statement for the benchmarks' hand-written baselines: bound, run and reset in
// place; any failure ends the program with SQLite's message.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace benchsupport {

struct Statement {
  sqlite3_stmt* s = nullptr;
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "prepare: %s\n%s\n", sqlite3_errmsg(db), sql);
      std::exit(1);
    }
  }
  ~Statement() { sqlite3_finalize(s); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  // Runs it; whether it gave a row (the row stays readable until the next Run or Reset).
  bool Run() {
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      std::fprintf(stderr, "step: %s\n%s\n", sqlite3_errmsg(sqlite3_db_handle(s)), sqlite3_sql(s));
      std::exit(1);
    }
    return rc == SQLITE_ROW;
  }
  Statement& Reset() {
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return *this;
  }
  Statement& Int(int i, long long v) {
    sqlite3_bind_int64(s, i, v);
    return *this;
  }
  Statement& Text(int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Real(int i, double v) {
    sqlite3_bind_double(s, i, v);
    return *this;
  }
  Statement& Null(int i) {
    sqlite3_bind_null(s, i);
    return *this;
  }
  long long Long(int column) const { return sqlite3_column_int64(s, column); }
  bool IsNull(int column) const { return sqlite3_column_type(s, column) == SQLITE_NULL; }
  std::string TextAt(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, column))) : std::string();
  }
};

}  // namespace benchsupport
