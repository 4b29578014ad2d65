#pragma once
// The gateway to the host's framework instance: the one place where the system keeps it.
#include "framework/zephra.h"

class CHxInstance {
 public:
  CHxInstance() = delete;

  // Holds `instance` (the host calls this once after loading the library); null releases it.
  static void SetInstance(IFlgInstancePtr instance);
  // A new reference to the held instance, or null.
  static IFlgInstancePtr GetInstance();
  // The framework skin the instance answers; null without an instance or skin.
  static IFlgSkinPtr GetSkin();
  // The instance's data factory; null without an instance or when it has none. Other failures raise.
  static IFlgDataFactoryPtr GetDataFactory();
  // The ADO connection of the product database; null without a factory or connection.
  static _ConnectionPtr GetConnection();
  // The one-row recordset of data parameters (object 5000). Raises E_POINTER without an instance.
  static _RecordsetPtr HxParams();
  // The current user's id; 0 when it cannot be read.
  static LONG UserId();
  // Data parameter pd_BaseCurrency; "PLN" when it cannot be read.
  static _bstr_t GetBaseCurrency();

  static IFlgInstancePtr m_spInstance;
};

// The value of `column` of the current row of parameter object `number`. Raises every failure.
_variant_t hxGetParam(LONG number, const wchar_t* column);
// As hxGetParam; a value other than VT_I4 gives 0x80000000 (no value).
LONG hxGetParamLong(LONG number, const wchar_t* column);
