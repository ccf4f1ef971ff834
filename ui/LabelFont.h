// Font helpers shared by the self-drawn labels: the first installed face of
// a face list, a copy of a control's font, and the search for the largest
// font height at which a text fits its label. Window thread, or any thread
// holding the label's text lock.
#pragma once

#include <windows.h>

#include "core/WideString.h"

// The first face of the list (separated by "," or ";", blanks around a name
// ignored) that is installed; fallback when none is.
void ChooseInstalledFace(const wchar_t* list, const wchar_t* fallback, WideString& face);

// A new font like the control's own (WM_GETFONT, else DEFAULT_GUI_FONT),
// underlined or not. None when it cannot be made. The caller deletes it.
// Window thread only: it sends to the control.
HFONT CopyControlFont(HWND control, bool underline);
// The same from a font handle (none: DEFAULT_GUI_FONT); sends nothing.
HFONT CopyFont(HFONT font, bool underline);

// What a label font is made of, apart from its height.
struct LabelFontStyle {
  const wchar_t* face;
  LONG weight;
  bool italic;
  bool underline;
  BYTE pitchAndFamily;
};

HFONT CreateLabelFont(const LabelFontStyle& style, int height);

// Answers 1 when the text fits with this font, 0 when it does not, -1 when
// it could not be measured.
typedef int (*FontFitTest)(HFONT font, void* user);

// Creates the font at start and asks the test; while the text does not fit,
// tries one pixel lower. The search ends with the font that fits, with the
// font that could not be measured, or at height 4 (a next height of 3 or
// less is never tried; a start below 4 is taken as it is). *height receives
// the height of the font answered; none when no font could be created.
HFONT FitLabelFont(const LabelFontStyle& style, int start, FontFitTest fits, void* user, int* height);
