// Numbers as the user's locale writes them: integers with its thousands
// separator and grouping, decimals with its decimal mark (GetNumberFormatEx
// with the locale's own settings and the number of decimals asked for),
// distances in kilometres or miles, and durations. The locale is read once,
// when the object is made; a locale the system does not know, or a call that
// fails, gives plain digits with "," and "." so a number is never lost.
#pragma once

#include <windows.h>

#include "core/WideString.h"

// The unit distances are shown in: the locale's measurement system
// (LOCALE_IMEASURE: metric or U.S.), or one the user chose.
enum DistanceUnit : int {
  DistanceFromLocale = 0,
  DistanceKilometres = 1,
  DistanceMiles = 2,
};

class LocaleNumbers {
public:
  // The locale by name ("de-DE"); none: the user's.
  explicit LocaleNumbers(const wchar_t* localeName = nullptr);

  const WideString& ThousandsSeparator() const { return thousands_; }
  const WideString& DecimalMark() const { return decimal_; }
  // Kilometres or miles: the unit given, or for DistanceFromLocale the
  // locale's (miles for the U.S. system).
  DistanceUnit Resolve(DistanceUnit unit) const;

  // "12,345" / "12.345". 1/0 (allocation).
  int Integer(unsigned long long value, WideString& out) const;
  // The value rounded to that many decimals (0 to 9): "1,234.5".
  int Decimal(double value, int decimals, WideString& out) const;
  // Metres in the unit with one decimal and its symbol: "12.3 km", "7.6 mi".
  int Distance(unsigned long long metres, DistanceUnit unit, WideString& out) const;
  // The distance in the unit, not rounded.
  static double InUnit(unsigned long long metres, DistanceUnit unit) {
    return unit == DistanceMiles ? metres / 1609.344 : metres / 1000.0;
  }

  // Minutes as "7 h 05 min", or "45 min" under an hour.
  static int Duration(unsigned long long minutes, WideString& out);

private:
  int FormatDigits(const wchar_t* digits, int decimals, WideString& out) const;

  WideString name_;  // empty: the user's locale
  WideString thousands_;
  WideString decimal_;
  UINT grouping_ = 3;
  UINT leadingZero_ = 1;
  UINT negativeOrder_ = 1;
  bool miles_ = false;
  bool known_ = false;  // the locale's settings were read
};
