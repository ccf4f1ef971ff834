// The About page (dialog 107): the program's name in large Verdana, its
// version from the version resource in grey, and the check box of the
// automatic update check, which keeps to the page's bottom edge.
#pragma once

#include "ui/Dialog.h"
#include "ui/StyledLabel.h"

class MainWindow;

class AboutPage : public Dialog {
public:
  explicit AboutPage(MainWindow& main) : main_(main) {}

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnDestroy() override;

  StyledLabel& TitleLabel() { return title_; }
  StyledLabel& VersionLabel() { return version_; }

private:
  MainWindow& main_;
  StyledLabel title_;
  StyledLabel version_;
};
