#include "app/window/MainWindow.h"

#include <cwctype>

#include "app/charts/DayChart.h"
#include "app/charts/NativeDayChart.h"
#include "app/window/AboutPage.h"
#include "app/window/ChartPage.h"
#include "app/window/InfoPage.h"
#include "app/window/PageTable.h"
#include "app/window/RenameDialog.h"
#include "app/window/ProgramTitle.h"
#include "app/window/SleepingPage.h"
#include "app/window/StoreNotice.h"
#include "app/window/TrendsTabPage.h"
#include "app/tracker/TrackerUpdate.h"
#include "app/window/WalkingPage.h"
#include "app/window/WindowPicture.h"
#include "app/data/AutomaticBackup.h"
#include "app/data/CopyRequest.h"
#include "app/window/DataDialog.h"
#include "ble/WindowsGattBackend.h"
#include "core/StandardError.h"
#include "resources/ResourceIds.h"
#include "core/LibraryHandle.h"
#include "core/ModuleVersion.h"
#include "core/ShellOpen.h"
#include "ui/ColourScheme.h"
#include "ui/Dpi.h"
#include "ui/HtmlView.h"
#include "ui/WindowPlacement.h"

const wchar_t MainWindow::HomePage[] = L"http://www.vantrel.com/";
const wchar_t MainWindow::DefaultSettingsKey[] = L"Software\\Vantrel\\Pellton";

namespace {

const AnchorEntry kAnchors[] = {
    {IDC_MAIN_TABS, AnchorGrow},
    {IDC_MAIN_CLOSE, AnchorBottomRight},
    {IDC_MAIN_WEB_LINK, AnchorBottom},
    {IDC_MAIN_STATUS, AnchorGrowWidth},
};

// The first page made of the class (none).
template <class Kind>
Kind* FirstPageOf(const std::vector<std::unique_ptr<TabPage>>& pages) {
  for (const std::unique_ptr<TabPage>& page : pages) {
    if (Kind* found = dynamic_cast<Kind*>(page.get())) return found;
  }
  return nullptr;
}

const int kButtonIcon = 16;  // the icon buttons' and lists' icons, pixels at 96 DPI

// The show mode of the two system programs the buttons start.
const int kShowDefault = SW_SHOWDEFAULT;

}  // namespace

MainWindow::MainWindow(const MainWindowSetup& setup) {
  setup_.settingsRoot = setup.settingsRoot;
  setup_.settingsKey.Assign(setup.settingsKey.IsEmpty() ? DefaultSettingsKey
                                                        : setup.settingsKey.CStr());
  setup_.databaseFolder.Assign(setup.databaseFolder);
  setup_.databasePath.Assign(setup.databasePath);
  setup_.devices = setup.devices;
  setup_.simulated = setup.simulated;
  setup_.pictureFolder.Assign(setup.pictureFolder);
  setup_.updateUrl.Assign(setup.updateUrl);
  setup_.today = setup.today;
  setup_.quitWhenIdle = setup.quitWhenIdle || !setup_.pictureFolder.IsEmpty();
  setup_.watchIdle = setup.watchIdle || setup_.quitWhenIdle;
  setup_.instance = setup.instance;
  setup_.timings = setup.timings;
  setup_.choosePath = setup.choosePath;
}

MainWindow::~MainWindow() { TearDown(false); }

int MainWindow::OnInitDialog() {
  tornDown_ = false;
  infoAfterSearch_ = 0;
  closeWhenDone_ = closeNow_ = maximiseWhenShown_ = maximisePosted_ = false;
  searchDone_ = false;
  downloadsQueued_ = downloadsShown_ = 0;
  markerQueued_ = false;
  markerShownAt_ = 0;
  pagesMade_.clear();
  liveTracker_ = SelectedTracker();
  idlePosted_ = false;

  // 1. Icon and title.
  SetIcon(IDI_APPLICATION_ICON);
  WideString title;
  TitleWithVersion(ProgramTitle, Module(), title);
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
  exportButton_.Attach(Item(IDC_MAIN_EXPORT), Module(), kButtonIcon, kButtonIcon);
  exportButton_.SetIcon(IDI_EXPORT);
  AddControl(&exportButton_);
  tips_.Create(Window());
  tips_.Set(Item(IDC_MAIN_SEARCH), L"Search for trackers again");
  tips_.Set(Item(IDC_MAIN_BLUETOOTH), L"Bluetooth settings (pair a tracker)");
  tips_.Set(Item(IDC_MAIN_DEVICE_MANAGER), L"Device Manager");
  tips_.Set(Item(IDC_MAIN_EXPORT), L"Export and backup");
  SetItemText(IDC_MAIN_STATUS, L"");

  // 6. The store, then the worker, which queues the first search at once.
  store_.KeepCheckIn(&settings_);
  if (!setup_.databasePath.IsEmpty()) {
    store_.OpenFile(setup_.databasePath.CStr());
  } else {
    store_.Open(setup_.databaseFolder.IsEmpty() ? nullptr : setup_.databaseFolder.CStr());
  }
  // A damaged or unusable file is told about once the window shows.
  if (store_.Opening().outcome != StoreOpenedAsFound) PostMessageW(Window(), WM_STORE_NOTICE, 0, 0);
  view_.reset(new WindowTrackerView(Window(), &devices_));
  view_->SetDeviceInfoShower([this](const DeviceInfo& info) { ShowDeviceInfo(info); });
  worker_.timings = setup_.timings;
  GattBackend* devices = setup_.devices;
  if (!devices) {
    if (!platform_) platform_.reset(new WindowsGattBackend());
    devices = platform_.get();
  }
  worker_.Start(devices, view_.get(), &store_);
  trends_.Start(store_);
  runs_.Start(store_);
  QueueInfoAfterSearch();

  // 7. The tabs: the Info page is made first (tab 0 is current when the
  //    tabs are added), then the stored tab is selected and made.
  tabs_.Init(Item(IDC_MAIN_TABS), TabHostKeepPages, PageCallbackThunk, this);
  AddControl(&tabs_);
  pages_.clear();
  pages_.resize(static_cast<size_t>(PageCount));
  for (int i = 0; i < PageCount; ++i) tabs_.AddTab(i, PageTable[i].title, PageTable[i].icon, 0, nullptr);
  tabs_.ShowCurrent();
  // A stored tab that names no page (an edited or foreign value) would
  // deselect every tab and leave the window without a page.
  const int storedTab = PageOfStored(settings_.ReadNumber(L"Tab", 0));
  tabs_.Select(storedTab >= 0 ? storedTab : 0, true);

  // 8. Anchors and the web link.
  AddAnchors(kAnchors, sizeof(kAnchors) / sizeof(kAnchors[0]));
  webLink_.Attach(Item(IDC_MAIN_WEB_LINK), nullptr, HomePage, IDC_LINK_CURSOR, LinkLabelOwnFont);

  // 9. Minimum size and the stored placement. The dialog manager shows a
  //    dialog as a normal window once it is made, which would undo a
  //    restored maximised state: such a window stays hidden, its normal
  //    rectangle set, and is shown maximised in place of that first show
  //    (WM_WINDOWPOSCHANGING).
  SetMinimumSize(400, 200, 1);
  WideString stored;
  PlacementValue value = {};
  const bool maximised = settings_.ReadText(L"Main", stored) && ParsePlacementText(stored.CStr(), &value) &&
                         value.showState == SW_SHOWMAXIMIZED;
  const DWORD placementFlags = maximised ? PlacementForceHidden | PlacementNoReposition : 0;
  maximiseWhenShown_ = RestorePlacement(nullptr, nullptr, L"Main", placementFlags, &settings_) && maximised;

  // 10. The automatic update check, unless bit 0 of "Flags" is set. A run
  //     that closes by itself has nobody to answer an update's question.
  hooks_.SetServiceUrl(setup_.updateUrl.CStr());
  if (!setup_.quitWhenIdle) {
    hooks_.StartAutomaticCheck(Window(), flagsSetting_, setup_.settingsRoot, setup_.settingsKey.CStr());
  }

  // What screen readers read: the icon buttons by their texts, the other
  // controls by their labels; the device list and the tabs have none.
  ApplySchemeToFrame(Window());
  names_.NameChildren(Window());
  names_.Name(devices_.Control(), L"Tracker");
  names_.Name(tabs_.Tab(), L"Pages");

  if (setup_.instance) setup_.instance->MarkWindow(Window());
  keys_.Start(Window(), [this](const MSG& message) { return OnKey(message); });
  // The focus and the Alt letters are shown from the start, not only once
  // the keyboard has been used.
  SendMessageW(Window(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  // The first focus goes to the tabs, never to a control that acts on
  // Enter (the Info page's link sets a tracker's clock) nor to the device
  // list, which each search disables.
  SetFocus(tabs_.Tab());
  return 2;
}

// The dialog manager gives the focus back to the control that had it, and
// when that one went disabled meanwhile (the search button and the device
// list while the worker runs) to the first control that takes Tab, which
// may be the Info page's link: the tabs take it then.
void MainWindow::RestoreFocus() {
  HWND focus = focusBefore_;
  if (!focus || !IsWindow(focus) || !IsWindowEnabled(focus) || !IsWindowVisible(focus)) focus = tabs_.Tab();
  if (focus) SetFocus(focus);
}

void MainWindow::QueueInfoAfterSearch() {
  // The search selects the first tracker it finds, and queues the history
  // downloads as it ends: the device information asked for now runs
  // before them, so the Info page fills as soon as the tracker is found.
  // The search's own end then asks for none.
  if (worker_.QueueDeviceInfo(0)) ++infoAfterSearch_;
}

HWND MainWindow::PageCallbackThunk(int action, int index, HWND, LPARAM, void* user) {
  return static_cast<MainWindow*>(user)->OnPage(action, index);
}

HWND MainWindow::OnPage(int action, int index) {
  if (index < 0 || index >= PageCount) return nullptr;
  const PageRow& row = PageTable[index];
  if (action == PageCreate) {
    std::unique_ptr<TabPage>& page = pages_[static_cast<size_t>(index)];
    if (!page) page.reset(row.make(*this));
    if (page->Window()) return nullptr;  // kept pages are never made twice
    HWND window = page->CreateModeless(Module(), row.templateId, 0, Window());
    if (window) {
      pagesMade_.push_back(index);
      names_.NameChildren(window);
      page->NameControls(names_);
      ApplySchemeToButtons(window);
    }
    return window;
  }
  if (action == PageShown) {
    SelectedTracker tracker;
    if (Selected(tracker)) {
      QueueLiveTotals(tracker, row.liveTotals);
      liveTracker_ = row.liveTotals ? tracker : SelectedTracker();
    }
  }
  return nullptr;
}

TabPage* MainWindow::Page(int index) {
  return index >= 0 && static_cast<size_t>(index) < pages_.size() ? pages_[static_cast<size_t>(index)].get() : nullptr;
}

InfoPage* MainWindow::Info() { return FirstPageOf<InfoPage>(pages_); }
WalkingPage* MainWindow::Walking() { return FirstPageOf<WalkingPage>(pages_); }
SleepingPage* MainWindow::Sleeping() { return FirstPageOf<SleepingPage>(pages_); }
AboutPage* MainWindow::About() { return FirstPageOf<AboutPage>(pages_); }
TrendsTabPage* MainWindow::Trends() { return FirstPageOf<TrendsTabPage>(pages_); }

bool MainWindow::LiveTotalsTab() {
  const int current = tabs_.Current();
  return current >= 0 && current < PageCount && PageTable[current].liveTotals;
}

void MainWindow::ShowDeviceInfo(const DeviceInfo& info) {
  for (std::unique_ptr<TabPage>& page : pages_) {
    if (page && page->Window()) page->ShowDeviceInfo(info);
  }
}

int MainWindow::CurrentTracker(int* index) {
  int value = -1;
  if (!devices_.Selection(nullptr, nullptr, &value)) return 0;
  if (index) *index = value;
  return 1;
}

void MainWindow::PostUpdate(unsigned flags) {
  if (Window()) PostMessageW(Window(), WM_TRACKER_UPDATE, flags, 0);
}

void MainWindow::OnTrackerUpdate(unsigned flags, LPARAM stored) {
  // Without a tracker selected too: each page then clears itself of the
  // figures of the tracker it showed before.
  if (tornDown_) return;
  StoredRuns download;
  const bool afterDownload = ReadStoredRuns(stored, download) != 0;
  for (int i = 0; i < PageCount; ++i) {
    const unsigned mine = flags & PageTable[i].updates;
    TabPage* page = Page(i);
    if (!mine || !page || !page->Window()) continue;
    if (afterDownload) {
      page->RefreshStored(mine, download);
    } else {
      page->Refresh(mine | (flags & UpdateTrackerPicked));
    }
  }
}

int MainWindow::Selected(SelectedTracker& tracker) {
  tracker = SelectedTracker();
  if (!devices_.Selection(nullptr, &tracker.name, &tracker.index)) return 0;
  if (tracker.index < 0 || !worker_.GetTrackerAddress(tracker.index, tracker.address)) tracker.address.Assign(L"");
  return 1;
}

int MainWindow::LiveTotals(int tracker, unsigned& steps, unsigned& calories, unsigned& metres, bool& arrived) {
  arrived = false;
  return worker_.GetLiveTotals(tracker, steps, calories, metres, &arrived);
}

int MainWindow::ListRuns(const wchar_t* address, int table, std::vector<StoredRun>& runs) {
  return store_.ListRunsOf(address, table, runs);
}

int MainWindow::ListNewestRuns(const wchar_t* address, int table, unsigned limit, std::vector<StoredRun>& runs,
                               bool& complete) {
  return store_.ListNewestRunsOf(address, table, limit, runs, complete);
}

int MainWindow::RequestRuns(const wchar_t* address, int table, HWND window, UINT message, unsigned ticket) {
  return !tornDown_ && runs_.Request(address, table, window, message, ticket);
}

int MainWindow::ReleaseRuns(int table) {
  // A window being closed lists nothing more (the held request goes with
  // the thread).
  return tornDown_ || runs_.Release(table);
}

int MainWindow::TakeRuns(int table, unsigned ticket, std::vector<StoredRun>& runs) {
  const int taken = runs_.Take(table, ticket, runs);
  // The last list shown may be what idleness waited for.
  if (taken && !tornDown_) CountIdleProgress(0);
  return taken;
}

void MainWindow::DropRuns(int table) {
  runs_.Drop(table);
  if (!tornDown_) CountIdleProgress(0);
}

int MainWindow::BuildChart(int table, const wchar_t* address, unsigned start, WideString& page) {
  return table == WalkingTable ? BuildWalkingPage(store_, address, start, page, Module())
                               : BuildSleepingPage(store_, address, start, page, Module());
}

int MainWindow::BuildNativeChart(int table, const wchar_t* address, unsigned start, NativeChartData& chart) {
  return BuildNativeDayChart(store_, table, address, start, chart);
}

int MainWindow::RunPattern(int table, const wchar_t* address, unsigned start, ByteBuffer& pattern) {
  return store_.ReadPattern(table, address, start, pattern);
}

int MainWindow::WalkingRun(const wchar_t* address, unsigned start, WalkingRunFigures& figures) {
  ByteBuffer pattern;
  const int read = store_.ReadPattern(WalkingTable, address, start, pattern);
  if (read) figures = FiguresOfWalkingRun(pattern.data, static_cast<size_t>(pattern.size));
  BufferClear(pattern);
  return read;
}

int MainWindow::NightOfRun(const wchar_t* address, unsigned start, NightRecord& night, WideString& problem) {
  return NightOfSleepingRun(store_, address, start, night, problem);
}

int MainWindow::RequestTrends(const TrendRequest& request, HWND window, UINT message, unsigned ticket) {
  return !tornDown_ && trends_.Request(request, window, message, ticket);
}

int MainWindow::TakeTrends(unsigned ticket, int& read, TrendFigures& figures, WideString& problem) {
  return trends_.Take(ticket, read, figures, problem);
}

int MainWindow::Today() {
  if (setup_.today) return setup_.today;
  SYSTEMTIME now;
  GetLocalTime(&now);
  return (now.wYear * 100 + now.wMonth) * 100 + now.wDay;
}

int MainWindow::QueueDeviceInfo(const SelectedTracker& tracker, bool beforeOthers) {
  return beforeOthers ? worker_.QueueDeviceInfoNext(tracker.index, tracker.address.CStr())
                      : worker_.QueueDeviceInfo(tracker.index, tracker.address.CStr());
}

int MainWindow::QueueSetTime(const SelectedTracker& tracker) {
  return worker_.QueueSetTime(tracker.index, tracker.address.CStr());
}

int MainWindow::QueueLiveTotals(const SelectedTracker& tracker, bool on) {
  return worker_.QueueLiveTotals(tracker.index, on ? 1 : 0, tracker.address.CStr());
}

void MainWindow::InitUpdateCheckBox(HWND page, int id) { hooks_.InitCheckBox(page, id, flagsSetting_); }

// The Walking tab may be showing when the device list gets a new current
// tracker: at start with "Tab" 1 (the tab was shown before the search had
// found anything) and when the user picks another tracker. Its totals are
// switched on then, and the previous tracker's off, so that they flow
// whenever the Walking tab is selected and only then.
void MainWindow::FollowLiveTotals() {
  SelectedTracker tracker;
  if (!LiveTotalsTab() || !Selected(tracker)) return;
  if (tracker.index == liveTracker_.index && tracker.address == liveTracker_.address.CStr()) return;
  if (liveTracker_.index >= 0) QueueLiveTotals(liveTracker_, false);
  if (tracker.index >= 0) QueueLiveTotals(tracker, true);
  liveTracker_ = tracker.index >= 0 ? tracker : SelectedTracker();
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
  Close(QuitResult());
}

int MainWindow::QuitResult() {
  TrackerRunSummary summary;
  worker_.Summary(summary);
  if (summary.found == 0) {
    WriteStandardError(L"Pellton: no Samsung EI-AN900 was found\n");
    return QuitNoTracker;
  }
  if (summary.downloaded == summary.found) return 0;
  WideString text;
  text.Format(L"Pellton: %u of %u trackers were not downloaded and stored:\n%s", summary.found - summary.downloaded,
              summary.found, summary.problems.CStr());
  WriteStandardError(text.CStr());
  return QuitSomethingFailed;
}

void MainWindow::SavePictures() {
  int previous = tabs_.Current();
  WideString path;
  for (int i = 0; i < PageCount; ++i) {
    WideString name;
    for (const wchar_t* c = PageTable[i].title; *c; ++c) {
      if (*c != L'&') name.AppendChar(static_cast<wchar_t>(towlower(*c)));  // the mnemonic's mark is not named
    }
    const unsigned liveBefore = liveUpdates_;
    tabs_.Select(i, true);
    // A tab that switches live totals on shows the first ones.
    if (PageTable[i].liveTotals) PumpUntilLiveTotals(liveBefore);
    // The Trends tab shows the year, the longest view that fits the picture.
    if (TrendsTabPage* trends = dynamic_cast<TrendsTabPage*>(Page(i))) {
      trends->ChoosePeriod(PeriodYear);
      PumpWhile([trends] { return trends->Working(); });
    }
    // Named by the row's stored number, so a picture keeps its name when tabs are added.
    path.Format(L"%s\\tab-%d-%s.bmp", setup_.pictureFolder.CStr(), PageTable[i].stored + 1, name.CStr());
    SaveWindowPicture(Window(), path.CStr());
    // And its chart, when it shows one.
    ChartPage* chart = dynamic_cast<ChartPage*>(Page(i));
    if (!chart) continue;
    path.Format(L"%s\\chart-%s.html", setup_.pictureFolder.CStr(), name.CStr());
    SaveDocumentText(chart->Document(), path.CStr());
    // And the same page in the dark colours.
    WideString dark;
    path.Format(L"%s\\chart-%s-dark.html", setup_.pictureFolder.CStr(), name.CStr());
    if (chart->ThemedDocument(ColourSchemeDark, dark)) SaveDocumentText(dark, path.CStr());
    // And the run as the table view shows it.
    const bool table = chart->TableShown();
    chart->ShowTable(true);
    path.Format(L"%s\\tab-%d-%s-table.bmp", setup_.pictureFolder.CStr(), PageTable[i].stored + 1, name.CStr());
    SaveWindowPicture(Window(), path.CStr());
    chart->ShowTable(table);
  }
  if (previous >= 0) tabs_.Select(previous, true);
}

void MainWindow::PumpUntilLiveTotals(unsigned seenBefore) {
  // Bounded: a tracker that sends no totals leaves the fields as they are.
  int tracker = -1;
  if (!CurrentTracker(&tracker) || tracker < 0) return;
  // The tracker hears the switch only once its rest after the download is
  // over.
  PumpWhile([this, seenBefore] { return liveUpdates_ == seenBefore; }, worker_.timings.afterHistoryMs + 5000);
}

void MainWindow::PumpWhile(const std::function<bool()>& waiting, DWORD limitMs) {
  const ULONGLONG end = GetTickCount64() + limitMs;
  while (waiting() && Window()) {
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
    case IDOK:
      // Enter where no button has the focus: the window has no default
      // button, so that Enter in a list, the tabs or a picker ends nothing.
      return 1;
    case IDC_MAIN_DEVICES:
      if (HIWORD(wParam) == CBN_SELCHANGE) {
        // The picked tracker's information is read before the downloads
        // still queued, so that it shows as soon as it is known.
        OnTrackerUpdate(UpdateDeviceInfo | UpdateLiveTotals | UpdateWalking | UpdateSleeping | UpdateTrackerPicked);
        FollowLiveTotals();
      }
      return 1;
    case IDC_MAIN_SEARCH:
      if (worker_.QueueSearch()) QueueInfoAfterSearch();
      return 1;
    case IDC_MAIN_BLUETOOTH:
      OpenSystemTool(L"the Bluetooth settings", L"control.exe", L"bthprops.cpl", L"bthprops.cpl", "CPlApplet");
      return 1;
    case IDC_MAIN_DEVICE_MANAGER:
      OpenSystemTool(L"the Device Manager", L"devmgmt.msc", nullptr, L"devmgmt.msc", nullptr);
      return 1;
    case IDCANCEL:
      // Escape: the window stays. Close, Alt+F4 and the system menu close it.
      return 1;
    case IDC_MAIN_EXPORT:
      OpenDataDialog();
      return 1;
    default: {
      // Enter presses the default button a page made the window's (the
      // Trends goal's Set): its command comes here and belongs to the page.
      HWND control = reinterpret_cast<HWND>(lParam);
      HWND owner = control ? GetParent(control) : nullptr;
      if (owner && owner != Window() && IsChild(Window(), owner)) {
        SendMessageW(owner, WM_COMMAND, wParam, lParam);
        return 1;
      }
      return Dialog::OnCommand(id, wParam, lParam);
    }
  }
}

void MainWindow::OpenSystemTool(const wchar_t* what, const wchar_t* file, const wchar_t* parameters,
                                const wchar_t* needed, const char* panelEntry) {
  // The shell starts control.exe happily for a panel that is not there,
  // which then shows nothing: the panel's file is looked for first.
  wchar_t system[MAX_PATH] = {};
  WideString path, text;
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  LibraryHandle panel;
  if (length == 0 || length >= MAX_PATH || !path.Format(L"%s\\%s", system, needed) ||
      GetFileAttributesW(path.CStr()) == INVALID_FILE_ATTRIBUTES) {
    text.Format(L"Pellton cannot open %s: %s is not on this computer.", what, needed);
  } else if (panelEntry && (!panel.Load(needed, 1) || !panel.Resolve(panelEntry))) {
    // A stand-in file without the panel in it (as Wine has).
    text.Format(L"Pellton cannot open %s: %s on this computer holds no settings panel.", what, needed);
  } else if (!ShellOpen(file, parameters, nullptr, kShowDefault, 0, L"open")) {
    const DWORD error = GetLastError();
    wchar_t reason[512] = {};
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason, 512,
                        nullptr)) {
      swprintf(reason, 512, L"error %lu", error);
    }
    for (wchar_t* c = reason; *c; ++c) {
      if (*c == L'\r' || *c == L'\n') *c = L' ';
    }
    text.Format(L"Pellton could not open %s: %s", what, reason);
  } else {
    text.Format(L"Opening %s.", what);
  }
  SetItemText(IDC_MAIN_STATUS, text.CStr());
}

bool MainWindow::OnKey(const MSG& message) {
  const bool control = KeyHeld(VK_CONTROL), shift = KeyHeld(VK_SHIFT), alt = KeyHeld(VK_MENU);
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && control && !alt) {
    const int current = tabs_.Current();
    SelectTab(((current < 0 ? 0 : current) + (shift ? PageCount - 1 : 1)) % PageCount);
    return true;
  }
  if (message.message == WM_KEYDOWN && (message.wParam == VK_LEFT || message.wParam == VK_RIGHT) && control &&
      !alt && !shift) {
    ChartPage* page = dynamic_cast<ChartPage*>(Page(tabs_.Current()));
    if (!page) return false;
    page->StepRun(message.wParam == VK_LEFT ? -1 : 1);
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && !control && !alt) return MoveFocus(shift);
  if (message.message == WM_KEYDOWN && message.wParam == VK_F2 && !control && !alt && !shift) {
    RenameTracker();
    return true;
  }
  if (message.message == WM_SYSCHAR && !control) {
    const wchar_t key = static_cast<wchar_t>(towlower(static_cast<wint_t>(message.wParam)));
    for (int i = 0; i < PageCount; ++i) {
      const wchar_t* mark = wcschr(PageTable[i].title, L'&');
      if (mark && mark[1] && static_cast<wchar_t>(towlower(mark[1])) == key) {
        SelectTab(i);
        return true;
      }
    }
  }
  return false;
}

void MainWindow::RenameTracker() {
  SelectedTracker tracker;
  if (!Selected(tracker) || tracker.index < 0 || tracker.address.IsEmpty()) return;
  RenameDialog dialog;
  dialog.tracker.Assign(tracker.name);
  settings_.ReadText(tracker.address.CStr(), dialog.name, L"", L"Names");
  if (dialog.RunModal(Module(), IDD_RENAME, 0, Window()) != IDOK || tornDown_) return;
  if (!settings_.WriteText(tracker.address.CStr(), dialog.name.CStr(), L"Names")) {
    SetItemText(IDC_MAIN_STATUS, L"The tracker's name could not be kept in the settings.");
    return;
  }
  ApplyTrackerNames(false);
}

void MainWindow::ApplyTrackerNames(bool searchEnded) {
  if (searchEnded) ownNames_.clear();
  WideString address, name, text;
  for (int i = 0, n = devices_.Count(); i < n; ++i) {
    int index = -1;
    if (searchEnded) {
      ownNames_.emplace_back();
      devices_.Item(i, &ownNames_.back(), nullptr);
    }
    if (!devices_.Item(i, nullptr, &index) || index < 0 || static_cast<size_t>(i) >= ownNames_.size() ||
        !worker_.GetTrackerAddress(index, address)) {
      continue;
    }
    const bool named = settings_.ReadText(address.CStr(), name, L"", L"Names") && !name.IsEmpty();
    if (named) {
      text.Format(L"%s [%s]", name.CStr(), address.CStr());
    } else {
      text.Assign(ownNames_[static_cast<size_t>(i)]);
    }
    WideString shown;
    if (devices_.Item(i, &shown, nullptr) && !(shown == text.CStr())) devices_.SetText(i, text.CStr());
  }
}

static BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<size_t*>(count);
  return TRUE;
}

// The shown page lies above the tab control (it is drawn over it), which
// would put its controls first in the dialog manager's order: Tab goes
// along the top row, the tabs, the page, the web link and Close instead.
bool MainWindow::MoveFocus(bool back) {
  TabPage* page = Page(tabs_.Current());
  HWND focus = GetFocus();
  std::vector<HWND> order;
  for (HWND child = GetWindow(Window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (page && child == page->Window()) continue;
    if (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) order.push_back(child);
    if (child != tabs_.Tab() || !page || !page->Window()) continue;
    // The page's tab stops, once round. A round that never comes back to
    // the first (the first no tab stop itself, as when every control is
    // disabled) ends after as many steps as the page has windows.
    size_t windows = 0;
    EnumChildWindows(page->Window(), CountWindow, reinterpret_cast<LPARAM>(&windows));
    HWND first = GetNextDlgTabItem(page->Window(), nullptr, FALSE);
    for (HWND item = first; item && windows > 0; item = GetNextDlgTabItem(page->Window(), item, FALSE), --windows) {
      order.push_back(item);
      if (GetNextDlgTabItem(page->Window(), item, FALSE) == first) break;
    }
  }
  size_t at = 0;
  while (at < order.size() && order[at] != focus && !IsChild(order[at], focus)) ++at;
  if (at == order.size()) return false;  // inside the chart: its own keys
  for (size_t step = 1; step < order.size(); ++step) {
    HWND next = order[(at + (back ? order.size() - step : step)) % order.size()];
    if (IsWindowVisible(next) && IsWindowEnabled(next)) {
      SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
      return true;
    }
  }
  return true;
}

void MainWindow::SelectTab(int index) {
  if (index < 0 || index >= PageCount) return;
  if (index != tabs_.Current()) tabs_.Select(index, true);
  // The page left behind is hidden with the control that had the focus.
  SetFocus(tabs_.Tab());
}

void MainWindow::OpenDataDialog() {
  DataDialogContext context;
  context.store = &store_;
  context.settings = &settings_;
  context.window = Window();
  context.choosePath = setup_.choosePath ? setup_.choosePath : DataDialog::ChooseWithSystemDialogs;
  int tracker = -1;
  if (CurrentTracker(&tracker) && tracker >= 0) worker_.GetTrackerAddress(tracker, context.selectedTracker);
  DataDialog dialog(context);
  dialog.RunModal(Module(), IDD_DATA, 0, Window());
}

// After the first successful download of each day, when the user chose
// automatic backups.
void MainWindow::BackUpIfDue() {
  TrackerRunSummary summary;
  worker_.Summary(summary);
  if (summary.downloaded == 0) return;
  SYSTEMTIME today;
  GetLocalTime(&today);
  WideString text;
  if (BackUpAfterDownload(store_, settings_, today, text) != BackupFailed) return;
  SetItemText(IDC_MAIN_STATUS, text.CStr());
  if (setup_.quitWhenIdle) {
    text.Append(L"\n");
    WriteStandardError(text.CStr());
  }
}

void MainWindow::ShowStoreNotice() {
  WideString text;
  if (tornDown_ || !DescribeStoreOpening(store_.Path().CStr(), store_.Opening(), text)) return;
  const wchar_t* notice = text.CStr();
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
      if (flags == searchEnded) {
        liveTracker_ = SelectedTracker();
        ApplyTrackerNames(true);
      }
      if (flags == UpdateLiveTotals) ++liveUpdates_;
      if (flags == searchEnded && infoAfterSearch_ > 0) {
        --infoAfterSearch_;
        OnTrackerUpdate(flags & ~UpdateDeviceInfo);
      } else {
        OnTrackerUpdate(flags, lParam);
      }
      if (tornDown_) return 1;
      if (flags == (UpdateWalking | UpdateSleeping)) BackUpIfDue();
      if (flags == searchEnded) FollowLiveTotals();
      // Only the worker's posts tell how far it is, not the device list's
      // selection changes.
      CountIdleProgress(flags);
      if (closeWhenDone_) CloseIfDownloadsDone();
      return 1;
    }
    case WM_WINDOWPOSCHANGING: {
      const int answer = Dialog::OnMessage(message, wParam, lParam);
      // A restored maximised window is never shown as a normal one and
      // maximised afterwards: the user would see it at its normal size
      // first, and a window manager that reports that size late (X under
      // Wine) would take the window back to it. The first show is held
      // back and the window comes up maximised at once.
      WINDOWPOS* position = reinterpret_cast<WINDOWPOS*>(lParam);
      if (maximiseWhenShown_ && position && (position->flags & SWP_SHOWWINDOW)) {
        position->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
        if (!maximisePosted_) {
          maximisePosted_ = true;
          PostMessageW(Window(), WM_MAXIMISE, 0, 0);
        }
      }
      return answer;
    }
    case WM_MAXIMISE:
      if (maximiseWhenShown_) {
        maximiseWhenShown_ = false;
        ShowWindow(Window(), SW_SHOWMAXIMIZED);
      }
      return 1;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        focusBefore_ = focus && IsChild(Window(), focus) ? focus : nullptr;
        return 0;  // the dialog manager notes it too
      }
      if (HIWORD(wParam)) return 0;  // minimised: no focus to give
      RestoreFocus();
      return 1;
    case WM_SETFOCUS:
      RestoreFocus();
      return 1;
    case WM_TIMER:
      if (wParam == kCloseTimer) CloseIfDownloadsDone();
      if (wParam == kUpdateTimer && !hooks_.PollCheck()) KillTimer(Window(), kUpdateTimer);
      return 1;
    case WM_IDLE_REACHED:
      OnIdleReached();
      return 1;
    case WM_SETTINGCHANGE:
      // The apps' dark mode is announced as "ImmersiveColorSet", High Contrast as SPI_SETHIGHCONTRAST.
      if ((lParam && lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"ImmersiveColorSet") == 0) ||
          wParam == SPI_SETHIGHCONTRAST) {
        FollowColourScheme();
      }
      return 0;
    case WM_SYSCOLORCHANGE:
      FollowColourScheme();
      return 0;
    case WM_DPICHANGED:
      FollowDpi(reinterpret_cast<const RECT*>(lParam));
      return 0;  // the dialog manager's own handling gives the controls their fonts
    case WM_STORE_NOTICE:
      ShowStoreNotice();
      return 1;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == devices_.Control()) {
        SelectedTracker tracker;
        HMENU menu = CreatePopupMenu();
        if (!menu) return 1;
        const bool named = Selected(tracker) && tracker.index >= 0;
        AppendMenuW(menu, MF_STRING | (named ? 0 : MF_GRAYED), 1, L"&Name this tracker...\tF2");
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (lParam == static_cast<LPARAM>(-1)) {  // from the keyboard: below the list
          RECT box;
          GetWindowRect(devices_.Control(), &box);
          at = {box.left, box.bottom};
        }
        const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, Window(), nullptr);
        DestroyMenu(menu);
        if (chosen == 1) RenameTracker();
        return 1;
      }
      return 0;
    case WM_COPYDATA:
      // Another Pellton run from the command line asks for a copy of the
      // database, which this one holds.
      if (!IsCopyRequest(lParam)) return 0;
      SetResult(AnswerCopyRequest(store_, lParam));
      return 1;
    default:
      return Dialog::OnMessage(message, wParam, lParam);
  }
}

int MainWindow::CanClose(INT_PTR result) {
  // A run that closes by itself never asks: nobody is there to answer. Nor
  // does the close that a new version asks for when it starts: the user
  // agreed to the restart, and the new copy waits for this one to end.
  int running = -1;
  const int pending = worker_.DownloadsPending(&running);
  const bool restarting = hooks_.Client().LastOutcome() == UpdateCheckRestarting;
  if (!tornDown_ && result == 0 && pending > 0 && !closeNow_ && !setup_.quitWhenIdle && !restarting) {
    switch (AskBeforeClosing(pending, running)) {
      case IDYES:
        closeWhenDone_ = true;
        SetTimer(Window(), kCloseTimer, 250, nullptr);
        return 0;
      case IDNO:
        break;
      default:
        closeWhenDone_ = false;  // kept open, also after the downloads
        KillTimer(Window(), kCloseTimer);
        return 0;
    }
  }
  if (Window()) KillTimer(Window(), kCloseTimer);
  TearDown(true);
  return 1;
}

int MainWindow::AskBeforeClosing(int pending, int running) {
  WideString name, now, text;
  if (running >= 0) {
    TrackerName(running, name);
    now.Format(L"Pellton is still downloading the activity history of tracker %d of %d, %s", running + 1,
               TrackerCount(), name.CStr());
    if (pending > 1) {
      WideString more;
      more.Format(L"; %d more download%s waiting", pending - 1, pending > 2 ? L"s are" : L" is");
      now.Append(more);
    }
  } else {
    now.Format(L"Pellton still has %d history download%s waiting", pending, pending > 1 ? L"s" : L"");
  }
  text.Format(L"%s.\n\n"
              L"Close Pellton once every download has been stored?\n\n"
              L"Yes: Pellton closes by itself when the downloads have finished.\n"
              L"No: close now. What was not downloaded stays in the trackers and is "
              L"downloaded at the next start.\n"
              L"Cancel: keep Pellton open.",
              now.CStr());
  return MessageBoxW(Window(), text.CStr(), L"Pellton", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
}

void MainWindow::CloseIfDownloadsDone() {
  if (tornDown_ || !closeWhenDone_ || worker_.DownloadsPending(nullptr) > 0) return;
  closeWhenDone_ = false;
  closeNow_ = true;
  Close(0);
}

int MainWindow::TrackerName(int tracker, WideString& name) {
  for (int i = 0, n = devices_.Count(); i < n; ++i) {
    int value = -1;
    if (devices_.Item(i, &name, &value) && value == tracker) return 1;
  }
  name.Assign(L"");
  return 0;
}

int MainWindow::TrackerCount() {
  int count = 0;
  for (int i = 0, n = devices_.Count(); i < n; ++i) {
    int value = -1;
    if (devices_.Item(i, nullptr, &value) && value >= 0) ++count;
  }
  return count;
}

int MainWindow::OnDestroy() {
  // A window that goes without Close (its owner destroyed it) still stops
  // the worker and keeps its settings.
  TearDown(true);
  return Dialog::OnDestroy();
}

void MainWindow::OnUpdateCheckBox(bool checked) {
  flagsSetting_ = hooks_.OnCheckBox(Window(), checked, flagsSetting_);
  // The box tells what came of the check once it has ended.
  if (checked) SetTimer(Window(), kUpdateTimer, 250, nullptr);
}

void MainWindow::FollowColourScheme() {
  ReloadColourScheme();
  ApplySchemeToFrame(Window());
  // Top-level windows alone hear of the change: the pages and their common
  // controls are told, so that lists take the new colours.
  for (std::unique_ptr<TabPage>& page : pages_) {
    if (!page || !page->Window()) continue;
    ApplySchemeToButtons(page->Window());
    SendMessageW(page->Window(), WM_SYSCOLORCHANGE, 0, 0);
  }
  SendMessageW(tabs_.Tab(), WM_SYSCOLORCHANGE, 0, 0);
  tabs_.FollowColourScheme();
  RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void MainWindow::FollowDpi(const RECT* suggested) {
  // Windows' dialog manager (Windows 10 1703 on) gives the window, the
  // pages and every control the dialog font at the new scale after this;
  // sizes and places are this window's own (the suggested rectangle, the
  // anchors), so it neither resizes nor moves anything.
  typedef decltype(SetDialogDpiChangeBehavior)* SetBehaviourFn;
  static const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  static const SetBehaviourFn setBehaviour =
      user32 ? reinterpret_cast<SetBehaviourFn>(
                   reinterpret_cast<void*>(GetProcAddress(user32, "SetDialogDpiChangeBehavior")))
             : nullptr;
  const DIALOG_DPI_CHANGE_BEHAVIORS ownLayout =
      static_cast<DIALOG_DPI_CHANGE_BEHAVIORS>(DDC_DISABLE_RESIZE | DDC_DISABLE_CONTROL_RELAYOUT);
  if (setBehaviour) {
    setBehaviour(Window(), ownLayout, ownLayout);
    for (std::unique_ptr<TabPage>& page : pages_) {
      if (page && page->Window()) setBehaviour(page->Window(), ownLayout, ownLayout);
    }
  }
  if (suggested) {
    SetWindowPos(Window(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (IconButton* button : {&searchButton_, &bluetoothButton_, &deviceManagerButton_, &exportButton_}) {
    button->FollowDpi();
  }
  devices_.FollowDpi();
  tabs_.FollowDpi();
  // Windows tells the child windows itself; where it does not (older
  // systems, Wine) the pages hear it from here (following twice is harmless).
  for (std::unique_ptr<TabPage>& page : pages_) {
    if (page && page->Window()) SendMessageW(page->Window(), WmDpiChangedAfterParent, 0, 0);
  }
  tabs_.OnSize();
  RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MainWindow::SaveMainPlacement() {
  if (!maximiseWhenShown_) {
    SavePlacement(nullptr, nullptr, L"Main", nullptr, 0, &settings_);
    return;
  }
  // Closed before it was first shown: still the maximised window it was
  // restored as, with the normal rectangle it was given.
  maximiseWhenShown_ = false;
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  if (!GetWindowPlacement(Window(), &placement)) return;
  PlacementValue value = {SW_SHOWMAXIMIZED, placement.rcNormalPosition};
  WideString text;
  if (FormatPlacementText(value, text)) settings_.WriteText(L"Main", text.CStr());
}

void MainWindow::TearDown(bool placementFirst) {
  if (tornDown_) return;
  tornDown_ = true;
  const bool shown = Window() && IsWindowVisible(Window());
  if (placementFirst && Window()) {
    SaveMainPlacement();
    ShowWindow(Window(), SW_HIDE);
  }
  if (setup_.instance && Window()) setup_.instance->UnmarkWindow(Window());
  hooks_.Shutdown();  // a check in flight ends now; its hook leaves the window
  int currentTab = tabs_.Current();
  if (view_) view_->SetDeviceInfoShower(nullptr);
  RemoveControl(&tabs_);
  tabs_.Close();
  // A Trends read under way ends before the store closes (its page has gone
  // with the tabs: what it posts is dropped).
  trends_.Stop();
  runs_.Stop();
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
  RemoveControl(&exportButton_);
  keys_.Stop();
  tips_.Destroy();
  devices_.Detach();
  searchButton_.Detach();
  bluetoothButton_.Detach();
  deviceManagerButton_.Detach();
  exportButton_.Detach();
  webLink_.Detach();
  names_.Clear();
  grip_.Detach();
  settings_.WriteNumber(L"Tab", currentTab >= 0 && currentTab < PageCount
                                    ? static_cast<DWORD>(PageTable[currentTab].stored) : 0);
  settings_.WriteNumber(L"Flags", flagsSetting_);
  // A settings file that could not be replaced during the run (a goal or
  // unit kept "for closing") gets its last chance here: a failure loses
  // those changes, and the user is told which.
  WideString file(settings_.FilePath());
  if (!settings_.Close()) {
    WideString text;
    text.Format(L"Pellton could not write its settings file %s. The settings changed since it was last written were "
                L"not saved: the step goal, the distance unit, the trackers' names, the window's place and the open "
                L"tab may be as they were before.",
                file.CStr());
    if (setup_.quitWhenIdle || !shown) {
      text.Append(L"\n");
      WriteStandardError(text.CStr());
    } else {
      MessageBoxW(nullptr, text.CStr(), L"Pellton", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    }
  }
  // The chart pages handed to the user's browser go with the program.
  HtmlView::RemoveSavedPages();
  EndComApartment();
}
