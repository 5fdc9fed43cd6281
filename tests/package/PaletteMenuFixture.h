// Sets up what the add-in's creation handler sets up in the IDE: a palette, the IDE's main
// menu with the "P&alette" entry and its invisible placeholder, the drop-down menu and a store
// handle, on a hive that can be told to fail.
#pragma once

#include "ForwardingHive.h"
#include "OvPaletteMenu.h"

#include "rtl/Exception.h"
#include "rtl/RegIniFile.h"
#include "vcl/ActnPopup.h"
#include "vcl/CategoryButtons.h"
#include "vcl/Menus.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Passes everything to a memory hive; after ReadsLeft successful reads, every read fails.
class TFaultyHive : public TForwardingHive {
public:
  explicit TFaultyHive(std::unique_ptr<TRegistryHive> Inner) : TForwardingHive(std::move(Inner)) {}
  int ReadsLeft = -1; // -1: never fail

  std::optional<TRegValue> ReadValue(std::u16string_view P, std::u16string_view N) override {
    CountRead(N);
    return TForwardingHive::ReadValue(P, N);
  }
  bool VisitValue(std::u16string_view P, std::u16string_view N, TValueUse Use) override {
    CountRead(N);
    return TForwardingHive::VisitValue(P, N, Use);
  }

private:
  void CountRead(std::u16string_view N) {
    if (ReadsLeft == 0)
      throw ERegistryException(u"Injected read failure of '" + UnicodeString(N) + u"'");
    if (ReadsLeft > 0)
      --ReadsLeft;
  }
};

class TOvPaletteMenuTestAccess {
public:
  using DM = TOvPaletteMenuWizardDataModule;
  static void Attach(DM& D, TCategoryButtons* Palette, TMainMenu* Menu,
                     TOwned<TRegIniFile> Reg) {
    D.FToolPalette = Palette;
    D.FDelphiMenu = Menu;
    D.FReg = std::move(Reg);
    D.FPaletteButtonMenu = new TPopupActionBar(&D);
    D.FPaletteButtonMenu->OnPopup = Handler(&D, &DM::PaletteButtonMenuHandler);
    D.FPaletteMenu = new TMenuItem(&D);
    D.FPaletteMenu->SetCaption(u"P&alette");
    D.FPaletteMenu->OnClick = Handler(&D, &DM::PaletteMenuClickHandler);
    Menu->Items()->Add(D.FPaletteMenu);
    auto* Hidden = new TMenuItem(&D);
    Hidden->SetCaption(u"Hidden");
    Hidden->SetVisible(false);
    D.FPaletteMenu->Add(Hidden);
  }
  static TMenuItem* PaletteMenu(DM& D) { return D.FPaletteMenu; }
  static TPopupActionBar* ButtonMenu(DM& D) { return D.FPaletteButtonMenu; }
  static void SwitchToTab(DM& D, const UnicodeString& C) { D.SwitchToTab(C); }
  static void TabItemClick(DM& D, TObject* Sender) { D.TabItemClickHandler(Sender); }
  static UnicodeString GetCategory(DM& D, const UnicodeString& K) { return D.GetCategory(K); }
};

class PaletteMenuTest : public ::testing::Test {
protected:
  using Access = TOvPaletteMenuTestAccess;

  void SetUp() override {
    Palette = new TCategoryButtons(&Ide);
    Palette->SetHeight(200);
    Menu = new TMainMenu(&Ide);
    for (auto C : {u"&File", u"&Edit", u"&Help"}) {
      auto* Item = new TMenuItem(&Ide);
      Item->SetCaption(C);
      Menu->Items()->Add(Item);
    }
    auto Faulty = std::make_unique<TFaultyHive>(NewMemoryHive());
    Hive = Faulty.get();
    Reg = new TRegIniFile(u"Software\\Orvik\\Palette Menu", std::move(Faulty));
    AddIn.reset(new TOvPaletteMenuWizardDataModule(nullptr));
    Access::Attach(*AddIn, Palette, Menu, TOwned<TRegIniFile>(Reg));
  }

  // Adds a palette tab with some buttons.
  TButtonCategory* Tab(const UnicodeString& Caption, bool Collapsed = true, int Buttons = 3) {
    TButtonCategory* C = Palette->Categories()->Add();
    C->SetCaption(Caption);
    for (int I = 0; I < Buttons; ++I)
      C->AddButton(u"TComponent" + IntToStr(I));
    C->SetCollapsed(Collapsed);
    return C;
  }
  void Assign(const UnicodeString& TabKey, const UnicodeString& Categories) {
    Reg->WriteString(u"Categories", TabKey, Categories);
  }

  // The menu as the IDE's shell prints it: one item per line, two blanks per level.
  static std::string Tree(const TMenuItem* Item, int Depth = 0) {
    std::string Out;
    for (int I = 0; I < Item->Count(); ++I) {
      const TMenuItem* C = Item->Items(I);
      Out += std::string(static_cast<size_t>(Depth) * 2, ' ') + UTF8Encode(C->Caption());
      if (!C->Visible())
        Out += " (hidden)";
      Out += "\n";
      Out += Tree(C, Depth + 1);
    }
    return Out;
  }
  TMenuItem* PaletteMenu() { return Access::PaletteMenu(*AddIn); }
  TPopupActionBar* ButtonMenu() { return Access::ButtonMenu(*AddIn); }
  // Opening fires what the IDE fires: the entry's click, or the popup's before-show event.
  std::string OpenMain() {
    PaletteMenu()->Click();
    return Tree(PaletteMenu());
  }
  std::string OpenButton() {
    ButtonMenu()->Popup(0, 0);
    return Tree(ButtonMenu()->Items());
  }
  std::vector<UnicodeString> Expanded() {
    std::vector<UnicodeString> R;
    for (int I = 0; I < Palette->Categories()->Count(); ++I)
      if (!Palette->Categories()->Items(I)->Collapsed())
        R.push_back(Palette->Categories()->Items(I)->Caption());
    return R;
  }

  TComponent Ide{nullptr}; // owns the palette and the main menu, as the IDE does
  TCategoryButtons* Palette = nullptr;
  TMainMenu* Menu = nullptr;
  TFaultyHive* Hive = nullptr;
  TRegIniFile* Reg = nullptr; // owned by the add-in
  TOwned<TOvPaletteMenuWizardDataModule> AddIn;

  void TearDown() override { AddIn.reset(); }
};
