// Check-box-guarded exchange between dialog controls and data, and currency products.
#include "framework/skin.h"
#include "shared/hxhelpers.h"

namespace {

constexpr wchar_t kBadValue[] = L"Wprowadzona wartość jest niepoprawna.";

CString EditText(CFlgDataExchange& dx, UINT editId) {
  CString text;
  if (HWND edit = dx.PrepareCtrl(editId)) CWnd::FromHandle(edit)->GetWindowText(text);
  return text;
}

// The edit's text as a VARIANT of `type` (text for VT_NULL and VT_EMPTY); false when it does
// not convert.
bool Converted(const CString& text, VARTYPE type, _variant_t& out) {
  _variant_t source(text.GetString());
  if (type == VT_NULL || type == VT_EMPTY || type == VT_BSTR) {
    out = source;
    return true;
  }
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, &source, 0, type))) return false;
  out.Attach(converted);
  return true;
}

}  // namespace

bool hxChecked(CFlgDataExchange& dx, UINT checkId) {
  HWND check = dx.PrepareCtrl(checkId);
  return check && SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

namespace {
// The identifier exchange in the saving direction, whatever the exchange's own direction.
LONG SelectedIdent(CFlgDataExchange& dx, UINT id, void (*exchange)(CFlgDataExchange&, UINT, LONG&)) {
  CFlgDataExchange reading(dx);
  reading.m_bSaveAndValidate = TRUE;
  LONG ident = kNoLongValue;
  exchange(reading, id, ident);
  return ident;
}
}  // namespace

LONG hxDSX_CBIdent(CFlgDataExchange& dx, UINT id) { return SelectedIdent(dx, id, DSX_CBIdent); }
LONG hxDSX_LBIdent(CFlgDataExchange& dx, UINT id) { return SelectedIdent(dx, id, DSX_LBIdent); }

void hxLoadIfChecked(CFlgDataExchange& dx, UINT checkId, UINT editId, const _variant_t& value, VARTYPE type) {
  const bool present = value.vt == type;
  if (HWND check = dx.PrepareCtrl(checkId)) SendMessageW(check, BM_SETCHECK, present ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!present) return;
  HWND edit = dx.PrepareCtrl(editId);
  if (!edit) return;
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR))) return;
  SetWindowTextW(edit, text.bstrVal ? text.bstrVal : L"");
}

void hxSaveIfChecked(CFlgDataExchange& dx, UINT checkId, UINT editId, _variant_t& value) {
  if (!hxChecked(dx, checkId)) {
    value.Clear();
    value.vt = VT_NULL;
    return;
  }
  _variant_t converted;
  if (!Converted(EditText(dx, editId), value.vt, converted)) {
    dx.AddError(editId, kBadValue);
    return;
  }
  value = converted;
}

void hxSaveIfChecked(CFlgDataExchange& dx, UINT checkId, UINT editId, const FieldPtr& field, VARTYPE type) {
  if (!field) return;
  if (!hxChecked(dx, checkId)) {
    _variant_t null;
    null.vt = VT_NULL;
    field->PutValue(null);
    return;
  }
  _variant_t converted;
  if (!Converted(EditText(dx, editId), type, converted)) {
    dx.AddError(editId, kBadValue);
    return;
  }
  field->PutValue(converted);
}

void hxEnableIfChecked(CFlgDataExchange& dx, UINT checkId, UINT editId) {
  if (HWND edit = dx.PrepareCtrl(editId)) EnableWindow(edit, hxChecked(dx, checkId) ? TRUE : FALSE);
}

COleCurrency hxCompValue(const _variant_t& a, const _variant_t& b) {
  return FlgMulRound(COleCurrency(static_cast<const VARIANT&>(a)), COleCurrency(static_cast<const VARIANT&>(b)), 2);
}
