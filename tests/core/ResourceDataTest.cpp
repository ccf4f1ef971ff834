// Resource lookup by language on resources of this test program that exist
// only in chosen languages (LanguageResources.rc).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/ResourceData.h"

namespace {

std::string Found(int id, WORD language) {
  const void* data = nullptr;
  DWORD size = 0;
  if (!LoadResourceData(GetModuleHandleW(nullptr), RT_RCDATA, MAKEINTRESOURCEW(id), language,
                        &data, &size)) {
    return "<none>";
  }
  return std::string(static_cast<const char*>(data), size);
}

const WORD PortugueseBrazil = 0x0416;
const WORD GermanAustria = 0x0C07;

TEST(ResourceDataTest, TheLanguagesAreTriedInTheirOrder) {
  WORD order[ResourceLanguageCount];
  ResourceLanguageOrder(0x0C07, order);
  const WORD expected[ResourceLanguageCount] = {0x0C07, 0x0407, 0x0007, 1033, 2057, 9, 1031};
  for (unsigned i = 0; i < ResourceLanguageCount; ++i) EXPECT_EQ(expected[i], order[i]) << i;
  ResourceLanguageOrder(0, order);
  EXPECT_EQ(0x0400, order[1]);
  EXPECT_EQ(0, order[2]);
}

TEST(ResourceDataTest, TheLanguageAskedForComesFirst) {
  EXPECT_EQ("pt", Found(906, PortugueseBrazil));
  EXPECT_EQ("de", Found(906, 1031));
}

TEST(ResourceDataTest, ThePrimaryLanguageWithItsDefaultSubLanguageFollows) {
  EXPECT_EQ("de", Found(900, GermanAustria));
}

TEST(ResourceDataTest, BritishEnglishComesBeforeNeutralEnglishAndGerman) {
  EXPECT_EQ("uk", Found(902, PortugueseBrazil));
  EXPECT_EQ("en", Found(903, PortugueseBrazil));
  EXPECT_EQ("de", Found(900, PortugueseBrazil));
}

TEST(ResourceDataTest, AnEmptyResourceCountsAsNotFound) {
  // 905 exists in US English, empty, and in British English.
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC empty = FindResourceExW(self, RT_RCDATA, MAKEINTRESOURCEW(905), 1033);
  ASSERT_TRUE(empty != nullptr);
  ASSERT_EQ(0u, SizeofResource(self, empty));
  EXPECT_EQ("uk", Found(905, 1033));
}

TEST(ResourceDataTest, AMissingResourceLeavesTheOutputsAlone) {
  const void* data = &data;
  DWORD size = 77;
  EXPECT_EQ(0, LoadResourceData(GetModuleHandleW(nullptr), RT_RCDATA, MAKEINTRESOURCEW(999), 0,
                                &data, &size));
  EXPECT_EQ(&data, data);
  EXPECT_EQ(77u, size);
}

}  // namespace
