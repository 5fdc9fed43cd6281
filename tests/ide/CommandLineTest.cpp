#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, CommandsCommentsAndTheRestOfTheLine) {
  TCommandLine L = SplitCommand("  open   P&alette > Other  \r\n");
  EXPECT_EQ(L.Command, "open");
  EXPECT_EQ(L.Rest, "P&alette > Other  ");
  EXPECT_EQ(SplitCommand("# a comment").Command, "");
  EXPECT_EQ(SplitCommand("   # indented comment").Command, "");
  EXPECT_EQ(SplitCommand("").Command, "");
  EXPECT_EQ(SplitCommand("echo #not a comment").Rest, "#not a comment");
}

TEST(CommandLine, QuotedArgumentsKeepBackslashesAndDoubledQuotes) {
  EXPECT_EQ(SplitArguments(R"(get "Software\Orvik\Palette Menu\Categories" Standard)"),
            (Args{"get", R"(Software\Orvik\Palette Menu\Categories)", "Standard"}));
  EXPECT_EQ(SplitArguments(R"(a "say ""hi""" "" b)"), (Args{"a", R"(say "hi")", "", "b"}));
  EXPECT_EQ(SplitArguments("  a\tb  "), (Args{"a", "b"}));
  EXPECT_EQ(SplitArguments(R"(a"b)"), (Args{R"(a"b)"})); // a quote inside a word is a character
  EXPECT_THROW(SplitArguments(R"(a "open)"), EShellSyntax);
  EXPECT_THROW(SplitArguments(R"("closed"x)"), EShellSyntax);
}

TEST(CommandLine, RestArgumentsUnquoteOnlyAWholeQuotedArgument) {
  EXPECT_EQ(RestArgument(R"("A > B")"), "A > B");
  EXPECT_EQ(RestArgument(R"("")"), "");
  EXPECT_EQ(RestArgument(R"("a" b)"), R"("a" b)");
  EXPECT_EQ(RestArgument(R"("unclosed)"), R"("unclosed)");
  EXPECT_EQ(RestArgument(R"(plain "text")"), R"(plain "text")");
  EXPECT_EQ(Quote(R"(say "hi")"), R"("say ""hi""")");
  EXPECT_EQ(SplitArguments(Quote(R"(x "" y)")), (Args{R"(x "" y)"}));
}

} // namespace
