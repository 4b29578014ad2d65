// The database error mapping and its error information.
#include <gtest/gtest.h>

#include "auctions/dberror.h"
#include "auctions/module.h"
#include "framework/interfaces.h"
#include "platform/registry/registry.h"

extern "C" HRESULT DllRegisterServer();

namespace {

#define CODE(x) static_cast<HRESULT>(x##u)

struct Info {
  bool set = false;
  std::wstring description, source;
  GUID guid{};
};

// Takes the thread's error information.
Info Take() {
  Info info;
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) != S_OK || !error) return info;
  info.set = true;
  BSTR text = nullptr;
  error->GetDescription(&text);
  info.description = text ? text : L"";
  SysFreeString(text);
  text = nullptr;
  error->GetSource(&text);
  info.source = text ? text : L"";
  SysFreeString(text);
  error->GetGUID(&info.guid);
  error->Release();
  return info;
}

// Error information that the database layer left, which some codes must keep.
void LeaveDatabaseInfo() { platform::com::ReportError(E_FAIL, L"z bazy danych", L"ADODB.Connection"); }

class DbErrors : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform::registry::UseMemoryStore();
    ASSERT_EQ(DllRegisterServer(), S_OK);
  }
  void SetUp() override { SetErrorInfo(0, nullptr); }
};

TEST_F(DbErrors, EveryRowOfTheTableWithTheOperationsText) {
  const struct {
    HRESULT from, to;
    const wchar_t* text;
  } rows[] = {
      {CODE(0x80040E09), CODE(0x80040F1D), L"Brak uprawnień do wykonania operacji w bazie danych."},
      {CODE(0x80040E14), CODE(0x80040F34), L"Polecenie bazy danych zawiera błędy."},
      {CODE(0x80040E21), CODE(0x80040F1B), L"Operacja wieloetapowa zakończyła się błędami. Sprawdź wprowadzone wartości."},
      {CODE(0x80040E2F), CODE(0x80040F1C),
       L"Naruszenie integralności danych: obiekt jest używany przez inne dane lub takie dane już istnieją."},
      {CODE(0x80040E31), CODE(0x80040F1E), L"Przekroczono limit czasu operacji w bazie danych."},
      {CODE(0x80040E38), CODE(0x80040F1A), L"Obiekt został zmieniony lub usunięty przez innego użytkownika."},
      {CODE(0x80040E97), CODE(0x80040F1F), L"Wartość jest zbyt długa dla pola bazy danych."},
      {CODE(0x800A0BCD), CODE(0x80040F2F), L"Brak bieżącego rekordu."},  // in the table before ADO's family
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(MapDbError(CLSID_CoSite, __uuidof(IFlgItem), row.from, {L"Błąd zapisu do bazy danych."}), row.to);
    const Info info = Take();
    ASSERT_TRUE(info.set);
    EXPECT_EQ(info.description, std::wstring(row.text) + L" Błąd zapisu do bazy danych.");
    EXPECT_EQ(info.source, L"Vantor.CoSite.1");
    EXPECT_EQ(info.guid, __uuidof(IFlgItem));
  }
}

TEST_F(DbErrors, CodesThatPassWithoutTouchingTheErrorInformation) {
  for (HRESULT hr : {S_OK, S_FALSE, static_cast<HRESULT>(7)}) {
    LeaveDatabaseInfo();
    EXPECT_EQ(MapDbError(CLSID_CoSite, __uuidof(IFlgItem), hr, {L"x"}), hr);
    EXPECT_EQ(Take().description, L"z bazy danych");
  }
  // Access denied, ADO's own codes, and whatever else carries all of the bits 0x800A0000.
  for (HRESULT hr : {E_ACCESSDENIED, CODE(0x800A0E7D), CODE(0x800A0CC1), CODE(0x800AFFFF), CODE(0x800B0001),
                     CODE(0x800F0000), CODE(0xFFFFFFFF)}) {
    SCOPED_TRACE(hr);
    LeaveDatabaseInfo();
    EXPECT_EQ(MapDbError(CLSID_CoSite, __uuidof(IFlgItem), hr, {L"x"}), hr);
    const Info info = Take();
    EXPECT_EQ(info.description, L"z bazy danych");
    EXPECT_EQ(info.source, L"ADODB.Connection");
  }
}

TEST_F(DbErrors, FrameworkCodesAreKeptWithTheirText) {
  EXPECT_EQ(MapDbError(CLSID_CoSite, __uuidof(IFlgItem), CODE(0x80040F41), {L"Błąd zapisu do bazy danych."}),
            CODE(0x80040F41));
  EXPECT_EQ(Take().description, L"Nie można rozpocząć transakcji w bazie danych. Błąd zapisu do bazy danych.");
  EXPECT_EQ(MapDbError(CLSID_CoSite, __uuidof(IFlgItem), CODE(0x800445A1), {L""}), CODE(0x800445A1));
  EXPECT_EQ(Take().description, L"Synchronizacja została przerwana przez użytkownika.");
  // A framework code without a text in the library is described by its number.
  EXPECT_EQ(MapDbError(CLSID_CoSite, __uuidof(IFlgItem), CODE(0x80040FEE)), CODE(0x80040FEE));
  EXPECT_EQ(Take().description, L"Błąd 0x80040FEE");
}

TEST_F(DbErrors, EveryOtherFailureIsUnspecified) {
  for (HRESULT hr : {E_FAIL, E_OUTOFMEMORY, E_INVALIDARG, CODE(0x80040E37), CODE(0x80040E10), CODE(0x80080001),
                     CODE(0x80040EFF), CODE(0x80044600)}) {
    SCOPED_TRACE(hr);
    EXPECT_EQ(MapDbError(CLSID_CoSite, __uuidof(IFlgItem), hr, {L"Błąd odczytu z bazy danych."}), CODE(0x80040F20));
    EXPECT_EQ(Take().description, L"Nieokreślony błąd bazy danych. Błąd odczytu z bazy danych.");
  }
  // An empty insert leaves no blank at the end.
  EXPECT_EQ(MapDbError(CLSID_CoSite, __uuidof(IFlgItem), E_FAIL, {L""}), CODE(0x80040F20));
  EXPECT_EQ(Take().description, L"Nieokreślony błąd bazy danych.");
}

TEST_F(DbErrors, ReportedErrorInformation) {
  // The lock's refusal shows the lock's message alone.
  EXPECT_EQ(ReportErrorFormatted(CLSID_CoRegistration, __uuidof(IFlgItem), CODE(0x80040F19),
                                 {L"UNIQUE constraint failed: kd_blokada.obid"}),
            CODE(0x80040F19));
  Info info = Take();
  EXPECT_EQ(info.description, L"UNIQUE constraint failed: kd_blokada.obid");
  EXPECT_EQ(info.source, L"Vantor.CoRegistration.1");
  // A class without a ProgID gives an empty source.
  const GUID unregistered = platform::com::GuidFromText("A1B2C3D4-0000-4000-8000-000000000001");
  EXPECT_EQ(ReportErrorFormatted(unregistered, __uuidof(IFlgData), CODE(0x80040F2E), {L"Błąd zapisu do bazy danych."}),
            CODE(0x80040F2E));
  info = Take();
  EXPECT_TRUE(info.set);
  EXPECT_EQ(info.source, L"");
  EXPECT_EQ(info.guid, __uuidof(IFlgData));
  EXPECT_EQ(info.description, L"Obiekt nie jest w trybie edycji. Błąd zapisu do bazy danych.");
  // Code 0 reports DISP_E_EXCEPTION.
  EXPECT_EQ(ReportErrorFormatted(CLSID_CoSite, __uuidof(IFlgItem), S_OK), DISP_E_EXCEPTION);
  EXPECT_TRUE(Take().set);
}

}  // namespace
