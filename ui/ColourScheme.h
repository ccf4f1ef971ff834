// The colours Windows asks programs to use: light or dark apps (the
// "AppsUseLightTheme" value under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize; missing
// means light), and High Contrast, which overrides both with the system's
// own colours. The charts take their colours from here, the native chart as
// NativeChartColours and the chart pages as the same values written into
// the page, so both show the same palette.
//
// The categorical colours (the two walking series, the four sleep bands)
// come from a palette chosen to stay apart for the common colour-vision
// deficiencies: simulated as protanopia and deuteranopia (Machado 2009,
// severity 1.0), every pair stays at least CIE76 delta E 10 apart in the
// light and dark schemes; in High Contrast the bands are the system's
// window, highlight, hot-light and grey-text colours.
#pragma once

#include <windows.h>

#include "ui/NativeChart.h"

enum ColourScheme { ColourSchemeLight, ColourSchemeDark, ColourSchemeHighContrast };

// The user asked for dark apps.
bool IsDarkAppsTheme();
// High Contrast is on (SPI_GETHIGHCONTRAST).
bool IsHighContrast();
// High Contrast first, then dark, else light.
ColourScheme CurrentColourScheme();

// The chart colours of a scheme; High Contrast reads the system colours.
NativeChartColours ChartColoursFor(ColourScheme scheme);
// High Contrast's chart colours from the system colours given.
NativeChartColours HighContrastChartColours(COLORREF window, COLORREF windowText, COLORREF highlight,
                                            COLORREF hotLight, COLORREF grayText);
