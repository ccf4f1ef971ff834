// The program's one window (dialog 102): the device list with its four
// icon buttons (search, Bluetooth settings, Device Manager, export and
// backup), the status line, the tab control with the Info, Walking,
// Sleeping, Trends and About pages, the maker's web link and Close. It owns the
// activity store and the tracker worker, keeps its placement and the
// selected tab in the settings key, and refills its pages when the worker
// posts WM_TRACKER_UPDATE.
//
// The tabs are the rows of the page table (app/window/PageTable): pages are
// made the first time their tab is shown and kept, hidden, when another tab
// is selected; a page that does not exist yet is not refreshed (making it
// does that). Pages reach the window only as their PageContext. Everything
// here runs on the window thread; the worker's facts reach the controls
// through the window's tracker view (WindowTrackerView).
//
// With quitWhenIdle the window closes itself normally (settings written)
// once the first search and every history download it queued have finished
// and the worker has run everything queued up to then; its result is 0 when
// every tracker found was downloaded and stored, QuitSomethingFailed (what
// failed is said on standard error) or QuitNoTracker otherwise; with
// a picture folder it first saves a picture of each tab and the two chart
// pages there. The worker runs its operations in the order queued, and a
// download for no tracker does nothing but post the walking and sleeping
// flags: one queued after the downloads tells when the worker is idle.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/worker/TrackerWorker.h"
#include "app/window/PageContext.h"
#include "app/window/TabPage.h"
#include "app/window/RunLister.h"
#include "app/window/TrendsBuilder.h"
#include "app/window/UpdateHooks.h"
#include "app/window/WindowMarker.h"
#include "app/window/WindowTrackerView.h"
#include "app/window/DataDialog.h"
#include "ble/GattBackend.h"
#include "ui/AccessibleName.h"
#include "ui/Dialog.h"
#include "ui/DialogKeyFilter.h"
#include "ui/IconButton.h"
#include "ui/ImageCombo.h"
#include "ui/LinkLabel.h"
#include "core/SettingsStore.h"
#include "ui/SizeGrip.h"
#include "ui/TabHost.h"
#include "ui/ToolTips.h"

class InfoPage;
class WalkingPage;
class SleepingPage;
class AboutPage;
class TrendsTabPage;

// What a run of the window works with.
struct MainWindowSetup {
  HKEY settingsRoot = HKEY_CURRENT_USER;
  WideString settingsKey;           // empty: Software\Vantrel\Pellton
  WideString databaseFolder;        // empty: the program's folder
  WideString databasePath;          // the database file itself; empty: Pellton.sql in databaseFolder
  GattBackend* devices = nullptr;   // where the search looks (not owned); none: the platform's Bluetooth LE stack
  TrackerWorkerTimings timings;     // the worker's waits
  bool simulated = false;           // the title says so
  bool quitWhenIdle = false;
  bool watchIdle = false;           // note when the worker is idle (quitWhenIdle implies it)
  WideString pictureFolder;         // non-empty: pictures of the tabs once idle (implies quitWhenIdle)
  WindowMarker* instance = nullptr;    // marks the window for a second start (not owned)
  WideString updateUrl;             // empty: the update service the program was built with
  int today = 0;                    // the Trends tab's today (date key YYYYMMDD); 0: the PC's date
  // How the export dialog asks for files and folders; none: the standard dialogs.
  int (*choosePath)(HWND owner, DataPathKind kind, WideString& path) = nullptr;
};

class MainWindow : public Dialog, private PageContext {
public:
  static const wchar_t HomePage[];       // opened by the web link
  static const wchar_t DefaultSettingsKey[];  // "Software\\Vantrel\\Pellton" under HKEY_CURRENT_USER
  static const UINT WM_IDLE_REACHED = WM_APP + 2;
  // Tells the user what was wrong with the activity database at start.
  static const UINT WM_STORE_NOTICE = WM_APP + 3;
  // The result of a run with quitWhenIdle that did not download and store
  // every tracker found: something failed, or no tracker was found.
  static constexpr int QuitSomethingFailed = 1;
  static constexpr int QuitNoTracker = 5;
  // Shows the window maximised (a restored maximised state, in place of
  // the first show).
  static const UINT WM_MAXIMISE = WM_APP + 4;

  explicit MainWindow(const MainWindowSetup& setup);
  ~MainWindow() override;

  // Dialog
  int OnInitDialog() override;
  int CanClose(INT_PTR result) override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnDestroy() override;

  // Refreshes the pages that exist with the update flags each one's row
  // names, in the rows' order, for the device list's current tracker;
  // stored: the lParam of a download's post (StoredRunsParam), else 0.
  void OnTrackerUpdate(unsigned flags, LPARAM stored = 0);

  // 1 with the current item's value (the tracker index, or -1 for the
  // searching and not-found items) when the device list has a current item.
  int CurrentTracker(int* index);
  ActivityStore& Store() { return store_; }
  TrackerWorker& Worker() { return worker_; }

  // What the window shows, for checks.
  ImageCombo& Devices() { return devices_; }
  TabHost& Tabs() { return tabs_; }
  // The page of the tab at the index once made (none before).
  TabPage* Page(int index);
  InfoPage* Info();
  WalkingPage* Walking();
  SleepingPage* Sleeping();
  AboutPage* About();
  TrendsTabPage* Trends();
  IconButton& SearchButton() { return searchButton_; }
  // The tooltips of the window's icon buttons.
  const ToolTips& Tips() const { return tips_; }
  // The names screen readers read for the window's and its pages' controls.
  const AccessibleNames& Names() const { return names_; }
  // The tab indices whose pages have been made, in the order made.
  const std::vector<int>& PagesMade() const { return pagesMade_; }
  DWORD FlagsSetting() const { return flagsSetting_; }
  UpdateHooks& Hooks() { return hooks_; }
  // The first search has ended and every download it queued has been
  // stored and shown.
  bool DownloadsDone() const { return searchDone_ && downloadsShown_ >= downloadsQueued_; }
  // With watchIdle: the downloads are done and the worker has also run
  // everything queued up to then (the device information included), and
  // the date lists read since are shown.
  bool Idle() const { return markerQueued_ && downloadsShown_ >= markerShownAt_ && !runs_.Outstanding(); }

private:
  // PageContext
  int Selected(SelectedTracker& tracker) override;
  int LiveTotals(int tracker, unsigned& steps, unsigned& calories, unsigned& metres, bool& arrived) override;
  int ListRuns(const wchar_t* address, int table, std::vector<StoredRun>& runs) override;
  int ListNewestRuns(const wchar_t* address, int table, unsigned limit, std::vector<StoredRun>& runs,
                     bool& complete) override;
  int RequestRuns(const wchar_t* address, int table, HWND window, UINT message, unsigned ticket) override;
  int ReleaseRuns(int table) override;
  int TakeRuns(int table, unsigned ticket, std::vector<StoredRun>& runs) override;
  void DropRuns(int table) override;
  int BuildChart(int table, const wchar_t* address, unsigned start, WideString& page) override;
  int BuildNativeChart(int table, const wchar_t* address, unsigned start, NativeChartData& chart) override;
  int RunPattern(int table, const wchar_t* address, unsigned start, ByteBuffer& pattern) override;
  int WalkingRun(const wchar_t* address, unsigned start, WalkingRunFigures& figures) override;
  int NightOfRun(const wchar_t* address, unsigned start, NightRecord& night, WideString& problem) override;
  int RequestTrends(const TrendRequest& request, HWND window, UINT message, unsigned ticket) override;
  int TakeTrends(unsigned ticket, int& read, TrendFigures& figures, WideString& problem) override;
  int Today() override;
  SettingsStore& Settings() override { return settings_; }
  int QueueDeviceInfo(const SelectedTracker& tracker, bool beforeOthers) override;
  int QueueSetTime(const SelectedTracker& tracker) override;
  int QueueLiveTotals(const SelectedTracker& tracker, bool on) override;
  void PostUpdate(unsigned flags) override;
  void InitUpdateCheckBox(HWND page, int id) override;
  // The About page's "Automatically check for updates" box was clicked.
  void OnUpdateCheckBox(bool checked) override;

  static HWND PageCallbackThunk(int action, int index, HWND tab, LPARAM data, void* user);
  HWND OnPage(int action, int index);
  // Whether the selected tab's row wants live totals.
  bool LiveTotalsTab();
  void ShowDeviceInfo(const DeviceInfo& info);
  // The device list's text of the tracker (1), or "" (0).
  int TrackerName(int tracker, WideString& name);
  // Trackers in the device list.
  int TrackerCount();
  void CountIdleProgress(unsigned flags);
  void FollowLiveTotals();
  void OnIdleReached();
  int QuitResult();
  void OpenDataDialog();
  void BackUpIfDue();
  void ShowStoreNotice();
  void SavePictures();
  // Windows' colours changed (dark mode, High Contrast, system colours).
  void FollowColourScheme();
  // The window moved to a display of another scale (WM_DPICHANGED): it
  // takes the suggested rectangle, and the icons, lists and pages follow.
  void FollowDpi(const RECT* suggested);
  void PumpUntilLiveTotals(unsigned seenBefore);
  // Runs the window's messages while waiting() holds, at most limitMs.
  void PumpWhile(const std::function<bool()>& waiting, DWORD limitMs = 30000);
  void TearDown(bool placementFirst);
  // The placement text "Main", the maximised state of a window never shown included.
  void SaveMainPlacement();
  void QueueInfoAfterSearch();
  void RestoreFocus();
  // Keys for the whole window: Ctrl+Tab and Ctrl+Shift+Tab between the
  // tabs, Alt and a tab's underlined letter, Ctrl+Left and Ctrl+Right
  // between the runs of a date page. True when the key was used.
  bool OnKey(const MSG& message);
  void SelectTab(int index);
  // Tab and Shift+Tab; true when the focus was moved.
  bool MoveFocus(bool back);
  // Asks for the selected tracker's name and keeps it in the settings
  // ("Names", by address); the device list shows it with the address.
  void RenameTracker();
  // The device list's texts: the names the user gave, else the trackers'
  // own (kept from the search's end in ownNames_).
  void ApplyTrackerNames(bool searchEnded);
  // Starts one of the system's tools (what: as the status line names it)
  // once the file it needs is in the system folder (a control panel: with
  // its entry); the status line says what happened, and why not.
  void OpenSystemTool(const wchar_t* what, const wchar_t* file, const wchar_t* parameters, const wchar_t* needed,
                      const char* panelEntry);
  // Closing while downloads are queued or running: IDYES close once they
  // are done, IDNO close now, IDCANCEL stay open.
  int AskBeforeClosing(int pending, int running);
  void CloseIfDownloadsDone();

  MainWindowSetup setup_;
  SettingsStore settings_;
  DWORD flagsSetting_ = 0;
  ImageCombo devices_;
  SizeGrip grip_;
  IconButton searchButton_;
  IconButton bluetoothButton_;
  IconButton deviceManagerButton_;
  IconButton exportButton_;
  std::vector<WideString> ownNames_;  // the device list's texts as the search gave them
  ToolTips tips_;  // the icon buttons'
  DialogKeyFilter keys_;
  ActivityStore store_;
  TrackerWorker worker_;
  TrendsBuilder trends_;  // the Trends figures off the window thread
  RunLister runs_;        // the date lists off the window thread
  std::unique_ptr<WindowTrackerView> view_;
  std::unique_ptr<GattBackend> platform_;  // when no devices were given
  TabHost tabs_;
  LinkLabel webLink_;
  AccessibleNames names_;
  UpdateHooks hooks_;
  std::vector<std::unique_ptr<TabPage>> pages_;  // one per row of the page table, once made

  std::vector<int> pagesMade_;
  SelectedTracker liveTracker_;  // the tracker whose live totals were last switched on (index -1: none)
  unsigned liveUpdates_ = 0;  // live totals posted by the trackers so far
  bool tornDown_ = true;
  bool searchDone_ = false;
  int downloadsQueued_ = 0;
  int downloadsShown_ = 0;
  bool markerQueued_ = false;
  int markerShownAt_ = 0;
  bool idlePosted_ = false;
  int infoAfterSearch_ = 0;         // searches queued with the device information behind them
  bool closeWhenDone_ = false;      // the user chose to close once the downloads are stored
  bool closeNow_ = false;           // closing without asking
  bool maximiseWhenShown_ = false;  // the restored placement was maximised
  bool maximisePosted_ = false;     // its WM_MAXIMISE is on its way
  HWND focusBefore_ = nullptr;      // the focus when the window was last deactivated
  static const UINT_PTR kCloseTimer = 1;
  static const UINT_PTR kUpdateTimer = 2;
};
