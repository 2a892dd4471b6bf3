// Where the file-writing actions write: only below absolute paths, and under
// names a file manager reads (UTF-8 on disk, GB18030 in the stored records).
#include "action_fixture.h"
#include "base/code_page.h"
#include "engine/attachment_action.h"
#include "engine/backup_action.h"
#include "engine/key_info_action.h"
#include "res/string_table.h"

namespace pw::test {
namespace {

class ActionPathsTest : public ActionFixture {
 protected:
  // Runs one action of `kind` with its path field set to `path` (GB18030).
  bool run(ActionKind kind, const std::string& path, std::string_view mail = kPlainMail) {
    auto p = processor(mail);
    Rule rule;
    rule.action_mask = bit(kind);
    rule.backup_dir = rule.attachment_dir = rule.key_info_file = path;
    rule.key_info_template = "#S#";
    p->add_rule(rule);
    std::vector<uint8_t> success(1, 1);
    switch (kind) {
      case ActionKind::backup: BackupAction(*p, services).run_step(success); break;
      case ActionKind::attachments: AttachmentAction(*p, services).run_step(success); break;
      default: KeyInfoAction(*p, services).run_step(success); break;
    }
    return success[0] == 1;
  }
  TempDir target;
};

const std::string kMailWithAttachment =
    "From: alice@example.test\r\nSubject: files\r\nContent-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
    "--XX\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
    "--XX\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"=?GB2312?B?sai45i5kb2M=?=\"\r\n\r\nb25l\r\n--XX--\r\n";

TEST_F(ActionPathsTest, relativePathFailsTheActionWithALoggedReasonAndWritesNothing) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(target.path());
  for (ActionKind kind : {ActionKind::backup, ActionKind::attachments, ActionKind::key_info}) {
    for (const char* path : {"D:\\info\\keys.txt", "info", "./keys.txt"}) {
      EXPECT_FALSE(run(kind, path, kMailWithAttachment)) << path;
    }
  }
  std::filesystem::current_path(cwd);
  EXPECT_TRUE(files_under(target.path()).empty()) << "written relative to the working directory";
  const std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 9u);
  for (const LogRecord& r : records) {
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(r.operation.ends_with(res::text(sid::kNotAbsolute))) << gb_to_utf8(r.operation);
  }
  EXPECT_TRUE(local_mail.records().empty());
}

TEST_F(ActionPathsTest, chineseNamesAreUtf8OnDiskAndGb18030InTheRecords) {
  const std::string folder = utf8_to_gb(target.path().string() + "/备份");
  std::filesystem::create_directory(target / "备份");
  ASSERT_TRUE(run(ActionKind::attachments, folder, kMailWithAttachment));
  ASSERT_TRUE(run(ActionKind::backup, folder));
  ASSERT_TRUE(run(ActionKind::key_info, folder + utf8_to_gb("/关键信息.txt")));
  const std::vector<std::string> files = files_under(target / "备份");
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0], "me@home.test/Attachment/报告.doc");
  EXPECT_TRUE(files[1].starts_with("me@home.test/BackupMail/date(")) << files[1];
  EXPECT_EQ(files[2], "关键信息.txt");
  const std::vector<LocalMailRecord> index = local_mail.records();
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index[0].path, utf8_to_gb((target / "备份" / files[1]).string()));
  EXPECT_TRUE(read_file(path_from_gb(index[0].path)));
}

}  // namespace
}  // namespace pw::test
