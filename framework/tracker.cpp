#include "framework/tracker.h"

CHxTrackedField::CHxTrackedField(IFlgDataSet* dataSet, LONG index, const wchar_t* field)
    : CHxTrackedField(dataSet, index, field, nullptr) {}

CHxTrackedField::CHxTrackedField(IFlgDataSet* dataSet, LONG index, const wchar_t* field, const wchar_t* text)
    : m_dataSet(dataSet), m_index(index), m_field(field ? field : L""), m_text(text && *text ? text : (field ? field : L"")) {}

_variant_t CHxTrackedField::CurrentValue() const {
  if (!m_dataSet || m_field.IsEmpty()) return _variant_t();
  IUnknown* raw = nullptr;
  if (FAILED(m_dataSet->GetDataSet(m_index, &raw)) || !raw) return _variant_t();
  IUnknownPtr held(raw, false);
  try {
    _RecordsetPtr rs(held);
    if (!rs || rs->GetadoEOF() || rs->GetBOF()) return _variant_t();
    return rs->GetFields()->GetItem(_variant_t(m_field.GetString()))->GetValue();
  } catch (const _com_error&) {
    return _variant_t();
  }
}

void CHxTrackedField::SaveData() { m_saved = CurrentValue(); }
void CHxTrackedField::DataSaved() { m_saved = CurrentValue(); }

void CHxChangeTracker::SaveData() {
  for (CHxTrackedItem* item : m_items) item->SaveData();
}

void CHxChangeTracker::Free() {
  std::vector<CHxTrackedItem*> items;
  items.swap(m_items);
  for (CHxTrackedItem* item : items) item->Free();
}

void CHxChangeTracker::AddItem(CHxTrackedItem* item) {
  if (item) m_items.push_back(item);
}

LONG CHxChangeTracker::CheckChanges() {
  LONG changed = 0;
  for (CHxTrackedItem* item : m_items)
    if (item->DataChanged()) {
      OnChange(item);
      ++changed;
    }
  return changed;
}

void CHxChangeTracker::DataSaved() {
  for (CHxTrackedItem* item : m_items) item->DataSaved();
}

CHxHistoryTracker::CHxHistoryTracker(IFlgInstance* instance, IFlgDataSet* dataSet, LONG index, const wchar_t* object,
                                     const wchar_t* keyColumn, const wchar_t* historyColumn)
    : m_instance(instance),
      m_dataSet(dataSet),
      m_index(index),
      m_object(object ? object : L""),
      m_keyColumn(keyColumn ? keyColumn : L""),
      m_historyColumn(historyColumn ? historyColumn : L"") {}

void CHxHistoryTracker::OnChange(CHxTrackedItem* item) {
  CHxChangeTracker::OnChange(item);
  if (!item) return;
  CString line = item->ChangeDescr();
  const LONG limit = ChangeFieldSize();
  if (limit >= 0 && line.GetLength() > limit) line = line.Left(limit);
  m_history.push_back(line);
}
