#include "ui/LabelFont.h"

#include "ui/TemplateFont.h"

void ChooseInstalledFace(const wchar_t* list, const wchar_t* fallback, WideString& face) {
  WideString names(list ? list : L"");
  for (wchar_t* name = names.Tokenize(1, L",;"); name; name = names.Tokenize(0, L",;")) {
    WideString candidate(name);
    candidate.Trim();
    if (!candidate.IsEmpty() && FontFaceInstalled(candidate.CStr())) {
      face.Assign(candidate);
      return;
    }
  }
  face.Assign(fallback);
}

HFONT CopyControlFont(HWND control, bool underline) {
  return CopyFont(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), underline);
}

HFONT CopyFont(HFONT font, bool underline) {
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTW description = {};
  if (!font || !GetObjectW(font, sizeof(description), &description)) return nullptr;
  description.lfUnderline = underline ? TRUE : FALSE;
  return CreateFontIndirectW(&description);
}

HFONT CreateLabelFont(const LabelFontStyle& style, int height) {
  LOGFONTW description = {};
  description.lfHeight = height;
  description.lfWeight = style.weight;
  description.lfItalic = style.italic ? TRUE : FALSE;
  description.lfUnderline = style.underline ? TRUE : FALSE;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfPitchAndFamily = style.pitchAndFamily;
  lstrcpynW(description.lfFaceName, style.face ? style.face : L"", LF_FACESIZE);
  return CreateFontIndirectW(&description);
}

HFONT FitLabelFont(const LabelFontStyle& style, int start, FontFitTest fits, void* user, int* height) {
  int size = start;
  for (;;) {
    HFONT font = CreateLabelFont(style, size);
    if (!font) {
      if (height) *height = 0;
      return nullptr;
    }
    int answer = fits(font, user);
    if (answer != 0 || size - 1 <= 3) {
      if (height) *height = size;
      return font;
    }
    DeleteObject(font);
    --size;
  }
}
