#include "device/model/light_watch.h"

#include <gtest/gtest.h>

TEST(LightWatch, WakesOnceAtTheFirstChangeAfterItWasArmed)
{
    model::LightWatch watch;
    int wakes = 0;
    watch.setWake([&] { ++wakes; });
    watch.changed();
    EXPECT_EQ(wakes, 0) << "nobody asked";

    ASSERT_TRUE(watch.arm(watch.changes()));
    watch.changed();
    watch.changed();
    EXPECT_EQ(wakes, 1);

    // A change the owner has not seen yet: no wake comes, the owner looks again itself.
    EXPECT_FALSE(watch.arm(watch.changes() - 1));
    watch.changed();
    EXPECT_EQ(wakes, 1);

    ASSERT_TRUE(watch.arm(watch.changes()));
    watch.setWake({});
    watch.changed();
    EXPECT_EQ(wakes, 1) << "a wake taken away is not called";
}

TEST(LightWatch, APassCountsOnlyWhenItsColoursDiffer)
{
    model::LightWatch watch;
    model::LightColourList lights;
    lights.set(3, model::LightColour{10, 20, 30, 255});
    watch.comparePainted(lights, 170);
    EXPECT_EQ(watch.changes(), 1u);
    watch.comparePainted(lights, 170);
    EXPECT_EQ(watch.changes(), 1u) << "the same frame painted again";
    lights.set(169, model::LightColour{1, 0, 0, 1});
    watch.comparePainted(lights, 169);
    EXPECT_EQ(watch.changes(), 1u) << "a light past the device's count";
    watch.comparePainted(lights, 170);
    EXPECT_EQ(watch.changes(), 2u);
}
