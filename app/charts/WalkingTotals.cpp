#include "app/charts/WalkingTotals.h"

int FormatWalkingTotals(unsigned steps, unsigned calories, unsigned metres,
                        WalkingTotalsText& out) {
  int ok = out.steps.Format(L"%u", steps);
  ok = out.calories.Format(L"%u cal", calories) && ok;
  if (metres >= 1000)
    ok = out.distance.Format(L"%.1f Kilometer", metres * 0.001) && ok;
  else
    ok = out.distance.Format(L"%u Meter", metres) && ok;
  return ok;
}
