#include "OvFailures.h"

#include "OvQtStrings.h"

#include "rtl/Exception.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace {
OvFailureSink& Sink() {
  static OvFailureSink S = [](QWidget* Parent, const QString& Message) {
    // Titled with the program's name: hostide, or the host a plugin runs in.
    QMessageBox::critical(Parent, QGuiApplication::applicationDisplayName(), Message);
  };
  return S;
}
} // namespace

void SetFailureSink(OvFailureSink NewSink) {
  Sink() = std::move(NewSink);
}

TFailureSinkScope::TFailureSinkScope(OvFailureSink NewSink) : FPrevious(Sink()) {
  Sink() = std::move(NewSink);
}

TFailureSinkScope::~TFailureSinkScope() {
  Sink() = std::move(FPrevious);
}

void ReportFailure(QWidget* Parent, const QString& Message) {
  Sink()(Parent, Message);
}

bool RunGuarded(QWidget* Parent, const std::function<void()>& Action) {
  // A copy: showing a failure may replace the sink.
  const OvFailureSink Show = Sink();
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
