#include "platform/base/wintypes.h"

// The base types are header-only; this unit gives the library a first object file.
namespace platform {
const GUID kNullGuid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
}
