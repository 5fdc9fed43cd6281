// Forms, the application object and the screen's list of open forms.
#pragma once

#include "rtl/ScopedHook.h"
#include "vcl/Controls.h"
#include "vcl/Graphics.h"

#include <functional>
#include <memory>
#include <vector>

class TCustomForm;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

// Where a form is placed when it is shown. The centring positions override Left and Top.
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};

// Modal results of the buttons that close a modal form.
enum : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrNoToAll = 9,
  mrYesToAll = 10,
  mrClose = 11
};
// The identifiers of the modal results, for ModalResult properties in stored layouts.
const TEnumInfo& ModalResultIdents();

// Runs a form modally and returns its modal result. The running front end installs one (the
// desktop window, the shell, a test) through a TModalRunnerScope; ShowModal fails without one.
using TModalRunner = std::function<int(TCustomForm& Form)>;
// The runner in force: the one of the innermost living TModalRunnerScope, else none.
const TModalRunner& ModalRunner();

// Installs a modal runner while it lives; the one it covered is in force again afterwards.
class TModalRunnerScope {
public:
  explicit TModalRunnerScope(TModalRunner Runner);
  ~TModalRunnerScope();
  TModalRunnerScope(const TModalRunnerScope&) = delete;
  TModalRunnerScope& operator=(const TModalRunnerScope&) = delete;

private:
  THookSlot<TModalRunner>::TScope FScope;
};

// What a view of a form hears, beyond what every windowed control tells.
class TFormView : public virtual TWinControlView {
public:
  virtual void BorderStyleChanged(TCustomForm*) {}
  virtual void ActiveControlChanged(TCustomForm*) {}
  // The form got a modal result (mrNone included); a modal run ends on any other.
  virtual void ModalResultChanged(TCustomForm*) {}
};

class TCustomForm : public TWinControl {
public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;
  HOST_CLASS_INFO;

  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value);
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  // The client area. The host draws no window frame (the front end's window adds its own), so
  // the client area is the whole form: ClientWidth is Width and ClientHeight is Height.
  int ClientWidth() const { return Width(); }
  void SetClientWidth(int Value) { SetWidth(Value); }
  int ClientHeight() const { return Height(); }
  void SetClientHeight(int Value) { SetHeight(Value); }
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value);
  // On: OnCreate and OnDestroy fire from the constructor and destructor, as old hosts did.
  // Here both orders fire OnCreate once the layout is read and OnDestroy while the form is
  // still whole; the flag is kept for layouts that store it.
  bool OldCreateOrder() const { return FOldCreateOrder; }
  void SetOldCreateOrder(bool Value) { FOldCreateOrder = Value; }
  // The screen resolution the form was designed at, and its font's text height there.
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }
  int TextHeight() const { return FTextHeight; }
  void SetTextHeight(int Value) { FTextHeight = Value; }

  // The control that has the keyboard focus within the form, or nullptr.
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Value);
  // Focuses the first visible child control in tab order.
  void SelectFirst();

  // Shows the form modally through the installed modal runner; returns the modal result.
  // The form is placed by Position first and focuses its first control if none has the focus.
  int ShowModal();
  int ModalResult() const { return FModalResult; }
  // Setting a result other than mrNone ends a modal run.
  void SetModalResult(int Value);
  bool IsModal() const { return FModal; }
  // Closing a modal form ends its run with mrCancel.
  void Close();

  TNotifyEvent OnCreate;
  // Fires when the object is released (through Free), while it is still whole.
  TNotifyEvent OnDestroy;
  void AfterConstruction() override;
  void BeforeDestruction() override;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  // Moves the form to where Position puts it.
  void ApplyPosition();

  UnicodeString FCaption;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TPosition FPosition = poDefaultPosOnly;
  bool FOldCreateOrder = false;
  int FPixelsPerInch = 96;
  int FTextHeight = 13;
  TWinControl* FActiveControl = nullptr;
  int FModalResult = mrNone;
  bool FModal = false;
};

// The form a control stands on (itself, for a form), or nullptr.
TCustomForm* GetParentForm(TControl* Control);

class TForm : public TCustomForm {
public:
  explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
  HOST_CLASS_INFO;
};

// The application object: owner of forms that live as long as the application.
class TApplication : public TComponent {
public:
  explicit TApplication(TComponent* AOwner);
  HOST_CLASS_INFO;

  TForm* MainForm() const { return FMainForm; }
  void SetMainForm(TForm* Value);
  const UnicodeString& Title() const { return FTitle; }
  void SetTitle(const UnicodeString& Value) { FTitle = Value; }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  TForm* FMainForm = nullptr;
  UnicodeString FTitle;
};

// The open forms, in order of creation.
class TScreen : public TComponent {
public:
  explicit TScreen(TComponent* AOwner);
  HOST_CLASS_INFO;

  int FormCount() const { return static_cast<int>(FForms.size()); }
  TCustomForm* Forms(int Index) const;

  // The desktop size in pixels, which the front end sets; forms are centred on it.
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetSize(int AWidth, int AHeight);
  int PixelsPerInch() const { return 96; }

private:
  friend class TCustomForm;
  std::vector<TCustomForm*> FForms;
  int FWidth = 1920, FHeight = 1080;
};

// The application object and the screen, alive while vcl170 is loaded.
extern TApplication* Application;
extern TScreen* Screen;
