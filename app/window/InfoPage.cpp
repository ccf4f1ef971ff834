#include "app/window/InfoPage.h"

#include <vector>

#include "app/window/MainWindow.h"
#include "app/tracker/TrackerUpdate.h"
#include "resources/ResourceIds.h"

const wchar_t InfoPage::SetTimeText[] = L"Set Date && Time to clear history in the device";

int InfoPage::OnInitDialog() {
  // The battery level is no progress of the program's: it stays off the
  // taskbar button.
  battery_.Attach(Item(IDC_INFO_BATTERY), ProgressBarNoTaskbar);
  battery_.SetRange(0, 100, 10);
  Clear();
  setTime_.Attach(Item(IDC_INFO_SET_TIME), SetTimeText, nullptr, IDC_LINK_CURSOR,
                  LinkLabelOwnFont | LinkLabelSendCommand);
  main_.PostUpdate(UpdateDeviceInfo);
  return 1;
}

int InfoPage::OnCommand(int id, WPARAM wParam, LPARAM lParam) {
  if (id == IDC_INFO_SET_TIME) {
    int tracker = -1;
    WideString asked, selected;
    if (main_.SelectedTracker(&tracker) && tracker >= 0 && main_.Worker().GetTrackerAddress(tracker, asked) &&
        ConfirmSetTime(tracker)) {
      // While the question was shown a search may have ended (the trackers
      // renumbered) or another tracker been chosen: only the clock of the
      // tracker asked about is set.
      tracker = -1;
      if (main_.SelectedTracker(&tracker) && tracker >= 0 && main_.Worker().GetTrackerAddress(tracker, selected) &&
          selected == asked.CStr()) {
        main_.Worker().QueueSetTime(tracker);
      }
    }
    return 1;
  }
  return Dialog::OnCommand(id, wParam, lParam);
}

void InfoPage::Clear() {
  SetItemText(IDC_INFO_TIME, L"");
  SetItemText(IDC_INFO_FIRMWARE, L"");
  SetItemText(IDC_INFO_HARDWARE, L"");
  battery_.SetPosition(0);
}

int InfoPage::ConfirmSetTime(int tracker) {
  WideString name, held, text;
  main_.TrackerName(tracker, name);
  std::vector<StoredRun> walks, nights;
  if (main_.Store().ListRuns(tracker, WalkingTable, walks) && main_.Store().ListRuns(tracker, SleepingTable, nights)) {
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
              name.CStr(), held.CStr());
  return MessageBoxW(main_.Window(), text.CStr(), L"Pellton", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

int InfoPage::OnDestroy() {
  battery_.Detach();
  setTime_.Detach();
  return Dialog::OnDestroy();
}
