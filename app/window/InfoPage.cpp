#include "app/window/InfoPage.h"

#include <vector>

#include "app/tracker/TrackerUpdate.h"
#include "core/DateTime.h"
#include "resources/ResourceIds.h"

const wchar_t InfoPage::SetTimeText[] = L"Set Date && Time to clear history in the device";

int InfoPage::OnInitDialog() {
  // The battery level is no progress of the program's: it stays off the
  // taskbar button.
  battery_.Attach(Item(IDC_INFO_BATTERY), ProgressBarNoTaskbar);
  battery_.SetRange(0, 100, 10);
  ShowDeviceInfo(DeviceInfo());
  setTime_.Attach(Item(IDC_INFO_SET_TIME), SetTimeText, nullptr, IDC_LINK_CURSOR,
                  LinkLabelOwnFont | LinkLabelSendCommand);
  context_.PostUpdate(UpdateDeviceInfo);
  return 1;
}

int InfoPage::OnCommand(int id, WPARAM wParam, LPARAM lParam) {
  if (id == IDC_INFO_SET_TIME) {
    SelectedTracker asked, selected;
    if (context_.Selected(asked) && asked.index >= 0 && !asked.address.IsEmpty() && ConfirmSetTime(asked)) {
      // While the question was shown a search may have ended (the trackers
      // renumbered) or another tracker been chosen: only the clock of the
      // tracker asked about is set.
      if (context_.Selected(selected) && selected.index >= 0 && selected.address == asked.address.CStr()) {
        context_.QueueSetTime(selected);
      }
    }
    return 1;
  }
  return Dialog::OnCommand(id, wParam, lParam);
}

void InfoPage::Refresh(unsigned flags) {
  if (!(flags & UpdateDeviceInfo)) return;
  SelectedTracker tracker;
  context_.Selected(tracker);
  // No tracker (searching, or none found): its fields are cleared here at
  // once, not after whatever the worker still has to do.
  if (tracker.index < 0) {
    ShowDeviceInfo(DeviceInfo());
  } else {
    context_.QueueDeviceInfo(tracker, (flags & UpdateTrackerPicked) != 0);
  }
}

void InfoPage::ShowDeviceInfo(const DeviceInfo& info) {
  battery_.SetPosition(info.battery);
  // The level as text beside its bar, as the locale writes a percentage.
  WideString time, date, clock, hardware, level;
  if (info.battery > 0) {
    DWORD pattern = 1;  // "64%"
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IPOSITIVEPERCENT | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<wchar_t*>(&pattern), sizeof(pattern) / sizeof(wchar_t));
    const wchar_t* formats[] = {L"%d %%", L"%d%%", L"%%%d", L"%% %d"};
    level.Format(formats[pattern < 4 ? pattern : 1], info.battery);
  }
  SetItemText(IDC_INFO_BATTERY_TEXT, level.CStr());
  SYSTEMTIME local;
  if (info.clockKnown && CopyTime(local, &info.clock, 1) && FormatDate(date, DATE_SHORTDATE, &local, 0) &&
      FormatTime(clock, 0, &local, 0)) {
    time.Format(L"%s %s", date.CStr(), clock.CStr());
  }
  if (info.hardwareKnown) hardware.Format(L"%u.%u", info.hardwareMajor, info.hardwareMinor);
  SetItemText(IDC_INFO_TIME, time.CStr());
  SetItemText(IDC_INFO_FIRMWARE, info.firmware.CStr());
  SetItemText(IDC_INFO_HARDWARE, hardware.CStr());
}

int InfoPage::ConfirmSetTime(const SelectedTracker& tracker) {
  WideString held, text;
  std::vector<StoredRun> walks, nights;
  if (context_.ListRuns(tracker.address.CStr(), WalkingTable, walks) &&
      context_.ListRuns(tracker.address.CStr(), SleepingTable, nights)) {
    held.Format(L"This PC holds %u walking run%s and %u sleeping run%s of this tracker now.",
                static_cast<unsigned>(walks.size()), walks.size() == 1 ? L"" : L"s",
                static_cast<unsigned>(nights.size()), nights.size() == 1 ? L"" : L"s");
  } else {
    held.Assign(L"The runs this PC holds of this tracker could not be counted.");
  }
  text.Format(L"Set the date and time of %s to this PC's time?\n\n"
              L"Setting its clock clears the activity history the tracker holds. Pellton first "
              L"downloads that history and stores it on this PC, and leaves the clock alone when "
              L"it cannot store all of it.\n\n%s",
              tracker.name.CStr(), held.CStr());
  return MessageBoxW(GetAncestor(Window(), GA_ROOT), text.CStr(), L"Pellton",
                     MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

int InfoPage::OnDestroy() {
  battery_.Detach();
  setTime_.Detach();
  return Dialog::OnDestroy();
}
