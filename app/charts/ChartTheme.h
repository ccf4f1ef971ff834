// The colours of the Windows setting carried into a chart page (the day
// pages and the Trends page), so that a page follows light, dark and High
// Contrast as the native chart does, with the same palette.
//
// The page gets a class on its <html> element ("pellton-light",
// "pellton-dark", "pellton-contrast"), which its style sheet follows, and,
// first thing in its <head>, a script that sets `pelltonTheme`: the
// background, text, grid and selection colours and the series and band
// colours as "#rrggbb" texts, which the page's scripts hand to the charts.
// A page without them keeps the light colours it carries itself.
#pragma once

#include "ui/ColourScheme.h"

class WideString;

// The script element that sets `pelltonTheme`.
int ChartThemeScript(ColourScheme scheme, const NativeChartColours& colours, WideString& out);
// Puts the class and the script into a finished page; 1/0 (a page without
// <html> or <head> is left as it is and answers 0).
int ApplyChartTheme(ColourScheme scheme, const NativeChartColours& colours, WideString& page);
// The same with the current Windows setting.
int ApplyCurrentChartTheme(WideString& page);
