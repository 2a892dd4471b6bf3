#include "mail/mail_reader.h"

#include "mail/address_list.h"
#include "mail/header_field.h"
#include "mail/mail_date.h"

namespace pw {

MailReader::MailReader(MailSummary mail) : mail_(std::move(mail)) { mail_.cache_flags = 0; }

template <typename Compute>
const std::string& MailReader::cached(std::string& slot, std::uint32_t bit, Compute compute) {
  if (!(mail_.cache_flags & bit)) {
    slot = compute();
    mail_.cache_flags |= bit;
  }
  return slot;
}

const std::string& MailReader::address_field(std::string& slot, std::uint32_t bit, const char* key) {
  return cached(slot, bit, [&] {
    std::string value = header_field(mail_.mail_text, key);
    normalise_address_list(value);
    return value;
  });
}

const std::string& MailReader::sender() { return address_field(mail_.sender, kSenderCached, "from:"); }
const std::string& MailReader::recipient() { return address_field(mail_.recipient, kRecipientCached, "to:"); }
const std::string& MailReader::copy() { return address_field(mail_.copy, kCopyCached, "cc:"); }

std::string MailReader::recipient_and_copy() { return recipient() + copy(); }

const std::string& MailReader::subject() {
  return cached(mail_.subject, kSubjectCached, [&] { return header_field(mail_.mail_text, "subject:"); });
}

const std::string& MailReader::date() {
  return cached(mail_.date, kDateCached, [&] { return mail_date_display(header_field(mail_.mail_text, "date:")); });
}

const MimeMessage& MailReader::message() {
  if (!message_) message_ = std::make_unique<MimeMessage>(MimeMessage::over(mail_.mail_text));
  return *message_;
}

std::string MailReader::message_id() const { return header_field(mail_.mail_text, "message-id:"); }

std::string MailReader::references() const { return header_field(mail_.mail_text, "references:"); }

const std::string& MailReader::text_body() {
  return cached(mail_.text_body, kTextBodyCached, [&] { return message().text_body(); });
}

const std::string& MailReader::html_body(const std::filesystem::path& resource_dir) {
  return cached(mail_.html_body, kHtmlBodyCached, [&] { return message().html_body(resource_dir); });
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
}

}  // namespace pw
