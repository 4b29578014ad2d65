#pragma once
// What the dialect rewriters share (internal to the layer): the passes over the token tree that
// read SQL Server's dialect alike for every engine, with hooks for each engine's own rewriting.
#include <functional>
#include <string>
#include <vector>

#include "platform/ado/sql_rewriter.h"
#include "platform/ado/sql_tokens.h"

namespace platform::ado {

class RewriterBase {
 public:
  virtual ~RewriterBase() = default;
  std::vector<RewrittenSql::Output> outputs;

  // Rewrites `v` and, inside it, every group and CASE; `top` for the statement level.
  void Process(sql::Seq& v, bool top);

 protected:
  // The engine's rewriting of names, functions and conversions at one level (groups done).
  virtual void Local(sql::Seq& v) = 0;
  // The engine's rewriting of joins at one level, after the select lists were read.
  virtual void Joins(sql::Seq& v) {}
  // The engine's rewriting of operators at one level, after the joins.
  virtual void Operators(sql::Seq& v) {}
  // The engine's query standing for SQL Server's INFORMATION_SCHEMA.TABLES (TABLE_NAME as the
  // CREATE statement named it, TABLE_TYPE 'BASE TABLE' or 'VIEW'); empty: left as it is.
  virtual std::wstring InformationSchemaTables() const { return {}; }
  // The engine's rewriting of one statement v[start, end) at the top level, after the session
  // settings were dropped; moves `end` when it changes the statement's length.
  virtual void Statement(sql::Seq& v, std::size_t start, std::size_t& end) = 0;
  // A whole text that the engine takes as one statement of its own before any other rewriting at
  // the top level (it then becomes no SQL); false: rewritten statement by statement.
  virtual bool WholeStatement(sql::Seq& v) { return false; }

  static bool IsOperandEnd(const sql::Node& n);
  static bool IsChainPart(const sql::Node& n);
  static bool IsHintGroup(const sql::Node& g);
  // DATEADD(day, ...): the part name as a text literal.
  static void QuoteDatePart(sql::Node& group);
  // ALTER TABLE t ADD [COLUMN] def: `column` rewrites the column's definition (a constraint added
  // is left as it is).
  static void AlterTableAdd(sql::Seq& v, std::size_t start, std::size_t& end,
                            const std::function<void(sql::Seq&)>& column);

 private:
  void BuildCase(sql::Seq& v);
  void CommonLocal(sql::Seq& v);
  void SelectRewrites(sql::Seq& v);
  void Statements(sql::Seq& v);
};

// The caller's parameter of each `?` left in `seq`, in order.
void CollectParams(const sql::Seq& seq, std::vector<int>& order);

}  // namespace platform::ado
