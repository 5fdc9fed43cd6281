// The palette menu add-in: the attachment object that builds the "P&alette" main-menu entry and
// the Tool Palette's drop-down button menu from the live palette and the stored categories, and
// moves the palette to the tab the user picks; the wizard that owns it while the IDE keeps the
// wizard; and Register, which the IDE calls once after loading the package.
#pragma once

#include "designide/ToolsAPI.h"
#include "rtl/RegIniFile.h"
#include "vcl/DataModule.h"

#include <memory>
#include <unordered_map>

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

  // Published, bound by name from the stored layout. The creation handler attaches the add-in
  // to the IDE; it fails with an error naming what the IDE lacks, which ends the construction.
  // The destruction handler undoes what ownership does not, whatever was attached.
  void WizardDataModuleCreate(TObject* Sender);
  void WizardDataModuleDestroy(TObject* Sender);

protected:
  // Forgets an object of the IDE that is released while the add-in is attached.
  void Notification(TComponent* AComponent, TOperation Operation) override;

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
  TOwned<TRegIniFile> FReg;

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

  // Click handler of the face of the add-in's tool button: drops its menu down as the arrow does.
  void PaletteButtonClickHandler(TObject* Sender);
  // Click handler of every "Edit Categories..." item.
  void EditCategories(TObject* Sender);

  // Asks to be told when an object of the IDE that a field refers to is released.
  void Watch(TComponent* IdeObject);
  // The component of the Tool Palette window of that name, which must be a T.
  template <class T> T* ToolFormPart(const UnicodeString& PartName);

  using TCategoryItemFunc = TMenuItem* (TOvPaletteMenuWizardDataModule::*)(const UnicodeString&);
  // Rebuilds Target's items from FirstCategory on: the previous ones are released, then every
  // palette tab is filed under each category of its assignment, and the separator and "Edit
  // Categories..." end the menu.
  void BuildMenu(TMenuItem* Target, int FirstCategory, TCategoryItemFunc CategoryItem);
  TMenuItem* FindOrCreateCategory(TMenuItem* Target, int FirstCategory,
                                  const UnicodeString& Caption);

  // The category items of the build under way, so that filing a tab does not walk the menu: by
  // the key the menus' Find compares, and by the captions already asked for (most pieces come
  // again as they were). Empty between builds.
  TMenuItem* FIndexedTarget = nullptr;
  std::unordered_map<UnicodeString, TMenuItem*> FCategoriesByKey;
  std::unordered_map<UnicodeString, TMenuItem*> FCategoriesByCaption;
};

// The one attachment object while the wizard lives, or nullptr.
extern TOvPaletteMenuWizardDataModule* OvPaletteMenuWizardDataModule;

// The wizard the package registers. It owns the attachment object: it creates it when it is
// created and releases it when the IDE lets the wizard go.
class TOvPaletteMenuWizard : public TInterfacedObject, public IOTAWizard {
public:
  TOvPaletteMenuWizard();
  ~TOvPaletteMenuWizard() override;
  HOST_CLASS_INFO;
  INTFOBJECT_IMPL_IUNKNOWN(TInterfacedObject)

  // IOTANotifier: nothing to do.
  void AfterSave() override;
  void BeforeSave() override;
  void Destroyed() override;
  void Modified() override;
  // IOTAWizard
  UnicodeString GetIDString() override;
  UnicodeString GetName() override;
  TWizardState GetState() override;
  void Execute() override;

protected:
  void* GetInterface(const TGUID& Iid) override;
};

// The package's entry: creates the wizard (and with it the attachment) and hands it to the IDE.
void Register();
