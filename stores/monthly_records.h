#pragma once
// A store of fixed-size records, one file per calendar month ("%04d-%02d",
// records concatenated oldest first, no header) in one directory, with the
// records of one month (the shown month) held in memory.
//
// Appends come from worker threads while the UI thread changes the shown
// month: one mutex serialises appends, month changes and removals, and the
// listener hears of each record of the shown month in append order. Other
// processes on the same directory (a headless check beside the window) take
// the month file's lock for each append and for each removal; during a
// Batch, this process keeps that lock from one record to the next.
//
// Record needs: static constexpr size_t kSize; std::string encode() const
// (kSize bytes); static Record decode(const char* image).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/file_io.h"
#include "base/local_time.h"
#include "stores/record_added_listener.h"

namespace pw {

template <class Record>
class MonthlyRecords {
 public:
  explicit MonthlyRecords(std::filesystem::path dir) : dir_(std::move(dir)) {}
  MonthlyRecords(const MonthlyRecords&) = delete;
  MonthlyRecords& operator=(const MonthlyRecords&) = delete;

  [[nodiscard]] const std::filesystem::path& directory() const { return dir_; }
  [[nodiscard]] std::filesystem::path month_file(int year, int month) const {
    return dir_ / format_month(year, month);
  }

  // Set it before appends start and clear it only when none can run.
  void set_listener(RecordAddedListener<Record>* listener) { listener_ = listener; }

  // While a Batch lasts, the appends of the thread that made it keep the
  // month file's lock from one record to the next (a check writes a record
  // or two per mail), for at most kKeepLockFor at a time, so another process
  // waits no longer than that. Any other append lets go after it, and so does
  // the end of a batch: a thread that may take long (a network action, a
  // question to the user) must not hold one.
  static constexpr std::chrono::milliseconds kKeepLockFor{20};
  class Batch {
   public:
    explicit Batch(MonthlyRecords& records) : records_(records) { ++batching_; }
    ~Batch() {
      --batching_;
      records_.let_go();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    MonthlyRecords& records_;
  };

  // Appends the record to the file of (year, month), never truncating it, and
  // to memory when that month is shown. Gives whether it reached the file (a
  // failure is otherwise silent and the record then lives only in memory)
  // and the record as stored (its fields cut to their sizes). Without
  // `may_keep_lock`, a lock kept by a batch is let go after it (a failure
  // record, which the caller goes on to tell the user about).
  std::pair<bool, Record> append(const Record& record, int year, int month, bool may_keep_lock = true) {
    std::string image = record.encode();
    Record stored = Record::decode(image.data());
    bool on_disk = false;
    bool shown = false;
    size_t index = 0;
    uint64_t generation = 0;
    uint64_t ticket = 0;
    {
      std::lock_guard lock(mutex_);
      // Thousands of appends in a check go to one month's file.
      if (year != append_year_ || month != append_month_) {
        append_path_ = month_file(year, month);
        append_year_ = year;
        append_month_ = month;
      }
      const std::filesystem::path& file = append_path_;
      const bool was_kept = file_.keeps_lock(file);
      on_disk = append_record(file_, file, image, Record::kSize, batching_ > 0 && may_keep_lock);
      if (file_.keeps_lock(file)) {
        const auto now = std::chrono::steady_clock::now();
        if (!was_kept)
          kept_since_ = now;
        else if (now - kept_since_ >= kKeepLockFor)
          file_.unlock();
      }
      if (year == year_ && month == month_) {
        entries_.push_back(Entry{stored, image});
        index = entries_.size() - 1;
        shown = true;
      }
      generation = generation_.load();
      ticket = next_ticket_++;
    }
    // Take turns by ticket so the listener hears records in file order.
    std::unique_lock turn(turn_mutex_);
    turn_cv_.wait(turn, [&] { return serving_ == ticket; });
    RecordAddedListener<Record>* listener = listener_.load();
    // After a month change the new month was read from the files, which
    // already hold this record: telling the listener again would show it twice.
    if (shown && listener && generation == generation_.load()) listener->record_added(stored, index);
    ++serving_;
    turn.unlock();
    turn_cv_.notify_all();
    return {on_disk, std::move(stored)};
  }

  // Makes (year, month) the shown month and reads its file; a missing file is
  // an empty month, and a last record cut short is left out.
  void load_month(int year, int month) {
    std::lock_guard lock(mutex_);
    ++generation_;
    year_ = year;
    month_ = month;
    entries_.clear();
    // Read under the lock, so no append falls between reading and showing.
    std::optional<std::string> data = read_file(month_file(year, month));
    if (!data) return;
    entries_.reserve(data->size() / Record::kSize);
    for (size_t at = 0; at + Record::kSize <= data->size(); at += Record::kSize) {
      const char* image = data->data() + at;
      entries_.push_back(Entry{Record::decode(image), std::string(image, Record::kSize)});
    }
  }

  [[nodiscard]] std::pair<int, int> shown_month() const {
    std::lock_guard lock(mutex_);
    return {year_, month_};
  }
  [[nodiscard]] size_t count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
  }
  [[nodiscard]] std::optional<Record> at(size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= entries_.size()) return std::nullopt;
    return entries_[index].record;
  }
  [[nodiscard]] std::vector<Record> records() const {
    std::lock_guard lock(mutex_);
    std::vector<Record> out;
    out.reserve(entries_.size());
    for (const Entry& e : entries_) out.push_back(e.record);
    return out;
  }

  // Removes the first record of the month file whose stored bytes equal the
  // record at `index` of the shown month, then that record from memory. A
  // file that cannot be rewritten keeps the row in memory too, so what the
  // view shows stays what is stored; a record the file does not hold (its
  // append failed) just leaves memory. True when the row was removed.
  bool remove_at(size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= entries_.size()) return false;
    const std::string& image = entries_[index].image;
    std::filesystem::path file = month_file(year_, month_);
    // The file is read and replaced under its lock: a record another
    // process appended in between would go to the replaced file. Our own
    // descriptor (and a lock a batch keeps on it) goes first.
    file_.close();
    const FileLock locked(file);
    std::optional<std::string> data = read_file(file);
    if (data) {
      for (size_t at = 0; at + Record::kSize <= data->size(); at += Record::kSize) {
        if (std::memcmp(data->data() + at, image.data(), Record::kSize) != 0) continue;
        data->erase(at, Record::kSize);
        if (!write_file_atomic(file, *data)) return false;
        break;
      }
    } else if (std::filesystem::exists(file)) {
      return false;  // unreadable: it may well hold the record
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
  }

  // Releases the records in memory (exit); the files are complete already.
  void clear() {
    std::lock_guard lock(mutex_);
    ++generation_;
    entries_.clear();
  }

 private:
  void let_go() {
    std::lock_guard lock(mutex_);
    file_.unlock();
  }

  struct Entry {
    Record record;
    std::string image;  // the bytes as stored, for removal by equality
  };

  const std::filesystem::path dir_;
  mutable std::mutex mutex_;
  AppendFile file_;  // the month file appended to last; under mutex_
  // Its path, and the month it is for; under mutex_.
  std::filesystem::path append_path_;
  int append_year_ = 0;
  int append_month_ = 0;
  static inline thread_local int batching_ = 0;  // the batches this thread is in
  std::chrono::steady_clock::time_point kept_since_;  // under mutex_
  int year_ = 0;
  int month_ = 0;
  std::vector<Entry> entries_;
  std::atomic<uint64_t> generation_{0};
  uint64_t next_ticket_ = 0;  // under mutex_

  std::mutex turn_mutex_;
  std::condition_variable turn_cv_;
  uint64_t serving_ = 0;  // under turn_mutex_
  std::atomic<RecordAddedListener<Record>*> listener_{nullptr};
};

}  // namespace pw
