#include "OvMainThreadCalls.h"

#include "OvFailures.h"

#include <QCoreApplication>
#include <QEvent>

namespace {
const QEvent::Type RunQueuedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
} // namespace

OvMainThreadCalls::OvMainThreadCalls(QWidget* Parent, QObject* Owner)
    : QObject(Owner), FParent(Parent), FWake([this] {
        // One event at a time is enough: it runs whatever is queued by then.
        if (!FPosted.exchange(true))
          QCoreApplication::postEvent(this, new QEvent(RunQueuedEvent), Qt::LowEventPriority);
      }) {
  // Calls queued before the loop was ready to hear of them.
  if (TThread::QueuedCount() > 0 && !FPosted.exchange(true))
    QCoreApplication::postEvent(this, new QEvent(RunQueuedEvent), Qt::LowEventPriority);
}

OvMainThreadCalls::~OvMainThreadCalls() = default;

bool OvMainThreadCalls::event(QEvent* Event) {
  if (Event->type() != RunQueuedEvent)
    return QObject::event(Event);
  RunQueued();
  return true;
}

void OvMainThreadCalls::RunQueued() {
  // Cleared first: a call queued while the queue runs posts again.
  FPosted = false;
  // A failing call leaves the ones after it queued and wakes the loop again for them.
  RunGuarded(FParent.data(), [] { CheckSynchronize(); });
}
