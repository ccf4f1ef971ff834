// The texts of the live totals above the walking chart: the steps as a
// plain number, the calories as "%u cal", and the distance in metres as
// "%u Meter" below 1000 m and "%.1f Kilometer" from 1000 m on.
#pragma once

#include "core/WideString.h"

struct WalkingTotalsText {
  WideString steps;
  WideString distance;
  WideString calories;
};

// 1 when all three texts were written.
int FormatWalkingTotals(unsigned steps, unsigned calories, unsigned metres,
                        WalkingTotalsText& out);
