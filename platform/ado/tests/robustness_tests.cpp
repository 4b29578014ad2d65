// Hostile and broken input: token soup through the rewriter and the database, and random
// criteria texts through the filter parser. Every input ends in a result or a DbException.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "platform/ado/database.h"
#include "platform/ado/rowset.h"
#include "platform/ado/sql_rewriter.h"

#include "testing/support/temp_folder.h"

using namespace platform::ado;

namespace {
std::wstring Soup(std::mt19937& gen, const std::vector<std::wstring>& pieces, int count) {
  std::wstring out;
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int i = 0; i < count; ++i) {
    out += pieces[pick(gen)];
    if (gen() % 3) out += L' ';
  }
  return out;
}
}  // namespace

TEST(AdoRobustness, TokenSoupNeverCrashesTheRewriterOrTheDatabase) {
  testtemp::TempFolder folder("vx_ado_soup");
  {
    auto db = Database::Open(folder.Database("s.db"));
    db->Execute(L"CREATE TABLE t (a int, b nvarchar(10))");
    db->Execute(L"INSERT INTO t VALUES (1, 'x')");
    const std::vector<std::wstring> pieces = {
        L"SELECT", L"TOP", L"1", L"(", L")", L"+", L"-", L"*", L"a", L"b", L"t", L"FROM", L"WHERE", L"=", L"'s'",
        L"N'ż'", L"'", L"[", L"]", L"\"", L"CASE", L"WHEN", L"THEN", L"END", L"CONVERT", L"int", L",", L"?", L"?=",
        L"ISNULL", L"WITH", L"(NOLOCK)", L"--", L"/*", L"*/", L";", L"SET", L"NOCOUNT", L"ON", L"BEGIN", L"TRAN",
        L"CREATE", L"TABLE", L"IDENTITY(1,1)", L"DATEADD", L"day", L"@@IDENTITY", L"LEFT", L"AS", L"x", L"=",
        L"\x00e9", L"\xFFFF", L"0x1F", L"1e9", L".5", L"dbo", L"."};
    std::mt19937 gen(20240607);
    int succeeded = 0;
    for (int round = 0; round < 3000; ++round) {
      std::wstring sql = Soup(gen, pieces, 1 + static_cast<int>(gen() % 14));
      RewrittenSql rw;
      ASSERT_NO_THROW(rw = RewriteSql(sql)) << std::string(sql.begin(), sql.end());
      std::vector<Value> params(static_cast<std::size_t>(rw.paramCount), Value::Int(VKind::I4, 1));
      try {
        db->Execute(sql, params);
        ++succeeded;
      } catch (const DbException& e) {
        EXPECT_LT(e.error.hr, 0);
        EXPECT_FALSE(e.error.description.empty());
      }
    }
    EXPECT_GT(succeeded, 0);
  }
}

TEST(AdoRobustness, RandomCriteriaAreParsedOrRefused) {
  std::vector<FieldDef> f(2);
  f[0].name = L"id";
  f[0].type = 3;
  f[1].name = L"name";
  f[1].type = 202;
  f[1].size = 10;
  auto rs = Rowset::Fabricate(f);
  rs->AddNew();
  rs->Put(0, Value::Int(VKind::I4, 1));
  rs->Update();
  const std::vector<std::wstring> pieces = {L"id", L"name", L"[name]", L"=", L"<>", L"<", L">=", L"LIKE", L"'a*'",
                                            L"'", L"#2024-01-01#", L"#", L"1", L"-2.5", L"NULL", L"AND", L"OR", L"(",
                                            L")", L"IS", L"NOT", L"\"q\"", L"[", L"x"};
  std::mt19937 gen(77);
  for (int round = 0; round < 5000; ++round) {
    std::wstring c = Soup(gen, pieces, 1 + static_cast<int>(gen() % 9));
    try {
      rs->SetFilter(c);
      EXPECT_LE(rs->RecordCount(), 1);
    } catch (const DbException& e) {
      EXPECT_LT(e.error.hr, 0);
    }
  }
}
