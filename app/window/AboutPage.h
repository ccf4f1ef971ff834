// The About page (dialog 107): the program's name in large Verdana, its
// version from the version resource in grey, and the check box of the
// automatic update check, which keeps to the page's bottom edge.
#pragma once

#include "app/window/TabPage.h"
#include "ui/StyledLabel.h"

class AboutPage : public TabPage {
public:
  explicit AboutPage(PageContext& context) : TabPage(context) {}

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnDestroy() override;
  // Nothing of it depends on the tracker.
  void Refresh(unsigned) override {}

  StyledLabel& TitleLabel() { return title_; }
  StyledLabel& VersionLabel() { return version_; }

private:
  StyledLabel title_;
  StyledLabel version_;
};
