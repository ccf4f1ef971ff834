// A stand-in for the main window as a page sees it (PageContext): the
// selected tracker and the runs are the test's, a chart is a short text
// naming its run, and everything a page asks for is written down in order.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/window/PageContext.h"
#include "core/SettingsStore.h"

class StandInContext : public PageContext {
public:
  bool hasSelection = true;
  SelectedTracker selected;
  std::map<std::wstring, std::vector<StoredRun>> runs;  // by "address table"
  std::vector<std::wstring> asked;

  int Selected(SelectedTracker& tracker) override {
    tracker = selected;
    return hasSelection;
  }
  int LiveTotals(int tracker, unsigned& steps, unsigned& calories, unsigned& metres, bool& arrived) override {
    steps = 1234, calories = 56, metres = 780, arrived = true;
    return Note(L"totals " + std::to_wstring(tracker), tracker >= 0);
  }
  int ListRuns(const wchar_t* address, int table, std::vector<StoredRun>& out) override {
    const std::wstring key = std::wstring(address) + L" " + std::to_wstring(table);
    out = runs[key];
    return Note(L"runs " + key, 1);
  }
  int BuildChart(int table, const wchar_t* address, unsigned start, WideString& page) override {
    const std::wstring what = std::to_wstring(table) + L" " + address + L" " + std::to_wstring(start);
    page.Assign((L"chart " + what).c_str());
    return Note(L"chart " + what, 1);
  }
  int RunPattern(int, const wchar_t*, unsigned, ByteBuffer&) override { return 0; }
  int WalkingRun(const wchar_t* address, unsigned start, WalkingRunFigures& figures) override {
    figures.steps = 12345, figures.metres = 6789, figures.calories = 321, figures.minutes = 75;
    return Note(L"walk " + std::wstring(address) + L" " + std::to_wstring(start), 1);
  }
  int NightOfRun(const wchar_t* address, unsigned start, NightRecord&, WideString&) override {
    return Note(L"night " + std::wstring(address) + L" " + std::to_wstring(start), 0);
  }
  // Answered at once with no figures.
  int RequestTrends(const TrendRequest&, HWND window, UINT message, unsigned ticket) override {
    PostMessageW(window, message, ticket, 0);
    return Note(L"trends", 1);
  }
  int TakeTrends(unsigned, int& read, TrendFigures&, WideString& problem) override {
    read = 0;
    problem.Assign(L"no figures here");
    return 1;
  }
  int today = 20140404;
  int Today() override { return today; }
  SettingsStore& Settings() override { return settings; }
  SettingsStore settings;  // never opened: every read gives the default

  int QueueDeviceInfo(const SelectedTracker& tracker, bool beforeOthers) override {
    return Note(L"device info " + std::to_wstring(tracker.index) + (beforeOthers ? L" first" : L""), 1);
  }
  int QueueSetTime(const SelectedTracker& tracker) override {
    return Note(L"set time " + std::to_wstring(tracker.index), 1);
  }
  int QueueLiveTotals(const SelectedTracker& tracker, bool on) override {
    return Note(L"live totals " + std::to_wstring(tracker.index) + (on ? L" on" : L" off"), 1);
  }
  void PostUpdate(unsigned flags) override { Note(L"update " + std::to_wstring(flags), 1); }
  void InitUpdateCheckBox(HWND, int) override { Note(L"update check box", 1); }
  void OnUpdateCheckBox(bool checked) override { Note(checked ? L"box ticked" : L"box cleared", 1); }

  // What was asked for since the last call.
  std::vector<std::wstring> Take() { return std::exchange(asked, {}); }

private:
  int Note(const std::wstring& what, int answer) { return asked.push_back(what), answer; }
};
