#pragma once
// The framework's change tracking of an edited business object.
//
// A tracked item remembers a saved state and tells whether the data changed since. A tracked
// field is an item over one column of the current row of one data set of a data object: it keeps
// the column's saved value as a variant and reads the current value from the data set. The
// change tracker owns its items: SaveData remembers every item's current state, CheckChanges
// offers each changed item to OnChange and answers how many changed, DataSaved makes the current
// state the saved one (after the object was saved). The history tracker also writes the
// descriptions of the changes it found into the object's history (kept here as the tracker's
// history lines, each cut to ChangeFieldSize characters).
#include <vector>

#include "framework/interfaces.h"
#include "platform/ado/ado.h"
#include "platform/strings/strings.h"

class CHxTrackedItem {
 public:
  CHxTrackedItem() = default;
  CHxTrackedItem(const CHxTrackedItem&) = delete;
  CHxTrackedItem& operator=(const CHxTrackedItem&) = delete;
  virtual ~CHxTrackedItem() = default;
  // The current state becomes the saved one.
  virtual void DataSaved() {}
  // The description of the change, for the history.
  virtual CString ChangeDescr() { return CString(); }
  // Remembers the current state as the saved one (at the start of editing).
  virtual void SaveData() {}
  // Deletes the item.
  virtual void Free() { delete this; }
  // The tracker found the item changed.
  virtual void OnChange() {}
  virtual BOOL DataChanged() { return FALSE; }
};

class CHxTrackedField : public CHxTrackedItem {
 public:
  // The column `field` of the current row of data set `index` of `dataSet`; `text` names the
  // field for the user (the column's name when not given).
  CHxTrackedField(IFlgDataSet* dataSet, LONG index, const wchar_t* field);
  CHxTrackedField(IFlgDataSet* dataSet, LONG index, const wchar_t* field, const wchar_t* text);

  void DataSaved() override;
  void SaveData() override;
  void Free() override { delete this; }
  void OnChange() override { ++m_changes; }

  const CString& FieldName() const { return m_field; }
  // The name shown to the user.
  const CString& FieldText() const { return m_text; }
  const _variant_t& SavedValue() const { return m_saved; }
  // The column's current value; VT_EMPTY when the data set, its row or the column cannot be read.
  _variant_t CurrentValue() const;
  IFlgDataSet* DataSet() const { return m_dataSet; }
  int Changes() const { return m_changes; }

 protected:
  IFlgDataSetPtr m_dataSet;
  LONG m_index;
  CString m_field;
  CString m_text;
  _variant_t m_saved;
  int m_changes = 0;
};

class CHxChangeTracker {
 public:
  CHxChangeTracker() = default;
  CHxChangeTracker(const CHxChangeTracker&) = delete;
  CHxChangeTracker& operator=(const CHxChangeTracker&) = delete;
  virtual ~CHxChangeTracker() { Free(); }

  virtual void SaveData();
  // Frees every item.
  virtual void Free();
  // Takes the item over (null is ignored).
  virtual void AddItem(CHxTrackedItem* item);
  // Offers every changed item to OnChange; the number of changed items.
  virtual LONG CheckChanges();
  virtual void DataSaved();
  virtual void OnChange(CHxTrackedItem* item) {
    if (item) item->OnChange();
  }
  // The longest change description the history takes.
  virtual LONG ChangeFieldSize() { return 4000; }

  int ItemCount() const { return static_cast<int>(m_items.size()); }
  CHxTrackedItem* Item(int index) const {
    return index >= 0 && index < ItemCount() ? m_items[static_cast<size_t>(index)] : nullptr;
  }

 private:
  std::vector<CHxTrackedItem*> m_items;
};

class CHxHistoryTracker : public CHxChangeTracker {
 public:
  // The framework instance, the tracked data object's data set, the index of its data set
  // holding the tracked row, and the object's name, its key column and the history's text
  // column.
  CHxHistoryTracker(IFlgInstance* instance, IFlgDataSet* dataSet, LONG index, const wchar_t* object,
                    const wchar_t* keyColumn, const wchar_t* historyColumn);

  void OnChange(CHxTrackedItem* item) override;

  IFlgDataSetPtr FlgDataSetPtr() const { return m_dataSet; }
  LONG DataSetIndex() const { return m_index; }
  IFlgInstancePtr Instance() const { return m_instance; }
  const CString& ObjectName() const { return m_object; }
  const CString& KeyColumn() const { return m_keyColumn; }
  const CString& HistoryColumn() const { return m_historyColumn; }
  // The history lines written so far, oldest first.
  const std::vector<CString>& History() const { return m_history; }

 private:
  IFlgInstancePtr m_instance;
  IFlgDataSetPtr m_dataSet;
  LONG m_index;
  CString m_object;
  CString m_keyColumn;
  CString m_historyColumn;
  std::vector<CString> m_history;
};
