#include "base/fixed_field.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pw {
namespace {

TEST(FixedField, longTextKeepsWidthMinusOneBytesAndTerminator) {
  char f[8];
  std::memset(f, 'x', sizeof f);
  put_field(f, sizeof f, "abcdefghij");
  EXPECT_EQ(std::string(f, 8), std::string("abcdefg\0", 8));
}

TEST(FixedField, shortTextZeroFillsTheRest) {
  char f[6];
  std::memset(f, 'x', sizeof f);
  put_field(f, sizeof f, "ab");
  EXPECT_EQ(std::string(f, 6), std::string("ab\0\0\0\0", 6));
}

TEST(FixedField, readStopsAtFirstNulAndIgnoresBytesAfterIt) {
  const char f[6] = {'a', 'b', 0, 'z', 'z', 0};
  EXPECT_EQ(get_field(f, 6), "ab");
}

TEST(FixedField, fieldWithoutNulReadsAtMostWidthMinusOne) {
  const char f[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(get_field(f, 4), "abc");
}

TEST(LittleEndian, roundTripsAndIsLittleEndianOnDisk) {
  char b[4];
  write_le32(b, 0x11223344u);
  EXPECT_EQ(std::string(b, 4), "\x44\x33\x22\x11");
  EXPECT_EQ(read_le32(b), 0x11223344u);
  write_le32(b, 0xffffffffu);
  EXPECT_EQ(read_le32(b), 0xffffffffu);
}

}  // namespace
}  // namespace pw
