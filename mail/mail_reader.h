#pragma once
// The field getters of one mail. Each value is worked out from the mail text
// at most once and cached in the MailSummary (its cache flags say which), so
// rule conditions, log lines and templates that ask again cost nothing. The
// body getters parse the mail with MimeMessage once, on first need.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mail/mail_summary.h"
#include "mail/mime_message.h"

namespace pw {

class MailReader {
 public:
  // Takes over `mail` with its cache flags cleared.
  explicit MailReader(MailSummary mail);
  // The parsed message reads the held text in place, so a reader stays put.
  MailReader(const MailReader&) = delete;
  MailReader& operator=(const MailReader&) = delete;

  [[nodiscard]] const MailSummary& summary() const { return mail_; }

  // The most bytes of a header value kept in the cache (a longer one is cut).
  // The bodies are kept whole: rules match all of them and the viewer shows
  // all of them; they go when the text is let go (release_text).
  static constexpr size_t kMaxCachedValue = 16384;
  // The from, to and cc values, decoded and in address-list normal form.
  [[nodiscard]] const std::string& sender();
  [[nodiscard]] const std::string& recipient();
  [[nodiscard]] const std::string& copy();
  // recipient() immediately followed by copy(), no separator between.
  [[nodiscard]] std::string recipient_and_copy();
  [[nodiscard]] const std::string& subject();
  // "YYYY/MM/DD hh:mm:ss", kUnreadableMailDate, or "" without a Date: line.
  [[nodiscard]] const std::string& date();

  [[nodiscard]] const std::string& text_body();
  // The HTML body with its embedded pictures written into `resource_dir`
  // (the MailTemp directory) on the first call.
  [[nodiscard]] const std::string& html_body(const std::filesystem::path& resource_dir);
  [[nodiscard]] bool has_attachment();

  // The size LIST reported, 0 when it was not asked for.
  [[nodiscard]] std::uint32_t size() const { return mail_.size; }

  // The parsed mail (attachments and the like); parsed on first need.
  [[nodiscard]] const MimeMessage& message();

  // The mail's Message-ID and References values (not cached: only a reply
  // asks, once).
  [[nodiscard]] std::string message_id();
  [[nodiscard]] std::string references();

  // Replaces the header text with the whole mail once it has been
  // downloaded. Values already cached and an already parsed message stay.
  void set_whole_mail(std::string text);

  // The text as held (the header, or the whole mail), brought back first
  // when it was let go.
  [[nodiscard]] const std::string& text();
  // Its length in bytes, held or not.
  [[nodiscard]] std::size_t text_size() const { return released_ ? released_size_ : mail_.mail_text.size(); }

  // Lets the text go once the header fields are cached: `reload` gives it
  // back when something needs it again (the check keeps its fetched mails
  // in a spool file meanwhile). The parsed message and the bodies worked out
  // from it go too. Afterwards release_text() lets it go again.
  void spool(std::function<std::optional<std::string>()> reload);
  // Lets the spooled text go, and the parsed message and the bodies worked
  // out from it; a text that is not spooled stays held (the check holds
  // thousands, each its own size, not twice).
  void release_text();
  // Brings a text that was let go back; false when it cannot be read.
  [[nodiscard]] bool hold_text();
  // Whether the text is held now (text() then only reads).
  [[nodiscard]] bool text_held() const { return !released_; }

 private:
  // The cached value behind `bit`, computed by `compute` when not yet filled
  // and cut to `limit` bytes.
  template <typename Compute>
  const std::string& cached(std::string& slot, std::uint32_t bit, Compute compute, size_t limit = kMaxCachedValue);
  const std::string& address_field(std::string& slot, std::uint32_t bit, const char* key);

  MailSummary mail_;
  std::unique_ptr<MimeMessage> message_;
  std::function<std::optional<std::string>()> reload_;
  bool released_ = false;
  std::size_t released_size_ = 0;
};

}  // namespace pw
