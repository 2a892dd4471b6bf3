#include "res/string_table.h"

#include <gtest/gtest.h>

#include "base/code_page.h"

namespace pw {
namespace {

TEST(StringTable, coreGetsSystemCodePageAndUnknownIdsAreEmpty) {
  EXPECT_EQ(res::text(sid::kErrorTitle), utf8_to_gb("错误"));
  EXPECT_EQ(res::text_utf8(sid::kErrorTitle), "错误");
  EXPECT_TRUE(res::text(1).empty());
  EXPECT_FALSE(res::has(1));
}

}  // namespace
}  // namespace pw
