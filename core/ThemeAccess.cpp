#include "core/ThemeAccess.h"

namespace {

const char* const kNames[] = {
    "OpenThemeData",       "CloseThemeData",           "IsThemeActive",
    "DrawThemeBackground", "EnableThemeDialogTexture", "IsThemeBackgroundPartiallyTransparent",
    "DrawThemeParentBackground", "GetWindowTheme"};

typedef HTHEME(WINAPI* OpenFn)(HWND, const wchar_t*);
typedef HRESULT(WINAPI* CloseFn)(HTHEME);
typedef BOOL(WINAPI* IsActiveFn)();
typedef HRESULT(WINAPI* DrawBackgroundFn)(HTHEME, HDC, int, int, const RECT*, const RECT*);
typedef HRESULT(WINAPI* EnableTextureFn)(HWND, DWORD);
typedef BOOL(WINAPI* PartiallyTransparentFn)(HTHEME, int, int);
typedef HRESULT(WINAPI* DrawParentFn)(HWND, HDC, const RECT*);
typedef HTHEME(WINAPI* GetWindowThemeFn)(HWND);

}  // namespace

int ThemeAccess::SetLibraryName(const wchar_t* fileName) {
  Close();
  if (fileName && *fileName) return fileName_.Assign(fileName);
  fileName_.Reset(0);
  return 1;
}

const wchar_t* ThemeAccess::FileName() const {
  return fileName_.IsEmpty() ? L"uxtheme.dll" : fileName_.CStr();
}

void* ThemeAccess::Function(int slot) {
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == SlotCount, "one name per slot");
  if (functions_[slot]) return functions_[slot];
  if (!library_.IsLoaded() && !library_.Load(FileName())) return nullptr;
  functions_[slot] = reinterpret_cast<void*>(library_.Resolve(kNames[slot]));
  return functions_[slot];
}

int ThemeAccess::Open(HWND window, const wchar_t* classList) {
  // The list may be our own kept copy (re-opening): take it before Close.
  WideString list;
  bool haveList = classList && *classList;
  if (haveList && !list.Assign(classList)) return 0;
  Close();
  window_ = window;
  if (haveList) {
    classList_.Assign(list);
  } else {
    classList_.Reset(0);
  }
  if (!library_.Load(FileName())) return 0;
  OpenFn open = reinterpret_cast<OpenFn>(Function(SlotOpen));
  if (!open || !Function(SlotClose) || !Function(SlotIsActive)) return 0;
  theme_ = nullptr;
  if (!haveList) return 1;
  theme_ = open(window, classList_.CStr());
  return theme_ ? 1 : 0;
}

int ThemeAccess::Close() {
  if (theme_) {
    CloseFn close = reinterpret_cast<CloseFn>(functions_[SlotClose]);
    if (close) close(theme_);
  }
  theme_ = nullptr;
  for (int slot = 0; slot < SlotCount; ++slot) functions_[slot] = nullptr;
  library_.Unload();
  return 1;
}

int ThemeAccess::DrawBackground(HDC dc, int part, int state, const RECT* rect) {
  DrawBackgroundFn draw = reinterpret_cast<DrawBackgroundFn>(Function(SlotDrawBackground));
  if (!draw) return 0;
  HRESULT result = draw(theme_, dc, part, state, rect, nullptr);
  if (result == E_HANDLE) {  // the theme changed under us
    IsActiveFn isActive = reinterpret_cast<IsActiveFn>(Function(SlotIsActive));
    if (!isActive || !isActive()) return 0;
    if (!Open(window_, classList_.CStr())) return 0;
    draw = reinterpret_cast<DrawBackgroundFn>(Function(SlotDrawBackground));
    if (!draw) return 0;
    result = draw(theme_, dc, part, state, rect, nullptr);
  }
  return result == S_OK ? 1 : 0;
}

int ThemeAccess::EnableDialogTexture(DWORD flags) {
  EnableTextureFn enable = reinterpret_cast<EnableTextureFn>(Function(SlotEnableTexture));
  return enable && enable(window_, flags) == S_OK ? 1 : 0;
}

int ThemeAccess::IsBackgroundPartiallyTransparent(int part, int state) {
  PartiallyTransparentFn transparent =
      reinterpret_cast<PartiallyTransparentFn>(Function(SlotPartiallyTransparent));
  return transparent && transparent(theme_, part, state) ? 1 : 0;
}

int ThemeAccess::DrawParentBackground(HDC dc, const RECT* rect) {
  DrawParentFn draw = reinterpret_cast<DrawParentFn>(Function(SlotDrawParent));
  return draw && draw(window_, dc, rect) == S_OK ? 1 : 0;
}

int ThemeAccess::HasWindowTheme() {
  GetWindowThemeFn get = reinterpret_cast<GetWindowThemeFn>(Function(SlotGetWindowTheme));
  return get && get(window_) ? 1 : 0;
}
