#include "app/window/UpdateHooks.h"

#include "core/DateTime.h"
#include "resources/ResourceIds.h"
#include "support/CrashReporter.h"
#include "support/ReportService.h"
#include "support/UpdateService.h"

namespace {

const wchar_t kReportPath[] = L"/services/tindle/report.php";
const wchar_t kLastCheckName[] = L"LastCheck";
const wchar_t kProductType[] = L"1";

}  // namespace

void ConfigureProblemReporter(const wchar_t* reportHost) {
  CrashReporter* reporter = CrashReporter::Instance();
  if (!reporter) return;
  reporter->ConfigureReport(IDI_APPLICATION_ICON, reportHost ? reportHost : ReportServiceHost(),
                            kReportPath);
}

void UpdateHooks::SetServiceUrl(const wchar_t* url) { url_.Assign(url ? url : L""); }

int UpdateHooks::StartAutomaticCheck(HWND window, DWORD flags, HKEY root, const wchar_t* keyPath) {
  if (flags & NoAutomaticUpdateCheck) return 0;
  client_.Setup(url_.IsEmpty() ? UpdateServiceUrl() : url_.CStr(), window, root, keyPath,
                kLastCheckName, 0, nullptr, kProductType);
  return 1;
}

DWORD UpdateHooks::OnCheckBox(HWND window, bool checked, DWORD flags) {
  if (!checked) return flags | NoAutomaticUpdateCheck;
  // At once and without the weekly bookkeeping.
  client_.Setup(url_.IsEmpty() ? UpdateServiceUrl() : url_.CStr(), window, nullptr, nullptr,
                nullptr, 0, nullptr, kProductType);
  boxCheckRunning_ = true;
  if (page_) SetDlgItemTextW(page_, boxId_, L"Automatically check for updates [checking now...]");
  return flags & ~NoAutomaticUpdateCheck;
}

namespace {

// The box's text after a check it started has ended now.
void CheckedText(UpdateCheckOutcome outcome, const SYSTEMTIME& localNow, WideString& out) {
  const wchar_t* what = L"the check could not be started";
  switch (outcome) {
    case UpdateCheckNoAnswer:
      what = L"no answer from the update service";
      break;
    case UpdateCheckUpToDate:
      what = L"this is the latest version";
      break;
    case UpdateCheckDeclined:
      what = L"a newer version was not installed";
      break;
    case UpdateCheckFailed:
      what = L"the newer version could not be installed";
      break;
    case UpdateCheckInstalled:
      what = L"the newer version starts next time";
      break;
    case UpdateCheckRestarting:
      what = L"the newer version is starting";
      break;
    case UpdateCheckNotRun:
      break;
  }
  WideString date, time;
  FormatDate(date, DATE_SHORTDATE, &localNow, 0);
  FormatTime(time, TIME_NOSECONDS, &localNow, 0);
  out.Format(L"Automatically check for updates [%s: %s %s, %s]", L"Last Check", date.CStr(), time.CStr(), what);
}

}  // namespace

int UpdateHooks::PollCheck() {
  if (!boxCheckRunning_) return 0;
  if (client_.CheckRunning()) return 1;
  boxCheckRunning_ = false;
  SYSTEMTIME local;
  GetLocalTime(&local);
  WideString text;
  CheckedText(client_.LastOutcome(), local, text);
  if (page_ && IsWindow(page_)) SetDlgItemTextW(page_, boxId_, text.CStr());
  return 0;
}


void UpdateHooks::CheckBoxText(WideString& out) {
  WideString last;
  client_.LastCheckText(last);
  out.Assign(L"Automatically check for updates");
  if (!last.IsEmpty()) {
    WideString suffix;
    suffix.Format(L" [%s: %s]", L"Last Check", last.CStr());
    out.Append(suffix);
  }
}

void UpdateHooks::InitCheckBox(HWND page, int id, DWORD flags) {
  page_ = page;
  boxId_ = id;
  WideString text;
  CheckBoxText(text);
  SetDlgItemTextW(page, id, text.CStr());
  CheckDlgButton(page, id, (flags & NoAutomaticUpdateCheck) ? BST_UNCHECKED : BST_CHECKED);
}
