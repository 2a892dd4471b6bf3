#include "mail/message_composer.h"

#include <utility>

#include "base/code_page.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "base/safe_name.h"
#include "base/text_lines.h"
#include "mail/base64.h"

namespace pw {

void MessageComposer::begin(std::string_view sender, std::string_view recipient, std::string_view subject,
                            std::time_t now) {
  buffer_.clear();
  buffer_ += "From: " + single_line(sender) + "\r\n";
  buffer_ += "To: " + single_line(recipient) + "\r\n";
  buffer_ += "Subject: " + single_line(subject) + "\r\n";
  buffer_ += "Content-Type: multipart/mixed;\r\n    boundary=\"";
  buffer_ += kBoundary;
  buffer_ += "\";\r\n";
  buffer_ += "Date: " + format_mail_date(now) + "\r\n";
  buffer_ += "Mime-Version: 1.0\r\n";
  buffer_ += "\r\nThis is a multi-part message in MIME format.\r\n\r\n";
}

void MessageComposer::add_text(std::string_view body) {
  buffer_ += "--";
  buffer_ += kBoundary;
  buffer_ += "\r\nContent-Type: text/plain;\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  buffer_ += base64_encode_lines(body);
  buffer_ += "\r\n\r\n";
}

bool MessageComposer::add_attachment(const std::filesystem::path& file) {
  auto data = read_file(file);
  if (!data) return false;
  // The quoted name must stay one line and one quoted string.
  std::string name = sanitise_file_name(gb_from_path(file.filename()), "attachment");
  buffer_ += "--";
  buffer_ += kBoundary;
  buffer_ += "\r\nContent-Type: application/octet-stream;\r\n";
  buffer_ += "   name=\"" + name + "\"\r\n";
  buffer_ += "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n";
  buffer_ += "    filename=\"" + name + "\"\r\n\r\n";
  buffer_ += base64_encode_lines(*data);
  buffer_ += "\r\n\r\n";
  return true;
}

std::string MessageComposer::finish() {
  buffer_ += "--";
  buffer_ += kBoundary;
  buffer_ += "--\r\n";
  return std::exchange(buffer_, std::string());
}

}  // namespace pw
