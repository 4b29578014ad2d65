#include "testing/plans/plans.h"

#include <sqlite3.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "platform/ado/database.h"
#include "platform/ado/objects.h"
#include "platform/ado/sqlite_database.h"

namespace testplans {

// A site's catalogue (categories, form fields and their values) grows with the sites, not with
// the years; the categories are listed all the same, as a large site has tens of thousands.
const std::vector<std::string>& HistoryTables() {
  static const std::vector<std::string> tables = {
      "au__Auction",      "au_SiteDetail",   "au_Image",   "kd_Image",    "cs__Customer",     "cs_CustomerPhone",
      "tr__Transaction",  "tr_Address",      "tr_Position", "tr_Comment", "tr_Group",         "tr_TransStatus",
      "pc__Package",      "pc_PackageItem",  "kd_MessageOutbox", "kd_JobLog", "kd_JobLogLine", "st_Category"};
  return tables;
}

struct StatementLog::State {
  sqlite3* db = nullptr;
  std::vector<std::string> statements;
  std::set<std::string> seen;
};

namespace {

int Traced(unsigned type, void* context, void* statement, void*) {
  if (type != SQLITE_TRACE_STMT) return 0;
  auto* state = static_cast<StatementLog::State*>(context);
  const char* text = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
  if (text && state->seen.insert(text).second) state->statements.push_back(text);
  return 0;
}

// Whether a plan step reads the whole of `table`: "SCAN t", "SCAN t USING ... INDEX", or a search
// through an index built for the query.
bool ReadsWhole(const std::string& step, const std::string& table) {
  for (const std::string& head : {"SCAN " + table, "SEARCH " + table + " USING AUTOMATIC"}) {
    if (step.compare(0, head.size(), head) != 0) continue;
    if (step.size() == head.size() || step[head.size()] == ' ') return true;
  }
  return false;
}

}  // namespace

sqlite3* DatabaseHandle(_Connection* connection) {
  auto* impl = platform::ado::ConnectionImpl::From(connection);
  auto* db = impl ? dynamic_cast<platform::ado::SqliteDatabase*>(impl->Db().get()) : nullptr;
  if (!db) throw std::runtime_error("not an open SQLite connection of the ADO layer");
  return db->Handle();
}

StatementLog::StatementLog(const _ConnectionPtr& connection) : m_state(std::make_unique<State>()) {
  m_state->db = DatabaseHandle(connection);
  sqlite3_trace_v2(m_state->db, SQLITE_TRACE_STMT, &Traced, m_state.get());
}

StatementLog::~StatementLog() { sqlite3_trace_v2(m_state->db, 0, nullptr, nullptr); }

const std::vector<std::string>& StatementLog::Statements() const { return m_state->statements; }

std::vector<std::string> StatementLog::FullReads(const std::vector<std::string>& tables) const {
  std::vector<std::string> out;
  for (const std::string& sql : m_state->statements) {
    if (sql.compare(0, 2, "--") == 0) continue;  // a trigger's own statements
    // The empty shape of a table (a recordset to add rows to) reads no row.
    const std::string empty = " WHERE 1 = 0";
    if (sql.size() >= empty.size() && sql.compare(sql.size() - empty.size(), empty.size(), empty) == 0) continue;
    sqlite3_stmt* plan = nullptr;
    if (sqlite3_prepare_v2(m_state->db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &plan, nullptr) != SQLITE_OK) {
      out.push_back(sql + ": " + sqlite3_errmsg(m_state->db));
      continue;
    }
    while (sqlite3_step(plan) == SQLITE_ROW) {
      const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
      const std::string step = detail ? detail : "";
      if (std::any_of(tables.begin(), tables.end(), [&](const std::string& t) { return ReadsWhole(step, t); }))
        out.push_back(sql + ": " + step);
    }
    sqlite3_finalize(plan);
  }
  return out;
}

}  // namespace testplans
