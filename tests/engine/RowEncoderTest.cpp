#include "RowEncoder.h"

#include <gtest/gtest.h>

TEST(RowEncoder, Placeholder) { SUCCEED(); }
