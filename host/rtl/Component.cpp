#include "rtl/Component.h"

#include "rtl/Assert.h"
#include "rtl/SysUtils.h"

#include <algorithm>
#include <typeinfo>

// What an owner keeps of its components. Slots hold them in order of insertion; a component
// that leaves empties its slot (constant time) and the slots close up when an index is asked
// for or when more than half are empty. Names are indexed by their ASCII-folded form; the
// components that must hear of their siblings are kept apart, in order of insertion, so that
// an insertion or removal tells them only, not every owned component; while none of them hears
// of every sibling, only the removal of a component that holds links is walked.
struct TComponent::TOwnedList {
  std::vector<TComponent*> Slots;
  size_t Live = 0;
  std::unordered_map<UnicodeString, TComponent*> Names;
  // By order of insertion (FOwnerSeq); Changes counts every change, so that a walk that called
  // out can tell whether its place still holds.
  std::vector<std::pair<std::uint64_t, TComponent*>> Hearing;
  std::uint64_t HearingChanges = 0;
  size_t HearingAll = 0;                 // entries of Hearing that hear of every sibling
  std::vector<TComponent*> Unclassified; // joined since the last insertion or removal
#ifndef NDEBUG
  // Found not to hear at the last insertion or removal: asked again at the next one, when
  // they are built, to catch one that was asked half-built.
  std::vector<TComponent*> Unheard;
#endif
  std::uint64_t NextSeq = 0;

  void Compact() {
    if (Live == Slots.size())
      return;
    size_t To = 0;
    for (TComponent* C : Slots)
      if (C) {
        C->FOwnerSlot = To;
        Slots[To++] = C;
      }
    Slots.resize(To);
  }
  // The first entry of Hearing whose sequence number is not below Seq.
  auto HearingFrom(std::uint64_t Seq) {
    return std::lower_bound(Hearing.begin(), Hearing.end(), Seq,
                            [](const auto& Entry, std::uint64_t S) { return Entry.first < S; });
  }
  static bool Listed(THearing Level) {
    return Level == THearing::Links || Level == THearing::All;
  }
  // Gives C (classified or not) the level Level, listing it in Hearing when it hears at all.
  void SetHearing(TComponent* C, THearing Level) {
    const bool Was = Listed(C->FHearing);
    HearingAll -= C->FHearing == THearing::All;
    HearingAll += Level == THearing::All;
    C->FHearing = Level;
    if (Was || !Listed(Level))
      return;
    // A component joins at the end (its sequence number is the highest) unless it was
    // classified late.
    if (Hearing.empty() || Hearing.back().first < C->FOwnerSeq)
      Hearing.emplace_back(C->FOwnerSeq, C);
    else
      Hearing.emplace(HearingFrom(C->FOwnerSeq), C->FOwnerSeq, C);
    ++HearingChanges;
  }
  void DropHearing(TComponent* C) {
    HearingAll -= C->FHearing == THearing::All;
    const auto It = HearingFrom(C->FOwnerSeq);
    if (It != Hearing.end() && It->first == C->FOwnerSeq)
      Hearing.erase(It);
    ++HearingChanges;
  }
  // Notification's parts: asks those that joined since the last insertion or removal (but
  // Except) whether they hear, and tells those that hear of AComponent.
  [[gnu::noinline]] void ClassifyJoined(TComponent& Owner, const TComponent* Except);
  [[gnu::noinline]] void TellHearing(TComponent* AComponent, TOperation Operation, bool Linked);
  void DropTrailingHoles() {
    while (!Slots.empty() && !Slots.back())
      Slots.pop_back();
  }
};

namespace {
// Identifiers compare with ASCII letter case ignored; this is the form they are indexed by.
UnicodeString NameKey(std::u16string_view Name) {
  UnicodeString Key(Name);
  for (char16_t& C : Key)
    if (C >= u'A' && C <= u'Z')
      C = static_cast<char16_t>(C + 32);
  return Key;
}
} // namespace

const TClassInfo& TComponent::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TComponent>(u"TComponent", &TPersistent::StaticClass())
          .Str(u"Name", &TComponent::Name, &TComponent::SetName);
  return Info;
}
HOST_CLASS_TYPE(TComponent)

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner)
    AOwner->InsertComponent(this);
}

void TComponent::BeforeDestruction() {
  FState |= csDestroying;
}

TComponent::~TComponent() {
  FState |= csDestroying;
  // Each view is detached before it hears, so that it may release itself while it is told.
  while (!FViews.empty()) {
    TComponentView* View = FViews.back().View;
    FViews.pop_back();
    View->ComponentDestroying(this);
  }
  // Everyone who asked is told first, so that no reference to this component survives it.
  while (!FFreeNotifies.empty()) {
    TComponent* Other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    Other->RemoveFreeNotification(this);
    Other->Notification(this, TOperation::opRemove);
  }
  // Owned components go last-created first. Each removes itself from the list; one may take
  // others with it (a menu item its sub-items), so always take the current last.
  while (FOwned && FOwned->Live > 0) {
    FOwned->DropTrailingHoles();
    TComponent* Last = FOwned->Slots.back();
    RemoveComponent(Last);
    Free(Last);
  }
  if (FOwner)
    FOwner->RemoveComponent(this);
  HOST_ASSERT(!FOwner && !ComponentCount() && FFreeNotifies.empty() && FViews.empty(),
              "a released component has left its owner, its owned, its links and its views");
}

TComponent::TOwnedList& TComponent::Owned() {
  if (!FOwned)
    FOwned = std::make_unique<TOwnedList>();
  return *FOwned;
}

int TComponent::ComponentCount() const {
  return FOwned ? static_cast<int>(FOwned->Live) : 0;
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
  FOwned->Compact();
  return FOwned->Slots[static_cast<size_t>(Index)];
}

TComponent* TComponent::FindComponent(std::u16string_view AName) const {
  if (AName.empty() || !FOwned)
    return nullptr;
  auto It = FOwned->Names.find(NameKey(AName));
  return It == FOwned->Names.end() ? nullptr : It->second;
}

bool TComponent::HearsSiblings() const {
  return !IsExactly<TComponent>();
}

void TComponent::Classify(TComponent* C) {
  HOST_ASSERT(C->FOwner == this, "only an owned component is asked whether it hears");
  const THearing Level = C->HearsSiblings() || (C->FOwned && C->OwnsHearing()) ? THearing::All
                         : !C->FFreeNotifies.empty()                           ? THearing::Links
                                                                               : THearing::No;
  if (Level == THearing::No) { // most: nothing to list
    C->FHearing = Level;
#ifndef NDEBUG
    FOwned->Unheard.push_back(C);
#endif
    return;
  }
  FOwned->SetHearing(C, Level);
  // Owning a component that hears makes this one hear of every sibling, to tell it.
  if (FOwner)
    FOwner->Hear(this, THearing::All);
}

bool TComponent::OwnsHearing() {
  if (!FOwned)
    return false;
  TOwnedList& List = *FOwned;
  // Built by now, as the component that owns them is being asked.
  for (TComponent* C : List.Unclassified)
    Classify(C);
  List.Unclassified.clear();
  return !List.Hearing.empty();
}

void TComponent::Hear(TComponent* C, THearing Level) {
  if (C->FOwner != this || C->FHearing == THearing::Unknown || C->FHearing >= Level)
    return; // not yet asked (it will be then), or already told
  FOwned->SetHearing(C, Level);
  if (FOwner)
    FOwner->Hear(this, THearing::All);
}

namespace {
bool IsIdentStart(char16_t C) {
  return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || C == u'_';
}
bool IsIdentChar(char16_t C) {
  return IsIdentStart(C) || (C >= u'0' && C <= u'9');
}
} // namespace

void TComponent::ValidateName(std::u16string_view NewName, const TComponent* Owner) const {
  if (NewName.empty())
    return;
  bool Valid = IsIdentStart(NewName[0]);
  for (char16_t C : NewName)
    Valid = Valid && IsIdentChar(C);
  if (!Valid)
    throw EComponentError(u"'" + UnicodeString(NewName) + u"' is not a valid component name");
  if (Owner) {
    TComponent* Other = Owner->FindComponent(NewName);
    if (Other && Other != this)
      throw EComponentError(u"A component named " + UnicodeString(NewName) + u" already exists");
  }
}

const TFieldInfo* TComponent::OwnerField(const TComponent* Owner, std::u16string_view Name) const {
  if (!Owner || Name.empty())
    return nullptr;
  const TFieldInfo* Field = Owner->ClassType().FindField(Name);
  if (Field && !Field->Set(const_cast<TComponent&>(*Owner), const_cast<TComponent*>(this)))
    throw EComponentError(u"Field " + Field->Name + u" of class " + Owner->ClassName() +
                          u" cannot hold " + UnicodeString(Name) + u" of class " + ClassName());
  return Field;
}

void TComponent::ClearReference(const TFieldInfo* Field) {
  if (Field && Field->Get(*FOwner) == this)
    Field->Set(*FOwner, nullptr);
}

void TComponent::SetName(const UnicodeString& NewName) {
  if (NewName == FName)
    return;
  ValidateName(NewName, FOwner);
  const TFieldInfo* NewField = OwnerField(FOwner, NewName);
  if (FOwner && !FName.empty()) {
    const TFieldInfo* OldField = FOwner->ClassType().FindField(FName);
    if (OldField != NewField)
      ClearReference(OldField);
  }
  if (FOwner) {
    auto& Names = FOwner->FOwned->Names;
    if (!FName.empty())
      Names.erase(NameKey(FName));
    if (!NewName.empty())
      Names[NameKey(NewName)] = this;
  }
  FName = NewName;
  NotifyViews(&TComponentView::NameChanged, this);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this)
    return;
  // An unnamed component (most, and every one that joins from its constructor) has no name to
  // check and no field to fill.
  if (!AComponent->FName.empty()) {
    ValidateName(AComponent->FName, this);
    AComponent->OwnerField(this, AComponent->FName); // refuses one the field cannot hold
  }
  if (AComponent->FOwner)
    AComponent->FOwner->RemoveComponent(AComponent);
  HOST_ASSERT(!AComponent->FOwner, "a component joins an owner only after leaving the last one");
  TOwnedList& List = Owned();
  AComponent->FOwnerSlot = List.Slots.size();
  AComponent->FOwnerSeq = List.NextSeq++;
  AComponent->FHearing = THearing::Unknown;
  List.Slots.push_back(AComponent);
  ++List.Live;
  if (!AComponent->FName.empty())
    List.Names[NameKey(AComponent->FName)] = AComponent;
  List.Unclassified.push_back(AComponent);
  AComponent->FOwner = this;
  // Owning a component not yet asked makes this one hear of every sibling, to tell it.
  if (FOwner)
    FOwner->Hear(this, THearing::All);
  Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this)
    return;
  if (!AComponent->FName.empty())
    AComponent->ClearReference(ClassType().FindField(AComponent->FName));
  Notification(AComponent, TOperation::opRemove);
  TOwnedList& List = *FOwned;
  HOST_ASSERT(AComponent->FOwnerSlot < List.Slots.size() &&
                  List.Slots[AComponent->FOwnerSlot] == AComponent,
              "an owned component's slot in its owner's list holds it");
  if (AComponent->FOwnerSlot < List.Slots.size() &&
      List.Slots[AComponent->FOwnerSlot] == AComponent) {
    List.Slots[AComponent->FOwnerSlot] = nullptr;
    --List.Live;
    List.DropTrailingHoles();
    if (List.Live < List.Slots.size() / 2)
      List.Compact();
  }
  if (!AComponent->FName.empty()) {
    auto It = List.Names.find(NameKey(AComponent->FName));
    if (It != List.Names.end() && It->second == AComponent)
      List.Names.erase(It);
  }
  if (TOwnedList::Listed(AComponent->FHearing))
    List.DropHearing(AComponent);
  else if (AComponent->FHearing == THearing::Unknown)
    std::erase(List.Unclassified, AComponent);
#ifndef NDEBUG
  std::erase(List.Unheard, AComponent);
#endif
  AComponent->FHearing = THearing::Unknown;
  AComponent->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this)
    return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
  auto& Back = AComponent->FFreeNotifies;
  if (std::find(Back.begin(), Back.end(), this) == Back.end())
    Back.push_back(this);
  // Both ends of a link must hear of their siblings' removal, which drops the link.
  if (FOwner)
    FOwner->Hear(this, THearing::Links);
  if (AComponent->FOwner)
    AComponent->FOwner->Hear(AComponent, THearing::Links);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  auto Drop = [](std::vector<TComponent*>& V, TComponent* C) {
    V.erase(std::remove(V.begin(), V.end(), C), V.end());
  };
  Drop(FFreeNotifies, AComponent);
  if (AComponent)
    Drop(AComponent->FFreeNotifies, this);
}

void TComponent::SetLoading(bool Loading) {
  if (Loading)
    FState |= csLoading;
  else
    FState &= ~static_cast<unsigned>(csLoading);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  // A link is held at both of its ends (a component being released has dropped its own before
  // its owner hears of it): one that holds none, as most told of here, has nothing to drop.
  if (Operation == TOperation::opRemove && AComponent) {
    if (!AComponent->FFreeNotifies.empty())
      RemoveFreeNotification(AComponent);
    else
      HOST_ASSERT(std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) ==
                      FFreeNotifies.end(),
                  "a free-notification link is held at both of its ends");
  }
  if (!FOwned)
    return;
  // Owned components hear about their siblings, as on the host: those that joined since the
  // last time are asked first whether they need to (AComponent itself is asked next time).
  // The others hold no link, own nothing and leave Notification as it is here, so telling
  // them would do nothing.
  TOwnedList& List = *FOwned;
#ifndef NDEBUG
  for (TComponent* C : List.Unheard)
    HOST_ASSERT(C == AComponent || C->FHearing != THearing::No || (C->FState & csDestroying) ||
                    !C->HearsSiblings(),
                "no component's owner inserts or removes components while it is half-built");
  List.Unheard.clear();
#endif
  std::vector<TComponent*>& Joined = List.Unclassified;
  if (Joined.size() == 2 && Joined[1] == AComponent && Joined[0] != AComponent) {
    // The usual insertion: the one before it joined last time, and this one.
    TComponent* Before = Joined[0];
    Joined[0] = AComponent;
    Joined.pop_back();
    Classify(Before);
  } else if (!Joined.empty()) {
    List.ClassifyJoined(*this, AComponent);
  }
  // Those that hear only of linked components are told of the removal of one they are linked
  // to; when no owned component hears of every sibling and AComponent holds no link, nobody.
  // Most insertions and removals end here, before the walk.
  const bool Linked =
      Operation == TOperation::opRemove && AComponent && !AComponent->FFreeNotifies.empty();
  if (List.HearingAll || Linked)
    List.TellHearing(AComponent, Operation, Linked);
}

void TComponent::TOwnedList::ClassifyJoined(TComponent& Owner, const TComponent* Except) {
  size_t Kept = 0;
  for (TComponent* C : Unclassified)
    if (C == Except)
      Unclassified[Kept++] = C;
    else
      Owner.Classify(C);
  Unclassified.resize(Kept);
}

void TComponent::TOwnedList::TellHearing(TComponent* AComponent, TOperation Operation,
                                         bool Linked) {
  TOwnedList& List = *this;
  // Walked in order of insertion; a handler that adds or removes components makes the walk go
  // on after the one it told, found again by its sequence number.
  for (size_t I = 0; I < List.Hearing.size();) {
    const auto [Seq, C] = List.Hearing[I];
    const std::uint64_t Changes = List.HearingChanges;
    if (C != AComponent &&
        (C->FHearing == THearing::All ||
         (Linked && std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(),
                              C) != AComponent->FFreeNotifies.end())))
      C->Notification(AComponent, Operation);
    if (List.HearingChanges == Changes)
      ++I;
    else
      I = static_cast<size_t>(List.HearingFrom(Seq + 1) - List.Hearing.begin());
  }
}

void TComponent::AddView(TComponentView* AView) {
  // It would never hear of the release that is under way, and be left pointing at nothing.
  HOST_ASSERT(!(FState & csDestroying), "no view attaches to a component being released");
  if (AView && !HasView(AView))
    FViews.push_back({AView});
}

void TComponent::RemoveView(TComponentView* AView) {
  std::erase_if(FViews, [AView](const TViewSlot& Slot) { return Slot.View == AView; });
}

bool TComponent::HasView(const TComponentView* AView) const {
  return std::any_of(FViews.begin(), FViews.end(),
                     [AView](const TViewSlot& Slot) { return Slot.View == AView; });
}

void* TComponent::ViewAs(size_t Index, const void* Kind, void* (*Cast)(TComponentView*)) {
  TViewSlot& Slot = FViews[Index];
  if (Slot.Kinds[0] == Kind)
    return Slot.Typed[0];
  // Found further back or cast now, the interface moves to the front.
  void* Typed = nullptr;
  int Found = TViewSlot::Kept - 1;
  for (int I = 1; I < TViewSlot::Kept; ++I)
    if (Slot.Kinds[I] == Kind) {
      Found = I;
      break;
    }
  Typed = Slot.Kinds[Found] == Kind ? Slot.Typed[Found] : Cast(Slot.View);
  for (int I = Found; I > 0; --I) {
    Slot.Kinds[I] = Slot.Kinds[I - 1];
    Slot.Typed[I] = Slot.Typed[I - 1];
  }
  Slot.Kinds[0] = Kind;
  Slot.Typed[0] = Typed;
  return Typed;
}
