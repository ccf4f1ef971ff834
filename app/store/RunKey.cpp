#include "app/store/RunKey.h"

int IsAddressText(const wchar_t* address) {
  if (!address) return 0;
  for (int i = 0; i < 17; ++i) {
    wchar_t c = address[i];
    if (i % 3 == 2) {
      if (c != L':') return 0;
    } else if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) {
      return 0;
    }
  }
  return address[17] == 0;
}
