#pragma once
// Strings of the platform layer: the class library's CString, the Windows-rule formatter and
// message formatting, UTF-8 / windows-1250 conversions and the wide CRT helpers.
#include "platform/strings/casemap.h"
#include "platform/strings/convert.h"
#include "platform/strings/crt.h"
#include "platform/strings/cstring.h"
#include "platform/strings/format.h"
#include "platform/strings/locale.h"
#include "platform/strings/message.h"
