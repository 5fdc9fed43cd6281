#include "rtl/Resources.h"
#include "rtl/Exception.h"

#include <gtest/gtest.h>

TEST(Resources, EmbeddedBytesAreFoundThroughTheModulesInstanceHandle) {
  HINSTANCE Self = HInstance();
  ASSERT_NE(Self, nullptr);
  EXPECT_TRUE(HasResource(Self, u"TEST_BLOB"));
  auto Bytes = FindResourceData(Self, u"test_blob");
  ASSERT_EQ(Bytes.size(), 7u);
  EXPECT_EQ(Bytes[0], 'h');
  EXPECT_EQ(Bytes[5], 0);
  EXPECT_EQ(Bytes[6], 0xFF);
  // Another module (the runtime library) has its own table.
  EXPECT_NE(FindHInstance(reinterpret_cast<const void*>(&FindResourceData)), Self);
  EXPECT_FALSE(
      HasResource(FindHInstance(reinterpret_cast<const void*>(&FindResourceData)), u"TEST_BLOB"));
  try {
    FindResourceData(Self, u"MISSING");
    FAIL() << "a missing resource was found";
  } catch (const EResNotFound& E) {
    EXPECT_EQ(E.Message(), u"Resource MISSING not found");
  }
}
