// The Info page (dialog 104): the selected tracker's battery level, clock,
// firmware and hardware version as the worker reads them (ShowDeviceInfo),
// and the link that sets the tracker's date and time (which clears the
// history the tracker holds): a click or Enter on it first asks, naming the
// tracker and the runs this PC holds of it, with No as the default answer.
#pragma once

#include "app/window/TabPage.h"
#include "ui/LinkLabel.h"
#include "ui/ProgressBar.h"

class InfoPage : public TabPage {
public:
  static const wchar_t SetTimeText[];  // "Set Date && Time to clear history in the device"

  explicit InfoPage(PageContext& context) : TabPage(context) {}

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnDestroy() override;

  // UpdateDeviceInfo: asks the worker for the selected tracker's device
  // information, or empties the fields at once for no tracker.
  void Refresh(unsigned flags) override;
  // The battery bar and the three texts; a field not known is empty, and
  // so is a clock that is no valid time. The clock is shown in local time.
  void ShowDeviceInfo(const DeviceInfo& info) override;

  ProgressBar& Battery() { return battery_; }
  LinkLabel& SetTimeLink() { return setTime_; }

private:
  // 1 when the user agrees to set the tracker's clock.
  int ConfirmSetTime(const SelectedTracker& tracker);

  ProgressBar battery_;
  LinkLabel setTime_;
};
