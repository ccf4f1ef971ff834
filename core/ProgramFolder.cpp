#include "core/ProgramFolder.h"

int ProgramPath(WideString& path, HMODULE module) {
  // A path that fills the buffer may have been cut: ask again with twice
  // the room, up to the longest path the system knows (32,767 characters).
  for (unsigned capacity = MAX_PATH + 1; capacity <= 32768 * 2; capacity *= 2) {
    if (!path.Reset(capacity)) break;
    DWORD n = GetModuleFileNameW(module, path.Buffer(), capacity);
    if (n == 0) break;
    if (n < capacity) {
      path.UpdateLength();
      return 1;
    }
  }
  path.Assign(L"");
  return 0;
}

int ProgramFolder(WideString& folder, HMODULE module) {
  if (!ProgramPath(folder, module)) return 0;
  int slash = folder.FindLastChar(L'\\');
  if (slash < 0) {
    folder.Assign(L"");
    return 0;
  }
  folder.Left(slash + 1);
  return 1;
}
