#include "tests/app/window/WindowTestSupport.h"

#include "app/simulation/TrackerScenario.h"
#include "resources/ResourceIds.h"
#include "tests/app/TwoTrackers.h"

namespace windowtest {

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

namespace {

BoxAnswer* currentBox = nullptr;

BOOL CALLBACK AnswerBox(HWND box, LPARAM) {
  wchar_t name[16] = {};
  GetClassNameW(box, name, 16);
  if (wcscmp(name, L"#32770") != 0 || GetWindow(box, GW_OWNER) != currentBox->owner) return TRUE;
  currentBox->text = ItemText(box, 0xFFFF);
  for (HWND button = GetWindow(box, GW_CHILD); button; button = GetWindow(button, GW_HWNDNEXT)) {
    if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) currentBox->defaultId = GetDlgCtrlID(button);
  }
  currentBox->seen = true;
  if (currentBox->meanwhile) currentBox->meanwhile();
  PostMessageW(box, WM_COMMAND, currentBox->answer ? currentBox->answer : currentBox->defaultId, 0);
  return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
  if (currentBox && !currentBox->seen) EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
}

}  // namespace

BoxAnswer::BoxAnswer(HWND window, int button) : owner(window), answer(button) {
  currentBox = this;
  timer = SetTimer(nullptr, 0, 30, LookForBox);
}

BoxAnswer::~BoxAnswer() {
  KillTimer(nullptr, timer);
  currentBox = nullptr;
}

WindowFixture::WindowFixture() : folder_(L"window"), ticks_(1000000) {
  static LONG serial = 0;
  key_ = L"Software\\Vantrel\\PelltonTests-window-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&serial));
  RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
}

WindowFixture::~WindowFixture() {
  if (window_ && window_->Window()) CloseWindow();
  window_.reset();
  RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
}

int WindowFixture::AddTwoTrackers(const char* extra) {
  for (std::string text : {twotrackers::LeftScenario(), twotrackers::RightScenario()}) {
    text += extra;
    TrackerScenario scenario;
    WideString error;
    if (!scenario.Parse(text.data(), text.size(), error)) return 0;
    if (!devices_.AddTracker(scenario)) return 0;
    devices_.Tracker(devices_.Count() - 1)->SetTickSource(&ticks_);
  }
  return 1;
}

MainWindowSetup WindowFixture::Setup() {
  MainWindowSetup setup;
  setup.settingsKey.Assign(key_.c_str());
  setup.databaseFolder.Assign(folder_.Path().c_str());
  setup.devices = devices_.Backend();
  setup.simulated = true;
  setup.watchIdle = true;
  // No test reaches the real update service: a closed port on this computer.
  setup.updateUrl.Assign(L"http://127.0.0.1:1/common/update.php?p=pellton");
  // The waits the worker puts between operations only slow the tests down.
  setup.timings.beforeQueriesMs = 0;
  setup.timings.afterHistoryMs = 0;
  return setup;
}

MainWindow* WindowFixture::Open(const MainWindowSetup* setup) {
  window_.reset(new MainWindow(setup ? *setup : Setup()));
  HWND window = window_->CreateModeless(nullptr, IDD_MAIN, 0, nullptr);
  if (!window) return nullptr;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return window_.get();
}

bool WindowFixture::CloseWindow() {
  if (!window_ || !window_->Window()) return true;
  HWND window = window_->Window();
  BoxAnswer closeNow(window, IDNO);  // when downloads are still under way
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_MAIN_CLOSE, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_MAIN_CLOSE)));
  return PumpUntil([&] { return !IsWindow(window); }, 30000);
}

long long WindowFixture::ReadNumber(const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS) {
    return -1;
  }
  return value;
}

std::wstring WindowFixture::ReadText(const wchar_t* name) {
  wchar_t text[512] = {};
  DWORD size = sizeof(text);
  if (RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return text;
}

void WindowFixture::WriteNumber(const wchar_t* name, DWORD value) {
  RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name, REG_DWORD, &value, sizeof(value));
}

int SelectedIndex(ImageCombo& combo) {
  int index = -1;
  return combo.Selection(&index, nullptr, nullptr) ? index : -1;
}

void ChooseItem(HWND parent, ImageCombo& combo, int index) {
  SendMessageW(combo.Control(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo.Control()), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo.Control()));
}

}  // namespace windowtest
