#pragma once
// Dictionary fillers: combo and list boxes of the host's dialogs filled with the product's
// dictionaries (SQL), short fixed lists and the ERP program's document types and payment forms.
// Every entry carries its key as item data: -2 is an "any" entry, 0x80000000 a "none" entry.
// Every filler takes the control id first and answers S_OK, E_FAIL when the framework's fill
// or an add fails, or the HRESULT of a failed query or COM error. With the reset switch on (the
// default) a filler empties its control first; off, it appends.
#include "framework/fill.h"
#include "framework/interfaces.h"
#include "platform/ado/ado.h"

constexpr LONG kFillAny = -2;
constexpr LONG kFillNone = static_cast<LONG>(0x80000000u);

class CFillControls {
 public:
  // An entry of a fixed list.
  struct LBEntry {
    LONG value;
    const wchar_t* text;
  };

  explicit CFillControls(CFlgDataExchange& dx) : m_dx(&dx) {}
  CFillControls(const CFillControls&) = default;
  CFillControls& operator=(const CFillControls&) = default;
  virtual ~CFillControls() = default;

  virtual LONG SetConnection() = 0;
  virtual _ConnectionPtr GetConnection() = 0;

  void ResetContent(bool reset) { m_reset = reset; }
  bool ResetsContent() const { return m_reset; }
  CFlgDataExchange& DataExchange() const { return *m_dx; }

  // Fills a control straight through its messages (reset, add, set item data, select): 0 when
  // the control is missing or not a window, the table is null or the count not positive;
  // otherwise resets it when `reset` is set, adds every entry whose value is not excluded, and 1.
  int LB_CB_Fill(UINT resetMessage, UINT addMessage, UINT setDataMessage, UINT selectMessage, int ctrl,
                 const LBEntry* entries, int count, bool reset, const LONG* excluded, int excludedCount);

 protected:
  // Opens `sql` (static, read-only) and fills the control through the framework: item data from
  // `idColumn`, text through `format` over the display columns given (up to the first null).
  // Then the second entry goes to position 0 when `addSecond` is set, and the first entry to
  // position 0 when `addFirst` is set, so the first ends on top and the second below it.
  LONG CBFillFromSql(int ctrl, const wchar_t* sql, const wchar_t* idColumn, const wchar_t* col1, const wchar_t* col2,
                     const wchar_t* col3, const wchar_t* col4, const wchar_t* col5, const wchar_t* format,
                     bool addFirst, const wchar_t* firstText, DWORD firstData, bool addSecond,
                     const wchar_t* secondText, DWORD secondData);
  LONG LBFillFromSql(int ctrl, const wchar_t* sql, const wchar_t* idColumn, const wchar_t* col1, const wchar_t* col2,
                     const wchar_t* col3, const wchar_t* col4, const wchar_t* col5, const wchar_t* format,
                     bool addFirst, const wchar_t* firstText, DWORD firstData, bool addSecond,
                     const wchar_t* secondText, DWORD secondData);
  // A string of this library's resources added with its item data (E_FAIL when the string is
  // missing or the add fails).
  LONG CB_AddString(int ctrl, UINT stringId, LONG data);
  LONG LB_AddString(int ctrl, UINT stringId, LONG data);

 private:
  LONG FillFromSql(bool list, int ctrl, const wchar_t* sql, const wchar_t* idColumn, const wchar_t* const* columns,
                   const wchar_t* format, bool addFirst, const wchar_t* firstText, DWORD firstData, bool addSecond,
                   const wchar_t* secondText, DWORD secondData);

  bool m_reset = true;
  CFlgDataExchange* m_dx;
};

class CHxFillControls : public CFillControls {
 public:
  explicit CHxFillControls(CFlgDataExchange& dx) : CFillControls(dx) {}
  CHxFillControls(const CHxFillControls&) = default;
  CHxFillControls& operator=(const CHxFillControls&) = default;

  // The product database's connection (CHxInstance); S_OK, or the failure's HRESULT.
  LONG SetConnection() override;
  // The connection, taken at the first need; empty when it cannot be had.
  _ConnectionPtr GetConnection() override;

  // --- dictionaries
  LONG CBFillSposobZaplaty(int ctrl);
  LONG LBFillSposobZaplaty(int ctrl);
  LONG CBFillSposobWysylki(int ctrl, bool personal);
  LONG LBFillSposobWysylki(int ctrl, bool personal);
  LONG CBFillUzywaneStronySerwisow(int ctrl, bool addEmpty, const wchar_t* emptyText, LONG emptyData);
  LONG CBFillPersonel(int ctrl, bool undefined);
  LONG CBFillGrupyTowarow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,
                          const wchar_t* secondText, LONG secondData);
  LONG LBFillGrupyTowarow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,
                          const wchar_t* secondText, LONG secondData);
  LONG CBFillGrupyKlientow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,
                           const wchar_t* secondText, LONG secondData);
  LONG LBFillGrupyKlientow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,
                           const wchar_t* secondText, LONG secondData);
  LONG CBFillGrupyAukcji(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,
                         const wchar_t* secondText, LONG secondData);
  LONG LBFillGrupyAukcji(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,
                         const wchar_t* secondText, LONG secondData);
  LONG CBFillGrupySzablonowAukcji(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,
                                  const wchar_t* secondText, LONG secondData);
  LONG LBFillGrupySzablonowAukcji(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,
                                  const wchar_t* secondText, LONG secondData);
  LONG CBFillCechyTowarow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData);
  LONG LBFillCechyTowarow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData);
  LONG LBFillCechaTransakcji(int ctrl);
  LONG LBFillCechaTowaru(int ctrl);
  LONG LBFillCechaKlienta(int ctrl);
  LONG CBFillWaluty(int ctrl);
  LONG CBFillWalutaBank(int ctrl, bool all);
  LONG LBFillWalutaBank(int ctrl, bool all);
  LONG CBFillKontaEmailoweSMTP(int ctrl);
  LONG CBFillKontaEmailowe(int ctrl, int offset);
  LONG LBFillKontaEmailowe(int ctrl, int offset);
  LONG CBFillGrupyEmailowe(int ctrl);
  LONG LBFillGrupyEmailowe(int ctrl);
  LONG CBFillSzablKoment(int ctrl, LONG score);
  LONG CBFillJezyk(int ctrl);
  LONG CBFillDostawcy(int ctrl);
  LONG LBFillDostawcy(int ctrl, bool personal);
  LONG LBFillDostawcyPocztowi(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData);
  // The deliverers (with personal pickup on top), then the deliveries as "deliverer - delivery";
  // both fills honour the reset switch, so with it on the second fill empties the list first.
  LONG LBFillDostawcyDostawy(int ctrl);
  LONG CBFillDostawy(int ctrl, LONG delivererId, bool cashOnDelivery);
  LONG CBFillSerwisyAukcyjne(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData);
  LONG CBFillKomunikator(int ctrl);

  // --- fixed lists
  LONG CBFillSposobTworzeniaPaczki(int ctrl);
  LONG LBFillDoliczenia(int ctrl);
  LONG CBFillKwotyPrzyGrupowaniu(int ctrl);
  LONG CBFillRodzajKursu(int ctrl);
  LONG CBFillStanTransakcji(int ctrl);
  LONG CBFillTypTransakcji(int ctrl);
  LONG CBFillTypKomentarza(int ctrl);
  LONG CBFillKorektaCenyWynikowej(int ctrl);
  LONG CBFillMetodaWyliczaniaCenyDlaStrony(int ctrl);
  LONG CBFillAutoSyncParam(int ctrl);
  LONG CBFillSposobTwDokumKonc(int ctrl);

  // The transaction state's text for states 0 to 3; empty for any other.
  static void LoadStringStanTransakcji(LONG state, CString& text);

 private:
  struct Word {
    UINT id;
    LONG data;
  };
  LONG Words(bool list, int ctrl, std::initializer_list<Word> words);
  // One query into a combo (list false) or list box, with up to two display columns and the
  // extra entries.
  LONG Fill(bool list, int ctrl, const wchar_t* sql, const wchar_t* id, const wchar_t* col1, const wchar_t* col2,
            const wchar_t* format, bool addFirst = false, const wchar_t* firstText = nullptr, LONG firstData = 0,
            bool addSecond = false, const wchar_t* secondText = nullptr, LONG secondData = 0);
  LONG Constants(int ctrl, const LBEntry* entries, int count);

  _ConnectionPtr m_connection;
};

class CDSIFillControls : public CHxFillControls {
 public:
  explicit CDSIFillControls(CFlgDataExchange& dx) : CHxFillControls(dx) {}
  CDSIFillControls(const CDSIFillControls&) = default;
  CDSIFillControls& operator=(const CDSIFillControls&) = default;

  LONG CBFillTypDokumentuWstepnego(DSIDocumentsPtr documents, int ctrl, bool none);
  LONG CBFillTypDokumentuKoncowego(DSIDocumentsPtr documents, int ctrl, bool none);
  // The document types of a kind (1 or 2, else E_INVALIDARG): "(brak dokumentów)" alone without
  // documents or types; otherwise "(nie twórz dokumentu)" first when `none`, then the types.
  LONG CBFillTypDokumentuEP(dsiDocType kind, DSIDocumentsPtr documents, int ctrl, bool none);
  // "(brak form płatności)" alone without documents, "(brak dokumentów)" alone without forms;
  // otherwise "gotówka" first, then the forms.
  LONG CBFillFormaPlatnosci(DSIDocumentsPtr documents, int ctrl);

 private:
  // Adds each entry of the collection (name and key) in its order.
  LONG AddCollection(int ctrl, const DSICollectionPtr& collection);
};
