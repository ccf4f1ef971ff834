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
//
// The colours the program's windows paint with, following Windows: in High
// Contrast mode (SPI_GETHIGHCONTRAST) the system colours only; with the
// apps' dark mode ("AppsUseLightTheme" = 0 under HKEY_CURRENT_USER's
// Software\Microsoft\Windows\CurrentVersion\Themes\Personalize) a dark
// set; otherwise the system colours of the light default. The mode is read once and again on
// ReloadColourScheme, which the main window calls on WM_SETTINGCHANGE
// ("ImmersiveColorSet") and WM_SYSCOLORCHANGE.
//
// Dialog (ui/Dialog) answers WM_CTLCOLOR* with SchemeBrush unless light,
// and the owner-drawn controls paint with SchemeColour. Window thread only.
#pragma once

#include <windows.h>

#include "ui/NativeChart.h"

enum class ColourMode { Light, Dark, HighContrast };

// What Windows is set to now.
bool IsDarkAppsTheme();
bool IsHighContrast();
// For tests on platforms that cannot switch High Contrast on (Wine): 1 on,
// 0 off, -1 what the system says. Read at the next ReloadColourScheme.
void SetHighContrastOverride(int state);

// The mode in use (High Contrast before dark).
ColourMode SchemeMode();
// Reads the mode again; true when it changed.
bool ReloadColourScheme();
// A system colour index (COLOR_WINDOW, COLOR_BTNFACE, COLOR_WINDOWTEXT,
// COLOR_BTNTEXT, COLOR_GRAYTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
// COLOR_HOTLIGHT...) in the mode in use. The brush belongs to the scheme.
COLORREF SchemeColour(int index);
HBRUSH SchemeBrush(int index);
// A colour chosen for the light look (a grey caption, a blue link) as it
// shows in the mode in use: itself in light; the system's text colour
// (links: its link colour) in High Contrast; in dark, a light text when the
// colour would not stand out on the dark background.
COLORREF SchemeTextColour(COLORREF designed, bool link = false);

// The answer to WM_CTLCOLORDLG, WM_CTLCOLORSTATIC, WM_CTLCOLORBTN,
// WM_CTLCOLOREDIT and WM_CTLCOLORLISTBOX in the dark and High Contrast modes
// (colours set on the DC); none in the light mode, where the system's
// default answer (and a tab's texture) is right.
HBRUSH SchemeControlColours(UINT message, HDC dc);
// The window frame dark or light as the mode is, where the platform allows
// it (DWMWA_USE_IMMERSIVE_DARK_MODE, Windows 10 1809 on); 1 when applied.
int ApplySchemeToFrame(HWND window);
// Check boxes, radio buttons and group boxes draw their text in the visual
// style's colour, black whatever the dark background: in the dark mode they
// lose the visual style (their text then takes the scheme's colour), and
// get it back otherwise. Applies to the window's children.
void ApplySchemeToButtons(HWND parent);

enum ColourScheme { ColourSchemeLight, ColourSchemeDark, ColourSchemeHighContrast };

// The scheme of SchemeMode (High Contrast first, then dark, else light).
ColourScheme CurrentColourScheme();

// The chart colours of a scheme; High Contrast reads the system colours.
NativeChartColours ChartColoursFor(ColourScheme scheme);
// High Contrast's chart colours from the system colours given.
NativeChartColours HighContrastChartColours(COLORREF window, COLORREF windowText, COLORREF highlight,
                                            COLORREF hotLight, COLORREF grayText);
