#include "DevInoSet.h"

#include <gtest/gtest.h>

namespace {

TEST(DevInoSetTest, KeepsEveryIdentityOnceThroughItsGrowth) {
    TDevInoSet set;
    // Inodes that follow one another, as in one directory, on two devices; device 0 and inode 0
    // (what marks a free slot) among them.
    for (dev_t dev = 0; dev < 2; ++dev)
        for (ino_t ino = 0; ino < 5000; ++ino)
            ASSERT_TRUE(set.Insert({dev, ino})) << dev << " " << ino;
    for (dev_t dev = 0; dev < 2; ++dev)
        for (ino_t ino = 0; ino < 5000; ++ino)
            ASSERT_FALSE(set.Insert({dev, ino})) << dev << " " << ino;
    EXPECT_TRUE(set.Insert({2, 0}));
    EXPECT_TRUE(set.Insert({0, 5000}));
    // Inodes a power of two apart, as at the start of each group of a file system.
    for (ino_t ino = 8192; ino <= 8192 * 4000; ino += 8192)
        ASSERT_TRUE(set.Insert({3, ino})) << ino;
    for (ino_t ino = 8192; ino <= 8192 * 4000; ino += 8192)
        ASSERT_FALSE(set.Insert({3, ino})) << ino;
}

} // namespace
