#include "core/LocaleNumbers.h"

#include <cmath>
#include <cstdlib>

namespace {

int LocaleText(const wchar_t* name, LCTYPE type, WideString& out) {
  wchar_t text[32] = {};
  if (GetLocaleInfoEx(name, type, text, 32) <= 0) return 0;
  return out.Assign(text);
}

UINT LocaleNumber(const wchar_t* name, LCTYPE type, UINT fallback) {
  WideString text;
  if (!LocaleText(name, type, text)) return fallback;
  return static_cast<UINT>(_wtoi(text.CStr()));
}

// LOCALE_SGROUPING ("3;0", "3;2;0", "3") as NUMBERFMT's Grouping (3, 32,
// 30): the sizes as digits, a final ";0" dropped, otherwise a 0 added.
UINT GroupingOf(const WideString& text) {
  UINT value = 0;
  bool endsInZero = false;
  for (const wchar_t* p = text.CStr(); *p; ++p) {
    if (*p < L'0' || *p > L'9') continue;
    endsInZero = *p == L'0' && p[1] == 0 && p != text.CStr();
    if (!endsInZero) value = value * 10 + (*p - L'0');
  }
  return endsInZero ? value : value * 10;
}

}  // namespace

LocaleNumbers::LocaleNumbers(const wchar_t* localeName) {
  if (localeName) name_.Assign(localeName);
  const wchar_t* name = localeName ? localeName : LOCALE_NAME_USER_DEFAULT;
  WideString grouping;
  known_ = LocaleText(name, LOCALE_STHOUSAND, thousands_) && LocaleText(name, LOCALE_SDECIMAL, decimal_) &&
           LocaleText(name, LOCALE_SGROUPING, grouping);
  if (!known_) {
    thousands_.Assign(L",");
    decimal_.Assign(L".");
    return;
  }
  grouping_ = GroupingOf(grouping);
  leadingZero_ = LocaleNumber(name, LOCALE_ILZERO, 1);
  negativeOrder_ = LocaleNumber(name, LOCALE_INEGNUMBER, 1);
  miles_ = LocaleNumber(name, LOCALE_IMEASURE, 0) == 1;
}

DistanceUnit LocaleNumbers::Resolve(DistanceUnit unit) const {
  if (unit == DistanceKilometres || unit == DistanceMiles) return unit;
  return miles_ ? DistanceMiles : DistanceKilometres;
}

int LocaleNumbers::FormatDigits(const wchar_t* digits, int decimals, WideString& out) const {
  if (known_) {
    NUMBERFMTW format = {};
    format.NumDigits = static_cast<UINT>(decimals);
    format.LeadingZero = leadingZero_;
    format.Grouping = grouping_;
    format.lpDecimalSep = const_cast<wchar_t*>(decimal_.CStr());
    format.lpThousandSep = const_cast<wchar_t*>(thousands_.CStr());
    format.NegativeOrder = negativeOrder_;
    const wchar_t* name = name_.IsEmpty() ? LOCALE_NAME_USER_DEFAULT : name_.CStr();
    wchar_t text[80] = {};
    if (GetNumberFormatEx(name, 0, digits, &format, text, 80) > 0) return out.Assign(text);
  }
  return out.Assign(digits);
}

int LocaleNumbers::Integer(unsigned long long value, WideString& out) const {
  WideString digits;
  if (!digits.Format(L"%I64u", value)) return 0;
  return FormatDigits(digits.CStr(), 0, out);
}

int LocaleNumbers::Decimal(double value, int decimals, WideString& out) const {
  if (decimals < 0) decimals = 0;
  if (decimals > 9) decimals = 9;
  if (!std::isfinite(value) || std::fabs(value) >= 1e18) return out.Assign(L"-");
  WideString digits;
  if (!digits.Format(L"%.*f", decimals, value)) return 0;
  // "-0.0" is shown as 0.
  bool zero = true;
  for (const wchar_t* p = digits.CStr(); *p; ++p) {
    if (*p >= L'1' && *p <= L'9') zero = false;
  }
  return FormatDigits(digits.CStr() + (zero && digits.CharAt(0) == L'-' ? 1 : 0), decimals, out);
}

int LocaleNumbers::Distance(unsigned long long metres, DistanceUnit unit, WideString& out) const {
  DistanceUnit shown = Resolve(unit);
  if (!Decimal(InUnit(metres, shown), 1, out)) return 0;
  return out.Append(shown == DistanceMiles ? L" mi" : L" km");
}

int LocaleNumbers::Duration(unsigned long long minutes, WideString& out) {
  if (minutes < 60) return out.Format(L"%I64u min", minutes);
  return out.Format(L"%I64u h %02u min", minutes / 60, static_cast<unsigned>(minutes % 60));
}
