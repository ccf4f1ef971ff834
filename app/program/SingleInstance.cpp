#include "app/program/SingleInstance.h"

namespace {

// The folder's path with links, short names and drive substitutions
// resolved, or its full path when it cannot be opened.
void ResolvedPath(const wchar_t* folder, WideString& out) {
  out.Assign(L"");
  KernelHandle handle(CreateFileW(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle != INVALID_HANDLE_VALUE) {
    DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed && out.Reset(needed + 1)) {
      DWORD got = GetFinalPathNameByHandleW(handle, out.Buffer(), needed + 1, FILE_NAME_NORMALIZED);
      if (got && got <= needed) {
        out.UpdateLength();
      } else {
        out.Assign(L"");
      }
    }
  }
  if (out.IsEmpty()) {
    DWORD needed = GetFullPathNameW(folder, 0, nullptr, nullptr);
    if (needed && out.Reset(needed + 1) && GetFullPathNameW(folder, needed + 1, out.Buffer(), nullptr)) {
      out.UpdateLength();
    } else {
      out.Assign(folder);
    }
  }
  out.RemoveTrailing(L'\\');
}

struct WindowSearch {
  const wchar_t* property;
  bool shownOnly;
  HWND found;
};

BOOL CALLBACK FindMarked(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  if (GetPropW(window, search->property) && (!search->shownOnly || IsWindowVisible(window))) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

SingleInstance::~SingleInstance() { Release(); }

unsigned long long SingleInstance::FolderKey(const wchar_t* folder) {
  WideString path;
  ResolvedPath(folder, path);
  if (path.Length()) CharUpperBuffW(path.Buffer(), path.Length());
  unsigned long long hash = 0xCBF29CE484222325ULL;
  for (const wchar_t* p = path.CStr(); *p; ++p) {
    hash ^= static_cast<unsigned short>(*p);
    hash *= 0x100000001B3ULL;
  }
  return hash;
}

int SingleInstance::MakeNames(const wchar_t* folder) {
  unsigned long long key = FolderKey(folder);
  return mutexName_.Format(L"Global\\_C_Pellton_%016I64X", key) &&
         propertyName_.Format(L"_C_Pellton_%016I64X", key);
}

SingleInstance::ClaimResult SingleInstance::Claim(const wchar_t* folder) {
  Release();
  if (!MakeNames(folder)) return ClaimFailed;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName_.CStr());
  if (!mutex) {
    if (GetLastError() != ERROR_ACCESS_DENIED) return ClaimFailed;
    // A mutex made by a copy of another user (or one with administrator
    // rights) cannot be opened with full access by this one: somebody holds
    // the folder. Waiting on it may still be allowed.
    otherAccount_ = true;
    mutex_ = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, mutexName_.CStr());
    return RunningElsewhere;
  }
  mutex_ = mutex;
  // A copy that ended without giving the claim up leaves it abandoned,
  // which counts as free.
  DWORD wait = WaitForSingleObject(mutex, 0);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    held_ = true;
    return Claimed;
  }
  if (wait == WAIT_TIMEOUT) return RunningElsewhere;
  Release();
  return ClaimFailed;
}

SingleInstance::ClaimResult SingleInstance::WaitForRunning(DWORD timeoutMs, HWND* window) {
  *window = nullptr;
  if (held_) return Claimed;
  // How often the windows are looked at again while the claim is waited on.
  const DWORD kLookEveryMs = 50;
  unsigned long long start = GetTickCount64();
  for (;;) {
    *window = ShownRunningWindow();
    if (*window) return RunningElsewhere;
    unsigned long long spent = GetTickCount64() - start;
    if (spent >= timeoutMs) return RunningElsewhere;
    DWORD left = static_cast<DWORD>(timeoutMs - spent);
    DWORD slice = left < kLookEveryMs ? left : kLookEveryMs;
    if (!mutex_) {
      // Another account's claim that may not be waited on: its window may
      // still show on this desktop (a copy started as another user or as
      // administrator), so only the windows are looked at.
      Sleep(slice);
      continue;
    }
    DWORD wait = WaitForSingleObject(mutex_, slice);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
      held_ = true;
      return Claimed;
    }
    if (wait != WAIT_TIMEOUT) return ClaimFailed;
  }
}

void SingleInstance::Release() {
  if (!mutex_) return;
  if (held_) ReleaseMutex(mutex_);
  mutex_.Close();
  held_ = false;
  otherAccount_ = false;
}

int SingleInstance::MarkWindow(HWND window) {
  if (propertyName_.IsEmpty() || !window) return 0;
  return SetPropW(window, propertyName_.CStr(), reinterpret_cast<HANDLE>(1)) ? 1 : 0;
}

void SingleInstance::UnmarkWindow(HWND window) {
  if (propertyName_.IsEmpty() || !window) return;
  RemovePropW(window, propertyName_.CStr());
}

HWND SingleInstance::FindRunningWindow(DWORD timeoutMs) {
  if (propertyName_.IsEmpty()) return nullptr;
  unsigned long long start = GetTickCount64();
  for (;;) {
    WindowSearch search = {propertyName_.CStr(), false, nullptr};
    EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (GetTickCount64() - start >= timeoutMs) return nullptr;
    // The other copy is between taking the claim and showing its window;
    // look again shortly.
    Sleep(50);
  }
}

HWND SingleInstance::ShownRunningWindow() const {
  if (propertyName_.IsEmpty()) return nullptr;
  WindowSearch search = {propertyName_.CStr(), true, nullptr};
  EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void SingleInstance::Activate(HWND window) {
  if (!window) return;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  // A message box or other window the copy shows in front of its main
  // window is the one to bring forward.
  HWND popup = GetLastActivePopup(window);
  SetForegroundWindow(popup ? popup : window);
}
