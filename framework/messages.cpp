// The message library: Polish texts of the framework's and the system's HRESULTs.
#include <mutex>
#include <utility>

#include "framework/messages.h"

namespace {

struct Message {
  HRESULT code;
  const wchar_t* text;
};

#define KD_CODE(x) static_cast<HRESULT>(x##u)

// %1.. are inserts. A code missing here has no text in the library. The database codes show the
// caller's insert (the operation's text); the lock's refusal is the lock's message alone.
const Message kMessages[] = {
    // Locks and the data-object base.
    {KD_CODE(0x80040F19), L"%1"},
    {KD_CODE(0x80040F1A), L"Obiekt został zmieniony lub usunięty przez innego użytkownika. %1"},
    {KD_CODE(0x80040F1B), L"Operacja wieloetapowa zakończyła się błędami. Sprawdź wprowadzone wartości. %1"},
    {KD_CODE(0x80040F1C), L"Naruszenie integralności danych: obiekt jest używany przez inne dane lub takie dane już istnieją. %1"},
    {KD_CODE(0x80040F1D), L"Brak uprawnień do wykonania operacji w bazie danych. %1"},
    {KD_CODE(0x80040F1E), L"Przekroczono limit czasu operacji w bazie danych. %1"},
    {KD_CODE(0x80040F1F), L"Wartość jest zbyt długa dla pola bazy danych. %1"},
    {KD_CODE(0x80040F20), L"Nieokreślony błąd bazy danych. %1"},
    {KD_CODE(0x80040F21), L"Nie znaleziono obiektu w bazie danych. %1"},
    {KD_CODE(0x80040F22), L"Obiekt został zmieniony przez innego użytkownika. %1"},
    {KD_CODE(0x80040F23), L"Obiekt został usunięty przez innego użytkownika. %1"},
    {KD_CODE(0x80040F24), L"Nie można połączyć się z bazą danych. %1"},
    {KD_CODE(0x80040F25), L"Połączenie z bazą danych zostało przerwane. %1"},
    {KD_CODE(0x80040F26), L"Niepoprawna wartość pola. %1"},
    {KD_CODE(0x80040F27), L"Nie wypełniono wymaganego pola. %1"},
    {KD_CODE(0x80040F28), L"Niepoprawny format daty. %1"},
    {KD_CODE(0x80040F29), L"Niepoprawny format liczby. %1"},
    {KD_CODE(0x80040F2A), L"Wartość spoza dozwolonego zakresu. %1"},
    {KD_CODE(0x80040F2B), L"Nie można zapisać obiektu. %1"},
    {KD_CODE(0x80040F2C), L"Nie można usunąć obiektu. %1"},
    {KD_CODE(0x80040F2D), L"Nie można odczytać obiektu. %1"},
    {KD_CODE(0x80040F2E), L"Obiekt nie jest w trybie edycji. %1"},
    {KD_CODE(0x80040F2F), L"Brak bieżącego rekordu. %1"},
    {KD_CODE(0x80040F30), L"Brak uprawnień do utworzenia obiektu. %1"},
    {KD_CODE(0x80040F31), L"Brak uprawnień do zmiany obiektu. %1"},
    {KD_CODE(0x80040F32), L"Brak uprawnień do usunięcia obiektu. %1"},
    {KD_CODE(0x80040F33), L"Operacja została przerwana. %1"},
    {KD_CODE(0x80040F34), L"Polecenie bazy danych zawiera błędy. %1"},
    {KD_CODE(0x80040F41), L"Nie można rozpocząć transakcji w bazie danych. %1"},
    {KD_CODE(0x80040F42), L"Nie można zatwierdzić transakcji w bazie danych. %1"},
    // Auction services and the ERP.
    {KD_CODE(0x80044532), L"Nie można użyć sposobu dostawy: brak danych adresowych kupującego."},
    {KD_CODE(0x80044589), L"Nie można połączyć się z programem Handlar VX."},
    // Seller-zone transport and SOAP failures: 0x80044502 plus the SOAP runtime's status number
    // (-1 to 39). These texts and those of the service's faults end with CR LF: the server's own
    // message follows on a line of its own.
    {KD_CODE(0x80044501), L"Połączenie ze Strefą Vantor zostało przerwane lub przekroczono limit czasu.\r\n"},
    {KD_CODE(0x80044502), L"Błąd komunikacji ze Strefą Vantor.\r\n"},
    {KD_CODE(0x80044503), L"Strefa Vantor odrzuciła żądanie programu (błąd klienta).\r\n"},
    {KD_CODE(0x80044504), L"Błąd serwera Strefy Vantor.\r\n"},
    {KD_CODE(0x80044505), L"Niepoprawna odpowiedź Strefy Vantor: nieoczekiwany element.\r\n"},
    {KD_CODE(0x80044506), L"Niepoprawna odpowiedź Strefy Vantor: niepoprawny typ danych.\r\n"},
    {KD_CODE(0x80044507), L"Niepoprawna odpowiedź Strefy Vantor: błędny zapis XML.\r\n"},
    {KD_CODE(0x80044508), L"Niepoprawna odpowiedź Strefy Vantor: brak oczekiwanego elementu.\r\n"},
    {KD_CODE(0x80044509), L"Niepoprawna odpowiedź Strefy Vantor: indeks tablicy poza zakresem.\r\n"},
    {KD_CODE(0x8004450A), L"Strefa Vantor wymaga obsługi nieznanego nagłówka SOAP.\r\n"},
    {KD_CODE(0x8004450B), L"Niepoprawna odpowiedź Strefy Vantor: nieznana przestrzeń nazw.\r\n"},
    {KD_CODE(0x8004450C), L"Błąd komunikacji ze Strefą Vantor zgłoszony przez program.\r\n"},
    {KD_CODE(0x8004450D), L"Błąd krytyczny komunikacji ze Strefą Vantor.\r\n"},
    {KD_CODE(0x8004450E), L"Strefa Vantor zwróciła błąd.\r\n"},
    {KD_CODE(0x8004450F), L"Strefa Vantor nie zna wywołanej operacji.\r\n"},
    {KD_CODE(0x80044510), L"Strefa Vantor nie obsługuje żądań GET.\r\n"},
    {KD_CODE(0x80044511), L"Za mało pamięci do komunikacji ze Strefą Vantor.\r\n"},
    {KD_CODE(0x80044512), L"Niepoprawna odpowiedź Strefy Vantor: brak wymaganej wartości.\r\n"},
    {KD_CODE(0x80044513), L"Niepoprawna odpowiedź Strefy Vantor: powtórzony identyfikator elementu.\r\n"},
    {KD_CODE(0x80044514), L"Niepoprawna odpowiedź Strefy Vantor: brak elementu o wskazanym identyfikatorze.\r\n"},
    {KD_CODE(0x80044515), L"Niepoprawna odpowiedź Strefy Vantor: błędne odwołanie do elementu.\r\n"},
    {KD_CODE(0x80044516), L"Błąd połączenia UDP ze Strefą Vantor.\r\n"},
    {KD_CODE(0x80044517), L"Błąd połączenia TCP ze Strefą Vantor.\r\n"},
    {KD_CODE(0x80044518), L"Błąd połączenia HTTP ze Strefą Vantor.\r\n"},
    {KD_CODE(0x80044519), L"Błąd bezpiecznego połączenia (SSL) ze Strefą Vantor.\r\n"},
    {KD_CODE(0x8004451A), L"Niepoprawna odpowiedź Strefy Vantor: błąd rozpakowania danych.\r\n"},
    {KD_CODE(0x8004451B), L"Niepoprawna odpowiedź Strefy Vantor: błąd formatu DIME.\r\n"},
    {KD_CODE(0x8004451C), L"Niepoprawna odpowiedź Strefy Vantor: błędne odwołanie DIME.\r\n"},
    {KD_CODE(0x8004451D), L"Niepoprawna odpowiedź Strefy Vantor: niezgodność danych DIME.\r\n"},
    {KD_CODE(0x8004451E), L"Niepoprawna odpowiedź Strefy Vantor: niedokończone dane DIME.\r\n"},
    {KD_CODE(0x8004451F), L"Niepoprawna odpowiedź Strefy Vantor: błąd formatu MIME.\r\n"},
    {KD_CODE(0x80044520), L"Niepoprawna odpowiedź Strefy Vantor: błędne odwołanie MIME.\r\n"},
    {KD_CODE(0x80044521), L"Niepoprawna odpowiedź Strefy Vantor: niedokończone dane MIME.\r\n"},
    {KD_CODE(0x80044522), L"Niezgodna wersja protokołu SOAP Strefy Vantor.\r\n"},
    {KD_CODE(0x80044523), L"Błąd modułu połączenia ze Strefą Vantor.\r\n"},
    {KD_CODE(0x80044524), L"Niepoprawna odpowiedź Strefy Vantor: nieznany sposób kodowania danych.\r\n"},
    {KD_CODE(0x80044525), L"Niepoprawna odpowiedź Strefy Vantor: brak wymaganego atrybutu.\r\n"},
    {KD_CODE(0x80044526), L"Niepoprawna odpowiedź Strefy Vantor: niedozwolony atrybut.\r\n"},
    {KD_CODE(0x80044527), L"Niepoprawna odpowiedź Strefy Vantor: niepoprawna liczba elementów.\r\n"},
    {KD_CODE(0x80044528), L"Odpowiedź Strefy Vantor jest zbyt duża.\r\n"},
    {KD_CODE(0x80044529), L"Przekroczono limit otwartych połączeń ze Strefą Vantor.\r\n"},
    // Seller-zone service faults.
    {KD_CODE(0x80044593), L"Niepoprawny login lub hasło do Strefy Vantor.\r\n"},
    {KD_CODE(0x80044595), L"Usługa Strefy Vantor jest chwilowo niedostępna.\r\n"},
    {KD_CODE(0x80044596), L"Operacja nie jest obsługiwana przez Strefę Vantor.\r\n"},
    {KD_CODE(0x80044597), L"Użytkownik nie jest właścicielem strony.\r\n"},
    {KD_CODE(0x80044598), L"Oferta kupna nie istnieje.\r\n"},
    {KD_CODE(0x80044599), L"Strona została zamknięta.\r\n"},
    {KD_CODE(0x8004459A), L"Obsługa statusów jest wyłączona.\r\n"},
    {KD_CODE(0x8004459B), L"Aukcja nie istnieje.\r\n"},
    {KD_CODE(0x8004459C), L"Użytkownik nie jest sprzedającym w aukcji.\r\n"},
    {KD_CODE(0x8004459D), L"Strona została już otwarta.\r\n"},
    {KD_CODE(0x8004459E), L"Strona nie została otwarta.\r\n"},
    {KD_CODE(0x8004459F), L"Strona nie istnieje.\r\n"},
    {KD_CODE(0x800445A0), L"Strony nie mają wspólnych ofert kupna.\r\n"},
    {KD_CODE(0x800445A1), L"Synchronizacja została przerwana przez użytkownika."},
    // The database provider's (OLE DB) and ADO's own codes that the product database answers.
    {KD_CODE(0x80040E05), L"Obiekt bazy danych jest już otwarty."},
    {KD_CODE(0x80040E07), L"Nie można przekształcić wartości do typu pola bazy danych."},
    {KD_CODE(0x80040E09), L"Brak uprawnień do zmiany bazy danych."},
    {KD_CODE(0x80040E0E), L"Niepoprawna nazwa parametru polecenia bazy danych."},
    {KD_CODE(0x80040E10), L"Nie podano wartości wymaganego parametru polecenia bazy danych."},
    {KD_CODE(0x80040E14), L"Baza danych odrzuciła polecenie: zawiera błędy albo narusza ograniczenie danych."},
    {KD_CODE(0x80040E21), L"Operacja wieloetapowa w bazie danych zakończyła się błędami."},
    {KD_CODE(0x80040E2F), L"Naruszenie integralności danych: baza danych odrzuciła zapisywane wiersze."},
    {KD_CODE(0x80040E31), L"Przekroczono czas oczekiwania na bazę danych zajętą przez inny program."},
    {KD_CODE(0x80040E37), L"Tabela lub widok nie istnieje w bazie danych."},
    {KD_CODE(0x80040E38), L"Wiersz został zmieniony lub usunięty przez innego użytkownika."},
    {KD_CODE(0x80040E40), L"Tabela bazy danych jest używana."},
    {KD_CODE(0x80040E42), L"Niepoprawny numer rekordu."},
    {KD_CODE(0x80040E97), L"Wartość jest zbyt długa dla pola bazy danych."},
    {KD_CODE(0x800A0BB9), L"Argumenty są niewłaściwego typu, spoza dopuszczalnego zakresu lub sprzeczne ze sobą."},
    {KD_CODE(0x800A0BBA), L"Nie można otworzyć pliku."},
    {KD_CODE(0x800A0BBC), L"Nie można zapisać pliku."},
    {KD_CODE(0x800A0BCD), L"Brak bieżącego rekordu: zbiór rekordów jest na początku lub na końcu albo rekord usunięto."},
    {KD_CODE(0x800A0C93), L"Operacja nie jest dozwolona w tym stanie obiektu."},
    {KD_CODE(0x800A0CB3), L"Baza danych nie obsługuje tej operacji."},
    {KD_CODE(0x800A0CC1), L"Nie znaleziono elementu o podanej nazwie lub numerze (na przykład pola)."},
    {KD_CODE(0x800A0D5D), L"Wartość ma niewłaściwy typ dla tej operacji."},
    {KD_CODE(0x800A0E78), L"Operacja nie jest dozwolona, gdy obiekt jest zamknięty."},
    {KD_CODE(0x800A0E79), L"Operacja nie jest dozwolona, gdy obiekt jest otwarty."},
    {KD_CODE(0x800A0E7A), L"Nie znaleziono dostawcy bazy danych."},
    {KD_CODE(0x800A0E7B), L"Nie można zmienić połączenia zbioru rekordów otwartego przez polecenie."},
    {KD_CODE(0x800A0E7C), L"Niepoprawnie określony parametr polecenia bazy danych."},
    {KD_CODE(0x800A0E7D), L"Połączenie z bazą danych jest zamknięte lub niepoprawne."},
    {KD_CODE(0x800A0E80), L"Operacja w bazie danych została anulowana."},
    // Common system codes.
    {KD_CODE(0x80004005), L"Nieokreślony błąd."},
    {KD_CODE(0x80070057), L"Niepoprawny parametr."},
    {KD_CODE(0x80004003), L"Niepoprawny wskaźnik."},
    {KD_CODE(0x80004002), L"Interfejs nie jest obsługiwany."},
    {KD_CODE(0x8007000E), L"Za mało pamięci."},
    {KD_CODE(0x80070005), L"Odmowa dostępu."},
    {KD_CODE(0x8000FFFF), L"Nieoczekiwany błąd."},
    {KD_CODE(0x80004001), L"Funkcja nie została zaimplementowana."},
    {KD_CODE(0x80004004), L"Operacja została przerwana."},
    {KD_CODE(0x80040154), L"Klasa nie jest zarejestrowana."},
    {KD_CODE(0x800401F3), L"Niepoprawny identyfikator klasy."},
};

#undef KD_CODE

const wchar_t* Find(HRESULT code) {
  for (const Message& m : kMessages)
    if (m.code == code) return m.text;
  return nullptr;
}

// Fills %1 to %9 of `text` with the inserts; %% gives one percent sign; a missing insert is empty.
std::wstring Fill(const wchar_t* text, std::initializer_list<const wchar_t*> inserts) {
  std::vector<const wchar_t*> args(inserts);
  std::wstring out;
  for (const wchar_t* p = text; *p; ++p) {
    if (*p == L'%' && p[1] >= L'1' && p[1] <= L'9') {
      const size_t i = static_cast<size_t>(p[1] - L'1');
      if (i < args.size() && args[i]) out += args[i];
      ++p;
    } else if (*p == L'%' && p[1] == L'%') {
      out += L'%';
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

namespace zephra {
bool IsKdError(HRESULT code) {
  const auto u = static_cast<std::uint32_t>(code);
  return (u >= 0x80040F00u && u <= 0x80040FFFu) || (u >= 0x80044500u && u <= 0x800445FFu);
}
}  // namespace zephra

CKdSmartMessage::CKdSmartMessage() = default;
CKdSmartMessage::CKdSmartMessage(const wchar_t*) {}

bool CKdSmartMessage::HasMessage(HRESULT code) const { return Find(code) != nullptr; }

CString CKdSmartMessage::FormatMessage(HRESULT code, LANGID, std::initializer_list<const wchar_t*> inserts) const {
  const wchar_t* text = Find(code);
  if (!text) return CString();
  return CString(Fill(text, inserts).c_str());
}

CString CKdSmartMessage::SystemMessage(HRESULT code, LANGID language) const {
  if (const wchar_t* text = Find(code)) return CString(Fill(text, {}).c_str());
  CString s;
  s.Format(L"Błąd 0x%08X", static_cast<unsigned>(code));
  return s;
}

LANGID KdGetUserDefaultLangID() { return 1045; }

DATE KdNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  DATE date = 0;
  SystemTimeToVariantTime(&st, &date);
  return date;
}
