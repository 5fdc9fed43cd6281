// The palette menu add-in: the attachment object that builds the "P&alette" main-menu entry and
// the Tool Palette's drop-down button menu from the live palette and the stored categories, and
// moves the palette to the tab the user picks.
#pragma once

#include "rtl/RegIniFile.h"
#include "vcl/DataModule.h"

#include <memory>

class TForm;
class TMainMenu;
class TWinControl;
class TCategoryButtons;
class TToolBar;
class TToolButton;
class TPopupActionBar;
class TMenuItem;

class TOvPaletteMenuWizardDataModule : public TDataModule {
public:
  explicit TOvPaletteMenuWizardDataModule(TComponent* AOwner);
  ~TOvPaletteMenuWizardDataModule() override;
  HOST_CLASS_INFO;

private:
  friend class TOvPaletteMenuTestAccess;

  // All are references to objects that the IDE or this data module owns, except FReg, the
  // store handle, which this data module opens and releases.
  TForm* FDelphiForm = nullptr;
  TMainMenu* FDelphiMenu = nullptr;
  TWinControl* FToolForm = nullptr;
  TCategoryButtons* FToolPalette = nullptr;
  TToolBar* FToolbar = nullptr;
  TToolButton* FToolButton = nullptr;
  TToolButton* FOrigToolButton = nullptr;
  TPopupActionBar* FPaletteButtonMenu = nullptr;
  TMenuItem* FPaletteMenu = nullptr;
  std::unique_ptr<TRegIniFile> FReg;

  // The stored categories of a tab key, or the empty string.
  UnicodeString GetCategory(const UnicodeString& TabKey);

  // Click handler of every tab item in both menus.
  void TabItemClickHandler(TObject* Sender);
  // Expands the palette tab that Caption stands for and scrolls it into view.
  void SwitchToTab(const UnicodeString& Caption);

  // Rebuild the "P&alette" entry when it opens, and the drop-down menu before it shows.
  void PaletteMenuClickHandler(TObject* Sender);
  void PaletteButtonMenuHandler(TObject* Sender);
  // Find or create the category item of that caption in either menu.
  TMenuItem* CategoryMenuItem(const UnicodeString& Caption);
  TMenuItem* CategoryButtonMenuItem(const UnicodeString& Caption);

  // Click handler of every "Edit Categories..." item.
  void EditCategories(TObject* Sender);

  using TCategoryItemFunc = TMenuItem* (TOvPaletteMenuWizardDataModule::*)(const UnicodeString&);
  void BuildMenu(TMenuItem* Target, int FirstCategory, TCategoryItemFunc CategoryItem);
  TMenuItem* FindOrCreateCategory(TMenuItem* Target, int FirstCategory,
                                  const UnicodeString& Caption);
};
