#include "stores/seen_uid_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "base/file_io.h"
#include "base/safe_name.h"
#include "stores/ascii_case.h"

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

// The length fits the low 6 bits: identifiers are at most 63 bytes.
uint32_t slot_tag(uint64_t hash, size_t length) {
  return (static_cast<uint32_t>(hash >> 32) & ~uint32_t(63)) | static_cast<uint32_t>(length);
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

size_t SeenUidList::find_slot(std::string_view uid, uint64_t hash) const {
  if (slots_.empty() || uid.size() > kMaxLength) return kNone;
  const size_t mask = slots_.size() - 1;
  const uint32_t tag = slot_tag(hash, uid.size());
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.head == kEmpty) return kNone;
    if (slot.head != kGone && slot.tag == tag &&
        ascii_iequal(std::string_view(text_.data() + slot.offset, uid.size()), uid)) {
      return i;
    }
  }
}

void SeenUidList::insert_slot(uint64_t hash, uint32_t index, uint32_t offset, size_t length) {
  if ((used_slots_ + 1) * 2 > slots_.size()) grow();
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].head != kEmpty && slots_[i].head != kGone) i = (i + 1) & mask;
  if (slots_[i].head == kEmpty) ++used_slots_;
  slots_[i] = Slot{slot_tag(hash, length), index + 1, index, offset};
  ++keys_;
}

void SeenUidList::grow() {
  size_t capacity = 16;
  while (capacity < (keys_ + 1) * 3) capacity *= 2;
  std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(capacity, Slot{0, kEmpty, 0, 0}));
  const size_t mask = capacity - 1;
  for (const Slot& slot : old) {
    if (slot.head == kEmpty || slot.head == kGone) continue;
    std::string_view text(text_.data() + slot.offset, slot.tag & 63);
    size_t i = ascii_case_hash(text) & mask;
    while (slots_[i].head != kEmpty) i = (i + 1) & mask;
    slots_[i] = slot;
  }
  used_slots_ = keys_;  // the removed marks are gone
}

size_t SeenUidList::push(std::string_view uid, bool unseen) {
  uid = cut(uid);
  const auto index = static_cast<uint32_t>(entries_.size());
  const auto offset = static_cast<uint32_t>(text_.size());
  entries_.push_back(Entry{offset, static_cast<uint8_t>(uid.size()), unseen, false, -1});
  text_.append(uid);
  ++live_;
  const uint64_t hash = ascii_case_hash(uid);
  size_t at = find_slot(uid, hash);
  if (at == kNone) {
    insert_slot(hash, index, offset, uid.size());
  } else {
    entries_[slots_[at].tail].next_same = static_cast<int32_t>(index);
    slots_[at].tail = index;
  }
  return index;
}

std::optional<size_t> SeenUidList::find(std::string_view uid) const {
  // A stored identifier is at most 63 bytes, so a longer one never matches.
  size_t at = find_slot(uid, ascii_case_hash(uid));
  if (at == kNone) return std::nullopt;
  return slots_[at].head - 1;
}

std::string_view SeenUidList::identifier(size_t index) const { return text_of(entries_.at(index)); }

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
  size_t at = find_slot(uid, ascii_case_hash(uid));
  if (at == kNone) return 0;
  size_t removed = 0;
  for (int64_t i = slots_[at].head - 1; i >= 0; i = entries_[size_t(i)].next_same) {
    entries_[size_t(i)].removed = true;
    ++removed;
  }
  slots_[at].head = kGone;
  --keys_;
  live_ -= removed;
  return removed;
}

std::vector<std::string> SeenUidList::identifiers() const {
  std::vector<std::string> out;
  out.reserve(live_);
  for (const Entry& e : entries_) {
    if (!e.removed) out.emplace_back(text_of(e));
  }
  return out;
}

std::string SeenUidList::file_text(bool listing_complete) const {
  std::string text;
  text.reserve(text_.size() + 2 * entries_.size());
  for (const Entry& e : entries_) {
    if (e.removed || e.length == 0 || (listing_complete && e.unseen)) continue;
    std::string_view uid = text_of(e);
    // A line break inside an identifier would split it into two in the file.
    if (uid.find_first_of("\r\n") != std::string_view::npos) continue;
    text += uid;
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

bool SeenUidList::append_seen(std::string_view uid, bool sync) {
  uid = cut(uid);
  if (uid.empty() || uid.find_first_of("\r\n") != std::string_view::npos) return false;
  std::lock_guard lock(file_mutex_);
  if (file_.empty()) return false;
  // After a write cut short the file ends inside a line; gluing the new
  // identifier to that piece would lose both.
  std::string line = ends_inside_line(file_) ? "\r\n" : "";
  line += uid;
  line += "\r\n";
  return append_file(file_, line, sync);
}

bool SeenUidList::sync_file() {
  std::lock_guard lock(file_mutex_);
  return file_.empty() || sync_existing_file(file_);
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
  text_.clear();
  entries_.clear();
  slots_.clear();
  used_slots_ = 0;
  keys_ = 0;
  live_ = 0;
}

}  // namespace pw
