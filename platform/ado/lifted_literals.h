#pragma once
// The literals a statement compares with become markers, so that the lookups of one kind
// ("... WHERE au_Number = 'A1'", "... = 'A2'", ...) are one statement, prepared and described
// once and run with the literals bound. Only what cannot change the statement's meaning or its
// result's columns is lifted: a string or integer literal right after a comparison operator
// (=, <>, !=, <, >, <=, >=) whose other side is not a literal, outside a select list, in a
// single SELECT, INSERT, UPDATE or DELETE that has no markers of its own.
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/value.h"

namespace platform::ado {

// On true, `key` is the text with the lifted literals as `?` markers and `values` their values
// in the order of the markers; false when nothing is lifted.
bool LiftComparedLiterals(std::wstring_view sql, std::wstring& key, std::vector<Value>& values);

}  // namespace platform::ado
