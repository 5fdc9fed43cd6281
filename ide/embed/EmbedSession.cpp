#include "EmbedSession.h"

#include "Ide.h"
#include "PaletteFile.h"

#include "designide/ToolsAPI.h"
#include "rtl/Exception.h"
#include "vcl/ComCtrls.h"

#include <dlfcn.h>

#include <filesystem>

// --- ids --------------------------------------------------------------------------------------

TIdTable::~TIdTable() {
  for (auto& [Object, Id] : FIds)
    Object->RemoveView(this);
}

orvik_id TIdTable::IdOf(TComponent* Object) {
  if (!Object || (Object->ComponentState() & csDestroying))
    return 0;
  if (auto It = FIds.find(Object); It != FIds.end())
    return It->second;
  const orvik_id Id = FNext++;
  Object->AddView(this);
  FIds.emplace(Object, Id);
  FObjects.emplace(Id, Object);
  return Id;
}

TComponent* TIdTable::Find(orvik_id Id) const {
  auto It = FObjects.find(Id);
  if (It == FObjects.end() || (It->second->ComponentState() & csDestroying))
    return nullptr;
  return It->second;
}

void TIdTable::ComponentDestroying(TComponent* Object) {
  auto It = FIds.find(Object);
  if (It == FIds.end())
    return;
  FObjects.erase(It->second);
  FIds.erase(It);
}

// --- the session ------------------------------------------------------------------------------

namespace {
const char AddInFileName[] = "OrvikPaletteMenu170.so";
const char Product[] = "Orvik Palette Menu";

// The name of a host's page as a palette caption: the host shows "&" as it stands, the menus
// take "&&" for a literal "&".
UnicodeString CaptionOfPage(const std::string& Name) {
  UnicodeString Caption;
  for (char16_t C : UTF8Decode(Name)) {
    Caption.push_back(C);
    if (C == u'&')
      Caption.push_back(u'&');
  }
  return Caption;
}

// Sets a flag for as long as it lives.
struct TFlagScope {
  explicit TFlagScope(bool& F) : Flag(F), Was(F) { Flag = true; }
  ~TFlagScope() { Flag = Was; }
  bool& Flag;
  bool Was;
};
} // namespace

TEmbedSession::TEmbedSession(const orvik_host& Host) : FHost(Host) {
  if (BorlandIDEServices)
    throw EInvalidOperation(u"Another IDE model is already running in this program");
  FIde = std::make_unique<THostIde>(TIdeShape::Embedded);
  // A palette of pages has nothing to fold: of the buttons that act on the palette, only the
  // first stays, the one the add-in puts its own in place of.
  TToolBar* Bar = FIde->ToolBar();
  while (Bar->ButtonCount() > 1)
    Free(Bar->Buttons(Bar->ButtonCount() - 1));
  FPalette = FIde->Palette();
  // A view one pixel high: every category is taller, so scrolling one into view puts its header
  // at the top, and the position tells which one it was.
  FPalette->SetBounds(FPalette->Left(), FPalette->Top(), std::max(FPalette->Width(), 1), 1);
  FPalette->AddView(this);
  FModal =
      std::make_unique<TModalRunnerScope>([this](TCustomForm& Form) { return RunModal(Form); });
}

TEmbedSession::~TEmbedSession() {
  // The add-in first, while everything it attached to is there.
  if (FIde)
    Guard([this] { FIde->Packages().UnloadAll(); });
  FModal.reset();
  if (FPalette)
    FPalette->RemoveView(this);
  FPalette = nullptr;
  FIde.reset();
}

bool TEmbedSession::Guard(const std::function<void()>& Step) {
  try {
    Step();
    return true;
  } catch (const Exception& E) {
    Report(UTF8Encode(E.Message()));
  } catch (const std::exception& E) {
    Report(std::string(Product) + ": " + E.what());
  } catch (...) {
    Report(std::string(Product) + ": an unknown failure");
  }
  return false;
}

void TEmbedSession::Report(const std::string& Message) {
  if (!FReported.insert(Message).second)
    return;
  if (FHost.report)
    FHost.report(FHost.context, Message.c_str());
}

std::string TEmbedSession::DefaultAddIn() {
  Dl_info Info{};
  if (dladdr(reinterpret_cast<void*>(&TEmbedSession::DefaultAddIn), &Info) == 0 || !Info.dli_fname)
    return AddInFileName;
  return (std::filesystem::path(Info.dli_fname).parent_path() / AddInFileName).string();
}

bool TEmbedSession::LoadAddIn(const std::string& Path) {
  const std::string File = Path.empty() ? DefaultAddIn() : Path;
  std::error_code Error;
  if (!std::filesystem::is_regular_file(File, Error)) {
    Report(std::string("The ") + Product + " add-in cannot be loaded: " + File +
           " was not found. Build it (./dev.sh build) or install the package, then start the "
           "IDE again.");
    return false;
  }
  try {
    FIde->Packages().Load(File);
    return true;
  } catch (const Exception& E) {
    Report(std::string("The ") + Product + " add-in cannot be loaded: " + UTF8Encode(E.Message()));
  }
  return false;
}

void TEmbedSession::SetPages(const std::vector<std::string>& Names) {
  if (!FPalette)
    return;
  std::vector<TPaletteCategory> Pages(Names.size());
  for (size_t I = 0; I < Names.size(); ++I)
    Pages[I].Caption = CaptionOfPage(Names[I]);
  TFlagScope Syncing(FSyncing);
  const TButtonCategories* Have = FPalette->Categories();
  bool Same = Have->Count() == static_cast<int>(Pages.size());
  for (int I = 0; Same && I < Have->Count(); ++I)
    Same = Have->Items(I)->Caption() == Pages[static_cast<size_t>(I)].Caption &&
           !Have->Items(I)->Collapsed();
  if (!Same)
    FillPalette(*FPalette, Pages);
  // Inside the first header: the next scroll into view is heard, whichever category it names.
  FPalette->SetScrollPosition(1);
}

void TEmbedSession::ScrollPositionChanged(TCategoryButtons*) {
  if (FSyncing || !FPalette)
    return;
  const int Position = FPalette->ScrollPosition();
  const int Category = FPalette->CategoryAt(Position);
  if (Category < 0 || FPalette->CategoryTop(Category) != Position)
    return;
  {
    TFlagScope Syncing(FSyncing);
    FPalette->SetScrollPosition(1);
  }
  if (FHost.show_page)
    FHost.show_page(FHost.context, Category);
}

void TEmbedSession::ComponentDestroying(TComponent*) {
  FPalette = nullptr;
}

int TEmbedSession::RunModal(TCustomForm& Form) {
  if (!FHost.run_modal)
    throw EInvalidOperation(u"The host shows no forms of the model: \"" + Form.Caption() +
                            u"\" cannot be shown");
  const int Result = FHost.run_modal(FHost.context, FIds.IdOf(&Form));
  // The host's answer when it could not tell; the form's own when it has one.
  return Form.ModalResult() != mrNone ? Form.ModalResult() : Result;
}

const char* TEmbedSession::Keep(std::string Text) {
  FKept = std::move(Text);
  return FKept.c_str();
}
