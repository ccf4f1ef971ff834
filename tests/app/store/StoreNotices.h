// What the user is told of the store's last opening, for the tests that
// check it in the store, the window, the failing disk and the fuzz driver.
#pragma once

#include <string>

#include "app/store/ActivityStore.h"
#include "app/window/StoreNotice.h"
#include "core/WideString.h"

// The notice the window would show ("" when there is nothing to tell).
inline std::wstring NoticeOf(ActivityStore& store) {
  WideString text;
  DescribeStoreOpening(store.Path().CStr(), store.Opening(), text);
  return text.CStr();
}
