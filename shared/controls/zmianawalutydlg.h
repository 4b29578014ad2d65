#pragma once
// The change-of-currency dialog: converts an amount to another currency at a rate the user
// enters. The simple form (template 1004) only chooses the new currency; the full form (the
// host's template 122) also shows the old amount, the rate, the new amount and the equation
// "1 <new> = <rate> <old>".
#include <vector>

#include "framework/flgdialog.h"
#include "platform/gui/olecurrency.h"

inline constexpr UINT kIddZmianaWalutySimple = 1004;
inline constexpr UINT kIddZmianaWaluty = 122;

// A currency of the program's list (sl_Currency).
class CWaluta {
 public:
  LONG m_id = static_cast<LONG>(0x80000000);
  CString m_symbol;
  CString m_name;
};

// The program's currencies, by symbol.
class CListaWalut : public std::vector<CWaluta> {
 public:
  // Reads the list again from the program database; false (and the list emptied) on any error.
  bool Read();
  // The currency of that id or symbol; null when there is none.
  const CWaluta* FindId(LONG id) const;
  const CWaluta* FindSymbol(const CString& symbol) const;
};

class CZmianaWalutyDlg : public CFlgDialog {
 public:
  enum {
    IDC_BAND = 1002,
    IDC_CURRENCY = 12080,
    IDC_OLD_AMOUNT = 12082,
    IDC_RATE = 12011,
    IDC_NEW_AMOUNT = 12012,
    IDC_EQUATION_NEW = 1013,
    IDC_EQUATION_OLD = 1014,
  };

  explicit CZmianaWalutyDlg(bool simple, CWnd* parent = nullptr);

  const CString& StaraWaluta() const { return m_oldSymbol; }
  void SetStaraWaluta(const CString& symbol) { m_oldSymbol = symbol; }
  const CString& NowaWaluta() const { return m_newSymbol; }
  void SetNowaWaluta(const CString& symbol) { m_newSymbol = symbol; }
  const COleCurrency& StareDoZaplaty() const { return m_oldAmount; }
  void SetStareDoZaplaty(const COleCurrency& amount) { m_oldAmount = amount; }
  const COleCurrency& NoweDoZaplaty() const { return m_newAmount; }
  void SetNoweDoZaplaty(const COleCurrency& amount) { m_newAmount = amount; }
  const COleCurrency& Kurs() const { return m_rate; }
  void SetKurs(const COleCurrency& rate) { m_rate = rate; }
  bool IsSimple() const { return m_simple; }
  // The currency list, read on first use (and again after a failed read).
  const CListaWalut& ListaWalut();

  // The equation labels: "1 <new> =" and the old symbol.
  void WpiszRownanie();
  // A change of the rate: with a valid rate the new amount is the old one divided by the rate,
  // rounded half away from zero to 2 places, and shown.
  void OnZmianaKursu();
  // A change of the chosen currency.
  void OnZmianaWaluty();
  // The rate in the rate control, to the nearest ten-thousandth; a text that is empty or no
  // number, or a rate not above 0, gives an invalid value.
  COleCurrency KursZKontrolki() const;

  void OnLoadData(CFlgDataExchange& dx) override;
  void OnSaveData(CFlgDataExchange& dx) override;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  void ShowRate();

  CString m_oldSymbol;
  CString m_newSymbol;
  COleCurrency m_oldAmount;
  COleCurrency m_newAmount;
  COleCurrency m_rate;
  bool m_simple;
  CListaWalut m_currencies;
  bool m_currenciesLoaded = false;
};
