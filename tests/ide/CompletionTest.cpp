// Tab completion of command lines on the live model: commands, menu paths, tool buttons, palette
// tabs, registry keys and values, files; and that completing changes nothing.
#include "Completion.h"
#include "Commands_p.h"
#include "Interpreter.h"

#include "Ide.h"
#include "Startup.h"

#include "rtl/RegFile.h"
#include "rtl/RegistryHive.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Menus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string CategoriesKey = "\"Software\\Orvik\\Palette Menu\\Categories\"";

// Reads no line: the tests call the completion directly.
class TNoLines : public TLineReader {
public:
  bool ReadLine(std::string&, const std::string&) override { return false; }
};

class CompletionTest : public ::testing::Test {
protected:
  CompletionTest() : Interpreter(Ide, NoLines, Out, false), Hooks(Interpreter) {
    // The tests of this program share one hive: each starts from an empty one.
    OpenCurrentUserHive()->DeleteKey(u"Software");
    StartIde(Ide, TStartOptions{}, [](const std::function<void()>& Step) { Step(); });
  }

  // Runs a command as the shell does; answers what it printed.
  std::string Run(const std::string& Line) {
    Out.str("");
    Interpreter.Execute(Line);
    return Out.str();
  }
  // The line as one Tab leaves it.
  std::string Completed(const std::string& Line) {
    const TCompletion C = CompleteLine(Interpreter, Line);
    return Line.substr(0, C.Start) + C.Replacement();
  }
  // What two Tabs list.
  std::vector<std::string> Listed(const std::string& Line) {
    std::vector<std::string> Shown;
    for (const TCandidate& C : CompleteLine(Interpreter, Line).Candidates)
      Shown.push_back(C.Shown);
    return Shown;
  }

  THostIde Ide;
  TNoLines NoLines;
  std::ostringstream Out;
  TCommandInterpreter Interpreter;
  TInterpreterHooks Hooks;
};

using Words = std::vector<std::string>;

// The arguments of a line being typed are the ones the command will read once it is run: the
// partial reading agrees with the shell's own on every line that the shell accepts, and reads
// an unclosed quote as the argument being typed.
TEST(PartialArguments, AgreeWithTheShellsReadingOfTheWholeLine) {
  for (const std::string Text :
       {"", " ", "a", "a b", "a  b ", "\ta\tb", "\"a b\"", "\"a b\" c", "\"\"", "x \"\" ",
        "\"say \"\"hi\"\"\"", "C:\\Path\\ \"x\"", "\"a\"\"\" b", "a\"b c\""}) {
    const commands::TPartialArguments P = commands::SplitPartialArguments(Text);
    ASSERT_TRUE(P.Valid) << Text;
    std::vector<std::string> Read = P.Done;
    if (!P.Typed.empty() || P.Quoted)
      Read.push_back(P.Typed);
    EXPECT_EQ(Read, SplitArguments(Text)) << Text;
    // The argument being typed starts where its text does.
    if (!P.Typed.empty()) {
      EXPECT_EQ(Text.substr(P.Start, 1), P.Quoted ? "\"" : P.Typed.substr(0, 1)) << Text;
    }
  }
  const commands::TPartialArguments Open = commands::SplitPartialArguments("get \"Software\\Or");
  EXPECT_EQ(Open.Done, (std::vector<std::string>{"get"}));
  EXPECT_TRUE(Open.Quoted);
  EXPECT_EQ(Open.Typed, "Software\\Or");
  EXPECT_EQ(Open.Start, 4u);
  EXPECT_FALSE(commands::SplitPartialArguments("\"a\"b").Valid);
}

TEST_F(CompletionTest, CommandNamesAndTheirSubCommands) {
  EXPECT_EQ(Completed("pi"), "pick ");
  EXPECT_EQ(Completed("  reg l"), "  reg list ");
  EXPECT_EQ(Completed("tab co"), "tab collapse ");
  EXPECT_EQ(Completed("help pi"), "help pick ");
  EXPECT_EQ(Completed("ide b"), "ide break ");
  EXPECT_EQ(Completed("ide break toolbar-cl"), "ide break toolbar-class ");
  // Ambiguous: the line keeps its common beginning, and the candidates are listed.
  EXPECT_EQ(Completed("p"), "p");
  EXPECT_EQ(Listed("p"), (Words{"pick", "press", "palette", "packages"}));
  EXPECT_EQ(Completed("tab r"), "tab re");
  EXPECT_EQ(Listed("tab r"), (Words{"remove", "rename"}));
  EXPECT_EQ(Listed("reg "), (Words{"get", "set", "delete", "list", "export", "import"}));
  // The editor's commands are not offered outside the editor.
  EXPECT_EQ(Listed("se"), Words{});
}

TEST_F(CompletionTest, WhileTheEditorRunsOnlyItsCommandsAreOffered) {
  // A reader that asks for completions at the editor's prompt, then cancels the editor.
  struct TAsking : TLineReader {
    std::function<void()> Ask;
    bool ReadLine(std::string& Line, const std::string& Prompt) override {
      if (Prompt != "editor> ")
        return false;
      Ask();
      Line = "cancel";
      return true;
    }
  } Reader;
  std::ostringstream EditorOut;
  TCommandInterpreter Editor(Ide, Reader, EditorOut, false);
  TInterpreterHooks EditorHooks(Editor);
  std::vector<std::string> Seen, Hidden;
  Reader.Ask = [&] {
    for (const TCandidate& C : CompleteLine(Editor, "s").Candidates)
      Seen.push_back(C.Shown);
    for (const TCandidate& C : CompleteLine(Editor, "pi").Candidates)
      Hidden.push_back(C.Shown);
  };
  Editor.Execute("pick P&alette > Edit Categories...");
  EXPECT_EQ(Seen, (Words{"set", "select"}));
  EXPECT_EQ(Hidden, Words{});
}

TEST_F(CompletionTest, MenuPathsAreTheItemsAUserSeesMatchedAsPickMatches) {
  Run("reg set " + CategoriesKey + " Standard Common;VCL");
  Run("reg set " + CategoriesKey + " Additional VCL");
  // "&" markers and letter case do not count; the caption is written as it stands, and a
  // sub-menu's path goes on with " > ".
  EXPECT_EQ(Completed("pick pal"), "pick P&alette > ");
  EXPECT_EQ(Completed("pick p&AL"), "pick P&alette > ");
  EXPECT_EQ(Completed("pick PALETTE > v"), "pick PALETTE > VCL > ");
  EXPECT_EQ(Completed("pick P&alette > VCL > ad"), "pick P&alette > VCL > Additional");
  EXPECT_EQ(Completed("pick P&alette > VCL >"), "pick P&alette > VCL > ");
  // Captions with blanks, typed in part with their blanks.
  EXPECT_EQ(Completed("pick P&alette > edit c"), "pick P&alette > Edit Categories...");
  EXPECT_EQ(Completed("pick &View > &collapse a"), "pick &View > &Collapse All Categories");
  EXPECT_EQ(Completed("pick P&alette > Other > COM & a"), "pick P&alette > Other > COM & ActiveX");
  // The hidden placeholder and the separator line are not offered.
  EXPECT_EQ(Listed("pick P&alette > "), (Words{"Common", "Other", "VCL", "Edit Categories..."}));
  // A path begun with a quote stays quoted, and is closed after an item that is no sub-menu.
  EXPECT_EQ(Completed("pick \"P&alette > Co"), "pick \"P&alette > Common > ");
  EXPECT_EQ(Completed("pick \"P&alette > Common > st"), "pick \"P&alette > Common > Standard\"");
  // The button's menu, by @button or by the button's name.
  EXPECT_EQ(Listed("pick @"), (Words{"@button", "@tbPalette"}));
  EXPECT_EQ(Completed("pick @tbp"), "pick @tbPalette > ");
  EXPECT_EQ(Completed("pick @button > v"), "pick @button > VCL > ");
  EXPECT_EQ(Completed("pick @button > VCL > st"), "pick @button > VCL > Standard");
  // open takes one entry of the main menu, or a button.
  EXPECT_EQ(Completed("open pa"), "open P&alette");
  EXPECT_EQ(Listed("open p"), (Words{"&Project", "P&alette"}));
  EXPECT_EQ(Completed("open @b"), "open @button");
  EXPECT_EQ(Listed("open P&alette > "), Words{});
  // The completed lines do what they say.
  EXPECT_EQ(Run(Completed("pick P&alette > VCL > ad")), "");
  EXPECT_NE(Run("palette").find("\n- Additional"), std::string::npos);
}

TEST_F(CompletionTest, MenuPathsFollowTheCategoriesStoredAtThisMoment) {
  EXPECT_EQ(Listed("pick P&alette > "), (Words{"Other", "Edit Categories..."}));
  // Another program (or the shell) files a tab under a new category: the next completion opens
  // the menu as pick would, so the add-in rebuilds it first.
  Run("reg set " + CategoriesKey + " Standard Tools");
  EXPECT_EQ(Completed("pick P&alette > t"), "pick P&alette > Tools > ");
  EXPECT_EQ(Completed("pick @button > Tools > s"), "pick @button > Tools > Standard");
}

TEST_F(CompletionTest, PaletteTabsPackagesAndToolButtons) {
  EXPECT_EQ(Completed("tab expand data a"), "tab expand data a"); // an argument ends at a blank
  EXPECT_EQ(Completed("tab expand datas"), "tab expand \"DataSnap ");
  EXPECT_EQ(Listed("tab expand datas"), (Words{"DataSnap Client", "DataSnap Server"}));
  EXPECT_EQ(Completed("tab expand \"data a"), "tab expand \"Data Access\" ");
  EXPECT_EQ(Completed("tab rename \"win 3"), "tab rename \"Win 3.1\" ");
  EXPECT_EQ(Completed("tab rename Standard "), "tab rename Standard ");
  EXPECT_EQ(Listed("tab rename Standard "), Words{}); // the new name is the user's
  EXPECT_EQ(Listed("tab add "), Words{});
  // Captions that differ in letter case only: the line keeps what was typed.
  Run("tab add Alpha");
  Run("tab add ALPHABET");
  EXPECT_EQ(Completed("tab remove alp"), "tab remove alp");
  EXPECT_EQ(Listed("tab remove alp"), (Words{"Alpha", "ALPHABET"}));
  // Captions that part inside a character's UTF-8 bytes share only the characters before it;
  // letter case is ignored beyond ASCII too.
  Run("tab add Caf\u00e9");
  Run("tab add Caf\u00e8");
  EXPECT_EQ(Completed("tab remove caf"), "tab remove Caf");
  EXPECT_EQ(Completed("tab remove CAF\u00c9"), "tab remove Caf\u00e9 ");

  EXPECT_EQ(Completed("unload or"), "unload OrvikPaletteMenu170 ");
  EXPECT_EQ(Completed("packages O"), "packages OrvikPaletteMenu170 ");
  // The add-in's button hides the tool bar's first one; the separator is no button to press.
  EXPECT_EQ(Listed("press "), (Words{"tbPalette", "tbExpandAll", "tbShowCaptions"}));
}

TEST_F(CompletionTest, RegistryKeysAndValuesBelowTheCurrentUser) {
  Run("reg set " + CategoriesKey + " Standard VCL");
  Run("reg set " + CategoriesKey + " \"Data Access\" Data");
  Run("reg set Software\\Other Plain x");
  EXPECT_EQ(Listed("reg list "), (Words{"Software\\"}));
  EXPECT_EQ(Completed("reg list soft"), "reg list Software\\");
  EXPECT_EQ(Listed("reg list software\\"), (Words{"Orvik\\", "Other"}));
  EXPECT_EQ(Completed("reg list software\\orv"), "reg list software\\Orvik\\");
  // A key with a blank: the whole argument is quoted, and stays open while subkeys follow.
  EXPECT_EQ(Completed("reg list Software\\Orvik\\"), "reg list \"Software\\Orvik\\Palette Menu\\");
  EXPECT_EQ(Completed("reg list \"Software\\Orvik\\Palette Menu\\c"),
            "reg list \"Software\\Orvik\\Palette Menu\\Categories\" ");
  // The root may be named.
  EXPECT_EQ(Completed("reg get hkey_"), "reg get HKEY_CURRENT_USER\\");
  EXPECT_EQ(Completed("reg get HKCU\\Software\\Oth"), "reg get HKCU\\Software\\Other ");
  // Value names after the key, quoted when they need it.
  EXPECT_EQ(Completed("reg get " + CategoriesKey + " st"),
            "reg get " + CategoriesKey + " Standard ");
  EXPECT_EQ(Completed("reg delete " + CategoriesKey + " d"),
            "reg delete " + CategoriesKey + " \"Data Access\" ");
  EXPECT_EQ(Listed("reg get Software\\Missing "), Words{});
  EXPECT_EQ(Listed("reg list Software\\Missing\\"), Words{});
  // A key left as completion leaves it, with its "\", is the key.
  EXPECT_EQ(Run("reg list Software\\Orvik\\"), "Palette Menu\\\n");
  EXPECT_EQ(Run("reg get HKCU\\Software\\Other\\ Plain"), "x\n");
}

TEST_F(CompletionTest, FileNamesForLoadExportAndImport) {
  namespace fs = std::filesystem;
  const fs::path Dir = fs::path(std::getenv("XDG_CONFIG_HOME")) / "completion files";
  fs::create_directories(Dir / "packages");
  std::ofstream(Dir / "saved categories.reg") << "";
  std::ofstream(Dir / "saved.txt") << "";
  std::ofstream(Dir / ".hidden.reg") << "";
  const std::string D = Dir.string() + "/";
  // A folder goes on; a file ends the argument. Names with blanks are quoted.
  EXPECT_EQ(Completed("load \"" + D + "pa"), "load \"" + D + "packages/");
  EXPECT_EQ(Completed("reg import \"" + D + "saved c"),
            "reg import \"" + D + "saved categories.reg\" ");
  EXPECT_EQ(Completed("reg export Software \"" + D + "saved."),
            "reg export Software \"" + D + "saved.txt\" ");
  // File names count letter case; hidden files only when their dot is typed.
  EXPECT_EQ(Listed("reg import \"" + D + "S"), Words{});
  EXPECT_EQ(Listed("reg import \"" + D + "."), (Words{".hidden.reg"}));
  EXPECT_EQ(Listed("reg import \"" + D).size(), 3u);
  // load also offers the packages beside the IDE, which it finds by name.
  EXPECT_EQ(Completed("load OrvikPaletteMenu170"), "load OrvikPaletteMenu170.so ");
  EXPECT_EQ(Listed("load orvik"), Words{});
}

TEST_F(CompletionTest, NothingToComplete) {
  EXPECT_EQ(Listed("bogus "), Words{});
  EXPECT_EQ(Listed("zz"), Words{});
  EXPECT_EQ(Listed("# pi"), Words{});
  EXPECT_EQ(Listed("scroll "), Words{});
  EXPECT_EQ(Listed("echo p"), Words{});
  EXPECT_EQ(Listed("pick P&alette > Nothing > "), Words{});
  EXPECT_EQ(Listed("pick P&alette > zz"), Words{});
  EXPECT_EQ(Listed("pick @nobutton > "), Words{});
  EXPECT_EQ(Listed("reg list \"Software\"x"), Words{}); // a quote closed inside a word
  EXPECT_EQ(Listed("reg set Software Name "), Words{}); // the data is the user's
  const TCompletion None = CompleteLine(Interpreter, "pick &Help > zz");
  EXPECT_EQ(None.Replacement(), None.Typed);
}

// Everything a user could see or that a handler could change: the menus (captions, visibility,
// whether a menu is open), the palette, the tool bar, the hive, the IDE's state.
std::string Snapshot(THostIde& Ide, const TCommandInterpreter& I) {
  std::ostringstream S;
  std::function<void(const TMenuItem*, int)> Tree = [&](const TMenuItem* Item, int Depth) {
    for (int N = 0; N < Item->Count(); ++N) {
      const TMenuItem* Child = Item->Items(N);
      S << std::string(Depth * 2, ' ') << UTF8Encode(Child->Caption()) << ' ' << Child->Visible()
        << Child->Enabled() << '\n';
      Tree(Child, Depth + 1);
    }
  };
  Tree(Ide.MainMenu()->Items(), 0);
  TToolBar* Bar = Ide.ToolBar();
  for (int N = 0; N < Bar->ButtonCount(); ++N) {
    TToolButton* B = Bar->Buttons(N);
    S << UTF8Encode(B->Name()) << ' ' << B->Visible() << B->Down() << '\n';
    if (TPopupMenu* Menu = B->DropdownMenu()) {
      S << "popped up " << Menu->IsPoppedUp() << '\n';
      Tree(Menu->Items(), 1);
    }
  }
  TCategoryButtons* P = Ide.Palette();
  for (int N = 0; N < P->Categories()->Count(); ++N)
    S << UTF8Encode(P->Categories()->Items(N)->Caption()) << ' '
      << P->Categories()->Items(N)->Collapsed() << '\n';
  S << "scroll " << P->ScrollPosition() << " terminated " << Ide.Terminated() << " opened "
    << I.Opened().Kind << '\n';
  S << ExportRegistryText(*OpenCurrentUserHive(), u"Software");
  return S.str();
}

TEST_F(CompletionTest, CompletingChangesNeitherTheModelNorTheHive) {
  Run("reg set " + CategoriesKey + " Standard Common;VCL");
  // Both menus built once, as a user who opened them has them; nothing left open.
  Run("open P&alette");
  Run("open @button");
  Run("echo");
  int Forms = 0, Messages = 0;
  TModalRunnerScope NoForms([&](TCustomForm&) {
    ++Forms;
    return mrCancel;
  });
  TMessageHandlerScope NoMessages(Ide, [&](const UnicodeString&) { ++Messages; });
  const std::string Before = Snapshot(Ide, Interpreter);
  // Whole paths to items that act when clicked: a tab (expands and scrolls), the editor (a
  // modal form that saves), About (a message), Exit, a View command that collapses the palette.
  for (const std::string& Line : std::vector<std::string>{
           "pick P&alette > VCL > Additional", "pick P&alette > VCL > Additional > ",
           "pick P&alette > Edit Categories...", "pick P&alette > Edit Categories... > ",
           "pick @button > VCL > Win32", "pick @button > Edit Categories... > ", "pick @button > ",
           "pick &Help > &About... > ", "pick &File > E&xit > ", "pick &View > &Collapse All ",
           "pick &View > &Collapse All Categories > ", "open P", "open @",
           "pick P&alette > Common > ", "reg list Software\\Orvik\\",
           "reg get " + CategoriesKey + " ", "press ", "tab expand "})
    CompleteLine(Interpreter, Line);
  EXPECT_EQ(Snapshot(Ide, Interpreter), Before);
  EXPECT_EQ(Forms, 0);
  EXPECT_EQ(Messages, 0);
}

TEST_F(CompletionTest, WhatIsNotThereIsNotOffered) {
  Run("unload OrvikPaletteMenu170");
  EXPECT_EQ(Listed("pick p"), (Words{"&Project"}));
  EXPECT_EQ(Listed("pick @"), Words{});
  EXPECT_EQ(Listed("pick @button > "), Words{});
  EXPECT_EQ(Listed("unload "), Words{});
  Run("ide break toolbar-controls");
  EXPECT_EQ(Listed("press "), Words{});
  Run("ide repair");
  Run("load OrvikPaletteMenu170.so");
  EXPECT_EQ(Completed("pick P&al"), "pick P&alette > ");
}

TEST_F(CompletionTest, HelpShowsACommandsUsageAndAnExampleThatRuns) {
  EXPECT_EQ(Run("help pick"),
            "usage: pick CAPTION > ... > CAPTION | pick @BUTTON > CAPTION > ...\n"
            "  open each menu on the path as a user would and click the last item (a step "
            "matches the items that show)\n"
            "example: pick P&alette > Other > Standard\n");
  EXPECT_EQ(Run("help nothing"), "error: Unknown command \"nothing\" (try help)\n");
  EXPECT_EQ(Run("help pick tab"), "error: Usage: help [COMMAND]\n");
  // Every example names its command and works when run in the order help lists them; only the
  // add-in that the IDE has loaded already cannot be loaded again.
  for (const TCommand& C : TCommandInterpreter::Commands()) {
    EXPECT_TRUE(C.Example == C.Name || C.Example.starts_with(C.Name + " ")) << C.Name;
    if (C.Scope == TCommand::Editor || C.Name == "quit")
      continue;
    const std::string Output = Run(C.Example);
    if (C.Name == "load")
      EXPECT_EQ(Output, "error: Package OrvikPaletteMenu170.so is already loaded\n");
    else
      EXPECT_EQ(Output.find("error:"), std::string::npos) << C.Example << ": " << Output;
  }
}

} // namespace
