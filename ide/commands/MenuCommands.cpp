// Menus and the tool bar: menu, open, pick, press, toolbar.
#include "Commands_p.h"

#include "rtl/SysUtils.h"
#include "vcl/ComCtrls.h"
#include "vcl/Menus.h"

#include <ostream>

using namespace commands;

namespace {

const char* StyleName(TToolButtonStyle S) {
  switch (S) {
  case TToolButtonStyle::tbsButton:
    return "button";
  case TToolButtonStyle::tbsCheck:
    return "check";
  case TToolButtonStyle::tbsDropDown:
    return "dropdown";
  case TToolButtonStyle::tbsSeparator:
  case TToolButtonStyle::tbsDivider:
    return "separator";
  }
  return "button";
}

// Splits a menu path at " > ".
std::vector<std::string> SplitPath(const std::string& Path) {
  std::vector<std::string> Parts;
  size_t Start = 0;
  while (true) {
    const size_t At = Path.find(" > ", Start);
    Parts.push_back(Path.substr(Start, At - Start));
    if (At == std::string::npos)
      return Parts;
    Start = At + 3;
  }
}

TToolButton* FindButton(THostIde& Ide, const std::string& Name) {
  TToolBar* Bar = Ide.ToolBar();
  const UnicodeString Wanted = U16(Name.substr(Name.starts_with('@') ? 1 : 0));
  for (int I = 0; I < Bar->ButtonCount(); ++I)
    if (SameText(Bar->Buttons(I)->Name(), Wanted))
      return Bar->Buttons(I);
  if (Wanted == u"button") {
    // The add-in's button: the first drop-down button with a menu that shows.
    for (int I = 0; I < Bar->ButtonCount(); ++I) {
      TToolButton* B = Bar->Buttons(I);
      if (B->Visible() && B->Style() == TToolButtonStyle::tbsDropDown && B->DropdownMenu())
        return B;
    }
    throw EInvalidOperation(u"The tool bar has no drop-down button with a menu");
  }
  throw EInvalidOperation(u"The tool bar has no button named " + Wanted);
}

// The drop-down menu of a visible tool button, which the user can open.
TPopupMenu* DropdownOf(TToolButton* Button) {
  if (!Button->Visible())
    throw EInvalidOperation(u"The tool button " + Button->Name() + u" is hidden");
  TPopupMenu* Menu = Button->DropdownMenu();
  if (!Menu)
    throw EInvalidOperation(u"The tool button " + Button->Name() + u" has no drop-down menu");
  return Menu;
}

// The item of Parent that a user would take for Caption: among the items that show, the one
// whose caption matches as the menus' Find matches. When several match, the one whose caption
// is exactly Caption ("&Std" beside "Std") is taken; otherwise two that match are an error
// listing them. A match that does not show is reported as hidden.
TMenuItem* FindItem(TMenuItem* Parent, const std::string& Caption, const std::string& Where) {
  const UnicodeString Typed = U16(Caption);
  const UnicodeString Wanted = MenuFindKey(Typed);
  std::vector<int> Visible;
  bool Hidden = false;
  for (int I = 0; I < Parent->Count(); ++I) {
    TMenuItem* Item = Parent->Items(I);
    if (MenuFindKey(Item->Caption()) != Wanted)
      continue;
    if (Item->Visible())
      Visible.push_back(I);
    else
      Hidden = true;
  }
  if (Visible.size() > 1) {
    std::vector<int> Exact;
    for (int I : Visible)
      if (Parent->Items(I)->Caption() == Typed)
        Exact.push_back(I);
    if (Exact.size() == 1)
      Visible = Exact;
  }
  if (Visible.size() > 1) {
    std::string List;
    for (int I : Visible) {
      const TMenuItem* Item = Parent->Items(I);
      List += (List.empty() ? "" : ", ") + Quote(U8(Item->Caption())) + " (item " +
              std::to_string(I + 1) + (Item->Count() > 0 ? ", a sub-menu" : "") + ")";
    }
    throw EInvalidOperation(U16(std::to_string(Visible.size()) + " items of " + Where + " match " +
                                Quote(Caption) + ": " + List));
  }
  if (Visible.empty()) {
    if (Hidden)
      throw EInvalidOperation(U16("The item " + Quote(Caption) + " of " + Where + " is hidden"));
    throw EInvalidOperation(U16(Where + " has no item " + Quote(Caption)));
  }
  TMenuItem* Item = Parent->Items(Visible.front());
  if (!Item->Enabled())
    throw EInvalidOperation(U16("The item " + Quote(Caption) + " of " + Where + " is disabled"));
  return Item;
}

// Closes a popup menu once the command is done with it, if it still exists. With KeepIfOpen, a
// menu that was open already when the guard began stays open.
class TPopupGuard : public TComponent {
public:
  explicit TPopupGuard(TPopupMenu* Menu, bool KeepIfOpen = false)
      : TComponent(nullptr), FMenu(Menu) {
    FMenu->FreeNotification(this);
    if (KeepIfOpen && FMenu->IsPoppedUp())
      FMenu = nullptr;
  }
  ~TPopupGuard() override {
    if (FMenu)
      FMenu->CloseUp();
  }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FMenu)
      FMenu = nullptr;
  }

private:
  TPopupMenu* FMenu;
};

TOpenedMenu ButtonMenu(TToolButton* Button, TPopupMenu* Menu) {
  TOpenedMenu O;
  O.Kind = TOpenedMenu::ButtonMenu;
  O.Button = Button;
  O.Popup = Menu;
  return O;
}

void CmdMenu(TCommandInterpreter& I, const TCommandLine&) {
  const TMenuItem* Root = I.Ide().MainMenu()->Items();
  for (int N = 0; N < Root->Count(); ++N)
    I.Out() << U8(Root->Items(N)->Caption()) << '\n';
}

void CmdOpen(TCommandInterpreter& I, const TCommandLine& L) {
  const std::string What = TrimRight(RestArgument(L.Rest));
  if (What.empty())
    Usage("open CAPTION | open @BUTTON");
  if (What.starts_with('@')) {
    TToolButton* Button = FindButton(I.Ide(), What);
    TPopupMenu* Menu = DropdownOf(Button);
    TPopupGuard Close(Menu);
    Button->CheckMenuDropdown();
    PrintTree(I.Out(), Menu->Items(), 0);
    I.SetOpened(ButtonMenu(Button, Menu));
    return;
  }
  TMenuItem* Entry = FindItem(I.Ide().MainMenu()->Items(), What, "The main menu");
  Entry->Click();
  PrintTree(I.Out(), Entry, 0);
  TOpenedMenu O;
  O.Kind = TOpenedMenu::MainMenuEntry;
  O.Entry = Entry;
  I.SetOpened(O);
}

void CmdPick(TCommandInterpreter& I, const TCommandLine& L) {
  const std::string Path = TrimRight(RestArgument(L.Rest));
  if (Path.empty())
    Usage("pick CAPTION > ... > CAPTION | pick @BUTTON > CAPTION > ...");
  const std::vector<std::string> Parts = SplitPath(Path);
  std::string Where = Parts[0];
  if (Parts[0].starts_with('@')) {
    if (Parts.size() < 2)
      throw EShellSyntax(U16("pick " + Parts[0] + " needs the path of an item in its menu"));
    TToolButton* Button = FindButton(I.Ide(), Parts[0]);
    TPopupMenu* Menu = DropdownOf(Button);
    TPopupGuard Close(Menu);
    Button->CheckMenuDropdown();
    TMenuItem* Current = Menu->Items();
    for (size_t N = 1; N < Parts.size(); ++N) {
      TMenuItem* Item = FindItem(Current, Parts[N], Where);
      Where += " > " + Parts[N];
      if (N + 1 < Parts.size()) {
        Menu->OpenSubmenu(Item);
        Current = Item;
      } else {
        Menu->ClickItem(Item);
      }
    }
    return;
  }
  TMenuItem* Current = FindItem(I.Ide().MainMenu()->Items(), Parts[0], "The main menu");
  // Opening each sub-menu fires its click, which may rebuild it: the next item is looked for
  // only after that.
  Current->Click();
  for (size_t N = 1; N < Parts.size(); ++N) {
    TMenuItem* Item = FindItem(Current, Parts[N], Where);
    Where += " > " + Parts[N];
    Item->Click();
    Current = Item;
  }
}

void CmdPress(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() > 1)
    Usage("press [BUTTON]");
  TToolButton* Button = FindButton(I.Ide(), Args.empty() ? "@button" : Args[0]);
  if (!Button->Visible())
    throw EInvalidOperation(u"The tool button " + Button->Name() + u" is hidden");
  TPopupMenu* Menu = Button->DropdownMenu();
  if (!Menu) {
    Button->Click();
    return;
  }
  TPopupGuard Close(Menu);
  Menu->CloseUp();
  Button->Click();
  if (Menu->IsPoppedUp()) {
    PrintTree(I.Out(), Menu->Items(), 0);
    I.SetOpened(ButtonMenu(Button, Menu));
  }
}

void CmdToolbar(TCommandInterpreter& I, const TCommandLine&) {
  TToolBar* Bar = I.Ide().ToolBar();
  for (int N = 0; N < Bar->ControlCount(); ++N) {
    TControl* C = Bar->Controls(N);
    auto* B = dynamic_cast<TToolButton*>(C);
    I.Out() << U8(C->Name()) << "  " << (C->Visible() ? "visible" : "hidden") << "  "
            << (B ? StyleName(B->Style()) : "control") << "  image=" << (B ? B->ImageIndex() : -1)
            << "  " << Quote(U8(C->Hint())) << '\n';
  }
}

// --- completion ---------------------------------------------------------------------------------

// A menu path as typed after open or pick: its steps, the last one being typed.
struct TPartialPath {
  bool Valid = true;
  bool Quoted = false; // the path began with a quote
  std::vector<std::string> Steps;
};

TPartialPath SplitPartialPath(std::string_view Rest) {
  TPartialPath P;
  std::string Path(Rest);
  if (Path.starts_with('"')) {
    // A quoted path, read as RestArgument reads it; its closing quote ends the line.
    P.Quoted = true;
    const TPartialArguments Args = SplitPartialArguments(Rest);
    P.Valid = Args.Valid && Args.Done.empty();
    Path = Args.Typed;
  }
  // "CAPTION >" goes on as "CAPTION > " does.
  if (Path.ends_with(" >"))
    Path += ' ';
  P.Steps = SplitPath(Path);
  return P;
}

// Whether an item is offered: a user sees it and can choose it, and a path can name it.
bool Offered(const TMenuItem* Item) {
  return Item->Visible() && Item->Enabled() && !Item->IsLine() &&
         Item->Caption().find(u" > ") == UnicodeString::npos;
}

// The path from the typed steps before the last, then Step; quoted when it has to be (a path
// the command would otherwise read differently) or the typed one was. A sub-menu's path goes on
// with " > "; any other is closed.
std::string PathText(const TPartialPath& P, const std::string& Step, bool SubMenu) {
  std::string Path;
  for (size_t N = 0; N + 1 < P.Steps.size(); ++N)
    Path += P.Steps[N] + " > ";
  Path += Step;
  if (SubMenu)
    Path += " > ";
  const bool Quoted =
      P.Quoted || Path.starts_with(' ') || Path.starts_with('\t') || Path.starts_with('"');
  if (!Quoted)
    return Path;
  std::string Q = Quote(Path);
  if (SubMenu)
    Q.pop_back();
  return Q;
}

void AddButtonCandidates(THostIde& Ide, const TPartialPath& P, bool SubMenu, TCompletion& Out) {
  TToolBar* Bar = Ide.ToolBar();
  if (!Bar)
    return;
  // @button, when there is a button it stands for, then each button with a menu.
  std::vector<std::string> Names;
  for (int I = 0; I < Bar->ButtonCount(); ++I) {
    TToolButton* B = Bar->Buttons(I);
    if (B->Visible() && B->DropdownMenu()) {
      if (B->Style() == TToolButtonStyle::tbsDropDown && Names.empty())
        Names.push_back("@button");
      Names.push_back("@" + U8(B->Name()));
    }
  }
  for (const std::string& Name : Names)
    if (StartsWithIgnoringCase(Name, P.Steps.back()))
      Out.Candidates.push_back({PathText(P, Name, SubMenu), Name});
}

// The items of Parent that a user sees and whose captions begin with the step being typed, as
// pick matches captions. Under pick, an item with items of its own is a sub-menu whose path goes
// on; open takes one entry and no path.
void AddItemCandidates(const TMenuItem* Parent, const TPartialPath& P, bool Pick,
                       TCompletion& Out) {
  const UnicodeString Key = MenuFindKey(U16(P.Steps.back()));
  for (int N = 0; N < Parent->Count(); ++N) {
    const TMenuItem* Item = Parent->Items(N);
    if (Offered(Item) && MenuFindKey(Item->Caption()).starts_with(Key))
      Out.Candidates.push_back(
          {PathText(P, U8(Item->Caption()), Pick && Item->Count() > 0), U8(Item->Caption())});
  }
}

// open CAPTION | open @BUTTON: the main menu's entries and the buttons with a menu.
void CompleteOpen(const TCommandInterpreter& I, std::string_view Rest, TCompletion& Out) {
  const TPartialPath P = SplitPartialPath(Rest);
  if (!P.Valid || P.Steps.size() != 1)
    return;
  Out.Start = 0;
  AddItemCandidates(I.Ide().MainMenu()->Items(), P, false, Out);
  AddButtonCandidates(I.Ide(), P, false, Out);
}

// pick PATH: each step's items as a user sees them at that step. The menus on the way are
// opened as pick opens them, so that handlers that rebuild them run first; no item is clicked
// that is not a sub-menu, and a button's menu is closed again.
void CompletePick(const TCommandInterpreter& I, std::string_view Rest, TCompletion& Out) {
  const TPartialPath P = SplitPartialPath(Rest);
  if (!P.Valid)
    return;
  Out.Start = 0;
  THostIde& Ide = I.Ide();
  if (P.Steps.size() == 1) {
    AddItemCandidates(Ide.MainMenu()->Items(), P, true, Out);
    AddButtonCandidates(Ide, P, true, Out);
    return;
  }
  std::string Where = P.Steps[0];
  if (P.Steps[0].starts_with('@')) {
    TToolButton* Button = FindButton(Ide, P.Steps[0]);
    TPopupMenu* Menu = DropdownOf(Button);
    TPopupGuard Close(Menu, true);
    Button->CheckMenuDropdown();
    TMenuItem* Current = Menu->Items();
    for (size_t N = 1; N + 1 < P.Steps.size(); ++N) {
      TMenuItem* Item = FindItem(Current, P.Steps[N], Where);
      Where += " > " + P.Steps[N];
      if (Item->Count() == 0)
        return; // an item to choose, not a menu to open
      Menu->OpenSubmenu(Item);
      Current = Item;
    }
    AddItemCandidates(Current, P, true, Out);
    return;
  }
  TMenuItem* Current = FindItem(Ide.MainMenu()->Items(), P.Steps[0], "The main menu");
  Current->Click();
  for (size_t N = 1; N + 1 < P.Steps.size(); ++N) {
    TMenuItem* Item = FindItem(Current, P.Steps[N], Where);
    Where += " > " + P.Steps[N];
    if (Item->Count() == 0)
      return;
    Item->Click();
    Current = Item;
  }
  AddItemCandidates(Current, P, true, Out);
}

// press [BUTTON]: the names of the buttons that show.
std::vector<TArgumentChoice> PressChoices(const TCommandInterpreter& I,
                                          const TPartialArguments& Args) {
  std::vector<std::string> Names;
  TToolBar* Bar = I.Ide().ToolBar();
  if (Args.Done.empty() && Bar)
    for (int N = 0; N < Bar->ButtonCount(); ++N) {
      TToolButton* B = Bar->Buttons(N);
      if (B->Visible() && B->Style() != TToolButtonStyle::tbsSeparator &&
          B->Style() != TToolButtonStyle::tbsDivider)
        Names.push_back(U8(B->Name()));
    }
  return WordChoices(Names);
}

} // namespace

void AddMenuCommands(TCommandTable& Table) {
  Table.push_back(
      {"menu", "menu", "the main menu's top-level captions", "menu", TCommand::Normal, CmdMenu});
  Table.push_back({"open", "open CAPTION | open @BUTTON",
                   "open a main-menu entry (or drop down a tool button's menu by its arrow) and "
                   "print it",
                   "open P&alette", TCommand::Normal, CmdOpen, CompleteOpen});
  Table.push_back({"pick", "pick CAPTION > ... > CAPTION | pick @BUTTON > CAPTION > ...",
                   "open each menu on the path as a user would and click the last item (a step "
                   "matches the items that show)",
                   "pick P&alette > Other > Standard", TCommand::Normal, CmdPick, CompletePick});
  Table.push_back(
      {"press", "press [BUTTON]",
       "click a tool button's face (the add-in's by default); print the menu that drops down",
       "press tbPalette", TCommand::Normal, CmdPress, ArgumentCompleter(PressChoices)});
  Table.push_back({"toolbar", "toolbar",
                   "the Tool Palette's tool bar: name, visibility, style, image, hint", "toolbar",
                   TCommand::Normal, CmdToolbar});
}
