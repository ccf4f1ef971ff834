// The Info page (dialog 104): the selected tracker's battery level, clock,
// firmware and hardware version, which the tracker worker writes into the
// page's controls, and the link that sets the tracker's date and time
// (which clears the history the tracker holds): a click or Enter on it
// first asks, naming the tracker and the runs this PC holds of it, with No
// as the default answer.
#pragma once

#include "ui/Dialog.h"
#include "ui/LinkLabel.h"
#include "ui/ProgressBar.h"

class MainWindow;

class InfoPage : public Dialog {
public:
  static const wchar_t SetTimeText[];  // "Set Date && Time to clear history in the device"

  explicit InfoPage(MainWindow& main) : main_(main) {}

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnDestroy() override;

  // Empties the battery bar and the three texts (no tracker selected).
  void Clear();

  ProgressBar& Battery() { return battery_; }
  LinkLabel& SetTimeLink() { return setTime_; }

private:
  // 1 when the user agrees to set the tracker's clock.
  int ConfirmSetTime(int tracker);

  MainWindow& main_;
  ProgressBar battery_;
  LinkLabel setTime_;
};
