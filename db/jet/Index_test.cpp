#include <gtest/gtest.h>
TEST(JetIndex, Placeholder) {}
