#include "sys/DiskSpace.h"

#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(KilobytesFromBytes, RoundsAHalfToEven) {
    EXPECT_EQ(KilobytesFromBytes(0), 0);
    EXPECT_EQ(KilobytesFromBytes(511), 0);
    EXPECT_EQ(KilobytesFromBytes(512), 0);
    EXPECT_EQ(KilobytesFromBytes(513), 1);
    EXPECT_EQ(KilobytesFromBytes(1536), 2);
    EXPECT_EQ(KilobytesFromBytes(2560), 2);
    EXPECT_EQ(KilobytesFromBytes(3584), 4);
    EXPECT_EQ(KilobytesFromBytes(1048576), 1024);
}

TEST(KilobytesFromBytes, CapsAtTheLargest32BitValue) {
    const std::uint64_t cap = 2147483647;
    EXPECT_EQ(KilobytesFromBytes(cap * 1024), 2147483647);
    EXPECT_EQ(KilobytesFromBytes(cap * 1024 + 511), 2147483647);
    EXPECT_EQ(KilobytesFromBytes(cap * 1024 + 512), 2147483647) << "a half above the cap";
    EXPECT_EQ(KilobytesFromBytes(std::uint64_t{1} << 41), 2147483647);
    EXPECT_EQ(KilobytesFromBytes(~std::uint64_t{0}), 2147483647);
}

} // namespace
} // namespace kw
