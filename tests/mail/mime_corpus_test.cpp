// The hand-made mails in tests/data/mail, as they come from POP3.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/code_page.h"
#include "base/file_io.h"
#include "base/safe_name.h"
#include "mail/mail_reader.h"
#include "mail/mime_message.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

fs::path corpus_dir() { return fs::path(PW_TEST_DATA_DIR) / "mail"; }

MimeMessage load(const std::string& name) {
  auto text = read_file(corpus_dir() / name);
  EXPECT_TRUE(text) << name;
  return MimeMessage(text.value_or(""));
}

struct CorpusCase {
  const char* file;
  const char* text_utf8;  // text body after conversion from GB18030, or a part of it after "..."
  bool has_html;
  std::vector<std::string> attachments;  // names in UTF-8
};

std::string shown(const std::string& gb) { return gb_to_utf8(gb); }

class Corpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(Corpus, readsAsAUserWouldExpect) {
  const CorpusCase& c = GetParam();
  MimeMessage m = load(c.file);
  std::string text = shown(m.text_body());
  std::string_view want = c.text_utf8;
  if (want.starts_with("...")) {
    EXPECT_NE(text.find(want.substr(3)), std::string::npos) << text;
  } else {
    EXPECT_EQ(text, want);
  }
  EXPECT_EQ(m.has_html(), c.has_html);
  ASSERT_EQ(m.attachment_count(), static_cast<int>(c.attachments.size()));
  EXPECT_EQ(m.has_attachment(), !c.attachments.empty());
  for (size_t i = 0; i < c.attachments.size(); ++i) {
    EXPECT_EQ(shown(m.attachment_name(static_cast<int>(i))), c.attachments[i]) << i;
  }
}

const char kMeeting[] = "...本周五下午三点在三楼会议室召开季度总结会";

INSTANTIATE_TEST_SUITE_P(
    Mails, Corpus,
    ::testing::Values(
        CorpusCase{"plain_no_mime.eml", "...the weekly report is ready", false, {}},
        CorpusCase{"plain_gb2312_8bit.eml", kMeeting, false, {}},
        CorpusCase{"plain_qp_soft_breaks.eml", "...中文这是一段很长的文字，用来检验软换行是否被正确地连接起来。这是", false, {}},
        CorpusCase{"plain_base64_lines.eml", kMeeting, false, {}},
        CorpusCase{"plain_base64_one_line.eml", kMeeting, false, {}},
        CorpusCase{"plain_utf8_base64.eml", kMeeting, false, {}},
        CorpusCase{"plain_utf8_qp.eml", "您好，附上最新价格表。请查收 – 谢谢！", false, {}},
        CorpusCase{"plain_big5.eml", "會議通知：週五開會。\n", false, {}},
        CorpusCase{"alternative_plain_html.eml", kMeeting, true, {}},
        CorpusCase{"alternative_html_only.eml", "", true, {}},
        CorpusCase{"mixed_nested_alternative.eml", "请审阅附件中的合同草案。", true, {"contract-draft.pdf"}},
        CorpusCase{"mixed_alternative_without_plain.eml", "", true, {}},
        CorpusCase{"related_two_cid.eml", "", true, {}},
        CorpusCase{"mixed_related_alternative.eml", "报价单见附件。\n", true, {"报价单.xls"}},
        CorpusCase{"forwarded_rfc822.eml", "Please see the forwarded message.", false, {"AttachEmail.eml"}},
        CorpusCase{"forwarded_rfc822_named.eml", "转发给你处理。", false, {"询价.eml"}},
        CorpusCase{"two_attachments_second_unnamed.eml", "Two log files attached.", false, {"server.log", ""}},
        CorpusCase{"attachment_gb2312_name.eml", "年终总结见附件。", false, {"年终总结.doc"}},
        CorpusCase{"attachment_utf8_name.eml", "发票已开具。", false, {"发票.pdf"}},
        CorpusCase{"attachment_qp.eml", "Figures attached.", false, {"figures.csv"}},
        CorpusCase{"attachment_hostile_names.eml", "See attachments.", false,
                   {".bashrc", "passwd", "y", "", "escape.txt"}},
        CorpusCase{"attachment_long_name.eml", "Long name attached.", false,
                   {"report_" + std::string(189, 'x') + ".txt"}},
        CorpusCase{"related_content_location.eml", "", true, {}},
        CorpusCase{"missing_closing_delimiter.eml", "The last part has no closing line.", false, {"data.bin"}},
        CorpusCase{"header_only.eml", "", false, {}},
        CorpusCase{"multipart_without_boundary.eml", "", false, {}},
        CorpusCase{"uppercase_headers.eml", "大写的信头。", false, {}},
        CorpusCase{"boundary_with_blank.eml", "Blank in the boundary.", true, {}},
        CorpusCase{"inline_picture_attachment.eml", "Holiday photo.", false, {"photo.jpg"}},
        CorpusCase{"composed_reply.eml", "收到，我会准时参加。", false, {"agenda.txt"}},
        CorpusCase{"zip_attachment.eml", "项目资料打包见附件。", false, {"project.zip"}},
        CorpusCase{"calendar_invite.eml", "Review on Friday 15:00.", false, {}},
        CorpusCase{"deep_nesting.eml", "", false, {}},
        CorpusCase{"html_only_utf8.eml", "", true, {}},
        // A delivery report is a message part, listed like a forwarded mail.
        CorpusCase{"delivery_report.eml", "...<nobody@example.net>: user unknown", false, {"AttachEmail.eml"}},
        CorpusCase{"smime_signed.eml", "This message is signed.", false, {"smime.p7s"}},
        CorpusCase{"plain_unknown_charset.eml", "未知字符集的正文。", false, {}},
        CorpusCase{"part_without_content_type.eml", "A part without any header.", false, {}},
        CorpusCase{"thunderbird_pdf.eml", "Minutes attached.", false, {"minutes.pdf"}},
        CorpusCase{"related_unnamed_picture.eml", "", true, {}},
        CorpusCase{"subject_folded_gb2312.eml", "...请于本周五前提交第四季度销售目标。", false, {}},
        CorpusCase{"subject_folded_utf8.eml", "评审结论见正文，请各负责人跟进。\n", false, {}},
        CorpusCase{"signed_with_attachment.eml", "报价单见附件，请查收。", true, {"报价单.pdf", "smime.p7s"}},
        CorpusCase{"attachment_rfc2231_name.eml", "预算表见附件。", false,
                   {"二〇二六年度部门预算明细表（第三版）.xlsx", "会议纪要.txt"}},
        CorpusCase{"webmail_raw_utf8_headers.eml", "...好的，周五见。", false, {}},
        CorpusCase{"qp_dot_after_soft_break.eml", "系统正在处理您的订单...请稍候。\r\nLoading...done.", false, {}},
        CorpusCase{"mixed_inside_alternative.eml", "Photo from the trip.", true, {"trip.jpg"}}),
    [](const auto& info) {
      std::string n = info.param.file;
      n = n.substr(0, n.find('.'));
      return n;
    });

struct HeaderCase {
  const char* file;
  const char* subject_utf8;
  const char* sender_utf8;
  const char* copy_utf8;
};

class CorpusHeaders : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(CorpusHeaders, readAsAUserWouldExpect) {
  const HeaderCase& c = GetParam();
  MailSummary summary;
  summary.mail_text = read_file(corpus_dir() / c.file).value_or("");
  MailReader r(std::move(summary));
  EXPECT_EQ(shown(r.subject()), c.subject_utf8);
  EXPECT_EQ(shown(r.sender()), c.sender_utf8);
  EXPECT_EQ(shown(r.copy()), c.copy_utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Mails, CorpusHeaders,
    ::testing::Values(
        HeaderCase{"subject_folded_gb2312.eml", "关于二零二六年第四季度销售目标与年终考核安排的通知",
                   "张伟 <zhang.wei@example.com.cn>", ""},
        HeaderCase{"subject_folded_utf8.eml", "【会议纪要】二〇二六年十二月产品评审会议结论及后续跟进事项",
                   "陈静 <chen.jing@example.com.cn>", ""},
        HeaderCase{"signed_with_attachment.eml", "报价单（已签名）", "张伟 <zhang.wei@example.com.cn>", ""},
        // The quoted "Cc:" line in the body is not the mail's copy list.
        HeaderCase{"webmail_raw_utf8_headers.eml", "回复：周五部门聚餐地点确认", "\"王芳\" <wang.fang@example.org>", ""}),
    [](const auto& info) {
      std::string n = info.param.file;
      return n.substr(0, n.find('.'));
    });

TEST(CorpusFiles, attachmentBytesAreDecoded) {
  MimeMessage qp = load("attachment_qp.eml");
  EXPECT_EQ(shown(qp.attachment_data(0).value_or("")), "日期,金额\r\n2026-12-01,1200\r\n2026-12-02,980\r\n");
  MimeMessage zip = load("zip_attachment.eml");
  std::string data = zip.attachment_data(0).value_or("");
  EXPECT_EQ(data.size(), 24004u);
  EXPECT_EQ(data.substr(0, 4), "PK\x03\x04");
  MimeMessage pdf = load("thunderbird_pdf.eml");
  EXPECT_TRUE(pdf.attachment_data(0).value_or("").starts_with("%PDF-1.4\n"));
  MimeMessage signed_pdf = load("signed_with_attachment.eml");
  EXPECT_TRUE(signed_pdf.attachment_data(0).value_or("").starts_with("%PDF-1.4\n"));
}

TEST(CorpusFiles, htmlResourcesAreWrittenBesideTheHtml) {
  test::TempDir dir;
  std::string html = shown(load("related_two_cid.eml").html_body(dir.path()));
  EXPECT_NE(html.find("<img src=\"front.png\"><br><img src=\"back.png\">"), std::string::npos) << html;
  EXPECT_TRUE(dir.read("front.png").starts_with("\x89PNG"));
  EXPECT_TRUE(dir.read("back.png").starts_with("\x89PNG"));

  std::string located = load("related_content_location.eml").html_body(dir.path());
  EXPECT_EQ(located.find("<base"), std::string::npos);
  EXPECT_NE(located.find("<img src=\"Unknow\"> <img src=\"Unknow\">"), std::string::npos) << located;
  EXPECT_TRUE(dir.read("Unknow").starts_with("GIF89a"));

  std::string outlook = load("mixed_related_alternative.eml").html_body(dir.path());
  EXPECT_NE(outlook.find("<img src=\"image001.png\">"), std::string::npos) << outlook;
}

TEST(CorpusFiles, everyMailAnswersEveryQueryInsideItsDirectory) {
  test::TempDir outer;
  fs::path temp = outer / "MailTemp";
  fs::create_directory(temp);
  size_t mails = 0;
  for (const auto& entry : fs::directory_iterator(corpus_dir())) {
    ++mails;
    auto text = read_file(entry.path());
    ASSERT_TRUE(text);
    MimeMessage m(*text);
    (void)m.text_body();
    (void)m.html_body(temp);
    for (int i = 0; i < m.attachment_count(); ++i) {
      std::string name = m.attachment_name(i);
      EXPECT_TRUE(name.empty() || is_safe_file_name(name)) << entry.path() << " " << name;
      EXPECT_TRUE(m.attachment_data(i)) << entry.path();
    }
  }
  EXPECT_GE(mails, 30u);
  for (const auto& entry : fs::directory_iterator(outer.path())) EXPECT_EQ(entry.path(), temp);
}

}  // namespace
}  // namespace pw
