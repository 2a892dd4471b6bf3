// The cached getters of one mail, read from hand-written mails.
#include "mail/mail_reader.h"

#include <gtest/gtest.h>

#include "base/code_page.h"
#include "mail/mail_date.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

// A header block as TOP n 0 returns it.
constexpr const char* kHeader =
    "Return-Path: <bounce@list.example.cn>\r\n"
    "Received: from mx.example.cn by pop.example.cn; Tue, 7 Dec 2004 09:05:05 +0800\r\n"
    "From: =?gb2312?B?1cXI/Q==?= <zhangsan@example.cn>\r\n"
    "To: lisi@example.cn,\r\n"
    "  \"Wang Wu\" <wangwu@example.cn>\r\n"
    "CC: , zhaoliu@example.cn\r\n"
    "Subject: =?UTF-8?B?5ZGo5LiA5Lya6K6u?=\r\n"
    "Date: Tue, 7 Dec 2004 09:05:03 +0800\r\n"
    "Message-ID: <1@example.cn>\r\n"
    "\r\n"
    ".\r\n";

MailReader reader_for(std::string text, bool full = false) {
  MailSummary mail;
  mail.uid = "UID1";
  mail.mail_text = std::move(text);
  mail.size = 4321;
  mail.full_text = full;
  return MailReader(std::move(mail));
}

TEST(MailReader, readsTheHeaderFieldsOfAFetchedHeader) {
  MailReader r = reader_for(kHeader);
  EXPECT_EQ(r.sender(), "\xd5\xc5\xc8\xfd <zhangsan@example.cn>");
  EXPECT_EQ(r.recipient(), "lisi@example.cn;\"Wang Wu\" <wangwu@example.cn>");
  EXPECT_EQ(r.copy(), "zhaoliu@example.cn");
  EXPECT_EQ(r.subject(), utf8_to_gb("周一会议"));
  EXPECT_EQ(r.date(), "2004/12/07 09:05:03");
  EXPECT_EQ(r.size(), 4321u);
  EXPECT_EQ(r.summary().uid, "UID1");
}

TEST(MailReader, joinsRecipientAndCopyWithoutSeparator) {
  MailReader r = reader_for("To: a@b.cn\r\nCc: c@d.cn\r\n\r\n");
  EXPECT_EQ(r.recipient_and_copy(), "a@b.cnc@d.cn");
  MailReader no_copy = reader_for("To: a@b.cn\r\n\r\n");
  EXPECT_EQ(no_copy.recipient_and_copy(), "a@b.cn");
}

TEST(MailReader, missingFieldsAreEmptyAndAnUnreadableDateIsNot) {
  MailReader r = reader_for("X-Mailer: none\r\n\r\n");
  EXPECT_EQ(r.sender(), "");
  EXPECT_EQ(r.recipient(), "");
  EXPECT_EQ(r.subject(), "");
  EXPECT_EQ(r.date(), "");
  MailReader bad = reader_for("Date: someday\r\n\r\n");
  EXPECT_EQ(bad.date(), kUnreadableMailDate);
}

TEST(MailReader, creationClearsStaleCacheFlags) {
  MailSummary mail;
  mail.mail_text = "Subject: fresh\r\n\r\n";
  mail.subject = "stale";
  mail.cache_flags = 0xff;
  MailReader r(std::move(mail));
  EXPECT_EQ(r.summary().cache_flags, 0u);
  EXPECT_EQ(r.subject(), "fresh");
}

TEST(MailReader, eachGetterSetsItsOwnBit) {
  MailReader r = reader_for(kHeader);
  struct Step {
    std::uint32_t bit;
    void (*ask)(MailReader&);
  };
  const Step steps[] = {
      {kSenderCached, [](MailReader& m) { (void)m.sender(); }},
      {kRecipientCached, [](MailReader& m) { (void)m.recipient(); }},
      {kCopyCached, [](MailReader& m) { (void)m.copy(); }},
      {kDateCached, [](MailReader& m) { (void)m.date(); }},
      {kSubjectCached, [](MailReader& m) { (void)m.subject(); }},
      {kTextBodyCached, [](MailReader& m) { (void)m.text_body(); }},
      {kAttachmentCached, [](MailReader& m) { (void)m.has_attachment(); }},
  };
  std::uint32_t expected = 0;
  for (const Step& s : steps) {
    s.ask(r);
    expected |= s.bit;
    EXPECT_EQ(r.summary().cache_flags, expected);
  }
}

TEST(MailReader, cachedValuesSurviveTheWholeMailAndUncachedOnesReadIt) {
  MailReader r = reader_for("Subject: header\r\nTo: a@b.cn\r\n\r\n.\r\n");
  EXPECT_EQ(r.subject(), "header");
  r.set_whole_mail("Subject: whole\r\nTo: a@b.cn\r\nFrom: c@d.cn\r\n\r\nbody\r\n.\r\n");
  EXPECT_TRUE(r.summary().full_text);
  EXPECT_EQ(r.subject(), "header");  // worked out once per mail
  EXPECT_EQ(r.sender(), "c@d.cn");
}

TEST(MailReader, aWholeMailWithoutMimeGivesItsBodyAsText) {
  MailReader r = reader_for(
      "From: a@b.cn\r\nSubject: plain\r\n\r\nline one\r\nline two\r\n", true);
  EXPECT_EQ(r.text_body(), "line one\r\nline two");
  EXPECT_FALSE(r.has_attachment());
}

constexpr const char* kMixed =
    "From: a@b.cn\r\n"
    "Subject: report\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"XX\"\r\n"
    "\r\n"
    "--XX\r\n"
    "Content-Type: multipart/alternative; boundary=\"YY\"\r\n"
    "\r\n"
    "--YY\r\n"
    "Content-Type: text/plain; charset=gb2312\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "1tDOxA==\r\n"
    "--YY\r\n"
    "Content-Type: text/html; charset=gb2312\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "<p>=D6=D0=CE=C4</p>\r\n"
    "--YY--\r\n"
    "--XX\r\n"
    "Content-Type: application/octet-stream; name=\"a.txt\"\r\n"
    "Content-Disposition: attachment; filename=\"a.txt\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "YWJj\r\n"
    "--XX--\r\n"
    ".\r\n";

TEST(MailReader, bodiesAndAttachmentFlagComeFromOneParse) {
  test::TempDir dir;
  MailReader r = reader_for(kMixed, true);
  const MimeMessage* parsed = &r.message();
  EXPECT_EQ(r.text_body(), "\xd6\xd0\xce\xc4");
  EXPECT_EQ(r.html_body(dir.path()), "<p>\xd6\xd0\xce\xc4</p>");
  EXPECT_TRUE(r.has_attachment());
  EXPECT_EQ(&r.message(), parsed);
  EXPECT_EQ(r.message().attachment_count(), 1);
  EXPECT_EQ(r.summary().cache_flags & 0xe0u, 0xe0u);
}

// A hostile header value is cut in the cache; the bodies are not: a rule
// matches the end of a long body and the viewer shows all of it.
TEST(MailReader, headerValuesAreCappedButBodiesAreWhole) {
  test::TempDir dir;
  const std::string long_text = std::string(40000, 'a') + " END";
  const std::string long_html = "<p>" + std::string(40000, 'h') + " END</p>";
  MailReader r = reader_for("Subject: " + std::string(20000, 's') +
                                "\r\nContent-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
                                "--b\r\nContent-Type: text/plain\r\n\r\n" + long_text +
                                "\r\n--b\r\nContent-Type: text/html\r\n\r\n" + long_html + "\r\n--b--\r\n",
                            true);
  EXPECT_EQ(r.subject().size(), MailReader::kMaxCachedValue);
  EXPECT_EQ(r.text_body(), long_text);
  EXPECT_EQ(r.html_body(dir.path()), long_html);
}

// A spooled text goes with its parse and bodies, keeps its header fields
// and size, and comes back whole on the next need; a spool that cannot give
// it back leaves the reader without a text rather than with a wrong one.
TEST(MailReader, releasedTextComesBackOnNeedAndAFailedReloadSaysSo) {
  test::TempDir dir;
  MailReader r = reader_for(kMixed, true);
  EXPECT_EQ(r.subject(), r.subject());
  EXPECT_EQ(r.text_body(), "\xd6\xd0\xce\xc4");
  int reloads = 0;
  bool spool_readable = true;
  r.spool([&]() -> std::optional<std::string> {
    ++reloads;
    if (!spool_readable) return std::nullopt;
    return std::string(kMixed);
  });
  EXPECT_TRUE(r.summary().mail_text.empty());
  EXPECT_EQ(r.summary().cache_flags & 0x60u, 0u) << "bodies are let go with the text";
  EXPECT_EQ(r.text_size(), std::string_view(kMixed).size());
  (void)r.subject();
  EXPECT_EQ(reloads, 0) << "a cached header field needs no text";
  EXPECT_EQ(r.html_body(dir.path()), "<p>\xd6\xd0\xce\xc4</p>");
  EXPECT_EQ(reloads, 1);
  EXPECT_EQ(r.text(), kMixed);
  r.release_text();
  spool_readable = false;
  EXPECT_FALSE(r.hold_text());
  EXPECT_TRUE(r.text().empty());
  r.set_whole_mail("Subject: new\r\n\r\nbody\r\n");
  EXPECT_EQ(r.text_body(), "body");
  r.release_text();
  EXPECT_EQ(r.summary().cache_flags & 0x60u, 0u) << "a text in memory stays, its bodies go";
  EXPECT_EQ(r.text(), "Subject: new\r\n\r\nbody\r\n") << "a downloaded text lives in memory only";
  EXPECT_EQ(r.text_body(), "body");
}

TEST(MailReader, aMailWithoutHeadersOrBodyGivesEmptyAnswers) {
  MailReader r = reader_for("");
  EXPECT_EQ(r.sender(), "");
  EXPECT_EQ(r.date(), "");
  EXPECT_EQ(r.text_body(), "");
  EXPECT_FALSE(r.has_attachment());
}

}  // namespace
}  // namespace pw
