// The scopes that choose the current user's hive: each covers what was in force and puts it
// back when it ends.
#include "rtl/Exception.h"
#include "rtl/RegistryHive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets an environment variable for one test and puts the old value back.
class TEnvironment {
public:
  TEnvironment(const char* Name, const char* Value) : FName(Name) {
    if (const char* Old = std::getenv(Name))
      FOld = Old;
    ::setenv(Name, Value, 1);
  }
  ~TEnvironment() {
    if (FOld)
      ::setenv(FName, FOld->c_str(), 1);
    else
      ::unsetenv(FName);
  }

private:
  const char* FName;
  std::optional<std::string> FOld;
};

TEST(CurrentUserHiveScope, AFileScopeCoversWhatWasInForceUntilItEnds) {
  TEnvironment Registry("HOSTIDE_REGISTRY", "/from/environment.db");
  EXPECT_EQ(CurrentUserHiveFile(), u"/from/environment.db");
  {
    TCurrentUserHiveFileScope Outer(u"/outer.db");
    EXPECT_EQ(CurrentUserHiveFile(), u"/outer.db");
    {
      TCurrentUserHiveFileScope Inner(u"/inner.db");
      EXPECT_EQ(CurrentUserHiveFile(), u"/inner.db");
    }
    EXPECT_EQ(CurrentUserHiveFile(), u"/outer.db");
    // An empty name is refused, never taken for "the default", and covers nothing.
    EXPECT_THROW(TCurrentUserHiveFileScope(u""), ERegistryException);
    EXPECT_EQ(CurrentUserHiveFile(), u"/outer.db");
  }
  EXPECT_EQ(CurrentUserHiveFile(), u"/from/environment.db");
}

TEST(CurrentUserHiveScope, TheInnermostFactoryOpensTheHiveAndTheOneItCoveredComesBack) {
  std::string Opened;
  auto Factory = [&](const char* Name) {
    return [&Opened, Name] {
      Opened += Name;
      return NewMemoryHive();
    };
  };
  TCurrentUserHiveScope Outer(Factory("outer "));
  OpenCurrentUserHive();
  {
    TCurrentUserHiveScope Inner(Factory("inner "));
    OpenCurrentUserHive();
  }
  OpenCurrentUserHive();
  EXPECT_EQ(Opened, "outer inner outer ");
}

} // namespace
