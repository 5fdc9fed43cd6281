// Calls queued to the main thread, as the host's component library has them: any thread queues a
// call (TThread::ForceQueue) and the main thread runs the queued calls when the application is
// next idle (CheckSynchronize, which each front end calls from its idle point). A queued call
// wakes the main thread through the hook a front end installs (TWakeMainThreadScope), so that
// a front end that waits for events gets to its idle point.
#pragma once

#include "rtl/Exception.h"

#include "rtl/ScopedHook.h"

#include <functional>
#include <memory>

class TObject;

HOST_EXCEPTION_CLASS(EThread, Exception);

using TThreadProcedure = std::function<void()>;

class TThread {
public:
  TThread() = delete;

  // Queues AProc to run on the main thread at its next idle point, after every call queued
  // before it; never inside this call, even on the main thread. AOwner is the object the call
  // belongs to (its RemoveQueuedEvents withdraws it), or nullptr. Safe from any thread.
  static void ForceQueue(const TObject* AOwner, TThreadProcedure AProc);
  // Withdraws every call queued for AOwner that has not started: an object that is going away
  // calls it so that nothing runs on it afterwards. Safe from any thread.
  static void RemoveQueuedEvents(const TObject* AOwner);
  // The number of calls waiting.
  static int QueuedCount();
};

// Runs, in order, the calls that were queued when it started, on the main thread only (another
// thread gets EThread); calls they queue wait for the next idle point. A call that throws ends
// the run: the exception goes to the caller (the front end shows it as it shows other
// failures), the calls after it stay queued and the main thread is woken again for them.
// Answers whether it ran any call.
bool CheckSynchronize();
// Whether the calling thread is the main thread (the one that loaded the library).
bool IsMainThread();

// Installs the hook that wakes the main thread when a call is queued, for as long as it lives;
// the one it covered is in force again afterwards. The hook may be called from any thread,
// never while another call of it runs, and must not queue calls itself; once the scope has
// ended, its hook is never called.
class TWakeMainThreadScope {
public:
  explicit TWakeMainThreadScope(std::function<void()> Wake);
  ~TWakeMainThreadScope();
  TWakeMainThreadScope(const TWakeMainThreadScope&) = delete;
  TWakeMainThreadScope& operator=(const TWakeMainThreadScope&) = delete;

private:
  // Installed and removed under the hooks' lock.
  std::unique_ptr<THookSlot<std::function<void()>>::TScope> FScope;
};
