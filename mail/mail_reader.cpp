#include "mail/mail_reader.h"

#include "mail/address_list.h"
#include "mail/header_field.h"
#include "mail/mail_date.h"

namespace pw {

MailReader::MailReader(MailSummary mail) : mail_(std::move(mail)) { mail_.cache_flags = 0; }

template <typename Compute>
const std::string& MailReader::cached(std::string& slot, std::uint32_t bit, Compute compute, size_t limit) {
  if (!(mail_.cache_flags & bit)) {
    slot = compute();
    // Kept for the whole check: a hostile header must not make it large.
    if (slot.size() > limit) slot.resize(limit);
    mail_.cache_flags |= bit;
  }
  return slot;
}

const std::string& MailReader::address_field(std::string& slot, std::uint32_t bit, const char* key) {
  return cached(slot, bit, [&] {
    std::string value = header_field(text(), key);
    normalise_address_list(value);
    return value;
  });
}

const std::string& MailReader::sender() { return address_field(mail_.sender, kSenderCached, "from:"); }
const std::string& MailReader::recipient() { return address_field(mail_.recipient, kRecipientCached, "to:"); }
const std::string& MailReader::copy() { return address_field(mail_.copy, kCopyCached, "cc:"); }

std::string MailReader::recipient_and_copy() { return recipient() + copy(); }

const std::string& MailReader::subject() {
  return cached(mail_.subject, kSubjectCached, [&] { return header_field(text(), "subject:"); });
}

const std::string& MailReader::date() {
  return cached(mail_.date, kDateCached, [&] { return mail_date_display(header_field(text(), "date:")); });
}

const MimeMessage& MailReader::message() {
  if (!message_) message_ = std::make_unique<MimeMessage>(MimeMessage::over(text()));
  return *message_;
}

std::string MailReader::message_id() { return header_field(text(), "message-id:"); }

std::string MailReader::references() { return header_field(text(), "references:"); }

const std::string& MailReader::text_body() {
  return cached(mail_.text_body, kTextBodyCached, [&] { return message().text_body(); }, std::string::npos);
}

const std::string& MailReader::html_body(const std::filesystem::path& resource_dir) {
  return cached(
      mail_.html_body, kHtmlBodyCached, [&] { return message().html_body(resource_dir); }, std::string::npos);
}

bool MailReader::has_attachment() {
  if (!(mail_.cache_flags & kAttachmentCached)) {
    mail_.has_attachment = message().has_attachment();
    mail_.cache_flags |= kAttachmentCached;
  }
  return mail_.has_attachment;
}

void MailReader::set_whole_mail(std::string text) {
  // A message already parsed keeps reading the text it was parsed from.
  if (message_) message_ = std::make_unique<MimeMessage>(std::move(mail_.mail_text));
  mail_.mail_text = std::move(text);
  mail_.full_text = true;
  // The new text lives in memory only.
  reload_ = nullptr;
  released_ = false;
}

const std::string& MailReader::text() {
  (void)hold_text();
  return mail_.mail_text;
}

void MailReader::spool(std::function<std::optional<std::string>()> reload) {
  reload_ = std::move(reload);
  release_text();
}

void MailReader::release_text() {
  if (released_) return;
  message_.reset();
  std::string().swap(mail_.text_body);
  std::string().swap(mail_.html_body);
  mail_.cache_flags &= ~(kTextBodyCached | kHtmlBodyCached);
  if (!reload_) return;
  released_size_ = mail_.mail_text.size();
  released_ = true;
  std::string().swap(mail_.mail_text);
}

bool MailReader::hold_text() {
  if (!released_) return true;
  std::optional<std::string> text = reload_();
  if (!text) return false;
  mail_.mail_text = std::move(*text);
  released_ = false;
  return true;
}

}  // namespace pw
