#include "rtl/Resources.h"
#include "rtl/Exception.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

TEST(Resources, EmbeddedBytesAreFoundThroughTheModulesInstanceHandle) {
  HINSTANCE Self = HInstance();
  ASSERT_NE(Self, nullptr);
  EXPECT_TRUE(HasResource(Self, u"TEST_BLOB"));
  auto Bytes = FindResourceData(Self, u"test_blob");
  ASSERT_EQ(Bytes.size(), 7u);
  EXPECT_EQ(Bytes[0], 'h');
  EXPECT_EQ(Bytes[5], 0);
  EXPECT_EQ(Bytes[6], 0xFF);
  // Another module (the runtime library) has its own table.
  EXPECT_NE(FindHInstance(reinterpret_cast<const void*>(&FindResourceData)), Self);
  EXPECT_FALSE(
      HasResource(FindHInstance(reinterpret_cast<const void*>(&FindResourceData)), u"TEST_BLOB"));
  try {
    FindResourceData(Self, u"MISSING");
    FAIL() << "a missing resource was found";
  } catch (const EResNotFound& E) {
    EXPECT_EQ(E.Message(), u"Resource MISSING not found");
  }
}

TEST(Resources, AnAddressIsPlacedInTheModulesLoadedAtTheTimeOfAsking) {
  // Asked twice while the module is loaded, the second answer may come from what was kept; once
  // the module is gone, its address belongs to no module, or to whatever was loaded there since.
  auto Placed = [](const void* Address) -> HINSTANCE {
    Dl_info Info{};
    return dladdr(Address, &Info) == 0 ? nullptr : Info.dli_fbase;
  };
  for (int Round = 0; Round < 3; ++Round) {
    void* Module = dlopen(PROBE_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Module, nullptr) << dlerror();
    const void* Data = dlsym(Module, "ProbeModuleData");
    ASSERT_NE(Data, nullptr);
    const HINSTANCE Base = FindHInstance(Data);
    ASSERT_NE(Base, nullptr);
    EXPECT_EQ(Base, Placed(Data));
    EXPECT_EQ(FindHInstance(Data), Base);
    EXPECT_NE(Base, HInstance());
    ASSERT_EQ(dlclose(Module), 0);
    EXPECT_EQ(FindHInstance(Data), Placed(Data)) << "round " << Round;
    EXPECT_NE(FindHInstance(Data), Base) << "the unloaded module is still named, round " << Round;
  }
  EXPECT_EQ(FindHInstance(nullptr), nullptr);
}
