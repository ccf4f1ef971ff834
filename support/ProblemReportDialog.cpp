#include "support/ProblemReportDialog.h"

#include <commctrl.h>

#include "core/ModuleVersion.h"
#include "core/ShellOpen.h"

namespace {

const COLORREF kHeadlineColour = 0x753709;
const COLORREF kGrey = 0x606060;

struct ItemSpec {
  int id;
  WORD classAtom;  // 0x80 button, 0x81 edit, 0x82 static
  const wchar_t* text;
  DWORD style;
  short x, y, cx, cy;
};

const ItemSpec kItems[] = {
    {-1, 0x82, L"", 0x50000006, 0, 0, 429, 167},
    {IDC_REPORT_SEND, 0x80, L"Send Problem Report", 0x50010001, 241, 177, 100, 14},
    {IDC_REPORT_DONT_SEND, 0x80, L"Don't Send", 0x50010000, 351, 177, 60, 14},
    {IDC_REPORT_DESCRIPTION, 0x81, L"", 0x50810080, 40, 86, 370, 14},
    {IDC_REPORT_EMAIL, 0x81, L"", 0x50810080, 40, 119, 370, 14},
    {IDC_REPORT_FILES, 0x82, L"Static", 0x50020000, 40, 144, 370, 18},
    {IDC_REPORT_ASK, 0x82, L"Static", 0x50020000, 40, 35, 370, 26},
    {IDC_REPORT_ICON, 0x82, L"", 0x50000003, 10, 10, 20, 20},
    {IDC_REPORT_HEADLINE, 0x82, L"Static", 0x50020200, 40, 12, 370, 14},
    {IDC_REPORT_DESCRIPTION_LABEL, 0x82, L"Static", 0x50020000, 40, 74, 370, 8},
    {IDC_REPORT_EMAIL_LABEL, 0x82, L"Static", 0x50020000, 40, 107, 370, 8},
    {IDC_REPORT_RULE, 0x82, L"", 0x50000010, 0, 166, 429, 1},
};

void PutWord(std::vector<BYTE>& out, WORD w) {
  out.push_back(static_cast<BYTE>(w & 0xFF));
  out.push_back(static_cast<BYTE>(w >> 8));
}
void PutDword(std::vector<BYTE>& out, DWORD d) {
  PutWord(out, LOWORD(d));
  PutWord(out, HIWORD(d));
}
void PutText(std::vector<BYTE>& out, const wchar_t* text) {
  for (; *text; ++text) PutWord(out, static_cast<WORD>(*text));
  PutWord(out, 0);
}
void AlignDword(std::vector<BYTE>& out) {
  while (out.size() % 4) out.push_back(0);
}

// The website named in the version resource's "Comments" or "SpecialBuild"
// ("[http://...]" or "http://..."), without a trailing '/'.
void Website(WideString& out) {
  out.Assign(L"");
  const wchar_t* names[] = {L"Comments", L"SpecialBuild"};
  for (const wchar_t* name : names) {
    WideString value;
    if (!VersionString(name, nullptr, value)) continue;
    int at = value.FindNoCaseIndex(L"http://");
    if (at < 0) continue;
    value.MidFrom(at);
    int close = value.FindCharIndex(L']');
    if (close >= 0) value.Left(close);
    value.RemoveTrailing(L'/');
    out.Assign(value);
    return;
  }
}

}  // namespace

std::vector<BYTE> ProblemReportTemplate() {
  std::vector<BYTE> out;
  const unsigned count = sizeof(kItems) / sizeof(kItems[0]);
  PutDword(out, 0x80C808C0);  // WS_POPUP|WS_CAPTION|WS_SYSMENU|DS_CENTER|DS_MODALFRAME|DS_SETFONT
  PutDword(out, 0);
  PutWord(out, static_cast<WORD>(count));
  PutWord(out, 0);
  PutWord(out, 0);
  PutWord(out, 428);
  PutWord(out, 201);
  PutWord(out, 0);  // no menu
  PutWord(out, 0);  // the dialog class
  PutText(out, L"Dialog");
  PutWord(out, 8);
  PutText(out, L"MS Sans Serif");
  for (const ItemSpec& item : kItems) {
    AlignDword(out);
    PutDword(out, item.style);
    PutDword(out, 0);
    PutWord(out, static_cast<WORD>(item.x));
    PutWord(out, static_cast<WORD>(item.y));
    PutWord(out, static_cast<WORD>(item.cx));
    PutWord(out, static_cast<WORD>(item.cy));
    PutWord(out, static_cast<WORD>(item.id));
    PutWord(out, 0xFFFF);
    PutWord(out, item.classAtom);
    PutText(out, item.text);
    PutWord(out, 0);  // no creation data
  }
  AlignDword(out);
  return out;
}

ProblemReportDialog::ProblemReportDialog(int iconId, const wchar_t* dumpPath,
                                         const wchar_t* textPath)
    : iconId_(iconId), dumpPath_(dumpPath ? dumpPath : L""), textPath_(textPath ? textPath : L"") {}

ProblemReportDialog::~ProblemReportDialog() { ReleaseControls(); }

int ProblemReportDialog::Ask(HWND parent) {
  std::vector<BYTE> bytes = ProblemReportTemplate();
  return RunModalTemplate(GetModuleHandleW(nullptr), bytes.data(), bytes.size(), 0, parent) == 1
             ? 1
             : 0;
}

HWND ProblemReportDialog::CreateLink(int id, const wchar_t* text) {
  HWND placeholder = Item(id);
  if (!placeholder) return nullptr;
  RECT rect;
  GetWindowRect(placeholder, &rect);
  MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&rect), 2);
  HWND link = CreateWindowExW(0, L"SysLink", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top, Window(),
                              nullptr, Module(), nullptr);
  if (!link) return nullptr;
  SendMessageW(link, WM_SETFONT, SendMessageW(Window(), WM_GETFONT, 0, 0), FALSE);
  SetWindowPos(link, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(placeholder, SW_HIDE);
  return link;
}

int ProblemReportDialog::OnInitDialog() {
  if (!VersionString(L"ProductName", nullptr, title_)) title_.Assign(L"");
  if (!VersionString(L"CompanyName", nullptr, company_) || company_.IsEmpty())
    company_.Assign(L"us");
  Website(website_);
  WideString linkText(website_);
  if (linkText.CompareNoCaseN(L"http://", 7) == 0) linkText.MidFrom(7);

  SetTitle(title_.CStr());
  SetIcon(iconId_);
  HICON icon = LoadIconW(Module(), MAKEINTRESOURCEW(iconId_));
  SendMessageW(Item(IDC_REPORT_ICON), STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));

  WideString text;
  text.Format(L"%s has stopped working.", title_.CStr());
  SetItemText(IDC_REPORT_HEADLINE, text.CStr());
  headline_.Attach(Item(IDC_REPORT_HEADLINE), nullptr, 40, kHeadlineColour, kHeadlineColour,
                   StyledLabelFit | StyledLabelRefitOnText, 0, nullptr, nullptr);

  if (!website_.IsEmpty())
    text.Format(L"Please tell %s about this problem.\n\nYou can check the website "
                L"<a href=\"%s\">%s</a> for a newer version.",
                company_.CStr(), website_.CStr(), linkText.CStr());
  else
    text.Format(L"Please tell %s about this problem.", company_.CStr());
  askLink_ = CreateLink(IDC_REPORT_ASK, text.CStr());
  if (!askLink_) {
    if (!website_.IsEmpty())
      text.Format(L"Please tell %s about this problem.\n\nYou can check the website '%s' for a "
                  L"newer version.",
                  company_.CStr(), linkText.CStr());
    SetItemText(IDC_REPORT_ASK, text.CStr());
  }

  SetItemText(IDC_REPORT_DESCRIPTION_LABEL,
              L"Can you please describe what you were doing when the problem occurred?");
  descriptionLabel_.Attach(Item(IDC_REPORT_DESCRIPTION_LABEL), nullptr, 0, kGrey, kGrey,
                           StyledLabelOwnFont, 0, nullptr, nullptr);
  SendMessageW(Item(IDC_REPORT_DESCRIPTION), EM_LIMITTEXT, 2046, 0);
  SendMessageW(Item(IDC_REPORT_DESCRIPTION), EM_SETCUEBANNER, FALSE,
               reinterpret_cast<LPARAM>(L" optional"));
  SetItemText(IDC_REPORT_EMAIL_LABEL,
              L"Your E-mail address. It will be kept private. Only used to contact you for more "
              L"details.");
  emailLabel_.Attach(Item(IDC_REPORT_EMAIL_LABEL), nullptr, 0, kGrey, kGrey, StyledLabelOwnFont, 0,
                     nullptr, nullptr);
  SendMessageW(Item(IDC_REPORT_EMAIL), EM_LIMITTEXT, 258, 0);
  SendMessageW(Item(IDC_REPORT_EMAIL), EM_SETCUEBANNER, FALSE,
               reinterpret_cast<LPARAM>(L" optional"));

  // Only files that were written are named; a missing one is said plainly.
  const bool hasText = !textPath_.IsEmpty(), hasDump = !dumpPath_.IsEmpty();
  WideString what;
  if (hasText && hasDump)
    what.Format(L"They describe the problem and your computer and hold a memory dump of %s, which "
                L"may include your activity data.",
                title_.CStr());
  else if (hasText)
    what.Assign(L"It describes the problem and your computer. No memory dump could be written.");
  else if (hasDump)
    what.Format(L"It holds a memory dump of %s, which may include your activity data. No "
                L"description of the problem could be written.",
                title_.CStr());
  else
    what.Assign(L"No report files could be written: only what you type here will be sent.");
  for (int linked = 1; linked >= 0; --linked) {
    WideString names[2];
    const WideString* paths[2] = {&textPath_, &dumpPath_};
    int count = 0;
    for (const WideString* path : paths) {
      if (path->IsEmpty()) continue;
      const wchar_t* name = WideString::FileNamePart(path->CStr());
      if (linked)
        names[count++].Format(L"<a href=\"%s\">%s</a>", path->CStr(), name);
      else
        names[count++].Assign(name);
    }
    if (count == 2)
      text.Format(L"The files %s and %s will be sent. %s", names[0].CStr(), names[1].CStr(), what.CStr());
    else if (count == 1)
      text.Format(L"The file %s will be sent. %s", names[0].CStr(), what.CStr());
    else
      text.Assign(what);
    if (!linked) {
      SetItemText(IDC_REPORT_FILES, text.CStr());
    } else if ((filesLink_ = CreateLink(IDC_REPORT_FILES, text.CStr())) != nullptr) {
      break;
    }
  }
  return 1;
}

int ProblemReportDialog::OnCommand(int id, WPARAM wParam, LPARAM lParam) {
  if (id == IDC_REPORT_SEND) {
    WideString text(2048u);
    GetDlgItemTextW(Window(), IDC_REPORT_DESCRIPTION, text.Buffer(), 2047);
    text.UpdateLength();
    description_.Assign(text);
    GetDlgItemTextW(Window(), IDC_REPORT_EMAIL, text.Buffer(), 259);
    text.UpdateLength();
    email_.Assign(text);
    Close(1);
    return 1;
  }
  if (id == IDC_REPORT_DONT_SEND || id == IDCANCEL) {
    Close(0);
    return 1;
  }
  return Dialog::OnCommand(id, wParam, lParam);
}

int ProblemReportDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && lParam) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if ((header->hwndFrom == askLink_ || header->hwndFrom == filesLink_) &&
        (header->code == NM_CLICK || header->code == NM_RETURN)) {
      const NMLINK* link = reinterpret_cast<const NMLINK*>(lParam);
      ShellOpen(link->item.szUrl, nullptr, nullptr, SW_SHOWNORMAL, 0, L"open");
      return 1;
    }
  }
  if (message == WM_CTLCOLORSTATIC) {
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control == filesLink_ || control == Item(IDC_REPORT_FILES)) {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, kGrey);
      SetBkColor(dc, RGB(255, 255, 255));
      return static_cast<int>(reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH)));
    }
  }
  return Dialog::OnMessage(message, wParam, lParam);
}

void ProblemReportDialog::ReleaseControls() {
  headline_.Detach();
  descriptionLabel_.Detach();
  emailLabel_.Detach();
  askLink_ = nullptr;
  filesLink_ = nullptr;
}

int ProblemReportDialog::OnDestroy() {
  ReleaseControls();
  return Dialog::OnDestroy();
}
