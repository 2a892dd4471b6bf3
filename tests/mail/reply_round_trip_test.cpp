// A composed reply read back by our own parser and by GMime, an independent
// MIME library, must give the same subject, text and attachments.
#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/code_page.h"
#include "mail/header_field.h"
#include "mail/mail_reader.h"
#include "mail/message_composer.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

struct Reading {
  std::string subject;  // UTF-8
  std::string sender;   // UTF-8, display name and address
  std::string in_reply_to;
  std::string text;  // UTF-8
  std::vector<std::pair<std::string, std::string>> attachments;  // UTF-8 name, bytes
};

Reading read_with_pelliwick(const std::string& message) {
  MailSummary summary;
  summary.mail_text = message;
  MailReader r(std::move(summary));
  Reading out{gb_to_utf8(r.subject()), gb_to_utf8(r.sender()), header_field(message, "in-reply-to:"),
              gb_to_utf8(r.text_body()), {}};
  const MimeMessage& m = r.message();
  for (int i = 0; i < m.attachment_count(); ++i) {
    out.attachments.emplace_back(gb_to_utf8(m.attachment_name(i)), m.attachment_data(i).value_or(""));
  }
  return out;
}

std::string decoded_content(GMimePart* part) {
  GMimeStream* stream = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(part), stream);
  GByteArray* bytes = GMIME_STREAM_MEM(stream)->buffer;
  std::string out(reinterpret_cast<const char*>(bytes->data), bytes->len);
  g_object_unref(stream);
  return out;
}

void visit(GMimeObject* /*parent*/, GMimeObject* object, gpointer data) {
  auto* out = static_cast<Reading*>(data);
  if (!GMIME_IS_PART(object)) return;
  GMimePart* part = GMIME_PART(object);
  if (g_mime_part_is_attachment(part)) {
    const char* name = g_mime_part_get_filename(part);
    out->attachments.emplace_back(name ? name : "", decoded_content(part));
  } else if (GMIME_IS_TEXT_PART(object) && out->text.empty()) {
    char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
    out->text = text ? text : "";
    g_free(text);
  }
}

Reading read_with_gmime(const std::string& message) {
  static const bool initialised = (g_mime_init(), true);
  (void)initialised;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(message.data(), message.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  g_object_unref(stream);
  GMimeMessage* m = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(parser);
  Reading out;
  if (!m) return out;
  const char* subject = g_mime_message_get_subject(m);
  out.subject = subject ? subject : "";
  char* from = internet_address_list_to_string(g_mime_message_get_from(m), nullptr, FALSE);
  out.sender = from ? from : "";
  g_free(from);
  const char* in_reply_to = g_mime_object_get_header(GMIME_OBJECT(m), "In-Reply-To");
  out.in_reply_to = in_reply_to ? in_reply_to : "";
  g_mime_message_foreach(m, visit, &out);
  g_object_unref(m);
  return out;
}

TEST(ReplyRoundTrip, ourParserAndGmimeReadTheSameReply) {
  test::TempDir dir;
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary.push_back(static_cast<char>(i * 31 + 7));
  const std::string gb_name = utf8_to_gb("二〇二六年第四季度销售目标与年终考核安排（定稿）.xlsx");
  dir.write(gb_name, binary);
  dir.write("notes.txt", "plain notes\r\n");

  const std::string subject = "回复：关于二〇二六年第四季度销售目标与年终考核安排的通知😀";
  const std::string text = "张经理：\r\n\r\n收到，我会在周五前提交。\r\n谢谢！\r\n";
  const MessageComposer::Original original{"<20261201091600.1@example.com.cn>", ""};
  MessageComposer c;
  c.begin(utf8_to_gb("李娜") + " <li.na@example.net>", "zhang.wei@example.com.cn", utf8_to_gb(subject), 1733533503,
          &original);
  c.add_text(utf8_to_gb(text));
  ASSERT_TRUE(c.add_attachment(dir / gb_name));
  ASSERT_TRUE(c.add_attachment(dir / "notes.txt"));
  const std::string message = c.finish();

  const std::vector<std::pair<std::string, std::string>> attachments = {
      {"二〇二六年第四季度销售目标与年终考核安排（定稿）.xlsx", binary}, {"notes.txt", "plain notes\r\n"}};
  for (const auto& [reader, r] : {std::pair{"pelliwick", read_with_pelliwick(message)},
                                   std::pair{"gmime", read_with_gmime(message)}}) {
    SCOPED_TRACE(reader);
    EXPECT_EQ(r.subject, subject);
    EXPECT_EQ(r.sender, "李娜 <li.na@example.net>");
    EXPECT_EQ(r.in_reply_to, "<20261201091600.1@example.com.cn>");
    EXPECT_EQ(r.text, text);
    EXPECT_EQ(r.attachments, attachments);
  }
}

}  // namespace
}  // namespace pw
