#include "OvPaletteMenuCommon.h"

#include <gtest/gtest.h>

TEST(RemoveAmpersand, RemovesEveryAmpersandAndKeepsEverythingElse) {
  EXPECT_EQ(RemoveAmpersand(u"&Standard"), u"Standard");
  EXPECT_EQ(RemoveAmpersand(u"Stand&ard"), u"Standard");
  EXPECT_EQ(RemoveAmpersand(u"Save && Close"), u"Save  Close");
  EXPECT_EQ(RemoveAmpersand(u"&&&"), u"");
  EXPECT_EQ(RemoveAmpersand(u""), u"");
  EXPECT_EQ(RemoveAmpersand(u" A; b\u00e9&\U0001F600 "), u" A; b\u00e9\U0001F600 ");
}
