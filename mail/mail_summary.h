#pragma once
// What a check collects about one new mail, with the header and body values
// worked out on demand and cached here (see MailReader).
#include <cstdint>
#include <string>

namespace pw {

// Bits of MailSummary::cache_flags: which cached value is filled.
enum MailCacheBit : std::uint32_t {
  kSenderCached = 0x01,
  kRecipientCached = 0x02,
  kCopyCached = 0x04,
  kDateCached = 0x08,
  kSubjectCached = 0x10,
  kTextBodyCached = 0x20,
  kHtmlBodyCached = 0x40,
  kAttachmentCached = 0x80,
};

struct MailSummary {
  std::uint32_t cache_flags = 0;  // MailCacheBit values; only the low byte is used
  std::string uid;                // the UIDL identifier
  // The header block from TOP, or the whole mail from RETR, as received
  // (ending with CR LF "." CR LF).
  std::string mail_text;
  std::uint32_t size = 0;  // as LIST reported it; 0 when no rule needed it

  std::string sender;
  std::string recipient;
  std::string copy;
  std::string date;
  std::string subject;
  std::string text_body;
  std::string html_body;
  bool has_attachment = false;

  bool full_text = false;  // mail_text holds the whole mail, not only the header
};

}  // namespace pw
