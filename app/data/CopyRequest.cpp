#include "app/data/CopyRequest.h"

#include <cwchar>

#include "app/data/DatabaseCopy.h"

namespace {

const ULONG_PTR kCopyRequestTag = 0x50434F50;  // "PCOP"

enum CopyAnswer : LRESULT {
  AnswerNone = 0,      // not answered (no such window, or it hangs)
  AnswerCopied = 1,
  AnswerRefused = 2,   // the path is no empty file made for the copy
  AnswerFailed = 3,    // the copy could not be made (the store is not open, a read failed)
};

}  // namespace

int RequestCopy(HWND running, const wchar_t* destination, DWORD timeoutMs, WideString& problem) {
  problem.Assign(L"");
  COPYDATASTRUCT data = {};
  data.dwData = kCopyRequestTag;
  data.cbData = static_cast<DWORD>((wcslen(destination) + 1) * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(destination);
  DWORD_PTR answer = AnswerNone;
  if (!SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG | SMTO_BLOCK,
                           timeoutMs, &answer)) {
    problem.Assign(L"the running Pellton did not answer");
    return 0;
  }
  switch (answer) {
    case AnswerCopied:
      return 1;
    case AnswerFailed:
      problem.Assign(L"the running Pellton could not copy its database");
      return 0;
    default:
      problem.Assign(L"the running Pellton refused to copy its database");
      return 0;
  }
}

bool IsCopyRequest(LPARAM lParam) {
  const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  return data && data->dwData == kCopyRequestTag;
}

LRESULT AnswerCopyRequest(ActivityStore& store, LPARAM lParam) {
  const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  // A whole path, ending in its terminator, of an existing empty file: the
  // request never makes this Pellton write over anything.
  const size_t count = data->cbData / sizeof(wchar_t);
  const wchar_t* path = static_cast<const wchar_t*>(data->lpData);
  if (!path || count < 4 || count > 32768 || data->cbData % sizeof(wchar_t) != 0 || path[count - 1] != 0 ||
      wcslen(path) != count - 1 || !((path[1] == L':' && path[2] == L'\\') || (path[0] == L'\\' && path[1] == L'\\'))) {
    return AnswerRefused;
  }
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &attributes) ||
      (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || attributes.nFileSizeLow || attributes.nFileSizeHigh) {
    return AnswerRefused;
  }
  StoreSource source(store);
  WideString problem;
  return CopyDatabase(source, path, nullptr, problem) ? AnswerCopied : AnswerFailed;
}
