// Linked into every test program: before the first test runs, the current user's hive is
// pointed at a fresh folder of its own, so that no test ever reads or writes the real user's
// hive, however the program is started. The folder is removed after the last test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class TIsolatedHive : public ::testing::Environment {
public:
  void SetUp() override {
    const char* Tmp = std::getenv("TMPDIR");
    std::string Pattern = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/hostide-tests-XXXXXX";
    if (!::mkdtemp(Pattern.data()))
      FAIL() << "cannot create a temporary folder for the test hive";
    FDir = Pattern;
    ::setenv("HOSTIDE_REGISTRY", (FDir + "/HKCU.db").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", FDir.c_str(), 1);
  }
  void TearDown() override {
    std::error_code Ec;
    if (!FDir.empty())
      std::filesystem::remove_all(FDir, Ec);
  }

private:
  std::string FDir;
};

// GoogleTest owns registered environments.
[[maybe_unused]] ::testing::Environment* const Registered =
    ::testing::AddGlobalTestEnvironment(new TIsolatedHive);

} // namespace
