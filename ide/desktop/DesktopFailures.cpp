#include "DesktopFailures.h"

#include "DesktopQtStrings.h"

#include "rtl/Exception.h"

#include <QMessageBox>

namespace {
DesktopFailureSink& Sink() {
  static DesktopFailureSink S = [](QWidget* Parent, const QString& Message) {
    QMessageBox::critical(Parent, QStringLiteral("hostide"), Message);
  };
  return S;
}
} // namespace

void SetFailureSink(DesktopFailureSink NewSink) {
  Sink() = std::move(NewSink);
}

TFailureSinkScope::TFailureSinkScope(DesktopFailureSink NewSink) : FPrevious(Sink()) {
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
  const DesktopFailureSink Show = Sink();
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
