#pragma once
// Database failures as the framework's database error codes. Whatever the data objects return
// to the host passes through MapDbError; the description of the error information it sets is the
// message library's text of the resulting code in the user's language, with the caller's inserts.
#include <initializer_list>

#include "platform/com/com.h"

// Maps an HRESULT of the database layer (ADO and its provider):
//   0x80040E09 -> 0x80040F1D, 0x80040E14 -> 0x80040F34, 0x80040E21 -> 0x80040F1B,
//   0x80040E2F -> 0x80040F1C, 0x80040E31 -> 0x80040F1E, 0x80040E38 -> 0x80040F1A,
//   0x80040E97 -> 0x80040F1F, 0x800A0BCD -> 0x80040F2F, each with error information.
// Kept as they are: non-negative codes; 0x80070005 and codes whose bits include 0x800A0000
// (ADO's own), both without touching the error information; the framework's own codes
// (zephra::IsKdError), with error information. Any other failure becomes 0x80040F20.
// `clsid` is the reporting object's class, `iid` the interface of the failing call.
HRESULT MapDbError(REFCLSID clsid, REFIID iid, HRESULT hr, std::initializer_list<const wchar_t*> inserts = {});

// Sets the thread's error information for `code`: the interface id as the GUID, the class's
// ProgID as the source (empty when it has none), the message text of the code with the inserts as
// the description (the system's text of the code when the library has none). Returns the code,
// or DISP_E_EXCEPTION for 0.
HRESULT ReportErrorFormatted(REFCLSID clsid, REFIID iid, HRESULT code,
                             std::initializer_list<const wchar_t*> inserts = {});

// Sets the thread's error information for `code` as ReportErrorFormatted does, with `text` as the
// description (a right's refusal explained by the host, an unforeseen failure). Returns the code,
// or DISP_E_EXCEPTION for 0.
HRESULT ReportErrorText(REFCLSID clsid, REFIID iid, HRESULT code, const wchar_t* text);
