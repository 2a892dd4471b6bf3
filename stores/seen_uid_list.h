#pragma once
// The identifiers (POP3 UIDL) of the mails one account has already seen, kept
// in "MailUID/<address>.uid": one identifier per line, each ended by CR LF.
//
// Entries keep their order and a mark: 1 ("unseen") for an entry read from
// the file and not yet found in the current server listing, 0 for one found
// there or added since. Identifiers are compared exactly, byte for byte and
// case-sensitively (RFC 1939: up to 70 characters, "ab" and "AB" are two
// mails). Lookups take constant time: an open-addressing table keyed by a
// hash of the identifier leads to the first entry with that identifier, and
// the identifiers lie back to back in one buffer, so a lookup among 100,000
// entries touches about as much memory as one among 1,000.
//
// The file is the truth: the window and a headless check may share it.
// refresh() takes in what another process appended or rewrote, every
// identifier a check adds is appended at once, and a rewrite happens only in
// a check, under the directory's check lock.
//
// Threads: the entries belong to one thread at a time (the check worker while
// a check runs, the UI thread otherwise). The file operations are safe from
// any thread, so removing an account can detach the file while a worker that
// still holds the account appends to it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"

namespace pw {

class SeenUidList {
 public:
  static constexpr size_t kMaxLength = 70;  // longer identifiers are cut

  // A list without a file: load, save and append do nothing.
  SeenUidList() = default;
  explicit SeenUidList(std::filesystem::path file) : file_(std::move(file)) {}
  SeenUidList(const SeenUidList&) = delete;
  SeenUidList& operator=(const SeenUidList&) = delete;

  // "MailUID/<address>.uid" under `mail_uid_dir` (the address in UTF-8), or nullopt when the address
  // cannot be a file name in that directory ('/', '\\', control characters,
  // "", "." or "..").
  [[nodiscard]] static std::optional<std::filesystem::path> file_for(const std::filesystem::path& mail_uid_dir,
                                                                     std::string_view address);

  [[nodiscard]] bool has_file() const;
  [[nodiscard]] std::filesystem::path file() const;

  // Appends every line of the file as an entry with mark 1 and returns how
  // many were read. A missing file is an empty list. A last line without its
  // line end is a write cut short and is not taken: a cut identifier could
  // equal another mail's and hide it.
  size_t load();

  // Brings the entries in line with the file as it is now: lines appended
  // since the last read are taken in, a file rewritten by someone else is
  // read again from the start. Every entry is then marked unseen, ready for
  // a new server listing.
  void refresh();

  // The index of the first live entry equal to `uid` (its first 70 bytes).
  // Indexes stay valid until clear() or a refresh() that reads anew.
  [[nodiscard]] std::optional<size_t> find(std::string_view uid) const;
  // The same, trying entry `expected` first: a server lists its mails in the
  // order this list took them in, so a walk through a listing that asks for
  // the entry after the last one found reads the list in order instead of
  // jumping about the table.
  [[nodiscard]] std::optional<size_t> find(std::string_view uid, size_t expected) const;
  [[nodiscard]] bool contains(std::string_view uid) const { return find(uid).has_value(); }
  void mark_seen(size_t index);

  // Appends the first 70 bytes of `uid` with mark 0 and returns its index;
  // with `only_if_absent` an existing entry is returned instead.
  size_t add(std::string_view uid, bool only_if_absent = false);

  // Removes every entry equal to `uid`; returns how many.
  size_t remove(std::string_view uid);

  [[nodiscard]] size_t size() const { return live_; }
  // The text stays valid until the next add() or load().
  [[nodiscard]] std::string_view identifier(size_t index) const;
  [[nodiscard]] bool unseen(size_t index) const { return entries_.at(index).unseen; }
  // True when a live entry is still marked unseen.
  [[nodiscard]] bool has_unseen() const;
  // The live identifiers in list order.
  [[nodiscard]] std::vector<std::string> identifiers() const;

  // The file content: every live entry in order, except, after a complete
  // listing, those still marked unseen (mails gone from the server).
  [[nodiscard]] std::string file_text(bool listing_complete) const;

  // Replaces the file atomically with file_text(); the entries stay. False
  // when there is no file or it cannot be written (the old file then stays).
  [[nodiscard]] bool save(bool listing_complete) const;

  // Appends `uid` (first 70 bytes) and CR LF to the file, so a mail whose
  // actions are done stays seen after a crash; with `sync` it is flushed to
  // disk before returning, else it waits for sync_file(). Does not touch the
  // entries: add() does that. Refuses identifiers that are empty or hold a
  // line break.
  [[nodiscard]] bool append_seen(std::string_view uid, bool sync = true);
  // The same for several identifiers in one write; flushed only with `sync`.
  // Identifiers that are empty or hold a line break are left out.
  [[nodiscard]] bool append_seen(const std::vector<std::string>& uids, bool sync);
  // Flushes the appends made without `sync` to disk.
  [[nodiscard]] bool sync_file();

  // A file of the same account beside the .uid file: the same name with
  // `extension` (".del" for the deletion journal).
  [[nodiscard]] static std::filesystem::path companion_file(const std::filesystem::path& uid_file,
                                                            std::string_view extension);

  // Deletes the file and its companions with `companion_extensions` and
  // detaches the list from them, so later saves and appends by anyone still
  // holding the account write nothing, and a new account of the same
  // address inherits nothing.
  bool delete_file(std::initializer_list<std::string_view> companion_extensions = {".del"});

  void clear();

 private:
  // Identifies the file's content as this list last read or wrote it.
  struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;  // bytes taken in: up to the end of the last whole line
    uint64_t hash = 0;  // of those bytes: a rewritten file may get the old inode back
    bool valid = false;
  };

  struct Entry {
    uint32_t offset;  // in text_
    uint8_t length;
    bool unseen;
    bool removed;
    bool first;         // the first entry with its identifier (a slot's head)
    int32_t next_same;  // the next entry with an equal identifier, or -1
  };
  // The first entry of a chain never changes (removal takes the whole
  // chain), so a slot carries its text's place and a lookup reads the slot
  // and the text, not the entry.
  struct Slot {
    uint32_t tag;     // high hash bits, and the text's length in the low 7
    uint32_t head;    // first entry + 1; kEmpty or kGone
    uint32_t tail;    // last entry of the chain
    uint32_t offset;  // of the first entry's text in text_
  };
  static constexpr uint32_t kEmpty = 0;
  static constexpr uint32_t kGone = UINT32_MAX;  // removed: probing goes on past it
  static constexpr size_t kNone = SIZE_MAX;

  [[nodiscard]] std::string_view text_of(const Entry& e) const { return {text_.data() + e.offset, e.length}; }
  // The slot whose chain holds `uid`, or kNone.
  [[nodiscard]] size_t find_slot(std::string_view uid, uint64_t hash) const;
  void insert_slot(uint64_t hash, uint32_t index, uint32_t offset, size_t length);
  void grow();
  size_t push(std::string_view uid, bool unseen);
  // Takes the whole lines of `text` as unseen entries; `skip_known` leaves
  // out identifiers already held. Returns the bytes up to the last line end.
  size_t take_lines(std::string_view text, bool skip_known, size_t* taken);
  // Needs file_mutex_ held.
  [[nodiscard]] std::optional<FileStamp> stat_file() const;
  bool append_text(std::string_view text, bool sync);

  std::string text_;  // every identifier, back to back
  std::vector<Entry> entries_;
  std::vector<Slot> slots_;  // a power of two in size, at most half in use
  size_t used_slots_ = 0;     // heads and removed marks
  size_t keys_ = 0;           // distinct live identifiers
  size_t live_ = 0;

  mutable std::mutex file_mutex_;
  std::filesystem::path file_;
  AppendFile append_file_;   // under file_mutex_
  mutable FileStamp stamp_;  // under file_mutex_
  // Where this list's last append left the file (device, inode, size): a
  // line end, so the next append need not read the last byte back.
  struct LineEnd {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    bool valid = false;
  };
  LineEnd own_end_;  // under file_mutex_
};

}  // namespace pw
