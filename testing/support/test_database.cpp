#include "testing/support/test_database.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <regex>
#include <stdexcept>

#include "platform/base/utf8.h"

namespace testdb {
namespace {

struct ConnectionFree {
  void operator()(PGconn* c) const { PQfinish(c); }
};
using Connection = std::unique_ptr<PGconn, ConnectionFree>;

// A connection to the server's database that the tests' databases are made from.
Connection Maintenance(std::string& error) {
  Connection c(PQconnectdb("connect_timeout=10"));
  if (!c || PQstatus(c.get()) != CONNECTION_OK) {
    error = c ? PQerrorMessage(c.get()) : "out of memory";
    return nullptr;
  }
  return c;
}

void Run(PGconn* c, const std::string& sql) {
  PGresult* r = PQexec(c, sql.c_str());
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  const std::string message = ok ? "" : PQresultErrorMessage(r);
  PQclear(r);
  if (!ok) throw std::runtime_error(sql + ": " + message);
}

// In the PostgreSQL pass, every test of the program is skipped when no server answers.
class ServerCheck : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!OnPostgres()) return;
    std::string error;
    if (!Maintenance(error)) GTEST_SKIP() << "no PostgreSQL server (PGHOST, PGPORT, PGUSER, PGDATABASE): " << error;
  }
};
const auto* const kServerCheck = ::testing::AddGlobalTestEnvironment(new ServerCheck);

}  // namespace

bool OnPostgres() {
  const char* engine = std::getenv("VANTOR_TEST_ENGINE");
  return engine && std::string(engine) == "postgresql";
}

std::vector<std::wstring> RefusingTrigger(const std::wstring& sqlite) {
  if (!OnPostgres()) return {sqlite};
  static const std::wregex form(
      L"CREATE TRIGGER (\\w+) BEFORE (INSERT|UPDATE|DELETE) ON (\\w+)(?: FOR EACH ROW)?(?: WHEN (.*?))? BEGIN "
      L"SELECT RAISE\\(ABORT, '([^']*)'\\); END");
  std::wsmatch m;
  if (!std::regex_match(sqlite, m, form)) throw std::runtime_error("not a refusing trigger");
  const std::wstring name = m[1], function = m[1].str() + L"_refuses";
  return {L"CREATE FUNCTION " + function + L"() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN RAISE EXCEPTION USING "
              L"MESSAGE = ''" + m[5].str() + L"'', ERRCODE = ''23000''; END'",
          L"CREATE TRIGGER " + name + L" BEFORE " + m[2].str() + L" ON " + m[3].str() + L" FOR EACH ROW" +
              (m[4].matched ? L" WHEN (" + m[4].str() + L")" : L"") + L" EXECUTE FUNCTION " + function + L"()"};
}

Database::Database(const std::string& folder, const std::string& file) {
  (void)kServerCheck;
  if (!OnPostgres()) {
    m_source = folder + "/" + file;
    return;
  }
  static std::atomic<int> counter{0};
  std::random_device random;
  std::string stem;
  for (char c : file) stem += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
  m_name = "vxtest_" + stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
           std::to_string(random() % 100000);
  std::string error;
  Connection c = Maintenance(error);
  if (!c) throw std::runtime_error("no PostgreSQL server: " + error);
  Run(c.get(), "CREATE DATABASE \"" + m_name + "\"");
  m_source = "postgresql:///" + m_name;
}

Database::~Database() {
  if (m_name.empty()) return;
  std::string error;
  Connection c = Maintenance(error);
  if (!c) {
    ADD_FAILURE() << "the database " << m_name << " was not dropped: " << error;
    return;
  }
  try {
    Run(c.get(), "DROP DATABASE IF EXISTS \"" + m_name + "\" WITH (FORCE)");
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}

std::wstring Database::WideSource() const { return platform::utf8::ToWide(m_source); }

std::wstring Database::ConnectionString(const std::wstring& options) const {
  return L"Data Source=" + WideSource() + options;
}

}  // namespace testdb
