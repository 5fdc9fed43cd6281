// The command interpreter as the front ends use it: the hooks it installs, and what it reports
// a command left open.
#include "Interpreter.h"

#include "Ide.h"
#include "Startup.h"

#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Menus.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Help > About, which shows a message of the IDE's own.
void ShowAbout(THostIde& Ide) {
  Ide.MainMenu()->Items()->Find(u"&Help")->Find(u"&About...")->Click();
}

TEST(MessageHandlerScope, MessagesGoToTheInnermostHandlerUntilItsScopeEnds) {
  THostIde Ide;
  std::string Seen;
  ShowAbout(Ide); // no handler: the message goes nowhere, and nothing fails
  {
    TMessageHandlerScope Outer(Ide, [&](const UnicodeString&) { Seen += "outer "; });
    ShowAbout(Ide);
    {
      TMessageHandlerScope Inner(Ide, [&](const UnicodeString&) { Seen += "inner "; });
      ShowAbout(Ide);
    }
    ShowAbout(Ide);
    // Ending out of order is a mistake: debug builds stop there, other builds take only the
    // ending scope's handler away.
    auto Later = std::make_unique<TMessageHandlerScope>(
        Ide, [&](const UnicodeString&) { Seen += "later "; });
    {
      TMessageHandlerScope Between(Ide, [&](const UnicodeString&) { Seen += "between "; });
#ifdef NDEBUG
      Later.reset();
#else
      EXPECT_DEATH(Later.reset(), "hook scopes end in the reverse order of their start");
#endif
      ShowAbout(Ide);
    }
    Later.reset(); // in order now, in debug builds
    ShowAbout(Ide);
  }
  ShowAbout(Ide);
  EXPECT_EQ(Seen, "outer inner outer between outer ");
}

class InterpreterTest : public ::testing::Test {
protected:
  InterpreterTest() {
    StartIde(Ide, TStartOptions{}, [](const std::function<void()>& Step) { Step(); });
  }
  // Runs Script through a fresh interpreter with its hooks installed; answers its output.
  std::string Run(const std::string& Script) {
    std::istringstream In(Script);
    TStreamLineReader Reader(In);
    std::ostringstream Out;
    TCommandInterpreter I(Ide, Reader, Out, false);
    TInterpreterHooks Hooks(I);
    I.Run();
    Last = I.Opened();
    return Out.str();
  }

  THostIde Ide;
  TOpenedMenu Last;
};

TEST_F(InterpreterTest, ItsHooksEndWithItAndPutTheFrontEndsOnesBack) {
  std::string Window;
  TMessageHandlerScope WindowMessages(Ide, [&](const UnicodeString&) { Window += "message "; });
  TModalRunnerScope WindowForms([&](TCustomForm&) {
    Window += "form ";
    return mrCancel;
  });
  // While the interpreter runs, the About box and the editor are its own.
  EXPECT_EQ(
      Run("pick &Help > &About...\npick P&alette > Edit Categories...\ncancel\n").substr(0, 13),
      "hostide: a st");
  EXPECT_EQ(Window, "");
  // Afterwards nothing points at the interpreter that is gone.
  ShowAbout(Ide);
  Ide.MainMenu()->Items()->Find(u"P&alette")->Click();
  Ide.MainMenu()->Items()->Find(u"P&alette")->Find(u"Edit Categories...")->Click();
  EXPECT_EQ(Window, "message form ");
}

TEST_F(InterpreterTest, TheLastCommandsMenuIsReportedAsValues) {
  Run("open &Help\n");
  ASSERT_EQ(Last.Kind, TOpenedMenu::MainMenuEntry);
  EXPECT_EQ(Last.Entry, Ide.MainMenu()->Items()->Find(u"&Help"));

  Run("open @button\n");
  ASSERT_EQ(Last.Kind, TOpenedMenu::ButtonMenu);
  EXPECT_EQ(Last.Button->Name(), u"tbPalette");
  EXPECT_EQ(Last.Popup, Last.Button->DropdownMenu());

  // A later command that opens nothing leaves nothing open; so does a failing one.
  Run("open &Help\necho done\n");
  EXPECT_EQ(Last.Kind, TOpenedMenu::None);
  Run("open &Help\nopen &Nothing\n");
  EXPECT_EQ(Last.Kind, TOpenedMenu::None);
  // The editor's commands leave the menu that opened the form alone.
  Run("open P&alette\npick P&alette > Edit Categories...\ngrid\ncancel\n");
  EXPECT_EQ(Last.Kind, TOpenedMenu::None);
}

TEST_F(InterpreterTest, APathStepMatchesTheItemsThatShow) {
  // A category named as the main menu's invisible placeholder, and one named as the last item.
  Run("reg set \"Software\\Orvik\\Palette Menu\\Categories\" Standard Hidden\n"
      "reg set \"Software\\Orvik\\Palette Menu\\Categories\" Win32 \"Edit Categories...\"\n");
  EXPECT_EQ(Run("pick P&alette > Hidden > Standard\npalette\n").find("error"), std::string::npos);
  EXPECT_EQ(Run("pick P&alette > Hidden > Win32\n"),
            "error: P&alette > Hidden has no item \"Win32\"\n");
  EXPECT_EQ(Run("pick @button > Edit Categories...\n"),
            "error: 2 items of @button match \"Edit Categories...\": \"Edit Categories...\" "
            "(item 1, a sub-menu), \"Edit Categories...\" (item 5)\n");
  // Without the category, only the placeholder matches: hidden. No match at all: missing.
  Run("reg delete \"Software\\Orvik\\Palette Menu\\Categories\" Standard\n"
      "reg delete \"Software\\Orvik\\Palette Menu\\Categories\" Win32\n");
  EXPECT_EQ(Run("pick P&alette > Hidden > Standard\n"),
            "error: The item \"Hidden\" of P&alette is hidden\n");
  EXPECT_EQ(Run("pick &Help > &Nothing\n"), "error: &Help has no item \"&Nothing\"\n");
}

} // namespace
