#include "mail/message_composer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/local_time.h"
#include "mail/base64.h"
#include "mail/mime_message.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

constexpr std::time_t kNow = 1733533503;  // 2024-12-07 01:05:03 UTC

TEST(MessageComposer, writesTheMessageByteForByte) {
  test::TempDir dir;
  dir.write("a.txt", "first");
  dir.write("b.bin", std::string("\x00\xff", 2));
  MessageComposer c;
  c.begin("me@example.com", "you@example.net", "\xbb\xd8\xb8\xb4", kNow);
  c.add_text("hello");
  ASSERT_TRUE(c.add_attachment(dir / "a.txt"));
  ASSERT_TRUE(c.add_attachment(dir / "b.bin"));
  std::string expected =
      "From: me@example.com\r\nTo: you@example.net\r\nSubject: \xbb\xd8\xb8\xb4\r\n"
      "Content-Type: multipart/mixed;\r\n    boundary=\"==NextPart==Pelliwick_Multipart==\";\r\n"
      "Date: " + format_mail_date(kNow) + "\r\n"
      "Mime-Version: 1.0\r\n"
      "\r\nThis is a multi-part message in MIME format.\r\n\r\n"
      "--==NextPart==Pelliwick_Multipart==\r\n"
      "Content-Type: text/plain;\r\nContent-Transfer-Encoding: base64\r\n\r\n"
      "aGVsbG8=\r\n\r\n"
      "--==NextPart==Pelliwick_Multipart==\r\n"
      "Content-Type: application/octet-stream;\r\n   name=\"a.txt\"\r\n"
      "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n    filename=\"a.txt\"\r\n\r\n"
      "Zmlyc3Q=\r\n\r\n"
      "--==NextPart==Pelliwick_Multipart==\r\n"
      "Content-Type: application/octet-stream;\r\n   name=\"b.bin\"\r\n"
      "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n    filename=\"b.bin\"\r\n\r\n"
      "AP8=\r\n\r\n"
      "--==NextPart==Pelliwick_Multipart==--\r\n";
  EXPECT_EQ(c.finish(), expected);
}

TEST(MessageComposer, dateCarriesTheLocalZoneOffset) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "Asia/Shanghai", 1);
  tzset();
  MessageComposer c;
  c.begin("a", "b", "s", kNow);
  std::string message = c.finish();
  if (old) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();
  EXPECT_NE(message.find("\r\nDate: Sat, 07 Dec 2024 09:05:03 +0800\r\n"), std::string::npos) << message;
}

TEST(MessageComposer, unreadableAttachmentAddsNothing) {
  test::TempDir dir;
  MessageComposer c;
  c.begin("a", "b", "s", kNow);
  c.add_text("t");
  std::string before = c.finish();
  c.begin("a", "b", "s", kNow);
  c.add_text("t");
  EXPECT_FALSE(c.add_attachment(dir / "missing.txt"));
  EXPECT_FALSE(c.add_attachment(dir.path()));  // a directory
  EXPECT_EQ(c.finish(), before);
}

TEST(MessageComposer, headerValuesCannotAddHeaders) {
  MessageComposer c;
  c.begin("a@x\r\nBcc: evil@x", "b@x\n", "hi\rBcc: evil@x", kNow);
  std::string message = c.finish();
  EXPECT_EQ(message.find("\r\nBcc:"), std::string::npos);
  EXPECT_NE(message.find("From: a@x  Bcc: evil@x\r\nTo: b@x \r\nSubject: hi Bcc: evil@x\r\n"), std::string::npos);
}

TEST(MessageComposer, attachmentNameIsTheLastPathComponentMadeSafe) {
  test::TempDir dir;
  dir.write("C:\\docs\\plan.txt", "p");
  dir.write("q\"uote.txt", "q");
  MessageComposer c;
  c.begin("a", "b", "s", kNow);
  ASSERT_TRUE(c.add_attachment(dir / "C:\\docs\\plan.txt"));
  ASSERT_TRUE(c.add_attachment(dir / "q\"uote.txt"));
  std::string message = c.finish();
  EXPECT_NE(message.find("name=\"plan.txt\"\r\n"), std::string::npos);
  EXPECT_NE(message.find("filename=\"quote.txt\"\r\n"), std::string::npos);
}

TEST(MessageComposer, composedMessageReadsBack) {
  test::TempDir dir;
  std::string big;
  for (int i = 0; i < 10000; ++i) big.push_back(static_cast<char>(i * 7));
  dir.write("big.bin", big);
  dir.write("notes.txt", "notes");
  std::string text = "\xc4\xe3\xba\xc3\r\nsecond line\r\n";
  MessageComposer c;
  c.begin("a@x", "b@x", "s", kNow);
  c.add_text(text);
  ASSERT_TRUE(c.add_attachment(dir / "big.bin"));
  ASSERT_TRUE(c.add_attachment(dir / "notes.txt"));
  MimeMessage m(c.finish());
  EXPECT_EQ(m.text_body(), text);
  ASSERT_EQ(m.attachment_count(), 2);
  EXPECT_EQ(m.attachment_name(0), "big.bin");
  EXPECT_EQ(m.attachment_data(0), big);
  EXPECT_EQ(m.attachment_name(1), "notes.txt");
  EXPECT_EQ(m.attachment_data(1), "notes");
}

TEST(MessageComposer, eachComposerHoldsItsOwnMessage) {
  MessageComposer reply;
  MessageComposer feedback;
  reply.begin("a", "b", "reply", kNow);
  feedback.begin("c", "d", "feedback", kNow);
  reply.add_text("one");
  feedback.add_text("two");
  MimeMessage r(reply.finish());
  MimeMessage f(feedback.finish());
  EXPECT_EQ(r.text_body(), "one");
  EXPECT_EQ(f.text_body(), "two");
  EXPECT_EQ(reply.finish(), "--==NextPart==Pelliwick_Multipart==--\r\n");  // emptied by finish
}

}  // namespace
}  // namespace pw
