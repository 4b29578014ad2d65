// The program's seller-zone commands against the seller-zone test service: zone config, account
// zone and zone sync.
#include "host/tests/program_fixture.h"

namespace program_test {
namespace {

TEST_F(Program, ZoneConfigReadsAndWritesTheDemoAccountsPageSettings) {
  testing_net::Certificates certificates;
  const std::string accounts = certificates.Dir() + "/accounts";
  WriteFile(accounts, "7000001 1 VANTOR-DEMO\n");
  ZoneService service(certificates, accounts);
  ASSERT_GT(service.Port(), 0);
  const std::string zone = "--db " + db + " --ca " + certificates.CaFile() + " zone config";

  Result read = RunProgram(zone + " --host 127.0.0.1:" + std::to_string(service.Port()));
  ASSERT_EQ(read.status, 0) << read.out;
  EXPECT_NE(read.out.find("Ustawienia strony w Strefie Vantor (konto kd_demo, nr 1):"), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("  StatusesServiceActive    tak\n"), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("  ShowDocumentAddressForm  tak\n"), std::string::npos);
  EXPECT_NE(read.out.find("  ShowDeliveryAddressForm  tak\n"), std::string::npos);
  EXPECT_NE(read.out.find("  Description              \n"), std::string::npos);
  EXPECT_NE(read.out.find("  WWW                      \n"), std::string::npos);

  // The host stays in the settings; the account is made once.
  Result written = RunProgram(zone + " --description 'Sklep O'\\''Briena, Łódź' --www http://sklep.example/");
  ASSERT_EQ(written.status, 0) << written.out;
  EXPECT_NE(written.out.find("  Description              Sklep O'Briena, Łódź\n"), std::string::npos) << written.out;
  EXPECT_NE(written.out.find("  WWW                      http://sklep.example/\n"), std::string::npos);
  EXPECT_NE(written.out.find("(konto kd_demo, nr 1)"), std::string::npos);
  Result again = RunProgram(zone);
  EXPECT_NE(again.out.find("Sklep O'Briena, Łódź"), std::string::npos) << again.out;

  service.Stop();
  Result stopped = RunProgram(zone);
  EXPECT_EQ(stopped.status, 1) << stopped.out;
  EXPECT_NE(stopped.out.find("(błąd 0x80044518)\nSzczegóły: Błąd połączenia HTTP ze Strefą Vantor.\n"), std::string::npos)
      << stopped.out;

  EXPECT_EQ(RunProgram("--db " + db + " zone").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " zone sync --www http://x.example/").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " zone config --colour red").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " --ca /nonexistent/ca.pem zone config").status, 2);
}

TEST_F(Program, AccountZoneReadsTheServersSettingsAndWritesThemThroughTheSettingsDialog) {
  testing_net::Certificates certificates;
  const std::string accounts = certificates.Dir() + "/accounts";
  WriteFile(accounts, "7000001 1 VANTOR-DEMO\n");
  ZoneService service(certificates, accounts);
  ASSERT_GT(service.Port(), 0);
  const std::string ca = "--db " + db + " --ca " + certificates.CaFile();
  ASSERT_EQ(RunProgram(ca + " zone config --host 127.0.0.1:" + std::to_string(service.Port())).status, 0);
  Result shown = RunProgram(ca + " account zone 1");
  ASSERT_EQ(shown.status, 0) << shown.out;
  EXPECT_NE(shown.out.find("Strefa Vantor konta 1:\n  active: tak\n"), std::string::npos) << shown.out;
  Result refused = RunProgram(ca + " account zone 1 --set www=sklep.example");
  EXPECT_EQ(refused.status, 1) << refused.out;
  Result written = RunProgram(ca + " account zone 1 --set description=Nowa --set www=https://nowa.example/");
  ASSERT_EQ(written.status, 0) << written.out;
  EXPECT_NE(written.out.find("Zapisano ustawienia."), std::string::npos) << written.out;
  Result server = RunProgram(ca + " zone config");
  EXPECT_NE(server.out.find("  Description              Nowa\n"), std::string::npos) << server.out;
  EXPECT_NE(server.out.find("  WWW                      https://nowa.example/\n"), std::string::npos) << server.out;
  Result account = RunProgram("--db " + db + " account 1");
  EXPECT_NE(account.out.find("  wizytówka: Nowa\n"), std::string::npos) << account.out;
  EXPECT_EQ(RunProgram(ca + " account zone 9").status, 1);
  EXPECT_EQ(RunProgram(ca + " account zone 1 --set colour=red").status, 2);
}

// The demonstration's seller-zone synchronisation as run.sh runs it: the first run closes and
// opens pages and sends their data, the next one has nothing to do; once buyers entered data on
// the service (kept in its state between runs), the next run brings it into the transactions.
TEST_F(Program, ZoneSyncClosesOpensAndFillsTheDemoAccountsPagesOnceAndReceivesWhatBuyersEntered) {
  testing_net::Certificates certificates;
  const std::string state = certificates.Dir() + "/zone-state";
  auto service = std::make_unique<ZoneService>(certificates, ZONE_DEMO_ACCOUNTS, state);
  ASSERT_GT(service->Port(), 0);
  const std::string zone = "--db " + db + " --ca " + certificates.CaFile() + " zone sync";
  Result first = RunProgram(zone + " --host 127.0.0.1:" + std::to_string(service->Port()));
  ASSERT_EQ(first.status, 0) << first.out;
  for (const char* line :
       {"Konto demonstracyjne dostało przykładowe transakcje.\n", "Rozpoczęto zamykanie stron\n",
        "Konto: kd_demo na Serwis demonstracyjny\n", "Próba zamknięcia strony już nieistniejącej:\r\n",
        "Zamknięto stron dla transakcji usuniętych: 2 z 2\n", "Zamknięto stron nieużywanych: 1 z 1\n",
        "Zamknięto starych stron: 1 z 1\n", "Utworzono nowych stron: 4 z 4\n", "Odebrano niepotwierdzonych danych: 0\n",
        "== Zamknięto stron: 3\n", "== Otworzono nowych stron: 4\n", "Uaktualniono stron: 4 z 4\n",
        "Nie wprowadzono żadnych zmian na stronach statusów od ostatniej synchronizacji\n",
        "Synchronizacja ze Strefą Vantor zakończona.\n"})
    EXPECT_NE(first.out.find(line), std::string::npos) << line << "\n" << first.out;
  EXPECT_EQ(first.out.find("nie powiodło się"), std::string::npos) << first.out;

  Result second = RunProgram(zone);
  ASSERT_EQ(second.status, 0) << second.out;
  for (const char* line : {"Nie ma stron do zamknięcia dla transakcji usuniętych\n", "Nie ma stron nieużywanych do zamknięcia\n",
                           "Nie ma starych stron do zamknięcia\n", "Nie ma nowych stron do otwarcia\n"})
    EXPECT_NE(second.out.find(line), std::string::npos) << line << "\n" << second.out;
  EXPECT_EQ(second.out.find("przykładowe"), std::string::npos);
  EXPECT_EQ(second.out.find("Zamykanie strony"), std::string::npos);
  EXPECT_NE(second.out.find("Nie ma danych do uaktualnienia\n"), std::string::npos) << second.out;

  // Buyers enter their data between two runs of the service.
  service.reset();
  Result entered = RunCommand(std::string(ZONE_SERVICE_PROGRAM) + " --state " + state + " --enter-buyer-data 7000001");
  ASSERT_EQ(entered.status, 0) << entered.out;
  service = std::make_unique<ZoneService>(certificates, ZONE_DEMO_ACCOUNTS, state);
  ASSERT_GT(service->Port(), 0);
  Result third = RunProgram(zone + " --host 127.0.0.1:" + std::to_string(service->Port()));
  ASSERT_EQ(third.status, 0) << third.out;
  EXPECT_NE(third.out.find("Zaktualizowano 4 z 4 transakcji\n"), std::string::npos) << third.out;
  EXPECT_EQ(third.out.find("nie powiodło się"), std::string::npos) << third.out;
}

// Ctrl+C during a run, and a run whose every call fails: both end with exit 1 (the cancel said as
// such, the failure in the jobs' logs), never with the run's success.
TEST_F(Program, ZoneSyncCancelledOrWithEveryCallFailedExits1) {
  testing_net::Certificates certificates;
  auto service = std::make_unique<ZoneService>(certificates, ZONE_DEMO_ACCOUNTS);
  ASSERT_GT(service->Port(), 0);
  const std::string zone = "--db " + db + " --ca " + certificates.CaFile() + " zone sync";
  // The service stops answering; the user presses Ctrl+C while the first job waits for it.
  service->Signal(SIGSTOP);
  RunningProgram running(zone + " --host 127.0.0.1:" + std::to_string(service->Port()));
  ASSERT_TRUE(running.WaitFor("Konto: kd_demo na Serwis demonstracyjny\n"));
  running.Signal(SIGINT);
  service->Signal(SIGCONT);
  Result cancelled = running.Finish();
  EXPECT_EQ(cancelled.status, 1) << cancelled.out;
  EXPECT_NE(cancelled.out.find("Użytkownik przerwał działanie operacji"), std::string::npos) << cancelled.out;
  EXPECT_NE(cancelled.out.find("vantor: synchronizację ze Strefą Vantor przerwano\n"), std::string::npos)
      << cancelled.out;
  EXPECT_EQ(cancelled.out.find("Synchronizacja ze Strefą Vantor zakończona."), std::string::npos) << cancelled.out;

  // The service is gone: every call fails.
  service.reset();
  Result failed = RunProgram(zone);
  EXPECT_EQ(failed.status, 1) << failed.out;
  EXPECT_NE(failed.out.find("== otwieranie nowych stron zakończone błędem"), std::string::npos) << failed.out;
  EXPECT_NE(failed.out.find("vantor: co najmniej jedno zadanie zakończyło się błędem"), std::string::npos)
      << failed.out;
}

}  // namespace
}  // namespace program_test
