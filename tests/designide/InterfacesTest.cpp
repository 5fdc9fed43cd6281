#include "designide/ToolsAPI.h"

#include "vcl/Menus.h"

#include <gtest/gtest.h>

namespace {

// A wizard that counts its releases.
class TCountedWizard : public TInterfacedObject, public IOTAWizard {
public:
  explicit TCountedWizard(int& Released) : FReleased(Released) {}
  ~TCountedWizard() override { ++FReleased; }
  INTFOBJECT_IMPL_IUNKNOWN(TInterfacedObject)
  void AfterSave() override {}
  void BeforeSave() override {}
  void Destroyed() override {}
  void Modified() override {}
  UnicodeString GetIDString() override { return u"Test.Counted"; }
  UnicodeString GetName() override { return u"Counted"; }
  TWizardState GetState() override { return wsEnabled; }
  void Execute() override {}

protected:
  void* GetInterface(const TGUID& Iid) override {
    if (Iid == IOTAWizard::IID)
      return static_cast<IOTAWizard*>(this);
    if (Iid == IOTANotifier::IID)
      return static_cast<IOTANotifier*>(static_cast<IOTAWizard*>(this));
    return TInterfacedObject::GetInterface(Iid);
  }

private:
  int& FReleased;
};

TEST(Interfaces, GuidsReadAndWriteInRegistryForm) {
  constexpr TGUID G = StringToGUID("{8209041f-F37F-4570-88B8-6C310FFFF81A}");
  static_assert(G.D1 == 0x8209041F && G.D2 == 0xF37F && G.D3 == 0x4570);
  static_assert(G.D4[0] == 0x88 && G.D4[7] == 0x1A);
  EXPECT_EQ(G.ToString(), u"{8209041F-F37F-4570-88B8-6C310FFFF81A}");
  EXPECT_EQ(G, INTAServices::IID);
  EXPECT_NE(IOTAWizard::IID, IOTANotifier::IID);
}

TEST(Interfaces, TheLastReferenceReleasesTheObjectExactlyOnce) {
  int Released = 0;
  {
    TInterfacePtr<IOTAWizard> A = MakeInterfaced<TCountedWizard, IOTAWizard>(Released);
    auto* Object = static_cast<TCountedWizard*>(A.Get());
    EXPECT_EQ(Object->RefCount(), 1);
    TInterfacePtr<IOTAWizard> B = A;
    EXPECT_EQ(Object->RefCount(), 2);
    TInterfacePtr<IOTAWizard> C = std::move(B);
    EXPECT_EQ(Object->RefCount(), 2);
    EXPECT_EQ(C.Reset(), 1);
    EXPECT_EQ(C.Reset(), 0); // empty: nothing to drop
    EXPECT_EQ(Released, 0);
  }
  EXPECT_EQ(Released, 1);
}

TEST(Interfaces, QueryInterfaceServesTheWizardAndItsNotifierFromOneTable) {
  int Released = 0;
  {
    TInterfacePtr<IOTAWizard> W = MakeInterfaced<TCountedWizard, IOTAWizard>(Released);
    TInterfacePtr<IOTANotifier> N;
    ASSERT_TRUE(Supports(W, N));
    EXPECT_EQ(static_cast<void*>(N.Get()), static_cast<void*>(W.Get()));
    TInterfacePtr<INTAServices> S;
    EXPECT_FALSE(Supports(W, S));
    EXPECT_FALSE(S);
    void* Raw = reinterpret_cast<void*>(1);
    EXPECT_EQ(W->QueryInterface(INTAServices::IID, &Raw), E_NOINTERFACE);
    EXPECT_EQ(Raw, nullptr);
    EXPECT_EQ(W->QueryInterface(IInterface::IID, nullptr), E_POINTER);
    EXPECT_EQ(static_cast<TCountedWizard*>(W.Get())->RefCount(), 2); // W and N
  }
  EXPECT_EQ(Released, 1);
}

// The add-in calls the IDE services by slot, as it would a binary interface: slot 6 (the
// fourth after IInterface's three) answers the main menu. Reordering the declarations would
// break packages built against the old order; this catches it.
class TMenuServices : public TInterfacedObject, public INTAServices {
public:
  explicit TMenuServices(TMainMenu* Menu) : FMenu(Menu) {}
  INTFOBJECT_IMPL_IUNKNOWN(TInterfacedObject)
  int AddMasked(TBitmap*, TColor) override { return -1; }
  TCustomImageList* GetImageList() override { return nullptr; }
  TToolBar* GetToolBar(const UnicodeString&) override { return nullptr; }
  TMainMenu* GetMainMenu() override { return FMenu; }

private:
  TMainMenu* FMenu;
};

TEST(Interfaces, IdeServicesAnswerTheMainMenuInSlotSix) {
  TMainMenu Menu(nullptr);
  TInterfacePtr<INTAServices> S = MakeInterfaced<TMenuServices, INTAServices>(&Menu);
  // Itanium C++ ABI: the object starts with a pointer to its table of operations.
  void* const* Table = *reinterpret_cast<void* const* const*>(S.Get());
  using TSlot = TMainMenu* (*)(INTAServices*);
  EXPECT_EQ(reinterpret_cast<TSlot>(Table[6])(S.Get()), &Menu);
}

TEST(Interfaces, RegisteringAWizardWithoutAnIdeFailsAndReleasesIt) {
  int Released = 0;
  try {
    RegisterPackageWizard(MakeInterfaced<TCountedWizard, IOTAWizard>(Released));
    FAIL() << "registered without an IDE";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), u"RegisterPackageWizard: no IDE is running to take wizard "
                           u"Test.Counted");
  }
  EXPECT_EQ(Released, 1);
  EXPECT_THROW(RegisterPackageWizard(nullptr), EInvalidOperation);
}

} // namespace
