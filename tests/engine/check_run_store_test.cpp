// A check whose seen list or deletion journal cannot be written: before the
// first action it touches nothing of the account; after an action the
// account stops at once. Either way the run fails and says why.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <fstream>

#include "check_run_fixture.h"
#include "res/string_table.h"

namespace pw::test {
namespace {

constexpr uint32_t kDelete = bit(ActionKind::delete_on_server);

class CheckRunStores : public CheckRunFixture {
 protected:
  ~CheckRunStores() override {
    if (mounted_) (void)::umount2(uid_dir().c_str(), MNT_DETACH);
  }
  std::filesystem::path uid_dir() const { return account->seen().file().parent_path(); }

  // The MailUID directory made read-only, or filled up; false when this
  // process may not mount.
  bool mount_read_only() {
    const std::string dir = uid_dir().string();
    const char* d = dir.c_str();
    mounted_ = ::mount(d, d, nullptr, MS_BIND, nullptr) == 0;
    return mounted_ && ::mount(nullptr, d, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }
  bool mount_full() {
    mounted_ = ::mount("tmpfs", uid_dir().c_str(), "tmpfs", 0, "size=64k,nr_inodes=16") == 0;
    if (!mounted_) return false;
    std::ofstream filler(uid_dir() / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
    return true;
  }
  void unmount() {
    if (mounted_) {
      EXPECT_EQ(::umount2(uid_dir().c_str(), MNT_DETACH), 0);
    }
    mounted_ = false;
  }

  void scan_session(const std::vector<std::string>& uids) {
    ScriptedPeer& p = next_session();
    pop_login(p);
    pop_uidl(p, uids);
    pop_quit(p);
  }
  void deletion_session(const std::vector<std::string>& listed, const std::vector<int>& deleted) {
    ScriptedPeer& d = next_session();
    pop_login(d);
    pop_uidl(d, listed);
    for (int n : deleted) d.client("DELE " + std::to_string(n) + "\r\n").server("+OK\r\n");
    pop_quit(d);
  }
  bool noticed(int text) const {
    return std::any_of(host.notices.begin(), host.notices.end(),
                       [&](const std::string& n) { return n.find(res::text(text)) != std::string::npos; });
  }

 private:
  bool mounted_ = false;
};

TEST_F(CheckRunStores, storeThatCannotTakeAppendsStopsTheAccountBeforeAnything) {
  struct Case {
    const char* name;
    std::function<bool()> block;  // false: cannot be set up here
    std::function<void()> mend;
  };
  const std::filesystem::path seen = account->seen().file();
  const std::vector<Case> cases = {
      {"seen list is a directory", [&] { return std::filesystem::create_directory(seen); },
       [&] { std::filesystem::remove(seen); }},
      {"journal is a directory", [&] { return std::filesystem::create_directory(journal_file()); },
       [&] { std::filesystem::remove(journal_file()); }},
      {"read-only file system", [&] { return mount_read_only(); }, [&] { unmount(); }},
      {"full disk", [&] { return mount_full(); }, [&] { unmount(); }},
  };
  add_rule(0, kDelete);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.block()) {
      std::printf("skipped \"%s\": cannot mount here\n", c.name);
      c.mend();
      continue;
    }
    host.notices.clear();
    const size_t sessions = opened;
    const RunOutcome blocked = check();
    EXPECT_FALSE(blocked.ok());
    EXPECT_EQ(blocked.stores_failed, 1u);
    EXPECT_EQ(opened, sessions) << "no session: nothing scanned, nothing deleted";
    ASSERT_EQ(host.notices.size(), 1u);
    EXPECT_TRUE(noticed(sid::kStoreBlocked)) << host.notices[0];
    c.mend();
  }
  scan_session({"a"});
  deletion_session({"a"}, {1});
  EXPECT_TRUE(check().ok());
  expect_sessions_done();
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>{"a"});
}

// The seen list or the journal breaks once the actions have begun: the mail
// acted on is deleted as queued, the others wait untouched for the next check.
TEST_F(CheckRunStores, appendFailingAfterAnActionStopsTheAccountAtOnce) {
  struct Case {
    const char* name;
    std::filesystem::path broken;
  };
  const std::vector<Case> cases = {{"seen list", account->seen().file()}, {"journal", journal_file()}};
  add_rule(0, kDelete);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path& broken = c.broken;
    host.notices.clear();
    host.on_report = [&](const StatusReport& r) {
      if (r.text == res::text(sid::kActing)) std::filesystem::create_directory(broken);
    };
    const std::string a = std::string(c.name) + " a", b = std::string(c.name) + " b", d = std::string(c.name) + " c";
    scan_session({a, b, d});
    deletion_session({a, b, d}, {1});
    const RunOutcome stopped = check();
    host.on_report = nullptr;
    EXPECT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.stores_failed, 1u);
    EXPECT_TRUE(noticed(sid::kStoreFailed));
    std::filesystem::remove(broken);

    scan_session({b, d});
    deletion_session({b, d}, {1, 2});
    EXPECT_TRUE(check().ok());
    expect_sessions_done();
    const std::vector<std::string> seen = seen_file_lines();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), b), 1);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), d), 1);
  }
}

}  // namespace
}  // namespace pw::test
