#pragma once
// Builds the messages the system sends itself (replies, feedback): one
// multipart/mixed message with a Base64 text part and Base64 attachments.
// One composer is one message; build it begin, add_text, add_attachment...,
// finish.
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace pw {

class MessageComposer {
 public:
  static constexpr std::string_view kBoundary = "==NextPart==Pelliwick_Multipart==";

  // The mail a reply answers: its Message-ID and References values as they
  // stand in its header (either may be empty).
  struct Original {
    std::string_view message_id;
    std::string_view references;
  };

  // Starts a message: the header block with From, To, Subject, the
  // multipart Content-Type, Date (`now` in the local zone), Mime-Version and
  // a new Message-ID. Header values are GB18030 text; non-ASCII ones go out
  // as RFC 2047 encoded words (in address values only the display names).
  // Line breaks in them are replaced by spaces so a value cannot add headers.
  // A reply (`original` given) also carries In-Reply-To and References
  // (RFC 5322 3.6.4) and Auto-Submitted: auto-replied (RFC 3834).
  void begin(std::string_view sender, std::string_view recipient, std::string_view subject, std::time_t now,
             const Original* original = nullptr);

  // Appends the text part (GB18030, labelled us-ascii when it is pure ASCII).
  void add_text(std::string_view body);

  // Appends the file as an attachment named after its last path component;
  // false (and nothing appended) when it cannot be read.
  [[nodiscard]] bool add_attachment(const std::filesystem::path& file);

  // Appends the closing delimiter and hands the whole message over; the
  // composer is empty afterwards.
  [[nodiscard]] std::string finish();

 private:
  std::string buffer_;
};

}  // namespace pw
