#pragma once
// Token-level rewriting of SQL Server's dialect into SQL that SQLite runs with the same
// meaning. String literals, quoted and bracketed identifiers and comments are never looked
// into. What is rewritten:
//   a + b               -> VX_ADD(a, b): concatenates two texts, adds numbers otherwise
//   a - b               -> VX_SUB(a, b): subtracts numbers; a date minus a number of days
//   ISNULL(a, b)        -> IFNULL(a, b)
//   CONVERT(t, x[, s])  -> CAST(x AS t), numbers as CAST(x AS INTEGER t) / CAST(x AS REAL t) (the
//                          affinity word, then the server's type), dates through VX_DATETIME,
//                          text through VX_CONVERT(x, s, n)
//   CAST(x AS datetime) -> VX_DATETIME(x)
//   SELECT TOP n / TOP (n) ...  -> ... LIMIT n
//   SELECT alias = expr -> SELECT expr AS alias;  SELECT ?=expr marks an output parameter
//   N'...'              -> '...'
//   @@IDENTITY, SCOPE_IDENTITY() -> last_insert_rowid()
//   DATEADD/DATEDIFF/DATEPART/DATENAME(part, ...) -> the part quoted as text
//   LEFT(s, n), RIGHT(s, n) -> VX_LEFT, VX_RIGHT (LEFT is a join keyword in SQLite)
//   WITH (NOLOCK) and other table hints, dbo. prefixes -> dropped
//   SET NOCOUNT ... -> dropped; BEGIN/COMMIT/ROLLBACK TRAN[SACTION] -> BEGIN/COMMIT/ROLLBACK
//   CREATE TABLE: IDENTITY(1,1) -> INTEGER PRIMARY KEY AUTOINCREMENT; text columns get
//   COLLATE VXNOCASE (case-insensitive, Polish-aware, trailing blanks ignored), date columns
//   COLLATE VXDATE (texts that are dates compare as dates: '2024-01-05' and '20240105' equal
//   midnight) and text affinity ("datetime text"), so that date texts are never taken as numbers;
//   CLUSTERED / NONCLUSTERED dropped.
//   DROP INDEX ix ON t  -> DROP INDEX ix
//   x RIGHT [OUTER] JOIN c ON q -> c LEFT JOIN x ON q, and with a schema to tell which table q
//                          names, (a [INNER] JOIN b ON p) RIGHT JOIN c ON q (q naming b, not a) ->
//                          c LEFT JOIN b ON (q) AND EXISTS (SELECT 1 FROM a WHERE p) LEFT JOIN a ON p:
//                          the same rows, but planned from c, whose conditions are the selective
//                          ones (a right join is run from its left side, scanning it). Left as it
//                          is when the select list has a bare * (the columns' order would change)
//                          or a name cannot be told for certain.
//   ALTER TABLE t [WITH CHECK | WITH NOCHECK] ADD [CONSTRAINT n] FOREIGN KEY (...) REFERENCES ...,
//   the whole text: SQLite cannot add a constraint to a table, so no SQL comes out; the
//   statement is returned as `addedForeignKey`, which the connection writes into the table's
//   definition itself (Database::AddForeignKey).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ado {

struct RewrittenSql {
  std::string sql;  // UTF-8
  // For each `?` left in `sql`, in order, the 0-based index of the caller's parameter.
  std::vector<int> paramOrder;
  // `SELECT ?=expr`: the caller's parameter `param` receives column `column` of the first row.
  struct Output {
    int param;
    int column;
  };
  std::vector<Output> outputs;
  int paramCount = 0;  // number of `?` markers in the original text
  // A foreign key added to an existing table: the table, the constraint's clause as SQLite
  // writes it in a table definition ("CONSTRAINT n FOREIGN KEY (c) REFERENCES p (k)"), and
  // whether the rows already in the table must keep it (SQL Server's WITH CHECK, the default)
  // or are left as they are (WITH NOCHECK).
  struct AddedForeignKey {
    std::string table;   // UTF-8
    std::string clause;  // UTF-8
    bool checkRows = true;
  };
  std::optional<AddedForeignKey> addedForeignKey;
};

class SchemaSource;

// `schema`, when given, tells which table a column belongs to (for the joins above).
RewrittenSql RewriteSql(std::wstring_view sql, SchemaSource* schema = nullptr);

// The collation name given to text columns.
inline constexpr const char* kNoCaseCollation = "VXNOCASE";
inline constexpr const char* kDateCollation = "VXDATE";

}  // namespace platform::ado
