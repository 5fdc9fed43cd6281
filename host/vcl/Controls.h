// Controls: TControl has a parent and a place; TWinControl holds child controls in order.
#pragma once

#include "rtl/Component.h"
#include "vcl/Graphics.h"

#include <vector>

class TControl;
class TWinControl;

// What a view of a control hears. Captions and enabled states belong to the controls that have
// them (buttons, forms, tool buttons); their setters use these operations too.
class TControlView : public virtual TComponentView {
public:
  virtual void ParentChanged(TControl*) {}
  virtual void VisibleChanged(TControl*) {}
  virtual void BoundsChanged(TControl*) {}
  virtual void HintChanged(TControl*) {}
  virtual void CaptionChanged(TControl*) {}
  virtual void EnabledChanged(TControl*) {}
  virtual void ColorChanged(TControl*) {}
  virtual void FontChanged(TControl*) {}
};

// A windowed control also tells when controls are inserted into it or removed from it.
class TWinControlView : public virtual TControlView {
public:
  virtual void ControlsChanged(TWinControl*) {}
};

class TControl : public TComponent {
public:
  explicit TControl(TComponent* AOwner);
  // Leaves its parent first.
  ~TControl() override;
  HOST_CLASS_INFO;

  TWinControl* Parent() const { return FParent; }
  // Moves the control to another parent's controls (or to none).
  virtual void SetParent(TWinControl* AParent);

  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  int Left() const { return FLeft; }
  void SetLeft(int Value);
  int Top() const { return FTop; }
  void SetTop(int Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  const UnicodeString& Hint() const { return FHint; }
  void SetHint(const UnicodeString& Value);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int Value);

  // The look that controls share; each class publishes the parts it uses. The background
  // colour is clWindow unless a class starts with another.
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  // The control's font, made on first use; its changes reach the views as FontChanged.
  TFont* Font() const;
  // The three-dimensional look of the border.
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value) { FCtl3D = Value; }

private:
  friend class TWinControl;
  TWinControl* FParent = nullptr;
  bool FVisible = true;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  UnicodeString FHint;
  bool FShowHint = false;
  int FTabOrder = -1;
  TColor FColor = clWindow;
  mutable TOwned<TFont> FFont; // made by Font()
  bool FCtl3D = true;
};

class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* AOwner);
  // Releases its child controls, the last first, as the host does.
  ~TWinControl() override;
  HOST_CLASS_INFO;

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int Index) const;

protected:
  friend class TControl;
  // Where a new child goes; a tool bar places buttons by their Left.
  virtual int InsertPosition(const TControl* AControl) const;
  virtual void InsertControl(TControl* AControl);
  virtual void RemoveControl(TControl* AControl);
  // Told when a child's bounds or visibility changed ("Bounds", "Visible"); a tool bar keeps
  // its buttons in order of their Left through it.
  virtual void ChildChanged(TControl* AControl, std::u16string_view What);
  // Children in order, for subclasses that reorder them.
  std::vector<TControl*>& ControlList() { return FControls; }

private:
  std::vector<TControl*> FControls;
};
