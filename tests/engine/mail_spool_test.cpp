// The spool file of a check: texts go in and come back byte for byte.
#include "engine/mail_spool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pw {
namespace {

TEST(MailSpool, textsComeBackExactlyAndLeaveNoNamedFile) {
  const std::vector<std::string> texts{"From: a@b.cn\r\n\r\nbody\r\n", "", std::string("nul\0byte\r\n.\r\n", 13),
                                       std::string(300000, '\xb0'), "last\r\n"};
  test::TempDir dir;
  // A missing spool directory falls back to the system's temporary one.
  for (const std::filesystem::path& where : {dir.path(), dir.path() / "missing"}) {
    MailSpool spool(where);
    for (int round = 0; round < 2; ++round) {
      std::vector<MailSpool::Entry> entries;
      for (const std::string& t : texts) {
        const std::optional<MailSpool::Entry> e = spool.put(t);
        ASSERT_TRUE(e) << where;
        entries.push_back(*e);
      }
      // Read back out of order, as the confirmation window may.
      for (size_t k = texts.size(); k-- > 0;) EXPECT_EQ(spool.get(entries[k]), texts[k]) << k;
      EXPECT_EQ(spool.get({entries.back().offset, entries.back().length + 1}), std::nullopt) << "past the end";
      spool.clear();
      EXPECT_EQ(spool.get(entries[0]), std::nullopt) << "cleared";
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "the spool has no name";
  }
}

}  // namespace
}  // namespace pw
