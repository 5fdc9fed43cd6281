// Actions: commands with a caption that menus and buttons can stand for.
#pragma once

#include "rtl/Component.h"

class TBasicAction : public TComponent {
public:
  explicit TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}
  HOST_CLASS_INFO;

  TNotifyEvent OnExecute;
  virtual bool Execute();
};

class TCustomAction;

// What a view of an action hears.
class TActionView : public virtual TComponentView {
public:
  virtual void CaptionChanged(TCustomAction*) {}
};

class TCustomAction : public TBasicAction {
public:
  explicit TCustomAction(TComponent* AOwner) : TBasicAction(AOwner) {}
  HOST_CLASS_INFO;

  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value);

private:
  UnicodeString FCaption;
};

class TAction : public TCustomAction {
public:
  explicit TAction(TComponent* AOwner) : TCustomAction(AOwner) {}
  HOST_CLASS_INFO;
};
