#include "ui/TemplateFont.h"

#include <cstring>
#include <cwchar>

namespace {

size_t AlignToDword(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

int ReadWord(const BYTE* data, size_t size, size_t offset, WORD* value) {
  if (offset + 2 > size) return 0;
  memcpy(value, data + offset, 2);
  return 1;
}

// Skips a zero-terminated string at offset; 1 with offset after the
// terminator.
int SkipString(const BYTE* data, size_t size, size_t* offset) {
  for (;;) {
    WORD c;
    if (!ReadWord(data, size, *offset, &c)) return 0;
    *offset += 2;
    if (c == 0) return 1;
  }
}

// The menu, class and title fields: 0xFFFF and an ordinal, or a
// zero-terminated string.
int SkipNameOrOrdinal(const BYTE* data, size_t size, size_t* offset) {
  WORD first;
  if (!ReadWord(data, size, *offset, &first)) return 0;
  if (first == 0xFFFF) {
    if (*offset + 4 > size) return 0;
    *offset += 4;
    return 1;
  }
  return SkipString(data, size, offset);
}

bool SameFace(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b) == 0; }

}  // namespace

int FindTemplateFont(const BYTE* data, size_t size, TemplateFontBlock* block) {
  if (!data || !block || size < 18) return 0;
  WORD signature;
  ReadWord(data, size, 2, &signature);
  bool extended = signature == 0xFFFF;
  size_t headerSize = extended ? 26 : 18;
  if (size < headerSize) return 0;
  DWORD style;
  memcpy(&style, data + (extended ? 12 : 0), 4);
  if (!(style & DS_SETFONT)) return 0;
  size_t offset = headerSize;
  for (int field = 0; field < 3; ++field) {
    if (!SkipNameOrOrdinal(data, size, &offset)) return 0;
  }
  size_t pointSize = offset;
  WORD points;
  if (!ReadWord(data, size, pointSize, &points)) return 0;
  size_t face = pointSize + (extended ? 6 : 2);  // weight, italic and charset in the extended block
  size_t faceEnd = face;
  if (!SkipString(data, size, &faceEnd)) return 0;
  WideString name;
  for (size_t at = face; at + 2 < faceEnd; at += 2) {
    WORD c;
    ReadWord(data, size, at, &c);
    if (!name.AppendChar(static_cast<wchar_t>(c))) return 0;
  }
  block->extended = extended;
  block->pointSize = pointSize;
  block->face = face;
  block->faceEnd = faceEnd;
  block->points = points;
  block->faceName = name.CStr();
  return 1;
}

int ReplaceTemplateFont(const BYTE* data, size_t size, const wchar_t* face, WORD points,
                        std::vector<BYTE>& out) {
  TemplateFontBlock block;
  if (!face || !FindTemplateFont(data, size, &block)) return 0;
  size_t faceBytes = (wcslen(face) + 1) * sizeof(wchar_t);
  size_t oldItems = AlignToDword(block.faceEnd);
  size_t newItems = AlignToDword(block.face + faceBytes);
  size_t rest = oldItems < size ? size - oldItems : 0;
  std::vector<BYTE> copy(newItems + rest, 0);
  memcpy(copy.data(), data, block.face);
  memcpy(copy.data() + block.pointSize, &points, 2);
  memcpy(copy.data() + block.face, face, faceBytes);
  if (rest) memcpy(copy.data() + newItems, data + oldItems, rest);
  out.swap(copy);
  return 1;
}

int ChooseTemplateFont(const wchar_t* templateFace, const FontEnvironment& environment,
                       bool preferShellDlg2, WideString& face, WORD* points) {
  if (!templateFace || !environment.messageFace || !points) return 0;
  if (!SameFace(templateFace, L"MS Sans Serif") && !SameFace(templateFace, L"MS Shell Dlg") &&
      !SameFace(templateFace, L"System")) {
    return 0;
  }
  const wchar_t* message = environment.messageFace;
  if (!SameFace(message, L"MS Sans Serif") && !SameFace(message, L"Tahoma") &&
      !SameFace(message, L"Segoe UI")) {
    return 0;
  }
  auto installed = [&](const wchar_t* name) {
    return environment.installed && environment.installed(name, environment.user);
  };
  if (preferShellDlg2 && SameFace(message, L"Segoe UI") && installed(L"MS Shell Dlg 2")) {
    face = L"MS Shell Dlg 2";
    *points = 8;
    return 1;
  }
  if (installed(message)) {
    // A positive lfHeight is a cell height; both signs give the size, and
    // a height that gives no size at all falls back to 8 points.
    LONG height = environment.messageHeight < 0 ? -environment.messageHeight
                                                : environment.messageHeight;
    int dpi = environment.logPixelsY > 0 ? environment.logPixelsY : 96;
    int size = MulDiv(height, 72, dpi);
    face = message;
    *points = static_cast<WORD>(size > 0 ? size : 8);
    return 1;
  }
  face = installed(L"MS Shell Dlg 2") ? L"MS Shell Dlg 2" : L"MS Shell Dlg";
  *points = 8;
  return 1;
}

namespace {

int CALLBACK CountFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  ++*reinterpret_cast<int*>(found);
  return 0;  // one is enough
}

}  // namespace

int FontFaceInstalled(const wchar_t* face, void*) {
  if (!face || !*face) return 0;
  LOGFONTW wanted = {};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
  HDC screen = GetDC(nullptr);
  if (!screen) return 0;
  int found = 0;
  EnumFontFamiliesExW(screen, &wanted, CountFont, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found > 0 ? 1 : 0;
}

int SubstituteTemplateFont(const BYTE* data, size_t size, bool preferShellDlg2,
                           std::vector<BYTE>& out) {
  TemplateFontBlock block;
  if (!FindTemplateFont(data, size, &block)) return 0;
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return 0;
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  FontEnvironment environment = {metrics.lfMessageFont.lfFaceName,
                                 metrics.lfMessageFont.lfHeight, dpi, FontFaceInstalled, nullptr};
  WideString face;
  WORD points = 0;
  if (!ChooseTemplateFont(block.faceName.CStr(), environment, preferShellDlg2, face, &points)) {
    return 0;
  }
  return ReplaceTemplateFont(data, size, face.CStr(), points, out);
}
