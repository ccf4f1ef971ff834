#include "core/ResourceData.h"

void ResourceLanguageOrder(WORD language, WORD (&order)[ResourceLanguageCount]) {
  order[0] = language;
  order[1] = static_cast<WORD>((language & 0x3FF) | 0x400);
  order[2] = static_cast<WORD>(language & 0x3FF);
  order[3] = 1033;
  order[4] = 2057;
  order[5] = 9;
  order[6] = 1031;
}

int LoadResourceData(HMODULE module, const wchar_t* type, const wchar_t* name, WORD language,
                     const void** data, DWORD* size) {
  if (!data || !size) return 0;
  WORD order[ResourceLanguageCount];
  ResourceLanguageOrder(language, order);
  for (WORD tried : order) {
    HRSRC found = FindResourceExW(module, type, name, tried);
    if (!found) continue;
    DWORD bytes = SizeofResource(module, found);
    if (bytes == 0) continue;
    HGLOBAL loaded = LoadResource(module, found);
    const void* locked = loaded ? LockResource(loaded) : nullptr;
    if (!locked) continue;
    *data = locked;
    *size = bytes;
    return 1;
  }
  return 0;
}
