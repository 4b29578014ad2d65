#pragma once
// The field-change tracker: the product's tracker over the framework's history tracker, the
// tracked field that writes the Polish change descriptions, and the formatters that turn old
// and new values into text (plain, looked up by SQL, currency, date, mapped from a list).
#include "framework/tracker.h"

class CHxTrackedValueFormater {
 public:
  CHxTrackedValueFormater() = default;
  CHxTrackedValueFormater(const CHxTrackedValueFormater&) = default;
  CHxTrackedValueFormater& operator=(const CHxTrackedValueFormater&) = default;
  virtual ~CHxTrackedValueFormater() = default;
  virtual CString FormatValue(const _variant_t& value) = 0;
  virtual void Free() { delete this; }
};

// A null value gives the null text; any other the variant's conversion to text (a conversion
// that fails raises its COM error).
class CHxDefaultTrackedValueFormater : public CHxTrackedValueFormater {
 public:
  CHxDefaultTrackedValueFormater() = default;
  explicit CHxDefaultTrackedValueFormater(const wchar_t* nullText) : m_nullText(nullText ? nullText : L"") {}
  CString FormatValue(const _variant_t& value) override;
  const CString& NullText() const { return m_nullText; }

 protected:
  CString m_nullText;
};

// A VT_I4 value is put into the SQL format ("%ld") and the first column of the first row of that
// query is formatted as by the default formatter; other values as by the default formatter.
class CHxSimpleSqlValueFormater : public CHxDefaultTrackedValueFormater {
 public:
  explicit CHxSimpleSqlValueFormater(const wchar_t* sqlFormat) : m_sqlFormat(sqlFormat ? sqlFormat : L"") {}
  CHxSimpleSqlValueFormater(const wchar_t* sqlFormat, const wchar_t* nullText)
      : CHxDefaultTrackedValueFormater(nullText), m_sqlFormat(sqlFormat ? sqlFormat : L"") {}
  CString FormatValue(const _variant_t& value) override;

 private:
  CString m_sqlFormat;
};

// A VT_CY value as currency in the user's default locale; any other value "0".
class CHxCurrencyValueFormater : public CHxDefaultTrackedValueFormater {
 public:
  using CHxDefaultTrackedValueFormater::CHxDefaultTrackedValueFormater;
  CString FormatValue(const _variant_t& value) override;
};

// A VT_DATE or VT_R8 value as date and time in the user's default locale; any other "(brak)".
class CHxDateTimeValueFormater : public CHxDefaultTrackedValueFormater {
 public:
  using CHxDefaultTrackedValueFormater::CHxDefaultTrackedValueFormater;
  CString FormatValue(const _variant_t& value) override;
};

// Entries separated by "|": VT_BOOL selects entry 1 (true) or 0, VT_I4 the entry of that index;
// any other type "(brak)".
class CHxCustomMapValueFormater : public CHxDefaultTrackedValueFormater {
 public:
  explicit CHxCustomMapValueFormater(const wchar_t* map) : m_map(map ? map : L"") {}
  CString FormatValue(const _variant_t& value) override;
  // The entry at `index`; empty when the list (or an empty entry) ends first.
  virtual CString GetStringFor(LONG index);

 private:
  CString m_map;
};

class CHxTrackedFieldEx : public CHxTrackedField {
 public:
  enum DisplayedValue : int {
    dvOldAndNew = 0,   // " (%s -> %s)"
    dvOld = 1,         // " (poprzednia wartość: %s)"
    dvNew = 2,         // " (nowa wartość: %s)"
    dvNone = 3,
    dvAuto = 4,        // the old value alone when the new one is null, the new alone when the old is
  };

  CHxTrackedFieldEx(IFlgDataSet* dataSet, LONG index, const wchar_t* field);
  CHxTrackedFieldEx(IFlgDataSet* dataSet, LONG index, const wchar_t* field, const wchar_t* text);
  CHxTrackedFieldEx(const CHxTrackedFieldEx&) = delete;
  CHxTrackedFieldEx& operator=(const CHxTrackedFieldEx&) = delete;
  ~CHxTrackedFieldEx() override;

  // "Zmieniono pole <name>" (or the custom text) and the display mode's suffix; built at the
  // first call and kept.
  CString ChangeDescr() override;
  BOOL DataChanged() override;

  // Frees the previous formatter and takes the new one.
  void SetFormatter(CHxTrackedValueFormater* formatter);
  // The formatter; a default one (empty null text) when none was set.
  CHxTrackedValueFormater* ValueFormater();
  void SetChangeDescr(const wchar_t* text) { m_customDescr = text ? text : L""; }
  void DisplayValues(DisplayedValue mode) { m_display = mode; }
  DisplayedValue Displayed() const { return m_display; }

 private:
  CHxTrackedValueFormater* m_formatter = nullptr;
  DisplayedValue m_display = dvNone;
  CString m_descr;
  bool m_described = false;
  CString m_customDescr;
};

class CHxTracker : public CHxHistoryTracker {
 public:
  CHxTracker(IFlgInstance* instance, IFlgDataSet* dataSet, LONG index, const wchar_t* object, const wchar_t* keyColumn,
             const wchar_t* historyColumn)
      : CHxHistoryTracker(instance, dataSet, index, object, keyColumn, historyColumn) {}
  ~CHxTracker() override = default;

  // A tracked field of the tracker's data set, registered with AddItem and owned by the tracker.
  CHxTrackedFieldEx* AddFieldEx(const wchar_t* field, const wchar_t* text);
};
