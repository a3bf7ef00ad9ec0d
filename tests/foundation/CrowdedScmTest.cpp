// Once for real: so many driver services that every first enumeration
// buffer of the applet overflows under Wine itself.
#include "windows/ServiceControl.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "BoxCollector.h"
#include "Scm.h"

TEST(CrowdedScm, DriverRegisteredLastIsStillFound)
{
    ASSERT_TRUE(harness::ResetBaseline());
    // 470 names of 13 characters overflow 28800 bytes on both architectures.
    for (int i = 0; i < 470; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "QB480Test%04d", i);
        ASSERT_EQ(harness::CreateDriverService(name, name, "C:\\windows\\system32\\drivers\\none.sys"), 0u) << name;
    }
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", "C:\\windows\\system32\\drivers\\vdxqb480.sys"),
              0u);
    bool installed = false;
    bool started = true;
    EXPECT_EQ(BoxTextsDuring([&] { installed = qb480::IsDriverInstalled(); }), Texts{});
    EXPECT_EQ(BoxTextsDuring([&] { started = qb480::VDXDriverStarted(); }), Texts{});
    EXPECT_TRUE(installed);
    EXPECT_FALSE(started);
    EXPECT_TRUE(harness::ResetBaseline());
}
