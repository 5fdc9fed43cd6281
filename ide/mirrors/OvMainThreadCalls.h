// The host's calls queued to the main thread, run from the Qt event loop. While an
// OvMainThreadCalls lives, a call queued from any thread posts one event of low priority to
// it, so that the loop runs the queue once it has handled what was posted before (a menu being
// shown and painted, say); a failure of a queued call is shown through the failure sink, and
// the calls after it run at the next turn of the loop.
#pragma once

#include "rtl/Threads.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <atomic>

class OvMainThreadCalls : public QObject {
  Q_OBJECT
public:
  // Failures are shown over Parent (which may go first, or be null).
  explicit OvMainThreadCalls(QWidget* Parent, QObject* Owner = nullptr);
  ~OvMainThreadCalls() override;

  // Runs what is queued now, as the posted event does.
  void RunQueued();

protected:
  bool event(QEvent* Event) override;

private:
  QPointer<QWidget> FParent;
  std::atomic<bool> FPosted{false};
  // Last: it ends first, so that no thread posts to a half-released object.
  TWakeMainThreadScope FWake;
};
