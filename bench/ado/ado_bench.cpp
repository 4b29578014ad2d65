// Stores and reads back 100,000 rows through the ADO layer (a parameterised command inside a
// transaction, then a client-side recordset walked field by field) and through the engine's C API
// directly (SQLite's, and libpq's with a prepared statement when a PostgreSQL server answers at
// libpq's environment: PGHOST, PGPORT, PGUSER, PGDATABASE, in a database made for the run), in
// the same run, and prints both times and their ratio for each engine. Each way runs three rounds
// on tables of their own; the best time of each step counts, so that a busy machine shows less.
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/ado/ado.h"
#include "testing/support/server_database.h"

namespace {

constexpr int kRows = 100000;
constexpr int kRounds = 3;

std::string Create(const std::string& table) {
  return "CREATE TABLE " + table + " (id INTEGER PRIMARY KEY, name nvarchar(50), qty int, price money, added datetime)";
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Times {
  double store = 0, read = 0, open = 0;
  long long checksum = 0;
};

Times Direct(sqlite3* db, const std::string& table) {
  Times t;
  sqlite3_exec(db, Create(table).c_str(), nullptr, nullptr, nullptr);
  auto start = std::chrono::steady_clock::now();
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, ("INSERT INTO " + table + " (id, name, qty, price, added) VALUES (?, ?, ?, ?, ?)").c_str(), -1,
                     &ins, nullptr);
  for (int i = 1; i <= kRows; ++i) {
    std::string name = "Przedmiot nr " + std::to_string(i);
    sqlite3_bind_int(ins, 1, i);
    sqlite3_bind_text(ins, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(ins, 3, i % 100);
    sqlite3_bind_double(ins, 4, i * 0.25);
    sqlite3_bind_text(ins, 5, "2024-05-06 07:08:09", -1, SQLITE_STATIC);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  t.store = Seconds(start);
  start = std::chrono::steady_clock::now();
  sqlite3_stmt* sel = nullptr;
  sqlite3_prepare_v2(db, ("SELECT id, name, qty, price, added FROM " + table).c_str(), -1, &sel, nullptr);
  while (sqlite3_step(sel) == SQLITE_ROW) {
    t.checksum += sqlite3_column_int(sel, 0) + sqlite3_column_int(sel, 2);
    t.checksum += sqlite3_column_bytes(sel, 1);
    t.checksum += static_cast<long long>(sqlite3_column_double(sel, 3) * 4);
    t.checksum += sqlite3_column_bytes(sel, 4) > 0;
  }
  sqlite3_finalize(sel);
  t.read = Seconds(start);
  return t;
}

// libpq's own calls: a prepared insert run with text parameters inside a transaction, then one
// result of every row read by PQgetvalue.
void Exec(PGconn* db, const std::string& sql) {
  PGresult* r = PQexec(db, sql.c_str());
  if (PQresultStatus(r) != PGRES_COMMAND_OK) {
    std::fprintf(stderr, "%s: %s", sql.c_str(), PQresultErrorMessage(r));
    std::exit(1);
  }
  PQclear(r);
}

Times DirectPg(PGconn* db, const std::string& table) {
  Times t;
  Exec(db, "CREATE TABLE " + table + " (id integer PRIMARY KEY, name varchar(50), qty integer, price numeric(19,4), "
                                     "added timestamp(3))");
  auto start = std::chrono::steady_clock::now();
  Exec(db, "BEGIN");
  PGresult* prepared = PQprepare(db, table.c_str(),
                                 ("INSERT INTO " + table + " (id, name, qty, price, added) VALUES ($1, $2, $3, $4, $5)").c_str(),
                                 5, nullptr);
  PQclear(prepared);
  for (int i = 1; i <= kRows; ++i) {
    std::string id = std::to_string(i), name = "Przedmiot nr " + std::to_string(i), qty = std::to_string(i % 100);
    char price[32];
    std::snprintf(price, sizeof price, "%.2f", i * 0.25);
    const char* values[] = {id.c_str(), name.c_str(), qty.c_str(), price, "2024-05-06 07:08:09"};
    PGresult* r = PQexecPrepared(db, table.c_str(), 5, values, nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
      std::fprintf(stderr, "insert: %s", PQresultErrorMessage(r));
      std::exit(1);
    }
    PQclear(r);
  }
  Exec(db, "COMMIT");
  t.store = Seconds(start);
  start = std::chrono::steady_clock::now();
  PGresult* r = PQexec(db, ("SELECT id, name, qty, price, added FROM " + table).c_str());
  const int rows = PQntuples(r);
  for (int row = 0; row < rows; ++row) {
    t.checksum += std::atoi(PQgetvalue(r, row, 0)) + std::atoi(PQgetvalue(r, row, 2));
    t.checksum += PQgetlength(r, row, 1);
    t.checksum += static_cast<long long>(std::strtod(PQgetvalue(r, row, 3), nullptr) * 4);
    t.checksum += PQgetlength(r, row, 4) > 0;
  }
  PQclear(r);
  t.read = Seconds(start);
  return t;
}

Times ThroughAdo(const _ConnectionPtr& conn, const std::string& table) {
  Times t;
  conn->Execute(_bstr_t(Create(table).c_str()), nullptr, adCmdText | adExecuteNoRecords);
  const std::wstring name(table.begin(), table.end());
  auto start = std::chrono::steady_clock::now();
  conn->BeginTrans();
  _CommandPtr cmd(__uuidof(Command));
  cmd->ActiveConnection = conn;
  cmd->CommandText = _bstr_t((L"INSERT INTO " + name + L" (id, name, qty, price, added) VALUES (?, ?, ?, ?, ?)").c_str());
  ParametersPtr params = cmd->Parameters;
  params->Append(cmd->CreateParameter(L"id", adInteger, adParamInput, 4));
  params->Append(cmd->CreateParameter(L"name", adVarWChar, adParamInput, 50));
  params->Append(cmd->CreateParameter(L"qty", adInteger, adParamInput, 4));
  params->Append(cmd->CreateParameter(L"price", adCurrency, adParamInput, 8));
  params->Append(cmd->CreateParameter(L"added", adDBTimeStamp, adParamInput, 16));
  _ParameterPtr pId = params->Item[0L], pName = params->Item[1L], pQty = params->Item[2L], pPrice = params->Item[3L],
                pAdded = params->Item[4L];
  pAdded->Value = _variant_t(45418.297326389, VT_DATE);
  for (int i = 1; i <= kRows; ++i) {
    pId->Value = _variant_t(i);
    std::string name = "Przedmiot nr " + std::to_string(i);  // built as the direct run builds it
    pName->Value = _variant_t(std::wstring(name.begin(), name.end()).c_str());
    pQty->Value = _variant_t(i % 100);
    CY cy;
    cy.int64 = static_cast<LONGLONG>(i) * 2500;
    pPrice->Value = _variant_t(cy);
    cmd->Execute(nullptr, nullptr, adCmdText | adExecuteNoRecords);
  }
  conn->CommitTrans();
  t.store = Seconds(start);
  start = std::chrono::steady_clock::now();
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->CursorLocation = adUseClient;
  rs->Open(_bstr_t((L"SELECT id, name, qty, price, added FROM " + name).c_str()),
           _variant_t(static_cast<IDispatch*>(conn.GetInterfacePtr())), adOpenStatic, adLockReadOnly, adCmdText);
  t.open = Seconds(start);
  FieldsPtr fields = rs->Fields;
  FieldPtr fId = fields->Item[L"id"], fName = fields->Item[L"name"], fQty = fields->Item[L"qty"],
           fPrice = fields->Item[L"price"], fAdded = fields->Item[L"added"];
  while (!rs->adoEOF) {
    t.checksum += static_cast<LONG>(fId->Value) + static_cast<LONG>(fQty->Value);
    t.checksum += _bstr_t(fName->Value).length();
    t.checksum += fPrice->GetValue().cyVal.int64 / 2500;
    t.checksum += fAdded->GetValue().vt == VT_DATE;
    rs->MoveNext();
  }
  t.read = Seconds(start);
  return t;
}

Times Best(const Times& a, const Times& b) {
  Times t;
  t.store = std::min(a.store, b.store);
  t.read = std::min(a.read, b.read);
  t.open = a.read <= b.read ? a.open : b.open;
  t.checksum = b.checksum;
  return t;
}

// Runs both ways `kRounds` times, in turn, and prints the best times side by side.
template <typename DirectRun>
void Compare(const char* engine, const DirectRun& direct, const _ConnectionPtr& conn) {
  Times best, ado;
  best.store = best.read = ado.store = ado.read = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const std::string table = "item" + std::to_string(round);
    best = Best(best, direct("direct_" + table));
    ado = Best(ado, ThroughAdo(conn, "ado_" + table));
  }
  std::printf("%s: rows %d, best of %d rounds\n", engine, kRows, kRounds);
  std::printf("  store  direct %.3f s  ado %.3f s  ratio %.2f\n", best.store, ado.store, ado.store / best.store);
  std::printf("  read   direct %.3f s  ado %.3f s  ratio %.2f (open %.3f s, walk %.3f s)\n", best.read, ado.read,
              ado.read / best.read, ado.open, ado.read - ado.open);
  const double d = best.store + best.read, a = ado.store + ado.read;
  std::printf("  total  direct %.3f s  ado %.3f s  ratio %.2f (goal: within 1.5x)\n", d, a, a / d);
  if (best.checksum != ado.checksum) std::printf("  checksums: direct %lld ado %lld\n", best.checksum, ado.checksum);
}

}  // namespace

int Run();

int main() {
  try {
    return Run();
  } catch (const _com_error& e) {
    const _bstr_t description = e.Description();
    std::fprintf(stderr, "0x%08X %s\n", static_cast<unsigned>(e.Error()),
                 description.length() ? static_cast<const char*>(description) : "");
    return 1;
  }
}

int Run() {
  char tmpl[] = "/tmp/vx_bench_ado_XXXXXX";
  std::string dir = mkdtemp(tmpl);
  {
    sqlite3* db = nullptr;
    sqlite3_open((dir + "/direct.db").c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    _ConnectionPtr conn(__uuidof(Connection));
    conn->Open(_bstr_t(("Provider=SQLite;Data Source=" + dir + "/ado.db").c_str()));
    Compare("sqlite", [&](const std::string& table) { return Direct(db, table); }, conn);
    sqlite3_close(db);
    conn->Close();
  }
  std::filesystem::remove_all(dir);
  std::string why;
  if (!testdb::ServerDatabase::Reachable(why)) {
    std::printf("postgresql: no server answers at libpq's environment (%s)\n", why.c_str());
    return 0;
  }
  testdb::ServerDatabase server("bench_ado");
  PGconn* db = PQconnectdb(server.Uri().c_str());
  if (PQstatus(db) != CONNECTION_OK) {
    std::fprintf(stderr, "%s", PQerrorMessage(db));
    return 1;
  }
  {
    _ConnectionPtr conn(__uuidof(Connection));
    conn->Open(_bstr_t(("Data Source=" + server.Uri()).c_str()));
    Compare("postgresql", [&](const std::string& table) { return DirectPg(db, table); }, conn);
    conn->Close();
  }
  PQfinish(db);
  return 0;
}
