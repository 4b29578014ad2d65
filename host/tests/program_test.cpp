// The `vantor` program as a person runs it: the database it opens or creates, the table report,
// what it refuses, and its help.
#include "host/tests/program_fixture.h"

#include <sys/stat.h>

#include "host/schema.h"

namespace program_test {
namespace {

TEST_F(Program, CreatesTheDatabaseAndReportsItsTables) {
  Result first = RunProgram("--db " + db);
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_NE(first.out.find("kd_JobLog: 0"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("kd_User: 1"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("Wersja schematu: "), std::string::npos);
  Result again = RunProgram("--db " + db);
  EXPECT_EQ(again.status, 0);
  EXPECT_NE(again.out.find("kd_User: 1"), std::string::npos);
}

TEST_F(Program, ADamagedFileGetsAClearErrorAndIsLeftAsItWas) {
  const std::string garbage = "to nie jest baza danych\n";
  FILE* file = std::fopen(db.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(garbage.data(), 1, garbage.size(), file);
  std::fclose(file);
  Result damaged = RunProgram("--db " + db);
  EXPECT_EQ(damaged.status, 1);
  // The program's words first, the database's own on a line of their own.
  EXPECT_EQ(damaged.out.rfind("vantor: nie można otworzyć bazy danych " + db + " (błąd 0x", 0), 0u) << damaged.out;
  EXPECT_NE(damaged.out.find(")\nSzczegóły: file is not a database\n"), std::string::npos) << damaged.out;
  file = std::fopen(db.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::string kept(64, '\0');
  kept.resize(std::fread(kept.data(), 1, kept.size(), file));
  std::fclose(file);
  EXPECT_EQ(kept, garbage);
}

TEST_F(Program, ANewDatabaseIsCreatedOnlyInAnExistingFolder) {
  const std::string nowhere = db + "-nowhere";
  Result typo = RunProgram("--db " + nowhere + "/sub/x.db");
  EXPECT_EQ(typo.status, 1);
  EXPECT_NE(typo.out.find("vantor: nie ma folderu " + nowhere + "/sub"), std::string::npos) << typo.out;
  EXPECT_FALSE(Exists(nowhere));
  // An empty file is not a database: left as it is.
  FILE* file = std::fopen(db.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  Result empty = RunProgram("--db " + db);
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("jest pusty"), std::string::npos) << empty.out;
  struct stat st {};
  ASSERT_EQ(stat(db.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(RunProgram("--db /tmp").status, 1);  // a folder
  // Without --db: the default database in the home folder that HOME names (as for run.sh), the
  // one folder that is made when missing.
  const std::string home = folder + "/home";
  ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
  Result report = RunAs("HOME=" + home + " ", RegistryFile(), "");
  EXPECT_EQ(report.status, 0) << report.out;
  EXPECT_NE(report.out.find("Baza danych: " + home + "/.local/share/vantor/vantor.db\n"), std::string::npos)
      << report.out;
  EXPECT_TRUE(Exists(home + "/.local/share/vantor/vantor.db"));
}

// A reading command opens the database read-only: it works on a file that cannot be written, in
// a folder that cannot be written, and never changes the database (not even its schema).
TEST_F(Program, ReadingCommandsWorkOnAReadOnlyDatabase) {
  // The other user reaches the database through the test's folder and keeps its registry in a
  // folder it may write.
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  const std::string other = folder + "/other";
  ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
  ASSERT_EQ(chmod(other.c_str(), 0777), 0);
  const std::string ro = db + "-ro";
  ASSERT_EQ(mkdir(ro.c_str(), 0755), 0);
  const std::string file = ro + "/vantor.db";
  ASSERT_EQ(RunProgram("--db " + file).status, 0);
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
  // root writes anyway: the program then runs without root's capabilities, to which the file is
  // read-only while the build tree (perhaps the owner's alone) stays readable.
  const std::string as = getuid() == 0 ? "setpriv --bounding-set=-all --inh-caps=-all " : "";
  const std::string registry = other + "/registry";
  Result log = RunAs(as, registry, "--db " + file + " log");
  EXPECT_EQ(log.status, 0) << log.out;
  EXPECT_NE(log.out.find("Brak zapisanych zadań."), std::string::npos) << log.out;
  Result report = RunAs(as, registry, "--db " + file);
  EXPECT_EQ(report.status, 1) << report.out;
  EXPECT_NE(report.out.find("vantor: nie można otworzyć bazy danych " + file +
                            ": brak uprawnień do zmiany bazy danych (błąd 0x80040E09)\nSzczegóły: "),
            std::string::npos)
      << report.out;
  chmod(ro.c_str(), 0755);  // for the removal of the test's folder by a user other than root
}

// An older database: a reading command leaves it as it is; the program upgrades it and tells, once,
// the rows it kept although they break a key it added.
TEST_F(Program, ReadingCommandsLeaveAnOlderSchemaAsItIsAndTheUpgradeTellsTheRowsItKept) {
  CoInitialize(nullptr);
  {
    _ConnectionPtr cn(__uuidof(Connection));
    cn->Open(_bstr_t(("Provider=SQLite;Data Source=" + db).c_str()), _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
    host::UpgradeSchemaTo(cn, 15);
    cn->Execute(_bstr_t(L"INSERT INTO au__Auction (au_Id, au_RegId) VALUES (7, 3)"), nullptr, kCmdTextNoRecords);
  }
  CoUninitialize();
  Result log = RunProgram("--db " + db + " log");
  EXPECT_EQ(log.status, 1) << log.out;
  EXPECT_NE(log.out.find("Szczegóły: Baza danych ma schemat w wersji 15, starszej"), std::string::npos) << log.out;
  Result report = RunProgram("--db " + db);
  EXPECT_EQ(report.status, 0) << report.out;
  EXPECT_NE(report.out.find("Wersja schematu: " + std::to_string(host::CurrentSchemaVersion())), std::string::npos);
  EXPECT_NE(report.out.find("vantor: Uaktualnienie schematu bazy danych do wersji 16: aukcje (au__Auction), które "
                            "wskazują konto nieobecne w bazie danych, zostają bez zmian (1): au_Id 7 (au_RegId 3).\n"),
            std::string::npos)
      << report.out;
  EXPECT_NE(report.out.find("au__Auction: 1"), std::string::npos) << report.out;
  EXPECT_EQ(RunProgram("--db " + db).out.find("Uaktualnienie"), std::string::npos);
}

TEST_F(Program, AddsTheReferenceProviderWhereProviderOneIsMissing) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  Result report = RunProgram("--db " + db);
  EXPECT_NE(report.out.find("sl_ServiceProvider: 1"), std::string::npos) << report.out;
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    _RecordsetPtr rs = h.Connection()->Execute(_bstr_t(L"SELECT ss_Name, ss_ProgId FROM sl_ServiceProvider WHERE ss_Id = 1"),
                                               nullptr, adCmdText);
    ASSERT_FALSE(rs->GetadoEOF());
    const std::wstring name = static_cast<const wchar_t*>(_bstr_t(rs->GetFields()->GetItem(L"ss_Name")->GetValue()));
    EXPECT_EQ(name, L"Serwis wzorcowy");
    EXPECT_EQ(name.find(L"test"), std::wstring::npos);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(rs->GetFields()->GetItem(L"ss_ProgId")->GetValue()))),
              L"Reference.SiteConnector");
  }
  CoUninitialize();
  // A provider 1 of its own is left as it is.
  RunSql(db, {L"UPDATE sl_ServiceProvider SET ss_Name = N'Własny', ss_ProgId = 'Own.Connector' WHERE ss_Id = 1"});
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  RunSql(db, {L"DELETE FROM sl_ServiceProvider WHERE ss_Id = 1 AND ss_Name = N'Własny' AND ss_ProgId = 'Own.Connector'"});
  EXPECT_NE(RunProgram("--db " + db).out.find("sl_ServiceProvider: 1"), std::string::npos);
}

TEST_F(Program, HelpAndBadArguments) {
  Result help = RunProgram("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--db PLIK"), std::string::npos);
  EXPECT_NE(help.out.find("--registry PLIK"), std::string::npos);
  EXPECT_NE(help.out.find("locks"), std::string::npos);
  EXPECT_NE(help.out.find("unlock"), std::string::npos);
  for (const char* command : {"  receive ", "  send ", "  params [--check [--force]]", "--account N",
                              "Kod wyjścia: 0", "zakończyło się błędem (dziennik zadań: vantor log)"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  EXPECT_EQ(RunProgram("--db").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " --bogus").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " extra words").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " frobnicate").status, 2);
}

}  // namespace
}  // namespace program_test
