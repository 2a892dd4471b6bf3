#include "mail/base64.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

TEST(Base64, paddedLineBrokenAndUnpaddedForms) {
  EXPECT_EQ(base64_encode("abc"), "YWJj");
  EXPECT_EQ(base64_encode("a"), "YQ==");
  EXPECT_EQ(base64_encode("user"), "dXNlcg==");
  EXPECT_EQ(base64_encode_unpadded("abc"), "YWJj");
  EXPECT_EQ(base64_encode_unpadded("a"), "YQ");
  EXPECT_EQ(base64_encode_unpadded("ab"), "YWI");
}

TEST(Base64, lineBrokenEncoderBreaksAfterEvery76thCharacter) {
  std::string line57 = base64_encode_lines(std::string(57, 'x'));
  EXPECT_EQ(line57.size(), 78u);
  EXPECT_EQ(line57.substr(76), "\r\n");
  std::string line58 = base64_encode_lines(std::string(58, 'x'));
  EXPECT_EQ(line58.substr(76), "\r\neA==");
  EXPECT_EQ(base64_encode_lines(""), "");
}

TEST(Base64, decoderIgnoresLineBreaksPaddingAndJunk) {
  std::string data;
  for (int i = 0; i < 256; ++i) data.push_back(static_cast<char>(i));
  EXPECT_EQ(base64_decode(base64_encode_lines(data)), data);
  EXPECT_EQ(base64_decode(base64_encode_unpadded(data)), data);
  EXPECT_EQ(base64_decode("YW Jj\r\n=="), "abc");
  EXPECT_EQ(base64_decode("Y"), "");  // six bits are not a byte
}

}  // namespace
}  // namespace pw
