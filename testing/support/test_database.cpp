#include "testing/support/test_database.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <stdexcept>

#include "platform/base/utf8.h"

namespace testdb {
namespace {

// In the PostgreSQL pass, every test of the program is skipped when no server answers.
class ServerCheck : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string why;
    if (OnPostgres() && !ServerDatabase::Reachable(why))
      GTEST_SKIP() << "no PostgreSQL server (PGHOST, PGPORT, PGUSER, PGDATABASE): " << why;
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
  m_server = std::make_unique<ServerDatabase>(file);
  m_source = m_server->Uri();
}

Database::~Database() {
  std::string why;
  if (m_server && !m_server->Drop(why)) ADD_FAILURE() << why;
}

std::wstring Database::WideSource() const { return platform::utf8::ToWide(m_source); }

std::wstring Database::ConnectionString(const std::wstring& options) const {
  return L"Data Source=" + WideSource() + options;
}

}  // namespace testdb
