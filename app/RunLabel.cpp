#include "app/RunLabel.h"

#include <windows.h>

#include <cstdlib>

#include "core/DateTime.h"
#include "core/WideString.h"

namespace {

int LongDatePicture(WideString& picture) {
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, nullptr, 0);
  if (n <= 0 || !picture.Reset(static_cast<unsigned>(n) + 1)) return 0;
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, picture.Buffer(), n) <= 0) return 0;
  picture.UpdateLength();
  return picture.Replace(L"dddd", L"ddd", 1) != nullptr;
}

int FormatWithPicture(const SYSTEMTIME& time, const WideString& picture, WideString& out) {
  int n = GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, picture.CStr(), nullptr, 0);
  if (n <= 0 || !out.Reset(static_cast<unsigned>(n) + 1)) return 0;
  if (GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, picture.CStr(), out.Buffer(), n) <= 0) return 0;
  out.UpdateLength();
  return 1;
}

}  // namespace

int FormatRunLabel(unsigned start, WideString& label) {
  SYSTEMTIME local;
  WideString picture, date, time;
  if (FromUnixTime(local, start, 1) && LongDatePicture(picture) && FormatWithPicture(local, picture, date) &&
      FormatTime(time, TIME_NOSECONDS, &local, 0) && label.Assign(date) && label.AppendChar(L' ') &&
      label.Append(time)) {
    return 1;
  }
  label.Assign(L"");
  return 0;
}
