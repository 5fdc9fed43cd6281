#include "IdeTestAids.h"

#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/ImgList.h"

#include <algorithm>

namespace {

// IDE services that hand out only IBorlandIDEServices, as an IDE without INTAServices would.
class TServicesWithoutNTA : public TInterfacedObject, public IBorlandIDEServices {
public:
  HOST_CLASS_INFO;
  INTFOBJECT_IMPL_IUNKNOWN(TInterfacedObject)

protected:
  void* GetInterface(const TGUID& Iid) override {
    if (Iid == IBorlandIDEServices::IID || Iid == IInterface::IID)
      return static_cast<IBorlandIDEServices*>(this);
    return TInterfacedObject::GetInterface(Iid);
  }
};

const TClassInfo& TServicesWithoutNTA::StaticClass() {
  static const TClassInfo Info(u"TServicesWithoutNTA", &TInterfacedObject::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TServicesWithoutNTA)

// IDE services whose INTAServices give no main menu; everything else comes from the real ones.
class TServicesWithoutMainMenu : public TServicesWithoutNTA, public INTAServices {
public:
  explicit TServicesWithoutMainMenu(TInterfacePtr<INTAServices> Real) : FReal(std::move(Real)) {}
  HOST_CLASS_INFO;
  INTFOBJECT_IMPL_IUNKNOWN(TServicesWithoutNTA)

  int AddMasked(TBitmap* Image, TColor MaskColor) override {
    return FReal->AddMasked(Image, MaskColor);
  }
  TCustomImageList* GetImageList() override { return FReal->GetImageList(); }
  TToolBar* GetToolBar(const UnicodeString& ToolBarName) override {
    return FReal->GetToolBar(ToolBarName);
  }
  TMainMenu* GetMainMenu() override { return nullptr; }

protected:
  void* GetInterface(const TGUID& Iid) override {
    return Iid == INTAServices::IID ? static_cast<INTAServices*>(this)
                                    : TServicesWithoutNTA::GetInterface(Iid);
  }

private:
  TInterfacePtr<INTAServices> FReal;
};

const TClassInfo& TServicesWithoutMainMenu::StaticClass() {
  static const TClassInfo Info(u"TServicesWithoutMainMenu", &TServicesWithoutNTA::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TServicesWithoutMainMenu)

// Puts Replacement in place of the IDE services until the answered repair runs.
std::function<void()> ReplaceServices(TInterfacePtr<IBorlandIDEServices> Replacement) {
  auto Kept = BorlandIDEServices;
  BorlandIDEServices = std::move(Replacement);
  return [Kept] { BorlandIDEServices = Kept; };
}

} // namespace

const std::vector<std::string>& TIdeFaults::PieceNames() {
  static const std::vector<std::string> Names{
      "toolform",         "palette",        "palette-class", "toolbar",     "toolbar-class",
      "toolbar-controls", "toolbar-images", "services",      "ntaservices", "main-menu"};
  return Names;
}

void TIdeFaults::Break(const std::string& Piece) {
  if (std::find(PieceNames().begin(), PieceNames().end(), Piece) == PieceNames().end()) {
    std::string All;
    for (const std::string& N : PieceNames())
      All += (All.empty() ? "" : ", ") + N;
    throw EInvalidOperation(UTF8Decode("Unknown piece " + Piece + " (one of " + All + ")"));
  }
  if (FIde.Packages().AnyRegistered())
    throw EInvalidOperation(u"Unload the packages before breaking the IDE");
  for (const auto& B : FBroken)
    if (B.first == Piece)
      throw EInvalidOperation(UTF8Decode("The piece " + Piece + " is already broken"));

  TForm* ToolForm = FIde.ToolForm();
  TToolBar* ToolBar = FIde.ToolBar();
  std::function<void()> Fix;
  auto Rename = [](TComponent* C, const UnicodeString& To) {
    const UnicodeString Was = C->Name();
    C->SetName(To);
    return [C, Was] { C->SetName(Was); };
  };
  // Renames the real component and puts a plain windowed control of its name in its place.
  auto Impostor = [ToolForm, &Rename](TComponent* Real, const UnicodeString& Name) {
    auto Restore = Rename(Real, Name + u"0");
    auto* Other = new TWinControl(ToolForm);
    Other->SetName(Name);
    return [Other, Restore] {
      Free(Other);
      Restore();
    };
  };
  if (Piece == "toolform") {
    Fix = Rename(ToolForm, u"ToolForm0");
  } else if (Piece == "palette") {
    Fix = Rename(FIde.Palette(), u"Palette0");
  } else if (Piece == "palette-class") {
    Fix = Impostor(FIde.Palette(), u"Palette");
  } else if (Piece == "toolbar") {
    Fix = Rename(ToolBar, u"Toolbar0");
  } else if (Piece == "toolbar-class") {
    Fix = Impostor(ToolBar, u"Toolbar1");
  } else if (Piece == "toolbar-controls") {
    std::vector<TControl*> Taken;
    while (ToolBar->ControlCount() > 0) {
      TControl* C = ToolBar->Controls(ToolBar->ControlCount() - 1);
      C->SetParent(nullptr);
      Taken.insert(Taken.begin(), C);
    }
    Fix = [ToolBar, Taken] {
      // Their Lefts are as they were, so each goes back to its place.
      for (TControl* C : Taken)
        C->SetParent(ToolBar);
    };
  } else if (Piece == "toolbar-images") {
    ToolBar->SetImages(nullptr);
    Fix = [ToolBar, Images = FIde.ToolImages()] { ToolBar->SetImages(Images); };
  } else if (Piece == "services") {
    Fix = ReplaceServices(nullptr);
  } else if (Piece == "ntaservices" || Piece == "main-menu") {
    // Each wraps the services in force; where those already lack what it takes away (another
    // piece is broken), there is nothing left to take.
    TInterfacePtr<INTAServices> Real;
    if (!Supports(BorlandIDEServices, Real))
      Fix = [] {};
    else if (Piece == "ntaservices")
      Fix = ReplaceServices(MakeInterfaced<TServicesWithoutNTA, IBorlandIDEServices>());
    else
      Fix = ReplaceServices(
          MakeInterfaced<TServicesWithoutMainMenu, IBorlandIDEServices>(std::move(Real)));
  }
  FBroken.emplace_back(Piece, std::move(Fix));
}

TIdeFaults::~TIdeFaults() {
  // A piece that cannot go back (its name taken meanwhile) stays as it is, as a component
  // renamed by hand would; the others still go back.
  while (!FBroken.empty())
    try {
      Repair();
    } catch (const Exception&) {
    }
}

void TIdeFaults::Repair() {
  while (!FBroken.empty()) {
    auto Fix = std::move(FBroken.back().second);
    FBroken.pop_back();
    Fix();
  }
}
