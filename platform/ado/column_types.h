#pragma once
// The types that SQL Server gives result columns which are expressions rather than columns of a
// table: SQLite declares a type only for a column taken as it is, so a cast, a date function, an
// aggregate or a sum of money would otherwise be typed by its values (a bit as a number, a date
// as a text, money as a double, and a column without rows as a number).
//
// The statement's select list is read as the server reads it: CAST(x AS t) (also in the form the
// rewriter writes, "CAST(x AS INTEGER bit)", whose last name is the server's type), the date
// functions, COUNT and the other functions of a fixed type, aggregates and ISNULL of a column,
// arithmetic by the server's type precedence, CASE by its branches, scalar subqueries; column
// names are looked up in the tables, views and subqueries of the FROM clause, views by their
// stored definitions.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/wintypes.h"

namespace platform::ado {

// A result column's ADO type and defined size; type 0 when the expression does not say. Texts
// whose length the expression does not fix have size 0 (their values give it).
struct ColumnType {
  LONG type = 0;
  LONG size = 0;
  bool Known() const { return type != 0; }
};

// What the typing asks of the database.
class SchemaSource {
 public:
  enum class Kind { None, Table, View };
  virtual ~SchemaSource() = default;
  virtual Kind KindOf(const std::wstring& name) = 0;
  // The declared type of a table's column: nullopt when the table has no such column, an empty
  // text for a column declared without a type.
  virtual std::optional<std::string> ColumnDeclaration(const std::wstring& table, const std::wstring& column) = 0;
  // The CREATE VIEW statement of a view.
  virtual std::wstring ViewText(const std::wstring& view) = 0;
};

// The type of each result column of the SELECT statement `sql` (SQL Server's text, or SQLite's as
// the rewriter wrote it), whose result columns are named `names` in order. A column the statement
// does not type gets type 0.
std::vector<ColumnType> ResultColumnTypes(std::wstring_view sql, const std::vector<std::wstring>& names,
                                          SchemaSource& schema);

// An item of a SELECT statement's select list as the server names its result column: its alias,
// or the column's name as written for a column taken as it is; a star stands for columns.
struct SelectItemName {
  std::wstring name;  // empty for another expression
  std::wstring text;  // the item's expression as written
  bool star = false;
};
// The items of the select list of `sql` when it is a SELECT statement (empty otherwise).
std::vector<SelectItemName> SelectListNames(std::wstring_view sql);

}  // namespace platform::ado
