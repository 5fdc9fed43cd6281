#include "OvPaletteMenuCommon.h"

#include "rtl/Exception.h"
#include "rtl/StringList.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

TEST(RemoveAmpersand, RemovesEveryAmpersandAndKeepsEverythingElse) {
  EXPECT_EQ(RemoveAmpersand(u"&Standard"), u"Standard");
  EXPECT_EQ(RemoveAmpersand(u"Stand&ard"), u"Standard");
  EXPECT_EQ(RemoveAmpersand(u"Save && Close"), u"Save  Close");
  EXPECT_EQ(RemoveAmpersand(u"&&&"), u"");
  EXPECT_EQ(RemoveAmpersand(u""), u"");
  EXPECT_EQ(RemoveAmpersand(u" A; b\u00e9&\U0001F600 "), u" A; b\u00e9\U0001F600 ");
}

namespace {
// Two classes that publish "Caption", each its own way.
class TCaptioned : public TPersistent {
public:
  explicit TCaptioned(UnicodeString AText) : Text(std::move(AText)) {}
  UnicodeString Text;
  static TClassInfo& Info() {
    static TClassInfo I = TClassBuilder<TCaptioned>(u"TCaptioned", &TPersistent::StaticClass())
                              .Str(
                                  u"Caption", [](const TCaptioned& C) { return C.Text; },
                                  [](TCaptioned& C, const UnicodeString& V) { C.Text = V; });
    return I;
  }
  const TClassInfo& ClassType() const override { return Info(); }
};
class TTitled : public TPersistent {
public:
  explicit TTitled(UnicodeString ATitle) : Title(std::move(ATitle)) {}
  UnicodeString Title;
  static TClassInfo& Info() {
    static TClassInfo I =
        TClassBuilder<TTitled>(u"TTitled", &TPersistent::StaticClass())
            .Str(
                u"Caption", [](const TTitled& T) { return u"[" + T.Title + u"]"; },
                [](TTitled& T, const UnicodeString& V) { T.Title = V; });
    return I;
  }
  const TClassInfo& ClassType() const override { return Info(); }
};
} // namespace

// Objects of several classes in any order each answer their own caption, also after a class
// changed its properties between two reads; nil and a class without the property are refused.
TEST(CaptionReader, ReadsEachObjectThroughItsOwnClass) {
  TCaptioned A(u"alpha"), B(u"beta");
  TTitled T(u"tee");
  TOvCaptionReader Reader;
  std::vector<UnicodeString> Read;
  for (const TObject* O : std::initializer_list<const TObject*>{&A, &B, &T, &A, &T, &T, &B})
    Read.push_back(Reader.Read(O));
  EXPECT_EQ(Read, (std::vector<UnicodeString>{u"alpha", u"beta", u"[tee]", u"alpha", u"[tee]",
                                              u"[tee]", u"beta"}));

  // The property goes, another takes its place in the class, and it comes back as yet another
  // one: the reader looks it up again each time.
  EXPECT_EQ(Reader.Read(&T), u"[tee]");
  TPropInfo Kept = *TTitled::Info().FindProp(u"Caption");
  ASSERT_TRUE(TTitled::Info().RemoveProp(u"Caption"));
  TPropInfo Title = Kept;
  Title.Name = u"Title";
  TTitled::Info().AddProp(std::move(Title));
  EXPECT_THROW(Reader.Read(&T), EPropertyError);
  ASSERT_TRUE(TTitled::Info().RemoveProp(u"Title"));
  TPropInfo Other = Kept;
  Other.GetStr = [](const TObject& O) {
    return u"<" + static_cast<const TTitled&>(O).Title + u">";
  };
  TTitled::Info().AddProp(std::move(Other));
  EXPECT_EQ(Reader.Read(&T), u"<tee>");
  ASSERT_TRUE(TTitled::Info().RemoveProp(u"Caption"));
  TTitled::Info().AddProp(std::move(Kept));
  EXPECT_EQ(Reader.Read(&T), u"[tee]");

  try {
    Reader.Read(nullptr);
    FAIL() << "the caption of nil was read";
  } catch (const EPropertyError& E) {
    EXPECT_EQ(E.Message(), u"Cannot read property Caption of nil");
  }
  TStringList NoCaption;
  EXPECT_THROW(Reader.Read(&NoCaption), EPropertyError);
}
