// The mirrors' event boundary: a failure raised by the model or an add-in while handling a user
// action is shown in a message box, and the window goes on.
#pragma once

#include "rtl/ScopedHook.h"

#include <QString>
#include <QWidget>

#include <functional>

// How failures are shown: a message box titled with the program's name, unless a scope installs
// another sink (tests do, to see failures without a modal box).
using FailureSink = std::function<void(QWidget* Parent, const QString& Message)>;

// Shows failures through Sink while it lives; the sink it covered is in force again afterwards.
class FailureSinkScope {
public:
  explicit FailureSinkScope(FailureSink Sink);

private:
  THookSlot<FailureSink>::TScope FScope;
};

// Shows a failure that did not come from an exception (something the window cannot do).
void ReportFailure(QWidget* Parent, const QString& Message);

// Runs Action; a failure that escapes it goes to the failure sink. True when it succeeded.
bool RunGuarded(QWidget* Parent, const std::function<void()>& Action);
