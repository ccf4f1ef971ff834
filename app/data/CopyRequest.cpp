#include "app/data/CopyRequest.h"

#include <cwchar>
#include <cwctype>

#include "app/data/DatabaseCopy.h"
#include "app/data/DatabaseMerge.h"
#include "app/store/ActivityStore.h"
#include "core/KernelHandle.h"

namespace {

const ULONG_PTR kCopyRequestTag = 0x50434F50;  // "PCOP"

enum CopyAnswer : LRESULT {
  AnswerNone = 0,      // not answered (no such window, or it hangs)
  AnswerCopied = 1,
  AnswerRefused = 2,   // the path is no empty file made for the copy
  AnswerFailed = 3,    // the copy could not be made (the store is not open, a read failed)
  AnswerOtherDatabase = 4,  // the store has another file open
};

// "X:\...\pelXXXX.tmp" as GetTempFileNameW makes it with the prefix "pel"
// (one to four hexadecimal digits).
bool IsCopyFileName(const wchar_t* path) {
  if (!((path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z') || path[1] != L':' || path[2] != L'\\') return false;
  const wchar_t* name = wcsrchr(path, L'\\') + 1;
  if (_wcsnicmp(name, L"pel", 3) != 0) return false;
  size_t digits = 0;
  while (iswxdigit(name[3 + digits])) ++digits;
  return digits >= 1 && digits <= 4 && _wcsicmp(name + 3 + digits, L".tmp") == 0;
}

}  // namespace

int RequestCopy(HWND running, const wchar_t* destination, const wchar_t* database, DWORD timeoutMs,
                WideString& problem) {
  problem.Assign(L"");
  // The window's current folder is not this one's: the database goes by its
  // full path.
  wchar_t full[MAX_PATH] = {};
  DWORD n = GetFullPathNameW(database, MAX_PATH, full, nullptr);
  if (!n || n >= MAX_PATH) {
    problem.Assign(L"the database has no usable full path");
    return 0;
  }
  WideString both;
  both.Format(L"%s|%s", destination, full);
  wchar_t* text = both.Buffer();
  text[wcslen(destination)] = 0;
  COPYDATASTRUCT data = {};
  data.dwData = kCopyRequestTag;
  data.cbData = static_cast<DWORD>((both.Length() + 1) * sizeof(wchar_t));
  data.lpData = text;
  DWORD_PTR answer = AnswerNone;
  if (!SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG | SMTO_BLOCK,
                           timeoutMs, &answer)) {
    problem.Assign(L"the running Pellton did not answer");
    return 0;
  }
  switch (answer) {
    case AnswerCopied:
      return 1;
    case AnswerOtherDatabase:
      return -1;
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
  // A whole local path, ending in its terminator, of an existing empty file
  // named as the asking Pellton names it: the request never makes this
  // Pellton write over anything, nor onto another machine.
  const size_t count = data->cbData / sizeof(wchar_t);
  const wchar_t* path = static_cast<const wchar_t*>(data->lpData);
  if (!path || count < 4 || count > 32768 || data->cbData % sizeof(wchar_t) != 0 || path[count - 1] != 0) {
    return AnswerRefused;
  }
  const size_t first = wcslen(path);
  const wchar_t* database = path + first + 1;
  if (first + 2 >= count || wcslen(database) != count - first - 2 || !IsCopyFileName(path)) return AnswerRefused;
  // The file itself, not what a link in its place points to.
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file == INVALID_HANDLE_VALUE) return AnswerRefused;
  BY_HANDLE_FILE_INFORMATION info = {};
  const bool empty = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                     !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                     !info.nFileSizeLow && !info.nFileSizeHigh;
  file.Close();  // before the copy writes into it
  if (!empty) return AnswerRefused;
  if (!SameFile(database, store.Path().CStr())) return AnswerOtherDatabase;
  StoreSource source(store);
  WideString problem;
  return CopyDatabase(source, path, nullptr, problem) ? AnswerCopied : AnswerFailed;
}
