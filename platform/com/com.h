#pragma once
// The COM core of the platform: IUnknown and __uuidof, GUID text, BSTR and _bstr_t, VARIANT and
// _variant_t, SAFEARRAY, CY/DECIMAL/DATE helpers, error information and _com_error,
// _com_ptr_t, activation of in-process servers, the Global Interface Table and memory streams.
#include "platform/com/core.h"
#include "platform/com/bstr.h"
#include "platform/com/error.h"
#include "platform/com/variant.h"
#include "platform/com/activation.h"
#include "platform/com/object.h"
#include "platform/com/ptr.h"
