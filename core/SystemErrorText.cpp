#include "core/SystemErrorText.h"

void SystemErrorText(DWORD error, WideString& text) {
  text.Assign(L"");
  wchar_t* message = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (n && message) {
    text.Assign(message);
    LocalFree(message);
    text.TrimRight();
    text.RemoveTrailing(L'.');
  }
  if (text.IsEmpty()) text.Format(L"error %lu", error);
}
