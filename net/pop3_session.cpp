#include "net/pop3_session.h"

#include <algorithm>

#include "net/line_socket.h"
#include "res/language.h"
#include "res/string_ids.h"

namespace pw {
namespace {

std::string own_text(int id) { return res::record_text(id); }

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The decimal number at `pos`, saturating; `pos` is moved past its digits.
std::uint32_t read_number(std::string_view s, size_t& pos) {
  std::uint64_t v = 0;
  for (; pos < s.size() && is_digit(s[pos]); ++pos) {
    v = v * 10 + static_cast<unsigned>(s[pos] - '0');
    if (v > UINT32_MAX) v = UINT32_MAX;
  }
  return static_cast<std::uint32_t>(v);
}

// The size in a LIST reply "+OK n size": the number after the message number.
std::uint32_t listed_size(std::string_view status) {
  size_t pos = 3;  // past "+OK"
  while (pos < status.size() && is_blank(status[pos])) ++pos;
  while (pos < status.size() && is_digit(status[pos])) ++pos;
  if (pos >= status.size() || !is_blank(status[pos])) return 0;
  while (pos < status.size() && is_blank(status[pos])) ++pos;
  return read_number(status, pos);
}

bool is_end_line(std::string_view line) { return line == ".\r\n" || line == ".\n"; }

}  // namespace

Pop3Session::Pop3Session()
    : ProtocolSession(LineSocket::kDefaultTimeout, ReplyReader::kDefaultMaxLine, {sid::kLineTooLong, sid::kTimedOut}) {}

Pop3Session::Pop3Session(ByteStream& stream)
    : ProtocolSession(stream, ReplyReader::kDefaultMaxLine, {sid::kLineTooLong, sid::kTimedOut}) {}

Pop3Session::~Pop3Session() = default;

void Pop3Session::set_limits(const Limits& limits) {
  limits_ = limits;
  reader_.set_max_line(limits.max_line);
  reader_.set_pace(limits.pace);
}

void Pop3Session::fail(std::string text) { error_ = std::move(text); }

bool Pop3Session::send_command(const Pop3Command& c) {
  if (broken_) return false;
  // A command in the middle of a transfer would read mail lines as its reply:
  // finish the transfer first.
  while (in_transfer_)
    if (receive_more() == kFailure) return false;
  if (!c.valid) {
    fail(own_text(sid::kBadLoginChars));
    return false;
  }
  if (!ahead_.empty()) {
    if (ahead_.front().wire == c.wire) {
      ahead_.pop_front();
      // Sent long ago perhaps: its reply is measured from now, when it is due.
      reader_.start_reply();
      return true;
    }
    if (!drop_replies_ahead()) return false;
  }
  if (!send_line(c.wire, c.trace)) return false;
  reader_.start_reply();
  return true;
}

Pop3Session::Reply Pop3Session::read_status() {
  if (ReplyReader::Status s = reader_.read_line(status_); s != ReplyReader::Status::Line) {
    lost(s);
    return Reply::Failed;
  }
  trace("S: ", without_line_end(status_));
  return read_status_of(status_);
}

Pop3Session::Reply Pop3Session::read_status_of(const std::string& status) {
  if (starts_with_ci(status, "-ERR")) {
    fail(status);
    return Reply::Refused;
  }
  if (starts_with_ci(status, "+OK")) return Reply::Accepted;
  // Neither status indicator: whatever this is, the conversation is lost.
  break_off(status);
  return Reply::Failed;
}

Pop3Session::Reply Pop3Session::command(const Pop3Command& c) {
  if (!send_command(c)) return Reply::Failed;
  return read_status();
}

int Pop3Session::connect(std::string_view server) {
  in_transfer_ = false;
  capa_asked_ = false;
  capabilities_.clear();
  ahead_.clear();
  listed_.clear();
  mail_too_large_ = false;
  const int port = open(server, kDefaultPort);
  if (port == 0 || read_status() != Reply::Accepted) return kFailure;
  if (!implicit_tls_port(port) && may_upgrade() && !upgrade()) return kFailure;
  return kSuccess;
}

bool Pop3Session::upgrade() {
  if (capa() != kSuccess) return false;
  if (!can_upgrade(has_capability("STLS"))) return stay_plain();
  const Reply r = command(Pop3Command::stls());
  if (r == Reply::Failed || !secure_after(r == Reply::Accepted)) return false;
  capa_asked_ = false;  // the list from before the upgrade is void
  capabilities_.clear();
  return true;
}

int Pop3Session::user(std::string_view name) {
  user_ = name;
  return command(Pop3Command::user(name)) == Reply::Accepted ? kSuccess : kFailure;
}

int Pop3Session::pass(std::string_view password) {
  password_ = password;
  for (;;) {
    switch (command(Pop3Command::pass(password_))) {
      case Reply::Accepted:
        return kSuccess;
      case Reply::Failed:
        return kFailure;
      case Reply::Refused:
        break;
    }
    if (!correct_login()) return kFailure;
  }
}

bool Pop3Session::correct_login() {
  std::string refusal = error_;
  std::optional<LoginData> fixed;
  if (prompt_) fixed = prompt_(LoginData{user_, password_}, refusal);
  if (!fixed || user(fixed->user) != kSuccess) {
    user_.clear();
    password_.clear();
    return false;
  }
  password_ = fixed->password;
  return true;
}

int Pop3Session::log_in(std::string_view server, std::string_view name, std::string_view password) {
  if (connect(server) != kSuccess) return kFailure;
  return sign_in(name, password);
}

int Pop3Session::sign_in(std::string_view name, std::string_view password) {
  // On a secured connection CAPA has not been asked yet (or not since the
  // upgrade); the scan needs it anyway, and knowing it saves the round trip
  // of PASS.
  if (!capa_asked_ && secured_ && capa() != kSuccess) return kFailure;
  // A refused USER leaves PASS's answer due: the next command reads it.
  if (pipelining()) {
    const Pop3Command u = Pop3Command::user(name);
    const Pop3Command p = Pop3Command::pass(password);
    if (u.valid && p.valid && !(send_ahead(u, false) && send_ahead(p, false))) return kFailure;
    if (u.valid && p.valid && uidl_with_sign_in_ &&
        !(send_uidl_ahead() && (!list_with_sign_in_ || send_list_ahead())))
      return kFailure;
  }
  if (user(name) != kSuccess) return kFailure;
  return pass(password);
}

int Pop3Session::log_in_bearer(std::string_view server, std::string_view name, const BearerSource& token) {
  if (connect(server) != kSuccess) return kFailure;
  return authenticate_bearer(name, token);
}

int Pop3Session::authenticate_bearer(std::string_view name, const BearerSource& token) {
  if (capa() != kSuccess) return kFailure;
  user_ = name;
  password_.clear();
  // A server that answers CAPA lists its mechanisms; one that does not is
  // tried with XOAUTH2, the one every such provider knows.
  std::optional<BearerMechanism> m = BearerMechanism::xoauth2;
  if (!capabilities_.empty()) {
    std::vector<std::string> offered;
    for (std::string_view c : capabilities_)
      if (starts_with_ci(c, "SASL ")) append_words(c.substr(5), offered);
    m = choose_bearer(offered);
  }
  if (!m) {
    fail(res::record_text(sid::kNoBearer));
    return kFailure;
  }
  for (bool renew : {false, true}) {
    BearerToken t = token(renew);
    if (!t.ok) {
      fail(t.error);
      return kFailure;
    }
    switch (auth_bearer(*m, name, t.token)) {
      case Reply::Accepted:
        return kSuccess;
      case Reply::Failed:
        return kFailure;
      case Reply::Refused:
        break;
    }
  }
  return kFailure;
}

Pop3Session::Reply Pop3Session::auth_bearer(BearerMechanism m, std::string_view name, std::string_view token) {
  const std::string response = bearer_response(m, name, token);
  const char* mechanism = mechanism_name(m);
  if (!send_command(Pop3Command::auth(mechanism, response))) return Reply::Failed;
  auto read_line = [this]() {
    if (ReplyReader::Status s = reader_.read_line(status_); s != ReplyReader::Status::Line) {
      lost(s);
      return false;
    }
    trace("S: ", without_line_end(status_));
    return true;
  };
  if (!read_line()) return Reply::Failed;
  if (Pop3Command::auth_needs_challenge(mechanism, response)) {
    // The response goes after the server's empty challenge "+ ".
    if (!starts_with_ci(status_, "+ ") && without_line_end(status_) != "+") return read_status_of(status_);
    if (!send_command(Pop3Command::sasl_response(response)) || !read_line()) return Reply::Failed;
  }
  std::string challenge;
  if (status_.size() >= 2 && status_[0] == '+' && (status_[1] == ' ' || status_[1] == '\r')) {
    // An error challenge: its JSON says why; answering it ends the exchange
    // with the refusal (RFC 7628 3.2.3).
    std::string_view line = without_line_end(status_);
    if (line.size() > 2) challenge = line.substr(2);
    if (!send_command(Pop3Command::sasl_response(bearer_abort(m))) || !read_line()) return Reply::Failed;
  }
  Reply r = read_status_of(status_);
  if (r == Reply::Refused) error_ = bearer_refusal_text(challenge, status_);
  return r;
}

int Pop3Session::list_one(int n) {
  if (command(Pop3Command::list(n)) != Reply::Accepted) return kFailure;
  sizes_.assign(1, listed_size(without_line_end(status_)));
  return kSuccess;
}

bool Pop3Session::read_listing(const std::function<void(std::string_view)>& each) {
  size_t total = 0;
  std::string line;
  for (;;) {
    ReplyReader::Status s = reader_.read_line(line);
    if (s != ReplyReader::Status::Line) {
      lost(s);
      return false;
    }
    if (is_end_line(line)) return true;
    total += line.size();
    if (total > limits_.max_listing) {
      break_off(own_text(sid::kListingTooLarge));
      return false;
    }
    each(without_line_end(line));
  }
}

int Pop3Session::uidl_all(const std::function<void(int, std::string_view)>& each) {
  if (command(Pop3Command::uidl()) != Reply::Accepted) return kFailure;
  clear_listing();
  // Each line is taken apart as it comes: a mailbox of 100,000 mails is
  // not held twice.
  bool too_many = false;
  const bool ok = read_listing([this, &each, &too_many](std::string_view entry) {
    // "n uid": the identifier is everything after the first blank.
    size_t blank = entry.find(' ');
    if (blank == std::string_view::npos || too_many) return;
    if (static_cast<size_t>(message_count()) >= limits_.max_messages) {
      too_many = true;
      return;
    }
    size_t pos = 0;
    std::uint32_t number = read_number(entry, pos);
    // Identifiers are at most 70 bytes (RFC 1939 7); the seen list compares
    // no more either.
    uid_text_.append(entry.substr(blank + 1, kMaxUidLength));
    uid_ends_.push_back(static_cast<std::uint32_t>(uid_text_.size()));
    const int i = message_count();
    numbers_.push_back(pos == blank && number > 0 && number <= INT32_MAX ? static_cast<int>(number) : i);
    if (each) each(i, unique_id(i));
  });
  if (ok && too_many) break_off(own_text(sid::kListingTooLarge));
  if (!ok || too_many) {
    clear_listing();
    return kFailure;
  }
  trace("S: ", "[" + std::to_string(message_count()) + " identifiers]");
  return kSuccess;
}

int Pop3Session::capa() {
  if (capa_asked_) return broken_ ? kFailure : kSuccess;
  capa_asked_ = true;
  capabilities_.clear();
  switch (command(Pop3Command::capa())) {
    case Reply::Refused:
      error_.clear();  // no CAPA: not a failure, just nothing known
      return kSuccess;
    case Reply::Failed:
      return kFailure;
    case Reply::Accepted:
      break;
  }
  // A real list is a few hundred bytes. Anything longer is read to its end
  // and taken as no list at all: whoever answers on the port could send an
  // endless one before any TLS.
  size_t held = 0;
  const bool ok = read_listing([this, &held](std::string_view line) {
    held += line.size() + 2;
    if (held <= kMaxCapa) capabilities_.emplace_back(line);
  });
  if (held > kMaxCapa) {
    capabilities_.clear();
    trace("-- ", "CAPA reply over " + std::to_string(kMaxCapa) + " bytes: taken as no capabilities");
  }
  if (!ok) {
    capabilities_.clear();
    return kFailure;
  }
  for (const std::string& c : capabilities_) trace("S: ", c);
  return kSuccess;
}

bool Pop3Session::has_capability(std::string_view keyword) const {
  for (std::string_view c : capabilities_) {
    std::string_view first = c.substr(0, c.find(' '));
    if (first.size() == keyword.size() && starts_with_ci(first, keyword)) return true;
  }
  return false;
}

int Pop3Session::list_all() {
  if (command(Pop3Command::list_all()) != Reply::Accepted) return kFailure;
  listed_.clear();
  // Taken apart line by line; no more entries are kept than the UIDL
  // listing before it had, so an endless listing costs no memory beyond it.
  const size_t most = static_cast<size_t>(message_count());
  const bool ok = read_listing([this, most](std::string_view entry) {
    // "n size"; lines that are not two numbers are skipped.
    size_t pos = 0;
    const std::uint32_t number = read_number(entry, pos);
    if (pos == 0 || pos >= entry.size() || !is_blank(entry[pos]) || number == 0 || number > INT32_MAX) return;
    while (pos < entry.size() && is_blank(entry[pos])) ++pos;
    const size_t digits = pos;
    const std::uint32_t size = read_number(entry, pos);
    if (pos == digits || listed_.size() >= most) return;
    listed_.emplace_back(static_cast<int>(number), size);
  });
  if (!ok) {
    listed_.clear();
    return kFailure;
  }
  std::sort(listed_.begin(), listed_.end());
  return kSuccess;
}

std::int64_t Pop3Session::size_of_message(int number) const {
  auto it = std::lower_bound(listed_.begin(), listed_.end(), std::pair<int, std::uint32_t>(number, 0));
  return it != listed_.end() && it->first == number ? std::int64_t{it->second} : -1;
}

bool Pop3Session::send_ahead(const Pop3Command& c, bool listing) { return send_ahead(std::span(&c, 1), listing); }

bool Pop3Session::send_ahead(std::span<const Pop3Command> commands, bool listing) {
  if (broken_ || in_transfer_ || commands.empty()) return false;
  std::string wire;
  for (const Pop3Command& c : commands) {
    if (!c.valid) return false;
    wire += c.wire;
  }
  for (const Pop3Command& c : commands.first(commands.size() - 1)) trace("C: ", c.trace);
  if (!send_line(wire, commands.back().trace)) return false;
  for (const Pop3Command& c : commands) ahead_.push_back({c.wire, listing});
  return true;
}

bool Pop3Session::send_tops_ahead(std::span<const int> numbers, int lines) {
  std::vector<Pop3Command> commands;
  for (int n : numbers) commands.push_back(Pop3Command::top(n, lines));
  return send_ahead(commands, true);
}

bool Pop3Session::send_retrs_ahead(std::span<const int> numbers) {
  std::vector<Pop3Command> commands;
  for (int n : numbers) commands.push_back(Pop3Command::retr(n));
  return send_ahead(commands, true);
}

bool Pop3Session::send_uidl_ahead() { return send_ahead(Pop3Command::uidl(), true); }

bool Pop3Session::send_list_ahead() { return send_ahead(Pop3Command::list_all(), true); }

bool Pop3Session::send_dele_ahead(int n) { return send_ahead(Pop3Command::dele(n), false); }

bool Pop3Session::send_quit_ahead() { return send_ahead(Pop3Command::quit(), false); }

void Pop3Session::quit_unanswered() {
  // Replies still due are read first (they were asked for together, so
  // they are on their way): closing on unread bytes would reset the
  // connection, and the server might drop the QUIT with it.
  while (in_transfer_ && !broken_)
    if (receive_more() == kFailure) return;
  if (!ahead_.empty() && !drop_replies_ahead()) return;
  const Pop3Command c = Pop3Command::quit();
  if (broken_) return;
  trace("C: ", c.trace);
  (void)stream_.send(c.wire);
  broken_ = true;  // the conversation is over; nothing more goes out
}

// A positive reply to a listing command is followed by lines up to its "."
// line. The reason of the failure that made the caller give up on the
// replies stays the session's error text.
bool Pop3Session::drop_replies_ahead() {
  const std::string reason = error_;
  std::string line;
  while (!ahead_.empty() && !broken_) {
    const bool listing = ahead_.front().listing;
    ahead_.pop_front();
    if (read_status() != Reply::Accepted || !listing) continue;
    for (;;) {
      const ReplyReader::Status s = reader_.read_line(line);
      if (s != ReplyReader::Status::Line) {
        // Any other reason counts as an interruption here.
        lost(s == ReplyReader::Status::TooLong ? s : ReplyReader::Status::Closed);
        break;
      }
      if (is_end_line(line)) break;
    }
  }
  ahead_.clear();
  if (broken_) return false;
  error_ = reason;
  return true;
}

int Pop3Session::start_transfer(const Pop3Command& c) {
  mail_too_large_ = false;
  if (command(c) != Reply::Accepted) return kFailure;
  data_.clear();
  data_length_ = 0;
  in_transfer_ = true;
  at_line_start_ = true;
  return absorb();
}

int Pop3Session::top(int n, int lines) {
  room_as_listed_ = false;
  return start_transfer(Pop3Command::top(n, lines));
}

int Pop3Session::retr(int n) {
  // With the size listed, the text grows in place instead of being copied at
  // each doubling: room for exactly the listed size, within the mail limit,
  // so a mail as listed (the common case) keeps no spare room among the
  // thousands a check holds. Reserved pages are not touched until bytes
  // arrive, so a hostile listing gains nothing; the room left unused goes
  // when the mail is complete.
  const std::int64_t listed = size_of_message(n);
  if (listed > 0) data_.reserve(static_cast<size_t>(std::min(listed, static_cast<std::int64_t>(limits_.max_mail))));
  room_as_listed_ = listed > 0;
  return start_transfer(Pop3Command::retr(n));
}

int Pop3Session::receive_more() {
  if (!in_transfer_) {
    fail(own_text(sid::kNoTransfer));
    return kFailure;
  }
  int r = reader_.fill(chunk_size_);
  if (r <= 0) {
    in_transfer_ = false;
    lost(receive_status(r));
    return kFailure;
  }
  return absorb();
}

// Moves the buffered mail bytes into the data text, a line at a time as far
// as they go: a leading "." of a line is dropped (RFC 1939 byte-stuffing) and
// a line holding only "." ends the mail. A partial "." line that cannot be
// told apart yet stays buffered for the next receive.
int Pop3Session::absorb() {
  std::string_view in = reader_.buffered();
  size_t pos = 0;
  bool ended = false;
  while (pos < in.size()) {
    if (at_line_start_ && in[pos] == '.') {
      std::string_view rest = in.substr(pos);
      if (rest.size() >= 2 && rest[1] == '\n') {
        pos += 2;
        ended = true;
        break;
      }
      if (rest.size() >= 3 && rest[1] == '\r' && rest[2] == '\n') {
        pos += 3;
        ended = true;
        break;
      }
      if (rest.size() < 3 && (rest.size() < 2 || rest[1] == '\r')) break;  // undecided yet
      ++pos;  // the stuffed dot
    }
    // Everything up to the next line that starts with a dot goes over in
    // one piece; only such a line needs a closer look.
    size_t dot = in.find("\n.", pos);
    size_t end = dot != std::string_view::npos ? dot + 1 : in.size();
    const size_t want = data_.size() + (end - pos);
    if (want > limits_.max_mail) {
      data_.clear();
      data_.shrink_to_fit();
      data_length_ = 0;
      mail_too_large_ = true;
      break_off(own_text(sid::kMailOverLimit));
      return kFailure;
    }
    // A text that outgrows its room is copied once, not at every doubling:
    // when long, into room up to the limit, whose pages it does not fill are
    // never touched; when it outgrows its listed size (servers that count
    // bare LF line ends list a little less than they send), into room for a
    // sixteenth more and a margin. Past that, the string's own doubling.
    if (want > data_.capacity() && want > kGrowToLimitAbove) {
      data_.reserve(limits_.max_mail);
    } else if (want > data_.capacity() && room_as_listed_) {
      // A fresh string: reserve() on this one would at least double it.
      std::string grown;
      grown.reserve(std::min(limits_.max_mail, want + want / 16 + kReserveMargin));
      grown.append(data_);
      data_.swap(grown);
      room_as_listed_ = false;
    }
    data_.append(in.data() + pos, end - pos);
    at_line_start_ = in[end - 1] == '\n';
    pos = end;
  }
  reader_.consume(pos);
  data_length_ = static_cast<std::uint32_t>(data_.size());
  if (!ended) return kMore;
  in_transfer_ = false;
  // A mail far shorter than its listing (or its doubling) does not keep the
  // room: the check holds thousands of texts.
  if (data_.capacity() - data_.size() > data_.size() / 8 + kReserveMargin) data_.shrink_to_fit();
  trace("S: ", "[" + std::to_string(data_.size()) + " bytes of mail]");
  return kComplete;
}

int Pop3Session::dele(int n) { return command(Pop3Command::dele(n)) == Reply::Accepted ? kSuccess : kFailure; }

int Pop3Session::quit() { return command(Pop3Command::quit()) == Reply::Accepted ? kSuccess : kFailure; }

std::string_view Pop3Session::unique_id(int i) const {
  if (i < 1 || i > message_count()) return {};
  const size_t begin = i == 1 ? 0 : uid_ends_[static_cast<size_t>(i - 2)];
  return std::string_view(uid_text_).substr(begin, uid_ends_[static_cast<size_t>(i - 1)] - begin);
}

void Pop3Session::clear_listing() {
  uid_text_.clear();
  uid_ends_.clear();
  numbers_.clear();
}

int Pop3Session::message_number(int i) const {
  return i >= 1 && i <= message_count() ? numbers_[static_cast<size_t>(i - 1)] : 0;
}

int Pop3Session::find_message(std::string_view uid) const {
  for (int i = 1; i <= message_count(); ++i)
    if (unique_id(i) == uid) return numbers_[static_cast<size_t>(i - 1)];
  return 0;
}

std::uint32_t Pop3Session::size(int i) const {
  if (sizes_.empty()) return 0;
  if (i >= 1 && static_cast<size_t>(i) <= sizes_.size()) return sizes_[static_cast<size_t>(i - 1)];
  return sizes_.front();
}

std::string Pop3Session::take_data_text() {
  std::string out = std::move(data_);
  data_.clear();
  return out;
}

}  // namespace pw
