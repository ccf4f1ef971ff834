#include "app/window/UpdateHooks.h"

#include "support/CrashReporter.h"
#include "support/ReportService.h"
#include "support/UpdateService.h"

namespace {

const int kReportIcon = 101;
const wchar_t kReportPath[] = L"/services/tindle/report.php";
const wchar_t kLastCheckName[] = L"LastCheck";
const wchar_t kProductType[] = L"1";

}  // namespace

void ConfigureProblemReporter(const wchar_t* reportHost) {
  CrashReporter* reporter = CrashReporter::Instance();
  if (!reporter) return;
  reporter->ConfigureReport(kReportIcon, reportHost ? reportHost : ReportServiceHost(),
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
  return flags & ~NoAutomaticUpdateCheck;
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
  WideString text;
  CheckBoxText(text);
  SetDlgItemTextW(page, id, text.CStr());
  CheckDlgButton(page, id, (flags & NoAutomaticUpdateCheck) ? BST_UNCHECKED : BST_CHECKED);
}
