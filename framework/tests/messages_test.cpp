#include <gtest/gtest.h>

#include <set>
#include <string>

#include "framework/messages.h"
#include "platform/ado/ado.h"
#include "zone/protocol/SoapStatus.h"

namespace {

TEST(MessageLibrary, TextsWithInserts) {
  CKdSmartMessage messages(L"Error.dll");
  // The lock's refusal is the lock's message alone.
  CString locked = messages.FormatMessage(static_cast<HRESULT>(0x80040F19u), 1045, {L"Klucz zajęty", L"Jan"});
  EXPECT_STREQ(locked, L"Klucz zajęty");
  // A missing insert is empty, never a crash.
  EXPECT_STREQ(messages.FormatMessage(static_cast<HRESULT>(0x80040F2Bu), 1045), L"Nie można zapisać obiektu. ");
  EXPECT_STREQ(messages.FormatMessage(static_cast<HRESULT>(0x80044599u), 1045), L"Strona została zamknięta.\r\n");
  EXPECT_TRUE(messages.FormatMessage(static_cast<HRESULT>(0x80012345u), 1045).IsEmpty());
}

TEST(MessageLibrary, EverySellerZoneAndDatabaseCodeHasText) {
  CKdSmartMessage messages;
  // Every database code shows the caller's insert (the operation's text).
  for (unsigned code : {0x80040F41u, 0x80040F42u})
    EXPECT_NE(messages.FormatMessage(static_cast<HRESULT>(code), 1045, {L"<op>"}).Find(L"<op>"), -1) << std::hex << code;
  for (unsigned code = 0x80040F19u; code <= 0x80040F34u; ++code) {
    EXPECT_TRUE(messages.HasMessage(static_cast<HRESULT>(code))) << std::hex << code;
    EXPECT_NE(messages.FormatMessage(static_cast<HRESULT>(code), 1045, {L"<op>"}).Find(L"<op>"), -1) << std::hex << code;
  }
  for (unsigned code = 0x80044593u; code <= 0x800445A1u; ++code) {
    if (code == 0x80044594u) continue;
    EXPECT_TRUE(messages.HasMessage(static_cast<HRESULT>(code))) << std::hex << code;
  }
  EXPECT_TRUE(messages.HasMessage(static_cast<HRESULT>(0x80044518u)));
}

// The seller-zone codes: 0x80044502 plus each status of the SOAP runtime, and the service's named
// faults. Each has a text of its own ending with CR LF, so the server's message follows on a line
// of its own.
TEST(MessageLibrary, SellerZoneTextsNameTheirStatusAndEndTheLine) {
  namespace st = vorlen::soapstatus;
  CKdSmartMessage messages(L"Error.dll");
  auto text = [&](unsigned code) {
    return std::wstring(messages.FormatMessage(static_cast<HRESULT>(code), 1045).GetString());
  };
  auto status = [](int number) { return 0x80044502u + static_cast<unsigned>(number); };
  std::set<std::wstring> seen;
  for (int number = st::kEof; number <= st::kFdExceeded; ++number) {
    const std::wstring t = text(status(number));
    ASSERT_GE(t.size(), 3u) << number;
    EXPECT_EQ(t.substr(t.size() - 2), L"\r\n") << number;
    EXPECT_EQ(t.find(L"\r\n"), t.size() - 2) << number;
    EXPECT_TRUE(seen.insert(t).second) << "the same text twice, status " << number;
  }
  for (unsigned code = 0x80044593u; code <= 0x800445A0u; ++code) {
    if (code == 0x80044594u) continue;
    const std::wstring t = text(code);
    ASSERT_GE(t.size(), 3u) << std::hex << code;
    EXPECT_EQ(t.substr(t.size() - 2), L"\r\n") << std::hex << code;
  }
  // Each text says what its status is.
  EXPECT_NE(text(status(st::kEof)).find(L"przerwane"), std::wstring::npos);
  EXPECT_NE(text(status(st::kClientFault)).find(L"klienta"), std::wstring::npos);
  EXPECT_NE(text(status(st::kServerFault)).find(L"serwera"), std::wstring::npos);
  EXPECT_NE(text(status(st::kSyntaxError)).find(L"XML"), std::wstring::npos);
  EXPECT_NE(text(status(st::kFault)).find(L"zwróciła błąd"), std::wstring::npos);
  EXPECT_NE(text(status(st::kHttpError)).find(L"HTTP"), std::wstring::npos);
  EXPECT_NE(text(status(st::kSslError)).find(L"SSL"), std::wstring::npos);
  EXPECT_NE(text(status(st::kZlibError)).find(L"rozpakowania"), std::wstring::npos);
  EXPECT_NE(text(status(st::kLength)).find(L"zbyt duża"), std::wstring::npos);
  EXPECT_EQ(text(0x80044518u), text(status(st::kHttpError)));
  EXPECT_EQ(text(0x8004450Eu), text(status(st::kFault)));
  // The cancel is no service text: it ends without a line break.
  EXPECT_STREQ(messages.FormatMessage(static_cast<HRESULT>(0x800445A1u), 1045),
               L"Synchronizacja została przerwana przez użytkownika.");
}

// Every code that the product database's ADO layer answers has a Polish text of its own, so that
// a failure without a description never reaches the platform's English fallback.
TEST(MessageLibrary, EveryCodeOfTheDatabaseHasATextOfItsOwn) {
  CKdSmartMessage messages;
  std::set<std::wstring> seen;
  for (HRESULT code : {DB_E_ERRORSINCOMMAND, DB_E_INTEGRITYVIOLATION, DB_E_NOTABLE, DB_E_ERRORSOCCURRED,
                       DB_E_CANTCONVERTVALUE, DB_E_CONCURRENCYVIOLATION, DB_E_TABLEINUSE, DB_E_ABORTLIMITREACHED,
                       DB_E_OBJECTOPEN, DB_E_PARAMNOTOPTIONAL, DB_E_BADPARAMETERNAME, DB_E_BADRECORDNUM,
                       static_cast<HRESULT>(0x80040E09u), static_cast<HRESULT>(0x80040E97u), adErrInvalidArgument,
                       adErrNoCurrentRecord, adErrIllegalOperation, adErrFeatureNotAvailable, adErrItemNotFound,
                       adErrDataConversion, adErrObjectClosed, adErrObjectOpen, adErrProviderNotFound,
                       adErrBoundToCommand, adErrInvalidParamInfo, adErrInvalidConnection, adErrOperationCancelled,
                       static_cast<HRESULT>(0x800A0BBAu), static_cast<HRESULT>(0x800A0BBCu)}) {
    const std::wstring text = messages.FormatMessage(code, 1045, {L"?", L"??", L"???"}).GetString();
    EXPECT_FALSE(text.empty()) << std::hex << code;
    EXPECT_TRUE(seen.insert(text).second) << "the same text twice, " << std::hex << code;
  }
}

TEST(MessageLibrary, SystemMessageFallsBackToTheCode) {
  CKdSmartMessage messages;
  EXPECT_STREQ(messages.SystemMessage(static_cast<HRESULT>(0x80012345u), 1045), L"Błąd 0x80012345");
  EXPECT_STREQ(messages.SystemMessage(E_INVALIDARG, 1045), L"Niepoprawny parametr.");
}

TEST(MessageLibrary, FrameworkCodes) {
  EXPECT_TRUE(zephra::IsKdError(static_cast<HRESULT>(0x80040F20u)));
  EXPECT_TRUE(zephra::IsKdError(static_cast<HRESULT>(0x800445A1u)));
  EXPECT_FALSE(zephra::IsKdError(E_FAIL));
  EXPECT_FALSE(zephra::IsKdError(static_cast<HRESULT>(0x80040E14u)));
}

TEST(TipBox, RecordsCaptionBeforeText) {
  zephra::SetTipsPrinted(false);
  zephra::ClearTips();
  TipMsgBox(nullptr, L"Adres", L"Niepoprawny kod pocztowy.", KD_TIP_ICONERROR);
  TipMsgBox(nullptr, nullptr, nullptr, KD_TIP_ICONINFORMATION);
  auto tips = zephra::RecordedTips();
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(tips[0].caption, L"Adres");
  EXPECT_EQ(tips[0].text, L"Niepoprawny kod pocztowy.");
  EXPECT_EQ(tips[0].flags, KD_TIP_ICONERROR);
  EXPECT_EQ(tips[1].caption, L"");
  zephra::ClearTips();
  EXPECT_TRUE(zephra::RecordedTips().empty());
}

}  // namespace
