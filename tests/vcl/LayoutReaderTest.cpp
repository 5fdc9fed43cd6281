#include "vcl/LayoutReader.h"

#include "vcl/Creation.h"
#include "vcl/DataModule.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Log;

// A form with a stored layout (fixtures/LayoutTestForm.dfm) that logs its handlers.
class TLayoutTestForm : public TForm {
public:
  explicit TLayoutTestForm(TComponent* AOwner) : TForm(AOwner) {}
  HOST_CLASS_INFO;

  TStringGrid* Grid = nullptr;
  TButton* BtnOk = nullptr;
  static inline bool FailCreate = false;

  void FormCreate(TObject*) {
    Log.push_back("create " + UTF8Encode(Caption()) + (Grid && BtnOk ? " with children" : ""));
    if (FailCreate)
      throw EInvalidOperation(u"creation refused");
  }
  void FormDestroy(TObject*) { Log.push_back("destroy"); }
  void BtnOkClick(TObject*) { Log.push_back("click"); }
  void GridSelectCell(TObject*, int ACol, int, bool& CanSelect) { CanSelect = ACol != 2; }
};

const TClassInfo& TLayoutTestForm::StaticClass() {
  using T = TLayoutTestForm;
  static const TClassInfo Info =
      TClassBuilder<T>(u"TLayoutTestForm", &TForm::StaticClass())
          .Field(u"Grid", &T::Grid)
          .Field(u"BtnOk", &T::BtnOk)
          .Method(u"FormCreate", &T::FormCreate)
          .Method(u"FormDestroy", &T::FormDestroy)
          .Method(u"BtnOkClick", &T::BtnOkClick)
          .Method<TSelectCellEvent>(u"GridSelectCell", &T::GridSelectCell);
  return Info;
}
HOST_CLASS_TYPE(TLayoutTestForm)

// Its layout (fixtures/LayoutTestChildForm.dfm) changes and adds to the ancestor's.
class TLayoutTestChildForm : public TLayoutTestForm {
public:
  explicit TLayoutTestChildForm(TComponent* AOwner) : TLayoutTestForm(AOwner) {}
  HOST_CLASS_INFO;
  TButton* BtnCancel = nullptr;
};

const TClassInfo& TLayoutTestChildForm::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TLayoutTestChildForm>(u"TLayoutTestChildForm", &TLayoutTestForm::StaticClass())
          .Field(u"BtnCancel", &TLayoutTestChildForm::BtnCancel);
  return Info;
}
HOST_CLASS_TYPE(TLayoutTestChildForm)

// Its layout binds OnDestroy, then fails on line 6.
class TBrokenLayoutForm : public TForm {
public:
  explicit TBrokenLayoutForm(TComponent* AOwner) : TForm(AOwner) {}
  HOST_CLASS_INFO;
  void FormCreate(TObject*) { Log.push_back("create"); }
  void FormDestroy(TObject*) { Log.push_back("destroy"); }
};

const TClassInfo& TBrokenLayoutForm::StaticClass() {
  using T = TBrokenLayoutForm;
  static const TClassInfo Info = TClassBuilder<T>(u"TBrokenLayoutForm", &TForm::StaticClass())
                                     .Method(u"FormCreate", &T::FormCreate)
                                     .Method(u"FormDestroy", &T::FormDestroy);
  return Info;
}
HOST_CLASS_TYPE(TBrokenLayoutForm)

// Frames: controls with a stored layout of their own, placed in other layouts with "inline".
class TTestFrame : public TWinControl {
public:
  explicit TTestFrame(TComponent* AOwner) : TWinControl(AOwner) {}
  HOST_CLASS_INFO;
};
const TClassInfo& TTestFrame::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TTestFrame>(u"TTestFrame", &TWinControl::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TTestFrame)

// Its layout places a frame of its own class.
class TLoopFrame : public TWinControl {
public:
  explicit TLoopFrame(TComponent* AOwner) : TWinControl(AOwner) {}
  HOST_CLASS_INFO;
};
const TClassInfo& TLoopFrame::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TLoopFrame>(u"TLoopFrame", &TWinControl::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TLoopFrame)

class LayoutTest : public ::testing::Test {
protected:
  void SetUp() override {
    Log.clear();
    TLayoutTestForm::FailCreate = false;
    FormsBefore = Screen->FormCount();
  }
  int FormsBefore = 0;
};

// The message of the EReadError (or subclass) that F raises.
template <class E = EReadError, class F> std::string ErrorOf(F&& Step) {
  try {
    Step();
  } catch (const E& Ex) {
    return UTF8Encode(Ex.Message());
  }
  ADD_FAILURE() << "no error raised";
  return {};
}

TLayoutObject Parse(std::string_view Text) {
  return ParseLayout(Text, u"test.dfm");
}

// --- syntax -----------------------------------------------------------------------------------

TEST(LayoutSyntax, EveryKindOfValueAndObjectHeader) {
  const std::string Text = "\xEF\xBB\xBF"
                           "inherited Main: TMain\r\n"
                           "  Int = -42\r\n"
                           "  Hex = $1F\n"
                           "  Flt = -1.5E2\r"
                           "  Dt = 0.25d\n"
                           "  Str = 'it''s '#39'x'#$263A +\n"
                           "    ' and \xC3\xA4'\n"
                           "  Surrogates = #55357#56832\n"
                           "  Font.Name = Owner.Fonts.Default\n"
                           "  Empty = []\n"
                           "  Options = [goEditing , goTabs,3]\n"
                           "  Lines.Strings = (\n"
                           "    'one'\n"
                           "    12 Ident ( 'nested' ) )\n"
                           "  Columns = <\n"
                           "    item\n"
                           "      Title.Caption = 'A'\n"
                           "      Inner = <>\n"
                           "    end\n"
                           "    item\n"
                           "    end>\n"
                           "  Data = {\n"
                           "    0A ff\n"
                           "    10}\n"
                           "  object Lbl: TLabel[2]\n"
                           "  end\n"
                           "  inline Frame: TFrame1\n"
                           "    object TPanel\n"
                           "    END\n"
                           "  end\n"
                           "end"; // no final line break
  const TLayoutObject Root = Parse(Text);
  EXPECT_EQ(Root.Kind, TLayoutObject::loInherited);
  EXPECT_EQ(Root.Name, u"Main");
  EXPECT_EQ(Root.ClassName, u"TMain");
  const auto& P = Root.Properties;
  ASSERT_EQ(P.size(), 12u);
  EXPECT_EQ(P[0].Value.Integer, -42);
  EXPECT_EQ(P[1].Value.Integer, 31);
  EXPECT_EQ(P[2].Value.Kind, TLayoutValue::lvFloat);
  EXPECT_DOUBLE_EQ(P[2].Value.Float, -150.0);
  EXPECT_DOUBLE_EQ(P[3].Value.Float, 0.25);
  EXPECT_EQ(P[3].Line, 5); // a lone CR ends a line too
  EXPECT_EQ(P[4].Value.Text, u"it's 'x\u263A and \u00E4");
  EXPECT_EQ(P[5].Value.Text, u"\U0001F600");
  EXPECT_EQ(P[6].Name, u"Font.Name");
  EXPECT_EQ(P[6].Value.Kind, TLayoutValue::lvIdent);
  EXPECT_EQ(P[6].Value.Text, u"Owner.Fonts.Default");
  EXPECT_EQ(P[6].Line, 9);
  EXPECT_EQ(P[7].Value.Kind, TLayoutValue::lvSet);
  EXPECT_TRUE(P[7].Value.Elements.empty());
  EXPECT_EQ(P[8].Value.Elements, (std::vector<UnicodeString>{u"goEditing", u"goTabs", u"3"}));
  ASSERT_EQ(P[9].Value.Items.size(), 4u);
  EXPECT_EQ(P[9].Value.Items[1].Integer, 12);
  EXPECT_EQ(P[9].Value.Items[2].Text, u"Ident");
  EXPECT_EQ(P[9].Value.Items[3].Items[0].Text, u"nested");
  ASSERT_EQ(P[10].Value.Collection.size(), 2u);
  EXPECT_EQ(P[10].Value.Collection[0].Properties[0].Name, u"Title.Caption");
  EXPECT_EQ(P[10].Value.Collection[0].Properties[1].Value.Kind, TLayoutValue::lvCollection);
  EXPECT_TRUE(P[10].Value.Collection[1].Properties.empty());
  EXPECT_EQ(P[11].Value.Bytes, (std::vector<uint8_t>{0x0A, 0xFF, 0x10}));
  ASSERT_EQ(Root.Children.size(), 2u);
  EXPECT_EQ(Root.Children[0].Order, 2);
  EXPECT_EQ(Root.Children[0].Line, 25);
  EXPECT_EQ(Root.Children[1].Kind, TLayoutObject::loInline);
  EXPECT_EQ(Root.Children[1].Children[0].Name, u"");
  EXPECT_EQ(Root.Children[1].Children[0].ClassName, u"TPanel");
}

TEST(LayoutSyntax, ErrorsNameTheLayoutAndTheLine) {
  struct TCase {
    const char* Text;
    const char* Message;
  };
  const TCase Cases[] = {
      {"", "line 1: the layout is empty"},
      {"object A: TA\n  X = 'open\nend\n", "line 2: unterminated string"},
      {"object A: TA\n  X 1\nend\n", "line 2: '=' expected but '1' found"},
      {"object A: TA\n  X = 1\n", "line 3: 'end' of A (line 1) expected but end of layout found"},
      {"object A: TA\n  object B: TB\n  end\n  X = 1\nend", "line 4: 'end' or a child object"},
      {"object A: TA\nend\nend\n", "line 3: end of layout expected but 'end' found"},
      {"object A: TA\n\n  X = 12ab\nend", "line 3: invalid number 12a"},
      {"object A: TA\r\n  X = 99999999999999999999\r\nend", "line 2: integer 99999999999999999999"},
      {"object A: TA\n  X = { 0A 1 }\nend", "line 2: the binary block has an odd number"},
      {"object A: TA\n  X = [a b]\nend", "line 2: ',' or ']' expected but 'b' found"},
      {"object A: TA\n  X = 'a' +\n  Y = 1\nend", "line 3: string expected after '+'"},
      {"object A: TA\n  X = '\xC3('\nend", "line 2: the string is not valid UTF-8 (at column 8)"},
      {"object A: TA\n  X = 'it''s \xC3\xA4' + 'x' +\n  '\xC3\xA4\xED\xA0\x80'\nend",
       "line 3: the string is not valid UTF-8 (at column 5)"},
      {"object A: TA\n  X = <\n  thing\n  >\nend", "line 3: 'item' or '>' expected but 'thing'"},
      {"object A: TA\n  X = <\n  item\n  end\nend", "line 5: 'item' or '>' expected but 'end'"},
      {"object A: TA\n  X = <\n  item\n  end", "line 2: '>' expected: the collection is not"},
      {"thing A: TA\nend", "line 1: 'object' expected but 'thing' found"},
      {"object A: TA\n  X = #\nend", "line 2: character code expected"},
      {"object A: TA\n  X = ;\nend", "line 2: value expected but ';' found"},
  };
  // Nesting deep enough to exhaust the stack is refused first.
  EXPECT_NE(ErrorOf([] {
              Parse("object A: TA\n  X = " + std::string(100000, '('));
            }).find("line 2: objects and values are nested more than 200 deep"),
            std::string::npos);
  for (const TCase& C : Cases) {
    const std::string Msg = ErrorOf([&] { Parse(C.Text); });
    EXPECT_NE(Msg.find(std::string("Error reading layout test.dfm, ") + C.Message),
              std::string::npos)
        << C.Text << "\n=> " << Msg;
  }
}

// --- building ---------------------------------------------------------------------------------

TEST_F(LayoutTest, BuildErrorsNameWhatIsUnknownAndTheLine) {
  struct TCase {
    const char* Text;
    const char* Message;
  };
  const TCase Cases[] = {
      {"object F: TForm\n  Caption = 1\nend",
       "line 2: invalid value for property Caption of class TForm: integer 1 is not a string"},
      {"object F: TForm\n  BorderStyle = bsRound\nend", "'bsRound' is not one of its values"},
      {"object F: TForm\n  Font.Style = [fsBold, fsShadow]\nend",
       "line 2: invalid value for property Style of class TFont: 'fsShadow' is not one of"},
      {"object F: TForm\n  Color = clSunset\nend", "'clSunset' is not an integer"},
      {"object F: TForm\n  Left = 3000000000\nend", "3000000000 is out of range"},
      {"object F: TForm\n  Font = 'Arial'\nend", "an object property takes no value"},
      {"object F: TForm\n  Caption.Text = 'x'\nend", "property Caption of class TForm has no"},
      {"object F: TForm\n  OnCreate = NoSuchMethod\nend",
       "line 2: Method NoSuchMethod does not exist in class TForm"},
      {"object F: TForm\n  object G: TStringGrid\n    FixedRows = 9\n  end\nend",
       "line 3: Fixed row count 9 must be between 0 and the row count 5"},
      {"object F: TForm\n  object A: TButton\n  end\n  object A: TButton\n  end\nend",
       "line 4: A component named A already exists"},
      {"object F: TForm\n  inherited Missing: TButton\n  end\nend",
       "line 2: ancestor for 'Missing' not found"},
  };
  for (const TCase& C : Cases) {
    TOwned<TForm> Form(new TForm(nullptr));
    const std::string Msg = ErrorOf([&] { ReadLayout(Form.get(), Parse(C.Text), u"test.dfm"); });
    EXPECT_NE(Msg.find(C.Message), std::string::npos) << C.Text << "\n=> " << Msg;
    EXPECT_EQ(Msg.rfind("Error reading layout test.dfm, line ", 0), 0u) << Msg;
  }

  TOwned<TForm> Form(new TForm(nullptr));
  EXPECT_EQ(ErrorOf<EClassNotFound>([&] {
              ReadLayout(Form.get(), Parse("object F: TForm\n\n  object X: TNoSuch\n  end\nend"),
                         u"test.dfm");
            }),
            "Error reading layout test.dfm, line 3: class TNoSuch not found");
  EXPECT_EQ(ErrorOf<EUnknownProperty>([&] {
              ReadLayout(Form.get(),
                         Parse("object F: TForm\n  object G: TStringGrid\n    Colour = 1\n  end\n"
                               "end"),
                         u"test.dfm");
            }),
            "Error reading layout test.dfm, line 3: G.Colour: property Colour does not exist in "
            "class TStringGrid");
  // What was built before the failure belongs to the root, which releases it.
  EXPECT_NE(Form->FindComponent(u"G"), nullptr);
}

TEST_F(LayoutTest, InlineFrameReadsItsOwnLayoutThenTheChangesMadeToIt) {
  RegisterClass(TTestFrame::StaticClass());
  RegisterClass(TLoopFrame::StaticClass());
  TOwned<TForm> Form(new TForm(nullptr));
  ReadLayout(Form.get(),
             Parse("object F: TForm\n  inline Frame1: TTestFrame\n    Left = 7\n"
                   "    inherited Btn: TButton\n      Caption = 'Changed'\n    end\n  end\nend"),
             u"test.dfm");
  auto* Frame = dynamic_cast<TTestFrame*>(Form->FindComponent(u"Frame1"));
  ASSERT_NE(Frame, nullptr);
  EXPECT_EQ(Frame->Parent(), Form.get());
  EXPECT_EQ(Frame->Left(), 7);
  EXPECT_EQ(Frame->Width(), 120);
  EXPECT_EQ(Frame->Name(), u"Frame1"); // the placing layout names the frame
  auto* Btn = dynamic_cast<TButton*>(Frame->FindComponent(u"Btn"));
  ASSERT_NE(Btn, nullptr);
  EXPECT_EQ(Btn->Caption(), u"Changed");
  EXPECT_EQ(Btn->Parent(), Frame);

  // A frame whose layout places its own class is refused, not followed for ever.
  TOwned<TForm> Loop(new TForm(nullptr));
  EXPECT_NE(ErrorOf([&] {
              ReadLayout(Loop.get(), Parse("object F: TForm\n  inline L: TLoopFrame\n  end\nend"),
                         u"test.dfm");
            }).find("frames are placed in frames more than 32 deep"),
            std::string::npos);
}

TEST_F(LayoutTest, DataModuleLayoutSetsItsDesignSize) {
  TOwned<TDataModule> Module(new TDataModule(nullptr));
  ReadLayout(Module.get(),
             Parse("object Wizard: TWizard\n  OldCreateOrder = False\n  Height = 144\n"
                   "  Width = 319\nend\n"),
             u"test.dfm");
  EXPECT_EQ(Module->Name(), u"Wizard");
  EXPECT_FALSE(Module->OldCreateOrder());
  EXPECT_EQ(Module->Height(), 144);
  EXPECT_EQ(Module->Width(), 319);
}

TEST_F(LayoutTest, CreationReadsTheStoredLayoutThenFiresOnCreate) {
  TOwned<TLayoutTestForm> Form(CreateComponent<TLayoutTestForm>(Application));
  EXPECT_EQ(Log, (std::vector<std::string>{"create Layout 'test' form with children"}));
  EXPECT_EQ(Form->Name(), u"LayoutTestForm");
  EXPECT_EQ(Form->Left(), 10);
  EXPECT_EQ(Form->ClientWidth(), 300);
  EXPECT_EQ(Form->BorderStyle(), bsSingle);
  EXPECT_EQ(Form->Color(), clWindow);
  EXPECT_EQ(Form->Font()->Name(), u"Verdana");
  EXPECT_EQ(Form->Font()->Style(), TFontStyles(fsBold | fsItalic));

  // Children: created by class name, owned by the form, on the form, in the fields.
  ASSERT_NE(Form->Grid, nullptr);
  ASSERT_NE(Form->BtnOk, nullptr);
  EXPECT_EQ(Form->Grid->Owner(), Form.get());
  EXPECT_EQ(Form->Grid->Parent(), Form.get());
  EXPECT_EQ(Form->ControlCount(), 2);
  EXPECT_EQ(Form->Grid->ColCount(), 3);
  EXPECT_EQ(Form->Grid->Options(), TGridOptions(goEditing));
  EXPECT_EQ(Form->BtnOk->ModalResult(), mrOk);
  // Events: bound to the form's published methods.
  EXPECT_FALSE(Form->Grid->UserSelectCell(2, 1));
  EXPECT_TRUE(Form->Grid->UserSelectCell(1, 2));
  Form->BtnOk->Click();
  EXPECT_EQ(Log.back(), "click");
  EXPECT_EQ(Form->ModalResult(), mrOk);

  // A second instance under the same owner gets a name of its own.
  TOwned<TLayoutTestForm> Second(CreateComponent<TLayoutTestForm>(Application));
  EXPECT_EQ(Second->Name(), u"LayoutTestForm_1");

  Form.reset();
  EXPECT_EQ(Log.back(), "destroy");
}

TEST_F(LayoutTest, DerivedClassReadsItsAncestorsLayoutFirst) {
  TOwned<TLayoutTestChildForm> Form(CreateComponent<TLayoutTestChildForm>(nullptr));
  EXPECT_EQ(Log, (std::vector<std::string>{"create Child with children"}));
  EXPECT_EQ(Form->Name(), u"LayoutTestChildForm");
  EXPECT_EQ(Form->BtnOk->Caption(), u"Done");
  EXPECT_EQ(Form->BtnOk->ModalResult(), mrOk);
  ASSERT_NE(Form->BtnCancel, nullptr);
  EXPECT_EQ(Form->BtnCancel->ModalResult(), mrCancel);
  EXPECT_EQ(Form->ComponentCount(), 3);
}

TEST_F(LayoutTest, FailingOnCreateReleasesTheHalfBuiltFormAfterOnDestroy) {
  TLayoutTestForm::FailCreate = true;
  const int Owned = Application->ComponentCount();
  EXPECT_THROW(CreateComponent<TLayoutTestForm>(Application), EInvalidOperation);
  EXPECT_EQ(Log, (std::vector<std::string>{"create Layout 'test' form with children", "destroy"}));
  EXPECT_EQ(Application->ComponentCount(), Owned);
  EXPECT_EQ(Screen->FormCount(), FormsBefore);
}

TEST_F(LayoutTest, FailingLayoutReleasesTheFormAndNamesTheResource) {
  EXPECT_EQ(ErrorOf<EUnknownProperty>([] { CreateComponent<TBrokenLayoutForm>(Application); }),
            "Error reading layout TBROKENLAYOUTFORM, line 6: Grid.Colour: property Colour does "
            "not exist in class TStringGrid");
  // OnDestroy was bound before the failing line and runs; OnCreate never does.
  EXPECT_EQ(Log, (std::vector<std::string>{"destroy"}));
  EXPECT_EQ(Screen->FormCount(), FormsBefore);
}

TEST_F(LayoutTest, CallerMayLetMissingMethodsAndAncestorsPass) {
  const TLayoutObject Tree = Parse("object F: TForm\n"
                                   "  OnCreate = Missing\n"
                                   "  inherited Btn: TButton\n"
                                   "    Caption = 'B'\n"
                                   "  end\n"
                                   "end");
  TOwned<TForm> Form(new TForm(nullptr));
  std::vector<UnicodeString> Asked;
  TLayoutReaderEvents Events;
  Events.OnMethodNotFound = [&](const UnicodeString& M) {
    Asked.push_back(M);
    return true;
  };
  Events.OnAncestorNotFound = [&](const UnicodeString& C) {
    Asked.push_back(C);
    return true;
  };
  ReadLayout(Form.get(), Tree, u"test.dfm", Events);
  EXPECT_EQ(Asked, (std::vector<UnicodeString>{u"Missing", u"Btn"}));
  EXPECT_FALSE(Form->OnCreate);
  auto* Btn = dynamic_cast<TButton*>(Form->FindComponent(u"Btn"));
  ASSERT_NE(Btn, nullptr);
  EXPECT_EQ(Btn->Caption(), u"B");

  // OnError may let a property or a whole child pass; reading goes on after it.
  std::vector<std::string> Skipped;
  Events.OnError = [&](const EReadError& E) {
    Skipped.push_back(UTF8Encode(E.Message()).substr(0, 40));
    return true;
  };
  TOwned<TForm> Other(new TForm(nullptr));
  ReadLayout(Other.get(),
             Parse("object F: TForm\n  Colour = 1\n  object X: TNoSuch\n    object B: TButton\n"
                   "    end\n  end\n  object C: TButton\n    Caption = 'C'\n  end\nend"),
             u"t", Events);
  EXPECT_EQ(Skipped, (std::vector<std::string>{"Error reading layout t, line 2: F.Colour",
                                               "Error reading layout t, line 3: class TN"}));
  EXPECT_EQ(Other->ComponentCount(), 1);
  EXPECT_EQ(Other->Components(0)->Name(), u"C");

  // A name the root cannot take is skipped the same way; without OnError it is an error.
  const TLayoutObject Dotted = Parse("object Font.Name: TForm\n  object D: TButton\n  end\nend");
  Skipped.clear();
  TOwned<TForm> Third(new TForm(nullptr));
  const UnicodeString Before = Third->Name();
  ReadLayout(Third.get(), Dotted, u"t", Events);
  ASSERT_EQ(Skipped.size(), 1u);
  EXPECT_EQ(Skipped[0].substr(0, 32), "Error reading layout t, line 1: ");
  EXPECT_EQ(Third->Name(), Before);
  EXPECT_NE(Third->FindComponent(u"D"), nullptr);
  TOwned<TForm> Fourth(new TForm(nullptr));
  EXPECT_THROW(ReadLayout(Fourth.get(), Dotted, u"t"), EReadError);
}

// Real-world layouts written elsewhere: all of them parse, and building them fails, if at all,
// only because a class or property is unknown here. They are read into a stand-in form, as a
// designer without their code would read them: their handlers and ancestors are not here.
// A second reading goes on past every failure, so that every object and value is visited; each
// failure must still be a clear one, naming the file and the line.
TEST(LayoutCorpus, EveryLayoutParsesAndBuildsOrNamesWhatIsUnknown) {
  const std::filesystem::path Dir = LAYOUT_CORPUS_DIR;
  if (!std::filesystem::is_directory(Dir))
    GTEST_SKIP() << "no layout corpus at " << Dir;
  TLayoutReaderEvents StandIn;
  StandIn.OnMethodNotFound = [](const UnicodeString&) { return true; };
  StandIn.OnAncestorNotFound = [](const UnicodeString&) { return true; };
  int Files = 0, Skipped = 0;
  for (const auto& Entry : std::filesystem::directory_iterator(Dir)) {
    const std::string Ext = Entry.path().extension().string();
    if (Ext != ".lfm" && Ext != ".dfm")
      continue;
    ++Files;
    std::ifstream In(Entry.path(), std::ios::binary);
    std::stringstream Text;
    Text << In.rdbuf();
    const UnicodeString Source = UTF8Decode(Entry.path().filename().string());
    TLayoutObject Tree;
    try {
      Tree = ParseLayout(Text.str(), Source);
    } catch (const Exception& E) {
      ADD_FAILURE() << UTF8Encode(E.Message());
      continue;
    }
    try {
      TOwned<TForm> Root(new TForm(nullptr));
      ReadLayout(Root.get(), Tree, Source, StandIn);
    } catch (const EClassNotFound&) {
    } catch (const EUnknownProperty&) {
    } catch (const Exception& E) {
      ADD_FAILURE() << UTF8Encode(E.Message());
    }

    TLayoutReaderEvents Onward = StandIn;
    const std::string Prefix = "Error reading layout " + UTF8Encode(Source) + ", line ";
    Onward.OnError = [&](const EReadError& E) {
      EXPECT_EQ(UTF8Encode(E.Message()).rfind(Prefix, 0), 0u) << UTF8Encode(E.Message());
      ++Skipped;
      return true;
    };
    TOwned<TForm> Root(new TForm(nullptr));
    EXPECT_NO_THROW(ReadLayout(Root.get(), Tree, Source, Onward)) << UTF8Encode(Source);
  }
  EXPECT_GT(Files, 100);
  EXPECT_GT(Skipped, Files);
}

} // namespace
