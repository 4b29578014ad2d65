#pragma once
// The class library's arrays: CArray<TYPE, ARG_TYPE> and CUIntArray. Indexes are ints; an index
// outside the array is refused (GetAt and ElementAt answer a default value, SetAt does nothing),
// never undefined behaviour. Like every CObject they are not copied by construction: Copy
// copies the elements.
#include <vector>

#include "platform/base/cobject.h"
#include "platform/base/wintypes.h"

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray : public CObject {
 public:
  CArray() = default;

  int GetSize() const { return static_cast<int>(m_items.size()); }
  int GetCount() const { return GetSize(); }
  int GetUpperBound() const { return GetSize() - 1; }
  bool IsEmpty() const { return m_items.empty(); }
  // Grows with default elements or shrinks; a negative size empties the array.
  void SetSize(int size, int growBy = -1) { m_items.resize(size < 0 ? 0 : static_cast<size_t>(size)); }
  void RemoveAll() { m_items.clear(); }

  TYPE GetAt(int index) const { return Valid(index) ? m_items[static_cast<size_t>(index)] : TYPE(); }
  void SetAt(int index, ARG_TYPE value) {
    if (Valid(index)) m_items[static_cast<size_t>(index)] = value;
  }
  // Sets the element, growing the array when the index is past its end.
  void SetAtGrow(int index, ARG_TYPE value) {
    if (index < 0) return;
    if (index >= GetSize()) SetSize(index + 1);
    m_items[static_cast<size_t>(index)] = value;
  }
  int Add(ARG_TYPE value) {
    m_items.push_back(value);
    return GetUpperBound();
  }
  int Append(const CArray& other) {
    const int first = GetSize();
    m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
    return first;
  }
  void Copy(const CArray& other) {
    if (this != &other) m_items = other.m_items;
  }
  void InsertAt(int index, ARG_TYPE value, int count = 1) {
    if (index < 0 || count <= 0) return;
    if (index > GetSize()) SetSize(index);
    m_items.insert(m_items.begin() + index, static_cast<size_t>(count), value);
  }
  void RemoveAt(int index, int count = 1) {
    if (!Valid(index) || count <= 0) return;
    const int end = index + count > GetSize() ? GetSize() : index + count;
    m_items.erase(m_items.begin() + index, m_items.begin() + end);
  }
  TYPE operator[](int index) const { return GetAt(index); }
  const TYPE* GetData() const { return m_items.empty() ? nullptr : m_items.data(); }

 private:
  bool Valid(int index) const { return index >= 0 && index < GetSize(); }
  std::vector<TYPE> m_items;
};

class CUIntArray : public CArray<UINT, UINT> {};
class CDWordArray : public CArray<DWORD, DWORD> {};
