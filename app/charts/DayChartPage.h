// The day chart pages, built from a page template and one stored run.
//
// A template is a complete HTML page held as single-byte text in the
// system's ANSI code page. It names what the program fills in with
// placeholders: "***TITLE***", "***DATE***" and the data series,
// "***DATA_DISTANCE***" and "***DATA_CALORIES***" on the walking page,
// "***DATA***" on the sleeping page. Every occurrence of a placeholder is
// replaced; everything else is copied as it stands.
//
// The template is scanned for its placeholders once (ChartPageLayout); each
// page is then one pass that converts the template's pieces straight into
// an output of its final size, the filled-in texts put in between. Nothing
// here touches the database or the resources: the functions work on bytes
// handed in, so they can be checked on their own.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

class WideString;

// Writes a field's text straight into the page at out; answers the end.
typedef wchar_t* (*ChartTextWriter)(const void* context, wchar_t* out);

// One placeholder and the text that takes its place: a text, or (for the
// long data series) a writer that produces at most `length` code units
// straight into the page.
struct ChartPageField {
  const char* placeholder;  // with its asterisks, e.g. "***TITLE***"
  const wchar_t* text;
  ChartTextWriter write = nullptr;
  const void* context = nullptr;
  size_t length = 0;
};

// Where the placeholders lie in one template. A layout refers to the
// template's bytes, which must stay unchanged while it is used (the
// resource templates stay put for the whole process).
class ChartPageLayout {
public:
  // Finds every occurrence of the placeholders; 1/0 (allocation).
  int Scan(const char* pageTemplate, size_t templateSize, const ChartPageField* fields,
           int fieldCount);
  // Scanned from these bytes for this many fields.
  bool IsFor(const char* pageTemplate, size_t templateSize, int fieldCount) const {
    return text_ && text_ == pageTemplate && size_ == templateSize && fieldCount_ == fieldCount;
  }
  // The template with each placeholder replaced by the text of the field at
  // the same position as in Scan, converted with the ANSI code page. 1 on
  // success; 0 on a failed conversion or allocation, with out emptied.
  int Fill(const ChartPageField* fields, int fieldCount, WideString& out) const;

private:
  struct Hit {
    size_t offset;
    int field;
  };
  const char* text_ = nullptr;
  size_t size_ = 0;
  int fieldCount_ = 0;
  std::vector<size_t> lengths_;  // of each placeholder
  std::vector<Hit> hits_;
};

// Scan and Fill in one call, for a template used once.
int FillChartPage(const char* pageTemplate, size_t templateSize, const ChartPageField* fields,
                  int fieldCount, WideString& out);

// The walking series of a pattern of 6-byte quarter-hour records (step
// count, calories, distance in 10 m, each 2 bytes big-endian): calories and
// metres as decimal lists joined by "," ("" for no complete record). Bytes
// after the last complete record are ignored. 1/0 (allocation).
int WalkingSeries(const unsigned char* pattern, size_t size, WideString& distance,
                  WideString& calories);
// The sleeping series: four levels per byte (bits 7-6 first, one per
// minute), each shown as its chart value: 0 awake 45, 1 asleep 15,
// 2 walking 75, 3 undefined 95. 1/0 (allocation).
int SleepingSeries(const unsigned char* pattern, size_t size, WideString& data);
// The same series as page fields written straight into the page (the
// pattern must outlive the fields).
struct ChartPattern {
  const unsigned char* bytes;
  size_t size;
};
ChartPageField WalkingDistanceField(const ChartPattern& pattern);
ChartPageField WalkingCaloriesField(const ChartPattern& pattern);
ChartPageField SleepingDataField(const ChartPattern& pattern);

// "year,month-1,day,hour,minute,second" of a calendar time, for the charts'
// Date.UTC(...) start.
int ChartDateText(const SYSTEMTIME& time, WideString& out);
// The chart title: the long date, one space, the time without seconds, in
// the user's locale, written as ChartScriptText writes it.
int ChartTitleText(const SYSTEMTIME& time, WideString& out);
// Text as it can stand inside the page's single-quoted script strings: a
// backslash before every backslash and quote, so that a locale whose dates
// hold an apostrophe cannot end the string early and stop the chart; line
// breaks (CR, LF, U+2028, U+2029) and "<" as escapes, so that a date format
// of the user's own cannot break the string or end the script block.
int ChartScriptText(const wchar_t* text, WideString& out);

// The two pages for a run starting at `start` (Unix seconds, UTC; shown in
// local time). out is emptied first and holds the page only on success.
// layout: the template's scanned layout to reuse (none: scanned here); one
// made for another template is scanned again.
int BuildWalkingChartPage(const char* pageTemplate, size_t templateSize,
                          const unsigned char* pattern, size_t patternSize, unsigned start,
                          WideString& out, ChartPageLayout* layout = nullptr);
int BuildSleepingChartPage(const char* pageTemplate, size_t templateSize,
                           const unsigned char* pattern, size_t patternSize, unsigned start,
                           WideString& out, ChartPageLayout* layout = nullptr);
