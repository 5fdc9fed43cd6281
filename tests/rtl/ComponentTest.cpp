#include "rtl/Component.h"
#include "rtl/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

// Records its release in a shared log.
class TLogged : public TComponent {
public:
  TLogged(TComponent* AOwner, UnicodeString AName, std::vector<UnicodeString>& Log)
      : TComponent(AOwner), FLog(Log) {
    SetName(AName);
  }
  ~TLogged() override { FLog.push_back(Name()); }

  UnicodeString Text;
  TNotifyEvent OnChange;
  std::vector<std::uintptr_t> Removed; // addresses of released components
  void Poke(TObject* Sender) { Text = u"poked by " + static_cast<TComponent*>(Sender)->Name(); }
  void Measure(TObject*, int) {}

  static const TClassInfo& StaticClass() {
    static const TClassInfo Info =
        TClassBuilder<TLogged>(u"TLogged", &TComponent::StaticClass())
            .Str(
                u"Text", [](const TLogged& L) { return L.Text; },
                [](TLogged& L, const UnicodeString& V) { L.Text = V; })
            .Event(u"OnChange", &TLogged::OnChange)
            .Method(u"Poke", &TLogged::Poke)
            .Method<std::function<void(TObject*, int)>>(u"Measure", &TLogged::Measure);
    return Info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove)
      Removed.push_back(reinterpret_cast<std::uintptr_t>(AComponent));
  }

private:
  std::vector<UnicodeString>& FLog;
};

TEST(Component, OwnerReleasesOwnedComponentsLastCreatedFirst) {
  std::vector<UnicodeString> Log;
  {
    auto Owner = std::make_unique<TLogged>(nullptr, u"Owner", Log);
    new TLogged(Owner.get(), u"First", Log);
    auto* Second = new TLogged(Owner.get(), u"Second", Log);
    new TLogged(Second, u"Grandchild", Log);
    new TLogged(Owner.get(), u"Third", Log);
    EXPECT_EQ(Owner->ComponentCount(), 3);
  }
  // Each component's own cleanup runs first, then it releases what it owns.
  EXPECT_EQ(Log,
            (std::vector<UnicodeString>{u"Owner", u"Third", u"Second", u"Grandchild", u"First"}));
}

TEST(Component, ReleasedComponentLeavesItsOwnerWhichHearsOfIt) {
  std::vector<UnicodeString> Log;
  TLogged Owner(nullptr, u"Owner", Log);
  auto* Sibling = new TLogged(&Owner, u"Sibling", Log);
  auto* Gone = new TLogged(&Owner, u"Gone", Log);
  const auto GoneAddress = reinterpret_cast<std::uintptr_t>(Gone);
  delete Gone;
  EXPECT_EQ(Owner.ComponentCount(), 1);
  EXPECT_EQ(Owner.FindComponent(u"Gone"), nullptr);
  EXPECT_EQ(Owner.Removed, (std::vector<std::uintptr_t>{GoneAddress}));
  EXPECT_TRUE(Sibling->Removed.empty()) << "a sibling hears only through a link";
}

TEST(Component, FreeNotificationReachesComponentsOfOtherOwners) {
  std::vector<UnicodeString> Log;
  TLogged Watcher(nullptr, u"Watcher", Log);
  auto Watched = std::make_unique<TLogged>(nullptr, u"Watched", Log);
  Watched->FreeNotification(&Watcher);
  const auto Raw = reinterpret_cast<std::uintptr_t>(Watched.get());
  Watched.reset();
  EXPECT_EQ(Watcher.Removed, (std::vector<std::uintptr_t>{Raw}));
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwnerIgnoringCase) {
  std::vector<UnicodeString> Log;
  TLogged Owner(nullptr, u"Owner", Log);
  auto* A = new TLogged(&Owner, u"Palette", Log);
  EXPECT_EQ(Owner.FindComponent(u"PALETTE"), A);
  EXPECT_THROW(new TLogged(&Owner, u"palette", Log), EComponentError);
  EXPECT_EQ(Owner.ComponentCount(), 1); // the refused one released itself
  EXPECT_THROW(A->SetName(u"9lives"), EComponentError);
  EXPECT_THROW(A->SetName(u"has blank"), EComponentError);
  A->SetName(u"");
  EXPECT_EQ(Owner.FindComponent(u""), nullptr);
}

// Counts what it is told.
class TLinkProbe : public TComponent {
public:
  using TComponent::TComponent;
  std::vector<std::pair<TOperation, std::uintptr_t>> Told; // addresses of those told of

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    Told.emplace_back(Operation, reinterpret_cast<std::uintptr_t>(AComponent));
  }
};

std::uintptr_t Address(const TComponent* C) {
  return reinterpret_cast<std::uintptr_t>(C);
}

using TTold = std::vector<std::pair<TOperation, std::uintptr_t>>;

// One rule for every class: an owner hears of what joins and leaves it; any other component
// hears of a release only through a link, once, and never after the link is gone.
TEST(Component, AnOwnerHearsOfItsComponentsAndOthersOnlyThroughLinks) {
  TLinkProbe Owner(nullptr);
  auto* Listener = new TLinkProbe(&Owner);
  auto* Linked = new TLinkProbe(&Owner);
  auto* Target = new TLinkProbe(&Owner);
  TLinkProbe Elsewhere(nullptr);
  Target->FreeNotification(Linked);
  Target->FreeNotification(&Elsewhere);
  Owner.Told.clear();
  for (int I = 0; I < 10; ++I)
    delete new TComponent(&Owner);
  EXPECT_EQ(Owner.Told.size(), 20u) << "ten insertions and ten removals";
  EXPECT_TRUE(Listener->Told.empty());
  EXPECT_TRUE(Linked->Told.empty());

  const std::uintptr_t TargetAddress = Address(Target);
  delete Target;
  EXPECT_EQ(Linked->Told, (TTold{{TOperation::opRemove, TargetAddress}}));
  EXPECT_EQ(Elsewhere.Told, (TTold{{TOperation::opRemove, TargetAddress}}));
  EXPECT_TRUE(Listener->Told.empty());

  // A link removed by hand: nothing more, at either end.
  auto* Again = new TLinkProbe(&Owner);
  Again->FreeNotification(Listener);
  Again->RemoveFreeNotification(Listener);
  delete Again;
  EXPECT_TRUE(Listener->Told.empty());
}

// A link holds across a change of owner: each end hears of the other's release once, and
// neither is left holding the other (ASan sees a stale one).
TEST(Component, AFreeNotificationLinkOutlivesAChangeOfOwner) {
  TLinkProbe Owner(nullptr);
  TLinkProbe Elsewhere(nullptr);
  auto* Watcher = new TLinkProbe(&Owner);
  auto* Watched = new TLinkProbe(&Owner);
  Watched->FreeNotification(Watcher);
  Elsewhere.InsertComponent(Watched);
  EXPECT_TRUE(Watcher->Told.empty());
  const std::uintptr_t WatcherAddress = Address(Watcher);
  delete Watcher;
  EXPECT_EQ(Watched->Told, (TTold{{TOperation::opRemove, WatcherAddress}}));
  delete Watched; // would reach the released Watcher if the link had stayed
  EXPECT_EQ(Elsewhere.ComponentCount(), 0);
}

// A component told of a release that releases others linked to the same one: each of those
// is told once at most, and none after its own release.
class TReleasing : public TLinkProbe {
public:
  using TLinkProbe::TLinkProbe;
  std::vector<TComponent*> ReleaseOnRemoval;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TLinkProbe::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove)
      return;
    auto Release = std::move(ReleaseOnRemoval);
    for (TComponent* C : Release)
      delete C;
  }
};

TEST(Component, AHandlerThatReleasesOtherListenersLeavesTheRestToldOnce) {
  TLinkProbe Owner(nullptr);
  auto* Gone = new TLinkProbe(&Owner);
  auto* First = new TLinkProbe(&Owner);
  auto* Early = new TLinkProbe(&Owner);
  auto* Releasing = new TReleasing(&Owner);
  auto* Late = new TLinkProbe(&Owner);
  auto* Last = new TLinkProbe(&Owner);
  for (TComponent* C : std::initializer_list<TComponent*>{First, Early, Releasing, Late, Last})
    Gone->FreeNotification(C);
  Releasing->ReleaseOnRemoval = {Early, Late};
  const std::uintptr_t GoneAddress = Address(Gone);
  delete Gone;
  for (TLinkProbe* Told : {First, Last})
    EXPECT_EQ(Told->Told, (TTold{{TOperation::opRemove, GoneAddress}}));
  EXPECT_EQ(Releasing->Told, (TTold{{TOperation::opRemove, GoneAddress}}));
  EXPECT_EQ(Owner.ComponentCount(), 3);
}

TEST(Component, OrderAndNamesSurviveRemovalsFromAnywhere) {
  std::vector<UnicodeString> Log;
  std::vector<UnicodeString> Expected;
  {
    TLogged Owner(nullptr, u"Owner", Log);
    std::vector<TLogged*> Items;
    for (int I = 0; I < 40; ++I)
      Items.push_back(new TLogged(&Owner, u"C" + IntToStr(I), Log));
    // Remove every third from the front half and every other from the back half.
    for (int I = 0; I < 40; ++I)
      if ((I < 20 && I % 3 == 0) || (I >= 20 && I % 2 == 1)) {
        delete Items[static_cast<size_t>(I)];
        Items[static_cast<size_t>(I)] = nullptr;
      }
    Log.clear();
    // A removed name is free again; a renamed component is found by its new name only.
    auto* Again = new TLogged(&Owner, u"c0", Log);
    Items[1]->SetName(u"Renamed");
    EXPECT_EQ(Owner.FindComponent(u"C1"), nullptr);
    EXPECT_EQ(Owner.FindComponent(u"RENAMED"), Items[1]);
    EXPECT_EQ(Owner.FindComponent(u"C0"), Again);
    EXPECT_EQ(Owner.FindComponent(u"C2"), Items[2]);
    EXPECT_THROW(Items[4]->SetName(u"renamed"), EComponentError);
    EXPECT_EQ(Owner.FindComponent(u"C4"), Items[4]);

    std::vector<UnicodeString> Names;
    for (int I = 0; I < Owner.ComponentCount(); ++I)
      Names.push_back(Owner.Components(I)->Name());
    for (TLogged* C : Items)
      if (C)
        Expected.push_back(C->Name());
    Expected.push_back(u"c0");
    EXPECT_EQ(Names, Expected);
    EXPECT_THROW(Owner.Components(Owner.ComponentCount()), EListError);
  }
  // Released last-created first, after the owner's own cleanup.
  std::reverse(Expected.begin(), Expected.end());
  Expected.insert(Expected.begin(), u"Owner");
  EXPECT_EQ(Log, Expected);
}

TEST(TypInfo, PropertiesAndMethodsByName) {
  std::vector<UnicodeString> Log;
  TLogged Target(nullptr, u"Target", Log);
  TLogged Source(nullptr, u"Source", Log);
  SetStrProp(&Target, u"text", u"hello");
  EXPECT_EQ(GetStrProp(&Target, u"Text"), u"hello");
  EXPECT_EQ(GetStrProp(&Target, u"Name"), u"Target");
  EXPECT_THROW(GetStrProp(&Target, u"Caption"), EPropertyError);
  EXPECT_THROW(GetStrProp(&Target, u"OnChange"), EPropertyError);
  EXPECT_THROW(GetStrProp(nullptr, u"Text"), EPropertyError);

  SetMethodProp(&Source, u"OnChange", &Target, u"Poke");
  Source.OnChange(&Source);
  EXPECT_EQ(Target.Text, u"poked by Source");

  // Unknown methods and methods of another signature are refused by name.
  EXPECT_THROW(SetMethodProp(&Source, u"OnChange", &Target, u"Nothing"), EPropertyError);
  try {
    SetMethodProp(&Source, u"OnChange", &Target, u"Measure");
    FAIL() << "a method of another signature was bound";
  } catch (const EPropertyError& E) {
    EXPECT_NE(E.Message().find(u"Measure"), UnicodeString::npos);
  }
}

// Objects whose class information a test changes after use: a base class that publishes
// "Label", and a descendant that publishes nothing of its own at first.
class TProbeBase : public TComponent {
public:
  explicit TProbeBase(UnicodeString ALabel) : TComponent(nullptr), Label(std::move(ALabel)) {}
  UnicodeString Label;
  static TClassInfo& Info() {
    static TClassInfo I = TClassBuilder<TProbeBase>(u"TProbeBase", &TComponent::StaticClass())
                              .Str(
                                  u"Label", [](const TProbeBase& P) { return u"base " + P.Label; },
                                  [](TProbeBase& P, const UnicodeString& V) { P.Label = V; });
    return I;
  }
  const TClassInfo& ClassType() const override { return Info(); }
};

class TProbeDerived : public TProbeBase {
public:
  using TProbeBase::TProbeBase;
  static TClassInfo& Info() {
    static TClassInfo I(u"TProbeDerived", &TProbeBase::Info());
    return I;
  }
  const TClassInfo& ClassType() const override { return Info(); }
};

// A descendant that keeps its ancestor's class information.
class TProbeUnlisted : public TProbeBase {
public:
  using TProbeBase::TProbeBase;
};

// A property read by name answers through each object's own class, whatever was read before.
TEST(TypInfo, APropertyReadByNameAnswersThroughEachObjectsClass) {
  TProbeBase Base(u"b");
  TProbeDerived Derived(u"d");
  TProbeUnlisted Unlisted(u"u");
  std::vector<UnicodeString> Log;
  TLogged Logged(nullptr, u"Logged", Log);
  Logged.Text = u"logged";

  // One name, objects of several classes in turn: each answers its own value.
  for (int Round = 0; Round < 2; ++Round) {
    EXPECT_EQ(GetStrProp(&Derived, u"Label"), u"base d");
    EXPECT_EQ(GetStrProp(&Base, u"Label"), u"base b");
    EXPECT_EQ(GetStrProp(&Unlisted, u"Label"), u"base u");
    EXPECT_THROW(GetStrProp(&Logged, u"Label"), EPropertyError);
    EXPECT_EQ(GetStrProp(&Logged, u"Text"), u"logged");
    EXPECT_EQ(GetStrProp(&Logged, u"TEXT"), u"logged");
  }
}

TEST(TypInfo, ClassesAreFoundByRegisteredName) {
  RegisterClass(TLogged::StaticClass());
  EXPECT_EQ(FindClass(u"tlogged"), &TLogged::StaticClass());
  EXPECT_EQ(FindClass(u"TNoSuchClass"), nullptr);
  std::vector<UnicodeString> Log;
  TLogged L(nullptr, u"L", Log);
  EXPECT_TRUE(L.InheritsFrom(TComponent::StaticClass()));
  EXPECT_EQ(L.ClassName(), u"TLogged");
}

} // namespace
