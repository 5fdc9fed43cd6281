// What the fuzz targets share: a check that stops the run (libFuzzer then keeps the input as a
// finding) with a message saying which property failed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(Condition, What)                                                                \
  do {                                                                                             \
    if (!(Condition))                                                                              \
      FuzzFail(__FILE__, __LINE__, #Condition, What);                                              \
  } while (false)

[[noreturn]] inline void FuzzFail(const char* File, int Line, const char* Condition,
                                  const std::string& What) {
  std::fprintf(stderr, "%s:%d: property failed: %s\n  %s\n", File, Line, Condition, What.c_str());
  std::abort();
}
