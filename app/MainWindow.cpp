#include "app/MainWindow.h"

#include "app/AboutPage.h"
#include "app/CommandLine.h"
#include "app/InfoPage.h"
#include "app/SingleInstance.h"
#include "app/SleepingPage.h"
#include "app/StandardError.h"
#include "app/TrackerUpdate.h"
#include "app/WalkingPage.h"
#include "app/WindowPicture.h"
#include "ble/WindowsGattBackend.h"
#include "resources/ResourceIds.h"
#include "ui/ModuleVersion.h"
#include "ui/ShellOpen.h"

const wchar_t MainWindow::Title[] = L"Pellton - Samsung EI-AN900 Viewer";
const wchar_t MainWindow::HomePage[] = L"http://www.vantrel.com/";

namespace {

const AnchorEntry kAnchors[] = {
    {IDC_MAIN_TABS, AnchorGrow},
    {IDC_MAIN_CLOSE, AnchorBottomRight},
    {IDC_MAIN_WEB_LINK, AnchorBottom},
    {IDC_MAIN_STATUS, AnchorGrowWidth},
};

struct TabEntry {
  const wchar_t* text;
  int icon;
};

const TabEntry kTabs[MainWindow::TabCount] = {
    {L"Info", IDI_INFO},
    {L"Walking", IDI_WALKING},
    {L"Sleeping", IDI_SLEEPING},
    {L"About", IDI_ABOUT},
};

const int kButtonIcon = 16;  // the icon buttons' and lists' icons, pixels at 96 DPI

// The show mode of the two system programs the buttons start.
const int kShowDefault = SW_SHOWDEFAULT;

}  // namespace

MainWindow::MainWindow(const MainWindowSetup& setup) {
  setup_.settingsRoot = setup.settingsRoot;
  setup_.settingsKey.Assign(setup.settingsKey.IsEmpty() ? CommandLine::DefaultSettingsKey
                                                        : setup.settingsKey.CStr());
  setup_.databaseFolder.Assign(setup.databaseFolder);
  setup_.devices = setup.devices;
  setup_.simulated = setup.simulated;
  setup_.pictureFolder.Assign(setup.pictureFolder);
  setup_.updateUrl.Assign(setup.updateUrl);
  setup_.quitWhenIdle = setup.quitWhenIdle || !setup_.pictureFolder.IsEmpty();
  setup_.watchIdle = setup.watchIdle || setup_.quitWhenIdle;
  setup_.instance = setup.instance;
  setup_.timings = setup.timings;
}

MainWindow::~MainWindow() { TearDown(false); }

int MainWindow::OnInitDialog() {
  tornDown_ = false;
  searchDone_ = false;
  downloadsQueued_ = downloadsShown_ = 0;
  markerQueued_ = false;
  markerShownAt_ = 0;
  pagesMade_.clear();
  liveTracker_ = -1;
  idlePosted_ = false;

  // 1. Icon and title.
  SetIcon(IDI_APPLICATION_ICON);
  WideString title;
  TitleWithVersion(Title, Module(), title);
  if (setup_.simulated) title.Append(L" (simulated)");
  SetTitle(title.CStr());

  // 2. The problem reporter: icon 101, the maker's report host and path.
  ConfigureProblemReporter();

  // 3. COM for the window thread (the taskbar and the chart views).
  InitComApartment();

  // 4. Settings.
  settings_.Open(SettingsRegistry, setup_.settingsRoot, setup_.settingsKey.CStr());
  flagsSetting_ = settings_.ReadNumber(L"Flags", 0);

  // 5. Device list, size grip, icon buttons, status line.
  devices_.Attach(Item(IDC_MAIN_DEVICES), Module(), ImageComboComboBox, kButtonIcon, kButtonIcon);
  AddControl(&devices_);
  grip_.Attach(Window());
  searchButton_.Attach(Item(IDC_MAIN_SEARCH), Module(), kButtonIcon, kButtonIcon);
  searchButton_.SetIcon(IDI_SEARCH);
  bluetoothButton_.Attach(Item(IDC_MAIN_BLUETOOTH), Module(), kButtonIcon, kButtonIcon);
  bluetoothButton_.SetIcon(IDI_BLUETOOTH);
  deviceManagerButton_.Attach(Item(IDC_MAIN_DEVICE_MANAGER), Module(), kButtonIcon, kButtonIcon);
  deviceManagerButton_.SetIcon(IDI_DEVICE_MANAGER);
  AddControl(&searchButton_);
  AddControl(&bluetoothButton_);
  AddControl(&deviceManagerButton_);
  SetItemText(IDC_MAIN_STATUS, L"");

  // 6. The store, then the worker, which queues the first search at once.
  store_.SetTrackers(&worker_.Trackers());
  store_.Open(setup_.databaseFolder.IsEmpty() ? nullptr : setup_.databaseFolder.CStr());
  // A damaged or unusable file is told about once the window shows.
  if (!store_.Opening().notice.IsEmpty()) PostMessageW(Window(), WM_STORE_NOTICE, 0, 0);
  view_.reset(new WindowTrackerView(Window(), &devices_));
  worker_.timings = setup_.timings;
  GattBackend* devices = setup_.devices;
  if (!devices) {
    if (!platform_) platform_.reset(new WindowsGattBackend());
    devices = platform_.get();
  }
  worker_.Start(devices, view_.get(), &store_);

  // 7. The tabs: the Info page is made first (tab 0 is current when the
  //    tabs are added), then the stored tab is selected and made.
  tabs_.Init(Item(IDC_MAIN_TABS), TabHostKeepPages, PageCallbackThunk, this);
  AddControl(&tabs_);
  for (int i = 0; i < TabCount; ++i) tabs_.AddTab(i, kTabs[i].text, kTabs[i].icon, 0, nullptr);
  tabs_.ShowCurrent();
  // A stored tab that names no page (an edited or foreign value) would
  // deselect every tab and leave the window without a page.
  DWORD storedTab = settings_.ReadNumber(L"Tab", 0);
  tabs_.Select(storedTab < static_cast<DWORD>(TabCount) ? static_cast<int>(storedTab) : 0, true);

  // 8. Anchors and the web link.
  AddAnchors(kAnchors, sizeof(kAnchors) / sizeof(kAnchors[0]));
  webLink_.Attach(Item(IDC_MAIN_WEB_LINK), nullptr, HomePage, IDC_LINK_CURSOR, LinkLabelOwnFont);

  // 9. Minimum size and the stored placement.
  SetMinimumSize(400, 200, 1);
  RestorePlacement(nullptr, nullptr, L"Main", 0, &settings_);

  // 10. The automatic update check, unless bit 0 of "Flags" is set. A run
  //     that closes by itself has nobody to answer an update's question.
  hooks_.SetServiceUrl(setup_.updateUrl.CStr());
  if (!setup_.quitWhenIdle) {
    hooks_.StartAutomaticCheck(Window(), flagsSetting_, setup_.settingsRoot, setup_.settingsKey.CStr());
  }

  if (setup_.instance) setup_.instance->MarkWindow(Window());
  return 1;
}

HWND MainWindow::PageCallbackThunk(int action, int index, HWND, LPARAM, void* user) {
  return static_cast<MainWindow*>(user)->OnPage(action, index);
}

HWND MainWindow::OnPage(int action, int index) {
  if (action == PageCreate) {
    Dialog* page = nullptr;
    int templateId = 0;
    switch (index) {
      case 0:
        if (!info_) info_.reset(new InfoPage(*this));
        page = info_.get();
        templateId = IDD_PAGE_INFO;
        break;
      case 1:
        if (!walking_) walking_.reset(new WalkingPage(*this));
        page = walking_.get();
        templateId = IDD_PAGE_WALKING;
        break;
      case 2:
        if (!sleeping_) sleeping_.reset(new SleepingPage(*this));
        page = sleeping_.get();
        templateId = IDD_PAGE_SLEEPING;
        break;
      case 3:
        if (!about_) about_.reset(new AboutPage(*this));
        page = about_.get();
        templateId = IDD_PAGE_ABOUT;
        break;
      default:
        return nullptr;
    }
    if (page->Window()) return nullptr;  // kept pages are never made twice
    HWND window = page->CreateModeless(Module(), templateId, 0, Window());
    if (window) pagesMade_.push_back(index);
    if (index == 0 && window && view_) view_->SetInfoPage(window);
    return window;
  }
  if (action == PageShown) {
    int tracker = -1;
    if (SelectedTracker(&tracker)) {
      worker_.QueueLiveTotals(tracker, index == 1 ? 1 : 0);
      liveTracker_ = index == 1 ? tracker : -1;
    }
  }
  return nullptr;
}

int MainWindow::SelectedTracker(int* index) {
  int value = -1;
  if (!devices_.Selection(nullptr, nullptr, &value)) return 0;
  if (index) *index = value;
  return 1;
}

void MainWindow::PostUpdate(unsigned flags) {
  if (Window()) PostMessageW(Window(), WM_TRACKER_UPDATE, flags, 0);
}

void MainWindow::OnTrackerUpdate(unsigned flags) {
  if (tornDown_) return;
  int tracker = -1;
  if (SelectedTracker(&tracker)) {
    if ((flags & UpdateDeviceInfo) && info_ && info_->Window()) worker_.QueueDeviceInfo(tracker);
    if ((flags & UpdateLiveTotals) && walking_ && walking_->Window()) walking_->RefreshTotals(false);
    if ((flags & UpdateWalking) && walking_ && walking_->Window()) {
      walking_->FillDates();
      walking_->RefreshTotals(true);
    }
    if ((flags & UpdateSleeping) && sleeping_ && sleeping_->Window()) {
      sleeping_->FillDates();
      sleeping_->ShowChart();
    }
  }
}

// The Walking tab may be showing when the device list gets a new current
// tracker: at start with "Tab" 1 (the tab was shown before the search had
// found anything) and when the user picks another tracker. Its totals are
// switched on then, and the previous tracker's off, so that they flow
// whenever the Walking tab is selected and only then.
void MainWindow::FollowLiveTotals() {
  int tracker = -1;
  if (tabs_.Current() != 1 || !SelectedTracker(&tracker) || tracker == liveTracker_) return;
  if (liveTracker_ >= 0) worker_.QueueLiveTotals(liveTracker_, 0);
  if (tracker >= 0) worker_.QueueLiveTotals(tracker, 1);
  liveTracker_ = tracker >= 0 ? tracker : -1;
}

void MainWindow::CountIdleProgress(unsigned flags) {
  // The search ends with all four flags; each download it queued ends with
  // the walking and sleeping flags, after that.
  const unsigned kSearchEnded = UpdateDeviceInfo | UpdateLiveTotals | UpdateWalking | UpdateSleeping;
  const unsigned kHistoryStored = UpdateWalking | UpdateSleeping;
  if (flags == kSearchEnded && !searchDone_) {
    searchDone_ = true;
    downloadsQueued_ = 0;
    for (int i = 0, n = devices_.Count(); i < n; ++i) {
      int value = -1;
      if (devices_.Item(i, nullptr, &value) && value >= 0) ++downloadsQueued_;
    }
  } else if (flags == kHistoryStored && searchDone_) {
    ++downloadsShown_;
  }
  if (!setup_.watchIdle) return;
  if (DownloadsDone() && !markerQueued_) {
    // Runs after everything queued so far, then posts its flags.
    markerQueued_ = true;
    markerShownAt_ = downloadsShown_ + 1;
    worker_.QueueHistory(-1);
  } else if (Idle() && setup_.quitWhenIdle && !idlePosted_) {
    idlePosted_ = true;
    PostMessageW(Window(), WM_IDLE_REACHED, 0, 0);
  }
}

void MainWindow::OnIdleReached() {
  if (!setup_.pictureFolder.IsEmpty()) SavePictures();
  Close(0);
}

void MainWindow::SavePictures() {
  static const wchar_t* const kNames[TabCount] = {L"info", L"walking", L"sleeping", L"about"};
  int previous = tabs_.Current();
  WideString path;
  for (int i = 0; i < TabCount; ++i) {
    const unsigned liveBefore = liveUpdates_;
    tabs_.Select(i, true);
    // The Walking tab switches live totals on: show the first ones.
    if (i == 1) PumpUntilLiveTotals(liveBefore);
    path.Format(L"%s\\tab-%d-%s.bmp", setup_.pictureFolder.CStr(), i + 1, kNames[i]);
    SaveWindowPicture(Window(), path.CStr());
  }
  if (walking_) {
    path.Format(L"%s\\chart-walking.html", setup_.pictureFolder.CStr());
    SaveDocumentText(walking_->Document(), path.CStr());
  }
  if (sleeping_) {
    path.Format(L"%s\\chart-sleeping.html", setup_.pictureFolder.CStr());
    SaveDocumentText(sleeping_->Document(), path.CStr());
  }
  if (previous >= 0) tabs_.Select(previous, true);
}

void MainWindow::PumpUntilLiveTotals(unsigned seenBefore) {
  // Bounded: a tracker that sends no totals leaves the fields as they are.
  const ULONGLONG end = GetTickCount64() + 5000;
  int tracker = -1;
  if (!SelectedTracker(&tracker) || tracker < 0) return;
  while (liveUpdates_ == seenBefore && Window()) {
    ULONGLONG now = GetTickCount64();
    if (now >= end) break;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

int MainWindow::OnCommand(int id, WPARAM wParam, LPARAM lParam) {
  switch (id) {
    case IDC_MAIN_CLOSE:
      Close(0);
      return 1;
    case IDC_MAIN_DEVICES:
      if (HIWORD(wParam) == CBN_SELCHANGE) {
        OnTrackerUpdate(UpdateDeviceInfo | UpdateLiveTotals | UpdateWalking | UpdateSleeping);
        FollowLiveTotals();
      }
      return 1;
    case IDC_MAIN_SEARCH:
      worker_.QueueSearch();
      return 1;
    case IDC_MAIN_BLUETOOTH:
      ShellOpen(L"control.exe", L"bthprops.cpl", nullptr, kShowDefault, 0, L"open");
      return 1;
    case IDC_MAIN_DEVICE_MANAGER:
      ShellOpen(L"devmgmt.msc", nullptr, nullptr, kShowDefault, 0, L"open");
      return 1;
    default:
      return Dialog::OnCommand(id, wParam, lParam);
  }
}

void MainWindow::ShowStoreNotice() {
  const wchar_t* notice = store_.Opening().notice.CStr();
  if (!*notice || tornDown_) return;
  if (setup_.quitWhenIdle) {
    // Nobody is there to answer a message box.
    WriteStandardError(notice);
    WriteStandardError(L"\n");
    return;
  }
  MessageBoxW(Window(), notice, L"Pellton", MB_OK | MB_ICONWARNING);
}

int MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      grip_.OnSize();
      ApplyAnchors(wParam, lParam);
      tabs_.OnSize();
      return 0;
    case WM_PAINT:
      return grip_.OnPaint();
    case WM_NCHITTEST:
      return grip_.OnHitTest(wParam, lParam);
    case WM_TRACKER_UPDATE: {
      const unsigned flags = static_cast<unsigned>(wParam);
      const unsigned searchEnded = UpdateDeviceInfo | UpdateLiveTotals | UpdateWalking | UpdateSleeping;
      // A search has replaced every tracker: nobody's totals are on.
      if (flags == searchEnded) liveTracker_ = -1;
      if (flags == UpdateLiveTotals) ++liveUpdates_;
      OnTrackerUpdate(flags);
      if (tornDown_) return 1;
      if (flags == searchEnded) FollowLiveTotals();
      // Only the worker's posts tell how far it is, not the device list's
      // selection changes.
      CountIdleProgress(flags);
      return 1;
    }
    case WM_IDLE_REACHED:
      OnIdleReached();
      return 1;
    case WM_STORE_NOTICE:
      ShowStoreNotice();
      return 1;
    default:
      return Dialog::OnMessage(message, wParam, lParam);
  }
}

int MainWindow::CanClose(INT_PTR) {
  TearDown(true);
  return 1;
}

int MainWindow::OnDestroy() {
  // A window that goes without Close (its owner destroyed it) still stops
  // the worker and keeps its settings.
  TearDown(true);
  return Dialog::OnDestroy();
}

void MainWindow::OnUpdateCheckBox(bool checked) {
  flagsSetting_ = hooks_.OnCheckBox(Window(), checked, flagsSetting_);
}

void MainWindow::TearDown(bool placementFirst) {
  if (tornDown_) return;
  tornDown_ = true;
  if (placementFirst && Window()) {
    SavePlacement(nullptr, nullptr, L"Main", nullptr, 0, &settings_);
    ShowWindow(Window(), SW_HIDE);
  }
  if (setup_.instance && Window()) setup_.instance->UnmarkWindow(Window());
  hooks_.Shutdown();  // a check in flight ends now; its hook leaves the window
  int currentTab = tabs_.Current();
  if (view_) view_->SetInfoPage(nullptr);
  RemoveControl(&tabs_);
  tabs_.Close();
  // A worker given up while held in a platform call may still call the
  // view: it stays, and the program ends once the window has closed (the
  // store is closed here all the same, so nothing is lost).
  if (worker_.Stop()) {
    view_.reset();
  } else {
    static_cast<void>(view_.release());
  }
  store_.Close();
  RemoveControl(&devices_);
  RemoveControl(&searchButton_);
  RemoveControl(&bluetoothButton_);
  RemoveControl(&deviceManagerButton_);
  devices_.Detach();
  searchButton_.Detach();
  bluetoothButton_.Detach();
  deviceManagerButton_.Detach();
  webLink_.Detach();
  grip_.Detach();
  settings_.WriteNumber(L"Tab", currentTab >= 0 ? static_cast<DWORD>(currentTab) : 0);
  settings_.WriteNumber(L"Flags", flagsSetting_);
  settings_.Close();
  EndComApartment();
}
