// Writes the chart pages of two runs the way the program builds them, for
// the browser check (chart-check.js): both runs are stored in a fresh
// "Pellton.sql" in the current folder, the database is closed and opened
// again, and the Walking and Sleeping pages are built from what it holds.
// Beside the pages goes runs.json: each page's file, kind, the run's start,
// the stored pattern in hex, the title the page must show, and points whose
// tooltips the check reads, with the texts they must show. themes.json lists
// the same two pages in the light, dark and High Contrast colours (High
// Contrast as Windows' "High Contrast Black" sets the system colours).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/charts/ChartTheme.h"
#include "app/charts/DayChart.h"
#include "core/DateTime.h"
#include "tests/app/tracker/LinkTestSupport.h"

namespace {

const unsigned kWalkingStart = 1401606900u;   // 2014-06-01 07:15:00 UTC
const unsigned kSleepingStart = 1401577440u;  // 2014-05-31 23:04:00 UTC
// The same in the test command's zone, Europe/Berlin (summer time).
const SYSTEMTIME kWalkingLocal = {2014, 6, 0, 1, 9, 15, 0, 0};
const SYSTEMTIME kSleepingLocal = {2014, 6, 0, 1, 1, 4, 0, 0};

struct Tooltip {
  int series;
  int index;
  const char* text;
};

// A morning walk: 40 quarter hours, steps never 0 at either end, one quarter
// of 1.5 km and a stretch without steps.
Bytes WalkingPattern() {
  Bytes bytes;
  for (int i = 0; i < 40; ++i) {
    unsigned steps = (i >= 10 && i < 14) ? 0 : 100 + 37 * i;
    unsigned calories = i == 0 ? 45 : steps / 20;
    unsigned tens = i == 0 ? 63 : i == 5 ? 150 : steps / 14;
    for (unsigned v : {steps, calories, tens}) {
      bytes.push_back(static_cast<unsigned char>(v >> 8));
      bytes.push_back(static_cast<unsigned char>(v));
    }
  }
  return bytes;
}

// A night: one active period, then sleep with waking moments and a few
// undefined minutes.
Bytes SleepingPattern() {
  Bytes bytes = {0xAA, 0x1B};
  for (int i = 0; i < 118; ++i) bytes.push_back(i % 17 == 3 ? 0x44 : i % 29 == 5 ? 0xFF : 0x55);
  return bytes;
}

std::string HexText(const Bytes& bytes) {
  std::string out;
  char two[3];
  for (unsigned char b : bytes) {
    snprintf(two, sizeof two, "%02x", b);
    out += two;
  }
  return out;
}

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  return out;
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

int SaveFile(const wchar_t* name, const std::string& bytes) {
  FILE* file = _wfopen(name, L"wb");
  if (!file) return 0;
  size_t written = fwrite(bytes.data(), 1, bytes.size(), file);
  return fclose(file) == 0 && written == bytes.size();
}

// The title as the user's locale shows the run's local start.
std::string Title(const SYSTEMTIME& local) {
  WideString date, clock;
  if (!FormatDate(date, DATE_LONGDATE, &local, 0) ||
      !FormatTime(clock, TIME_NOSECONDS, &local, 0))
    return "";
  return Utf8(date.CStr()) + " " + Utf8(clock.CStr());
}

std::string RunJson(const char* file, const char* kind, unsigned start, const SYSTEMTIME& local,
                    const Bytes& pattern, const std::vector<Tooltip>& tooltips) {
  std::string json = "{\"file\":" + JsonText(file) + ",\"kind\":" + JsonText(kind) +
                     ",\"start\":" + std::to_string(start) + ",\"pattern\":" +
                     JsonText(HexText(pattern)) + ",\"title\":" + JsonText(Title(local)) +
                     ",\"tooltips\":[";
  for (size_t i = 0; i < tooltips.size(); ++i) {
    json += (i ? "," : "") + std::string("{\"series\":") + std::to_string(tooltips[i].series) +
            ",\"index\":" + std::to_string(tooltips[i].index) +
            ",\"text\":" + JsonText(tooltips[i].text) + "}";
  }
  return json + "]}";
}

int Fail(const char* what) {
  fprintf(stderr, "chart_page_writer: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  wchar_t folder[MAX_PATH];
  if (!GetCurrentDirectoryW(MAX_PATH, folder)) return Fail("no current folder");
  DeleteFileW(L"Pellton.sql");

  Bytes walking = WalkingPattern();
  Bytes sleeping = SleepingPattern();
  const wchar_t tracker[] = L"00:1A:7D:DA:71:13";
  {
    ActivityStore store;
    if (!store.Open(folder)) return Fail("cannot open Pellton.sql");
    ByteBuffer w, s;
    BufferAppend(w, walking.data(), walking.size());
    BufferAppend(s, sleeping.data(), sleeping.size());
    int stored = store.InsertRun(WalkingTable, tracker, kWalkingStart, w) &&
                 store.InsertRun(SleepingTable, tracker, kSleepingStart, s);
    BufferClear(w);
    BufferClear(s);
    if (!stored) return Fail("cannot store the runs");
  }

  ActivityStore store;
  if (!store.Open(folder)) return Fail("cannot open Pellton.sql again");
  WideString walkingPage, sleepingPage;
  int built = BuildWalkingPage(store, tracker, kWalkingStart, walkingPage) &&
              BuildSleepingPage(store, tracker, kSleepingStart, sleepingPage);
  store.Close();
  if (!built) return Fail("cannot build the pages");
  if (!SaveFile(L"walking.html", Utf8(walkingPage.CStr())) ||
      !SaveFile(L"sleeping.html", Utf8(sleepingPage.CStr())))
    return Fail("cannot write the pages");

  std::string runs =
      "[" +
      RunJson("walking.html", "walking", kWalkingStart, kWalkingLocal, walking,
              {{0, 0, "630 Meter"}, {0, 1, "90 Meter"}, {0, 5, "1.5 Kilometer"},
               {1, 0, "45 cal"}, {1, 20, "42 cal"}, {0, 39, "1.1 Kilometer"}}) +
      "," +
      RunJson("sleeping.html", "sleeping", kSleepingStart, kSleepingLocal, sleeping,
              {{0, 0, "Walking"}, {0, 4, "Awake"}, {0, 5, "Sleeping"}, {0, 7, "Unknown"},
               {0, 479, "Sleeping"}}) +
      "]\n";
  if (!SaveFile(L"runs.json", runs)) return Fail("cannot write runs.json");

  const struct {
    ColourScheme scheme;
    const char* name;
  } schemes[] = {{ColourSchemeLight, "light"}, {ColourSchemeDark, "dark"}, {ColourSchemeHighContrast, "contrast"}};
  std::string themes = "[";
  for (const auto& s : schemes) {
    const NativeChartColours colours =
        s.scheme == ColourSchemeHighContrast
            ? HighContrastChartColours(RGB(0, 0, 0), RGB(255, 255, 255), RGB(0x1A, 0xEB, 0xFF), RGB(255, 255, 0),
                                       RGB(0x3F, 0xF2, 0x3F))
            : ChartColoursFor(s.scheme);
    char background[8];
    snprintf(background, sizeof background, "#%02x%02x%02x", GetRValue(colours.background),
             GetGValue(colours.background), GetBValue(colours.background));
    for (const char* kind : {"walking", "sleeping"}) {
      WideString page(kind[0] == 'w' ? walkingPage : sleepingPage);
      if (!ApplyChartTheme(s.scheme, colours, page)) return Fail("cannot put the colours into a page");
      const std::string file = std::string(kind) + "-" + s.name + ".html";
      if (!SaveFile(std::wstring(file.begin(), file.end()).c_str(), Utf8(page.CStr()))) {
        return Fail("cannot write a coloured page");
      }
      themes += (themes.size() > 1 ? "," : "") + std::string("{\"file\":") + JsonText(file) +
                ",\"kind\":" + JsonText(kind) + ",\"scheme\":" + JsonText(s.name) +
                ",\"background\":" + JsonText(background) + "}";
    }
  }
  if (!SaveFile(L"themes.json", themes + "]\n")) return Fail("cannot write themes.json");
  printf("chart_page_writer: pages of %u and %u bytes written\n", walkingPage.Length(),
         sleepingPage.Length());
  return 0;
}
