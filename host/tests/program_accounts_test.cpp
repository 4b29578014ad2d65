// The program's accounts and the sites' data: account, site dictionaries and templates.
#include "host/tests/program_fixture.h"

namespace program_test {
namespace {

TEST_F(Program, ShowsAnAccountAndASiteDictionary) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  RunSql(db, {
      L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId) VALUES (10, 1, 1), (11, 2, 1)",
      L"INSERT INTO st_Country (sc_Id, sc_Name, sc_Code, sc_Ident, sc_SiteId, sc_SvcProvId) VALUES "
      L"(1, N'Polska', 'PL', 1, 1, 1), (2, N'Czechy', 'CZ', 2, 1, 1), (3, N'Inna', 'XX', 3, 2, 1)",
      L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username, reg_Accesskey, reg_Name) "
      L"VALUES (5, 1, 9007199254740993, 'jan', 'ak1:2E3B33', N'Sklep Jana')",
      L"INSERT INTO reg_Data (rd_Id, rd_RegId, rd_Name, rd_vvarchar, rd_vint) VALUES (1, 5, 'kolor', N'zielony', NULL), "
      L"(2, 5, 'limit', NULL, 10)",
      L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId, rs_Name) VALUES (1, 5, 10, N'pierwszy')",
  });
  Result account = RunProgram("--db " + db + " account 5");
  EXPECT_EQ(account.status, 0) << account.out;
  for (const char* line : {"Konto 5\n", "  login: jan\n", "  serwis: Serwis wzorcowy (dostawca 1)\n",
                           "  numer użytkownika w serwisie: 9007199254740993\n", "  nazwa: Sklep Jana\n",
                           "  aktywne: tak\n", "Wartości własne (2):\n", "  kolor = 'zielony'\n", "  limit = 10\n",
                           "Serwisy (1):\n", "  1\tpierwszy\n"})
    EXPECT_NE(account.out.find(line), std::string::npos) << line << account.out;
  // The password is never shown, in either form.
  EXPECT_EQ(account.out.find("ak1:"), std::string::npos);
  EXPECT_EQ(account.out.find("tai"), std::string::npos);
  Result missing = RunProgram("--db " + db + " account 6");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("vantor: nie ma konta o numerze 6"), std::string::npos) << missing.out;
  EXPECT_EQ(RunProgram("--db " + db + " account x").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " account").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " account 5 6").status, 2);

  Result countries = RunProgram("--db " + db + " site 10 0");
  EXPECT_EQ(countries.status, 0) << countries.out;
  EXPECT_NE(countries.out.find("Serwis 10 (numer w serwisie 1, dostawca 1), słownik 0 (kraje): 2\n"), std::string::npos)
      << countries.out;
  const size_t czech = countries.out.find("\tCzechy\tCZ"), poland = countries.out.find("\tPolska\tPL");
  EXPECT_NE(czech, std::string::npos) << countries.out;
  EXPECT_LT(czech, poland);
  EXPECT_EQ(countries.out.find("Inna"), std::string::npos);
  Result accounts = RunProgram("--db " + db + " site 10 9");
  EXPECT_NE(accounts.out.find("  5\tjan\t"), std::string::npos) << accounts.out;
  // Position 0 is the top level of the categories, the site's and an account's own.
  RunSql(db, {L"INSERT INTO st_Category (cat_Id, cat_CatId, cat_Name, cat_ParentId, cat_SiteId, cat_RegId) VALUES "
              L"(1, 100, N'Antyki', 0, 10, NULL), (2, 101, N'Meble', 100, 10, NULL), (3, 200, N'Moje', 0, 10, 5)"});
  Result top = RunProgram("--db " + db + " site 10 6 0");
  EXPECT_EQ(top.status, 0) << top.out;
  EXPECT_NE(top.out.find(": 1\n"), std::string::npos) << top.out;
  EXPECT_NE(top.out.find("  100\tAntyki\t1\n"), std::string::npos) << top.out;
  Result shop = RunProgram("--db " + db + " site 10 12 0 5");
  EXPECT_EQ(shop.status, 0) << shop.out;
  EXPECT_NE(shop.out.find("  200\tMoje\t0\n"), std::string::npos) << shop.out;
  EXPECT_EQ(RunProgram("--db " + db + " site 10 12 0 0").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " site 10 6 -1").status, 2);
  Result kind = RunProgram("--db " + db + " site 10 99");
  EXPECT_EQ(kind.status, 1);
  EXPECT_NE(kind.out.find("vantor: serwis nie ma słownika rodzaju 99"), std::string::npos) << kind.out;
  EXPECT_EQ(RunProgram("--db " + db + " site 10 7").status, 1);
  EXPECT_EQ(RunProgram("--db " + db + " site 12 0").status, 1);
  EXPECT_EQ(RunProgram("--db " + db + " site 10 kraje").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " site 10").status, 2);
}

// The account commands: the list, adding through the reference connector, the questions and
// their switches, and the account's seller-zone settings through the settings dialog.
TEST_F(Program, AccountsAreListedAddedDeactivatedAndDeleted) {
  Result added = RunProgram("--db " + db + " account add 1 --login jan --password tajne --site 1:Pierwsza");
  ASSERT_EQ(added.status, 0) << added.out;
  EXPECT_NE(added.out.find("Dodano konto 1.\n"), std::string::npos) << added.out;
  Result list = RunProgram("--db " + db + " accounts");
  ASSERT_EQ(list.status, 0) << list.out;
  EXPECT_NE(list.out.find("  1\tjan\tSerwis wzorcowy\ttak\ttak\t"), std::string::npos) << list.out;
  Result cancelled = RunProgram("--db " + db + " account add 1 --cancel");
  EXPECT_EQ(cancelled.status, 1);
  EXPECT_NE(cancelled.out.find("Nie dodano konta."), std::string::npos) << cancelled.out;
  Result deactivated = RunProgram("--db " + db + " account deactivate 1 --yes");
  ASSERT_EQ(deactivated.status, 0) << deactivated.out;
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("  1\tjan\tSerwis wzorcowy\tnie\t"), std::string::npos);
  Result kept = RunProgram("--db " + db + " account delete 1 --no");
  EXPECT_EQ(kept.status, 0);
  EXPECT_NE(kept.out.find("Bez zmian."), std::string::npos) << kept.out;
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("Konta (1):"), std::string::npos);
  // An account that an auction names is kept, with everything it has.
  RunSql(db, {L"INSERT INTO au__Auction (au_Id, au_RegId, au_Title) VALUES (1, 1, N'Kubek')"});
  Result named = RunProgram("--db " + db + " account delete 1 --yes");
  EXPECT_EQ(named.status, 1) << named.out;
  EXPECT_NE(named.out.find("vantor: nie usunięto konta 1 (błąd 0x80040F1C)\nSzczegóły: Naruszenie integralności "
                           "danych: obiekt jest używany przez inne dane"),
            std::string::npos)
      << named.out;
  EXPECT_NE(named.out.find("Konto 1 ma w bazie danych aukcje (także szablony): 1, transakcje: 0"), std::string::npos)
      << named.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM reg_Site WHERE rs_RegId = 1"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_Right >= 65536 AND ur_Right < 131072"), 3);
  RunSql(db, {L"DELETE FROM au__Auction"});
  // Without records it goes, with its rights.
  ASSERT_EQ(RunProgram("--db " + db + " account delete 1 --yes").status, 0);
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("Konta (0):"), std::string::npos);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_Right >= 65536 AND ur_Right < 131072"), 0);
  // A login longer than its column is refused by the connector's dialog: nothing is stored.
  Result tooLong = RunProgram("--db " + db + " account add 1 --login " + std::string(150, 'x') +
                              " --password tajne --site 1:Pierwsza");
  EXPECT_EQ(tooLong.status, 1) << tooLong.out;
  EXPECT_NE(tooLong.out.find("Konto nie zostało zapisane: Login ma 150 znaków, a pole reg_Username mieści 100.\n"),
            std::string::npos)
      << tooLong.out;
  EXPECT_NE(tooLong.out.find("Nie dodano konta."), std::string::npos) << tooLong.out;
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("Konta (0):"), std::string::npos);
  // Bad words.
  EXPECT_EQ(RunProgram("--db " + db + " account delete 99 --yes").status, 1);
  EXPECT_EQ(RunProgram("--db " + db + " account add x").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " account activate 1 --yes --no").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " account add 1 --site Pierwsza").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " accounts 1").status, 2);
  Result unknownProvider = RunProgram("--db " + db + " account add 9");
  EXPECT_EQ(unknownProvider.status, 1);
  EXPECT_NE(unknownProvider.out.find("dostawca 9"), std::string::npos) << unknownProvider.out;
}

TEST_F(ProgramFiles, TemplatesAreListedAndTheChoosersListPrints) {
  Result list = RunProgram("--db " + db + " templates");
  ASSERT_EQ(list.status, 0) << list.out;
  EXPECT_NE(list.out.find("Porcelana: Kubek porcelanowy <limitowany> & spodek"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("[dowolne konto]"), std::string::npos) << list.out;
  // The demonstration's templates are given once.
  EXPECT_EQ(RunProgram("--db " + db + " templates").out, list.out);

  Result printed = RunProgram("--db " + db + " templates print 1");
  ASSERT_EQ(printed.status, 0) << printed.out;
  // The count takes the noun's Polish form: 1 szablon, 2 to 4 szablony, 0 and 5 on szablonów.
  EXPECT_NE(printed.out.find("(3 szablony)"), std::string::npos) << printed.out;
  const std::pair<const char*, const char*> counts[] = {{"1 2", "(1 szablon)"}, {"2", "(2 szablony)"}, {"77", "(0 szablonów)"}};
  for (const auto& [words, shown] : counts) {
    Result counted = RunProgram("--db " + db + " templates print " + words);
    EXPECT_NE(counted.out.find(shown), std::string::npos) << words << ": " << counted.out;
  }
  const size_t at = printed.out.find(folder + "/spool/job-");
  ASSERT_NE(at, std::string::npos) << printed.out;
  const std::string job = ReadFile(printed.out.substr(at, printed.out.find('\n', at) - at));
  EXPECT_EQ(job.rfind("header: &b&D\nfooter: Vantor, Kordel&bStrona &p z &P\n\n", 0), 0u) << job;
  EXPECT_NE(job.find("Lista szablonów aukcji"), std::string::npos);
  EXPECT_NE(job.find("Kubek porcelanowy &lt;limitowany&gt; &amp; spodek"), std::string::npos);
  // A site without templates prints the header alone.
  Result empty = RunProgram("--db " + db + " templates print 77");
  EXPECT_EQ(empty.status, 0) << empty.out;
  EXPECT_NE(empty.out.find("(0 szablonów)"), std::string::npos) << empty.out;
  EXPECT_EQ(RunProgram("--db " + db + " templates print").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " templates print abc").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " templates drukuj").status, 2);
}

}  // namespace
}  // namespace program_test
