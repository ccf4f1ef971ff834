#include "ui/ColourScheme.h"

#include <initializer_list>

#include "core/LibraryHandle.h"
#include "core/Registry.h"

namespace {

const wchar_t kPersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// The dark set, close to Windows' own dark look.
const COLORREF kDarkFace = RGB(32, 32, 32);
const COLORREF kDarkWindow = RGB(43, 43, 43);
const COLORREF kDarkText = RGB(255, 255, 255);
const COLORREF kDarkGrey = RGB(160, 160, 160);
const COLORREF kDarkHighlight = RGB(0, 120, 215);
const COLORREF kDarkLink = RGB(76, 194, 255);

int highContrastOverride = -1;

// The system colour indexes run from 0 (COLOR_SCROLLBAR) to 30 (COLOR_MENUBAR).
const int kColourIndexes = 31;

struct Scheme {
  bool read = false;
  ColourMode mode = ColourMode::Light;
  HBRUSH brushes[kColourIndexes] = {};  // the dark mode's, by index, made when asked for
};

Scheme& Current() {
  static Scheme scheme;
  if (!scheme.read) {
    scheme.read = true;
    scheme.mode = IsHighContrast() ? ColourMode::HighContrast : IsDarkAppsTheme() ? ColourMode::Dark : ColourMode::Light;
  }
  return scheme;
}

COLORREF DarkColour(int index) {
  switch (index) {
    case COLOR_WINDOW:
    case COLOR_INFOBK:
      return kDarkWindow;
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_CAPTIONTEXT:
    case COLOR_HIGHLIGHTTEXT:
    case COLOR_INFOTEXT:
      return kDarkText;
    case COLOR_GRAYTEXT:
      return kDarkGrey;
    case COLOR_HIGHLIGHT:
      return kDarkHighlight;
    case COLOR_HOTLIGHT:
      return kDarkLink;
    default:
      return kDarkFace;  // faces, the dialog background
  }
}

// Perceived brightness 0-255.
int Brightness(COLORREF colour) {
  return (GetRValue(colour) * 299 + GetGValue(colour) * 587 + GetBValue(colour) * 114) / 1000;
}

typedef HRESULT(WINAPI* SetAttributeFn)(HWND, DWORD, LPCVOID, DWORD);
typedef HRESULT(WINAPI* SetThemeFn)(HWND, LPCWSTR, LPCWSTR);

// A function of a system library that may be missing (older Windows, Wine);
// the library stays loaded with the holder given.
template <typename Fn>
Fn Resolve(LibraryHandle& library, const wchar_t* name, const char* function) {
  return library.Load(name, 1) ? library.ResolveAs<Fn>(function) : nullptr;
}

}  // namespace

bool IsDarkAppsTheme() {
  // Missing (older Windows, Wine): light.
  return RegReadDword(HKEY_CURRENT_USER, kPersonalizeKey, L"AppsUseLightTheme", 1) == 0;
}

bool IsHighContrast() {
  if (highContrastOverride >= 0) return highContrastOverride == 1;
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof(contrast);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void SetHighContrastOverride(int state) { highContrastOverride = state < 0 ? -1 : state ? 1 : 0; }

ColourMode SchemeMode() { return Current().mode; }

bool ReloadColourScheme() {
  Scheme& scheme = Current();
  const ColourMode before = scheme.mode;
  scheme.read = false;
  // Brushes of the old colours go; they are made again when asked for.
  for (HBRUSH& brush : scheme.brushes) {
    if (brush) DeleteObject(brush);
    brush = nullptr;
  }
  return Current().mode != before;
}

COLORREF SchemeColour(int index) {
  return Current().mode == ColourMode::Dark ? DarkColour(index) : GetSysColor(index);
}

HBRUSH SchemeBrush(int index) {
  Scheme& scheme = Current();
  if (scheme.mode != ColourMode::Dark) return GetSysColorBrush(index);
  // Each index its own brush, in its own colour.
  if (index < 0 || index >= kColourIndexes) return GetSysColorBrush(COLOR_BTNFACE);
  HBRUSH& brush = scheme.brushes[index];
  if (!brush) brush = CreateSolidBrush(DarkColour(index));
  return brush;
}

COLORREF SchemeTextColour(COLORREF designed, bool link) {
  switch (Current().mode) {
    case ColourMode::HighContrast:
      return GetSysColor(link ? COLOR_HOTLIGHT : COLOR_BTNTEXT);
    case ColourMode::Dark:
      if (link) return kDarkLink;
      return Brightness(designed) >= 110 ? designed : kDarkText;
    default:
      return designed;
  }
}

HBRUSH SchemeControlColours(UINT message, HDC dc) {
  if (Current().mode == ColourMode::Light || !dc) return nullptr;
  const bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  const int background = field ? COLOR_WINDOW : COLOR_BTNFACE;
  SetTextColor(dc, SchemeColour(COLOR_WINDOWTEXT));
  SetBkColor(dc, SchemeColour(background));
  return SchemeBrush(background);
}

int ApplySchemeToFrame(HWND window) {
  static LibraryHandle dwm;
  static const SetAttributeFn setAttribute = Resolve<SetAttributeFn>(dwm, L"dwmapi.dll", "DwmSetWindowAttribute");
  if (!setAttribute || !window) return 0;
  const BOOL dark = Current().mode == ColourMode::Dark;
  // DWMWA_USE_IMMERSIVE_DARK_MODE is 20 from Windows 10 20H1 on, 19 before.
  if (SUCCEEDED(setAttribute(window, 20, &dark, sizeof(dark)))) return 1;
  return SUCCEEDED(setAttribute(window, 19, &dark, sizeof(dark))) ? 1 : 0;
}

void ApplySchemeToButtons(HWND parent) {
  static LibraryHandle uxtheme;
  static const SetThemeFn setTheme = Resolve<SetThemeFn>(uxtheme, L"uxtheme.dll", "SetWindowTheme");
  if (!setTheme) return;
  const bool dark = Current().mode == ColourMode::Dark;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = L"";
    if (!GetClassNameW(child, name, 16) || lstrcmpiW(name, L"Button") != 0) continue;
    const LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW) continue;
    // "" switches the visual style off; none puts the default back.
    setTheme(child, dark ? L"" : nullptr, dark ? L"" : nullptr);
  }
}

ColourScheme CurrentColourScheme() {
  // The mode the window paints with, so the charts never disagree with it.
  switch (SchemeMode()) {
    case ColourMode::HighContrast:
      return ColourSchemeHighContrast;
    case ColourMode::Dark:
      return ColourSchemeDark;
    default:
      return ColourSchemeLight;
  }
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
      // The background of the window's fields and the run table.
      c.background = kDarkWindow;
      c.text = RGB(0xE8, 0xE8, 0xE8);
      c.grid = RGB(0x44, 0x44, 0x44);
      c.selection = RGB(0x56, 0xB4, 0xE9);
      c.series[0] = RGB(0x56, 0xB4, 0xE9);
      c.series[1] = RGB(0xE6, 0x9F, 0x00);
      c.series[2] = RGB(0xF0, 0xF0, 0xF0);
      c.series[3] = RGB(0xCC, 0x79, 0xA7);
      c.bands[0] = RGB(0x2B, 0x6A, 0x96);
      c.bands[1] = kDarkWindow;
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
