#pragma once
// The product database schema: created on a fresh database, upgraded step by step on an older one.
#include <string>
#include <vector>

#include "framework/zephra.h"

namespace host {

// Rows that an upgrade step keeps although they break what it sets up (a key added over rows
// already there): `query` gives each such row's key and the value that breaks it, and the
// upgrade tells them, introduced by `text`.
struct SchemaCheck {
  const wchar_t* query;
  const wchar_t* text;
};

// One upgrade step: the statements that bring a database from version - 1 to version, and what
// the upgrade then tells of the rows there.
struct SchemaStep {
  LONG version;
  std::vector<const wchar_t*> statements;
  std::vector<SchemaCheck> checks = {};
};

// Every step, oldest first. The last step's version is the current schema version.
const std::vector<SchemaStep>& SchemaSteps();
LONG CurrentSchemaVersion();

// The schema version stored in the database; 0 for a database without the version table.
LONG StoredSchemaVersion(const _ConnectionPtr& connection);

// Brings the database to the current version. Each step runs in its own transaction and records
// its version, so a failed step leaves the database at the previous version with all its data.
// Returns the version before the upgrade. A database newer than this program raises E_FAIL.
// What the steps tell of the rows they kept (SchemaCheck) is added to `report`, a sentence each.
LONG UpgradeSchema(const _ConnectionPtr& connection, std::vector<std::wstring>* report = nullptr);

// Raises E_FAIL with an explanation unless the database has the current version (for reading a
// database without changing it).
void CheckSchemaCurrent(const _ConnectionPtr& connection);

// Same, up to (and including) `version`: lets tests build an older database.
LONG UpgradeSchemaTo(const _ConnectionPtr& connection, LONG version, std::vector<std::wstring>* report = nullptr);

}  // namespace host
