#include "common/jsonobject.h"

#include <gtest/gtest.h>

TEST(JSONObjectTest, Placeholder) { EXPECT_TRUE(JSONObject().isNull()); }
