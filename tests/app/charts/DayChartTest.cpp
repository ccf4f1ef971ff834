// Chart pages of runs stored in a real database file, built with the page
// templates from this program's own resources.
#include <gtest/gtest.h>

#include <string>

#include "app/store/ActivityStore.h"
#include "app/charts/DayChart.h"
#include "app/charts/NativeDayChart.h"
#include "tests/app/tracker/LinkTestSupport.h"
#include "tests/common/TempFolder.h"

namespace {

const unsigned kStart = 1401580800u;  // 2014-06-01 00:00:00 UTC

std::string Narrow(const WideString& text) {
  std::string out;
  for (const wchar_t* p = text.CStr(); *p; ++p) out.push_back(*p < 0x80 ? char(*p) : '?');
  return out;
}

struct ChartFixture : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(1, store.Open(folder.Path().c_str()));
  }
  void Store(int table, unsigned start, const Bytes& bytes) {
    ByteBuffer buffer;
    BufferAppend(buffer, bytes.data(), bytes.size());
    ASSERT_EQ(1, store.InsertRun(table, kTracker, start, buffer));
    BufferClear(buffer);
  }

  TempFolder folder;
  ActivityStore store;
  const wchar_t* kTracker = L"00:1A:7D:DA:71:13";
};

}  // namespace

TEST(ChartTemplates, BothTemplatesAreCompleteAsciiPagesWithTheirPlaceholdersOnce) {
  struct {
    WORD id;
    const char* placeholders[4];
  } pages[2] = {
      {WalkingChartTemplate,
       {"***TITLE***", "***DATE***", "***DATA_DISTANCE***", "***DATA_CALORIES***"}},
      {SleepingChartTemplate, {"***TITLE***", "***DATE***", "***DATA***", nullptr}}};
  for (const auto& page : pages) {
    const char* text = nullptr;
    size_t size = 0;
    ASSERT_EQ(1, LoadChartTemplate(page.id, &text, &size)) << page.id;
    std::string html(text, size);
    EXPECT_EQ(0u, html.find("<!DOCTYPE html>"));
    EXPECT_NE(std::string::npos, html.find("charset=utf-8"));
    EXPECT_NE(std::string::npos, html.find("jQuery JavaScript Library v1.8.2"));
    EXPECT_NE(std::string::npos, html.find("Highcharts JS v4.2.7"));
    EXPECT_NE(std::string::npos, html.find("Client side exporting module"));
    EXPECT_NE(std::string::npos, html.find("fallbackToExportServer: false"));
    EXPECT_NE(std::string::npos, html.find("<div id=\"chart\"></div>"));
    EXPECT_EQ(std::string::npos, html.find("<script src"));
    EXPECT_EQ(std::string::npos, html.find("#inline"));
    for (const char* name : page.placeholders) {
      if (!name) continue;
      size_t at = html.find(name);
      EXPECT_NE(std::string::npos, at) << name;
      EXPECT_EQ(std::string::npos, html.find(name, at + 1)) << name;
    }
    size_t wide = 0;
    for (char c : html) wide += (static_cast<unsigned char>(c) >= 0x80);
    EXPECT_EQ(0u, wide) << page.id;
  }
  const char* text = nullptr;
  size_t size = 0;
  EXPECT_EQ(0, LoadChartTemplate(117, &text, &size));
}

TEST_F(ChartFixture, AStoredWalkingRunBecomesAFilledPage) {
  Store(WalkingTable, kStart, Hex("000C 002D 003F 0000 0000 0000 0100 0010 0096"));
  WideString page;
  ASSERT_EQ(1, BuildWalkingPage(store, kTracker, kStart, page));
  std::string html = Narrow(page);
  EXPECT_EQ(0u, html.find("<!DOCTYPE html>"));
  EXPECT_NE(std::string::npos, html.find("data: [630,0,1500]"));
  EXPECT_NE(std::string::npos, html.find("data: [45,0,16]"));
  // Europe/Berlin: summer time in June, winter time in December (below).
  EXPECT_NE(std::string::npos, html.find("pointStart: Date.UTC(2014,5,1,2,0,0)"));
  for (const char* name : {"***TITLE***", "***DATE***", "***DATA"})
    EXPECT_EQ(std::string::npos, html.find(name)) << name;
  const char* text = nullptr;
  size_t size = 0;
  ASSERT_EQ(1, LoadChartTemplate(WalkingChartTemplate, &text, &size));
  EXPECT_GT(page.Length(), size - 80);
  EXPECT_LT(page.Length(), size + 80);
  Store(WalkingTable, 1417392000u, Hex("0000 0000 0000"));
  ASSERT_EQ(1, BuildWalkingPage(store, kTracker, 1417392000u, page));
  EXPECT_NE(std::string::npos, Narrow(page).find("pointStart: Date.UTC(2014,11,1,1,0,0)"));
}

TEST_F(ChartFixture, AStoredSleepingRunBecomesAFilledPage) {
  Store(SleepingTable, kStart, Hex("AA 1B"));
  WideString page;
  ASSERT_EQ(1, BuildSleepingPage(store, kTracker, kStart, page));
  std::string html = Narrow(page);
  EXPECT_NE(std::string::npos, html.find("data: [75,75,75,75,45,15,75,95]"));
  EXPECT_NE(std::string::npos, html.find("pointInterval: 60000"));
  for (const char* name : {"***TITLE***", "***DATE***", "***DATA"})
    EXPECT_EQ(std::string::npos, html.find(name)) << name;
}

TEST_F(ChartFixture, NoRunNoTrackerOrTheOtherTableLeavesThePageEmpty) {
  Store(WalkingTable, kStart, Hex("0001 0001 0001"));
  WideString page(L"previous page");
  EXPECT_EQ(0, BuildWalkingPage(store, kTracker, kStart + 1, page));
  EXPECT_STREQ(L"", page.CStr());
  page.Assign(L"previous page");
  EXPECT_EQ(0, BuildSleepingPage(store, kTracker, kStart, page));
  EXPECT_STREQ(L"", page.CStr());
  page.Assign(L"previous page");
  EXPECT_EQ(0, BuildWalkingPage(store, L"C4:4F:33:0A:1B:2C", kStart, page));
  EXPECT_STREQ(L"", page.CStr());
  page.Assign(L"previous page");
  EXPECT_EQ(0, BuildWalkingPage(store, nullptr, kStart, page));
  EXPECT_STREQ(L"", page.CStr());
  EXPECT_EQ(1, BuildWalkingPage(store, kTracker, kStart, page));
}

// A night across the spring change of the clock in the test command's zone
// (Europe/Berlin, 29 March 2026: 02:00 CET becomes 03:00 CEST) keeps the
// native chart's clock on the local time, as the table shows it.
TEST(NativeDayChartClock, TheClockReadsTheLocalTimeAcrossAChangeOfTheClock) {
  const unsigned start = 1774744200u;  // 2026-03-29 00:30 UTC, 01:30 CET
  const unsigned char night[60] = {};  // four minutes a byte: four hours
  NativeChartData data;
  ASSERT_EQ(1, SleepingNativeChart(night, sizeof night, start, data));
  NativeChart chart;
  chart.SetData(data);
  EXPECT_EQ(std::string("1:30"), Narrow(chart.ClockText(0)));
  EXPECT_EQ(std::string("3:30"), Narrow(chart.ClockText(3600)));  // 01:30 UTC
  EXPECT_EQ(std::string("5:00"), Narrow(chart.ClockText(2 * 3600 + 1800)));
}
