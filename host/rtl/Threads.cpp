#include "rtl/Threads.h"

#include "rtl/Assert.h"
#include "rtl/ScopedHook.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// The thread that loaded the library, which runs the program's main.
const std::thread::id MainThreadId = std::this_thread::get_id();

struct TQueuedCall {
  std::uint64_t Seq;
  const TObject* Owner;
  TThreadProcedure Proc;
};

struct TSyncQueue {
  std::mutex Lock;
  std::deque<TQueuedCall> Calls;
  std::uint64_t NextSeq = 0;
};

TSyncQueue& Queue() {
  static TSyncQueue Q;
  return Q;
}

// The wake hooks: the scopes' list is changed and the hook in force is called under one lock,
// so that a hook is never called once its scope has ended.
struct TWakeHooks {
  std::mutex Lock;
  THookSlot<std::function<void()>> Slot;
};

TWakeHooks& WakeHooks() {
  static TWakeHooks W;
  return W;
}

void WakeMainThread() {
  TWakeHooks& W = WakeHooks();
  std::lock_guard<std::mutex> Guard(W.Lock);
  if (const auto& Wake = W.Slot.Current())
    Wake();
}

} // namespace

void TThread::ForceQueue(const TObject* AOwner, TThreadProcedure AProc) {
  if (!AProc)
    return;
  TSyncQueue& Q = Queue();
  {
    std::lock_guard<std::mutex> Guard(Q.Lock);
    Q.Calls.push_back({Q.NextSeq++, AOwner, std::move(AProc)});
  }
  WakeMainThread();
}

void TThread::RemoveQueuedEvents(const TObject* AOwner) {
  TSyncQueue& Q = Queue();
  std::deque<TQueuedCall> Withdrawn; // released outside the lock: a closure may hold anything
  {
    std::lock_guard<std::mutex> Guard(Q.Lock);
    auto Keep = std::stable_partition(Q.Calls.begin(), Q.Calls.end(),
                                      [AOwner](const TQueuedCall& C) { return C.Owner != AOwner; });
    std::move(Keep, Q.Calls.end(), std::back_inserter(Withdrawn));
    Q.Calls.erase(Keep, Q.Calls.end());
  }
}

int TThread::QueuedCount() {
  TSyncQueue& Q = Queue();
  std::lock_guard<std::mutex> Guard(Q.Lock);
  return static_cast<int>(Q.Calls.size());
}

bool IsMainThread() {
  return std::this_thread::get_id() == MainThreadId;
}

bool CheckSynchronize() {
  if (!IsMainThread())
    throw EThread(u"CheckSynchronize was called from a thread other than the main thread");
  TSyncQueue& Q = Queue();
  std::uint64_t End;
  {
    std::lock_guard<std::mutex> Guard(Q.Lock);
    if (Q.Calls.empty())
      return false;
    End = Q.NextSeq;
  }
  bool Ran = false;
  while (true) {
    // One at a time, taken from the queue itself: a call may withdraw the ones after it (its
    // object going away), and those must not run.
    TThreadProcedure Proc;
    {
      std::lock_guard<std::mutex> Guard(Q.Lock);
      if (Q.Calls.empty() || Q.Calls.front().Seq >= End)
        break;
      Proc = std::move(Q.Calls.front().Proc);
      Q.Calls.pop_front();
    }
    Ran = true;
    try {
      Proc();
    } catch (...) {
      // The others stay queued; the front end shows this failure, then gets to them.
      WakeMainThread();
      throw;
    }
  }
  return Ran;
}

TWakeMainThreadScope::TWakeMainThreadScope(std::function<void()> Wake) {
  TWakeHooks& W = WakeHooks();
  std::lock_guard<std::mutex> Guard(W.Lock);
  FScope = std::make_unique<THookSlot<std::function<void()>>::TScope>(W.Slot, std::move(Wake));
}

TWakeMainThreadScope::~TWakeMainThreadScope() {
  TWakeHooks& W = WakeHooks();
  std::lock_guard<std::mutex> Guard(W.Lock);
  FScope.reset();
}
