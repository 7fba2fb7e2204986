#include <gtest/gtest.h>
TEST(Skeleton, ExpertenmodusIsZeroOrOne) { EXPECT_TRUE(QUVA_EXPERTENMODUS == 0 || QUVA_EXPERTENMODUS == 1); }
