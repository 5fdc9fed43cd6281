// A process-wide hook (a callback that whoever runs the program installs) that is installed by
// scope objects. The hook in force is the one installed last by a scope that is still alive;
// when that scope ends, the one it covered is in force again. Scopes end in the reverse order of
// their start; debug builds stop at one that does not. Other builds let such a scope take only
// its own hook away, so nothing is left pointing at an object that is gone.
#pragma once

#include "rtl/Assert.h"

#include <cstdint>
#include <list>
#include <utility>

template <class TFunction> class THookSlot {
public:
  THookSlot() = default;
  THookSlot(const THookSlot&) = delete;
  THookSlot& operator=(const THookSlot&) = delete;

  // The hook in force: the last one installed by a living scope, else an empty one.
  const TFunction& Current() const { return FScopes.empty() ? FNone : FScopes.back().second; }

  // Installs a hook for as long as it lives.
  class TScope {
  public:
    TScope(THookSlot& Slot, TFunction Hook) : FSlot(Slot), FId(++Slot.FLastId) {
      FSlot.FScopes.emplace_back(FId, std::move(Hook));
    }
    ~TScope() {
      HOST_ASSERT(!FSlot.FScopes.empty() && FSlot.FScopes.back().first == FId,
                  "hook scopes end in the reverse order of their start");
      for (auto It = FSlot.FScopes.begin(); It != FSlot.FScopes.end(); ++It)
        if (It->first == FId) {
          FSlot.FScopes.erase(It);
          break;
        }
    }
    TScope(const TScope&) = delete;
    TScope& operator=(const TScope&) = delete;

  private:
    THookSlot& FSlot;
    uint64_t FId;
  };

private:
  // A list, so that a hook keeps its address while others come and go around it.
  std::list<std::pair<uint64_t, TFunction>> FScopes;
  TFunction FNone;
  uint64_t FLastId = 0;
};
