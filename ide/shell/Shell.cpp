#include "Shell.h"

#include "Ide.h"

#include "rtl/PackageInfo.h"
#include "rtl/RegFile.h"
#include "rtl/RegistryHive.h"
#include "rtl/SysUtils.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"

#include <charconv>
#include <cstdio>
#include <istream>
#include <ostream>

namespace {

std::string U8(std::u16string_view S) {
  return UTF8Encode(S);
}
UnicodeString U16(std::string_view S) {
  return UTF8Decode(S);
}

[[noreturn]] void Usage(const char* Text) {
  throw EShellSyntax(U16(std::string("Usage: ") + Text));
}

int ToInt(const std::string& Text, const char* What) {
  int Value = 0;
  auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  if (Error != std::errc() || End != Text.data() + Text.size())
    throw EShellSyntax(U16(std::string(What) + " must be a whole number, not " + Quote(Text)));
  return Value;
}

// A key below HKEY_CURRENT_USER; the root may be named in front of it.
std::u16string KeyPath(const std::string& Key) {
  std::u16string K = U16(Key);
  for (std::u16string_view Root : {u"HKEY_CURRENT_USER\\", u"HKCU\\"})
    if (K.size() >= Root.size() && SameText(std::u16string_view(K).substr(0, Root.size()), Root))
      return K.substr(Root.size());
  return K;
}

std::string ValueText(const TRegValue& V) {
  if (V.IsString())
    return U8(V.AsString());
  if (V.Type == REG_DWORD && V.Data.size() == 4) {
    const uint32_t D =
        V.Data[0] | (V.Data[1] << 8) | (V.Data[2] << 16) | (static_cast<uint32_t>(V.Data[3]) << 24);
    return std::to_string(D);
  }
  static const char Digits[] = "0123456789abcdef";
  std::string Hex;
  for (uint8_t B : V.Data) {
    if (!Hex.empty())
      Hex += ',';
    Hex += Digits[B >> 4];
    Hex += Digits[B & 0xF];
  }
  return "hex(" + std::to_string(V.Type) + "):" + Hex;
}

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

std::string TrimRight(std::string S) {
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t'))
    S.pop_back();
  return S;
}

} // namespace

// --- reading lines ----------------------------------------------------------------------------

bool TStreamLineReader::ReadLine(std::string& Line, const std::string&) {
  if (!std::getline(FIn, Line))
    return false;
  return true;
}

// --- the command table ------------------------------------------------------------------------

struct TShell::TCommand {
  const char* Name;
  const char* Usage;
  const char* Help;
  enum TScope { Normal, Editor, Both } Scope; // outside modal runs, inside them, or both
  void (TShell::*Run)(const TCommandLine&);
};

const std::vector<TShell::TCommand>& TShell::Commands() {
  static const std::vector<TCommand> List{
      {"menu", "menu", "the main menu's top-level captions", TCommand::Normal, &TShell::CmdMenu},
      {"open", "open CAPTION | open @BUTTON",
       "open a main-menu entry (or drop down a tool button's menu by its arrow) and print it",
       TCommand::Normal, &TShell::CmdOpen},
      {"pick", "pick CAPTION > ... > CAPTION | pick @BUTTON > CAPTION > ...",
       "open each menu on the path as a user would and click the last item", TCommand::Normal,
       &TShell::CmdPick},
      {"press", "press [BUTTON]",
       "click a tool button's face (the add-in's by default); print the menu that drops down",
       TCommand::Normal, &TShell::CmdPress},
      {"palette", "palette", "the palette's categories: +/- collapsed/expanded, * in view",
       TCommand::Normal, &TShell::CmdPalette},
      {"toolbar", "toolbar", "the Tool Palette's tool bar: name, visibility, style, image, hint",
       TCommand::Normal, &TShell::CmdToolbar},
      {"tab",
       "tab add CAPTION | tab remove CAPTION | tab rename OLD NEW | tab collapse CAPTION | "
       "tab expand CAPTION",
       "change the palette's categories", TCommand::Normal, &TShell::CmdTab},
      {"scroll", "scroll POSITION", "scroll the palette to a position in pixels", TCommand::Normal,
       &TShell::CmdScroll},
      {"reg",
       "reg get KEY NAME | reg set KEY NAME DATA | reg delete KEY NAME | reg list KEY | "
       "reg export KEY FILE | reg import FILE",
       "the current user's registry (KEY below HKEY_CURRENT_USER)", TCommand::Normal,
       &TShell::CmdReg},
      {"packages", "packages [NAME]",
       "the loaded packages and their wizards, or what one package declares", TCommand::Normal,
       &TShell::CmdPackages},
      {"load", "load FILE", "load a package and call its Register", TCommand::Normal,
       &TShell::CmdLoad},
      {"unload", "unload NAME", "release a package's wizards and unload it", TCommand::Normal,
       &TShell::CmdUnload},
      {"ide", "ide break PIECE | ide repair",
       "test aid: take away a piece the add-in relies on, or put everything back", TCommand::Normal,
       &TShell::CmdIde},
      {"grid", "grid", "print the editor's grid and selection", TCommand::Editor, &TShell::CmdGrid},
      {"set", "set ROW TEXT", "select column 1 of ROW and type TEXT as its content",
       TCommand::Editor, &TShell::CmdSet},
      {"select", "select COL ROW", "try to select a cell; prints selected or refused",
       TCommand::Editor, &TShell::CmdSelect},
      {"ok", "ok", "close the editor with OK", TCommand::Editor, &TShell::CmdOk},
      {"cancel", "cancel", "close the editor with Cancel", TCommand::Editor, &TShell::CmdCancel},
      {"echo", "echo TEXT", "print TEXT", TCommand::Both, &TShell::CmdEcho},
      {"help", "help", "this list", TCommand::Both, &TShell::CmdHelp},
      {"quit", "quit", "end the session", TCommand::Both, &TShell::CmdQuit},
  };
  return List;
}

const TShell::TCommand* TShell::FindCommand(const std::string& Name) {
  for (const TCommand& C : Commands())
    if (Name == C.Name)
      return &C;
  return nullptr;
}

// --- running ----------------------------------------------------------------------------------

TShell::TShell(THostIde& Ide, TLineReader& In, std::ostream& Out, bool Strict)
    : FIde(Ide), FIn(In), FOut(Out), FStrict(Strict) {
  SetModalRunner([this](TCustomForm& Form) { return RunModal(Form); });
  FIde.OnMessage = [this](const UnicodeString& Text) { FOut << U8(Text) << '\n'; };
}

TShell::~TShell() {
  SetModalRunner(nullptr);
  FIde.OnMessage = nullptr;
}

bool TShell::ReadLine(std::string& Line, const std::string& Prompt) {
  if (!FIn.ReadLine(Line, Prompt))
    return false;
  ++FLineNumber;
  return true;
}

int TShell::Run() {
  try {
    std::string Line;
    while (!FQuit && !FIde.Terminated() && ReadLine(Line, "hostide> ")) {
      Execute(Line);
      FOut.flush();
    }
  } catch (const TStopScript&) {
    FOut.flush();
    return 1;
  }
  return 0;
}

bool TShell::Guard(const std::function<void()>& Action) {
  UnicodeString Message;
  try {
    Action();
    return true;
  } catch (const Exception& E) {
    Message = E.Message();
  } catch (const std::exception& E) {
    Message = U16(E.what());
  }
  FOut << "error: " << U8(Message) << '\n';
  FOut.flush();
  if (FStrict)
    throw TStopScript{};
  return false;
}

void TShell::Execute(const std::string& Line) {
  Guard([&] {
    const TCommandLine L = SplitCommand(Line);
    if (L.Command.empty())
      return;
    const TCommand* C = FindCommand(L.Command);
    if (!C)
      throw EShellSyntax(U16("Unknown command " + Quote(L.Command) + " (try help)"));
    if (FModalForm && C->Scope == TCommand::Normal)
      throw EShellSyntax(U16("The form " + Quote(U8(FModalForm->Caption())) +
                             " is open: use grid, set, select, ok or cancel"));
    if (!FModalForm && C->Scope == TCommand::Editor)
      throw EShellSyntax(U16("No form is open for " + L.Command));
    (this->*(C->Run))(L);
  });
}

int TShell::RunModal(TCustomForm& Form) {
  TCustomForm* Outer = FModalForm;
  FModalForm = &Form;
  struct TRestore {
    TCustomForm*& Field;
    TCustomForm* Was;
    ~TRestore() { Field = Was; }
  } Restore{FModalForm, Outer};
  PrintGrid();
  std::string Line;
  while (Form.ModalResult() == mrNone) {
    if (FQuit || !ReadLine(Line, "editor> ")) {
      Form.SetModalResult(mrCancel);
      break;
    }
    Execute(Line);
    FOut.flush();
  }
  FOut << "modal result: " << Form.ModalResult() << '\n';
  return Form.ModalResult();
}

// --- general commands -------------------------------------------------------------------------

void TShell::CmdHelp(const TCommandLine&) {
  FOut << "Commands (arguments with blanks in double quotes; \"\" inside them is one \"):\n";
  for (const TCommand& C : Commands())
    FOut << "  " << C.Usage << "\n      " << C.Help << '\n';
  FOut << "Menu paths join captions with \" > \"; @button is the add-in's drop-down tool "
          "button.\n";
}

void TShell::CmdQuit(const TCommandLine&) {
  FQuit = true;
  if (FModalForm)
    FModalForm->SetModalResult(mrCancel);
}

void TShell::CmdEcho(const TCommandLine& L) {
  FOut << L.Rest << '\n';
}

// --- menus and the tool bar -------------------------------------------------------------------

void TShell::PrintTree(const TMenuItem* Parent, int Depth) {
  for (int I = 0; I < Parent->Count(); ++I) {
    const TMenuItem* Item = Parent->Items(I);
    FOut << std::string(static_cast<size_t>(Depth) * 2, ' ') << U8(Item->Caption());
    if (!Item->Visible())
      FOut << " (hidden)";
    FOut << '\n';
    PrintTree(Item, Depth + 1);
  }
}

void TShell::CmdMenu(const TCommandLine&) {
  const TMenuItem* Root = FIde.MainMenu()->Items();
  for (int I = 0; I < Root->Count(); ++I)
    FOut << U8(Root->Items(I)->Caption()) << '\n';
}

TToolButton* TShell::FindButton(const std::string& Name) {
  TToolBar* Bar = FIde.ToolBar();
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

TMenuItem* TShell::FindItem(TMenuItem* Parent, const std::string& Caption,
                            const std::string& Where) {
  TMenuItem* Item = Parent->Find(U16(Caption));
  if (!Item)
    throw EInvalidOperation(U16(Where + " has no item " + Quote(Caption)));
  if (!Item->Visible())
    throw EInvalidOperation(U16("The item " + Quote(Caption) + " of " + Where + " is hidden"));
  if (!Item->Enabled())
    throw EInvalidOperation(U16("The item " + Quote(Caption) + " of " + Where + " is disabled"));
  return Item;
}

namespace {
// Closes a popup menu once the command is done with it, if it still exists.
class TPopupGuard : public TComponent {
public:
  explicit TPopupGuard(TPopupMenu* Menu) : TComponent(nullptr), FMenu(Menu) {
    FMenu->FreeNotification(this);
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
} // namespace

namespace {
// The drop-down menu of a visible tool button, which the user can open.
TPopupMenu* DropdownOf(TToolButton* Button) {
  if (!Button->Visible())
    throw EInvalidOperation(u"The tool button " + Button->Name() + u" is hidden");
  TPopupMenu* Menu = Button->DropdownMenu();
  if (!Menu)
    throw EInvalidOperation(u"The tool button " + Button->Name() + u" has no drop-down menu");
  return Menu;
}

} // namespace

void TShell::CmdOpen(const TCommandLine& L) {
  const std::string What = TrimRight(RestArgument(L.Rest));
  if (What.empty())
    Usage("open CAPTION | open @BUTTON");
  if (What.starts_with('@')) {
    TToolButton* Button = FindButton(What);
    TPopupMenu* Menu = DropdownOf(Button);
    TPopupGuard Close(Menu);
    Button->CheckMenuDropdown();
    PrintTree(Menu->Items(), 0);
    return;
  }
  TMenuItem* Entry = FindItem(FIde.MainMenu()->Items(), What, "The main menu");
  Entry->Click();
  PrintTree(Entry, 0);
}

void TShell::CmdPick(const TCommandLine& L) {
  const std::string Path = TrimRight(RestArgument(L.Rest));
  if (Path.empty())
    Usage("pick CAPTION > ... > CAPTION | pick @BUTTON > CAPTION > ...");
  const std::vector<std::string> Parts = SplitPath(Path);
  std::string Where = Parts[0];
  if (Parts[0].starts_with('@')) {
    if (Parts.size() < 2)
      throw EShellSyntax(U16("pick " + Parts[0] + " needs the path of an item in its menu"));
    TToolButton* Button = FindButton(Parts[0]);
    TPopupMenu* Menu = DropdownOf(Button);
    TPopupGuard Close(Menu);
    Button->CheckMenuDropdown();
    TMenuItem* Current = Menu->Items();
    for (size_t I = 1; I < Parts.size(); ++I) {
      TMenuItem* Item = FindItem(Current, Parts[I], Where);
      Where += " > " + Parts[I];
      if (I + 1 < Parts.size()) {
        Menu->OpenSubmenu(Item);
        Current = Item;
      } else {
        Menu->ClickItem(Item);
      }
    }
    return;
  }
  TMenuItem* Current = FindItem(FIde.MainMenu()->Items(), Parts[0], "The main menu");
  // Opening each sub-menu fires its click, which may rebuild it: the next item is looked for
  // only after that.
  Current->Click();
  for (size_t I = 1; I < Parts.size(); ++I) {
    TMenuItem* Item = FindItem(Current, Parts[I], Where);
    Where += " > " + Parts[I];
    Item->Click();
    Current = Item;
  }
}

void TShell::CmdPress(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() > 1)
    Usage("press [BUTTON]");
  TToolButton* Button = FindButton(Args.empty() ? "@button" : Args[0]);
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
  if (Menu->IsPoppedUp())
    PrintTree(Menu->Items(), 0);
}

void TShell::CmdToolbar(const TCommandLine&) {
  TToolBar* Bar = FIde.ToolBar();
  for (int I = 0; I < Bar->ControlCount(); ++I) {
    TControl* C = Bar->Controls(I);
    auto* B = dynamic_cast<TToolButton*>(C);
    FOut << U8(C->Name()) << "  " << (C->Visible() ? "visible" : "hidden") << "  "
         << (B ? StyleName(B->Style()) : "control") << "  image=" << (B ? B->ImageIndex() : -1)
         << "  " << Quote(U8(C->Hint())) << '\n';
  }
}

// --- the palette ------------------------------------------------------------------------------

void TShell::CmdPalette(const TCommandLine& L) {
  if (!L.Rest.empty())
    Usage("palette");
  TCategoryButtons* P = FIde.Palette();
  for (int I = 0; I < P->Categories()->Count(); ++I) {
    const TButtonCategory* C = P->Categories()->Items(I);
    FOut << (C->Collapsed() ? "+ " : "- ") << U8(C->Caption())
         << (P->IsHeaderVisible(I) ? " *" : "") << '\n';
  }
}

void TShell::CmdTab(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  const char* Text = "tab add CAPTION | tab remove CAPTION | tab rename OLD NEW | "
                     "tab collapse CAPTION | tab expand CAPTION";
  if (Args.empty())
    Usage(Text);
  TButtonCategories* Categories = FIde.Palette()->Categories();
  auto IndexOf = [&](const std::string& Caption) {
    const UnicodeString C = U16(Caption);
    for (int I = 0; I < Categories->Count(); ++I)
      if (Categories->Items(I)->Caption() == C)
        return I;
    throw EInvalidOperation(U16("The palette has no tab " + Quote(Caption)));
  };
  const std::string& Verb = Args[0];
  if (Verb == "add" && Args.size() == 2) {
    Categories->Add()->SetCaption(U16(Args[1]));
  } else if (Verb == "remove" && Args.size() == 2) {
    Categories->Delete(IndexOf(Args[1]));
  } else if (Verb == "rename" && Args.size() == 3) {
    Categories->Items(IndexOf(Args[1]))->SetCaption(U16(Args[2]));
  } else if ((Verb == "collapse" || Verb == "expand") && Args.size() == 2) {
    Categories->Items(IndexOf(Args[1]))->SetCollapsed(Verb == "collapse");
  } else {
    Usage(Text);
  }
}

void TShell::CmdScroll(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() != 1)
    Usage("scroll POSITION");
  FIde.Palette()->SetScrollPosition(ToInt(Args[0], "The position"));
}

// --- the registry -----------------------------------------------------------------------------

void TShell::CmdReg(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  const char* Text = "reg get KEY NAME | reg set KEY NAME DATA | reg delete KEY NAME | "
                     "reg list KEY | reg export KEY FILE | reg import FILE";
  if (Args.empty())
    Usage(Text);
  const std::string& Verb = Args[0];
  std::unique_ptr<TRegistryHive> Hive = OpenCurrentUserHive();
  if (Verb == "get" && Args.size() == 3) {
    const std::u16string Key = KeyPath(Args[1]);
    std::optional<TRegValue> V = Hive->ReadValue(Key, U16(Args[2]));
    if (!V) {
      if (!Hive->KeyExists(Key))
        throw ERegistryException(u"The key HKEY_CURRENT_USER\\" + Key + u" does not exist");
      throw ERegistryException(u"The key HKEY_CURRENT_USER\\" + Key + u" has no value " +
                               U16(Quote(Args[2])));
    }
    FOut << ValueText(*V) << '\n';
  } else if (Verb == "set" && Args.size() == 4) {
    Hive->WriteValue(KeyPath(Args[1]), TRegValue::String(U16(Args[2]), U16(Args[3])));
  } else if (Verb == "delete" && Args.size() == 3) {
    Hive->DeleteValue(KeyPath(Args[1]), U16(Args[2]));
  } else if (Verb == "list" && Args.size() == 2) {
    const std::u16string Key = KeyPath(Args[1]);
    if (!Hive->KeyExists(Key))
      throw ERegistryException(u"The key HKEY_CURRENT_USER\\" + Key + u" does not exist");
    for (const UnicodeString& Sub : Hive->SubKeyNames(Key))
      FOut << U8(Sub) << "\\\n";
    for (const UnicodeString& Name : Hive->ValueNames(Key)) {
      std::optional<TRegValue> V = Hive->ReadValue(Key, Name);
      FOut << (Name.empty() ? std::string("(Default)") : U8(Name)) << " = "
           << (V ? ValueText(*V) : std::string()) << '\n';
    }
  } else if (Verb == "export" && Args.size() == 3) {
    ExportRegistryFile(*Hive, KeyPath(Args[1]), U16(Args[2]));
  } else if (Verb == "import" && Args.size() == 2) {
    ImportRegistryFile(*Hive, U16(Args[1]));
  } else {
    Usage(Text);
  }
}

// --- packages ---------------------------------------------------------------------------------

void TShell::CmdPackages(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() > 1)
    Usage("packages [NAME]");
  if (Args.empty()) {
    for (const auto& P : FIde.Packages().Packages()) {
      FOut << P->FileName << "  " << Quote(U8(P->Description)) << "  " << U8(P->Version) << '\n';
      for (const TPackageWizard& W : P->Wizards)
        FOut << "  " << Quote(U8(W.IDString)) << "  " << Quote(U8(W.Name)) << '\n';
    }
    return;
  }
  // One package in detail: what its package unit declares.
  const TLoadedPackage& P = FIde.Packages().Find(Args[0]);
  const TPackageInfo& I = *P.Info;
  auto List = [](auto Items, auto Name) {
    std::string S;
    for (const auto& Item : Items)
      S += (S.empty() ? "" : ", ") + U8(Name(Item));
    return S;
  };
  char Language[8];
  std::snprintf(Language, sizeof Language, "%04X", static_cast<unsigned>(I.Version.LanguageId));
  FOut << P.FileName << '\n'
       << "  name: " << U8(P.Name) << '\n'
       << "  description: " << Quote(U8(P.Description)) << '\n'
       << "  kind: " << ((I.Flags & pfDesignOnly) ? "design-time only" : "design-time and runtime")
       << ((I.Flags & pfNeverBuild) ? ", never built implicitly" : "") << '\n'
       << "  requires: " << List(I.Requires, [](const char16_t* R) { return R; }) << '\n'
       << "  contains: " << List(I.Contains, [](const TPackageUnitInfo& U) { return U.Name; })
       << '\n'
       << "  file version: " << U8(I.Version.FileVersion) << '\n'
       << "  product version: " << U8(I.Version.ProductVersion) << '\n'
       << "  file description: " << Quote(U8(I.Version.FileDescription)) << '\n'
       << "  product name: " << Quote(U8(I.Version.ProductName)) << '\n'
       << "  language: " << Language << ", code page " << I.Version.CodePage << '\n';
  for (const TPackageWizard& W : P.Wizards)
    FOut << "  wizard: " << Quote(U8(W.IDString)) << "  " << Quote(U8(W.Name)) << '\n';
}

void TShell::CmdLoad(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() != 1)
    Usage("load FILE");
  FIde.Packages().Load(Args[0]);
}

void TShell::CmdUnload(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() != 1)
    Usage("unload NAME");
  FIde.Packages().Unload(Args[0]);
}

void TShell::CmdIde(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() == 2 && Args[0] == "break")
    FIde.BreakPiece(Args[1]);
  else if (Args.size() == 1 && Args[0] == "repair")
    FIde.Repair();
  else
    Usage("ide break PIECE | ide repair");
}

// --- the modal editor -------------------------------------------------------------------------

namespace {
// The first component of a form of class T that Wanted accepts, or nullptr.
template <class T, class P> T* FindPart(TCustomForm& Form, P Wanted) {
  for (int I = 0; I < Form.ComponentCount(); ++I)
    if (auto* C = dynamic_cast<T*>(Form.Components(I)))
      if (Wanted(*C))
        return C;
  return nullptr;
}
template <class T> T* FindPart(TCustomForm& Form) {
  return FindPart<T>(Form, [](const T&) { return true; });
}
} // namespace

TStringGrid* TShell::ModalGrid() {
  TStringGrid* Grid = FModalForm ? FindPart<TStringGrid>(*FModalForm) : nullptr;
  if (!Grid)
    throw EInvalidOperation(u"The open form has no grid");
  return Grid;
}

void TShell::PrintGrid() {
  TStringGrid* Grid = FModalForm ? FindPart<TStringGrid>(*FModalForm) : nullptr;
  if (!Grid)
    return;
  for (int R = 0; R < Grid->RowCount(); ++R) {
    FOut << R << ':';
    for (int C = 0; C < Grid->ColCount(); ++C)
      FOut << (C ? " | " : " ") << U8(Grid->Cells(C, R));
    FOut << '\n';
  }
  if (Grid->HasCurrentCell())
    FOut << "selection: " << Grid->Selection().Left << ',' << Grid->Selection().Top << '\n';
  else
    FOut << "selection: none\n";
}

void TShell::CmdGrid(const TCommandLine& L) {
  if (!L.Rest.empty())
    Usage("grid");
  ModalGrid();
  PrintGrid();
}

void TShell::CmdSet(const TCommandLine& L) {
  // ROW, one blank, then TEXT exactly as typed (quotes around it optional).
  const size_t Blank = L.Rest.find(' ');
  if (L.Rest.empty() || Blank == std::string::npos)
    Usage("set ROW TEXT (set ROW \"\" empties the cell)");
  const int Row = ToInt(L.Rest.substr(0, Blank), "The row");
  const std::string Text = RestArgument(std::string_view(L.Rest).substr(Blank + 1));
  TStringGrid* Grid = ModalGrid();
  if (!Grid->UserSelectCell(1, Row))
    throw EInvalidOperation(u"Cell 1," + IntToStr(Row) + u" cannot be selected");
  if (!Grid->UserEditCell(U16(Text)))
    throw EInvalidOperation(u"Cell 1," + IntToStr(Row) + u" cannot be edited");
}

void TShell::CmdSelect(const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() != 2)
    Usage("select COL ROW");
  const int Col = ToInt(Args[0], "The column");
  const int Row = ToInt(Args[1], "The row");
  FOut << (ModalGrid()->UserSelectCell(Col, Row) ? "selected" : "refused") << '\n';
}

void TShell::CloseModal(int Result) {
  // As a user does: a click on the form's button of that result, if it has one that shows.
  TButton* Button = FindPart<TButton>(*FModalForm, [Result](const TButton& B) {
    return B.ModalResult() == Result && B.Visible() && B.Enabled();
  });
  if (Button)
    Button->Click();
  else
    FModalForm->SetModalResult(Result);
}

void TShell::CmdOk(const TCommandLine&) {
  CloseModal(mrOk);
}

void TShell::CmdCancel(const TCommandLine&) {
  CloseModal(mrCancel);
}
