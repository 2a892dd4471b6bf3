// The scrambling routine and the 584-byte account record.
#include "stores/mailbox_record.h"

#include <gtest/gtest.h>

#include <cstring>

#include "record_bytes.h"
#include "stores/scramble_field.h"

namespace pw {
namespace {

std::string scrambled(std::string_view plain, size_t width = 32) {
  std::string field(width, '\0');
  std::memcpy(field.data(), plain.data(), std::min(plain.size(), width));
  scramble_field(field.data(), width);
  return field.substr(0, field.find('\0'));
}

TEST(ScrambleField, xorsWithTheKeyAndKeepsBytesEqualToTheirKeyByte) {
  struct Case {
    const char* plain;
    const char* hex;
  };
  const Case cases[] = {
      {"abc", "11 07 0e"},
      {"pemvu", "70 65 6d 76 75"},  // every byte equals its key byte
      {"secret12", "03 65 0e 04 10 04 54 5f"},
      {"pemvupemvu!", "70 65 6d 76 75 70 65 6d 76 75 51"},  // the key restarts every 5 bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scrambled(c.plain), test::hex_bytes(c.hex)) << c.plain;
  }
}

TEST(ScrambleField, isItsOwnInverseForEveryByteAtEveryKeyPosition) {
  for (int b = 1; b < 256; ++b) {
    std::string plain(10, static_cast<char>(b));
    std::string field = plain + std::string(22, '\0');
    scramble_field(field.data(), field.size());
    ASSERT_EQ(field.find('\0'), 10u) << b;
    scramble_field(field.data(), field.size());
    EXPECT_EQ(field.substr(0, 10), plain) << b;
  }
}

TEST(ScrambleField, staysInsideAFieldWithoutNul) {
  char buffer[8];
  std::memset(buffer, 'a', sizeof buffer);
  scramble_field(buffer, 4);
  EXPECT_EQ(std::string(buffer, 4), test::hex_bytes("11 04 0c 17"));
  EXPECT_EQ(std::string(buffer + 4, 4), "aaaa");
}

MailboxRecord sample_record() {
  MailboxRecord r;
  r.address = "a@b.cn";
  r.login_name = "user";
  r.password = "pemvu1";
  r.pop_server = "pop.b.cn";
  r.smtp_server = "smtp.b.cn";
  r.smtp_auth = 1;
  r.smtp_login_name = "su";
  r.smtp_password = "ab";
  return r;
}

TEST(MailboxRecord, encodesEveryFieldAtItsOffsetWithScrambledPasswords) {
  std::string expected = test::record_bytes(584, {
                                                     {0, "61 40 62 2e 63 6e"},
                                                     {128, "75 73 65 72"},
                                                     {256, "70 65 6d 76 75 41"},
                                                     {288, "70 6f 70 2e 62 2e 63 6e"},
                                                     {352, "73 6d 74 70 2e 62 2e 63 6e"},
                                                     {416, "01 00 00 00"},
                                                     {420, "73 75"},
                                                     {548, "11 07"},
                                                     {580, "01"},
                                                 });
  EXPECT_EQ(sample_record().encode(true), expected);
  expected[580] = 0;
  EXPECT_EQ(sample_record().encode(false), expected);
  // Requiring TLS sets bit 0 of byte 581 and nothing else.
  MailboxRecord secure = sample_record();
  secure.require_tls = true;
  expected[581] = 1;
  EXPECT_EQ(secure.encode(false), expected);
  EXPECT_TRUE(MailboxRecord::decode(expected.data()).require_tls);
  // A server once seen over TLS sets bit 1 beside it; an old record reads
  // as not yet seen.
  MailboxRecord seen = secure;
  seen.tls_seen = true;
  expected[581] = 3;
  EXPECT_EQ(seen.encode(false), expected);
  EXPECT_EQ(MailboxRecord::decode(expected.data()), seen);
  expected[581] = 1;
  EXPECT_FALSE(MailboxRecord::decode(expected.data()).tls_seen);
  expected[581] = 0x70;  // bits outside 0-3 carry nothing
  EXPECT_FALSE(MailboxRecord::decode(expected.data()).require_tls);
  EXPECT_FALSE(MailboxRecord::decode(expected.data()).tls_seen);
  EXPECT_EQ(MailboxRecord::decode(expected.data()).sign_in, MailboxRecord::SignIn::password);
  // The sign-in method sits in bits 2-3 beside it; an old record reads as
  // signing in with the password.
  using SignIn = MailboxRecord::SignIn;
  for (auto [method, byte] : {std::pair{SignIn::microsoft, 0x05}, {SignIn::google, 0x09}, {SignIn::custom, 0x0d}}) {
    MailboxRecord oauth = secure;
    oauth.sign_in = method;
    expected[581] = static_cast<char>(byte);
    EXPECT_EQ(oauth.encode(false), expected);
    EXPECT_EQ(MailboxRecord::decode(expected.data()), oauth);
  }
}

TEST(MailboxRecord, roundTripsWithThePausedFlag) {
  for (bool paused : {false, true}) {
    std::string image = sample_record().encode(paused);
    bool read_paused = !paused;
    EXPECT_EQ(MailboxRecord::decode(image.data(), &read_paused), sample_record());
    EXPECT_EQ(read_paused, paused);
  }
}

TEST(MailboxRecord, overlongTextIsCutToItsFieldAndBytesAfterTheNulAreIgnored) {
  MailboxRecord r = sample_record();
  r.address = std::string(200, 'x');
  r.password = std::string(40, 'y');
  std::string image = r.encode(false);
  ASSERT_EQ(image.size(), 584u);
  EXPECT_EQ(image[127], '\0');
  EXPECT_EQ(image[287], '\0');
  image[300] = '\0';
  image[301] = 'G';  // garbage after a NUL
  MailboxRecord back = MailboxRecord::decode(image.data());
  EXPECT_EQ(back.address, std::string(127, 'x'));
  EXPECT_EQ(back.password, std::string(31, 'y'));
  EXPECT_EQ(back.pop_server, "pop.b.cn");
}

TEST(MailboxRecord, fieldsWithoutNulStayWithinTheirWidth) {
  std::string image(584, 'x');
  MailboxRecord r = MailboxRecord::decode(image.data());
  EXPECT_EQ(r.address, std::string(127, 'x'));
  EXPECT_EQ(r.pop_server, std::string(63, 'x'));
  EXPECT_EQ(r.password.size(), 31u);
  EXPECT_EQ(r.smtp_password.size(), 31u);
}

}  // namespace
}  // namespace pw
