#include "app/charts/DayChart.h"

#include "app/store/ActivityStore.h"
#include "app/charts/DayChartPage.h"
#include "core/ByteBuffer.h"
#include "core/CriticalSection.h"
#include "core/WideString.h"
#include "core/ResourceData.h"

namespace {

// Owns a pattern read from the store.
struct PatternHolder {
  ByteBuffer bytes;
};

typedef int (*PageBuilder)(const char*, size_t, const unsigned char*, size_t, unsigned,
                           WideString&, ChartPageLayout*);

// The resource templates never change while the module is loaded, so where
// their placeholders lie is found once (per template, and again should the
// template come from another module).
struct Layouts {
  CriticalSection lock;
  ChartPageLayout walking;
  ChartPageLayout sleeping;
};

Layouts& CachedLayouts() {
  static Layouts layouts;
  return layouts;
}

int BuildPage(int table, WORD templateId, PageBuilder build, ActivityStore& store,
              const wchar_t* address, unsigned start, WideString& out, HMODULE module) {
  out.Assign(L"");
  PatternHolder pattern;
  if (!store.ReadPattern(table, address, start, pattern.bytes)) return 0;
  const char* text = nullptr;
  size_t size = 0;
  if (!LoadChartTemplate(templateId, &text, &size, module)) return 0;
  Layouts& layouts = CachedLayouts();
  SectionLock hold(layouts.lock);
  return build(text, size, pattern.bytes.data, static_cast<size_t>(pattern.bytes.size), start,
               out, templateId == WalkingChartTemplate ? &layouts.walking : &layouts.sleeping);
}

}  // namespace

int LoadChartTemplate(WORD id, const char** text, size_t* size, HMODULE module) {
  if (!module) module = GetModuleHandleW(nullptr);
  const void* data = nullptr;
  DWORD bytes = 0;
  if (!LoadResourceData(module, MAKEINTRESOURCEW(ChartTemplateType), MAKEINTRESOURCEW(id),
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &data, &bytes))
    return 0;
  *text = static_cast<const char*>(data);
  *size = bytes;
  return 1;
}

int BuildWalkingPage(ActivityStore& store, const wchar_t* address, unsigned start, WideString& out,
                     HMODULE module) {
  return BuildPage(WalkingTable, WalkingChartTemplate, BuildWalkingChartPage, store,
                   address, start, out, module);
}

int BuildSleepingPage(ActivityStore& store, const wchar_t* address, unsigned start, WideString& out,
                      HMODULE module) {
  return BuildPage(SleepingTable, SleepingChartTemplate, BuildSleepingChartPage, store,
                   address, start, out, module);
}
