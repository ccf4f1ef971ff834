#include "ui/ColourScheme.h"

#include "core/Registry.h"

namespace {

const wchar_t kPersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

}  // namespace

bool IsDarkAppsTheme() {
  return RegReadDword(HKEY_CURRENT_USER, kPersonalizeKey, L"AppsUseLightTheme", 1) == 0;
}

bool IsHighContrast() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

ColourScheme CurrentColourScheme() {
  if (IsHighContrast()) return ColourSchemeHighContrast;
  return IsDarkAppsTheme() ? ColourSchemeDark : ColourSchemeLight;
}

NativeChartColours ChartColoursFor(ColourScheme scheme) {
  NativeChartColours c;
  switch (scheme) {
    case ColourSchemeLight:
      // Series: Okabe and Ito's blue and orange, and a dark line for the
      // night over its bands.
      c.background = RGB(0xFF, 0xFF, 0xFF);
      c.text = RGB(0x20, 0x20, 0x20);
      c.grid = RGB(0xD8, 0xD8, 0xD8);
      c.selection = RGB(0x00, 0x5A, 0x9E);
      c.series[0] = RGB(0x00, 0x72, 0xB2);
      c.series[1] = RGB(0xE6, 0x9F, 0x00);
      c.series[2] = RGB(0x1A, 0x1A, 0x60);
      c.series[3] = RGB(0xCC, 0x79, 0xA7);
      c.bands[0] = RGB(0x9E, 0xCA, 0xE9);  // asleep
      c.bands[1] = RGB(0xFF, 0xFF, 0xFF);  // awake
      c.bands[2] = RGB(0xF0, 0xB4, 0x5A);  // walking
      c.bands[3] = RGB(0xCF, 0xCF, 0xCF);  // unknown
      break;
    case ColourSchemeDark:
      c.background = RGB(0x1E, 0x1E, 0x1E);
      c.text = RGB(0xE8, 0xE8, 0xE8);
      c.grid = RGB(0x44, 0x44, 0x44);
      c.selection = RGB(0x56, 0xB4, 0xE9);
      c.series[0] = RGB(0x56, 0xB4, 0xE9);
      c.series[1] = RGB(0xE6, 0x9F, 0x00);
      c.series[2] = RGB(0xF0, 0xF0, 0xF0);
      c.series[3] = RGB(0xCC, 0x79, 0xA7);
      c.bands[0] = RGB(0x2B, 0x6A, 0x96);
      c.bands[1] = RGB(0x1E, 0x1E, 0x1E);
      c.bands[2] = RGB(0x8C, 0x64, 0x10);
      c.bands[3] = RGB(0x50, 0x50, 0x50);
      break;
    case ColourSchemeHighContrast:
      c = HighContrastChartColours(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT),
                                   GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HOTLIGHT),
                                   GetSysColor(COLOR_GRAYTEXT));
      break;
  }
  return c;
}

NativeChartColours HighContrastChartColours(COLORREF window, COLORREF windowText, COLORREF highlight,
                                            COLORREF hotLight, COLORREF grayText) {
  NativeChartColours c;
  c.background = window;
  c.text = windowText;
  c.grid = grayText;
  c.selection = highlight;
  c.series[0] = highlight;
  c.series[1] = hotLight;
  c.series[2] = windowText;
  c.series[3] = grayText;
  c.bands[0] = highlight;
  c.bands[1] = window;
  c.bands[2] = hotLight;
  c.bands[3] = grayText;
  return c;
}
