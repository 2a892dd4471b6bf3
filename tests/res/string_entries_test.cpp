// The contents of the string table: every numbered text is present, spelled
// byte for byte, and representable in the system code page.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "res/string_table.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

// Every id the program fetches. A text that goes missing, an id typed twice
// or a stray id all show up against this list.
const std::vector<int> kAllIds = {
    104,   32772, 57345, 61192, 61193, 61195, 61196, 61197, 61198, 61199, 61204, 61205, 61206, 61210,
    61214, 61215, 61216, 61217, 61218, 61219, 61220, 61221, 61222, 61223, 61224, 61225, 61226, 61227,
    61228, 61229, 61230, 61231, 61232, 61233, 61234, 61235, 61236, 61237, 61238, 61239, 61240, 61241,
    61242, 61243, 61244, 61245, 61246, 61247, 61248, 61249, 61250, 61251, 61252, 61253, 61254, 61255,
    61256, 61257, 61258, 61259, 61260, 61261, 61262, 61263, 61264, 61265, 61266, 61267, 61268, 61269,
    61270, 61271, 61272, 61273, 61274, 61275, 61276, 61277, 61278, 61279, 61280, 61281, 61282, 61283,
    61284, 61285, 61286, 61287, 61288, 61289, 61290, 61291, 61292, 61293, 61294, 61295, 61296, 61297,
    61298, 61299, 61300, 61301, 61302, 61303, 61304, 61305, 61306, 61307, 61308, 61309, 61310, 61311,
    61312, 61313, 61314, 61315, 61316, 61317, 61321, 61322, 61323, 61324, 61325, 61326, 61327, 61328,
    61329, 61330, 61331, 61332, 61333, 61334, 61335, 61336, 61337, 61338, 61339, 61340, 61341, 61342,
    61343, 61344, 61345, 61346, 61352, 61353, 61355, 61359, 61360, 61367, 61370, 61371, 61372, 61373,
    61374, 61375, 61376, 61377, 61379, 61380, 61381, 61382, 61383, 61384, 61385, 61386, 61387, 61388,
    61389, 61390, 61392, 61393, 61394, 61395, 61396, 61397, 61398, 61399, 61400, 61401, 61402, 61403,
    61404, 61405, 61406, 61407, 61408, 61409, 61412, 61413, 61414, 61415, 61416, 61417, 61418, 61419,
    61420, 61421, 61422, 61423, 61424, 61425, 61426, 61427, 61428, 61429, 61430, 61431, 61432, 61433,
    61434, 61435, 61436, 61437, 61438, 61439, 61714, 62000, 62001, 62050, 62051, 62100, 62101, 62102, 62103,
    62104, 62105, 62106, 62200, 62201, 62202, 62203, 62204, 62205, 62206, 62207, 62500, 62501, 62601, 62602,
    62603, 62604, 62610, 62611, 62612, 62613, 62614, 62615, 62616, 62617, 62618, 62619, 62620, 62621, 62622,
    62623, 62624, 62700, 62701, 62702, 62703, 62704, 62705, 62706, 62707, 62708, 62709, 62710, 62711, 62712,
    62713, 62714, 62715, 62716, 62717, 62718, 62719, 62720, 62721, 62760, 62761, 62762, 62763, 62800, 62801,
    62802, 62803, 62850, 62900, 62901, 62902, 62903, 62904, 62905, 62906, 62907, 62908, 62909, 62910, 62911,
    62912, 62913, 62914, 62915, 62916, 62917, 62918, 62950, 62951, 62952, 62953, 62954, 62955, 62956, 62957,
    62958, 62959, 62960, 62961, 62962, 62963, 62964, 62965, 62966, 62967, 62968, 62969, 62970, 62971, 62972,
    62973, 62974, 62975, 62976, 62977, 62978, 62979, 62980, 62981, 63000, 63001, 63002, 63003,
    63004, 63005, 63006, 63007, 63008,
};

TEST(StringEntries, tableHoldsExactlyTheKnownIdsEachWithText) {
  EXPECT_EQ(res::ids(), kAllIds);
  for (int id : kAllIds) {
    EXPECT_TRUE(res::has(id)) << id;
    EXPECT_FALSE(res::text_utf8(id).empty()) << id;
    EXPECT_FALSE(res::text(id).empty()) << id;
  }
}

// The entries file promises ascending ids; lookups do not depend on it, but
// a merge that appends out of order is easy to miss by eye.
TEST(StringEntries, entriesFileIsInStrictlyAscendingOrder) {
  std::ifstream in(std::string(PW_SOURCE_DIR) + "/res/string_entries.inc");
  ASSERT_TRUE(in);
  std::string line;
  int previous = -1;
  int count = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != '{') continue;
    int id = std::stoi(line.substr(1));
    EXPECT_GT(id, previous) << line;
    previous = id;
    ++count;
  }
  EXPECT_EQ(count, static_cast<int>(kAllIds.size()));
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
        Spelling{104, "Windows 通信端口初始化失败。"},
        Spelling{32772, "添加一个被管理的邮箱\n添加邮箱"},
        Spelling{57345, "Pelliwick邮箱管家 v1.20"},
        Spelling{61197, "邮箱导出文件中，你的密码不被加密，请妥善保存，要继续吗？"},
        Spelling{61241, "请正确填写关机时间(hh:mm)"},
        Spelling{61255, "若“收件人”或“抄送”行中包含用户"},
        Spelling{61303, "小时数须大于0"},
        Spelling{61332, "保存内容填写有误，如有不清楚的地方请查看“填写规则”"},
        Spelling{61338, "正在连接服务器..."},
        Spelling{61360, "自动拨号错误："},
        Spelling{61431, "接收邮件信息时发生错误，错误信息如下："},
        Spelling{61437, "通过你的smtp服务器发送邮件失败\r\n尝试使用特快专递发送"},
        Spelling{61714, "“请填入一个在%1和%2之间的整数。”"}));

// The core sees code page bytes: line breaks stay single control bytes and
// full-width punctuation is its two-byte form.
TEST(StringEntries, coreBytesOfLineBreaksAndFullWidthPunctuation) {
  EXPECT_EQ(res::text(61199), test::hex_bytes("b5 bc b3 f6 b3 c9 b9 a6 a3 a1"));  // 导出成功！
  EXPECT_EQ(res::text(61360), test::hex_bytes("d7 d4 b6 af b2 a6 ba c5 b4 ed ce f3 a3 ba"));  // 自动拨号错误：

  const std::string& notice = res::text(61437);
  auto brk = notice.find("\r\n");
  ASSERT_NE(brk, std::string::npos);
  EXPECT_EQ(notice.find('\n'), brk + 1);  // exactly one break, CR LF
  EXPECT_EQ(notice.rfind('\n'), brk + 1);
  EXPECT_EQ(notice.substr(brk + 2), utf8_to_gb("尝试使用特快专递发送"));

  // A command string splits into status prompt and tool tip at its only '\n'.
  const std::string& command = res::text(32772);
  auto split = command.find('\n');
  ASSERT_NE(split, std::string::npos);
  EXPECT_EQ(command.find('\r'), std::string::npos);
  EXPECT_EQ(command.substr(0, split), utf8_to_gb("添加一个被管理的邮箱"));
  EXPECT_EQ(command.substr(split + 1), utf8_to_gb("添加邮箱"));
}

// The status-bar panes are sized by these texts of blanks.
TEST(StringEntries, paneWidthTextsAreBlanksOfTheirLength) {
  EXPECT_EQ(res::text(61336), std::string(52, ' '));
  EXPECT_EQ(res::text(61328), std::string(40, ' '));
}

}  // namespace
}  // namespace pw
