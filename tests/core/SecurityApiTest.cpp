#include "core/SecurityApi.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/core/FakeApiLibrary.h"

namespace {

TEST(SecurityApiTest, WithoutTextTheDescriptorIs20BytesWithANullAccessList) {
  SecurityApi security;
  DWORD size = 0;
  PSECURITY_DESCRIPTOR descriptor = security.BuildDescriptor(nullptr, &size);
  ASSERT_NE(nullptr, descriptor);
  EXPECT_EQ(20u, size);
  EXPECT_TRUE(IsValidSecurityDescriptor(descriptor));
  EXPECT_EQ(20u, GetSecurityDescriptorLength(descriptor));
  BOOL present = FALSE;
  BOOL defaulted = TRUE;
  PACL dacl = reinterpret_cast<PACL>(1);
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_EQ(nullptr, dacl);  // present but null: everybody has access
  EXPECT_FALSE(defaulted);
  free(descriptor);
}

TEST(SecurityApiTest, TextIsConvertedIntoAHeapCopy) {
  SecurityApi security;
  DWORD size = 0;
  PSECURITY_DESCRIPTOR descriptor = security.BuildDescriptor(L"D:(A;;GA;;;WD)", &size);
  ASSERT_NE(nullptr, descriptor);
  EXPECT_TRUE(IsValidSecurityDescriptor(descriptor));
  EXPECT_EQ(GetSecurityDescriptorLength(descriptor), size);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  ASSERT_NE(nullptr, dacl);
  EXPECT_EQ(1, dacl->AceCount);
  free(descriptor);
}

TEST(SecurityApiTest, TextThatIsNotADescriptorGivesNone) {
  SecurityApi security;
  EXPECT_EQ(nullptr, security.BuildDescriptor(L"this is not a descriptor"));
}

TEST(SecurityApiTest, WithoutTheSecurityFunctionsThereIsNoDescriptor) {
  SecurityApi security;
  EXPECT_EQ(0, security.SetSecurityLibraryName(L"pellton-no-such-library.dll"));
  EXPECT_EQ(nullptr, security.BuildDescriptor(nullptr));
  EXPECT_EQ(nullptr, security.BuildDescriptor(L"D:(A;;GA;;;WD)"));
  // A library without them.
  EXPECT_EQ(1, security.SetSecurityLibraryName(FakeApiPath().c_str()));
  EXPECT_EQ(nullptr, security.BuildDescriptor(nullptr));
  SECURITY_ATTRIBUTES attributes;
  EXPECT_EQ(0, security.MakeAttributes(nullptr, &attributes, TRUE));
  EXPECT_EQ(nullptr, attributes.lpSecurityDescriptor);
}

TEST(SecurityApiTest, AttributesCarryTheDescriptorAndTheInheritFlag) {
  SecurityApi security;
  SECURITY_ATTRIBUTES attributes = {};
  ASSERT_EQ(1, security.MakeAttributes(nullptr, &attributes, TRUE));
  EXPECT_EQ(sizeof(SECURITY_ATTRIBUTES), attributes.nLength);
  EXPECT_TRUE(attributes.bInheritHandle);
  ASSERT_NE(nullptr, attributes.lpSecurityDescriptor);
  // Usable for a real object.
  HANDLE event = CreateEventW(&attributes, TRUE, FALSE, nullptr);
  EXPECT_NE(nullptr, event);
  if (event) CloseHandle(event);
  free(attributes.lpSecurityDescriptor);
  EXPECT_EQ(0, security.MakeAttributes(nullptr, nullptr, FALSE));
}

}  // namespace
