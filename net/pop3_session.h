#pragma once
// The client side of POP3 (RFC 1939: USER, PASS, LIST, UIDL, TOP, RETR, DELE,
// QUIT) over one byte stream. Blocking, for a worker thread: every command is
// one call that sends the command and reads its reply. Results are 0 for a
// failure (the reason is then in error_text()), 1 for success; the mail
// transfers of top, retr and receive_more give 1 while more data follows and
// 2 when the mail is complete.
//
// A session lives for one use: log in, a few commands, quit.
//
// Security: port 995 speaks TLS from the first byte. On any other port the
// session reads CAPA and upgrades with STLS (RFC 2595) when the server offers
// it, over a stream that can do TLS; with TLS required, or seen on an earlier
// connection (a downgrade), a server without STLS is refused before anything
// else is sent. A failed handshake or
// verification ends the session: it never goes on in plaintext after trying.
//
//   Pop3Session pop;                      // its own LineSocket, 20 s waits
//   pop.set_login_prompt(ask_user);       // optional password correction
//   if (!pop.log_in("pop.example.com", name, password)) report(pop.error_text());
//   if (pop.uidl_all()) for (int i = 1; i <= pop.message_count(); ++i) ...
//   int r = pop.retr(n);
//   while (r == Pop3Session::kMore) r = pop.receive_more();   // progress: data_length()
//   (void)pop.quit();
//
// The mail text kept after TOP and RETR is the message itself: dot-stuffed
// lines are unstuffed and the final "." line is not part of it.
//
// After a failure that leaves the conversation in an unknown state (no
// reply, a closed connection, a reply that is no status line, a limit
// exceeded) the session sends nothing more: every later command fails at once
// and keeps the reason of the first failure, until connect starts afresh.
// Deletions are therefore never confirmed by a QUIT the server might
// misread.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/bearer_login.h"
#include "net/pop3_command.h"
#include "net/protocol_session.h"

namespace pw {

class Pop3Session : public ProtocolSession {
 public:
  static constexpr int kFailure = 0;
  static constexpr int kSuccess = 1;
  static constexpr int kMore = 1;      // transfer: more data follows
  static constexpr int kComplete = 2;  // transfer: the whole mail is in
  static constexpr int kDefaultPort = 110;
  static constexpr std::uint32_t kDefaultChunkSize = 2048;
  // The longest identifier kept from a UIDL listing (longer ones are cut).
  static constexpr size_t kMaxUidLength = 70;
  // The most bytes of a CAPA reply taken as capabilities.
  static constexpr size_t kMaxCapa = 4096;
  // Room a mail text that outgrows its listed size takes beyond what came,
  // besides 1/16 of it.
  static constexpr size_t kReserveMargin = 4096;
  // A mail text longer than this that outgrows its room grows to the mail
  // limit in one step.
  static constexpr size_t kGrowToLimitAbove = size_t{1} << 20;

  // Bounds on what a server can make the session hold; reaching one ends the
  // command as a failure.
  struct Limits {
    size_t max_line = size_t{1} << 20;     // one status or listing line
    size_t max_mail = size_t{64} << 20;    // the text of one TOP or RETR
    size_t max_listing = size_t{32} << 20; // the bytes of one UIDL listing
    size_t max_messages = 1'000'000;        // the entries of one UIDL listing
    // How each reply, a mail included, must keep moving.
    ReplyReader::Pace pace;
  };

  // Talks over a LineSocket of its own with the program's 20-second wait.
  Pop3Session();
  // Talks over `stream`, which must outlive the session (tests, other waits).
  explicit Pop3Session(ByteStream& stream);
  ~Pop3Session();

  void set_limits(const Limits& limits);
  [[nodiscard]] const Limits& limits() const { return limits_; }
  // Whether the connection completed a verified TLS handshake.
  [[nodiscard]] bool secured() const { return secured_ && tls_.verify; }
  // The most bytes one receive asks for during a transfer (at least 1).
  void set_chunk_size(std::uint32_t bytes) { chunk_size_ = bytes ? bytes : 1; }

  // Connects to `server` ("host" or "host:port", port 110 by default) and
  // reads the greeting.
  [[nodiscard]] int connect(std::string_view server);
  [[nodiscard]] int user(std::string_view name);
  // On a refusal asks the login prompt for corrected data and tries again
  // (USER, then PASS) for as long as the user corrects; when the user gives
  // up, or the corrected USER is refused, the remembered user name and
  // password are emptied.
  [[nodiscard]] int pass(std::string_view password);
  // connect, user and pass, stopping at the first failure. When the server
  // pipelines (its capabilities read while connecting, or asked now on a
  // connection secured by TLS), USER and PASS go out together.
  [[nodiscard]] int log_in(std::string_view server, std::string_view name, std::string_view password);
  // connect, then AUTH with an OAuth 2.0 access token from `token` (SASL
  // OAUTHBEARER or XOAUTH2, whichever CAPA SASL offers). When the server
  // refuses the token, a renewed one is asked for and tried once more. No
  // login prompt: a refusal fails with the server's reason in words.
  [[nodiscard]] int log_in_bearer(std::string_view server, std::string_view name, const BearerSource& token);
  // The same on a connected session.
  [[nodiscard]] int authenticate_bearer(std::string_view name, const BearerSource& token);
  // user and pass on a connected session, together as said above.
  [[nodiscard]] int sign_in(std::string_view name, std::string_view password);
  // LIST n: the size of message n becomes the only entry of the sizes.
  [[nodiscard]] int list_one(int n);
  // UIDL: the identifiers of all messages, in the server's order. `each`, when
  // given, is handed every entry as it arrives (its place in the listing from
  // 1 and its identifier), so that a caller can look it up while the rest is
  // still coming; when the listing then fails, what it was handed is void.
  [[nodiscard]] int uidl_all(const std::function<void(int, std::string_view)>& each = nullptr);
  // LIST: the sizes of all messages, for size_of_message().
  [[nodiscard]] int list_all();
  // The size the last list_all() gave message `number`; -1 when it was not
  // listed.
  [[nodiscard]] std::int64_t size_of_message(int number) const;
  // TOP n lines / RETR n: start a transfer; kComplete, kMore or kFailure.
  [[nodiscard]] int top(int n, int lines);
  [[nodiscard]] int retr(int n);
  // Continues the transfer with one receive of at most the chunk size.
  [[nodiscard]] int receive_more();
  [[nodiscard]] int dele(int n);
  [[nodiscard]] int quit();

  // Pipelining (RFC 2449 PIPELINING): sends TOP n lines / RETR n for each n
  // of `numbers`, in one write, now without reading their replies. A later
  // top() or retr() with the same arguments, in the order sent, reads that
  // reply instead of sending again; any other command first reads and drops
  // the replies still due, so the conversation stays in step whatever the
  // caller does next.
  [[nodiscard]] bool send_tops_ahead(std::span<const int> numbers, int lines);
  [[nodiscard]] bool send_retrs_ahead(std::span<const int> numbers);
  // The same for UIDL, LIST (all), DELE n and QUIT: uidl_all(), list_all(),
  // dele(n) and quit() then read the replies in the order sent.
  [[nodiscard]] bool send_uidl_ahead();
  [[nodiscard]] bool send_list_ahead();
  [[nodiscard]] bool send_dele_ahead(int n);
  [[nodiscard]] bool send_quit_ahead();
  // The listings sign_in() sends together with USER and PASS to a server
  // that pipelines (the round trip of the first listing saved): UIDL, and
  // LIST (all) with `list`. Their replies are read as those of any command
  // sent ahead; after a refused sign-in they are read and dropped.
  void set_listings_with_sign_in(bool uidl, bool list) {
    uidl_with_sign_in_ = uidl;
    list_with_sign_in_ = uidl && list;
  }
  // Whether the capabilities are known for this connection and name
  // PIPELINING: only then may commands go out before earlier replies are in.
  [[nodiscard]] bool pipelining() const { return capa_asked_ && !broken_ && has_capability("PIPELINING"); }
  // Sends QUIT and does not wait for its answer: for a session that asked
  // the server to change nothing, where the answer would only cost a round
  // trip. Replies still due are read first. The session sends nothing more
  // afterwards.
  void quit_unanswered();
  // Commands sent ahead whose replies have not been read.
  [[nodiscard]] size_t commands_ahead() const { return ahead_.size(); }
  // CAPA (RFC 2449), sent at most once per connection (and once more after
  // an upgrade to TLS, which voids the list): the capability lines, such as
  // "TOP", "PIPELINING", "SASL PLAIN LOGIN". A server that refuses CAPA has
  // an empty list and the session goes on as before. kFailure only when the
  // connection is lost.
  [[nodiscard]] int capa();
  // The list of the last capa(); empty before it.
  [[nodiscard]] const std::vector<std::string>& capabilities() const { return capabilities_; }
  // Whether the list holds a line whose first word is `keyword` (any case).
  [[nodiscard]] bool has_capability(std::string_view keyword) const;

  // Entries of the last UIDL listing.
  [[nodiscard]] int message_count() const { return static_cast<int>(uid_ends_.size()); }
  // The identifier of entry i (1-based), empty outside 1..message_count().
  [[nodiscard]] std::string_view unique_id(int i) const;
  // The message number the server gave entry i; 0 outside the listing.
  [[nodiscard]] int message_number(int i) const;
  // The message number listed with identifier `uid` (first match, exact
  // bytes), 0 when it is not listed.
  [[nodiscard]] int find_message(std::string_view uid) const;

  // Size from the last LIST: entry i for 1 <= i <= the count of sizes, the
  // first entry for any other i, 0 when there is none.
  [[nodiscard]] std::uint32_t size(int i) const;

  // The mail text of the current or last transfer and its length in bytes.
  [[nodiscard]] const std::string& data_text() const { return data_; }
  [[nodiscard]] std::string take_data_text();
  [[nodiscard]] std::uint32_t data_length() const { return data_length_; }

  // True when the last TOP or RETR failed because the mail ran past
  // max_mail (the session is broken: the rest of the mail is on the wire).
  [[nodiscard]] bool mail_too_large() const { return mail_too_large_; }

 private:
  enum class Reply { Accepted, Refused, Failed };

  bool send_command(const Pop3Command& command);
  Reply read_status();
  // The reply `status`, already read: Accepted, Refused or (neither status
  // indicator) Failed with the session broken.
  Reply read_status_of(const std::string& status);
  Reply command(const Pop3Command& c);
  // Reads the lines of a multi-line reply up to its "." line, handing each
  // to `each` as it arrives without its line end, bounded by max_listing;
  // false (session broken) when cut short.
  bool read_listing(const std::function<void(std::string_view)>& each);
  void clear_listing();
  bool send_ahead(const Pop3Command& c, bool listing);
  bool send_ahead(std::span<const Pop3Command> commands, bool listing);
  // Reads and drops the replies of the commands sent ahead; false when the
  // conversation broke meanwhile.
  bool drop_replies_ahead();
  // CAPA and STLS when offered (or required) on a plaintext connection.
  bool upgrade();
  // One AUTH exchange with `token`: Accepted, Refused (reason set) or Failed.
  Reply auth_bearer(BearerMechanism m, std::string_view name, std::string_view token);
  int start_transfer(const Pop3Command& c);
  int absorb();
  // Asks the prompt for a corrected login after a refused password and sends
  // the new user name; false when the user gave up (both values cleared).
  bool correct_login();
  void fail(std::string text);

  Limits limits_;
  std::string status_;  // the last status line, line end included
  bool mail_too_large_ = false;

  std::string data_;
  std::uint32_t data_length_ = 0;
  std::uint32_t chunk_size_ = kDefaultChunkSize;
  bool in_transfer_ = false;
  bool at_line_start_ = true;
  bool room_as_listed_ = false;  // the text's room is the listed size

  std::vector<std::string> capabilities_;
  struct Ahead {
    std::string wire;
    bool listing = false;  // a positive reply is followed by lines up to "."
  };
  std::deque<Ahead> ahead_;                            // commands sent ahead, oldest first
  std::vector<std::pair<int, std::uint32_t>> listed_;  // message number, size; by number
  bool capa_asked_ = false;
  bool uidl_with_sign_in_ = false;
  bool list_with_sign_in_ = false;

  // The last UIDL listing: the identifiers back to back (one allocation for a
  // mailbox of 100,000 mails, not one each), where each ends, and the message
  // number listed with each.
  std::string uid_text_;
  std::vector<std::uint32_t> uid_ends_;
  std::vector<int> numbers_;
  std::vector<std::uint32_t> sizes_;
};

}  // namespace pw
