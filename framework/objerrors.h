#pragma once
// The framework's list of a data object's validation and save errors, shown by the object's
// dialog beside the fields they name.
#include <vector>

#include "platform/strings/strings.h"

// One error: the field (a dialog's control id; -1 for none), its kind, the text, a reserved long,
// the caption of its message and the icon of its message (the system's error icon by default).
struct FLG_OBJECT_ERROR_INFO {
  LONG fieldId = -1;
  LONG kind = 0;
  CString text;
  LONG reserved = 0;
  CString caption = L"Błąd";
  UINT icon = 0x7F01;

  bool operator==(const FLG_OBJECT_ERROR_INFO& o) const {
    return fieldId == o.fieldId && kind == o.kind && text == o.text && reserved == o.reserved &&
           caption == o.caption && icon == o.icon;
  }
  bool operator!=(const FLG_OBJECT_ERROR_INFO& o) const { return !(*this == o); }
};

class CObjErrorInfoArray {
 public:
  int GetSize() const { return static_cast<int>(m_items.size()); }
  int GetCount() const { return GetSize(); }
  bool IsEmpty() const { return m_items.empty(); }
  const FLG_OBJECT_ERROR_INFO& GetAt(int i) const { return m_items.at(static_cast<size_t>(i)); }
  FLG_OBJECT_ERROR_INFO& ElementAt(int i) { return m_items.at(static_cast<size_t>(i)); }
  const FLG_OBJECT_ERROR_INFO& operator[](int i) const { return GetAt(i); }
  FLG_OBJECT_ERROR_INFO& operator[](int i) { return ElementAt(i); }
  int Add(const FLG_OBJECT_ERROR_INFO& entry) {
    m_items.push_back(entry);
    return GetSize() - 1;
  }
  // Appends the entry unless an equal one is there; the index of the entry.
  int AddUnique(const FLG_OBJECT_ERROR_INFO& entry) {
    const int found = Find(entry);
    return found >= 0 ? found : Add(entry);
  }
  int Find(const FLG_OBJECT_ERROR_INFO& entry) const {
    for (size_t i = 0; i < m_items.size(); ++i)
      if (m_items[i] == entry) return static_cast<int>(i);
    return -1;
  }
  void RemoveAt(int i) {
    if (i >= 0 && i < GetSize()) m_items.erase(m_items.begin() + i);
  }
  void RemoveAll() { m_items.clear(); }
  auto begin() const { return m_items.begin(); }
  auto end() const { return m_items.end(); }

 private:
  std::vector<FLG_OBJECT_ERROR_INFO> m_items;
};
