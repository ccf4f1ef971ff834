#include "app/window/AboutPage.h"

#include "app/window/ProgramTitle.h"
#include "resources/ResourceIds.h"
#include "core/ModuleVersion.h"

int AboutPage::OnInitDialog() {
  title_.Attach(Item(IDC_ABOUT_TITLE), L"Verdana", 100, 0, 0,
                StyledLabelFit | StyledLabelDeviceTextColour, 0, nullptr, nullptr);
  title_.SetText(ProgramTitle);

  ModuleVersion fileVersion;
  FileVersion(nullptr, &fileVersion);
  WideString text;
  text.Format(L"Version %s", fileVersion.text.CStr());
  version_.Attach(Item(IDC_ABOUT_VERSION), nullptr, 0, 0x808080, 0x808080, StyledLabelOwnFont, 0,
                  nullptr, nullptr);
  version_.SetText(text.CStr());

  AddAnchorItem(IDC_ABOUT_UPDATE_CHECK, AnchorBottom);
  context_.InitUpdateCheckBox(Window(), IDC_ABOUT_UPDATE_CHECK);
  return 1;
}

int AboutPage::OnCommand(int id, WPARAM wParam, LPARAM) {
  if (id == IDC_ABOUT_UPDATE_CHECK && HIWORD(wParam) == BN_CLICKED) {
    context_.OnUpdateCheckBox(IsButtonChecked(IDC_ABOUT_UPDATE_CHECK));
    return 1;
  }
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
