#pragma once
// Small helpers other libraries use: colour blending and streams over module resources.
#include "platform/com/com.h"
#include "platform/resources/resources.h"

// Per channel red, green and blue: (a × (100 − percentB) + b × percentB) / 100 in integers.
COLORREF hxBlendColor(COLORREF a, COLORREF b, int percentB);

// The bytes of the named resource of that type in the module, as a stream that frees its memory
// when released; null when the resource or the memory is missing.
IStreamPtr hxStreamFromResource(HINSTANCE module, const wchar_t* name, const wchar_t* type);
