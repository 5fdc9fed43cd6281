#include "Failures.h"

#include "QtStrings.h"

#include "rtl/Exception.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace {
THookSlot<FailureSink>& Sinks() {
  static THookSlot<FailureSink> Slot;
  return Slot;
}

const FailureSink& Sink() {
  static const FailureSink Box = [](QWidget* Parent, const QString& Message) {
    // Titled with the program's name: hostide, or the host a plugin runs in.
    QMessageBox::critical(Parent, QGuiApplication::applicationDisplayName(), Message);
  };
  return Sinks().Current() ? Sinks().Current() : Box;
}
} // namespace

FailureSinkScope::FailureSinkScope(FailureSink NewSink) : FScope(Sinks(), std::move(NewSink)) {}

void ReportFailure(QWidget* Parent, const QString& Message) {
  Sink()(Parent, Message);
}

bool RunGuarded(QWidget* Parent, const std::function<void()>& Action) {
  // A copy: showing a failure may replace the sink.
  const FailureSink Show = Sink();
  try {
    Action();
    return true;
  } catch (const Exception& E) {
    Show(Parent, ToQString(E.Message()));
  } catch (const std::exception& E) {
    Show(Parent, QString::fromUtf8(E.what()));
  }
  return false;
}
