#pragma once
// The token tree of SQL texts (SQL Server's dialect and SQLite's): string literals, quoted and
// bracketed identifiers and comments are single tokens, never looked into; each parenthesised
// group and each CASE ... END becomes one node holding its contents. Writing a tree back gives
// the text with its spacing normalised.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ado::sql {
enum class K { Word, QIdent, Str, Num, Param, Op, Comma, Dot, Semi, Group, Case };

struct Node {
  K k = K::Op;
  std::wstring t;
  bool sp = false;        // whitespace before the token
  int param = -1;         // `?`: index in the original text
  bool closed = true;     // a group whose ')' was present
  // A marker the rewriter added or marked for the engine: a value the engine supplies or reads
  // differently (see the engine's rewriter); 0 for the caller's plain value.
  std::uint8_t role = 0;
  wchar_t escape = 0;     // of a LIKE pattern
  std::vector<Node> kids; // Group and Case
};

using Seq = std::vector<Node>;

bool EqNoCase(std::wstring_view a, std::wstring_view b);
bool IsWord(const Node& n, std::wstring_view w);
bool IsWordIn(const Node& n, std::initializer_list<std::wstring_view> ws);
bool IsOp(const Node& n, std::wstring_view op);
// SQL's reserved words that the rewriter and the typing look for.
bool IsKeyword(const Node& n);
// Type names of texts and of dates.
bool IsTextType(const Node& n);
bool IsDateType(const Node& n);

Node MakeWord(std::wstring t, bool sp = true);
Node MakeGroup(Seq kids, bool sp = false);
Node MakeComma();

// The tree of a text; `params` receives the number of `?` markers.
Seq Tokenize(std::wstring_view sql, int* params = nullptr);
// The text of a tree.
void Write(const Seq& seq, std::wstring& out);
// Splits a sequence at its commas, and joins parts with commas.
std::vector<Seq> SplitCommas(const Seq& seq);
Seq JoinCommas(const std::vector<Seq>& parts);

}  // namespace platform::ado::sql
