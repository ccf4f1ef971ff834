#include "app/window/SleepingPage.h"

#include "app/tracker/TrackerUpdate.h"
#include "core/DateTime.h"
#include "core/LocaleNumbers.h"
#include "resources/ResourceIds.h"

SleepingPage::SleepingPage(PageContext& context) : ChartPage(context, SleepingTable, SLEEPING_CHART_TOP) {}

void SleepingPage::OnCreated() { context_.PostUpdate(UpdateSleeping); }

void SleepingPage::OnDateChanged() {
  ShowChart();
  ShowNight();
}

void SleepingPage::Refresh(unsigned flags) {
  if (!(flags & UpdateSleeping)) return;
  FillDates();
  ShowChart();
  ShowNight();
}

namespace {

int TimeText(const LocalMinute& minute, WideString& out) {
  SYSTEMTIME time = {};
  time.wYear = static_cast<WORD>(minute.year);
  time.wMonth = static_cast<WORD>(minute.month);
  time.wDay = static_cast<WORD>(minute.day);
  time.wHour = static_cast<WORD>(minute.hour);
  time.wMinute = static_cast<WORD>(minute.minute);
  return FormatTime(out, TIME_NOSECONDS, &time, 0);
}

}  // namespace

void SleepingPage::ShowNight() {
  const int ids[] = {IDC_SLEEPING_BEDTIME, IDC_SLEEPING_WAKE, IDC_SLEEPING_ASLEEP, IDC_SLEEPING_AWAKE};
  for (int id : ids) SetItemText(id, L"");
  SetItemText(IDC_SLEEPING_NIGHT_PROBLEM, L"");
  SelectedTracker tracker;
  int start = 0;
  NightRecord night;
  WideString problem, text;
  if (!context_.Selected(tracker) || tracker.address.IsEmpty() || !Dates().Selection(nullptr, nullptr, &start)) {
    return;
  }
  if (!context_.NightOfRun(tracker.address.CStr(), static_cast<unsigned>(start), night, problem)) {
    // A run without an asleep minute has no night; a read that failed says
    // why, on a line of its own as wide as the four figures.
    if (!problem.IsEmpty() && text.Format(L"The night could not be read: %s", problem.CStr())) {
      SetItemText(IDC_SLEEPING_NIGHT_PROBLEM, text.CStr());
    }
    return;
  }
  if (TimeText(night.bedtime, text)) SetItemText(IDC_SLEEPING_BEDTIME, text.CStr());
  if (TimeText(night.wake, text)) SetItemText(IDC_SLEEPING_WAKE, text.CStr());
  if (LocaleNumbers::Duration(night.asleepMinutes, text)) SetItemText(IDC_SLEEPING_ASLEEP, text.CStr());
  if (LocaleNumbers::Duration(night.awakeMinutes, text)) SetItemText(IDC_SLEEPING_AWAKE, text.CStr());
}
