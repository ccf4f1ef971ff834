#include "app/window/InfoPage.h"

#include "app/window/MainWindow.h"
#include "app/tracker/TrackerUpdate.h"
#include "resources/ResourceIds.h"

const wchar_t InfoPage::SetTimeText[] = L"Set Date && Time to clear history in the device";

int InfoPage::OnInitDialog() {
  SetItemText(IDC_INFO_TIME, L"");
  SetItemText(IDC_INFO_FIRMWARE, L"");
  SetItemText(IDC_INFO_HARDWARE, L"");
  // The battery level is no progress of the program's: it stays off the
  // taskbar button.
  battery_.Attach(Item(IDC_INFO_BATTERY), ProgressBarNoTaskbar);
  battery_.SetRange(0, 100, 10);
  battery_.SetPosition(0);
  setTime_.Attach(Item(IDC_INFO_SET_TIME), SetTimeText, nullptr, IDC_LINK_CURSOR,
                  LinkLabelOwnFont | LinkLabelSendCommand);
  main_.PostUpdate(UpdateDeviceInfo);
  return 1;
}

int InfoPage::OnCommand(int id, WPARAM wParam, LPARAM lParam) {
  if (id == IDC_INFO_SET_TIME) {
    int tracker = -1;
    if (main_.SelectedTracker(&tracker)) main_.Worker().QueueSetTime(tracker);
    return 1;
  }
  return Dialog::OnCommand(id, wParam, lParam);
}

int InfoPage::OnDestroy() {
  battery_.Detach();
  setTime_.Detach();
  return Dialog::OnDestroy();
}
