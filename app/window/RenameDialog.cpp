#include "app/window/RenameDialog.h"

#include <cwctype>

#include "resources/ResourceIds.h"

int RenameDialog::OnInitDialog() {
  SetItemText(IDC_RENAME_TRACKER, tracker.CStr());
  SendDlgItemMessageW(Window(), IDC_RENAME_NAME, EM_LIMITTEXT, MaxName, 0);
  SetItemText(IDC_RENAME_NAME, name.CStr());
  return 1;
}

int RenameDialog::OnCommand(int id, WPARAM wParam, LPARAM lParam) {
  if (id != IDOK) return Dialog::OnCommand(id, wParam, lParam);
  wchar_t text[MaxName + 1] = {};
  GetDlgItemTextW(Window(), IDC_RENAME_NAME, text, MaxName + 1);
  // Tabs and line breaks pasted in would be kept in "Names" and shown as
  // boxes: every control character becomes a blank before the blanks at
  // the ends go.
  for (wchar_t* c = text; *c; ++c) {
    if (*c < L' ' || *c == 0x7F) *c = L' ';
  }
  wchar_t* first = text;
  while (*first && iswspace(*first)) ++first;
  size_t length = wcslen(first);
  while (length > 0 && iswspace(first[length - 1])) --length;
  first[length] = L'\0';
  name.Assign(first);
  Close(IDOK);
  return 1;
}
