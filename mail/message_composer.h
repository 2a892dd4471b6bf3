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

  // Starts a message: the header block with From, To, Subject, the
  // multipart Content-Type, Date (`now` in the local zone) and Mime-Version.
  // Header values are written as given (GB18030 bytes, not encoded); line
  // breaks in them are replaced by spaces so a value cannot add headers.
  void begin(std::string_view sender, std::string_view recipient, std::string_view subject, std::time_t now);

  // Appends the text part.
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
