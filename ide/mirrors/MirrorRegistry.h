// One registry of mirrors keyed by model class. A front end registers one factory per model
// class it shows; an object is shown by the factory of its class, or of its nearest ancestor
// class that has one. An object whose classes have none gets no view and works on without one
// (the model never needs its views). Mirrors are made when a front end first asks for them.
#pragma once

#include "rtl/TypInfo.h"

#include <QObject>
#include <QWidget>

#include <functional>
#include <unordered_map>

class TComponent;

class MirrorRegistry {
public:
  // Makes the Qt object that mirrors Model. Into is where it shows: the parent widget of a
  // control's, a popup's or a form's widget; the Qt bar that a main menu's or a tool bar's
  // entries go into. Owner owns a mirror that is not a widget of its own (the bar mirrors); it
  // may not be Into. Answers nullptr when Into is not what the mirror needs.
  using TFactory = std::function<QObject*(TComponent* Model, QWidget* Into, QObject* Owner)>;

  // Shows objects of Class (and of its descendants without a factory of their own) through
  // Factory from now on, in place of the factory it had.
  void Register(const TClassInfo& Class, TFactory Factory);
  // The factory of Class or of its nearest ancestor that has one, or nullptr.
  const TFactory* FactoryFor(const TClassInfo& Class) const;
  // Model's mirror, or nullptr when no class of it has a factory.
  QObject* Create(TComponent* Model, QWidget* Into, QObject* Owner = nullptr) const;
  // Model's mirror as an M, or nullptr (a mirror of another kind is released again).
  template <class M> M* CreateAs(TComponent* Model, QWidget* Into, QObject* Owner = nullptr) const {
    QObject* Made = Create(Model, Into, Owner);
    if (auto* Typed = qobject_cast<M*>(Made))
      return Typed;
    delete Made;
    return nullptr;
  }

  // The registry both Qt front ends use, holding the mirrors of this library: main menu, popup
  // menu, tool bar, tool button, palette, grid, button and form.
  static MirrorRegistry& Standard();

private:
  std::unordered_map<const TClassInfo*, TFactory> FFactories;
};
