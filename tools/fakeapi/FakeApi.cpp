// A stand-in system library for the run-time binding tests. It exports a few
// functions under the names of real system functions, with results the tests
// can recognise, and leaves others out on purpose. No <windows.h> here: its
// declarations of the same names would clash with these definitions.

#define FAKE_EXPORT extern "C" __declspec(dllexport)

extern "C" __declspec(dllimport) unsigned int __stdcall GetErrorMode(void);
extern "C" __declspec(dllimport) unsigned long __stdcall GetThreadErrorMode(void);

namespace {

unsigned g_errorModeAtLoad = 0xFFFFFFFFu;
unsigned g_threadErrorModeAtLoad = 0xFFFFFFFFu;
void* g_lastWow64Process = nullptr;
void* g_lastGattDevice = nullptr;
int g_themeActive = 1;
unsigned g_themeGeneration = 1;
unsigned g_themeOpens = 0;
unsigned g_themeCloses = 0;
unsigned g_themeDraws = 0;
unsigned g_parentDraws = 0;
void* g_themedWindow = nullptr;

const long kEHandle = static_cast<long>(0x80070006u);
const long kEFail = static_cast<long>(0x80004005u);

void* CurrentTheme() { return reinterpret_cast<void*>(static_cast<unsigned long long>(0x1000 + g_themeGeneration)); }

}  // namespace

extern "C" int __stdcall DllMain(void*, unsigned long reason, void*) {
  if (reason == 1) {  // DLL_PROCESS_ATTACH
    g_errorModeAtLoad = GetErrorMode();
    g_threadErrorModeAtLoad = static_cast<unsigned>(GetThreadErrorMode());
  }
  return 1;
}

// Control and inspection
FAKE_EXPORT unsigned __stdcall FakeErrorModeAtLoad() { return g_errorModeAtLoad; }
FAKE_EXPORT unsigned __stdcall FakeThreadErrorModeAtLoad() { return g_threadErrorModeAtLoad; }
FAKE_EXPORT void* __stdcall FakeLastWow64Process() { return g_lastWow64Process; }
FAKE_EXPORT void* __stdcall FakeLastGattDevice() { return g_lastGattDevice; }
FAKE_EXPORT void __stdcall FakeSetThemeActive(int active) { g_themeActive = active; }
// Makes every theme handle handed out so far stale.
FAKE_EXPORT void __stdcall FakeChangeTheme() { ++g_themeGeneration; }
FAKE_EXPORT void __stdcall FakeThemeCounts(unsigned* opens, unsigned* closes, unsigned* draws,
                                           unsigned* parentDraws) {
  *opens = g_themeOpens;
  *closes = g_themeCloses;
  *draws = g_themeDraws;
  *parentDraws = g_parentDraws;
}

// kernel32 stand-ins
FAKE_EXPORT unsigned short __stdcall GetUserDefaultUILanguage() { return 0x0407; }
FAKE_EXPORT unsigned short __stdcall GetSystemDefaultUILanguage() { return 0x040C; }
FAKE_EXPORT unsigned long long __stdcall GetTickCount64() { return 0x123456789ABull; }
FAKE_EXPORT int __stdcall IsWow64Process(void* process, int* wow64) {
  g_lastWow64Process = process;
  *wow64 = 1;
  return 1;
}

// bluetoothapis stand-ins (the others are missing on purpose)
FAKE_EXPORT long __stdcall BluetoothGATTGetServices(void* device, unsigned short count, void*,
                                                    unsigned short* actual, unsigned long flags) {
  g_lastGattDevice = device;
  if (actual) *actual = static_cast<unsigned short>(count + 1);
  return static_cast<long>(flags + 1000);
}
FAKE_EXPORT long __stdcall BluetoothGATTUnregisterEvent(void*, unsigned long) { return 0; }

// ole32 stand-in: CoInitializeEx only (CoInitializeSecurity is missing)
FAKE_EXPORT long __stdcall CoInitializeEx(void*, unsigned long coInit) {
  return static_cast<long>(0x00BE0000u | coInit);
}

// uxtheme stand-ins
FAKE_EXPORT void* __stdcall OpenThemeData(void* window, const wchar_t* classList) {
  if (!classList || !*classList) return nullptr;
  ++g_themeOpens;
  g_themedWindow = window;
  return CurrentTheme();
}
FAKE_EXPORT long __stdcall CloseThemeData(void*) {
  ++g_themeCloses;
  return 0;
}
FAKE_EXPORT int __stdcall IsThemeActive() { return g_themeActive; }
FAKE_EXPORT long __stdcall DrawThemeBackground(void* theme, void*, int, int, const void*, const void*) {
  if (theme != CurrentTheme()) return kEHandle;
  ++g_themeDraws;
  return 0;
}
FAKE_EXPORT long __stdcall EnableThemeDialogTexture(void*, unsigned long flags) {
  return flags == 6 ? 0 : kEFail;  // ETDT_ENABLETAB
}
FAKE_EXPORT int __stdcall IsThemeBackgroundPartiallyTransparent(void*, int part, int) {
  return part == 2;
}
FAKE_EXPORT long __stdcall DrawThemeParentBackground(void*, void*, const void*) {
  ++g_parentDraws;
  return 0;
}
FAKE_EXPORT void* __stdcall GetWindowTheme(void* window) {
  return window && window == g_themedWindow ? CurrentTheme() : nullptr;
}

// A function group: two present, "GroupOptional" and "GroupMissing" absent.
FAKE_EXPORT int __stdcall GroupFirst() { return 1; }
FAKE_EXPORT int __stdcall GroupSecond() { return 2; }
