#pragma once
// A database of its own on the PostgreSQL server that libpq's environment names (PGHOST, PGPORT,
// PGUSER, PGDATABASE: the database the others are made from), made afresh and dropped, with any
// connection still open to it, when the object goes: for tests and benchmarks.
#include <string>

namespace testdb {

class ServerDatabase {
 public:
  // Raises std::runtime_error when the server does not answer or refuses.
  explicit ServerDatabase(const std::string& stem);
  ~ServerDatabase();
  ServerDatabase(const ServerDatabase&) = delete;
  ServerDatabase& operator=(const ServerDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  // Its libpq connection URI (what libpq's environment gives left out).
  std::string Uri() const { return "postgresql:///" + m_name; }
  // Whether the server answers; `why` says what failed when it does not.
  static bool Reachable(std::string& why);
  // Drops it now (the destructor does when this was not called); false with `why` when it fails.
  bool Drop(std::string& why);

 private:
  std::string m_name;
  bool m_dropped = false;
};

}  // namespace testdb
