#include "OvPaletteMenu.h"

#include "OvPaletteMenuCategoriesForm.h"
#include "OvPaletteMenuCommon.h"

#include "rtl/Resources.h"
#include "rtl/StringList.h"
#include "rtl/Threads.h"
#include "vcl/ActnList.h"
#include "vcl/ActnPopup.h"
#include "vcl/Bitmap.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Creation.h"
#include "vcl/Forms.h"
#include "vcl/ImgList.h"
#include "vcl/Menus.h"

#include <algorithm>
#include <bit>
#include <cstdint>

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

TOvPaletteMenuWizardDataModule::~TOvPaletteMenuWizardDataModule() {
  // Nothing queued may run on this object once it is gone. The retired items are released
  // with everything else this data module owns.
  TThread::RemoveQueuedEvents(this);
  FRetiredItems.clear();
}

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
  FReg = std::make_unique<TRegIniFile>(RegistryKey);
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

TMenuItem* TOvPaletteMenuWizardDataModule::CategoryMenuItem(std::u16string_view Caption) {
  return FindOrCreateCategory(FPaletteMenu, 1, Caption);
}

TMenuItem* TOvPaletteMenuWizardDataModule::CategoryButtonMenuItem(std::u16string_view Caption) {
  return FindOrCreateCategory(FPaletteButtonMenu->Items(), 0, Caption);
}

namespace {
// The piece hash: four code units at a time, multiplied and folded, the length last, so that a
// piece is hashed while its end is looked for. Captions are short: no call, no loop per unit.
constexpr std::uint64_t HashMul = 0xff51afd7ed558ccdull;
constexpr std::uint64_t HashSeed = 0x9e3779b97f4a7c15ull;

inline std::uint64_t HashStep(std::uint64_t H, std::uint64_t Word) {
  H = (H ^ Word) * HashMul;
  return H ^ (H >> 32);
}

inline size_t HashEnd(std::uint64_t H, size_t Length) {
  H = (H ^ Length) * HashMul;
  return static_cast<size_t>(H ^ (H >> 29));
}

// Whether two captions hold the same code units, compared four at a time in place.
inline bool SameUnits(std::u16string_view A, std::u16string_view B) {
  if (A.size() != B.size())
    return false;
  const char16_t* P = A.data();
  const char16_t* Q = B.data();
  size_t N = A.size();
  for (; N >= 4; P += 4, Q += 4, N -= 4)
    if (LoadUnits(P) != LoadUnits(Q))
      return false;
  return PackUnits(P, N) == PackUnits(Q, N);
}
} // namespace

size_t TOvPaletteMenuWizardDataModule::TCategoryIndex::HashOf(std::u16string_view Caption) {
  std::uint64_t H = HashSeed;
  const char16_t* P = Caption.data();
  size_t N = Caption.size();
  for (; N >= 4; P += 4, N -= 4)
    H = HashStep(H, LoadUnits(P));
  if (N)
    H = HashStep(H, PackUnits(P, N));
  return HashEnd(H, Caption.size());
}

const char16_t* TOvPaletteMenuWizardDataModule::TCategoryIndex::ScanPiece(const char16_t* From,
                                                                          const char16_t* End,
                                                                          size_t& Hash) {
  std::uint64_t H = HashSeed;
  const char16_t* P = From;
  for (; End - P >= 4; P += 4) {
    const std::uint64_t W = LoadUnits(P);
    if (const std::uint64_t Found = LanesHolding(W, u';')) {
      const size_t Before = static_cast<size_t>(std::countr_zero(Found)) / 16;
      if (Before)
        H = HashStep(H, W & ((std::uint64_t(1) << (16 * Before)) - 1));
      Hash = HashEnd(H, static_cast<size_t>(P - From) + Before);
      return P + Before;
    }
    H = HashStep(H, W);
  }
  size_t Before = 0;
  while (P + Before < End && P[Before] != u';')
    ++Before;
  if (Before)
    H = HashStep(H, PackUnits(P, Before));
  Hash = HashEnd(H, static_cast<size_t>(P - From) + Before);
  return P + Before;
}

bool TOvPaletteMenuWizardDataModule::TCategoryIndex::HasUnit(std::u16string_view Text,
                                                             char16_t Unit) {
  const char16_t* P = Text.data();
  size_t N = Text.size();
  for (; N >= 4; P += 4, N -= 4)
    if (LanesHolding(LoadUnits(P), Unit))
      return true;
  for (; N; ++P, --N)
    if (*P == Unit)
      return true;
  return false;
}

TMenuItem* TOvPaletteMenuWizardDataModule::TCategoryIndex::Find(std::u16string_view Caption,
                                                                size_t Hash) const {
  if (FSlots.empty())
    return nullptr;
  const size_t Mask = FSlots.size() - 1;
  for (size_t I = Hash & Mask;; I = (I + 1) & Mask) {
    const TSlot& Slot = FSlots[I];
    if (!Slot.Item)
      return nullptr;
    if (Slot.Hash == Hash && SameUnits(Slot.Caption, Caption))
      return Slot.Item;
  }
}

void TOvPaletteMenuWizardDataModule::TCategoryIndex::Add(std::u16string_view Caption, size_t Hash,
                                                         TMenuItem* Item) {
  if (2 * (FCount + 1) > FSlots.size()) {
    std::vector<TSlot> Old(std::max<size_t>(64, 2 * FSlots.size()));
    Old.swap(FSlots);
    for (TSlot& Slot : Old)
      if (Slot.Item)
        Place(Slot.Hash, Slot.Item, std::move(Slot.Caption));
  }
  Place(Hash, Item, UnicodeString(Caption));
  ++FCount;
}

void TOvPaletteMenuWizardDataModule::TCategoryIndex::Place(size_t Hash, TMenuItem* Item,
                                                           UnicodeString&& Caption) {
  const size_t Mask = FSlots.size() - 1;
  size_t I = Hash & Mask;
  while (FSlots[I].Item)
    I = (I + 1) & Mask;
  FSlots[I].Hash = Hash;
  FSlots[I].Item = Item;
  FSlots[I].Caption = std::move(Caption);
}

void TOvPaletteMenuWizardDataModule::TCategoryIndex::Clear() {
  if (!FCount)
    return;
  for (TSlot& Slot : FSlots)
    if (Slot.Item) {
      Slot.Item = nullptr;
      UnicodeString().swap(Slot.Caption);
    }
  FCount = 0;
}

TMenuItem* TOvPaletteMenuWizardDataModule::FindOrCreateCategory(TMenuItem* Target,
                                                                int FirstCategory,
                                                                std::u16string_view Caption) {
  // Matched as the host's Find matches, but only among the category items: the main menu's
  // placeholder never takes a category in. During a build of Target its index answers;
  // otherwise the items are walked.
  const bool Indexed = Target == FIndexedTarget;
  const size_t CaptionHash = Indexed ? TCategoryIndex::HashOf(Caption) : 0;
  if (Indexed)
    if (TMenuItem* Found = FCategoriesByCaption.Find(Caption, CaptionHash))
      return Found;
  UnicodeString Key = MenuFindKey(Caption);
  const size_t KeyHash = Indexed ? TCategoryIndex::HashOf(Key) : 0;
  if (Indexed) {
    if (TMenuItem* Found = FCategoriesByKey.Find(Key, KeyHash)) {
      FCategoriesByCaption.Add(Caption, CaptionHash, Found);
      return Found;
    }
  } else {
    for (int I = FirstCategory; I < Target->Count(); ++I)
      if (MenuFindKey(Target->Items(I)->Caption()) == Key)
        return Target->Items(I);
  }

  auto* Item = new TMenuItem(this);
  Item->SetCaption(UnicodeString(Caption));
  // Categories stand in code-unit order: insert in front of the first that does not sort
  // before the new one. They are kept in that order, so a binary search finds it.
  int Low = FirstCategory, High = Target->Count();
  while (Low < High) {
    const int Mid = Low + (High - Low) / 2;
    if (std::u16string_view(Target->Items(Mid)->Caption()) < Caption)
      Low = Mid + 1;
    else
      High = Mid;
  }
  Target->Insert(Low, Item);
  if (Indexed) {
    FCategoriesByCaption.Add(Caption, CaptionHash, Item);
    FCategoriesByKey.Add(Key, KeyHash, Item);
  }
  return Item;
}

void TOvPaletteMenuWizardDataModule::RetireItems(TMenuItem* Target, int FirstCategory) {
  // A batch still waiting goes now: one generation at most is kept.
  ReleaseRetiredItems();
  for (int I = Target->Count() - 1; I >= FirstCategory; --I) {
    TMenuItem* Old = Target->Items(I);
    Target->Delete(I);
    FRetiredItems.push_back(Old);
  }
  if (!FRetiredItems.empty() && !FReleaseQueued) {
    TThread::ForceQueue(this, [this] {
      FReleaseQueued = false;
      ReleaseRetiredItems();
    });
    FReleaseQueued = true;
  }
}

void TOvPaletteMenuWizardDataModule::ReleaseRetiredItems() {
  // In the order they were retired; each takes its tab items with it. Taken out of the field
  // first, so that whatever happens meanwhile sees no item that is being released.
  std::vector<TMenuItem*> Items;
  Items.swap(FRetiredItems);
  for (TMenuItem* Item : Items)
    Free(Item);
}

void TOvPaletteMenuWizardDataModule::BuildMenu(TMenuItem* Target, int FirstCategory,
                                               TCategoryItemFunc CategoryItem) {
  // Items of the previous build leave the menu now and are released when the IDE is idle.
  RetireItems(Target, FirstCategory);

  {
    // The category index lives for this build only, whichever way it ends.
    struct TIndexScope {
      TOvPaletteMenuWizardDataModule& Owner;
      ~TIndexScope() {
        Owner.FIndexedTarget = nullptr;
        Owner.FCategoriesByCaption.Clear();
        Owner.FCategoriesByKey.Clear();
      }
    } Scope{*this};
    FIndexedTarget = Target;

    auto Tabs = std::make_unique<TStringList>();
    TButtonCategories* Categories = FToolPalette ? FToolPalette->Categories() : nullptr;
    const int Count = Categories ? Categories->Count() : 0;
    Tabs->SetCapacity(Count);
    TOvCaptionReader CaptionOf;
    for (int I = 0; I < Count; ++I)
      Tabs->Add(CaptionOf.Read(Categories->Items(I)));
    // Sorted only now, so that tabs of equal captions all stay.
    Tabs->SetSorted(true);
    // The sorted captions leave the list, which goes empty: the last tab item of each tab
    // takes its caption over instead of copying it.
    std::vector<UnicodeString> Sorted = Tabs->TakeStrings();

    UnicodeString Stripped;
    for (UnicodeString& Caption : Sorted) {
      // The tab key is the caption itself when it holds no "&".
      const bool HasAmpersand = TCategoryIndex::HasUnit(Caption, u'&');
      if (HasAmpersand)
        Stripped = RemoveAmpersand(Caption);
      const UnicodeString Stored = GetCategory(HasAmpersand ? Stripped : Caption);
      const std::u16string_view Cats = Stored.empty() ? OtherCategory : Stored;
      // One tab item under each ";"-separated piece; pieces are used as typed, empty ones too,
      // and looked up where they stand in the stored text. Each piece is hashed in the pass
      // that finds its end, and a category item of this build is found by that hash at once.
      const char16_t* From = Cats.data();
      const char16_t* const End = From + Cats.size();
      while (true) {
        size_t Hash;
        const char16_t* PieceEnd = TCategoryIndex::ScanPiece(From, End, Hash);
        const std::u16string_view Piece(From, static_cast<size_t>(PieceEnd - From));
        auto* TabItem = new TMenuItem(this);
        if (PieceEnd == End)
          TabItem->SetCaption(std::move(Caption)); // its last use
        else
          TabItem->SetCaption(Caption);
        // A closure small enough for the event to hold without allocating, one per tab item.
        TabItem->OnClick = [this](TObject* Sender) { TabItemClickHandler(Sender); };
        TMenuItem* Category = FCategoriesByCaption.Find(Piece, Hash);
        if (!Category)
          Category = (this->*CategoryItem)(Piece);
        Category->Add(TabItem);
        if (PieceEnd == End)
          break;
        From = PieceEnd + 1;
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
    Captions->SetCapacity(Count);
    TOvCaptionReader Caption;
    for (int I = 0; I < Count; ++I)
      Captions->Add(Caption.Read(Categories->Items(I)));
    // The dialog takes the captions over instead of copying them.
    Dialog->Tabs = std::move(*Captions);
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
