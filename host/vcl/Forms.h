// Forms, the application object and the screen's list of open forms.
#pragma once

#include "vcl/Controls.h"

#include <functional>
#include <vector>

class TCustomForm;

// Modal results of the buttons that close a modal form.
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

// Runs a form modally and returns its modal result. The running front end installs one (the
// desktop window, the shell, a test); ShowModal fails without one.
using TModalRunner = std::function<int(TCustomForm& Form)>;
void SetModalRunner(TModalRunner Runner);
const TModalRunner& ModalRunner();

class TCustomForm : public TWinControl {
public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;
  HOST_CLASS_INFO;

  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value);

  // Shows the form modally through the installed modal runner; returns the modal result.
  int ShowModal();
  int ModalResult() const { return FModalResult; }
  // Setting a result other than mrNone ends a modal run.
  void SetModalResult(int Value);
  bool IsModal() const { return FModal; }

  TNotifyEvent OnCreate;
  // Fires when the object is released (through Free), while it is still whole.
  TNotifyEvent OnDestroy;
  void AfterConstruction() override;
  void BeforeDestruction() override;

private:
  UnicodeString FCaption;
  int FModalResult = mrNone;
  bool FModal = false;
};

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

private:
  friend class TCustomForm;
  std::vector<TCustomForm*> FForms;
};

// The application object and the screen, alive while vcl170 is loaded.
extern TApplication* Application;
extern TScreen* Screen;
