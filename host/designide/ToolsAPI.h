// The IDE's plug-in interfaces: wizards that packages register, and the services through which
// a package reaches the IDE. Operations keep their slot order: packages built against these
// declarations call the IDE by slot.
#pragma once

#include "designide/Interfaces.h"
#include "rtl/Badge.h"
#include "rtl/ScopedHook.h"
#include "vcl/Graphics.h"

#include <functional>

class TBitmap;
class TCustomImageList;
class TMainMenu;
class TToolBar;

// Told of events of the object it is attached to. The add-ins' wizards do nothing here.
class IOTANotifier : public IInterface {
public:
  static constexpr TGUID IID = StringToGUID("{F17A7BCF-E07D-11D1-AB0B-00C04FB16FB3}");

  virtual void AfterSave() = 0;
  virtual void BeforeSave() = 0;
  virtual void Destroyed() = 0;
  virtual void Modified() = 0;

protected:
  ~IOTANotifier() = default;
};

enum TWizardStateFlag : unsigned { wsEnabled = 1, wsChecked = 2 };
// A set of TWizardStateFlag.
using TWizardState = unsigned;

class IOTAWizard : public IOTANotifier {
public:
  static constexpr TGUID IID = StringToGUID("{B75C0CE0-EEA6-11D1-9504-00608CCBF153}");

  // A unique identifier, by convention "Vendor.Name".
  virtual UnicodeString GetIDString() = 0;
  virtual UnicodeString GetName() = 0;
  virtual TWizardState GetState() = 0;
  // Runs the wizard's command, if it offers one.
  virtual void Execute() = 0;

protected:
  ~IOTAWizard() = default;
};

// The object behind BorlandIDEServices; asked with QueryInterface for the services below.
class IBorlandIDEServices : public IInterface {
public:
  static constexpr TGUID IID = StringToGUID("{5C8F6B1E-2A74-4D0B-9E31-7B6A0C4D2F19}");

protected:
  ~IBorlandIDEServices() = default;
};

// The IDE's user interface as native objects.
class INTAServices : public IInterface {
public:
  static constexpr TGUID IID = StringToGUID("{8209041F-F37F-4570-88B8-6C310FFFF81A}");

  // Adds an image to the IDE's main image list; answers its index.
  virtual int AddMasked(TBitmap* Image, TColor MaskColor) = 0;
  // The IDE's main image list.
  virtual TCustomImageList* GetImageList() = 0;
  // One of the IDE's tool bars by name, or nullptr.
  virtual TToolBar* GetToolBar(const UnicodeString& ToolBarName) = 0;
  // The IDE's main menu (slot 6: the fourth operation after those of IInterface).
  virtual TMainMenu* GetMainMenu() = 0;

protected:
  ~INTAServices() = default;
};

// Set by the IDE while it runs; empty otherwise.
extern TInterfacePtr<IBorlandIDEServices> BorlandIDEServices;

// Hands a wizard of the package being registered to the IDE, which keeps it (and with it the
// wizard's object) until it unloads the package. Raises Exception when no IDE takes wizards.
void RegisterPackageWizard(const TInterfacePtr<IOTAWizard>& Wizard);

// The IDE's side of RegisterPackageWizard: what it calls with each wizard.
using TRegisterWizardHook = std::function<void(const TInterfacePtr<IOTAWizard>& Wizard)>;

// The IDE's package manager, named here only as the one holder of the badge below.
class TPackageManager;

// Makes RegisterPackageWizard hand wizards to Hook while it lives; the hook it covered is in
// force again afterwards. Only the IDE's package manager can make the badge, so only it decides
// where wizards go.
class TRegisterWizardHookScope {
public:
  TRegisterWizardHookScope(Badge<TPackageManager>, TRegisterWizardHook Hook);
  ~TRegisterWizardHookScope();
  TRegisterWizardHookScope(const TRegisterWizardHookScope&) = delete;
  TRegisterWizardHookScope& operator=(const TRegisterWizardHookScope&) = delete;

private:
  THookSlot<TRegisterWizardHook>::TScope FScope;
};
