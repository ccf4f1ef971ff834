// The bytes of a resource, looked up by language in a fixed order: the
// language asked for, then its primary language with the default
// sub-language ((language & 0x3FF) | 0x400), then the primary language
// alone (language & 0x3FF), then 1033, 2057, 9 and 1031. The first hit is
// loaded; a resource of size 0 counts as not found. The data stays valid as
// long as the module is loaded.
#pragma once

#include <windows.h>

const unsigned ResourceLanguageCount = 7;

// The languages tried for a requested one, in order.
void ResourceLanguageOrder(WORD language, WORD (&order)[ResourceLanguageCount]);

// 1 with the resource's address and size, 0 (out values untouched) when it
// is missing in every language.
int LoadResourceData(HMODULE module, const wchar_t* type, const wchar_t* name, WORD language,
                     const void** data, DWORD* size);
