// The mirrors' event boundary: a failure raised by the model or an add-in while handling a user
// action is shown in a message box, and the window goes on.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// How failures are shown; tests replace it to see them without a modal box.
using OvFailureSink = std::function<void(QWidget* Parent, const QString& Message)>;
void SetFailureSink(OvFailureSink Sink);

// Shows failures through Sink while it lives; the sink it covered is in force again afterwards.
class TFailureSinkScope {
public:
  explicit TFailureSinkScope(OvFailureSink Sink);
  ~TFailureSinkScope();
  TFailureSinkScope(const TFailureSinkScope&) = delete;
  TFailureSinkScope& operator=(const TFailureSinkScope&) = delete;

private:
  OvFailureSink FPrevious;
};

// Shows a failure that did not come from an exception (something the window cannot do).
void ReportFailure(QWidget* Parent, const QString& Message);

// Runs Action; a failure that escapes it goes to the failure sink. True when it succeeded.
bool RunGuarded(QWidget* Parent, const std::function<void()>& Action);
