#include "OvPaletteMenu.h"

#include "OvPaletteMenuCategoriesForm.h"
#include "OvPaletteMenuCommon.h"

#include "rtl/StringList.h"
#include "rtl/SysUtils.h"
#include "vcl/ActnList.h"
#include "vcl/ActnPopup.h"
#include "vcl/CategoryButtons.h"
#include "vcl/Creation.h"
#include "vcl/Forms.h"
#include "vcl/Menus.h"

namespace {
const UnicodeString CategoriesSection = u"Categories";
const UnicodeString OtherCategory = u"Other";
} // namespace

const TClassInfo& TOvPaletteMenuWizardDataModule::StaticClass() {
  static const TClassInfo Info = TClassBuilder<TOvPaletteMenuWizardDataModule>(
      u"TOvPaletteMenuWizardDataModule", &TDataModule::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TOvPaletteMenuWizardDataModule)

TOvPaletteMenuWizardDataModule::TOvPaletteMenuWizardDataModule(TComponent* AOwner)
    : TDataModule(AOwner) {}

TOvPaletteMenuWizardDataModule::~TOvPaletteMenuWizardDataModule() = default;

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
  const UnicodeString Want = RemoveAmpersand(Caption);
  TButtonCategories* Categories = FToolPalette->Categories();
  const int Count = Categories->Count();
  TButtonCategory* Match = nullptr;
  // A tab whose caption is the key itself wins; otherwise the first whose own key matches, so
  // that a tab with "&" in its caption is reached by its own item too.
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
  // placeholder never takes a category in.
  const UnicodeString Wanted = StripHotkey(Caption);
  for (int I = FirstCategory; I < Target->Count(); ++I)
    if (AnsiSameText(StripHotkey(Target->Items(I)->Caption()), Wanted))
      return Target->Items(I);

  auto* Item = new TMenuItem(this);
  Item->SetCaption(Caption);
  // Categories stand in code-unit order; insert in front of the first that does not sort
  // before the new one.
  int At = FirstCategory;
  while (At < Target->Count() && Target->Items(At)->Caption() < Caption)
    ++At;
  Target->Insert(At, Item);
  return Item;
}

void TOvPaletteMenuWizardDataModule::BuildMenu(TMenuItem* Target, int FirstCategory,
                                               TCategoryItemFunc CategoryItem) {
  // Items of the previous build go, last first; each takes its tab items with it.
  for (int I = Target->Count() - 1; I >= FirstCategory; --I) {
    TMenuItem* Old = Target->Items(I);
    Target->Delete(I);
    Free(Old);
  }

  {
    auto Tabs = std::make_unique<TStringList>();
    TButtonCategories* Categories = FToolPalette->Categories();
    const int Count = Categories->Count();
    for (int I = 0; I < Count; ++I)
      Tabs->Add(GetStrProp(Categories->Items(I), u"Caption"));
    // Sorted only now, so that tabs of equal captions all stay.
    Tabs->SetSorted(true);

    for (int I = 0; I < Tabs->Count(); ++I) {
      const UnicodeString Caption = Tabs->Get(I);
      UnicodeString Cats = GetCategory(RemoveAmpersand(Caption));
      if (Cats.empty())
        Cats = OtherCategory;
      // One tab item under each ";"-separated piece; pieces are used as typed, empty ones too.
      while (true) {
        const size_t P = Cats.find(u';');
        const UnicodeString Piece = P == UnicodeString::npos ? Cats : Cats.substr(0, P);
        auto* TabItem = new TMenuItem(this);
        TabItem->SetCaption(Caption);
        TabItem->OnClick = Handler(this, &TOvPaletteMenuWizardDataModule::TabItemClickHandler);
        (this->*CategoryItem)(Piece)->Add(TabItem);
        if (P == UnicodeString::npos)
          break;
        Cats = Cats.substr(P + 1);
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
