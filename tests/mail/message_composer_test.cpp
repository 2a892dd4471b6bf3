#include "mail/message_composer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/code_page.h"
#include "base/local_time.h"
#include "base/text_lines.h"
#include "mail/base64.h"
#include "mail/encoded_words.h"
#include "mail/header_field.h"
#include "mail/mime_message.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

constexpr std::time_t kNow = 1733533503;  // 2024-12-07 01:05:03 UTC

// The message with its Message-ID line taken out into `id`; every message
// gets a new one.
std::string without_message_id(std::string message, std::string* id = nullptr) {
  size_t at = message.find("\r\nMessage-ID: <");
  size_t end = at == std::string::npos ? at : message.find("\r\n", at + 2);
  EXPECT_NE(end, std::string::npos) << message;
  if (end == std::string::npos) return message;
  if (id) *id = message.substr(at + 14, end - at - 14);
  return message.erase(at, end - at);
}

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
      "From: me@example.com\r\nTo: you@example.net\r\nSubject: =?GB18030?B?u9i4tA==?=\r\n"
      "Content-Type: multipart/mixed;\r\n    boundary=\"==NextPart==Pelliwick_Multipart==\";\r\n"
      "Date: " + format_mail_date(kNow) + "\r\n"
      "Mime-Version: 1.0\r\n"
      "\r\nThis is a multi-part message in MIME format.\r\n\r\n"
      "--==NextPart==Pelliwick_Multipart==\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: base64\r\n\r\n"
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
  std::string id;
  EXPECT_EQ(without_message_id(c.finish(), &id), expected);
  EXPECT_TRUE(id.starts_with("<1733533503.") && id.ends_with("@example.com>")) << id;
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
  std::string before = without_message_id(c.finish());
  c.begin("a", "b", "s", kNow);
  c.add_text("t");
  EXPECT_FALSE(c.add_attachment(dir / "missing.txt"));
  EXPECT_FALSE(c.add_attachment(dir.path()));  // a directory
  EXPECT_EQ(without_message_id(c.finish()), before);
}

TEST(MessageComposer, headerValuesCannotAddHeaders) {
  MessageComposer c;
  c.begin("a@x\r\nBcc: evil@x", "b@x\n", "hi\rBcc: evil@x", kNow);
  std::string message = c.finish();
  EXPECT_EQ(message.find("\r\nBcc:"), std::string::npos);
  EXPECT_NE(message.find("From: a@x  Bcc: evil@x\r\nTo: b@x \r\nSubject: hi Bcc: evil@x\r\n"), std::string::npos);
}

TEST(MessageComposer, nonAsciiHeadersGoOutAsEncodedWordsAndReadBack) {
  std::string name = utf8_to_gb("张三");
  std::string subject = utf8_to_gb("回复：关于二〇二六年第四季度销售目标与年终考核安排的通知😀 final，"
                                   "请各部门负责人于周五前确认");
  MessageComposer c;
  c.begin(name + " <me@example.com>", "\"" + name + "\" <you@example.net>;b@x.cn", subject, kNow);
  std::string message = c.finish();
  std::string header = message.substr(0, message.find("\r\n\r\n"));
  EXPECT_TRUE(is_ascii(header)) << header;
  for (std::string_view rest = header; !rest.empty();) EXPECT_LE(take_line(rest).size(), 76u);
  // Only a last word may end in padding: some readers join the Base64 text
  // of adjacent words before decoding.
  EXPECT_EQ(header.find("=?=\r\n "), std::string::npos) << header;
  EXPECT_EQ(header_field(message, "subject:"), subject);
  EXPECT_EQ(header_field(message, "from:"), name + " <me@example.com>");
  EXPECT_EQ(header_field(message, "to:"), name + " <you@example.net>;b@x.cn");
}

TEST(MessageComposer, everyMessageHasItsOwnIdFromTheSendersDomain) {
  std::string ids[3];
  const char* senders[] = {"Li <li@mail.example.cn>", "li@mail.example.cn", "nobody"};
  for (int i = 0; i < 3; ++i) {
    MessageComposer c;
    c.begin(senders[i], "b", "s", kNow);
    (void)without_message_id(c.finish(), &ids[i]);
  }
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_TRUE(ids[0].ends_with("@mail.example.cn>")) << ids[0];
  EXPECT_TRUE(ids[2].ends_with("@localhost>")) << ids[2];
}

TEST(MessageComposer, replyCarriesItsThreadAndSaysItIsAutomatic) {
  struct Case {
    const char* name;
    MessageComposer::Original original;
    const char* expected;  // the headers between the Message-ID line and the blank line
  } cases[] = {
      {"first reply", {" <a@x.cn>", ""}, "In-Reply-To: <a@x.cn>\r\nReferences: <a@x.cn>\r\nAuto-Submitted: auto-replied"},
      {"thread", {"<c@x.cn>", "<a@x.cn>\t<b@x.cn>"},
       "In-Reply-To: <c@x.cn>\r\nReferences: <a@x.cn>\r\n <b@x.cn>\r\n <c@x.cn>\r\nAuto-Submitted: auto-replied"},
      {"no Message-ID", {"", "<a@x.cn>"}, "Auto-Submitted: auto-replied"},
      {"junk Message-ID", {"<a b@x>", ""}, "Auto-Submitted: auto-replied"},
  };
  for (const Case& k : cases) {
    MessageComposer c;
    c.begin("a@x.cn", "b@x.cn", "s", kNow, &k.original);
    std::string message = without_message_id(c.finish());
    size_t start = message.find("Mime-Version: 1.0\r\n") + 19;
    EXPECT_EQ(message.substr(start, message.find("\r\n\r\n") - start), k.expected) << k.name;
  }
  // A long thread keeps its first and its latest identifiers.
  std::string refs;
  for (int i = 0; i < 30; ++i) refs += "<" + std::to_string(i) + "@x>";
  MessageComposer::Original long_thread{"<new@x>", refs};
  MessageComposer c;
  c.begin("a", "b", "s", kNow, &long_thread);
  std::string references = header_field(c.finish(), "references:");
  EXPECT_TRUE(references.starts_with("<0@x> <12@x> ")) << references;
  EXPECT_TRUE(references.ends_with("<29@x> <new@x>")) << references;
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
