#pragma once
// The product database schema: created on a fresh database, upgraded step by step on an older one.
#include <vector>

#include "framework/zephra.h"

namespace host {

// One upgrade step: the statements that bring a database from version - 1 to version.
struct SchemaStep {
  LONG version;
  std::vector<const wchar_t*> statements;
};

// Every step, oldest first. The last step's version is the current schema version.
const std::vector<SchemaStep>& SchemaSteps();
LONG CurrentSchemaVersion();

// The schema version stored in the database; 0 for a database without the version table.
LONG StoredSchemaVersion(const _ConnectionPtr& connection);

// Brings the database to the current version. Each step runs in its own transaction and records
// its version, so a failed step leaves the database at the previous version with all its data.
// Returns the version before the upgrade. A database newer than this program raises E_FAIL.
LONG UpgradeSchema(const _ConnectionPtr& connection);

// Raises E_FAIL with an explanation unless the database has the current version (for reading a
// database without changing it).
void CheckSchemaCurrent(const _ConnectionPtr& connection);

// Same, up to (and including) `version`: lets tests build an older database.
LONG UpgradeSchemaTo(const _ConnectionPtr& connection, LONG version);

}  // namespace host
