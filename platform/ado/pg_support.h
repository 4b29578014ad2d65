#pragma once
// What the PostgreSQL engine keeps in every database it opens, in the schema "vx": the collation
// of text columns, SQL Server's functions and the operators of its `+` and `-`, installed (or
// replaced by a newer version) when a connection finds them missing or older.
#include <string>

namespace platform::ado {

// The version of the objects; vx.version() answers the installed one.
inline constexpr int kPgSupportVersion = 1;

// The statements that install them (in one transaction, under an advisory lock).
std::string PgSupportScript();

}  // namespace platform::ado
