#include "core/ShellOpen.h"

#include <shellapi.h>

#include "core/WideString.h"

int ShellOpen(const wchar_t* file, const wchar_t* parameters, const wchar_t* directory,
              int showCommand, int elevate, const wchar_t* verb) {
  if (!file || !*file) return 0;
  SHELLEXECUTEINFOW info;
  ZeroMemory(&info, sizeof(info));
  info.cbSize = sizeof(info);
  // The shell would otherwise put up its own error box for a missing file
  // or program; failures here are reported by the answer alone.
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = elevate == 1 ? L"runas" : verb;
  info.lpFile = file;
  info.lpParameters = parameters;
  info.lpDirectory = directory;
  info.nShow = showCommand;
  return ShellExecuteExW(&info) ? 1 : 0;
}

int OpenDocument(const wchar_t* path) {
  return ShellOpen(path, nullptr, nullptr, SW_SHOWDEFAULT, 0, L"open");
}

int OpenUrl(const wchar_t* url) {
  if (!url || !*url) return 0;
  WideString parameters;
  if (!parameters.Format(L"url.dll,FileProtocolHandler %s", url)) return 0;
  return ShellOpen(L"rundll32.exe", parameters.CStr(), nullptr, SW_SHOWDEFAULT, 0, L"open");
}
