// Replacement of the dated font of a dialog template by the system's
// message font, as a transformation of the template's bytes. Only
// templates with DS_SETFONT whose face is "MS Sans Serif", "MS Shell Dlg"
// or "System" are changed. Both layouts are read: DLGTEMPLATEEX (second
// word 0xFFFF; style at byte 12, 26-byte header; font block of point size,
// weight, italic, character set, face) and DLGTEMPLATE (style at byte 0,
// 18-byte header; font block of point size, face). Every read is checked
// against the template's size: a truncated or malformed template is left
// alone.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "core/WideString.h"

// Where the font block of a template lies (byte offsets from its start).
struct TemplateFontBlock {
  bool extended;         // DLGTEMPLATEEX
  size_t pointSize;      // the point-size word
  size_t face;           // the first character of the face name
  size_t faceEnd;        // just after the face name's terminator
  WORD points;           // the point size stored
  WideString faceName;   // the face stored
};

// 1 when the template has DS_SETFONT and a complete font block.
int FindTemplateFont(const BYTE* data, size_t size, TemplateFontBlock* block);

// The template with the face replaced and the point size overwritten: the
// bytes up to the face, the new face, then the item templates, which start
// at the next DWORD boundary after the old face, placed at the next DWORD
// boundary after the new one (zero padding between). 0 (out untouched)
// when the template has no font block.
int ReplaceTemplateFont(const BYTE* data, size_t size, const wchar_t* face, WORD points,
                        std::vector<BYTE>& out);

// What the font choice depends on; installed answers 1 when a face is
// installed.
struct FontEnvironment {
  const wchar_t* messageFace;  // the system message font's face
  LONG messageHeight;          // its lfHeight
  int logPixelsY;              // of the screen
  int (*installed)(const wchar_t* face, void* user);
  void* user;
};

// 1 with the face and size to use instead of templateFace, 0 when the
// template's font stays. preferShellDlg2: take "MS Shell Dlg 2" at 8 points
// over a "Segoe UI" message font when it is installed.
int ChooseTemplateFont(const wchar_t* templateFace, const FontEnvironment& environment,
                       bool preferShellDlg2, WideString& face, WORD* points);

// The system's side: the message font from SPI_GETNONCLIENTMETRICS, the
// screen's LOGPIXELSY and the fonts enumerated on the screen. 1 with the
// substituted copy in out, 0 when the template stays as it is.
int SubstituteTemplateFont(const BYTE* data, size_t size, bool preferShellDlg2,
                           std::vector<BYTE>& out);
// 1 when EnumFontFamiliesExW on the screen finds the face (at most 31
// characters) with DEFAULT_CHARSET.
int FontFaceInstalled(const wchar_t* face, void* user = nullptr);
