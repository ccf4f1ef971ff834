// The question asked after a crash: a small modal dialog built from a
// template in memory that names the files about the failure, takes an
// optional description and e-mail address, and answers whether the user
// chose "Send Problem Report". The texts come from the program's version
// resource (product name, company, website); the file names are links that
// open the files, the website a link that opens the browser.
//
// The line about the files says what they hold: a description of the
// failure and of the computer, and a memory dump of the program, which may
// include the activity data it had loaded. A file that could not be written
// is not named, and the line says so.
#pragma once

#include <windows.h>

#include <vector>

#include "core/WideString.h"
#include "ui/Dialog.h"
#include "ui/StyledLabel.h"

enum ProblemReportIds {
  IDC_REPORT_SEND = 1000,
  IDC_REPORT_DONT_SEND = 1001,
  IDC_REPORT_ICON = 1003,
  IDC_REPORT_DESCRIPTION = 1004,
  IDC_REPORT_EMAIL = 1005,
  IDC_REPORT_HEADLINE = 1006,
  IDC_REPORT_FILES = 1008,
  IDC_REPORT_ASK = 1010,
  IDC_REPORT_DESCRIPTION_LABEL = 1011,
  IDC_REPORT_EMAIL_LABEL = 1012,
  IDC_REPORT_RULE = 1013,
};

// The dialog's template bytes (DLGTEMPLATE with the font "MS Sans Serif" 8).
std::vector<BYTE> ProblemReportTemplate();

class ProblemReportDialog : public Dialog {
public:
  // Either path may be empty: that file could not be written.
  ProblemReportDialog(int iconId, const wchar_t* dumpPath, const wchar_t* textPath);
  ~ProblemReportDialog() override;

  // 1 when the user chose "Send Problem Report".
  int Ask(HWND parent = nullptr);
  const WideString& Description() const { return description_; }
  const WideString& Email() const { return email_; }

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnDestroy() override;

private:
  // A SysLink control over the rectangle of the static id; none when the
  // class is missing.
  HWND CreateLink(int id, const wchar_t* text);
  void ReleaseControls();

  int iconId_;
  WideString dumpPath_;
  WideString textPath_;
  WideString title_;
  WideString company_;
  WideString website_;
  WideString description_;
  WideString email_;
  HWND askLink_ = nullptr;
  HWND filesLink_ = nullptr;
  StyledLabel headline_;
  StyledLabel descriptionLabel_;
  StyledLabel emailLabel_;
};
