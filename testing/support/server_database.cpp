#include "testing/support/server_database.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <memory>
#include <random>
#include <stdexcept>

namespace testdb {
namespace {

struct ConnectionFree {
  void operator()(PGconn* c) const { PQfinish(c); }
};
using Connection = std::unique_ptr<PGconn, ConnectionFree>;

// A connection to the server's database that the others are made from.
Connection Maintenance(std::string& error) {
  Connection c(PQconnectdb("connect_timeout=10"));
  if (!c || PQstatus(c.get()) != CONNECTION_OK) {
    error = c ? PQerrorMessage(c.get()) : "out of memory";
    return nullptr;
  }
  return c;
}

bool Run(PGconn* c, const std::string& sql, std::string& error) {
  PGresult* r = PQexec(c, sql.c_str());
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  if (!ok) error = sql + ": " + PQresultErrorMessage(r);
  PQclear(r);
  return ok;
}

}  // namespace

bool ServerDatabase::Reachable(std::string& why) { return Maintenance(why) != nullptr; }

ServerDatabase::ServerDatabase(const std::string& stem) {
  static std::atomic<int> counter{0};
  std::random_device random;
  std::string safe;
  for (char c : stem) safe += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
  m_name = "vxtest_" + safe + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
           std::to_string(random() % 100000);
  std::string error;
  Connection c = Maintenance(error);
  if (!c) throw std::runtime_error("no PostgreSQL server: " + error);
  if (!Run(c.get(), "CREATE DATABASE \"" + m_name + "\"", error)) throw std::runtime_error(error);
}

ServerDatabase::~ServerDatabase() {
  std::string why;
  Drop(why);
}

bool ServerDatabase::Drop(std::string& why) {
  if (m_dropped) return true;
  m_dropped = true;
  Connection c = Maintenance(why);
  if (c && Run(c.get(), "DROP DATABASE IF EXISTS \"" + m_name + "\" WITH (FORCE)", why)) return true;
  why = "the database " + m_name + " was not dropped: " + why;
  return false;
}

}  // namespace testdb
