#include "Ide.h"

#include "rtl/Resources.h"
#include "vcl/Bitmap.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/ImgList.h"
#include "vcl/Menus.h"

#include <algorithm>

// --- the IDE services -------------------------------------------------------------------------

// What BorlandIDEServices stands for. It outlives nothing of the IDE: the IDE empties
// BorlandIDEServices and cuts the object off from itself when it closes.
class TIdeServices : public TInterfacedObject, public IBorlandIDEServices, public INTAServices {
public:
  explicit TIdeServices(THostIde* AIde) : Ide(AIde) {}
  HOST_CLASS_INFO;
  INTFOBJECT_IMPL_IUNKNOWN(TInterfacedObject)

  int AddMasked(TBitmap* Image, TColor MaskColor) override {
    TImageList* Images = Ide ? Ide->MainImages() : nullptr;
    if (!Images)
      throw EInvalidOperation(u"The IDE has closed");
    return Images->AddMasked(Image, MaskColor);
  }
  TCustomImageList* GetImageList() override { return Ide ? Ide->MainImages() : nullptr; }
  TToolBar* GetToolBar(const UnicodeString& ToolBarName) override {
    if (!Ide || !Ide->ToolForm())
      return nullptr;
    return dynamic_cast<TToolBar*>(Ide->ToolForm()->FindComponent(ToolBarName));
  }
  TMainMenu* GetMainMenu() override { return Ide ? Ide->MainMenu() : nullptr; }

  THostIde* Ide;

protected:
  void* GetInterface(const TGUID& Iid) override {
    if (Iid == IBorlandIDEServices::IID)
      return static_cast<IBorlandIDEServices*>(this);
    if (Iid == INTAServices::IID)
      return static_cast<INTAServices*>(this);
    if (Iid == IInterface::IID)
      return static_cast<IInterface*>(static_cast<IBorlandIDEServices*>(this));
    return TInterfacedObject::GetInterface(Iid);
  }
};

const TClassInfo& TIdeServices::StaticClass() {
  static const TClassInfo Info(u"TIdeServices", &TInterfacedObject::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TIdeServices)

// --- building the IDE -------------------------------------------------------------------------

namespace {

// A 16 x 16 tool-bar glyph on a magenta background (which the image list makes transparent).
enum class TGlyph { Collapse, Expand, Captions };
TOwned<TBitmap> DrawGlyph(TGlyph Kind) {
  TOwned<TBitmap> B(new TBitmap);
  B->SetSize(16, 16);
  const TColor Back = RGB(255, 0, 255), Ink = RGB(32, 32, 96), Paper = RGB(250, 250, 250);
  for (int Y = 0; Y < 16; ++Y)
    for (int X = 0; X < 16; ++X)
      B->SetPixels(X, Y, Back);
  auto Rect = [&](int X0, int Y0, int X1, int Y1, TColor C) {
    for (int Y = Y0; Y <= Y1; ++Y)
      for (int X = X0; X <= X1; ++X)
        B->SetPixels(X, Y, C);
  };
  if (Kind == TGlyph::Captions) {
    Rect(2, 3, 13, 4, Ink);
    Rect(2, 7, 10, 8, Ink);
    Rect(2, 11, 12, 12, Ink);
    return B;
  }
  Rect(3, 3, 12, 12, Ink);
  Rect(4, 4, 11, 11, Paper);
  Rect(5, 7, 10, 8, Ink); // minus
  if (Kind == TGlyph::Expand)
    Rect(7, 5, 8, 10, Ink); // plus
  return B;
}

template <class T> T* Create(TComponent* Owner, const UnicodeString& Name) {
  auto* C = new T(Owner);
  C->SetName(Name);
  return C;
}

} // namespace

THostIde::THostIde(TIdeShape Shape) : FShape(Shape) {
  if (BorlandIDEServices)
    throw EInvalidOperation(u"Another IDE is already running in this process");
  BuildMainForm();
  BuildToolForm();
  auto Services = MakeInterfaced<TIdeServices, IBorlandIDEServices>(this);
  FServices = static_cast<TIdeServices*>(Services.Get());
  BorlandIDEServices = std::move(Services);
  FPackages = std::make_unique<TPackageManager>(TPackageManager::PackageDir());
}

THostIde::~THostIde() {
  // Packages first: their wizards detach from the forms that are still here.
  FPackages.reset();
  FServices->Ide = nullptr;
  FServices = nullptr;
  BorlandIDEServices = nullptr;
  Free(FToolForm);
  Free(FMainForm);
}

TMenuItem* THostIde::AddMenuItem(TMenuItem* Parent, const UnicodeString& Caption,
                                 std::function<void()> Action) {
  auto* Item = new TMenuItem(FMainForm);
  Item->SetCaption(Caption);
  if (Action)
    Item->OnClick = [Action](TObject*) { Action(); };
  Parent->Add(Item);
  return Item;
}

void THostIde::BuildMainForm() {
  FMainForm = Create<TForm>(Application, u"AppBuilder");
  FMainForm->SetCaption(u"hostide");
  FMainForm->SetBounds(0, 0, 1024, 120);
  Application->SetMainForm(FMainForm);
  Application->SetTitle(u"hostide");
  FMainImages = Create<TImageList>(FMainForm, u"MainImages");
  FMainMenu = Create<TMainMenu>(FMainForm, u"MainMenu1");
  FMainForm->SetVisible(true);
  if (FShape == TIdeShape::Embedded)
    return; // the real IDE's own menus stand beside what packages add
  TMenuItem* Root = FMainMenu->Items();

  TMenuItem* File = AddMenuItem(Root, u"&File");
  AddMenuItem(File, u"&New");
  AddMenuItem(File, u"&Open...");
  AddMenuItem(File, u"&Save");
  AddMenuItem(File, u"-");
  AddMenuItem(File, u"E&xit", [this] { Terminate(); });

  TMenuItem* Edit = AddMenuItem(Root, u"&Edit");
  AddMenuItem(Edit, u"&Undo");
  AddMenuItem(Edit, u"-");
  AddMenuItem(Edit, u"Cu&t");
  AddMenuItem(Edit, u"&Copy");
  AddMenuItem(Edit, u"&Paste");

  TMenuItem* Search = AddMenuItem(Root, u"&Search");
  AddMenuItem(Search, u"&Find...");
  AddMenuItem(Search, u"&Replace...");

  TMenuItem* View = AddMenuItem(Root, u"&View");
  AddMenuItem(View, u"Tool &Palette", [this] { FToolForm->SetVisible(true); });
  AddMenuItem(View, u"-");
  AddMenuItem(View, u"&Collapse All Categories", [this] { SetAllCollapsed(true); });
  AddMenuItem(View, u"&Expand All Categories", [this] { SetAllCollapsed(false); });

  TMenuItem* Project = AddMenuItem(Root, u"&Project");
  AddMenuItem(Project, u"&Build");
  AddMenuItem(Project, u"&Options...");

  TMenuItem* Run = AddMenuItem(Root, u"&Run");
  AddMenuItem(Run, u"&Run");
  AddMenuItem(Run, u"&Step Over");

  TMenuItem* Component = AddMenuItem(Root, u"&Component");
  AddMenuItem(Component, u"&New Component...");
  AddMenuItem(Component, u"Install &Packages...");

  TMenuItem* Tools = AddMenuItem(Root, u"&Tools");
  AddMenuItem(Tools, u"&Options...");

  TMenuItem* Window = AddMenuItem(Root, u"&Window");
  AddMenuItem(Window, u"&Next Window");

  TMenuItem* Help = AddMenuItem(Root, u"&Help");
  AddMenuItem(Help, u"&Contents");
  AddMenuItem(Help, u"-");
  AddMenuItem(Help, u"&About...", [this] {
    ShowMessage(u"hostide: a stand-in IDE for design-time packages (runtime packages 170)");
  });
}

void THostIde::BuildToolForm() {
  FToolForm = Create<TForm>(Application, u"ToolForm");
  FToolForm->SetCaption(u"Tool Palette");
  FToolForm->SetBounds(0, 120, 200, 429);

  FToolImages = Create<TImageList>(FToolForm, u"ImageList1");
  for (TGlyph G : {TGlyph::Collapse, TGlyph::Expand, TGlyph::Captions}) {
    TOwned<TBitmap> Glyph = DrawGlyph(G);
    FToolImages->AddMasked(Glyph.get(), clDefault);
  }

  FToolBar = Create<TToolBar>(FToolForm, u"Toolbar1");
  FToolBar->SetParent(FToolForm);
  FToolBar->SetImages(FToolImages);
  auto AddButton = [this](const UnicodeString& Name, TToolButtonStyle Style, int Image,
                          const UnicodeString& Hint, std::function<void()> Action) {
    auto* B = Create<TToolButton>(FToolForm, Name);
    // Each new button goes to the right end.
    B->SetLeft(FToolBar->ControlCount()
                   ? FToolBar->Controls(FToolBar->ControlCount() - 1)->Left() +
                         FToolBar->Controls(FToolBar->ControlCount() - 1)->Width()
                   : 0);
    B->SetParent(FToolBar);
    B->SetStyle(Style);
    B->SetImageIndex(Image);
    B->SetHint(Hint);
    if (Action)
      B->OnClick = [Action](TObject*) { Action(); };
  };
  AddButton(u"tbCollapseAll", TToolButtonStyle::tbsButton, 0, u"Collapse all categories",
            [this] { SetAllCollapsed(true); });
  AddButton(u"tbExpandAll", TToolButtonStyle::tbsButton, 1, u"Expand all categories",
            [this] { SetAllCollapsed(false); });
  if (FShape == TIdeShape::StandIn) {
    AddButton(u"ToolButton3", TToolButtonStyle::tbsSeparator, -1, u"", nullptr);
    AddButton(u"tbShowCaptions", TToolButtonStyle::tbsCheck, 2, u"Show component captions",
              nullptr);
  }

  FPalette = Create<TCategoryButtons>(FToolForm, u"Palette");
  FPalette->SetParent(FToolForm);
  FPalette->SetBounds(0, 29, 200, 400);
  FToolForm->SetVisible(true);
}

void THostIde::SetAllCollapsed(bool Collapsed) {
  for (int I = 0; I < FPalette->Categories()->Count(); ++I)
    FPalette->Categories()->Items(I)->SetCollapsed(Collapsed);
}

void THostIde::LoadPalette(const std::vector<TPaletteCategory>& Categories) {
  FillPalette(*FPalette, Categories);
}

std::vector<TPaletteCategory> THostIde::DefaultPalette() {
  std::span<const uint8_t> Bytes = FindResourceData(HInstance(), u"DEFAULT_PALETTE");
  return ParsePalette(std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()),
                      "ide/palettes/default.json");
}

std::string THostIde::DefaultPackage() {
  return TPackageManager::PackageDir() + "/OrvikPaletteMenu170.so";
}

void THostIde::ShowMessage(const UnicodeString& Text) const {
  // A copy: the handler may install or remove others while it runs.
  const TMessageHandler Handler = FMessageHandlers.Current();
  if (Handler)
    Handler(Text);
}
