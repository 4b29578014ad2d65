#pragma once
// The literals a statement compares with become markers, so that the lookups of one kind
// ("... WHERE au_Number = 'A1'", "... = 'A2'", ...) are one statement, prepared and described
// once and run with the literals bound. Only what cannot change the statement's meaning or its
// result's columns is lifted: a string or integer literal right after a comparison operator
// (=, <>, !=, <, >, <=, >=) whose other side is not a literal, outside a select list, in a
// single SELECT, INSERT, UPDATE or DELETE that has no markers of its own.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/value.h"

namespace platform::ado {

// On true, `key` is the text with the lifted literals as `?` markers and `values` their values
// in the order of the markers; false when nothing is lifted.
bool LiftComparedLiterals(std::wstring_view sql, std::wstring& key, std::vector<Value>& values);

// LiftComparedLiterals with the forms of the texts lifted last kept: a text of a known form (the
// same text but for the literals lifted, each still one that is lifted) is lifted by comparing
// it with the form instead of reading it through. For one thread at a time.
class LiftedForms {
 public:
  // As LiftComparedLiterals.
  bool Lift(std::wstring_view sql, std::wstring& key, std::vector<Value>& values) {
    return Match(sql, key, values) || Learn(sql, key, values);
  }
  // Lifts `sql` only when it is of a known form; false otherwise (it may still lift).
  bool Match(std::wstring_view sql, std::wstring& key, std::vector<Value>& values);
  // LiftComparedLiterals, keeping the form of a text lifted.
  bool Learn(std::wstring_view sql, std::wstring& key, std::vector<Value>& values);

 private:
  struct Form {
    std::wstring key;
    std::vector<std::size_t> marks;  // where the key's markers are
    // Two characters of the text before the first marker, which most texts of other forms differ in.
    std::size_t probe = 0;
    wchar_t atProbe = 0, beforeMark = 0;
    std::uint64_t used = 0;  // when it was matched or learnt last
  };
  static bool Matches(const Form& form, std::wstring_view sql, std::vector<Value>& values);
  std::vector<Form> forms_;
  std::uint64_t uses_ = 0;
};

}  // namespace platform::ado
