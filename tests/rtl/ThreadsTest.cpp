#include "rtl/Threads.h"
#include "rtl/Object.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every test starts and ends with nothing queued: the queue is the process's.
class MainThreadQueue : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(TThread::QueuedCount(), 0); }
  void TearDown() override {
    while (TThread::QueuedCount() > 0)
      try {
        CheckSynchronize();
      } catch (...) {
      }
  }
};

TEST_F(MainThreadQueue, RunsCallsInOrderAtTheIdlePointOnlyAndThoseTheyQueueAtTheNext) {
  std::vector<std::string> Log;
  TObject Owner;
  TThread::ForceQueue(&Owner, [&] { Log.push_back("a"); });
  TThread::ForceQueue(nullptr, [&] {
    Log.push_back("b");
    TThread::ForceQueue(nullptr, [&] { Log.push_back("queued by b"); });
  });
  TThread::ForceQueue(&Owner, [&] { Log.push_back("c"); });
  EXPECT_TRUE(Log.empty()) << "nothing runs inside ForceQueue, even on the main thread";
  EXPECT_EQ(TThread::QueuedCount(), 3);

  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(Log, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(TThread::QueuedCount(), 1);
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(Log.back(), "queued by b");
  EXPECT_FALSE(CheckSynchronize()) << "nothing left to run";
}

TEST_F(MainThreadQueue, WithdrawnCallsNeverRunAndTheOthersKeepTheirOrder) {
  std::vector<std::string> Log;
  TObject Going, Staying;
  TThread::ForceQueue(&Going, [&] { Log.push_back("going 1"); });
  TThread::ForceQueue(&Staying, [&] { Log.push_back("staying 1"); });
  TThread::ForceQueue(&Going, [&] { Log.push_back("going 2"); });
  TThread::ForceQueue(nullptr, [&] { Log.push_back("nobody's"); });
  TThread::RemoveQueuedEvents(&Going);
  EXPECT_EQ(TThread::QueuedCount(), 2);
  CheckSynchronize();
  EXPECT_EQ(Log, (std::vector<std::string>{"staying 1", "nobody's"}));

  // A call whose run releases an object withdraws that object's calls after it in the same run.
  Log.clear();
  TThread::ForceQueue(nullptr, [&] {
    Log.push_back("releases Going");
    TThread::RemoveQueuedEvents(&Going);
  });
  TThread::ForceQueue(&Going, [&] { Log.push_back("on Going"); });
  TThread::ForceQueue(&Staying, [&] { Log.push_back("on Staying"); });
  CheckSynchronize();
  EXPECT_EQ(Log, (std::vector<std::string>{"releases Going", "on Staying"}));
}

TEST_F(MainThreadQueue, AThrowingCallReachesTheCallerAndTheCallsAfterItRunNextTime) {
  std::vector<std::string> Log;
  int Wakes = 0;
  TWakeMainThreadScope Wake([&] { ++Wakes; });
  TThread::ForceQueue(nullptr, [&] { Log.push_back("before"); });
  TThread::ForceQueue(nullptr, [] { throw EInvalidOperation(u"Cannot release the menu items"); });
  TThread::ForceQueue(nullptr, [&] { Log.push_back("after"); });
  EXPECT_EQ(Wakes, 3);
  try {
    CheckSynchronize();
    ADD_FAILURE() << "the failure reaches the front end";
  } catch (const EInvalidOperation& E) {
    EXPECT_EQ(E.Message(), u"Cannot release the menu items");
  }
  EXPECT_EQ(Log, (std::vector<std::string>{"before"}));
  EXPECT_EQ(TThread::QueuedCount(), 1) << "the call after the failing one is still queued";
  EXPECT_EQ(Wakes, 4) << "and the main thread is woken again for it";
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(Log, (std::vector<std::string>{"before", "after"}));
}

TEST_F(MainThreadQueue, CallsQueuedFromOtherThreadsWakeTheMainThreadAndRunThereInTheirOrder) {
  const std::thread::id Main = std::this_thread::get_id();
  ASSERT_TRUE(IsMainThread());
  std::atomic<int> Wakes{0};
  std::mutex Lock;
  std::vector<std::thread::id> RanOn;
  std::vector<std::vector<int>> Seen(4);
  {
    TWakeMainThreadScope Wake([&] { ++Wakes; });
    std::vector<std::thread> Threads;
    for (int T = 0; T < 4; ++T)
      Threads.emplace_back([&, T] {
        EXPECT_FALSE(IsMainThread());
        EXPECT_THROW(CheckSynchronize(), EThread) << "only the main thread runs the queue";
        for (int I = 0; I < 200; ++I)
          TThread::ForceQueue(nullptr, [&, T, I] {
            std::lock_guard<std::mutex> G(Lock);
            RanOn.push_back(std::this_thread::get_id());
            Seen[static_cast<size_t>(T)].push_back(I);
          });
      });
    // The main thread runs what has arrived meanwhile, as an idle point would.
    while (!Threads.empty()) {
      CheckSynchronize();
      Threads.back().join();
      Threads.pop_back();
    }
    CheckSynchronize();
  }
  EXPECT_EQ(Wakes, 800) << "every call woke the main thread";
  ASSERT_EQ(RanOn.size(), 800u);
  for (const std::thread::id& Id : RanOn)
    EXPECT_EQ(Id, Main);
  for (const std::vector<int>& Calls : Seen) {
    ASSERT_EQ(Calls.size(), 200u);
    for (int I = 0; I < 200; ++I)
      EXPECT_EQ(Calls[static_cast<size_t>(I)], I) << "each thread's calls run in its order";
  }
}

TEST_F(MainThreadQueue, TheLastWakeHookInstalledIsInForceUntilItsScopeEnds) {
  std::vector<std::string> Woken;
  TThread::ForceQueue(nullptr, [] {}); // no hook: nothing to wake, nothing lost
  {
    TWakeMainThreadScope Outer([&] { Woken.push_back("outer"); });
    {
      TWakeMainThreadScope Inner([&] { Woken.push_back("inner"); });
      TThread::ForceQueue(nullptr, [] {});
    }
    TThread::ForceQueue(nullptr, [] {});
  }
  TThread::ForceQueue(nullptr, [] {});
  EXPECT_EQ(Woken, (std::vector<std::string>{"inner", "outer"}));
  EXPECT_EQ(TThread::QueuedCount(), 4);
}

} // namespace
