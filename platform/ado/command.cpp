// Command: SQL text with parameters, run on a connection.
#include "platform/ado/objects_internal.h"

namespace platform::ado {

class CommandImpl final : public ComObject<::_Command> {
 public:
  CommandImpl() : params_(new ParametersImpl()) {}
  ~CommandImpl() override { params_->Release(); }

  STDMETHODIMP get_Properties(::Properties** out) override {
    if (!out) return E_POINTER;
    *out = NewProperties(std::make_shared<PropertyBag>());
    return S_OK;
  }
  STDMETHODIMP get_ActiveConnection(::_Connection** out) override {
    if (!out) return E_POINTER;
    *out = conn_.GetInterfacePtr();
    if (*out) (*out)->AddRef();
    return S_OK;
  }
  STDMETHODIMP putref_ActiveConnection(::_Connection* c) override {
    SetConnection(c);
    return S_OK;
  }
  STDMETHODIMP put_ActiveConnection(VARIANT v) override {
    return AdoBoundary(__uuidof(::_Command), nullptr, [&]() -> HRESULT {
      if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) {
        SetConnection(_ConnectionPtr(v.vt == VT_DISPATCH ? static_cast<IUnknown*>(v.pdispVal) : v.punkVal));
      } else if (v.vt == VT_BSTR) {
        auto* c = new ConnectionImpl();
        _ConnectionPtr owned(c->Interface(), false);
        c->OpenString(BstrText(v.bstrVal));
        SetConnection(owned);
      } else {
        SetConnection(nullptr);
      }
      return S_OK;
    });
  }
  STDMETHODIMP get_CommandText(BSTR* b) override { return PutBstr(b, text_); }
  STDMETHODIMP put_CommandText(BSTR b) override {
    text_ = BstrText(b);
    return S_OK;
  }
  STDMETHODIMP get_CommandTimeout(LONG* t) override { return PutOut(t, timeout_); }
  STDMETHODIMP put_CommandTimeout(LONG t) override {
    timeout_ = t;
    return S_OK;
  }
  STDMETHODIMP get_Prepared(VARIANT_BOOL* p) override { return PutOut(p, prepared_); }
  STDMETHODIMP put_Prepared(VARIANT_BOOL p) override {
    prepared_ = p;
    return S_OK;
  }
  STDMETHODIMP raw_Execute(VARIANT* affected, VARIANT* parameters, LONG options, ::_Recordset** out) override {
    ConnectionImpl* conn = connImpl_;
    return AdoBoundary(__uuidof(::_Command), conn, [&]() -> HRESULT {
      if (!conn)
        ThrowAdo(adErrInvalidConnection,
                 L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
      if (out) *out = nullptr;
      LONG type = type_;
      if (options != adOptionUnspecified && (options & (adCmdText | adCmdTable | adCmdStoredProc | adCmdTableDirect)))
        type = options & (adCmdText | adCmdTable | adCmdStoredProc | adCmdTableDirect);
      if (type == adCmdUnknown || type == adCmdUnspecified) type = adCmdText;
      bool noRecords = options != adOptionUnspecified && (options & adExecuteNoRecords);
      // Values of the parameters in order; an array passed to Execute replaces the inputs.
      std::vector<Cell>& values = values_;  // reused from run to run
      values.resize(params_->items.size());
      converted_.resize(values.size());
      const bool fromArray = parameters && (parameters->vt & VT_ARRAY) && parameters->parray;
      for (std::size_t k = 0; k < values.size(); ++k) {
        ParameterImpl* p = params_->Impl(k);
        Cell& v = values[k];
        // A parameter unchanged since the last run keeps its converted value.
        if (!fromArray && converted_[k].first == p && converted_[k].second == p->version) continue;
        converted_[k] = {nullptr, 0};
        v = Cell::Null();
        if (p->direction == adParamInput || p->direction == adParamInputOutput || p->direction == adParamUnknown) {
          Cell raw = FromVariant(p->value);
          if (parameters && (parameters->vt & VT_ARRAY) && parameters->parray) {
            LONG idx = static_cast<LONG>(k);
            _variant_t elem;
            if (SUCCEEDED(SafeArrayGetElement(parameters->parray, &idx, &elem))) raw = FromVariant(elem);
          }
          LONG t = p->type == adEmpty ? adVariant : p->type;
          if (!CoerceToType(std::move(raw), t, static_cast<LONG>(p->size), v))
            ThrowAdo(DB_E_ERRORSOCCURRED, L"Multiple-step operation generated errors. Check each status value. "
                                          L"(parameter " + p->name + L")");
        }
        if (!fromArray) converted_[k] = {p, p->version};
      }
      std::int64_t changes = 0;
      std::vector<std::pair<int, Cell>> outputs;
      _RecordsetPtr rs = conn->Run(text_, type, noRecords, values, &changes, &outputs);
      for (auto& [index, value] : outputs) {
        if (index < 0 || static_cast<std::size_t>(index) >= params_->items.size()) continue;
        ParameterImpl* p = params_->Impl(static_cast<std::size_t>(index));
        Cell conv;
        LONG t = p->type == adEmpty ? adVariant : p->type;
        p->value = ToVariant(CoerceToType(value, t, static_cast<LONG>(p->size), conv) ? conv : value);
        p->version = ParameterImpl::NextVersion();
      }
      if (affected) {
        VariantClear(affected);
        affected->vt = VT_I4;
        affected->lVal = static_cast<LONG>(changes);
      }
      if (out) *out = rs.Detach();
      return S_OK;
    });
  }
  STDMETHODIMP raw_CreateParameter(BSTR name, DataTypeEnum type, ParameterDirectionEnum direction, ADO_LONGPTR size,
                                   VARIANT value, ::_Parameter** out) override {
    return AdoBoundary(__uuidof(::_Command), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      auto* p = new ParameterImpl();
      p->name = BstrText(name);
      p->type = type;
      p->direction = direction;
      p->size = size;
      if (!IsMissing(value)) p->value = _variant_t(value);
      *out = p->Interface();
      return S_OK;
    });
  }
  STDMETHODIMP get_Parameters(::Parameters** out) override {
    if (!out) return E_POINTER;
    *out = params_->Interface();
    params_->AddRef();
    return S_OK;
  }
  STDMETHODIMP put_CommandType(CommandTypeEnum t) override {
    type_ = t;
    return S_OK;
  }
  STDMETHODIMP get_CommandType(CommandTypeEnum* t) override { return PutOut(t, type_); }
  STDMETHODIMP get_Name(BSTR* b) override { return PutBstr(b, name_); }
  STDMETHODIMP put_Name(BSTR b) override {
    name_ = BstrText(b);
    return S_OK;
  }
  STDMETHODIMP get_State(LONG* s) override { return PutOut(s, LONG{adStateClosed}); }
  STDMETHODIMP raw_Cancel() override { return S_OK; }

  const std::wstring& Text() const { return text_; }
  ::_Connection* Connection() const { return conn_.GetInterfacePtr(); }

 private:
  // The connection, and the implementation behind it (held by conn_), found once.
  void SetConnection(_ConnectionPtr c) {
    conn_ = std::move(c);
    connImpl_ = ConnectionImpl::From(conn_.GetInterfacePtr());
  }
  _ConnectionPtr conn_;
  ConnectionImpl* connImpl_ = nullptr;
  std::wstring text_, name_;
  CommandTypeEnum type_ = adCmdUnknown;
  LONG timeout_ = 30;
  VARIANT_BOOL prepared_ = VARIANT_FALSE;
  ParametersImpl* params_;
  std::vector<Cell> values_;  // the parameter values of the last run
  std::vector<std::pair<ParameterImpl*, std::uint64_t>> converted_;  // which parameter, as of which change
};

::_Connection* CommandConnection(::_Command* command) { return static_cast<CommandImpl*>(command)->Connection(); }
const std::wstring& CommandText(::_Command* command) { return static_cast<CommandImpl*>(command)->Text(); }

IClassFactory* CommandFactory() {
  static ClassFactory<CommandImpl> factory;
  return &factory;
}

}  // namespace platform::ado
