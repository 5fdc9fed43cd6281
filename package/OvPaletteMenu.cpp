#include "OvPaletteMenu.h"

#include "OvPaletteMenuCategoriesForm.h"
#include "OvPaletteMenuCommon.h"

#include "rtl/Resources.h"
#include "rtl/StringList.h"
#include "vcl/ActnList.h"
#include "vcl/ActnPopup.h"
#include "vcl/Bitmap.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Creation.h"
#include "vcl/Forms.h"
#include "vcl/ImgList.h"
#include "vcl/Menus.h"

namespace {
const UnicodeString RegistryKey = u"Software\\Orvik\\Palette Menu";
const UnicodeString CategoriesSection = u"Categories";
const UnicodeString OtherCategory = u"Other";
const UnicodeString GlyphResource = u"ORVIK_PALETTE_MENU";

[[noreturn]] void CannotAttach(const UnicodeString& What) {
  throw EComponentError(u"Cannot attach the palette menu to the IDE: " + What);
}
} // namespace

TOvPaletteMenuWizardDataModule* OvPaletteMenuWizardDataModule = nullptr;

const TClassInfo& TOvPaletteMenuWizardDataModule::StaticClass() {
  using T = TOvPaletteMenuWizardDataModule;
  static const TClassInfo Info =
      TClassBuilder<T>(u"TOvPaletteMenuWizardDataModule", &TDataModule::StaticClass())
          .Method(u"WizardDataModuleCreate", &T::WizardDataModuleCreate)
          .Method(u"WizardDataModuleDestroy", &T::WizardDataModuleDestroy);
  return Info;
}
HOST_CLASS_TYPE(TOvPaletteMenuWizardDataModule)

TOvPaletteMenuWizardDataModule::TOvPaletteMenuWizardDataModule(TComponent* AOwner)
    : TDataModule(AOwner) {}

TOvPaletteMenuWizardDataModule::~TOvPaletteMenuWizardDataModule() = default;

// --- attachment -------------------------------------------------------------------------------

void TOvPaletteMenuWizardDataModule::Watch(TComponent* IdeObject) {
  if (IdeObject)
    IdeObject->FreeNotification(this);
}

void TOvPaletteMenuWizardDataModule::Notification(TComponent* AComponent, TOperation Operation) {
  TDataModule::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove)
    return;
  auto Forget = [AComponent](auto*& Field) {
    if (static_cast<TComponent*>(Field) == AComponent)
      Field = nullptr;
  };
  Forget(FDelphiForm);
  Forget(FDelphiMenu);
  Forget(FToolForm);
  Forget(FToolPalette);
  Forget(FToolbar);
  Forget(FToolButton);
  Forget(FOrigToolButton);
  Forget(FPaletteButtonMenu);
  Forget(FPaletteMenu);
}

template <class T> T* TOvPaletteMenuWizardDataModule::ToolFormPart(const UnicodeString& PartName) {
  TComponent* Part = FToolForm->FindComponent(PartName);
  if (!Part)
    CannotAttach(u"the form ToolForm has no component named \"" + PartName + u"\"");
  T* Typed = dynamic_cast<T*>(Part);
  if (!Typed)
    CannotAttach(u"ToolForm." + PartName + u" is a " + Part->ClassName() + u", not a " +
                 T::StaticClass().ClassName());
  Watch(Typed);
  return Typed;
}

void TOvPaletteMenuWizardDataModule::WizardDataModuleCreate(TObject*) {
  FReg.reset(new TRegIniFile(RegistryKey));
  FDelphiForm = Application->MainForm();
  Watch(FDelphiForm);

  // Everything the attachment relies on is checked before anything in the IDE changes.
  FToolForm = nullptr;
  const int FormCount = Screen->FormCount();
  for (int I = 0; I < FormCount; ++I)
    if (Screen->Forms(I)->Name() == u"ToolForm") {
      FToolForm = Screen->Forms(I);
      break;
    }
  if (!FToolForm)
    CannotAttach(u"no open form is named \"ToolForm\"");
  Watch(FToolForm);

  FToolPalette = ToolFormPart<TCategoryButtons>(u"Palette");
  FToolbar = ToolFormPart<TToolBar>(u"Toolbar1");
  if (FToolbar->ControlCount() == 0)
    CannotAttach(u"the tool bar ToolForm.Toolbar1 has no control");
  auto* FirstButton = dynamic_cast<TToolButton*>(FToolbar->Controls(0));
  if (!FirstButton)
    CannotAttach(u"control 0 of ToolForm.Toolbar1 is a " + FToolbar->Controls(0)->ClassName() +
                 u", not a TToolButton");
  TCustomImageList* Images = FToolbar->Images();
  if (!Images)
    CannotAttach(u"the tool bar ToolForm.Toolbar1 has no image list");
  if (!HasResource(HInstance(), GlyphResource))
    CannotAttach(u"the package has no bitmap resource " + GlyphResource);
  {
    if (!BorlandIDEServices)
      CannotAttach(u"the IDE offers no services");
    TInterfacePtr<INTAServices> Services;
    if (!Supports(BorlandIDEServices, Services))
      CannotAttach(u"the IDE services do not include INTAServices " + INTAServices::IID.ToString());
    FDelphiMenu = Services->GetMainMenu();
    if (!FDelphiMenu)
      CannotAttach(u"the IDE services give no main menu");
    Watch(FDelphiMenu);
  }

  FOrigToolButton = FirstButton;
  Watch(FOrigToolButton);
  FOrigToolButton->SetVisible(false);

  // Left first, then the tool bar: it places the new button by its Left, at the left end.
  FToolButton = new TToolButton(this);
  FToolButton->SetLeft(0);
  FToolButton->SetParent(FToolbar);
  FToolButton->SetName(u"tbPalette");
  FToolButton->SetStyle(TToolButtonStyle::tbsDropDown);
  FToolButton->SetHint(u"Orvik Palette Menu");

  FPaletteButtonMenu = new TPopupActionBar(this);
  FPaletteButtonMenu->OnPopup =
      Handler(this, &TOvPaletteMenuWizardDataModule::PaletteButtonMenuHandler);
  FToolButton->SetDropdownMenu(FPaletteButtonMenu);
  FToolButton->OnClick = Handler(this, &TOvPaletteMenuWizardDataModule::PaletteButtonClickHandler);

  {
    TOwned<TBitmap> Glyph(new TBitmap);
    Glyph->LoadFromResourceName(HInstance(), GlyphResource);
    // The bottom-left pixel holds the background, which the image list makes transparent.
    const TColor Transparent = Glyph->Pixels(0, 15);
    Images->AddMasked(Glyph.get(), Transparent);
    FToolButton->SetImageIndex(Images->Count() - 1);
  }

  FPaletteMenu = new TMenuItem(this);
  FPaletteMenu->SetCaption(u"P&alette");
  FPaletteMenu->OnClick = Handler(this, &TOvPaletteMenuWizardDataModule::PaletteMenuClickHandler);
  FDelphiMenu->Items()->Add(FPaletteMenu);

  // A child makes "P&alette" a sub-menu, whose opening fires its click and so rebuilds it.
  auto* Placeholder = new TMenuItem(this);
  Placeholder->SetCaption(u"Hidden");
  Placeholder->SetVisible(false);
  FPaletteMenu->Add(Placeholder);
}

void TOvPaletteMenuWizardDataModule::WizardDataModuleDestroy(TObject*) {
  // Runs also when the creation handler failed half-way: every field may still be empty.
  if (FOrigToolButton)
    FOrigToolButton->SetVisible(true);
  FReg.reset();
  if (OvPaletteMenuWizardDataModule == this)
    OvPaletteMenuWizardDataModule = nullptr;
}

void TOvPaletteMenuWizardDataModule::PaletteButtonClickHandler(TObject*) {
  if (FToolButton)
    FToolButton->CheckMenuDropdown();
}

UnicodeString TOvPaletteMenuWizardDataModule::GetCategory(const UnicodeString& TabKey) {
  return FReg->ReadString(CategoriesSection, TabKey, u"");
}

// --- tab navigation ---------------------------------------------------------------------------

void TOvPaletteMenuWizardDataModule::TabItemClickHandler(TObject* Sender) {
  UnicodeString Text;
  if (auto* Item = dynamic_cast<TMenuItem*>(Sender))
    Text = Item->Caption();
  else if (auto* Action = dynamic_cast<TCustomAction*>(Sender))
    Text = Action->Caption();
  SwitchToTab(Text);
}

void TOvPaletteMenuWizardDataModule::SwitchToTab(const UnicodeString& Caption) {
  if (!FToolPalette)
    return;
  const UnicodeString Want = RemoveAmpersand(Caption);
  TButtonCategories* Categories = FToolPalette->Categories();
  const int Count = Categories->Count();
  TButtonCategory* Match = nullptr;
  // The tab whose caption is the item's caption as it stands wins, so that tabs whose captions
  // differ only in "&" ("&Std", "Std") are each reached by their own item. Then a tab whose
  // caption is the key itself; then the first whose own key matches.
  for (int I = 0; I < Count && !Match; ++I)
    if (GetStrProp(Categories->Items(I), u"Caption") == Caption)
      Match = Categories->Items(I);
  for (int I = 0; I < Count && !Match; ++I)
    if (GetStrProp(Categories->Items(I), u"Caption") == Want)
      Match = Categories->Items(I);
  for (int I = 0; I < Count && !Match; ++I)
    if (RemoveAmpersand(GetStrProp(Categories->Items(I), u"Caption")) == Want)
      Match = Categories->Items(I);
  if (!Match)
    return;
  Match->SetCollapsed(false);
  Match->ScrollIntoView();
}

// --- menu builder -----------------------------------------------------------------------------

void TOvPaletteMenuWizardDataModule::PaletteMenuClickHandler(TObject*) {
  // Position 0 holds the invisible placeholder that makes "P&alette" a sub-menu; it stays.
  BuildMenu(FPaletteMenu, 1, &TOvPaletteMenuWizardDataModule::CategoryMenuItem);
}

void TOvPaletteMenuWizardDataModule::PaletteButtonMenuHandler(TObject*) {
  BuildMenu(FPaletteButtonMenu->Items(), 0,
            &TOvPaletteMenuWizardDataModule::CategoryButtonMenuItem);
}

TMenuItem* TOvPaletteMenuWizardDataModule::CategoryMenuItem(const UnicodeString& Caption) {
  return FindOrCreateCategory(FPaletteMenu, 1, Caption);
}

TMenuItem* TOvPaletteMenuWizardDataModule::CategoryButtonMenuItem(const UnicodeString& Caption) {
  return FindOrCreateCategory(FPaletteButtonMenu->Items(), 0, Caption);
}

TMenuItem* TOvPaletteMenuWizardDataModule::FindOrCreateCategory(TMenuItem* Target,
                                                                int FirstCategory,
                                                                const UnicodeString& Caption) {
  // Matched as the host's Find matches, but only among the category items: the main menu's
  // invisible placeholder never takes a category in, or its tabs would never show.
  const bool Indexed = Target == FIndexedTarget;
  if (Indexed)
    if (const auto Found = FCategoriesByCaption.find(Caption); Found != FCategoriesByCaption.end())
      return Found->second;
  const UnicodeString Key = MenuFindKey(Caption);
  if (Indexed) {
    if (const auto Found = FCategoriesByKey.find(Key); Found != FCategoriesByKey.end())
      return FCategoriesByCaption[Caption] = Found->second;
  } else {
    for (int I = FirstCategory; I < Target->Count(); ++I)
      if (MenuFindKey(Target->Items(I)->Caption()) == Key)
        return Target->Items(I);
  }

  auto* Item = new TMenuItem(this);
  Item->SetCaption(Caption);
  // Categories stand in code-unit order: the new one goes in front of the first that does not
  // sort before it. They are kept in that order, so a binary search finds the place.
  int Low = FirstCategory, High = Target->Count();
  while (Low < High) {
    const int Mid = Low + (High - Low) / 2;
    if (Target->Items(Mid)->Caption() < Caption)
      Low = Mid + 1;
    else
      High = Mid;
  }
  Target->Insert(Low, Item);
  if (Indexed) {
    FCategoriesByKey.emplace(Key, Item);
    FCategoriesByCaption.emplace(Caption, Item);
  }
  return Item;
}

void TOvPaletteMenuWizardDataModule::BuildMenu(TMenuItem* Target, int FirstCategory,
                                               TCategoryItemFunc CategoryItem) {
  // The previous items go, last first; each takes its tab items with it.
  for (int I = Target->Count() - 1; I >= FirstCategory; --I) {
    TMenuItem* Old = Target->Items(I);
    Target->Delete(I);
    Free(Old);
  }

  {
    // The index serves this build only, however it ends.
    struct TIndexScope {
      TOvPaletteMenuWizardDataModule& Owner;
      ~TIndexScope() {
        Owner.FIndexedTarget = nullptr;
        Owner.FCategoriesByKey.clear();
        Owner.FCategoriesByCaption.clear();
      }
    } Scope{*this};
    FIndexedTarget = Target;

    TOwned<TStringList> Tabs(new TStringList);
    TButtonCategories* Categories = FToolPalette ? FToolPalette->Categories() : nullptr;
    const int Count = Categories ? Categories->Count() : 0;
    for (int I = 0; I < Count; ++I)
      Tabs->Add(GetStrProp(Categories->Items(I), u"Caption"));
    // Sorted only now, so that tabs of equal captions all stay.
    Tabs->SetSorted(true);

    for (int I = 0; I < Tabs->Count(); ++I) {
      const UnicodeString Caption = Tabs->Get(I);
      UnicodeString Cats = GetCategory(RemoveAmpersand(Caption));
      if (Cats.empty())
        Cats = OtherCategory;
      // One tab item under each ";"-separated piece, used as typed: empty pieces too.
      size_t From = 0;
      while (true) {
        const size_t Semicolon = Cats.find(u';', From);
        const UnicodeString Piece = Cats.substr(From, Semicolon - From);
        auto* TabItem = new TMenuItem(this);
        TabItem->SetCaption(Caption);
        TabItem->OnClick = Handler(this, &TOvPaletteMenuWizardDataModule::TabItemClickHandler);
        (this->*CategoryItem)(Piece)->Add(TabItem);
        if (Semicolon == UnicodeString::npos)
          break;
        From = Semicolon + 1;
      }
    }
  }

  auto* Separator = new TMenuItem(this);
  Separator->SetCaption(u"-");
  Target->Add(Separator);
  auto* Edit = new TMenuItem(this);
  Edit->SetCaption(u"Edit Categories...");
  Edit->OnClick = Handler(this, &TOvPaletteMenuWizardDataModule::EditCategories);
  Target->Add(Edit);
}

void TOvPaletteMenuWizardDataModule::EditCategories(TObject*) {
  // The dialog and the list go on every path; FormDestroy closes the dialog's store handle.
  TOwned<TOvFrmPaletteMenuCategories> Dialog(
      CreateComponent<TOvFrmPaletteMenuCategories>(Application));
  {
    // Sorted before anything is added: captions equal to one already added (ignoring letter
    // case) are dropped.
    TOwned<TStringList> Captions(new TStringList);
    Captions->SetSorted(true);
    TButtonCategories* Categories = FToolPalette->Categories();
    const int Count = Categories->Count();
    for (int I = 0; I < Count; ++I)
      Captions->Add(GetStrProp(Categories->Items(I), u"Caption"));
    Dialog->Tabs = *Captions;
  }
  Dialog->UpdateControls();
  if (Dialog->ShowModal() == mrOk)
    Dialog->SaveCategories();
}

// --- the wizard -------------------------------------------------------------------------------

const TClassInfo& TOvPaletteMenuWizard::StaticClass() {
  static const TClassInfo Info(u"TOvPaletteMenuWizard", &TInterfacedObject::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TOvPaletteMenuWizard)

TOvPaletteMenuWizard::TOvPaletteMenuWizard() {
  // One attachment at a time: a second would put a second button and menu entry in the IDE,
  // and releasing either wizard would release the other's attachment.
  if (OvPaletteMenuWizardDataModule)
    throw EComponentError(u"The palette menu is already attached to the IDE");
  // The creation handler runs inside this call; if it fails, the half-built attachment is
  // released and so is this wizard, and the failure goes on to Register.
  OvPaletteMenuWizardDataModule = CreateComponent<TOvPaletteMenuWizardDataModule>(nullptr);
}

TOvPaletteMenuWizard::~TOvPaletteMenuWizard() {
  // Its destruction handler detaches the add-in and empties the variable.
  Free(OvPaletteMenuWizardDataModule);
}

void* TOvPaletteMenuWizard::GetInterface(const TGUID& Iid) {
  // IOTAWizard extends IOTANotifier: one table of operations serves both.
  if (Iid == IOTAWizard::IID)
    return static_cast<IOTAWizard*>(this);
  if (Iid == IOTANotifier::IID)
    return static_cast<IOTANotifier*>(static_cast<IOTAWizard*>(this));
  return TInterfacedObject::GetInterface(Iid);
}

void TOvPaletteMenuWizard::AfterSave() {}
void TOvPaletteMenuWizard::BeforeSave() {}
void TOvPaletteMenuWizard::Destroyed() {}
void TOvPaletteMenuWizard::Modified() {}

UnicodeString TOvPaletteMenuWizard::GetIDString() {
  return u"Orvik Software.Component Palette Menu";
}

UnicodeString TOvPaletteMenuWizard::GetName() {
  return u"Component Palette Menu";
}

TWizardState TOvPaletteMenuWizard::GetState() {
  return 0;
}

void TOvPaletteMenuWizard::Execute() {}

void Register() {
  RegisterPackageWizard(MakeInterfaced<TOvPaletteMenuWizard, IOTAWizard>());
}
