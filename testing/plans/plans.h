#pragma once
// What the product database is asked and how SQLite means to answer it: a log of the statements
// that a connection prepares (as SQLite runs them, after the dialect's rewriting), and the steps
// of their query plans that read a whole table of a seller's history (a scan, or an index built
// for the one query) instead of searching an index.
#include <memory>
#include <string>
#include <vector>

#include "platform/ado/ado.h"

struct sqlite3;

namespace testplans {

// The SQLite handle under an open connection of the ADO layer (with the layer's collations and
// functions), for statements written by hand beside the layer's; throws for any other object.
sqlite3* DatabaseHandle(_Connection* connection);

// The tables that grow with the years of a seller's trading.
const std::vector<std::string>& HistoryTables();

class StatementLog {
 public:
  // Records what `connection` (an open connection of the ADO layer) runs from now until the log
  // goes.
  explicit StatementLog(const _ConnectionPtr& connection);
  ~StatementLog();
  StatementLog(const StatementLog&) = delete;
  StatementLog& operator=(const StatementLog&) = delete;

  // Each statement once, in the order first run.
  const std::vector<std::string>& Statements() const;
  // "statement: plan step" for every step of the statements' plans that scans one of `tables`
  // or builds an automatic index on it ("... WHERE 1 = 0", a table's empty shape, reads nothing).
  std::vector<std::string> FullReads(const std::vector<std::string>& tables = HistoryTables()) const;

  struct State;

 private:
  std::unique_ptr<State> m_state;
};

}  // namespace testplans
