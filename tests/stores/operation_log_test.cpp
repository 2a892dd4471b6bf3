// The operation log: its records, month files, purge and concurrent appends.
#include "stores/operation_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "record_bytes.h"
#include "res/string_table.h"
#include "utc_clock.h"

namespace pw {
namespace {

class OperationLogTest : public test::UtcTest {
 protected:
  void SetUp() override {
    UtcTest::SetUp();
    std::filesystem::create_directories(dir / "Log");
  }

  test::TempDir dir;
  OperationLog log{ProgramDir(dir.path()), clock};
};

class RecordingListener : public OperationLog::Listener {
 public:
  void record_added(const LogRecord& record, size_t index) override {
    std::lock_guard lock(mutex);
    records.push_back(record);
    indexes.push_back(index);
  }
  std::mutex mutex;
  std::vector<LogRecord> records;
  std::vector<size_t> indexes;
};

TEST_F(OperationLogTest, recordIsWrittenByteForByteToTheFileOfTheMonth) {
  log.write("a@b.cn", "s@x", "r1;r2;", "Hi", "fwd", true);
  std::string expected = test::record_bytes(2465, {
                                                      {0, "61 40 62 2e 63 6e"},
                                                      {128, "32 30 30 33 2f 30 35 2f 31 37 20 30 38 3a 30 39 3a 31 30"},
                                                      {160, "73 40 78"},
                                                      {288, "72 31 3b 72 32 3b"},
                                                      {1312, "48 69"},
                                                      {1440, "66 77 64"},
                                                      {2464, "01"},
                                                  });
  EXPECT_EQ(dir.read("Log/2003-05"), expected);
  log.write("a@b.cn", "s@x", "r1;r2;", "Hi", "fwd", false);
  expected += expected;
  expected[2465 + 2464] = 0;
  EXPECT_EQ(dir.read("Log/2003-05"), expected);
}

TEST_F(OperationLogTest, recordRoundTripsAndLongTextIsCutToItsField) {
  LogRecord written = log.write("a@b.cn", std::string(300, 's'), std::string(2000, 'r'), "subj",
                                std::string(1500, 'o'), false);
  EXPECT_EQ(written.operation.size(), 1023u);
  EXPECT_EQ(written.recipients.size(), 1023u);
  EXPECT_EQ(written.sender.size(), 127u);
  EXPECT_EQ(written.time, "2003/05/17 08:09:10");
  log.load_month(2003, 5);
  ASSERT_EQ(log.count(), 1u);
  EXPECT_EQ(*log.at(0), written);
  EXPECT_FALSE(log.at(1));
}

TEST_F(OperationLogTest, writeInJuneWhileMayIsShownGoesToTheJuneFileOnly) {
  log.load_current_month();
  log.write("a@b.cn", "", "", "", "may", true);
  RecordingListener listener;
  log.set_listener(&listener);
  clock.set(test::utc(2003, 6, 1, 0, 0, 1));
  log.write("a@b.cn", "", "", "", "june", true);
  EXPECT_EQ(log.shown_month(), std::make_pair(2003, 5));
  ASSERT_EQ(log.count(), 1u);
  EXPECT_EQ(log.at(0)->operation, "may");
  EXPECT_TRUE(listener.records.empty());
  EXPECT_EQ(dir.read("Log/2003-06").size(), 2465u);
  EXPECT_EQ(dir.read("Log/2003-05").size(), 2465u);
  log.set_listener(nullptr);
}

TEST_F(OperationLogTest, listenerHearsRecordsOfTheShownMonth) {
  log.load_current_month();
  RecordingListener listener;
  log.set_listener(&listener);
  log.write("a@b.cn", "", "", "", "one", true);
  log.write("a@b.cn", "", "", "", "two", false);
  ASSERT_EQ(listener.records.size(), 2u);
  EXPECT_EQ(listener.records[1].operation, "two");
  EXPECT_EQ(listener.indexes, (std::vector<size_t>{0, 1}));
  log.set_listener(nullptr);
}

TEST_F(OperationLogTest, failedOperationNoticeNamesAccountAndOperation) {
  LogRecord r = log.write("a@b.cn", "", "", "", "forward to x@y.cn", false);
  EXPECT_EQ(OperationLog::failure_notice(r), "a@b.cn\r\n" + res::text(sid::kOperationFailed) + "\r\n\"forward to x@y.cn\"");
}

TEST_F(OperationLogTest, damagedLastRecordIsDroppedAndMissingMonthIsEmpty) {
  log.write("a@b.cn", "", "", "", "whole", true);
  ASSERT_TRUE(append_file(dir / "Log" / "2003-05", std::string(2464, 'x')));
  log.load_month(2003, 5);
  ASSERT_EQ(log.count(), 1u);
  EXPECT_EQ(log.at(0)->operation, "whole");
  log.load_month(2003, 4);
  EXPECT_EQ(log.count(), 0u);
  EXPECT_EQ(log.shown_month(), std::make_pair(2003, 4));
  std::filesystem::create_directories(dir / "Log" / "2003-03");
  log.load_month(2003, 3);
  EXPECT_EQ(log.count(), 0u);
}

TEST_F(OperationLogTest, recordWithoutNulsLoadsWithEveryFieldCutToItsWidth) {
  dir.write("Log/2003-05", std::string(LogRecord::kSize, 'x'));
  log.load_month(2003, 5);
  ASSERT_EQ(log.count(), 1u);
  LogRecord r = *log.at(0);
  EXPECT_EQ(r.account, std::string(127, 'x'));
  EXPECT_EQ(r.time, std::string(31, 'x'));
  EXPECT_EQ(r.recipients, std::string(1023, 'x'));
  EXPECT_EQ(r.operation, std::string(1023, 'x'));
  EXPECT_TRUE(r.success);
}

TEST_F(OperationLogTest, unwritableMonthKeepsTheRecordInMemoryOnly) {
  log.load_current_month();
  std::filesystem::create_directories(dir / "Log" / "2003-05");
  log.write("a@b.cn", "", "", "", "kept", true);
  ASSERT_EQ(log.count(), 1u);
  EXPECT_EQ(log.at(0)->operation, "kept");
}

// Whether another process could take the month file's lock now.
bool lockable(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

// A batch keeps the lock from one record to the next, never over a failure
// record (a notice follows it) or past its end; appends outside a batch let
// go at once, as does a thread that is in none.
TEST_F(OperationLogTest, batchKeepsTheMonthLockOnlyBetweenItsOwnSuccessfulRecords) {
  const std::filesystem::path month = dir / "Log" / "2003-05";
  log.write("a@b.cn", "", "", "", "alone", true);
  EXPECT_TRUE(lockable(month));
  {
    OperationLog::Batch batch(log);
    log.write("a@b.cn", "", "", "", "first", true);
    EXPECT_FALSE(lockable(month));
    log.write("a@b.cn", "", "", "", "second", true);
    EXPECT_FALSE(lockable(month));
    log.write("a@b.cn", "", "", "", "failed", false);
    EXPECT_TRUE(lockable(month));
    log.write("a@b.cn", "", "", "", "third", true);
    EXPECT_FALSE(lockable(month));
    std::thread([&] { log.write("a@b.cn", "", "", "", "other thread", true); }).join();
    EXPECT_TRUE(lockable(month));
    log.write("a@b.cn", "", "", "", "fourth", true);
  }
  EXPECT_TRUE(lockable(month));
  log.load_current_month();
  std::vector<std::string> operations;
  for (const LogRecord& r : log.records()) operations.push_back(r.operation);
  EXPECT_EQ(operations, (std::vector<std::string>{"alone", "first", "second", "failed", "third", "other thread",
                                                  "fourth"}));
  EXPECT_EQ(dir.read("Log/2003-05").size(), 7 * 2465u);
}

// A removal replaces the month file under its lock; the batch's next record
// goes to the new file, not to the one replaced.
TEST_F(OperationLogTest, removalDuringABatchLosesNoLaterRecord) {
  log.load_current_month();
  OperationLog::Batch batch(log);
  log.write("a@b.cn", "", "", "", "doomed", true);
  log.write("a@b.cn", "", "", "", "kept", true);
  ASSERT_TRUE(log.remove_at(0));
  log.write("a@b.cn", "", "", "", "after", true);
  OperationLog reread{ProgramDir(dir.path()), clock};
  reread.load_current_month();
  ASSERT_EQ(reread.count(), 2u);
  EXPECT_EQ(reread.at(0)->operation, "kept");
  EXPECT_EQ(reread.at(1)->operation, "after");
}

TEST_F(OperationLogTest, clearReleasesTheMonthButNotTheFile) {
  log.load_current_month();
  log.write("a@b.cn", "", "", "", "x", true);
  log.clear();
  EXPECT_EQ(log.count(), 0u);
  EXPECT_EQ(dir.read("Log/2003-05").size(), 2465u);
}

TEST(OperationLogPurge, limitIsTheMonthKMonthsBefore) {
  struct Case {
    int keep, year, month;
    const char* limit;
  };
  const Case cases[] = {
      {12, 2003, 5, "2002-05"}, {1, 2003, 3, "2003-02"},   {5, 2003, 3, "2002-10"},  {3, 2003, 3, "2002-12"},
      {24, 2003, 3, "2001-03"}, {120, 2003, 1, "1993-01"}, {13, 2003, 1, "2001-12"}, {0, 2003, 5, "2002-05"},
      {-4, 2003, 5, "2002-05"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OperationLog::purge_limit(c.keep, c.year, c.month), c.limit) << c.keep << " " << c.month;
  }
}

TEST(OperationLogPurge, deletesEveryNameUpToTheLimitBytewise) {
  struct Case {
    int keep;
    std::vector<std::string> deleted;
    std::vector<std::string> kept;
  };
  const Case cases[] = {
      {1, {"2003-02", "2002-12", "1999-01"}, {"2003-03", "abc", "2003-02-notes", "Zlog"}},
      {5, {"2002-10", "2002-01"}, {"2002-11", "2003-03"}},
      {0, {"2002-03"}, {"2002-04", "2003-03"}},  // an unset number keeps twelve months
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    for (const auto& name : c.deleted) dir.write(name, "x");
    for (const auto& name : c.kept) dir.write(name, "x");
    std::filesystem::create_directories(dir / "2000-01");  // directories are never deleted
    size_t deleted = OperationLog::purge_old_months(dir.path(), c.keep, 2003, 3);
    EXPECT_EQ(deleted, std::set<std::string>(c.deleted.begin(), c.deleted.end()).size()) << c.keep;
    for (const auto& name : c.deleted) EXPECT_FALSE(std::filesystem::exists(dir / name)) << c.keep << " " << name;
    for (const auto& name : c.kept) EXPECT_TRUE(std::filesystem::exists(dir / name)) << c.keep << " " << name;
    EXPECT_TRUE(std::filesystem::exists(dir / "2000-01"));
  }
}

TEST_F(OperationLogTest, purgeUsesTheClockAndLeavesOtherDirectoriesAlone) {
  dir.write("Log/2002-05", "x");
  dir.write("Log/2002-06", "x");
  dir.write("LocalMail/2001-01", "x");
  EXPECT_EQ(log.purge_old_months(12), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "Log" / "2002-05"));
  EXPECT_TRUE(std::filesystem::exists(dir / "Log" / "2002-06"));
  EXPECT_TRUE(std::filesystem::exists(dir / "LocalMail" / "2001-01"));
  EXPECT_EQ(OperationLog::purge_old_months(dir / "missing", 1, 2003, 3), 0u);
}

TEST_F(OperationLogTest, concurrentAppendsAndMonthChangesKeepEveryRecordWhole) {
  constexpr int kThreads = 4;
  constexpr int kEach = 150;
  log.load_current_month();
  RecordingListener listener;
  log.set_listener(&listener);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) log.write("a@b.cn", "", "", "", std::to_string(t) + ":" + std::to_string(i), true);
    });
  }
  for (int i = 0; i < 40; ++i) {
    log.load_month(2003, i % 2 ? 5 : 4);
    (void)log.count();
  }
  for (auto& w : workers) w.join();
  log.set_listener(nullptr);

  EXPECT_EQ(dir.read("Log/2003-05").size(), size_t(kThreads * kEach) * LogRecord::kSize);
  log.load_month(2003, 5);
  ASSERT_EQ(log.count(), size_t(kThreads * kEach));
  std::vector<int> next(kThreads, 0);
  for (const LogRecord& r : log.records()) {
    int t = r.operation[0] - '0';
    ASSERT_EQ(r.operation, std::to_string(t) + ":" + std::to_string(next[t])) << "each thread's records in order";
    ++next[t];
  }
  // Heard in append order: the indexes only grow until a month change.
  for (size_t i = 1; i < listener.indexes.size(); ++i) {
    if (listener.indexes[i] != 0) {
      EXPECT_GT(listener.indexes[i], listener.indexes[i - 1]) << i;
    }
  }
}

// A listener that hands the record to the UI thread and waits for it, as the
// information view does, while the UI thread itself uses the store.
class BlockingListener : public OperationLog::Listener {
 public:
  void record_added(const LogRecord& record, size_t) override {
    std::unique_lock lock(mutex);
    heard.push_back(record.operation);
    waiting = true;
    cv.notify_all();
    cv.wait(lock, [&] { return released || record.operation != "first"; });
  }
  void wait_until_waiting() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return waiting; });
  }
  void release() {
    std::lock_guard lock(mutex);
    released = true;
    cv.notify_all();
  }
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::string> heard;
  bool waiting = false;
  bool released = false;
};

TEST_F(OperationLogTest, listenerMayWaitForAThreadThatUsesTheStore) {
  log.load_current_month();
  BlockingListener listener;
  log.set_listener(&listener);
  std::thread first([&] { log.write("a@b.cn", "", "", "", "first", true); });
  listener.wait_until_waiting();
  std::thread second([&] { log.write("a@b.cn", "", "", "", "second", true); });
  // The UI thread reads and changes months while the listener waits for it.
  while (log.count() < 2) std::this_thread::yield();
  log.load_month(2003, 5);
  EXPECT_EQ(log.count(), 2u);
  listener.release();
  first.join();
  second.join();
  log.set_listener(nullptr);
  // The second record was appended before the month was reread, so the view
  // gets it from the reread month and is not told again.
  EXPECT_EQ(listener.heard, (std::vector<std::string>{"first"}));
}

}  // namespace
}  // namespace pw
