#include "stores/seen_uid_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include <functional>

#include "base/code_page.h"
#include "base/file_io.h"
#include "base/safe_name.h"

namespace pw {
namespace {

std::string_view cut(std::string_view uid) { return uid.substr(0, SeenUidList::kMaxLength); }

// The length fits the low 7 bits: identifiers are at most 70 bytes.
constexpr uint32_t kLengthBits = 127;
uint32_t slot_tag(uint64_t hash, size_t length) {
  return (static_cast<uint32_t>(hash >> 32) & ~kLengthBits) | static_cast<uint32_t>(length);
}

// FNV-1a, which can go on where it stopped: appended bytes extend the hash.
constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;
uint64_t content_hash(uint64_t h, std::string_view bytes) {
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

uint64_t uid_hash(std::string_view uid) { return std::hash<std::string_view>{}(uid) * 0x9e3779b97f4a7c15ull; }

// Whether `mark`, a file's device, inode and size as noted earlier, is
// still the file `st` at `size` bytes.
template <typename Mark>
bool marks(const Mark& mark, const struct stat& st, uint64_t size) {
  return mark.valid && mark.device == static_cast<uint64_t>(st.st_dev) &&
         mark.inode == static_cast<uint64_t>(st.st_ino) && mark.size == size;
}

}  // namespace

std::optional<std::filesystem::path> SeenUidList::file_for(const std::filesystem::path& mail_uid_dir,
                                                           std::string_view address) {
  if (!is_safe_file_name(address)) return std::nullopt;
  std::string name(address);
  name += ".uid";
  return mail_uid_dir / path_from_gb(name);
}

bool SeenUidList::has_file() const {
  std::lock_guard lock(file_mutex_);
  return !file_.empty();
}

std::filesystem::path SeenUidList::file() const {
  std::lock_guard lock(file_mutex_);
  return file_;
}

std::optional<SeenUidList::FileStamp> SeenUidList::stat_file() const {
  struct stat st {};
  if (file_.empty() || ::stat(file_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                   static_cast<uint64_t>(st.st_size), 0, true};
}

size_t SeenUidList::take_lines(std::string_view text, bool skip_known, size_t* taken) {
  std::string_view rest = text;
  size_t loaded = 0;
  for (;;) {
    size_t end = rest.find('\n');
    if (end == std::string_view::npos) break;
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || (skip_known && find(line))) continue;
    push(line, true);
    ++loaded;
  }
  if (taken) *taken = text.size() - rest.size();
  return loaded;
}

size_t SeenUidList::load() {
  std::optional<std::string> text;
  std::optional<FileStamp> stamp;
  {
    std::lock_guard lock(file_mutex_);
    if (file_.empty()) return 0;
    stamp = stat_file();
    text = read_file(file_);
  }
  if (!text) return 0;
  size_t taken = 0;
  const size_t loaded = take_lines(*text, false, &taken);
  std::lock_guard lock(file_mutex_);
  if (stamp) {
    stamp_ = *stamp;
    stamp_.size = taken;
    stamp_.hash = content_hash(kFnvStart, std::string_view(*text).substr(0, taken));
  }
  return loaded;
}

void SeenUidList::refresh() {
  std::optional<std::string> tail;
  FileStamp known;
  {
    std::lock_guard lock(file_mutex_);
    if (file_.empty()) return;
    known = stamp_;
    std::optional<FileStamp> now = stat_file();
    if (!now) {
      // No file (yet): nothing to take in; what is held stays.
      stamp_ = {};
      known.valid = true;
    } else if (known.valid && now->device == known.device && now->inode == known.inode && now->size >= known.size) {
      // The same file, at most grown: only appends happened.
      std::optional<std::string> text = read_file(file_);
      if (text && text->size() >= known.size &&
          content_hash(kFnvStart, std::string_view(*text).substr(0, known.size)) == known.hash) {
        tail = text->substr(known.size);
      }
      if (!tail) known.valid = false;
    } else {
      known.valid = false;
    }
  }
  if (tail) {
    size_t taken = 0;
    take_lines(*tail, true, &taken);
    std::lock_guard lock(file_mutex_);
    if (stamp_.valid && stamp_.size == known.size) {
      stamp_.size += taken;
      stamp_.hash = content_hash(stamp_.hash, std::string_view(*tail).substr(0, taken));
    }
  } else if (!known.valid) {
    clear();
    load();
  }
  for (Entry& e : entries_) e.unseen = true;
}

bool SeenUidList::has_unseen() const {
  return std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.removed && e.unseen; });
}

size_t SeenUidList::find_slot(std::string_view uid, uint64_t hash) const {
  if (slots_.empty() || uid.size() > kMaxLength) return kNone;
  const size_t mask = slots_.size() - 1;
  const uint32_t tag = slot_tag(hash, uid.size());
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.head == kEmpty) return kNone;
    if (slot.head != kGone && slot.tag == tag &&
        std::string_view(text_.data() + slot.offset, uid.size()) == uid) {
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
    std::string_view text(text_.data() + slot.offset, slot.tag & kLengthBits);
    size_t i = uid_hash(text) & mask;
    while (slots_[i].head != kEmpty) i = (i + 1) & mask;
    slots_[i] = slot;
  }
  used_slots_ = keys_;  // the removed marks are gone
}

size_t SeenUidList::push(std::string_view uid, bool unseen) {
  uid = cut(uid);
  const auto index = static_cast<uint32_t>(entries_.size());
  const auto offset = static_cast<uint32_t>(text_.size());
  const uint64_t hash = uid_hash(uid);
  const size_t at = find_slot(uid, hash);
  entries_.push_back(Entry{offset, static_cast<uint8_t>(uid.size()), unseen, false, at == kNone, -1});
  text_.append(uid);
  ++live_;
  if (at == kNone) {
    insert_slot(hash, index, offset, uid.size());
  } else {
    entries_[slots_[at].tail].next_same = static_cast<int32_t>(index);
    slots_[at].tail = index;
  }
  return index;
}

std::optional<size_t> SeenUidList::find(std::string_view uid) const {
  // Cut as add() cuts, so an over-long identifier still finds its entry.
  uid = cut(uid);
  size_t at = find_slot(uid, uid_hash(uid));
  if (at == kNone) return std::nullopt;
  return slots_[at].head - 1;
}

std::optional<size_t> SeenUidList::find(std::string_view uid, size_t expected) const {
  if (expected < entries_.size()) {
    const Entry& e = entries_[expected];
    if (e.first && !e.removed && text_of(e) == cut(uid)) return expected;
  }
  return find(uid);
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
  uid = cut(uid);
  size_t at = find_slot(uid, uid_hash(uid));
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
  if (std::optional<FileStamp> now = stat_file()) {
    stamp_ = *now;
    stamp_.size = text.size();
    stamp_.hash = content_hash(kFnvStart, text);
  }
  return true;
}

bool SeenUidList::append_text(std::string_view text, bool sync) {
  std::lock_guard lock(file_mutex_);
  if (file_.empty()) return false;
  // The file stays open from one append to the next: this runs once per
  // mail a check acts on.
  struct stat st {};
  const int fd = append_file_.open(file_, st);
  if (fd < 0) return false;
  if (!S_ISREG(st.st_mode)) {
    append_file_.close();
    return false;
  }
  // After a write cut short the file ends inside a line; gluing the new
  // identifier to that piece would lose both.
  // A file just as the last append left it ends with its line end.
  const uint64_t before = static_cast<uint64_t>(st.st_size);
  const bool as_left = marks(own_end_, st, before);
  char last = '\n';
  if (!as_left && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) != 1) last = '\n';
  std::string data = last != '\n' ? "\r\n" : "";
  data += text;
  own_end_.valid = false;
  bool ok = write_all(fd, data);
  if (ok && sync) ok = ::fsync(fd) == 0;
  if (!ok) return false;
  if (data.ends_with('\n'))
    own_end_ = LineEnd{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), before + data.size(), true};
  // Our own lines need not be read back at the next refresh. Should another
  // process have appended in between, the hash no longer matches the file
  // and the next refresh reads it whole.
  const bool in_step = stamp_.valid ? marks(stamp_, st, before) : before == 0;
  if (in_step) {
    stamp_ = FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), before + data.size(),
                       content_hash(stamp_.valid ? stamp_.hash : kFnvStart, data), true};
  }
  return true;
}

bool SeenUidList::append_seen(std::string_view uid, bool sync) {
  uid = cut(uid);
  if (uid.empty() || uid.find_first_of("\r\n") != std::string_view::npos) return false;
  std::string line(uid);
  line += "\r\n";
  return append_text(line, sync);
}

bool SeenUidList::sync_file() {
  std::lock_guard lock(file_mutex_);
  return file_.empty() || sync_existing_file(file_);
}

bool SeenUidList::append_seen(const std::vector<std::string>& uids, bool sync) {
  std::string lines;
  for (const std::string& u : uids) {
    std::string_view uid = cut(u);
    if (uid.empty() || uid.find_first_of("\r\n") != std::string_view::npos) continue;
    lines += uid;
    lines += "\r\n";
  }
  return lines.empty() || append_text(lines, sync);
}

std::filesystem::path SeenUidList::companion_file(const std::filesystem::path& uid_file, std::string_view extension) {
  if (uid_file.empty()) return {};
  std::filesystem::path p = uid_file;
  p.replace_extension(extension);
  return p;
}

bool SeenUidList::delete_file(std::initializer_list<std::string_view> companion_extensions) {
  std::lock_guard lock(file_mutex_);
  if (file_.empty()) return false;
  std::error_code ec;
  for (std::string_view extension : companion_extensions) std::filesystem::remove(companion_file(file_, extension), ec);
  bool removed = std::filesystem::remove(file_, ec);
  file_.clear();
  stamp_ = {};
  own_end_ = {};
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
