// Field and Fields: the columns of a recordset, over the rows its core holds.
#include <algorithm>

#include "platform/ado/objects_internal.h"

namespace platform::ado {

class FieldImpl final : public ComObject<::Field> {
 public:
  FieldImpl(std::shared_ptr<RecordsetCore> core, int index) : core_(std::move(core)), index_(index) {}

  STDMETHODIMP get_Properties(::Properties** out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      auto bag = std::make_shared<PropertyBag>();
      const FieldDef& f = Def();
      bag->entries.push_back({L"Optimize", _variant_t(f.optimize), adBoolean});
      const std::wstring table = f.DeclaredTable().empty() ? FromUtf8(f.Table()) : f.DeclaredTable();
      const std::wstring column = f.DeclaredColumn().empty() ? FromUtf8(f.Column()) : f.DeclaredColumn();
      bag->entries.push_back({L"BASETABLENAME", _variant_t(table.c_str()), adVarWChar});
      bag->entries.push_back({L"BASECOLUMNNAME", _variant_t(column.c_str()), adVarWChar});
      bag->entries.push_back({L"KEYCOLUMN", _variant_t(f.key), adBoolean});
      bag->entries.push_back({L"ISAUTOINCREMENT", _variant_t(f.autoIncrement), adBoolean});
      auto core = core_;
      int index = index_;
      bag->onPut = [core, index](const std::wstring& name, const _variant_t& v) {
        if (CompareNoCase(name, L"Optimize") == 0) {
          Cell b;
          CoerceToType(FromVariant(v), adBoolean, 0, b);
          const bool on = b.kind == VKind::Bool && b.i != 0;
          if (core->rowset) {
            core->Def(index);  // raises for a field that is gone
            core->rowset->SetOptimize(index, on);
          } else {
            core->MutableDef(index).optimize = on;
          }
        }
      };
      *out = NewProperties(std::move(bag));
      return S_OK;
    });
  }
  STDMETHODIMP get_ActualSize(ADO_LONGPTR* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      const Cell& v = core_->Open().Get(index_);
      const FieldDef& f = Def();
      if (v.IsNull() || v.IsEmpty()) *out = 0;
      else if (v.kind == VKind::Text) *out = static_cast<LONG>(v.s.size() * ((f.type == adWChar || f.type == adVarWChar || f.type == adLongVarWChar || f.type == adBSTR) ? 2 : 1));
      else if (v.kind == VKind::Bytes) *out = static_cast<LONG>(v.s.size());
      else *out = f.size;
      return S_OK;
    });
  }
  STDMETHODIMP get_Attributes(LONG* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = Def().attributes;
      return S_OK;
    });
  }
  STDMETHODIMP get_DefinedSize(ADO_LONGPTR* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = Def().size;
      return S_OK;
    });
  }
  STDMETHODIMP get_Name(BSTR* b) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      return PutBstr(b, Def().name);
    });
  }
  STDMETHODIMP get_Type(DataTypeEnum* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = static_cast<DataTypeEnum>(Def().type);
      return S_OK;
    });
  }
  STDMETHODIMP get_Value(VARIANT* out) override {
    return AdoBoundaryWith(__uuidof(::Field), [this] { return core_->Conn(); }, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      out->vt = VT_EMPTY;
      ToVariant(core_->Open().Get(index_), out);
      return S_OK;
    });
  }
  STDMETHODIMP put_Value(VARIANT v) override {
    return AdoBoundaryWith(__uuidof(::Field), [this] { return core_->Conn(); }, [&]() -> HRESULT {
      core_->Open().Put(index_, FromVariant(v));
      return S_OK;
    });
  }
  STDMETHODIMP get_Precision(BYTE* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      LONG t = Def().type;
      *out = static_cast<BYTE>(t == adInteger ? 10 : t == adBigInt ? 19 : t == adSmallInt ? 5 : t == adDouble ? 15
                               : t == adCurrency ? 19 : t == adDBTimeStamp || t == adDate ? 23 : 255);
      return S_OK;
    });
  }
  STDMETHODIMP get_NumericScale(BYTE* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = static_cast<BYTE>(Def().type == adCurrency ? 4 : 255);
      return S_OK;
    });
  }
  STDMETHODIMP raw_AppendChunk(VARIANT data) override {
    return AdoBoundary(__uuidof(::Field), core_->Conn(), [&]() -> HRESULT {
      Rowset& rs = core_->Open();
      Cell cur = rs.Get(index_);
      Cell add = FromVariant(data);
      if (KindOfType(Def().type) == VKind::Bytes) {
        rs.Put(index_, Cell::Blob((cur.kind == VKind::Bytes ? cur.Bytes() : std::string()) + (add.kind == VKind::Bytes ? add.Bytes() : ToUtf8(ValueText(add)))));
      } else {
        rs.Put(index_, Cell::Text((cur.kind == VKind::Text ? cur.s : std::wstring()) + ValueText(add)));
      }
      return S_OK;
    });
  }
  STDMETHODIMP raw_GetChunk(LONG length, VARIANT* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      const Cell& v = core_->Open().Get(index_);
      Cell part = v;
      if (v.kind == VKind::Bytes) part = Cell::Blob(v.Bytes().substr(0, static_cast<std::size_t>(std::max(0, length))));
      if (v.kind == VKind::Text) part = Cell::Text(v.s.substr(0, static_cast<std::size_t>(std::max(0, length))));
      *out = ToVariant(part).Detach();
      return S_OK;
    });
  }
  STDMETHODIMP get_OriginalValue(VARIANT* out) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = ToVariant(core_->Open().Original(index_)).Detach();
      return S_OK;
    });
  }
  STDMETHODIMP get_UnderlyingValue(VARIANT* out) override {
    // The value in the database as last read: the client cursor holds no fresher copy.
    return get_OriginalValue(out);
  }
  STDMETHODIMP put_Type(DataTypeEnum t) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      core_->PendingDef(index_).type = t;
      return S_OK;
    });
  }
  STDMETHODIMP put_DefinedSize(ADO_LONGPTR l) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      core_->PendingDef(index_).size = l;
      return S_OK;
    });
  }
  STDMETHODIMP put_Attributes(LONG l) override {
    return AdoBoundary(__uuidof(::Field), nullptr, [&]() -> HRESULT {
      core_->PendingDef(index_).attributes = l;
      return S_OK;
    });
  }
  STDMETHODIMP get_Status(LONG* out) override { return PutOut(out, LONG{0}); }

 private:
  const FieldDef& Def() const { return core_->Def(index_); }
  std::shared_ptr<RecordsetCore> core_;
  int index_;
};

class FieldsImpl final : public ComObject<::Fields> {
 public:
  explicit FieldsImpl(std::shared_ptr<RecordsetCore> core) : core_(std::move(core)) {}
  STDMETHODIMP get_Count(LONG* c) override { return PutOut(c, static_cast<LONG>(core_->Defs().size())); }
  STDMETHODIMP get_Item(VARIANT index, ::Field** out) override {
    return AdoBoundary(__uuidof(::Fields), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      const auto& defs = core_->Defs();
      std::size_t i;
      if (index.vt == VT_BSTR) {  // the common case, without building a Cell
        int k = core_->FieldIndex(index.bstrVal ? std::wstring_view(index.bstrVal) : std::wstring_view());
        if (k < 0)
          ThrowAdo(adErrItemNotFound,
                   L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
        i = static_cast<std::size_t>(k);
      } else {
        i = ItemIndex(index, defs.size(), [&](std::size_t k) { return defs[k].name; });
      }
      *out = core_->FieldObject(static_cast<int>(i));
      return S_OK;
    });
  }
  STDMETHODIMP raw_Refresh() override { return S_OK; }
  STDMETHODIMP raw_Append(BSTR name, DataTypeEnum type, ADO_LONGPTR size, FieldAttributeEnum attrib,
                          VARIANT value) override {
    return AdoBoundary(__uuidof(::Fields), nullptr, [&]() -> HRESULT {
      if (core_->IsOpen())
        ThrowAdo(adErrIllegalOperation, L"Operation is not allowed in this context: fields are appended before Open.");
      std::wstring n = BstrText(name);
      if (n.empty() || core_->FieldIndex(n) >= 0)
        ThrowAdo(adErrInvalidArgument,
                 L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
      FieldDef f;
      f.name = std::move(n);
      f.type = type;
      LONG natural = 0;
      switch (KindOfType(type)) {
        case VKind::Bool: natural = 2; break;
        case VKind::UI1: natural = 1; break;
        case VKind::I2: natural = 2; break;
        case VKind::I4:
        case VKind::R4: natural = 4; break;
        case VKind::I8:
        case VKind::R8:
        case VKind::Cy:
        case VKind::Date: natural = 8; break;
        default: break;
      }
      f.size = size > 0 ? size : natural;
      f.attributes = attrib == adFldUnspecified ? (adFldUpdatable | adFldIsNullable | adFldMayBeNull) : attrib;
      core_->AppendPending(std::move(f));
      (void)value;
      return S_OK;
    });
  }
  STDMETHODIMP raw_Delete(VARIANT index) override {
    return AdoBoundary(__uuidof(::Fields), nullptr, [&]() -> HRESULT {
      if (core_->IsOpen())
        ThrowAdo(adErrIllegalOperation, L"Operation is not allowed in this context: fields are deleted before Open.");
      const auto& defs = core_->Defs();
      std::size_t i = ItemIndex(index, defs.size(), [&](std::size_t k) { return defs[k].name; });
      core_->DeletePending(i);
      return S_OK;
    });
  }

 private:
  std::shared_ptr<RecordsetCore> core_;
};

::Fields* NewFields(std::shared_ptr<RecordsetCore> core) { return (new FieldsImpl(std::move(core)))->Interface(); }
::Field* NewField(std::shared_ptr<RecordsetCore> core, int index) {
  return (new FieldImpl(std::move(core), index))->Interface();
}

}  // namespace platform::ado
