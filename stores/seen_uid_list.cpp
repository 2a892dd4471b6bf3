#include "stores/seen_uid_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/file_io.h"
#include "base/safe_name.h"

namespace pw {
namespace {

std::string_view cut(std::string_view uid) { return uid.substr(0, SeenUidList::kMaxLength); }

bool ends_inside_line(const std::filesystem::path& file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  char last = '\n';
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    if (::pread(fd, &last, 1, st.st_size - 1) != 1) last = '\n';
  }
  ::close(fd);
  return last != '\n';
}

}  // namespace

std::optional<std::filesystem::path> SeenUidList::file_for(const std::filesystem::path& mail_uid_dir,
                                                           std::string_view address) {
  if (!is_safe_file_name(address)) return std::nullopt;
  std::string name(address);
  name += ".uid";
  return mail_uid_dir / name;
}

bool SeenUidList::has_file() const {
  std::lock_guard lock(file_mutex_);
  return !file_.empty();
}

std::filesystem::path SeenUidList::file() const {
  std::lock_guard lock(file_mutex_);
  return file_;
}

size_t SeenUidList::load() {
  std::optional<std::string> text;
  {
    std::lock_guard lock(file_mutex_);
    if (file_.empty()) return 0;
    text = read_file(file_);
  }
  if (!text) return 0;
  std::string_view rest(*text);
  size_t loaded = 0;
  for (;;) {
    size_t end = rest.find('\n');
    if (end == std::string_view::npos) break;
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    push(line, true);
    ++loaded;
  }
  return loaded;
}

size_t SeenUidList::push(std::string_view uid, bool unseen) {
  size_t index = entries_.size();
  entries_.push_back(Entry{std::string(cut(uid)), -1, unseen, false});
  ++live_;
  auto [it, inserted] = index_.try_emplace(std::string_view(entries_.back().uid), Chain{index, index});
  if (!inserted) {
    entries_[it->second.tail].next_same = static_cast<int64_t>(index);
    it->second.tail = index;
  }
  return index;
}

std::optional<size_t> SeenUidList::find(std::string_view uid) const {
  // A stored identifier is at most 63 bytes, so a longer one never matches.
  auto it = index_.find(uid);
  if (it == index_.end()) return std::nullopt;
  return it->second.head;
}

void SeenUidList::mark_seen(size_t index) {
  if (index < entries_.size()) entries_[index].unseen = false;
}

size_t SeenUidList::add(std::string_view uid, bool only_if_absent) {
  if (only_if_absent) {
    if (auto found = find(cut(uid))) return *found;
  }
  return push(uid, false);
}

size_t SeenUidList::remove(std::string_view uid) {
  auto it = index_.find(uid);
  if (it == index_.end()) return 0;
  size_t removed = 0;
  for (int64_t i = static_cast<int64_t>(it->second.head); i >= 0; i = entries_[size_t(i)].next_same) {
    entries_[size_t(i)].removed = true;
    ++removed;
  }
  index_.erase(it);
  live_ -= removed;
  return removed;
}

std::vector<std::string> SeenUidList::identifiers() const {
  std::vector<std::string> out;
  out.reserve(live_);
  for (const Entry& e : entries_) {
    if (!e.removed) out.push_back(e.uid);
  }
  return out;
}

std::string SeenUidList::file_text(bool listing_complete) const {
  std::string text;
  for (const Entry& e : entries_) {
    if (e.removed || e.uid.empty() || (listing_complete && e.unseen)) continue;
    // A line break inside an identifier would split it into two in the file.
    if (e.uid.find_first_of("\r\n") != std::string::npos) continue;
    text += e.uid;
    text += "\r\n";
  }
  return text;
}

bool SeenUidList::save(bool listing_complete) const {
  std::string text = file_text(listing_complete);
  std::lock_guard lock(file_mutex_);
  if (file_.empty()) return false;
  if (!write_file_atomic(file_, text)) return false;
  return true;
}

bool SeenUidList::append_seen(std::string_view uid) {
  uid = cut(uid);
  if (uid.empty() || uid.find_first_of("\r\n") != std::string_view::npos) return false;
  std::lock_guard lock(file_mutex_);
  if (file_.empty()) return false;
  // After a write cut short the file ends inside a line; gluing the new
  // identifier to that piece would lose both.
  std::string line = ends_inside_line(file_) ? "\r\n" : "";
  line += uid;
  line += "\r\n";
  return append_file(file_, line, true);
}

bool SeenUidList::delete_file() {
  std::lock_guard lock(file_mutex_);
  if (file_.empty()) return false;
  std::error_code ec;
  bool removed = std::filesystem::remove(file_, ec);
  file_.clear();
  return removed;
}

void SeenUidList::clear() {
  index_.clear();
  entries_.clear();
  live_ = 0;
}

}  // namespace pw
