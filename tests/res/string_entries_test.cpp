// The contents of the string table: every numbered text has text, is
// spelled byte for byte, and is representable in the system code page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/code_page.h"
#include "res/string_table.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

TEST(StringEntries, everyIdHasTextInBothEncodings) {
  ASSERT_FALSE(res::ids().empty());
  for (int id : res::ids()) {
    EXPECT_TRUE(res::has(id)) << id;
    EXPECT_FALSE(res::text_utf8(id).empty()) << id;
    EXPECT_FALSE(res::text(id).empty()) << id;
  }
}

// Rule descriptions count a Chinese character as two bytes, so every text has
// to lie within code page 936: GB18030 four-byte forms are not acceptable.
TEST(StringEntries, everyTextIsCodePage936AndRoundTrips) {
  for (int id : res::ids()) {
    std::string_view utf8 = res::text_utf8(id);
    auto cp936 = transcode(utf8, "UTF-8", "CP936");
    ASSERT_TRUE(cp936) << id;
    EXPECT_EQ(res::text(id), *cp936) << id;
    EXPECT_EQ(gb_to_utf8(res::text(id)), utf8) << id;
  }
}

struct Spelling {
  int id;
  const char* utf8;
};

class StringSpelling : public ::testing::TestWithParam<Spelling> {};

TEST_P(StringSpelling, textIsExactlyAsWritten) {
  EXPECT_EQ(res::text_utf8(GetParam().id), GetParam().utf8);
}

// Texts with line breaks, quotes, placeholders and full-width
// punctuation: the ones most easily damaged by editing or escaping.
INSTANTIATE_TEST_SUITE_P(
    Tricky, StringSpelling,
    ::testing::Values(
        Spelling{sid::kSocketsNotInitialised, "Windows 通信端口初始化失败。"},
        Spelling{sid::kAddMailboxPrompt, "添加一个被管理的邮箱\n添加邮箱"},
        Spelling{sid::kTitleWithVersion, "Pelliwick邮箱管家 v1.20"},
        Spelling{sid::kAskExportPasswords, "邮箱导出文件中，你的密码不被加密，请妥善保存，要继续吗？"},
        Spelling{sid::kBadShutdownTime, "请正确填写关机时间(hh:mm)"},
        Spelling{sid::kIfRecipientOrCopyHas, "若“收件人”或“抄送”行中包含用户"},
        Spelling{sid::kBadHours, "小时数须大于0"},
        Spelling{sid::kBadKeyInfoTemplate, "保存内容填写有误，如有不清楚的地方请查看“填写规则”"},
        Spelling{sid::kConnecting, "正在连接服务器..."},
        Spelling{sid::kDialUpError, "自动拨号错误："},
        Spelling{sid::kScanError, "接收邮件信息时发生错误，错误信息如下："},
        Spelling{sid::kTryingDirectDelivery, "通过你的smtp服务器发送邮件失败\r\n尝试使用特快专递发送"},
        Spelling{sid::kNotInRange, "“请填入一个在%1和%2之间的整数。”"}));

// The core sees code page bytes: line breaks stay single control bytes and
// full-width punctuation is its two-byte form.
TEST(StringEntries, coreBytesOfLineBreaksAndFullWidthPunctuation) {
  EXPECT_EQ(res::text(sid::kExportDone), test::hex_bytes("b5 bc b3 f6 b3 c9 b9 a6 a3 a1"));  // 导出成功！
  EXPECT_EQ(res::text(sid::kDialUpError), test::hex_bytes("d7 d4 b6 af b2 a6 ba c5 b4 ed ce f3 a3 ba"));  // 自动拨号错误：

  const std::string& notice = res::text(sid::kTryingDirectDelivery);
  auto brk = notice.find("\r\n");
  ASSERT_NE(brk, std::string::npos);
  EXPECT_EQ(notice.find('\n'), brk + 1);  // exactly one break, CR LF
  EXPECT_EQ(notice.rfind('\n'), brk + 1);
  EXPECT_EQ(notice.substr(brk + 2), utf8_to_gb("尝试使用特快专递发送"));

  // A command string splits into status prompt and tool tip at its only '\n'.
  const std::string& command = res::text(sid::kAddMailboxPrompt);
  auto split = command.find('\n');
  ASSERT_NE(split, std::string::npos);
  EXPECT_EQ(command.find('\r'), std::string::npos);
  EXPECT_EQ(command.substr(0, split), utf8_to_gb("添加一个被管理的邮箱"));
  EXPECT_EQ(command.substr(split + 1), utf8_to_gb("添加邮箱"));
}

// The status-bar panes are sized by these texts of blanks.
TEST(StringEntries, paneWidthTextsAreBlanksOfTheirLength) {
  EXPECT_EQ(res::text(sid::kCountdownPaneWidth), std::string(52, ' '));
  EXPECT_EQ(res::text(sid::kProgressPaneWidth), std::string(40, ' '));
}

}  // namespace
}  // namespace pw
