// The program's synchronisation with the auction sites: demo, receive, send, params and the round.
#include "host/tests/program_fixture.h"

#include <fstream>

#include <nlohmann/json.hpp>

namespace program_test {
namespace {

TEST_F(Program, ReceiveAndSendRunTheirJobsOverTheAccounts) {
  Result received = RunProgram("--db " + db + " receive");
  EXPECT_EQ(received.status, 0) << received.out;
  for (const char* line : {"Rozpoczęto odbieranie aukcji", "Rozpoczęto odbieranie komentarzy",
                           "Zakończono: odbieranie aukcji", "Zakończono: odbieranie klientów",
                           "Odbieranie danych z serwisów aukcyjnych zakończone."})
    EXPECT_NE(received.out.find(line), std::string::npos) << line << "\n" << received.out;
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.status, 0) << sent.out;
  EXPECT_NE(sent.out.find("Rozpoczęto wysyłanie aukcji"), std::string::npos) << sent.out;
  EXPECT_NE(sent.out.find("Zakończono: wysyłanie komentarzy"), std::string::npos) << sent.out;
  // The jobs are in the log, ended, and the receive lock is gone.
  Result log = RunProgram("--db " + db + " log");
  EXPECT_NE(log.out.find("odbieranie transakcji"), std::string::npos) << log.out;
  EXPECT_NE(log.out.find("wysyłanie komentarzy"), std::string::npos) << log.out;
  Result locks = RunProgram("--db " + db + " locks");
  EXPECT_EQ(locks.out.find("726"), std::string::npos) << locks.out;
  // Words they do not take are refused, and so is an account the database does not hold.
  EXPECT_EQ(RunProgram("--db " + db + " receive all").status, 2);
  Result unknown = RunProgram("--db " + db + " --account 7 receive");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("nie ma konta serwisu aukcyjnego o numerze 7"), std::string::npos) << unknown.out;
  EXPECT_EQ(RunProgram("--db " + db + " --account x receive").status, 2);
}

// The demonstration database: two accounts of the reference service on its site, a prepared
// auction on each, a purchase of the site with a comment to give, and the site's working copy
// beside the database, which receive and send then work on.
TEST_F(Program, DemoSeedsTwoAccountsAndTheSitesWorkingCopyThatReceiveAndSendWorkOn) {
  Result demo = RunProgram("--db " + db + " demo");
  ASSERT_EQ(demo.status, 0) << demo.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_AuctionsPrepared WHERE au_RegId IN (1, 2)"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(DISTINCT au_RegId) FROM vw_AuctionsPrepared"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared WHERE au_RegId = 1 AND au_Number = '7100003' "
                          L"AND cs_ExtServiceId = 8100003 AND cs_Nick = 'zosia_maluje'"),
            1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);

  // Sent straight away: both auctions and the comment go, once; not while the site's copy cannot
  // be read (one byte that is no UTF-8): then the sessions fail, the jobs end with the error, the
  // program exits 1, and neither the site nor the database changes.
  {
    const std::string other = temp->File("send.db");
    Result seeded = RunProgram("--db " + other + " demo");
    EXPECT_EQ(seeded.status, 0) << seeded.out;
    const std::string otherCopy = other + ".reference-site.json";
    const std::string good = FileText(otherCopy);
    const size_t name = good.find("Wzorcowo");
    ASSERT_NE(name, std::string::npos);
    const std::string bad = good.substr(0, name) + "\xff" + good.substr(name);
    { std::ofstream(otherCopy, std::ios::binary | std::ios::trunc) << bad; }
    const LONG auctionsBefore = QueryLong(other, L"SELECT COUNT(*) FROM au__Auction");
    for (const char* command : {" send", " receive"}) {
      Result unreachable = RunProgram("--db " + other + command);
      EXPECT_EQ(unreachable.status, 1) << command << "\n" << unreachable.out;
      EXPECT_NE(unreachable.out.find("Ostatnia operacja nie powiodła się.\r\nPlik danych serwisu wzorcowego " + otherCopy),
                std::string::npos)
          << command << "\n" << unreachable.out;
      EXPECT_NE(unreachable.out.find("zakończone błędem"), std::string::npos) << command << "\n" << unreachable.out;
      EXPECT_NE(unreachable.out.find("vantor: co najmniej jedno zadanie zakończyło się błędem"), std::string::npos)
          << unreachable.out;
      EXPECT_EQ(unreachable.out.find("Wysłano"), std::string::npos) << unreachable.out;
    }
    EXPECT_EQ(FileText(otherCopy), bad);
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 2);
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM au__Auction"), auctionsBefore);
    { std::ofstream(otherCopy, std::ios::binary | std::ios::trunc) << good; }
    Result sent = RunProgram("--db " + other + " send");
    EXPECT_EQ(sent.status, 0) << sent.out;
    for (const char* line : {"Wysłano aukcji: 2", "Wysłano komentarzy: 1"})
      EXPECT_NE(sent.out.find(line), std::string::npos) << line << "\n" << sent.out;
    EXPECT_EQ(sent.out.find("łąd"), std::string::npos) << sent.out;
    Result again = RunProgram("--db " + other + " send");
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(again.out.find("Wysłano"), std::string::npos) << again.out;
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM au__Auction WHERE au_State = 3 AND au_Number IS NOT NULL"), 2);
    EXPECT_EQ(QueryLong(other, L"SELECT COUNT(*) FROM tr_Comment WHERE tc_SentDate IS NOT NULL"), 1);
  }
  const std::string copy = db + ".reference-site.json";
  EXPECT_EQ(FileText(copy), FileText(VANTOR_REFERENCE_SITE_DATA));
  Result list = RunProgram("--db " + db + " accounts");
  EXPECT_NE(list.out.find("Konta (2):"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  1\tsklep_wzorcowy\tSerwis wzorcowy\ttak\ttak\t"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  2\tbez_sklepu\tSerwis wzorcowy\ttak\tnie\t"), std::string::npos) << list.out;
  Result account = RunProgram("--db " + db + " account 1");
  EXPECT_NE(account.out.find("Serwisy (1):\n  1\tWzorcowo"), std::string::npos) << account.out;

  Result received = RunProgram("--db " + db + " receive");
  EXPECT_EQ(received.status, 0) << received.out;
  for (const char* line : {"Rozpoczęto odbieranie aukcji", "Zakończono: odbieranie aukcji",
                           "Zakończono: odbieranie komentarzy", "Odbieranie danych z serwisów aukcyjnych zakończone."})
    EXPECT_NE(received.out.find(line), std::string::npos) << line << "\n" << received.out;
  EXPECT_EQ(received.out.find("serwisu wzorcowego"), std::string::npos) << received.out;
  EXPECT_EQ(received.out.find("łąd"), std::string::npos) << received.out;
  // The receive found the seeded rows: the six auctions of each account plus the two prepared,
  // the site's three buyers and four purchases, the seeded ones among them once.
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction"), 14);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Number = '7100003' AND au_RegId = 1"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM cs__Customer"), 3);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM cs__Customer WHERE cs_ExtServiceId = 8100003"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction"), 4);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction INNER JOIN cs__Customer ON cs_Id = tr_CustomerId "
                          L"WHERE cs_ExtServiceId = 8100003"),
            1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.status, 0) << sent.out;
  for (const char* line : {"Rozpoczęto wysyłanie aukcji", "Wysyłanie danych na konto sklep_wzorcowy na Wzorcowo",
                           "Wysyłanie danych na konto bez_sklepu na Wzorcowo", "Wysłano aukcji: 2",
                           "Wysłano komentarzy: 1", "Zakończono: wysyłanie komentarzy",
                           "Wysyłanie danych na serwisy aukcyjne zakończone."})
    EXPECT_NE(sent.out.find(line), std::string::npos) << line << "\n" << sent.out;
  EXPECT_EQ(RunProgram("--db " + db + " send").out.find("Wysłano"), std::string::npos);

  // Where accounts exist nothing changes, not even an edited working copy.
  { std::ofstream(copy, std::ios::trunc) << "{\"sites\": 5}"; }
  Result again = RunProgram("--db " + db + " demo");
  EXPECT_EQ(again.status, 2) << again.out;
  EXPECT_NE(again.out.find("ma już konta"), std::string::npos) << again.out;
  EXPECT_EQ(FileText(copy), "{\"sites\": 5}");
  EXPECT_NE(RunProgram("--db " + db + " accounts").out.find("Konta (2):"), std::string::npos);
  // The sessions read that copy: a broken one is told, and the receive fails.
  Result broken = RunProgram("--db " + db + " receive");
  EXPECT_EQ(broken.status, 1) << broken.out;
  EXPECT_NE(broken.out.find("nie można wczytać danych serwisu wzorcowego " + copy), std::string::npos) << broken.out;
  // A copy that is gone is made again from the repository's file.
  std::remove(copy.c_str());
  EXPECT_EQ(RunProgram("--db " + db + " receive").status, 0);
  EXPECT_EQ(FileText(copy), FileText(VANTOR_REFERENCE_SITE_DATA));
  EXPECT_EQ(RunProgram("--db " + db + " demo extra").status, 2);
}

// Two accounts of the reference provider on its site with prepared auctions, and a comment to
// give on a sold auction of the first.
TEST_F(Program, SendSendsThePreparedAuctionsAndCommentsAndThenNothing) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  RunSql(db, {L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (5, 1, 1, N'Wzorcowo')",
              L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey) VALUES "
              L"(3, 1, 'sprzedawca', 'x'), (4, 1, 'kupiec', 'x')",
              L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 3, 5), (2, 4, 5)",
              L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (1, N'ania', 4242, 1)",
              L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_RegId, au_SiteId, au_SvcProvId, au_State) "
              L"VALUES (1, NULL, N'Kubek', 3, 5, 1, 1), (2, NULL, N'Talerz', 4, 5, 1, 1), "
              L"(3, '1003', N'Trwa', 3, 5, 1, 3), (10, '1001', N'Sprzedana', 3, 5, 1, 4)",
              L"INSERT INTO tr__Transaction (tr_Id, tr_AuctionId, tr_CustomerId) VALUES (20, 10, 1)",
              L"INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_SentComment, tc_SentScore) VALUES (1, 20, N'Dziękuję', 1)"});
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.status, 0) << sent.out;
  for (const char* line : {"Wysyłanie danych na konto sprzedawca na Wzorcowo", "Wysyłanie danych na konto kupiec na Wzorcowo",
                           "Wysłano aukcji: 2", "Wysłano komentarzy: 1"})
    EXPECT_NE(sent.out.find(line), std::string::npos) << line << "\n" << sent.out;
  Result again = RunProgram("--db " + db + " send");
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(again.out.find("Wysłano aukcji"), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("Wysłano komentarzy"), std::string::npos) << again.out;

  // Chosen auctions of either account; one that is not prepared is named.
  RunSql(db, {L"UPDATE au__Auction SET au_State = 1 WHERE au_Id IN (1, 2)"});
  Result chosen = RunProgram("--db " + db + " send --auction 2 --auction 3 --auction 1");
  EXPECT_EQ(chosen.status, 0) << chosen.out;
  // The job ends with a warning, so without its summary: both went.
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    _RecordsetPtr rs = h.Connection()->Execute(
        _bstr_t(L"SELECT COUNT(*) FROM au__Auction WHERE au_State = 3 AND au_Number IS NOT NULL"), nullptr, adCmdText);
    EXPECT_EQ(static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()), 3);
  }
  CoUninitialize();
  EXPECT_NE(chosen.out.find("Nie wysłano aukcji o identyfikatorach: 3."), std::string::npos) << chosen.out;
  EXPECT_EQ(chosen.out.find("komentarzy"), std::string::npos) << chosen.out;
  EXPECT_EQ(RunProgram("--db " + db + " send --auction 0").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " send --auction").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " send 5").status, 2);
}

TEST_F(Program, ParamsTakesTheVersionCheckAndItsForce) {
  EXPECT_EQ(RunProgram("--db " + db + " params").status, 0);
  EXPECT_EQ(RunProgram("--db " + db + " params --check --force").status, 0);
  Result alone = RunProgram("--db " + db + " params --force");
  EXPECT_EQ(alone.status, 2);
  EXPECT_NE(alone.out.find("--force działa tylko z --check"), std::string::npos) << alone.out;
  EXPECT_EQ(RunProgram("--db " + db + " params --all").status, 2);
}

// The synchronisation round as run.sh runs it with no arguments, on a fresh database and against
// the seller-zone test service: it makes the demonstration, then stores and sends what demo,
// receive, send and zone sync do one after the other, and sums it up; a second round changes no
// count; a job that ends with an error makes the round exit 1, the steps after it still run.
TEST_F(Program, ARoundDoesWhatDemoReceiveSendAndZoneSyncDoAndASecondChangesNoCount) {
  testing_net::Certificates certificates;
  const std::string ca = " --ca " + certificates.CaFile();
  // What the round stores and sends: the received tables, then accounts, prepared auctions and
  // comments, comments given, transactions with a page, pages to close and messages to buyers.
  auto rows = [](const std::string& path) {
    std::vector<LONG> rows = ReceivedRows(path);
    for (const wchar_t* sql :
         {L"SELECT COUNT(*) FROM reg__Registration", L"SELECT COUNT(*) FROM vw_AuctionsPrepared",
          L"SELECT COUNT(*) FROM vw_CommentsPrepared", L"SELECT COUNT(*) FROM tr_Comment WHERE tc_SentDate IS NOT NULL",
          L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_StatusPageId IS NOT NULL",
          L"SELECT COUNT(*) FROM tr_TransStatus", L"SELECT COUNT(*) FROM kd_MessageOutbox"})
      rows.push_back(QueryLong(path, sql));
    return rows;
  };
  const std::string steps = temp->File("steps.db");
  {
    ZoneService service(certificates, ZONE_DEMO_ACCOUNTS);
    ASSERT_GT(service.Port(), 0);
    for (const char* command : {" demo", " receive", " send"}) {
      Result step = RunProgram("--db " + steps + command);
      ASSERT_EQ(step.status, 0) << command << "\n" << step.out;
    }
    Result zone = RunProgram("--db " + steps + ca + " zone sync --host 127.0.0.1:" + std::to_string(service.Port()));
    ASSERT_EQ(zone.status, 0) << zone.out;
  }

  ZoneService service(certificates, ZONE_DEMO_ACCOUNTS, certificates.Dir() + "/zone-state");
  ASSERT_GT(service.Port(), 0);
  const std::string round = "--db " + db + ca + " round";
  Result first = RunProgram(round + " --host 127.0.0.1:" + std::to_string(service.Port()));
  ASSERT_EQ(first.status, 0) << first.out;
  for (const char* line :
       {"Dodano konto 1 (sklep_wzorcowy, ze sklepem).\n", "Dodano konto 2 (bez_sklepu, bez sklepu).\n",
        "Dodano konto demonstracyjne Strefy Vantor 3 (kd_demo).\n", "Konto demonstracyjne dostało przykładowe transakcje.\n",
        "== Odebrano aukcji: 12\n", "Odbieranie danych z serwisów aukcyjnych zakończone.\n", "== Wysłano aukcji: 2\n",
        "Wysyłanie danych na serwisy aukcyjne zakończone.\n", "Konto: kd_demo na Wzorcowo\n",
        "Utworzono nowych stron: 4 z 4\n", "Synchronizacja ze Strefą Vantor zakończona.\n",
        "Podsumowanie:\n"
        "  odebrano 12 aukcji, 3 transakcje, 6 klientów, 2 komentarze\n"
        "  wysłano 2 aukcje, 1 komentarz\n"
        "  Strefa Vantor: zamknięto 3 strony, otwarto 4 strony, uaktualniono 4 strony, wpisano dane kupujących do 0 "
        "transakcji\n"
        "  w bazie: 3 konta, 18 aukcji, 11 klientów, 13 transakcji\n"
        "Runda synchronizacji zakończona.\n"})
    EXPECT_NE(first.out.find(line), std::string::npos) << line << "\n" << first.out;
  EXPECT_EQ(first.out.find("zakończone błędem"), std::string::npos) << first.out;
  const std::vector<LONG> stored = rows(db);
  EXPECT_EQ(stored, rows(steps));
  EXPECT_EQ(std::vector<LONG>(stored.begin() + 6, stored.begin() + 11), (std::vector<LONG>{3, 0, 0, 3, 4}))
      << "accounts, nothing left prepared, comments given, pages";

  // The service's address stays in the connector's settings.
  Result second = RunProgram(round);
  ASSERT_EQ(second.status, 0) << second.out;
  EXPECT_EQ(second.out.find("Dodano"), std::string::npos) << second.out;
  for (const char* line : {"  wysłano 0 aukcji, 0 komentarzy\n",
                           "  Strefa Vantor: zamknięto 0 stron, otwarto 0 stron, uaktualniono 0 stron, wpisano dane "
                           "kupujących do 0 transakcji\n",
                           "  w bazie: 3 konta, 18 aukcji, 11 klientów, 13 transakcji\n"})
    EXPECT_NE(second.out.find(line), std::string::npos) << line << "\n" << second.out;
  EXPECT_EQ(rows(db), stored);

  // The reference site cannot be read: receive and send end with the error, the seller-zone
  // synchronisation runs all the same, and the round exits 1 after its summary.
  const std::string copy = db + ".reference-site.json";
  { std::ofstream(copy, std::ios::trunc) << "{\"sites\": 5}"; }
  Result failed = RunProgram(round);
  EXPECT_EQ(failed.status, 1) << failed.out;
  for (const char* line : {"== odbieranie aukcji zakończone błędem", "== wysyłanie aukcji zakończone błędem",
                           "Synchronizacja ze Strefą Vantor zakończona.\n", "Runda synchronizacji zakończona.\n",
                           "vantor: co najmniej jedno zadanie zakończyło się błędem"})
    EXPECT_NE(failed.out.find(line), std::string::npos) << line << "\n" << failed.out;
  EXPECT_EQ(rows(db), stored);
  EXPECT_EQ(RunProgram(round + " extra").status, 2);
}

TEST_F(ProgramReceive, StoresTheReferenceSitesDataAndASecondReceiveChangesNoCount) {
  Result received = RunProgram("--db " + db + " receive");
  EXPECT_EQ(received.status, 0) << received.out;
  for (const char* line : {"Pobieranie danych z konta sprzedawca na Wzorcowo", "== Odebrano aukcji: 6",
                           "== Odebrano transakcji: 4", "== Pobrano klientów: 3", "== Odebrano komentarzy: 3"})
    EXPECT_NE(received.out.find(line), std::string::npos) << line << "\n" << received.out;
  EXPECT_EQ(received.out.find("błęd"), std::string::npos) << received.out;
  // Six auctions (five images, three distinct), three buyers, four purchases, three commented.
  const std::vector<LONG> rows = ReceivedRows(db);
  EXPECT_EQ(rows, (std::vector<LONG>{6, 5, 3, 3, 4, 3}));
  Result report = RunProgram("--db " + db);
  for (const char* line : {"au__Auction: 6", "cs__Customer: 3", "tr__Transaction: 4"})
    EXPECT_NE(report.out.find(line), std::string::npos) << line << "\n" << report.out;
  Result again = RunProgram("--db " + db + " receive");
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(ReceivedRows(db), rows);
}

TEST_F(ProgramReceive, AReceiveKilledMidwayLeavesASoundDatabaseAndItsLockAndARerunStoresEachRecordOnce) {
  // The reference site ends the program after its sixth record: two purchases with their buyers
  // and auctions are through.
  std::string data = ReadFile(VANTOR_REFERENCE_SITE_DATA);
  ASSERT_EQ(data.rfind("{", 0), 0u);
  Write("vantor.db.reference-site.json", "{\"kill_after\": 6," + data.substr(1));
  Result killed = RunProgram("--db " + db + " receive");
  EXPECT_EQ(killed.status, 128 + SIGKILL) << killed.out;  // as the shell tells a killed program
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction"), 2);
  // Nothing is half stored: every purchase has its position, every buyer the address.
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction WHERE NOT EXISTS (SELECT 1 FROM tr_Position WHERE "
                          L"tp_TransId = tr_Id)"),
            0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM cs__Customer WHERE cs_Street IS NULL OR cs_City IS NULL"), 0);
  EXPECT_EQ(std::wstring(_bstr_t(QueryValue(db, L"PRAGMA integrity_check"))), L"ok");

  ExpectRefusedUntilUnlocked(db, "receive", 11);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr__Transaction"), 2);

  Write("vantor.db.reference-site.json", data);
  Result rerun = RunProgram("--db " + db + " receive");
  EXPECT_EQ(rerun.status, 0) << rerun.out;
  EXPECT_NE(rerun.out.find("== Odebrano transakcji: 2"), std::string::npos) << rerun.out;
  EXPECT_EQ(ReceivedRows(db), (std::vector<LONG>{6, 5, 3, 3, 4, 3}));
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

TEST_F(ProgramReceive, WhatIsSentComesBackWithTheNextReceiveOnItsRows) {
  ASSERT_EQ(RunProgram("--db " + db + " receive").status, 0);
  PrepareSends(db, {9001});
  const LONG auctions = QueryLong(db, L"SELECT COUNT(*) FROM au__Auction");
  Result sent = RunProgram("--db " + db + " send");
  EXPECT_EQ(sent.status, 0) << sent.out;
  for (const char* line : {"Wysyłanie danych na konto sprzedawca na Wzorcowo", "Wysłano aukcji: 1", "Wysłano komentarzy: 1"})
    EXPECT_NE(sent.out.find(line), std::string::npos) << line << "\n" << sent.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id = 9001 AND au_State = 3 AND au_Number = '7100007'"), 1);
  Result again = RunProgram("--db " + db + " send");
  EXPECT_EQ(again.out.find("Wysłano"), std::string::npos) << again.out;

  Result received = RunProgram("--db " + db + " receive");
  EXPECT_EQ(received.status, 0) << received.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction"), auctions);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id = 9001 AND au_State = 3 AND au_Number = '7100007'"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM tr_Comment WHERE tc_SentExternalId = 9200006"), 1);
}

TEST_F(ProgramReceive, ASendKilledMidwayLeavesEveryRecordWrittenBackWholeOrStillPrepared) {
  ASSERT_EQ(RunProgram("--db " + db + " receive").status, 0);
  PrepareSends(db, {9001, 9002, 9003});
  // The reference site ends the program when the second auction reached it, before it is saved.
  const std::string data = ReadFile(db + ".reference-site.json");
  ASSERT_EQ(data.rfind("{", 0), 0u);
  Write("vantor.db.reference-site.json", "{\"kill_after_sends\": 2," + data.substr(1));
  Result killed = RunProgram("--db " + db + " send");
  EXPECT_EQ(killed.status, 128 + SIGKILL) << killed.out;
  EXPECT_EQ(std::wstring(_bstr_t(QueryValue(db, L"PRAGMA integrity_check"))), L"ok");
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id = 9001 AND au_State = 3 AND au_Number IS NOT NULL"), 1);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id IN (9002, 9003) AND au_State = 1 AND au_Number IS NULL"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);

  Write("vantor.db.reference-site.json", data);
  ExpectRefusedUntilUnlocked(db, "send", 12);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 2);
  Result rerun = RunProgram("--db " + db + " send");
  EXPECT_EQ(rerun.status, 0) << rerun.out;
  EXPECT_NE(rerun.out.find("Wysłano aukcji: 2"), std::string::npos) << rerun.out;
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 0);
}

// Two workstations send at once: the second is told that the first is sending and sends nothing,
// so the site holds each record once and no site number is given twice.
TEST_F(ProgramReceive, TwoSendsAtOnceNeverSendARecordTwice) {
  ASSERT_EQ(RunProgram("--db " + db + " receive").status, 0);
  PrepareSends(db, {9001, 9002});
  const std::string copy = db + ".reference-site.json";
  const std::string data = ReadFile(copy);
  ASSERT_EQ(data.rfind("{", 0), 0u);
  // The first stops as its first listing reached the site, before it is written back.
  Write("vantor.db.reference-site.json", "{\"stop_after_sends\": 1," + data.substr(1));
  RunningProgram first("--db " + db + " send");
  ASSERT_TRUE(first.WaitStopped());
  // The second reads what the first listed (so does not stop).
  std::string listed = ReadFile(copy);
  const size_t knob = listed.find("\"stop_after_sends\": 1");
  ASSERT_NE(knob, std::string::npos);
  listed.replace(knob, std::string("\"stop_after_sends\": 1").size(), "\"stop_after_sends\": 0");
  Write("vantor.db.reference-site.json", listed);
  Result second = RunProgram("--db " + db + " send");
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_NE(second.out.find("== Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej."),
            std::string::npos)
      << second.out;
  EXPECT_EQ(second.out.find("Wysłano"), std::string::npos) << second.out;
  first.Signal(SIGCONT);
  Result done = first.Finish();
  EXPECT_EQ(done.status, 0) << done.out;
  for (const char* line : {"Wysłano aukcji: 2", "Wysłano komentarzy: 1"})
    EXPECT_NE(done.out.find(line), std::string::npos) << line << "\n" << done.out;

  const nlohmann::json site = nlohmann::json::parse(ReadFile(copy));
  std::map<std::string, int> titles, numbers;
  for (const nlohmann::json& sent : site["auctions_sent"]) {
    ++titles[sent["title"].get<std::string>()];
    ++numbers[sent["number"].get<std::string>()];
  }
  EXPECT_EQ(titles, (std::map<std::string, int>{{"Kubek nr 9001", 1}, {"Kubek nr 9002", 1}}));
  EXPECT_EQ(numbers.size(), 2u);
  EXPECT_EQ(site["comment_sent"].size(), 1u);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM au__Auction WHERE au_Id IN (9001, 9002) AND au_State = 3"), 2);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM (SELECT au_Number FROM au__Auction WHERE au_Number IS NOT NULL "
                          L"GROUP BY au_Number HAVING COUNT(*) > 1) AS twice"),
            0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 0);
  EXPECT_EQ(QueryLong(db, L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

TEST_F(ProgramFiles, ParamsChecksAndUpdatesTheReferenceSiteByItsVersions) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  AddReferenceShop(db);
  // The check marks the site: it has no versions yet.
  Result checked = RunProgram("--db " + db + " params --check");
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_NE(checked.out.find("Sprawdzenie wersji parametrów na serwisie Wzorcowo"), std::string::npos) << checked.out;
  EXPECT_TRUE(Exists(db + ".reference-site.json"));
  // The update stores the site's parameters and the shop's categories.
  Result updated = RunProgram("--db " + db + " params");
  EXPECT_EQ(updated.status, 0) << updated.out;
  for (const char* line : {"Aktualizacja parametrów z serwisu Wzorcowo", "Wzorcowo - pobieranie kategorii",
                           "Wzorcowo - zakończono pobieranie i aktualizowanie atrybutów",
                           "Zakończono aktualizację parametrów."})
    EXPECT_NE(updated.out.find(line), std::string::npos) << line << "\n" << updated.out;
  EXPECT_EQ(updated.out.find("Ostatnia operacja nie powiodła się"), std::string::npos) << updated.out;
  Result tree = RunProgram("--db " + db + " site 10 6");
  EXPECT_NE(tree.out.find("Dom i ogród"), std::string::npos) << tree.out;
  Result shop = RunProgram("--db " + db + " site 10 12 9002 5");
  EXPECT_NE(shop.out.find("Wyprzedaż zimowa"), std::string::npos) << shop.out;
  // Current now: the next update takes the shop only.
  Result again = RunProgram("--db " + db + " params");
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(again.out.find("Aktualizacja parametrów z serwisu"), std::string::npos) << again.out;
  // One version changed in the working copy: the check marks the site, the update fetches that kind.
  std::string data = ReadFile(db + ".reference-site.json");
  const std::string form = "\"form\": \"formularz-2026.12\"";
  ASSERT_NE(data.find(form), std::string::npos);
  data.replace(data.find(form), form.size(), "\"form\": \"formularz-2027.01\"");
  Write("vantor.db.reference-site.json", data);
  ASSERT_EQ(RunProgram("--db " + db + " params --check --force").status, 0);
  Result changed = RunProgram("--db " + db + " params");
  EXPECT_NE(changed.out.find("Wzorcowo - pobieranie i aktualizowanie słowników formularza"), std::string::npos)
      << changed.out;
  EXPECT_EQ(changed.out.find("Wzorcowo - pobieranie kategorii"), std::string::npos) << changed.out;
  EXPECT_EQ(changed.out.find("Wzorcowo - pobieranie atrybutów"), std::string::npos) << changed.out;
}

TEST_F(ProgramFiles, AnUpdateKilledMidwayLeavesWholeBatchesAndARerunCompletesIt) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  AddReferenceShop(db);
  ASSERT_EQ(RunProgram("--db " + db + " params --check").status, 0);
  const std::string copy = db + ".reference-site.json";
  const std::string data = ReadFile(copy);
  ASSERT_EQ(data.substr(0, 1), "{");
  // Killed while the regions (kind 3) are asked for: durations to payments are stored already.
  Write("vantor.db.reference-site.json", "{\"kill_at_kind\": 3," + data.substr(1));
  Result killed = RunProgram("--db " + db + " params");
  EXPECT_NE(killed.status, 0) << killed.out;
  EXPECT_EQ(QueryText(db, L"PRAGMA integrity_check"), L"ok");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Duration"), L"3");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Region"), L"0");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Category"), L"0");
  EXPECT_EQ(QueryText(db, L"SELECT st_CategoriesVersion FROM st__Site WHERE st_Id = 10"), L"");
  EXPECT_EQ(QueryText(db, L"SELECT st_FormVersion FROM st__Site WHERE st_Id = 10"), L"");
  // The killed run left its locks: the synchronisation's and the site's edit lock, under which
  // the site would be passed over. Removed, the rerun completes without a row twice.
  Write("vantor.db.reference-site.json", data);
  Result locks = RunProgram("--db " + db + " locks");
  EXPECT_NE(locks.out.find("726"), std::string::npos) << locks.out;
  RunSql(db, {L"DELETE FROM kd_blokada"});
  Result rerun = RunProgram("--db " + db + " params");
  EXPECT_EQ(rerun.status, 0) << rerun.out;
  EXPECT_EQ(rerun.out.find("Ostatnia operacja nie powiodła się"), std::string::npos) << rerun.out;
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Duration"), L"3");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Region"), L"2");
  EXPECT_EQ(QueryText(db, L"SELECT COUNT(*) FROM st_Category"), L"10");
  EXPECT_EQ(QueryText(db, L"SELECT st_FormVersion FROM st__Site WHERE st_Id = 10"), L"formularz-2026.12");
  EXPECT_EQ(QueryText(db, L"PRAGMA integrity_check"), L"ok");
}

}  // namespace
}  // namespace program_test
