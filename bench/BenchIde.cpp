#include "BenchIde.h"

#include "ForwardingHive.h"

#include "rtl/Exception.h"
#include "rtl/RegistryHive.h"
#include "vcl/ActnPopup.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Menus.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace bench {

namespace {
const UnicodeString StoreKey = u"Software\\Orvik\\Palette Menu";

UnicodeString Padded(int N, int Width) {
  UnicodeString S = IntToStr(N);
  while (static_cast<int>(S.size()) < Width)
    S.insert(S.begin(), u'0');
  return S;
}
} // namespace

TTempHiveFolder::TTempHiveFolder() {
  const char* Tmp = std::getenv("TMPDIR");
  std::string Pattern = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/hostide-bench-XXXXXX";
  if (!::mkdtemp(Pattern.data()))
    std::abort();
  FDir = Pattern;
  ::setenv("HOSTIDE_REGISTRY", (FDir + "/HKCU.db").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", FDir.c_str(), 1);
}

TTempHiveFolder::~TTempHiveFolder() {
  std::error_code Ec;
  std::filesystem::remove_all(FDir, Ec);
}

TBenchIde::TBenchIde(const TPaletteShape& Shape) : FIde(std::make_unique<THostIde>()) {
  std::vector<TPaletteCategory> Palette;
  if (Shape.Tabs == 0)
    Palette = THostIde::DefaultPalette();
  else
    for (int I = 1; I <= Shape.Tabs; ++I)
      Palette.push_back(TPaletteCategory{u"Tab " + Padded(I, 5), true, {u"TButton", u"TLabel"}});
  FIde->LoadPalette(Palette);

  {
    TRegIniFile Store(StoreKey);
    Store.EraseSection(u"Categories");
    int Next = 0;
    for (const TPaletteCategory& Tab : Palette) {
      UnicodeString Key;
      for (char16_t C : Tab.Caption)
        if (C != u'&')
          Key.push_back(C);
      FTabKeys.push_back(Key);
      UnicodeString Cats;
      for (int J = 0; J < Shape.PerTab; ++J) {
        if (J)
          Cats += u";";
        Cats += u"Category " + Padded(Next++ % Shape.Pool + 1, 3);
      }
      if (!Cats.empty())
        Store.WriteString(u"Categories", Key, Cats);
    }
  }

  FIde->Packages().Load(THostIde::DefaultPackage());
  TMenuItem* Items = FIde->MainMenu()->Items();
  for (int I = 0; I < Items->Count(); ++I)
    if (Items->Items(I)->Caption() == u"P&alette")
      FPaletteEntry = Items->Items(I);
  if (!FPaletteEntry || !ButtonMenuItems())
    throw Exception(u"The add-in did not attach to the benchmark's IDE");
}

TBenchIde::~TBenchIde() = default;

TMenuItem* TBenchIde::ButtonMenuItems() const {
  auto* Button = dynamic_cast<TToolButton*>(FIde->ToolForm()->FindComponent(u"tbPalette"));
  if (!Button) {
    // The add-in's button is owned by the add-in; find it among the tool bar's controls.
    TToolBar* Bar = FIde->ToolBar();
    for (int I = 0; I < Bar->ControlCount() && !Button; ++I) {
      auto* B = dynamic_cast<TToolButton*>(Bar->Controls(I));
      if (B && B->Name() == u"tbPalette")
        Button = B;
    }
  }
  return Button && Button->DropdownMenu() ? Button->DropdownMenu()->Items() : nullptr;
}

void TBenchIde::OpenMain() {
  FPaletteEntry->Click();
}

void TBenchIde::OpenButton() {
  TMenuItem* Items = ButtonMenuItems();
  auto* Popup = static_cast<TPopupMenu*>(Items->GetParentMenu());
  Popup->Popup(0, 0);
  Popup->CloseUp();
}

} // namespace bench

namespace bench {

TMemoryHiveScope::TMemoryHiveScope()
    : FHive(NewMemoryHive()),
      FScope([Hive = FHive] { return std::make_unique<TForwardingHive>(Hive); }) {}

TMemoryHiveScope::~TMemoryHiveScope() = default;

int RunBenchmarks(int Argc, char** Argv, void (*Register)()) {
  TTempHiveFolder Hive;
  Register();
  benchmark::Initialize(&Argc, Argv);
  if (benchmark::ReportUnrecognizedArguments(Argc, Argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

} // namespace bench
