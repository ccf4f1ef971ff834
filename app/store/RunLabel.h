// The text a date list shows for a recorded run: the start in local time,
// as the user's long date with the weekday abbreviated ("dddd" of the
// locale's long date format becomes "ddd"), a space, and the time without
// seconds.
#pragma once

#include "core/WideString.h"

// Reads the locale's long date format once, for labelling many runs.
class RunLabelFormat {
public:
  RunLabelFormat();
  // 1 with the label; 0 (label emptied) when the start cannot be shown.
  int Format(unsigned start, WideString& label) const;

private:
  WideString picture_;  // the long date format, weekday abbreviated
  bool ready_ = false;
};

// One label (reads the locale's format each time).
int FormatRunLabel(unsigned start, WideString& label);
