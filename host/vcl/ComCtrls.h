// Tool bars and their buttons.
#pragma once

#include "vcl/Controls.h"

class TPopupMenu;

enum class TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

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

  TNotifyEvent OnClick;
  virtual void Click();

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  TToolButtonStyle FStyle = TToolButtonStyle::tbsButton;
  int FImageIndex = -1;
  TPopupMenu* FDropdownMenu = nullptr;
};

class TToolBar : public TWinControl {
public:
  explicit TToolBar(TComponent* AOwner);
  HOST_CLASS_INFO;

  int ButtonCount() const;
  TToolButton* Buttons(int Index) const;
};
