// Save attachments: decoded bytes, the n_ prefixes for taken names, and names
// from mails that must stay inside the directory.
#include "engine/attachment_action.h"

#include "action_fixture.h"
#include "base/file_io.h"
#include "base/code_page.h"

namespace pw::test {
namespace {

// A multipart mail with one attachment per (name, Base64 data) pair.
std::string mail_with(const std::vector<std::pair<std::string, std::string>>& attachments) {
  std::string m =
      "From: alice@example.test\r\nSubject: files\r\nContent-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
      "--XX\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n";
  for (const auto& [name, data] : attachments) {
    m += "--XX\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
         "Content-Disposition: attachment; filename=\"" +
         name + "\"\r\n\r\n" + data + "\r\n";
  }
  return m + "--XX--\r\n";
}

class AttachmentActionTest : public ActionFixture {
 protected:
  bool run(std::string_view mail, std::string dir) {
    auto p = processor(mail);
    Rule rule;
    rule.action_mask = bit(ActionKind::attachments);
    rule.attachment_dir = std::move(dir);
    p->add_rule(rule);
    std::vector<uint8_t> success(1, 1);
    AttachmentAction(*p, services).run_step(success);
    return success[0] == 1;
  }
  TempDir target;
};

TEST_F(AttachmentActionTest, takenNamesGetNumberPrefixes) {
  const std::string mail = mail_with({{"report.doc", "b25l"}, {"report.doc", "dHdv"}, {"report.doc", "dGhyZWU="}});
  ASSERT_TRUE(run(mail, target.path().string()));
  const std::string folder = "me@home.test/Attachment/";
  EXPECT_EQ(files_under(target.path()),
            (std::vector<std::string>{folder + "1_report.doc", folder + "2_report.doc", folder + "report.doc"}));
  EXPECT_EQ(target.read(folder + "report.doc"), "one");
  EXPECT_EQ(target.read(folder + "1_report.doc"), "two");
  EXPECT_EQ(target.read(folder + "2_report.doc"), "three");
  ASSERT_EQ(log_records().size(), 1u);  // one record for the rule
  EXPECT_TRUE(log_records()[0].success);
}

// A name too long for the file system (86 Chinese characters and more) is
// cut to fit, its extension and the number prefix kept; every file is the
// owner's alone.
TEST_F(AttachmentActionTest, longNamesAreCutToFitAndFilesArePrivate) {
  std::string long_name;
  for (int k = 0; k < 100; ++k) long_name += "报";
  const std::string encoded = utf8_to_gb(long_name + ".pdf");  // as many Chinese mailers write it
  ASSERT_TRUE(run(mail_with({{encoded, "b25l"}, {encoded, "dHdv"}, {"short.txt", "dGhyZWU="}}),
                  target.path().string()));
  const std::filesystem::path folder = target.path() / "me@home.test" / "Attachment";
  std::string first;  // 255 bytes less ".pdf", and less "1_" too, leave 83 characters
  for (int k = 0; k < 83; ++k) first += "报";
  EXPECT_EQ(files_under(folder), (std::vector<std::string>{"1_" + first + ".pdf", "short.txt", first + ".pdf"}));
  EXPECT_EQ(read_file(folder / (first + ".pdf")).value_or(""), "one");
  EXPECT_EQ(read_file(folder / ("1_" + first + ".pdf")).value_or(""), "two");
  for (const std::string& name : files_under(folder)) EXPECT_EQ(file_mode(folder / name), 0600u) << name;
  EXPECT_TRUE(log_records()[0].success);
}

TEST_F(AttachmentActionTest, namesFromTheMailStayInsideTheDirectory) {
  ASSERT_TRUE(run(mail_with({{"..", "b25l"}, {"", "dHdv"}, {"a<b>:c|d?.txt", "dGhyZWU="}}),
                  target.path().string()));
  const std::string folder = "me@home.test/Attachment/";
  EXPECT_EQ(files_under(target.path()),
            (std::vector<std::string>{folder + "1_Unknow", folder + "Unknow", folder + "abcd.txt"}));
}

// Each saved file holds exactly the bytes that were sent: only the line end
// right before a delimiter belongs to the delimiter.
TEST_F(AttachmentActionTest, savedFilesKeepTheBytesThatWereSent) {
  const std::string head =
      "From: alice@example.test\r\nContent-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
      "--XX\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n";
  struct Case {
    const char* what;
    std::string parts;  // between the first text part and the closing delimiter
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"7bit text keeps its last line end",
       "--XX\r\nContent-Type: text/csv\r\nContent-Disposition: attachment; filename=\"a.csv\"\r\n\r\n"
       "x,y\r\nto reflect upon our own\r\n\r\n",
       "a.csv", "x,y\r\nto reflect upon our own\r\n"},
      {"one line end before the delimiter is the delimiter's",
       "--XX\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"b.txt\"\r\n\r\nno end\r\n",
       "b.txt", "no end"},
      {"quoted-printable keeps its last line end",
       "--XX\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n"
       "Content-Disposition: attachment; filename=\"c.asc\"\r\n\r\na=3Db\r\n\r\n",
       "c.asc", "a=b\r\n"},
      {"a name only in Content-Type makes an attachment",
       "--XX\r\nContent-Type: text/plain; name=\"msg.txt\"\r\n\r\nhello\r\n\r\n", "msg.txt", "hello\r\n"},
      {"a forwarded mail is saved whole",
       "--XX\r\nContent-Type: message/rfc822\r\n\r\nSubject: old\r\n\r\nbody\r\n\r\n", "AttachEmail.eml",
       "Subject: old\r\n\r\nbody\r\n"},
      {"an attachment inside a nested multipart",
       "--XX\r\nContent-Type: multipart/mixed; boundary=\"in\"\r\n\r\n--in\r\n"
       "Content-Type: application/octet-stream; name=\"d.bin\"\r\n\r\n\x01\r\n\r\n--in--\r\n",
       "d.bin", "\x01\r\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_TRUE(run(head + c.parts + "--XX--\r\n", dir.path().string())) << c.what;
    const std::string file = std::string("me@home.test/Attachment/") + c.name;
    EXPECT_EQ(files_under(dir.path()), std::vector<std::string>{file}) << c.what;
    EXPECT_EQ(dir.read(file), c.bytes) << c.what;
  }
}

TEST_F(AttachmentActionTest, mailWithoutAttachmentsWritesNothing) {
  EXPECT_TRUE(run(kPlainMail, target.path().string()));
  EXPECT_TRUE(std::filesystem::is_empty(target.path()));
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_TRUE(log_records()[0].success);
}

TEST_F(AttachmentActionTest, missingDirectoryFails) {
  EXPECT_FALSE(run(mail_with({{"a.txt", "b25l"}}), (target / "gone").string()));
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_FALSE(log_records()[0].success);
}

}  // namespace
}  // namespace pw::test
