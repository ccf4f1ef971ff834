#include "app/charts/ChartTheme.h"

#include "core/WideString.h"

namespace {

int AppendColour(WideString& out, COLORREF colour) {
  WideString text;
  return text.Format(L"'#%02x%02x%02x'", GetRValue(colour), GetGValue(colour), GetBValue(colour)) &&
         out.Append(text.CStr());
}

int AppendList(WideString& out, const COLORREF* colours, int count) {
  int ok = out.Append(L"[");
  for (int i = 0; i < count; ++i) ok = ok && (i == 0 || out.Append(L",")) && AppendColour(out, colours[i]);
  return ok && out.Append(L"]");
}

const wchar_t* SchemeName(ColourScheme scheme) {
  switch (scheme) {
    case ColourSchemeDark: return L"dark";
    case ColourSchemeHighContrast: return L"contrast";
    default: return L"light";
  }
}

// Inserts text after the first occurrence of tag; 1 when found.
int InsertAfter(WideString& page, const wchar_t* tag, const wchar_t* text) {
  const wchar_t* at = page.Find(tag);
  if (!at) return 0;
  const size_t offset = static_cast<size_t>(at - page.CStr()) + wcslen(tag);
  WideString out;
  return out.Assign(page.CStr(), static_cast<unsigned>(offset)) && out.Append(text) &&
         out.Append(page.CStr() + offset) && page.Assign(out);
}

}  // namespace

int ChartThemeScript(ColourScheme scheme, const NativeChartColours& c, WideString& out) {
  out.Assign(L"");
  int ok = out.Append(L"<script type=\"text/javascript\">var pelltonTheme = {scheme:'") &&
           out.Append(SchemeName(scheme)) && out.Append(L"',background:") && AppendColour(out, c.background) &&
           out.Append(L",text:") && AppendColour(out, c.text) && out.Append(L",grid:") &&
           AppendColour(out, c.grid) && out.Append(L",selection:") && AppendColour(out, c.selection) &&
           out.Append(L",series:") && AppendList(out, c.series, 4) && out.Append(L",bands:") &&
           AppendList(out, c.bands, 4) && out.Append(L"};</script>\n");
  if (!ok) out.Assign(L"");
  return ok;
}

int ApplyChartTheme(ColourScheme scheme, const NativeChartColours& colours, WideString& page) {
  WideString script, html;
  if (!page.Find(L"<html>") || !page.Find(L"<head>") || !ChartThemeScript(scheme, colours, script)) return 0;
  html.Format(L" class=\"pellton-%s\"", SchemeName(scheme));
  // "<html>" becomes "<html class=...>": the class goes in before the ">".
  const wchar_t* at = page.Find(L"<html>");
  const size_t offset = static_cast<size_t>(at - page.CStr()) + 5;
  WideString out;
  if (!out.Assign(page.CStr(), static_cast<unsigned>(offset)) || !out.Append(html.CStr()) ||
      !out.Append(page.CStr() + offset) || !page.Assign(out))
    return 0;
  return InsertAfter(page, L"<head>", script.CStr());
}

int ApplyCurrentChartTheme(WideString& page) {
  const ColourScheme scheme = CurrentColourScheme();
  return ApplyChartTheme(scheme, ChartColoursFor(scheme), page);
}
