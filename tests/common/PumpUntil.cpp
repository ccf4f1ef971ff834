#include "tests/common/PumpUntil.h"

#include <algorithm>

void PumpWaiting(HWND dialog) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (dialog && IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, HWND dialog) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    PumpWaiting(dialog);
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20));
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}
