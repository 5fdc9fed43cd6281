// HOST_ASSERT states an invariant that the code around it relies on. Debug builds (NDEBUG not
// defined, as in the sanitize preset) check it and stop the program with the file, the line and
// what was expected; other builds compile it away, so the condition must have no side effects.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void HostAssertFailed(const char* Condition, const char* What, const char* File,
                                          int Line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s (%s)\n", File, Line, What, Condition);
  std::fflush(stderr);
  std::abort();
}

#ifdef NDEBUG
#define HOST_ASSERT(Condition, What) static_cast<void>(0)
#else
#define HOST_ASSERT(Condition, What)                                                               \
  ((Condition) ? static_cast<void>(0) : HostAssertFailed(#Condition, What, __FILE__, __LINE__))
#endif
