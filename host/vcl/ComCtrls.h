// Tool bars and their buttons. A tool bar keeps its controls in order of their Left: a control
// put on it is placed by its Left (in front of the first control whose Left is not smaller), a
// control whose Left changes moves to its new place, and the tool bar then lays its controls out
// side by side from the left edge, hidden ones taking no room.
#pragma once

#include "vcl/Controls.h"

class TPopupMenu;
class TCustomImageList;
class TToolButton;
class TToolBar;

// tbsDropDown has ordinal 2, as stored layouts and packages expect.
enum class TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

// What a view of a tool button hears, beyond what every control tells.
class TToolButtonView : public virtual TControlView {
public:
  virtual void StyleChanged(TToolButton*) {}
  virtual void ImageIndexChanged(TToolButton*) {}
  virtual void DropdownMenuChanged(TToolButton*) {}
  virtual void DownChanged(TToolButton*) {}
};

class TToolButton : public TControl {
public:
  explicit TToolButton(TComponent* AOwner);
  HOST_CLASS_INFO;

  TToolButtonStyle Style() const { return FStyle; }
  void SetStyle(TToolButtonStyle Value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* Value);
  // Pressed state of a check button.
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value);
  // A disabled button shows greyed and ignores the user's clicks.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // The tool bar the button stands on, or nullptr.
  TToolBar* ToolBar() const;

  TNotifyEvent OnClick;
  // A click on the button's face: a check button toggles Down, then OnClick fires; a disabled
  // button ignores it.
  virtual void Click();
  // Drops the button's menu down below it, as a click on a drop-down button's arrow does:
  // fires the menu's before-show event and opens it. False when there is no menu to drop.
  bool CheckMenuDropdown();

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  TToolButtonStyle FStyle = TToolButtonStyle::tbsButton;
  int FImageIndex = -1;
  TPopupMenu* FDropdownMenu = nullptr;
  bool FDown = false;
  bool FEnabled = true;
  UnicodeString FCaption;
};

// What a view of a tool bar hears, beyond what every windowed control tells.
class TToolBarView : public virtual TWinControlView {
public:
  virtual void ImagesChanged(TToolBar*) {}
};

class TToolBar : public TWinControl {
public:
  explicit TToolBar(TComponent* AOwner);
  HOST_CLASS_INFO;

  int ButtonCount() const;
  TToolButton* Buttons(int Index) const;

  // The images the buttons show (not owned); forgotten when the list is released.
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);

protected:
  int InsertPosition(const TControl* AControl) const override;
  void InsertControl(TControl* AControl) override;
  void RemoveControl(TControl* AControl) override;
  void ChildChanged(TControl* AControl, std::u16string_view What) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  // Gives every control its Left, side by side in order.
  void ArrangeControls();

  TCustomImageList* FImages = nullptr;
  bool FArranging = false;
};
