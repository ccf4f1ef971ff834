#include "app/store/RunLabel.h"

#include <windows.h>

#include "core/DateTime.h"

RunLabelFormat::RunLabelFormat() {
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, nullptr, 0);
  if (n <= 0 || !picture_.Reset(static_cast<unsigned>(n) + 1)) return;
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, picture_.Buffer(), n) <= 0) return;
  picture_.UpdateLength();
  ready_ = picture_.Replace(L"dddd", L"ddd", 1) != nullptr;
}

int RunLabelFormat::Format(unsigned start, WideString& label) const {
  SYSTEMTIME local;
  WideString date, time;
  int n = 0;
  if (ready_ && FromUnixTime(local, start, 1)) {
    n = GetDateFormatW(LOCALE_USER_DEFAULT, 0, &local, picture_.CStr(), nullptr, 0);
  }
  if (n > 0 && date.Reset(static_cast<unsigned>(n) + 1) &&
      GetDateFormatW(LOCALE_USER_DEFAULT, 0, &local, picture_.CStr(), date.Buffer(), n) > 0) {
    date.UpdateLength();
    if (FormatTime(time, TIME_NOSECONDS, &local, 0) && label.Assign(date) && label.AppendChar(L' ') &&
        label.Append(time)) {
      return 1;
    }
  }
  label.Assign(L"");
  return 0;
}

int FormatRunLabel(unsigned start, WideString& label) { return RunLabelFormat().Format(start, label); }
