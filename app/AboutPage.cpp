#include "app/AboutPage.h"

#include "app/MainWindow.h"
#include "resources/ResourceIds.h"
#include "ui/ModuleVersion.h"

int AboutPage::OnInitDialog() {
  title_.Attach(Item(IDC_ABOUT_TITLE), L"Verdana", 100, 0, 0,
                StyledLabelFit | StyledLabelDeviceTextColour, 0, nullptr, nullptr);
  title_.SetText(MainWindow::Title);

  ModuleVersion fileVersion;
  FileVersion(nullptr, &fileVersion);
  WideString text;
  text.Format(L"Version %s", fileVersion.text.CStr());
  version_.Attach(Item(IDC_ABOUT_VERSION), nullptr, 0, 0x808080, 0x808080, StyledLabelOwnFont, 0,
                  nullptr, nullptr);
  version_.SetText(text.CStr());

  AddAnchorItem(IDC_ABOUT_UPDATE_CHECK, AnchorBottom);
  // UPDATE CHECK SETTING: the text, state and click behaviour of the
  // automatic update check box (IDC_ABOUT_UPDATE_CHECK) arrive with the
  // update client; until then the box shows its template text and does
  // nothing when clicked.
  return 1;
}

int AboutPage::OnCommand(int, WPARAM, LPARAM) {
  // Escape and the like belong to the main window, never to a page.
  return 0;
}

int AboutPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    ApplyAnchors(wParam, lParam);
    return 0;
  }
  return Dialog::OnMessage(message, wParam, lParam);
}

int AboutPage::OnDestroy() {
  title_.Detach();
  version_.Detach();
  return Dialog::OnDestroy();
}
